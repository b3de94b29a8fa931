#pragma once

// The launcher as a Windows service of its own process: started by the service
// manager with "-kwqelservice NAME", it reports its states, starts the VM
// without waiting on a runner thread, and ends the VM when the service stops.

#include <cstdint>
#include <memory>
#include <optional>

#include "base/wstring.h"
#include "launch/command_line.h"
#include "launch/launcher.h"
#include "service/service_host.h"

namespace qel {

class ServiceLogs;

class ServiceQEL : public Launcher {
public:
    // The one service object of the process, built from the command line on the
    // first call (the whole Launcher construction: properties, checks, console).
    static ServiceQEL& instance(const CommandLine& commandLine, Trace& trace, Frontend frontend = Frontend::Windowed);

    ~ServiceQEL() override;

    bool isService() const override { return true; }

    // Connects to the service manager and stays there until the service has
    // stopped, then gives the process's exit code (the one the service's end
    // decided); returns 0 at once when the process was not started as a service.
    virtual std::uint32_t serve();

    ServiceLifecycle lifecycle;
    // SERVICE_STATUS_HANDLE of the registered control handler.
    void* statusHandle = nullptr;
    // With a stop timeout: the write end of the VM's standard input.
    void* stopInput = nullptr;
    // With a log directory: the logs of the VM's standard output and error.
    std::unique_ptr<ServiceLogs> logs;

private:
    ServiceQEL(const CommandLine& commandLine, Trace& trace, Frontend frontend);
};

// In service mode, a failure before the service runs (properties file missing
// or invalid) cannot be shown in a box when the service manager started the
// process: no one sees its desktop. This connects to the service manager to find
// out. When it connects, the service reports STOPPED with 1066 and the failure's
// code (failureCode of the message id), the text goes to the event log under
// the service's name, and the result is that code, the process exit code. From
// a shell the connection fails and the result is none: the caller shows the box
// as in a normal run.
std::optional<std::uint32_t> reportFailureToServiceManager(const WString& serviceName, const WString& text,
                                                           std::uint32_t messageId);

}  // namespace qel
