#pragma once

// Installing and removing the launcher's own service from its command line:
// "-kwqelinstall NAME" creates the own-process service NAME that starts this
// executable with "-kwqelservice NAME" and the arguments given after NAME,
// configured by the qel.service.* settings;
// "-kwqeluninstall NAME" stops it when it runs and removes it. "-kwqelstart",
// "-kwqelstop", "-kwqelrestart" and "-kwqelstatus" control such a service
// (service_control_rules.h). The rules here decide; service_install_win.cpp
// talks to the service manager.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "base/wstring.h"
#include "settings/property_table.h"

namespace qel {

enum class ServiceCommandKind { Install, Uninstall, Start, Stop, Restart, Status };

struct ServiceCommand {
    ServiceCommandKind kind = ServiceCommandKind::Install;
    // The argument after the switch; empty when the switch was the last one.
    WString name;
    // Installing: "--password-env VAR" right after the name gives the
    // environment variable that holds a user account's password.
    bool passwordVariableGiven = false;
    // VAR; empty when "--password-env" was the last argument.
    WString passwordVariable;
    // Installing: the arguments after the name (and after "--password-env VAR"),
    // which the service's command line passes on to the application.
    std::vector<WString> arguments;
};

// The first of the service switches (kInstallSwitch ... kStatusSwitch) among
// the arguments (after the launcher's own path), with the argument after it
// and, for installing, a "--password-env VAR" after that; none without any of
// them.
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

// The account a service runs as (qel.service.account).
enum class ServiceAccountKind {
    LocalSystem,
    LocalService,
    NetworkService,
    // "NT SERVICE\NAME": the service's own account, made by the service manager;
    // no password.
    Virtual,
    // "DOMAIN\user" or ".\user" (an account of this computer); needs a password.
    User,
};

struct ServiceAccount {
    ServiceAccountKind kind = ServiceAccountKind::LocalSystem;
    // What CreateServiceW takes as the start name; empty for LocalSystem (no
    // name is LocalSystem).
    WString startName;
};

// The account text, blanks around it ignored: empty, "LocalSystem" or
// "NT AUTHORITY\SYSTEM" for LocalSystem; "LocalService", "NetworkService" or
// their "NT AUTHORITY\" names; "NT SERVICE\NAME" (NAME: the service's name,
// any case, as the service manager makes it for that service only); a user as
// "DOMAIN\user" or ".\user". The prefixes and well-known names in any case.
// None for anything else (a name without a domain, an empty part, a second
// backslash, a virtual account of another service).
std::optional<ServiceAccount> parseServiceAccount(std::wstring_view text, std::wstring_view serviceName);

// The name LookupAccountNameW is asked about for a user account: ".\user" is
// the user of this computer.
WString accountLookupName(std::wstring_view startName, std::wstring_view computerName);

// The services and "+group"s the service needs, separated by ";", blanks around
// each ignored, empty entries skipped; none when an entry holds a slash or
// backslash, is a lone "+", or is the service itself.
std::optional<std::vector<WString>> parseServiceDependencies(std::wstring_view text, std::wstring_view serviceName);

// The list as CreateServiceW takes it: each name and its NUL, then one more NUL
// (the size counts both last NULs); empty for no dependencies.
WString dependenciesMultiString(const std::vector<WString>& dependencies);

// What the service manager stores for an installed service.
struct ServiceInstallPlan {
    WString name;
    WString displayName;
    // Empty: no description is set.
    WString description;
    // The executable's full path in double quotes, then "-kwqelservice NAME" and
    // the application's arguments: unquoted, a path with blanks would let
    // Windows try "C:\Program.exe" first.
    WString commandLine;
    ServiceStart start = ServiceStart::Demand;
    // 0: the service manager does not restart the service when it fails.
    std::uint32_t restartDelayMs = 0;
    ServiceAccount account;
    // Started before this service.
    std::vector<WString> dependencies;
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

// The full path of the executable in quotes, the service switch with the name,
// and the arguments for the application, each as the launcher's split reads it
// back (launcherArgumentText).
WString installedCommandLine(std::wstring_view executablePath, std::wstring_view serviceName,
                             const std::vector<WString>& arguments = {});

// The first of the arguments for the application that the service's run would
// take as its own switch (isServiceSwitch); none when there is none.
std::optional<WString> serviceSwitchAmong(const std::vector<WString>& arguments);

// Why the command's arguments cannot be stored for the application.
WString serviceSwitchArgumentText(std::wstring_view serviceName, std::wstring_view switchWord);

// The plan for installing the service name for the executable with these
// settings; or, when a setting cannot be used, its key.
struct InstallPlanResult {
    std::optional<ServiceInstallPlan> plan;
    WString invalidKey;
};
InstallPlanResult planServiceInstall(std::wstring_view serviceName, std::wstring_view executablePath,
                                     const PropertyTable& properties, const std::vector<WString>& arguments = {});

// The text of message 104 for a service setting that cannot be used: the
// message, then a line naming the key and what it takes.
WString invalidServiceSettingText(std::wstring_view invalidMessage, std::wstring_view key);

// Message 104 for an account that Windows does not know.
WString unknownServiceAccountText(std::wstring_view invalidMessage, std::wstring_view account);

// Where a user account's password comes from: the variable of
// "--password-env VAR", or else the console twin's prompt; the windowed
// launcher cannot ask for it.
enum class PasswordSource { None, Variable, Prompt, Unavailable };
PasswordSource passwordSourceOf(const ServiceCommand& command, const ServiceAccount& account, bool canPrompt);

// The prompt for the password, written without a line end.
WString passwordPromptText(std::wstring_view account);

// Why the password could not be had: "--password-env" without a name, a
// variable that is not set, no way to ask for it, or (prompted) standard input
// that ended before a line was typed.
WString passwordFailureText(std::wstring_view serviceName, std::wstring_view account,
                            const ServiceCommand& command, bool prompted = false);

// Windows errors of the commands that the user is told of by name.
namespace service_error {
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t kVariableNotFound = 203;  // ERROR_ENVVAR_NOT_FOUND
inline constexpr std::uint32_t kInvalidName = 123;  // ERROR_INVALID_NAME
inline constexpr std::uint32_t kDoesNotExist = 1060;  // ERROR_SERVICE_DOES_NOT_EXIST
inline constexpr std::uint32_t kNotActive = 1062;  // ERROR_SERVICE_NOT_ACTIVE
inline constexpr std::uint32_t kExists = 1073;  // ERROR_SERVICE_EXISTS
inline constexpr std::uint32_t kMarkedForDelete = 1072;  // ERROR_SERVICE_MARKED_FOR_DELETE
inline constexpr std::uint32_t kDuplicateName = 1078;  // ERROR_DUPLICATE_SERVICE_NAME
}  // namespace service_error

// What the command was doing, for the start of its failure texts:
// "Installing the service NAME failed: ".
WString serviceCommandFailurePrefix(ServiceCommandKind kind, std::wstring_view serviceName);

// The text that tells why the command failed: which service and what was done,
// the system's text for the Windows error (as given; without it the error's
// number), for access denied that the command needs an administrator, and for
// a display name another service has which name it is and its key.
WString serviceCommandFailureText(ServiceCommandKind kind, std::wstring_view serviceName, std::uint32_t error,
                                  std::wstring_view systemText, std::wstring_view displayName = {});

// Whether a service's stored command line starts a launcher as the service of
// this name ("-kwqelservice NAME", the name in any case): only such a service is
// removed, so that a mistyped name cannot remove another program's service.
bool isLauncherService(std::wstring_view storedCommandLine, std::wstring_view serviceName);

// Why a service that is not a launcher's is left as it is by the command of
// the kind.
WString notLauncherServiceText(ServiceCommandKind kind, std::wstring_view serviceName,
                               std::wstring_view storedCommandLine);

// The line the console twin prints after installing or removing succeeded.
WString serviceCommandDoneText(ServiceCommandKind kind, std::wstring_view serviceName, std::wstring_view commandLine);

}  // namespace qel
