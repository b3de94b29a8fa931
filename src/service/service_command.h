#pragma once

// The launcher's own service from its command line: "-kwqelinstall NAME"
// creates the own-process service NAME that starts this executable with
// "-kwqelservice NAME", configured by the qel.service.* settings, and keeps the
// arguments given after NAME for the application; "-kwqeluninstall NAME" stops
// it when it runs and removes it; "-kwqelstart NAME", "-kwqelstop NAME" and
// "-kwqelrestart NAME" start, stop and restart it, and "-kwqelstatus NAME"
// tells its state. The rules here parse the commands, decide what each state
// the service manager reports means, what is asked of the manager next, how
// long a command waits and what the user is told; service_command_win.h talks
// to the service manager.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "base/wstring.h"
#include "launch/command_line.h"
#include "service/service_host.h"
#include "settings/property_table.h"

namespace qel {

enum class ServiceCommandKind { Install, Uninstall, Start, Stop, Restart, Status };

// What a command did: the outcome the user is told of.
struct ServiceCommandOutcome {
    // 0, or the Windows error that made the command fail (also the exit code).
    std::uint32_t error = 0;
    // What the user is told: the failure, or the line saying what was done.
    WString text;
    // "-kwqelstatus": the text is the state line and error the status code
    // (service_status), not a failure; the console twin prints it on standard
    // output whatever the code, the windowed launcher shows nothing.
    bool stateReport = false;
};

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

// A name the service can run under: not empty, at most kMaxServiceNameUnits
// units (the service manager's limit), and without blanks, tabs or double
// quotes (the launcher splits its command line at blanks and takes the one word
// after -kwqelservice) and without slashes or backslashes (which the service
// manager refuses).
inline constexpr std::size_t kMaxServiceNameUnits = 256;
bool isValidServiceName(std::wstring_view name);

// With a log directory, the service's logs are NAME.out.log and NAME.err.log
// there: a name that makes them devices ("CON", "nul", "COM1") cannot have
// logs, and the service could never start.
bool logsWouldBeDevices(std::wstring_view serviceName);

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
    // The executable's full path in double quotes, then "-kwqelservice NAME":
    // unquoted, a path with blanks would let Windows try "C:\Program.exe"
    // first.
    WString commandLine;
    // The application's arguments as stored in the service's own key
    // (storedArgumentsText); empty for none.
    WString arguments;
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

// The full path of the executable in quotes and the service switch with the
// name. The service manager expands %NAME% in what it stores (as in a
// REG_EXPAND_SZ), so the application's arguments are not part of it: they are
// kept in the service's own key, which it does not expand.
WString installedCommandLine(std::wstring_view executablePath, std::wstring_view serviceName);

// Where the service's arguments for the application are kept: the key below
// HKEY_LOCAL_MACHINE (the service's own, removed with it) and its REG_SZ value.
WString serviceParametersKeyPath(std::wstring_view serviceName);
inline constexpr std::wstring_view kArgumentsValue = L"Arguments";

// The arguments as stored: each as the launcher's split reads it back
// (launcherArgumentText), separated by blanks; empty for none.
WString storedArgumentsText(const std::vector<WString>& arguments);

// The service run's command line: the one the service manager started it with,
// then the stored arguments, split as the launcher splits its own ("-i console"
// among them asks for the console as it would on the command line).
CommandLine withStoredArguments(CommandLine started, std::wstring_view storedArguments);

// The executable's path as the service's command line names it, so that the
// service manager's expansion (expand: ExpandEnvironmentStringsW) leaves the
// whole command line as it is: the path itself when it does; else, for a path
// holding % signs, the path with a component "%_=" and ".." after its root.
// Windows drops both when it resolves the path, and the % it adds pairs with
// the path's first % around a name that holds "=", which no variable has, so
// the path's other % signs pair differently. None when neither is left as it
// is (the service's name holds a variable, or the folder's names do either
// way).
using ExpandReferences = std::function<WString(std::wstring_view)>;
std::optional<WString> serviceImagePath(std::wstring_view executablePath, std::wstring_view serviceName,
                                        const ExpandReferences& expand);

// Why no such path exists: the command line and what the manager would make of it.
WString expandedCommandLineText(std::wstring_view serviceName, std::wstring_view commandLine,
                                std::wstring_view expanded);

// The first of the arguments for the application that the service's run would
// take as its own switch (isServiceSwitch); none when there is none.
std::optional<WString> serviceSwitchAmong(const std::vector<WString>& arguments);

// Why the command's arguments cannot be stored for the application.
WString serviceSwitchArgumentText(std::wstring_view serviceName, std::wstring_view switchWord);

// The plan for installing the service name for the executable (its path as
// serviceImagePath gives it) with these settings; or, when a setting cannot be
// used, its key.
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
inline constexpr std::uint32_t kAlreadyExists = 183;  // ERROR_ALREADY_EXISTS
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

// Why a name cannot be a service's: the text of serviceCommandFailureText for
// ERROR_INVALID_NAME, and for a name that is too long, its length and the limit.
WString invalidServiceNameText(ServiceCommandKind kind, std::wstring_view serviceName, std::wstring_view systemText);

// Why a service whose logs would be devices (logsWouldBeDevices) is not installed.
WString deviceLogsText(std::wstring_view serviceName);

// Whether an existing event source of the service's name is the launcher's:
// its message file is the program the service's command line starts (case
// aside). A source of another program (another message file, or none) is never
// changed or removed.
bool isLauncherEventSource(std::optional<WString> messageFile, std::wstring_view launcherPath);

// The program a stored command line starts: its first argument.
WString programOf(std::wstring_view storedCommandLine);

// Why installing leaves another program's event source of the name alone and
// installs nothing.
WString foreignEventSourceText(std::wstring_view serviceName, std::optional<WString> messageFile);

// The line added to a failed install's text when the service it created could
// not be removed again (the Windows error of DeleteService).
WString notRemovedAgainText(std::wstring_view serviceName, std::uint32_t error, std::wstring_view systemText);

// Whether a service's stored command line starts a launcher as the service of
// this name ("-kwqelservice NAME", the name in any case): only such a service is
// removed, so that a mistyped name cannot remove another program's service.
bool isLauncherService(std::wstring_view storedCommandLine, std::wstring_view serviceName);

// Why a service that is not a launcher's is left as it is by the command of
// the kind.
WString notLauncherServiceText(ServiceCommandKind kind, std::wstring_view serviceName,
                               std::wstring_view storedCommandLine);

// The line the console twin prints after installing or removing succeeded:
// installing, the command line and the stored arguments; removing, whether an
// event source of the name that is another program's was left.
WString serviceCommandDoneText(ServiceCommandKind kind, std::wstring_view serviceName, std::wstring_view commandLine,
                               std::wstring_view arguments = {}, bool foreignSourceLeft = false);

// Starting, stopping and restarting the service, and telling its state.

namespace service {
// The states of the Windows service protocol beside those of service_host.h.
inline constexpr std::uint32_t kContinuePending = 5;
inline constexpr std::uint32_t kPausePending = 6;
inline constexpr std::uint32_t kPaused = 7;
}  // namespace service

namespace service_error {
inline constexpr std::uint32_t kRequestTimeout = 1053;  // ERROR_SERVICE_REQUEST_TIMEOUT
inline constexpr std::uint32_t kAlreadyRunning = 1056;  // ERROR_SERVICE_ALREADY_RUNNING
inline constexpr std::uint32_t kNeverStarted = 1077;  // ERROR_SERVICE_NEVER_STARTED
}  // namespace service_error

// The exit codes of "-kwqelstatus NAME": scripts test them.
namespace service_status {
inline constexpr std::uint32_t kRunning = 0;
inline constexpr std::uint32_t kStopped = 1;
// Starting, stopping, continuing, pausing or paused: neither running nor stopped.
inline constexpr std::uint32_t kPending = 2;
// No service of that name (ERROR_SERVICE_DOES_NOT_EXIST).
inline constexpr std::uint32_t kNotInstalled = service_error::kDoesNotExist;
}  // namespace service_status

// The state in words: "running", "stopped", "start pending", "stop pending",
// "continue pending", "pause pending", "paused"; "in state N" for another number.
WString serviceStateText(std::uint32_t state);

// The exit code of "-kwqelstatus" for the state the manager reports; none
// (the service is not installed) gives kNotInstalled. A paused service counts
// as pending: a launcher's service accepts no pause, so it is on its way
// somewhere else.
std::uint32_t serviceStatusCode(std::optional<std::uint32_t> state);

// The line "-kwqelstatus" prints: "The service NAME is running." and a line
// end, or "... is not installed." without a state.
WString serviceStatusText(std::wstring_view serviceName, std::optional<std::uint32_t> state);

// How long a start waits for the service to report RUNNING or STOPPED,
// counted from the start request (the launcher's service reports RUNNING once
// its VM runs).
inline constexpr std::uint32_t kStartWaitMs = 120000;
// A stop waits the service's stop timeout (qel.service.stop.timeout, which the
// service gives its VM before it ends it) and this margin, counted from the stop
// request.
inline constexpr std::uint32_t kStopWaitMarginMs = 30000;
// The stop timeout assumed when the settings cannot be read.
inline constexpr std::uint32_t kStopTimeoutWithoutSettingsMs = 300000;
// How often the command asks the manager for the state while it waits.
inline constexpr std::uint32_t kControlPollMs = 100;

// How long a stop waits for STOPPED: the stop timeout the settings give (none
// when they cannot be read) and the margin.
std::uint32_t stopWaitMs(std::optional<std::uint32_t> stopTimeoutMs);

// What the service manager reports of the service.
struct ObservedService {
    std::uint32_t state = service::kStopped;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
};

// What the command does next.
enum class ControlStep {
    // Ask for the state now, and tell observed().
    Query,
    // Wait kControlPollMs, then ask for the state and tell observed().
    Wait,
    // StartServiceW, then tell requested().
    SendStart,
    // ControlService(STOP), then tell requested().
    SendStop,
    // The command has ended: see error() and text().
    Done,
};

// One start, stop or restart of a service, driven by what the manager reports.
// The clock is any millisecond count that only rises (the shell's
// GetTickCount64).
//
// Start: a stopped service is started, and the command waits until it runs
// (success) or stops (failure, with its exit codes). A running one needs
// nothing; one that is starting is waited for; one that is stopping is waited
// for until it has stopped, then started.
// Stop: a stopped service needs nothing (success); a running one is asked to
// stop and waited for until STOPPED; one that is stopping is waited for; one
// that is starting is waited for until it runs (the manager refuses a stop
// while it starts), then asked to stop.
// Restart: the stop (when it runs), then the start.
// A wait that ends before the state it waits for fails with 1053.
// A start request that fails with 1053 may have started a service that
// stopped at once (Wine's manager answers so when the first report is
// STOPPED): the state then tells, and the service's exit codes are the
// failure's when it reported any. A start request refused as "already
// running" while the service is stopped (its last process is still ending)
// is made again, one poll later, until the start's wait ends.
class ServiceControl {
public:
    // The system's text for a Windows error (empty when it has none).
    using SystemText = std::function<WString(std::uint32_t)>;

    ServiceControl(ServiceCommandKind kind, std::wstring_view serviceName, std::uint32_t stopWaitMs,
                   SystemText systemText, std::uint32_t startWaitMs = kStartWaitMs);

    // The first step: ask for the state.
    ControlStep first() const { return ControlStep::Query; }
    // After the manager reported the service's state at nowMs.
    ControlStep observed(const ObservedService& service, std::uint64_t nowMs);
    // After SendStart or SendStop: 0 when the manager took the request, else
    // its Windows error.
    ControlStep requested(std::uint32_t error, std::uint64_t nowMs);
    // The manager could not be asked for the state: the command fails with
    // the error.
    ControlStep queryFailed(std::uint32_t error);

    // Once Done: 0, or the Windows error that is the exit code.
    std::uint32_t error() const { return error_; }
    // Once Done: the line saying what was done, or why the command failed.
    const WString& text() const { return text_; }

private:
    enum class Phase {
        // Nothing asked yet: the first state decides.
        Begin,
        // Waiting for a starting service to run, before asking it to stop.
        AwaitRunningBeforeStop,
        // The stop was asked for (or was under way before).
        AwaitStopped,
        // Waiting for a stopping service to stop, before starting it.
        AwaitStoppedBeforeStart,
        // The start was asked for (or was under way before).
        AwaitRunning,
        Ended,
    };

    ControlStep beginStop(const ObservedService& service, std::uint64_t nowMs);
    ControlStep beginStart(const ObservedService& service, std::uint64_t nowMs);
    ControlStep stopped();
    WString runningText() const;
    ControlStep waitUntil(Phase phase, std::uint64_t deadlineMs);
    ControlStep waitOrTimeOut(std::uint32_t state, std::uint64_t nowMs);
    ControlStep succeed(WString text);
    ControlStep fail(std::uint32_t error, WString text);
    ControlStep failWith(std::uint32_t error);

    ServiceCommandKind kind_;
    WString name_;
    std::uint32_t stopWaitMs_;
    std::uint32_t startWaitMs_;
    SystemText systemText_;
    Phase phase_ = Phase::Begin;
    std::uint64_t deadlineMs_ = 0;
    std::uint32_t waitedMs_ = 0;
    // What the service was when the command began, and what was asked of it
    // (for the texts).
    bool wasRunning_ = false;
    bool wasStopped_ = false;
    bool sentStop_ = false;
    bool sentStart_ = false;
    // The start request's error that still waits for the state to tell.
    std::uint32_t startError_ = 0;
    // A refused start is made again after one more poll.
    bool startRetryDue_ = false;
    std::uint32_t error_ = 0;
    WString text_;
};

}  // namespace qel
