#pragma once

// The rules of the service host: the status the service reports at each step,
// the answers to the service manager's controls, and the order of events when a
// stop, the VM's own end and the VM's start meet. The Windows calls that report
// a status or end the VM are passed in, so the sequences can be tried without a
// service manager.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

#include "base/wstring.h"

namespace qel {

namespace service {
// Values of the Windows service protocol.
inline constexpr std::uint32_t kOwnProcess = 0x10;  // SERVICE_WIN32_OWN_PROCESS
inline constexpr std::uint32_t kStopped = 1;
inline constexpr std::uint32_t kStartPending = 2;
inline constexpr std::uint32_t kStopPending = 3;
inline constexpr std::uint32_t kRunning = 4;
inline constexpr std::uint32_t kAcceptStop = 1;
inline constexpr std::uint32_t kControlStop = 1;
inline constexpr std::uint32_t kControlInterrogate = 4;
inline constexpr std::uint32_t kControlShutdown = 5;
inline constexpr std::uint32_t kNoError = 0;
inline constexpr std::uint32_t kCallNotImplemented = 120;  // ERROR_CALL_NOT_IMPLEMENTED
inline constexpr std::uint32_t kServiceSpecificError = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR
inline constexpr std::uint32_t kStartWaitHintMs = 5000;
inline constexpr std::uint32_t kLogoffEvent = 5;  // CTRL_LOGOFF_EVENT
// The dispatch table holds the service name in 256 units, terminator included.
inline constexpr std::size_t kDispatchNameUnits = 256;
}  // namespace service

// The seven values of a service status record, in the order Windows keeps them.
struct ServiceStatus {
    std::uint32_t serviceType = service::kOwnProcess;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = service::kStartWaitHintMs;

    bool operator==(const ServiceStatus& other) const;
};

// The answer to one control of the service manager.
struct ControlAnswer {
    bool stop = false;
    std::uint32_t result = service::kNoError;
};

// Stop and shutdown stop the service; every other control is not implemented.
ControlAnswer answerControl(std::uint32_t control);

// A user logging off does not end the service; every other console event goes on
// to the next handler.
bool ignoreConsoleEvent(std::uint32_t event);

// Whether a process image is the service manager's, which starts every service
// of its own process: its file name, in any case, is "services.exe".
bool isServiceManagerImage(std::wstring_view imagePath);

// The name as the dispatch table holds it: its first 255 units.
WString dispatchTableName(std::wstring_view serviceName);

// How the service's process ends, once the service has come to its end.
struct ServiceEnd {
    // True: the process ends here with exitCode; false: the service thread ends
    // and the process leaves through the dispatcher with 0.
    bool endProcess = false;
    std::uint32_t exitCode = 0;
};

// The service's life from its start to its end. Every step takes one lock, so a
// stop, the VM's start and the VM's own end happen one after the other in
// whatever order they come, and STOPPED is reported once.
class ServiceLifecycle {
public:
    struct Effects {
        // Reports a status to the service manager.
        std::function<void(const ServiceStatus&)> report;
        // Ends the VM process with exit code 0, when there is one.
        std::function<void()> terminateVm;
    };

    explicit ServiceLifecycle(Effects effects) : effects_(std::move(effects)) {}

    // The handler is registered: START_PENDING.
    void starting();

    // The VM process has started: RUNNING, accepting stop. When a stop came while
    // the VM was starting, the VM is ended now and STOPPED follows instead.
    void vmStarted();

    // The launch failed before a VM ran: STOPPED with the service-specific error
    // code, and the process ends with that code.
    ServiceEnd launchFailed(std::uint32_t specificCode);

    // A control from the service manager.
    ControlAnswer control(std::uint32_t code);

    // The VM ended (by itself, or because a stop ended it). After a stop the
    // service is over and leaves through the dispatcher; a VM that ended by
    // itself with 0 reports STOP_PENDING and STOPPED and the process ends with 0;
    // with another code the process ends with it at once, reporting nothing more.
    ServiceEnd vmEnded(std::uint32_t exitCode);

    const ServiceStatus& status() const { return status_; }

private:
    enum class Phase { NotStarted, Starting, StopRequestedWhileStarting, Running, Stopped };

    void report(std::uint32_t state, std::uint32_t controls);
    void reportStopped(std::uint32_t win32ExitCode, std::uint32_t specificCode);

    Effects effects_;
    std::mutex lock_;
    Phase phase_ = Phase::NotStarted;
    ServiceStatus status_;
};

}  // namespace qel
