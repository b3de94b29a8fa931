#pragma once

// Installing and removing the launcher's own service from its command line:
// "-kwqelinstall NAME" creates the own-process service NAME that starts this
// executable with "-kwqelservice NAME", configured by the qel.service.* settings;
// "-kwqeluninstall NAME" stops it when it runs and removes it. The rules here
// decide; service_install_win.cpp talks to the service manager.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "base/wstring.h"
#include "settings/property_table.h"

namespace qel {

enum class ServiceCommandKind { Install, Uninstall };

struct ServiceCommand {
    ServiceCommandKind kind = ServiceCommandKind::Install;
    // The argument after the switch; empty when the switch was the last one.
    WString name;
};

// The first "-kwqelinstall" or "-kwqeluninstall" among the arguments (after the
// launcher's own path), with the argument after it; none without either.
std::optional<ServiceCommand> serviceCommandFrom(const std::vector<WString>& arguments);

// A name the service can run under: not empty, at most 256 units (the service
// manager's limit), and without blanks, tabs or double quotes (the launcher
// splits its command line at blanks and takes the one word after -kwqelservice)
// and without slashes or backslashes (which the service manager refuses).
bool isValidServiceName(std::wstring_view name);

enum class ServiceStart {
    // Started by hand (sc start, the Services console) or by a program.
    Demand,
    // Started with Windows.
    Auto,
    // Started with Windows, shortly after the automatic ones.
    Delayed,
};

// "auto", "delayed" or "demand" in any case, blanks around them ignored; none
// for any other text.
std::optional<ServiceStart> parseServiceStart(std::wstring_view text);

// What the service manager stores for an installed service.
struct ServiceInstallPlan {
    WString name;
    WString displayName;
    // Empty: no description is set.
    WString description;
    // The executable's full path in double quotes, then "-kwqelservice NAME":
    // unquoted, a path with blanks would let Windows try "C:\Program.exe" first.
    WString commandLine;
    ServiceStart start = ServiceStart::Demand;
    // 0: the service manager does not restart the service when it fails.
    std::uint32_t restartDelayMs = 0;
};

// What the service manager does when the service fails (ends without reporting
// STOPPED, or reports STOPPED with an error): with a restart delay, it starts
// the service again after the delay, for the first kRestartAttempts failures;
// the count starts again after resetSeconds without a failure. Without a delay
// there are no actions.
inline constexpr std::uint32_t kRestartAttempts = 3;
struct FailureActions {
    std::uint32_t resetSeconds = 0;
    // One restart per entry, after that many milliseconds.
    std::vector<std::uint32_t> restartDelaysMs;
};
FailureActions failureActionsOf(const ServiceInstallPlan& plan);

// The full path of the executable in quotes and the service switch with the name.
WString installedCommandLine(std::wstring_view executablePath, std::wstring_view serviceName);

// The plan for installing the service name for the executable with these
// settings; or, when a setting cannot be used, its key.
struct InstallPlanResult {
    std::optional<ServiceInstallPlan> plan;
    WString invalidKey;
};
InstallPlanResult planServiceInstall(std::wstring_view serviceName, std::wstring_view executablePath,
                                     const PropertyTable& properties);

// The text of message 104 for a service setting that cannot be used: the
// message, then a line naming the key and what it takes.
WString invalidServiceSettingText(std::wstring_view invalidMessage, std::wstring_view key);

// Windows errors of the commands that the user is told of by name.
namespace service_error {
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidName = 123;  // ERROR_INVALID_NAME
inline constexpr std::uint32_t kDoesNotExist = 1060;  // ERROR_SERVICE_DOES_NOT_EXIST
inline constexpr std::uint32_t kNotActive = 1062;  // ERROR_SERVICE_NOT_ACTIVE
inline constexpr std::uint32_t kExists = 1073;  // ERROR_SERVICE_EXISTS
inline constexpr std::uint32_t kMarkedForDelete = 1072;  // ERROR_SERVICE_MARKED_FOR_DELETE
}  // namespace service_error

// The text that tells why the command failed: which service and what was done,
// the system's text for the Windows error (as given; without it the error's
// number), and for access denied that the command needs an administrator.
WString serviceCommandFailureText(ServiceCommandKind kind, std::wstring_view serviceName, std::uint32_t error,
                                  std::wstring_view systemText);

// Whether a service's stored command line starts a launcher as the service of
// this name ("-kwqelservice NAME", the name in any case): only such a service is
// removed, so that a mistyped name cannot remove another program's service.
bool isLauncherService(std::wstring_view storedCommandLine, std::wstring_view serviceName);

// Why a service that is not a launcher's is left as it is.
WString notLauncherServiceText(std::wstring_view serviceName, std::wstring_view storedCommandLine);

// The line the console twin prints after the command succeeded.
WString serviceCommandDoneText(ServiceCommandKind kind, std::wstring_view serviceName, std::wstring_view commandLine);

}  // namespace qel
