#pragma once

// What the install and control shells both read from the service manager.

#include <windows.h>

#include <optional>

#include "base/handles.h"
#include "base/wstring.h"
#include "service/service_command.h"

namespace qel {

// The command line the service manager stores for the service; none when it
// cannot be read (GetLastError tells why).
std::optional<WString> storedCommandLine(SC_HANDLE service);

// The launcher's service of the command's name, opened with the rights given
// (and SERVICE_QUERY_CONFIG); or the outcome when there is none: the service
// manager's error, or another program's service (1060), which every command
// leaves as it is.
struct OpenedService {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
    std::optional<ServiceCommandOutcome> refused;
    // The command line the manager stores for the service.
    WString commandLine;
    // The manager's error when it was not opened (for status: not installed).
    DWORD error = ERROR_SUCCESS;
};
OpenedService openLauncherService(const ServiceCommand& command, DWORD rights);

}  // namespace qel
