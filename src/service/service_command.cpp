#include "service/service_command.h"

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>

#include "base/path_text.h"
#include "base/text.h"
#include "launch/command_line.h"
#include "service/service_events.h"
#include "settings/properties.h"
#include "settings/settings.h"

namespace qel {

std::optional<ServiceCommand> serviceCommandFrom(const std::vector<WString>& arguments)
{
    constexpr std::pair<std::wstring_view, ServiceCommandKind> kSwitches[] = {
        {kInstallSwitch, ServiceCommandKind::Install}, {kUninstallSwitch, ServiceCommandKind::Uninstall},
        {kStartSwitch, ServiceCommandKind::Start},     {kStopSwitch, ServiceCommandKind::Stop},
        {kRestartSwitch, ServiceCommandKind::Restart}, {kStatusSwitch, ServiceCommandKind::Status},
    };
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const auto found = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                        [&](const auto& entry) { return arguments[i] == entry.first; });
        if (found != std::end(kSwitches)) {
            const bool install = found->second == ServiceCommandKind::Install;
            ServiceCommand command;
            command.kind = found->second;
            command.name = i + 1 < arguments.size() ? arguments[i + 1] : WString();
            std::size_t rest = i + 2;
            if (install && i + 2 < arguments.size() && arguments[i + 2] == kPasswordEnvSwitch) {
                command.passwordVariableGiven = true;
                command.passwordVariable = i + 3 < arguments.size() ? arguments[i + 3] : WString();
                rest = i + 4;
            }
            if (install && rest < arguments.size()) {
                command.arguments.assign(arguments.begin() + static_cast<std::ptrdiff_t>(rest), arguments.end());
            }
            return command;
        }
    }
    return std::nullopt;
}

bool isValidServiceName(std::wstring_view name)
{
    return !name.empty() && name.size() <= kMaxServiceNameUnits && name.find_first_of(L" \t\"/\\") == WString::npos;
}

bool logsWouldBeDevices(std::wstring_view serviceName)
{
    return isDeviceName(WString(serviceName) + L".out.log") || isDeviceName(WString(serviceName) + L".err.log");
}

std::optional<ServiceStart> parseServiceStart(std::wstring_view text)
{
    const WString word = toLowerAscii(trimControl(text));
    if (word == L"demand") {
        return ServiceStart::Demand;
    }
    if (word == L"auto") {
        return ServiceStart::Auto;
    }
    if (word == L"delayed") {
        return ServiceStart::Delayed;
    }
    return std::nullopt;
}

namespace {

bool startsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix)
{
    return text.size() >= prefix.size() && toLowerAscii(text.substr(0, prefix.size())) == toLowerAscii(prefix);
}

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return toLowerAscii(a) == toLowerAscii(b);
}

constexpr std::wstring_view kNtAuthority = L"NT AUTHORITY\\";
constexpr std::wstring_view kNtService = L"NT SERVICE\\";

}  // namespace

std::optional<ServiceAccount> parseServiceAccount(std::wstring_view text, std::wstring_view serviceName)
{
    const std::wstring_view account = trimControl(text);
    for (const wchar_t* name : {L"", L"LocalSystem", L"NT AUTHORITY\\SYSTEM"}) {
        if (equalsIgnoringCase(account, name)) {
            return ServiceAccount{ServiceAccountKind::LocalSystem, WString()};
        }
    }
    for (const auto& [name, kind] : {std::pair{L"LocalService", ServiceAccountKind::LocalService},
                                     std::pair{L"NetworkService", ServiceAccountKind::NetworkService}}) {
        if (equalsIgnoringCase(account, name) || equalsIgnoringCase(account, WString(kNtAuthority) + name)) {
            return ServiceAccount{kind, WString(kNtAuthority) + name};
        }
    }
    const std::size_t backslash = account.find(L'\\');
    if (backslash == std::wstring_view::npos || backslash == 0 || backslash + 1 == account.size() ||
        account.find(L'\\', backslash + 1) != std::wstring_view::npos) {
        return std::nullopt;
    }
    if (startsWithIgnoringCase(account, kNtService)) {
        // The service manager makes this account for its service only.
        if (!equalsIgnoringCase(account.substr(kNtService.size()), serviceName)) {
            return std::nullopt;
        }
        return ServiceAccount{ServiceAccountKind::Virtual, WString(kNtService) + WString(serviceName)};
    }
    if (startsWithIgnoringCase(account, kNtAuthority)) {
        return std::nullopt;  // no other built-in account runs services
    }
    return ServiceAccount{ServiceAccountKind::User, WString(account)};
}

WString accountLookupName(std::wstring_view startName, std::wstring_view computerName)
{
    if (startName.substr(0, 2) == L".\\") {
        return WString(computerName) + WString(startName.substr(1));
    }
    return WString(startName);
}

std::optional<std::vector<WString>> parseServiceDependencies(std::wstring_view text, std::wstring_view serviceName)
{
    std::vector<WString> dependencies;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L';', start);
        if (end == std::wstring_view::npos) {
            end = text.size();
        }
        const std::wstring_view entry = trimControl(text.substr(start, end - start));
        start = end + 1;
        if (entry.empty()) {
            continue;
        }
        if (entry == L"+" || entry.find_first_of(L"/\\") != std::wstring_view::npos ||
            equalsIgnoringCase(entry, serviceName)) {
            return std::nullopt;
        }
        dependencies.emplace_back(entry);
    }
    return dependencies;
}

WString dependenciesMultiString(const std::vector<WString>& dependencies)
{
    if (dependencies.empty()) {
        return WString();
    }
    WString list;
    for (const WString& name : dependencies) {
        list += name;
        list += L'\0';
    }
    list += L'\0';
    return list;
}

WString installedCommandLine(std::wstring_view executablePath, std::wstring_view serviceName)
{
    return L"\"" + WString(executablePath) + L"\" " + WString(kServiceSwitch) + L" " + WString(serviceName);
}

WString serviceParametersKeyPath(std::wstring_view serviceName)
{
    return L"SYSTEM\\CurrentControlSet\\Services\\" + WString(serviceName) + L"\\Parameters";
}

WString storedArgumentsText(const std::vector<WString>& arguments)
{
    WString text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        text += (i == 0 ? L"" : L" ") + launcherArgumentText(arguments[i]);
    }
    return text;
}

CommandLine withStoredArguments(CommandLine started, std::wstring_view storedArguments)
{
    // The split takes a first argument as the program: a word of its own
    // stands in for it.
    const CommandLine stored = CommandLine::split(L"program " + WString(storedArguments));
    started.arguments.insert(started.arguments.end(), stored.arguments.begin() + 1, stored.arguments.end());
    started.consoleRequested = started.consoleRequested || stored.consoleRequested;
    return started;
}

namespace {

// After "C:\" or "\\server\share\"; none for another form.
std::optional<std::size_t> rootEnd(std::wstring_view path)
{
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
        return 3;
    }
    if (path.substr(0, 2) == L"\\\\") {
        const std::size_t server = path.find(L'\\', 2);
        const std::size_t share = server == std::wstring_view::npos ? server : path.find(L'\\', server + 1);
        if (share != std::wstring_view::npos) {
            return share + 1;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<WString> serviceImagePath(std::wstring_view executablePath, std::wstring_view serviceName,
                                        const ExpandReferences& expand)
{
    std::vector<WString> candidates{WString(executablePath)};
    const auto root = rootEnd(executablePath);
    if (executablePath.find(L'%') != std::wstring_view::npos && root) {
        candidates.push_back(WString(executablePath.substr(0, *root)) + L"%_=\\..\\" +
                             WString(executablePath.substr(*root)));
    }
    for (const WString& candidate : candidates) {
        const WString line = installedCommandLine(candidate, serviceName);
        if (expand(line) == line) {
            return candidate;
        }
    }
    return std::nullopt;
}

WString expandedCommandLineText(std::wstring_view serviceName, std::wstring_view commandLine,
                                std::wstring_view expanded)
{
    return L"Installing the service " + WString(serviceName) + L" failed: the service manager would read the % " +
           L"signs of its command line " + WString(commandLine) + L" as environment variables and run " +
           WString(expanded) + L" instead. Install the launcher in a folder whose path has no % sign, and give the "
           L"service a name without one.";
}

std::optional<WString> serviceSwitchAmong(const std::vector<WString>& arguments)
{
    for (const WString& argument : arguments) {
        if (isServiceSwitch(argument)) {
            return argument;
        }
    }
    return std::nullopt;
}

WString serviceSwitchArgumentText(std::wstring_view serviceName, std::wstring_view switchWord)
{
    return L"Installing the service " + WString(serviceName) + L" failed: " + WString(switchWord) +
           L" cannot be an argument of the application, because the service's launcher would take it as its own "
           L"switch.";
}

InstallPlanResult planServiceInstall(std::wstring_view serviceName, std::wstring_view executablePath,
                                     const PropertyTable& properties, const std::vector<WString>& arguments)
{
    const auto start = parseServiceStart(setting(properties, keys::serviceStart));
    if (!start) {
        return InstallPlanResult{std::nullopt, keys::serviceStart.name};
    }
    const auto account = parseServiceAccount(setting(properties, keys::serviceAccount), serviceName);
    if (!account) {
        return InstallPlanResult{std::nullopt, keys::serviceAccount.name};
    }
    auto dependencies = parseServiceDependencies(setting(properties, keys::serviceDependencies), serviceName);
    if (!dependencies) {
        return InstallPlanResult{std::nullopt, keys::serviceDependencies.name};
    }
    const auto restartDelayMs = serviceRestartDelayMs(properties);
    if (!restartDelayMs) {
        return InstallPlanResult{std::nullopt, keys::serviceRestartDelay.name};
    }
    if (auto logKey = refusedServiceLogKey(properties)) {
        return InstallPlanResult{std::nullopt, std::move(*logKey)};
    }
    ServiceInstallPlan plan;
    plan.name = WString(serviceName);
    plan.account = *account;
    plan.dependencies = std::move(*dependencies);
    plan.displayName = setting(properties, keys::serviceDisplayName);
    if (plan.displayName.empty()) {
        plan.displayName = plan.name;
    }
    plan.description = setting(properties, keys::serviceDescription);
    plan.commandLine = installedCommandLine(executablePath, serviceName);
    plan.arguments = storedArgumentsText(arguments);
    plan.start = *start;
    plan.restartDelayMs = *restartDelayMs;
    return InstallPlanResult{std::move(plan), WString()};
}

FailureActions failureActionsOf(const ServiceInstallPlan& plan)
{
    if (plan.restartDelayMs == 0) {
        return FailureActions{};
    }
    constexpr std::uint32_t kDaySeconds = 24 * 60 * 60;
    return FailureActions{kDaySeconds, std::vector<std::uint32_t>(kRestartAttempts, plan.restartDelayMs)};
}

WString invalidServiceSettingText(std::wstring_view invalidMessage, std::wstring_view key)
{
    if (key == keys::serviceLogSize.name || key == keys::serviceLogKeep.name) {
        return invalidServiceLogText(invalidMessage, key);
    }
    WString rule = L" must be auto, delayed or demand.";
    if (key == keys::serviceAccount.name) {
        rule = L" must be LocalSystem, LocalService, NetworkService, NT SERVICE\\ and the service's name, or a "
               L"user as DOMAIN\\user or .\\user.";
    } else if (key == keys::serviceRestartDelay.name) {
        rule = L" must be a whole number of seconds.";
    } else if (key == keys::serviceDependencies.name) {
        rule = L" must be names of services or +groups separated by ;, without slashes or backslashes, and not "
               L"the service itself.";
    }
    return WString(invalidMessage) + L"\n\n" + WString(key) + rule;
}

WString unknownServiceAccountText(std::wstring_view invalidMessage, std::wstring_view account)
{
    return WString(invalidMessage) + L"\n\n" + WString(keys::serviceAccount.name) + L" names the account " +
           WString(account) + L", which Windows does not know.";
}

PasswordSource passwordSourceOf(const ServiceCommand& command, const ServiceAccount& account, bool canPrompt)
{
    if (account.kind != ServiceAccountKind::User) {
        return PasswordSource::None;
    }
    if (command.passwordVariableGiven) {
        return PasswordSource::Variable;
    }
    return canPrompt ? PasswordSource::Prompt : PasswordSource::Unavailable;
}

WString passwordPromptText(std::wstring_view account)
{
    return L"Password of " + WString(account) + L": ";
}

WString passwordFailureText(std::wstring_view serviceName, std::wstring_view account,
                            const ServiceCommand& command, bool prompted)
{
    WString text = L"Installing the service " + WString(serviceName) + L" failed: ";
    if (command.passwordVariableGiven && command.passwordVariable.empty()) {
        return text + L"--password-env needs the name of an environment variable.";
    }
    if (command.passwordVariableGiven) {
        return text + L"the environment variable " + command.passwordVariable + L", which holds the password of " +
               WString(account) + L", is not set.";
    }
    if (prompted) {
        return text + L"no password of " + WString(account) + L" was typed: standard input ended before a line.";
    }
    return text + L"the password of " + WString(account) +
           L" is needed: give --password-env VAR, or install with the console twin, which asks for it.";
}

WString serviceCommandFailurePrefix(ServiceCommandKind kind, std::wstring_view serviceName)
{
    const wchar_t* doing = L"Installing the service ";
    switch (kind) {
    case ServiceCommandKind::Install:
        break;
    case ServiceCommandKind::Uninstall:
        doing = L"Removing the service ";
        break;
    case ServiceCommandKind::Start:
        doing = L"Starting the service ";
        break;
    case ServiceCommandKind::Stop:
        doing = L"Stopping the service ";
        break;
    case ServiceCommandKind::Restart:
        doing = L"Restarting the service ";
        break;
    case ServiceCommandKind::Status:
        doing = L"Reading the state of the service ";
        break;
    }
    return doing + WString(serviceName) + L" failed: ";
}

WString serviceCommandFailureText(ServiceCommandKind kind, std::wstring_view serviceName, std::uint32_t error,
                                  std::wstring_view systemText, std::wstring_view displayName)
{
    WString text = serviceCommandFailurePrefix(kind, serviceName);
    const std::wstring_view reason = withoutLineEnd(systemText);
    text += reason.empty() ? L"Windows error " + std::to_wstring(error) : WString(reason);
    if (error == service_error::kAccessDenied) {
        text += L"\nRun the command from an administrator's command prompt (Run as administrator).";
    } else if (error == service_error::kInvalidName) {
        text += L"\nA service name needs at least one character, and no blank, tab, double quote, slash or "
                L"backslash.";
    } else if (error == service_error::kDuplicateName) {
        text += L"\nAnother service already has the display name " + WString(displayName) + L" (" +
                WString(keys::serviceDisplayName.name) + L"): give this service another one there.";
    }
    return text;
}

WString invalidServiceNameText(ServiceCommandKind kind, std::wstring_view serviceName, std::wstring_view systemText)
{
    if (serviceName.size() > kMaxServiceNameUnits) {
        return serviceCommandFailurePrefix(kind, serviceName) + L"the name has " +
               std::to_wstring(serviceName.size()) + L" characters, and a service name has at most " +
               std::to_wstring(kMaxServiceNameUnits) + L".";
    }
    return serviceCommandFailureText(kind, serviceName, service_error::kInvalidName, systemText);
}

WString deviceLogsText(std::wstring_view serviceName)
{
    const WString name(serviceName);
    return serviceCommandFailurePrefix(ServiceCommandKind::Install, serviceName) + name +
           L" is the name of a device, so the service's logs " + name + L".out.log and " + name +
           L".err.log cannot be files in its log directory (" + WString(keys::serviceLogDirectory.name) +
           L"): give the service another name.";
}

WString notRemovedAgainText(std::wstring_view serviceName, std::uint32_t error, std::wstring_view systemText)
{
    const std::wstring_view reason = withoutLineEnd(systemText);
    return L"\nThe service " + WString(serviceName) + L" stays installed, but not as planned: removing it again " +
           L"failed: " + (reason.empty() ? L"Windows error " + std::to_wstring(error) : WString(reason)) +
           L"\nRemove it with -kwqeluninstall " + WString(serviceName) + L".";
}

bool isLauncherEventSource(std::optional<WString> messageFile, std::wstring_view launcherPath)
{
    return messageFile && !launcherPath.empty() && toLowerAscii(*messageFile) == toLowerAscii(launcherPath);
}

WString programOf(std::wstring_view storedCommandLine)
{
    const CommandLine line = CommandLine::split(storedCommandLine);
    return line.arguments.empty() ? WString() : line.arguments.front();
}

WString foreignEventSourceText(std::wstring_view serviceName, std::optional<WString> messageFile)
{
    return serviceCommandFailurePrefix(ServiceCommandKind::Install, serviceName) + L"the event source " +
           L"HKEY_LOCAL_MACHINE\\" + eventSourceKeyPath(serviceName) + L" is another program's (" +
           (messageFile ? L"its message file is " + *messageFile : WString(L"it names no message file")) +
           L"), so it is left as it is: give the service another name.";
}

bool isLauncherService(std::wstring_view storedCommandLine, std::wstring_view serviceName)
{
    const CommandLine line = CommandLine::split(storedCommandLine);
    return line.serviceRequested && toLowerAscii(line.serviceName) == toLowerAscii(serviceName);
}

WString notLauncherServiceText(ServiceCommandKind kind, std::wstring_view serviceName,
                               std::wstring_view storedCommandLine)
{
    return serviceCommandFailurePrefix(kind, serviceName) + L"it does not run a launcher as " +
           WString(serviceName) + L" (its command line is " + WString(storedCommandLine) +
           L"), so it is left as it is.";
}

WString serviceCommandDoneText(ServiceCommandKind kind, std::wstring_view serviceName, std::wstring_view commandLine,
                               std::wstring_view arguments, bool foreignSourceLeft)
{
    if (kind == ServiceCommandKind::Install) {
        return L"Installed the service " + WString(serviceName) + L": " + WString(commandLine) +
               (arguments.empty() ? WString() : L" " + WString(arguments)) + L"\n";
    }
    if (foreignSourceLeft) {
        return L"Removed the service " + WString(serviceName) + L"; the event source HKEY_LOCAL_MACHINE\\" +
               eventSourceKeyPath(serviceName) + L" is another program's and was left as it is.\n";
    }
    return L"Removed the service " + WString(serviceName) + L".\n";
}

WString serviceStateText(std::uint32_t state)
{
    switch (state) {
    case service::kStopped:
        return L"stopped";
    case service::kStartPending:
        return L"start pending";
    case service::kStopPending:
        return L"stop pending";
    case service::kRunning:
        return L"running";
    case service::kContinuePending:
        return L"continue pending";
    case service::kPausePending:
        return L"pause pending";
    case service::kPaused:
        return L"paused";
    default:
        return L"in state " + std::to_wstring(state);
    }
}

std::uint32_t serviceStatusCode(std::optional<std::uint32_t> state)
{
    if (!state) {
        return service_status::kNotInstalled;
    }
    if (*state == service::kRunning) {
        return service_status::kRunning;
    }
    return *state == service::kStopped ? service_status::kStopped : service_status::kPending;
}

WString serviceStatusText(std::wstring_view serviceName, std::optional<std::uint32_t> state)
{
    return L"The service " + WString(serviceName) + L" is " +
           (state ? serviceStateText(*state) : WString(L"not installed")) + L".\n";
}

std::uint32_t stopWaitMs(std::optional<std::uint32_t> stopTimeoutMs)
{
    return stopTimeoutMs.value_or(kStopTimeoutWithoutSettingsMs) + kStopWaitMarginMs;
}

ServiceControl::ServiceControl(ServiceCommandKind kind, std::wstring_view serviceName, std::uint32_t stopWaitMs,
                               SystemText systemText, std::uint32_t startWaitMs)
    : kind_(kind),
      name_(serviceName),
      stopWaitMs_(stopWaitMs),
      startWaitMs_(startWaitMs),
      systemText_(std::move(systemText))
{
}

ControlStep ServiceControl::observed(const ObservedService& service, std::uint64_t nowMs)
{
    const std::uint32_t state = service.state;
    switch (phase_) {
    case Phase::Begin:
        return kind_ == ServiceCommandKind::Start ? beginStart(service, nowMs) : beginStop(service, nowMs);
    case Phase::AwaitRunningBeforeStop:
        if (state == service::kStopped) {
            return stopped();
        }
        if (state == service::kStopPending) {
            return waitUntil(Phase::AwaitStopped, nowMs + stopWaitMs_);
        }
        if (state == service::kStartPending) {
            return waitOrTimeOut(state, nowMs);
        }
        sentStop_ = true;
        return ControlStep::SendStop;
    case Phase::AwaitStopped:
        if (state == service::kStopped) {
            return stopped();
        }
        return waitOrTimeOut(state, nowMs);
    case Phase::AwaitStoppedBeforeStart:
        if (state == service::kStopped) {
            sentStart_ = true;
            return ControlStep::SendStart;
        }
        return waitOrTimeOut(state, nowMs);
    case Phase::AwaitRunning:
        if (state == service::kRunning) {
            return succeed(runningText());
        }
        if (state == service::kStopped && startError_ == service_error::kAlreadyRunning) {
            if (nowMs >= deadlineMs_) {
                return failWith(startError_);
            }
            startRetryDue_ = !startRetryDue_;
            return startRetryDue_ ? ControlStep::Wait : ControlStep::SendStart;
        }
        if (state == service::kStopped && startError_ != 0 &&
            (service.win32ExitCode == 0 || service.win32ExitCode == service_error::kNeverStarted)) {
            // Stopped without a code of its own: the request's error tells why.
            return failWith(startError_);
        }
        if (state == service::kStopped) {
            WString reason = L"it stopped before it ran, with the exit code " + std::to_wstring(service.win32ExitCode);
            const WString system = service.win32ExitCode != 0 && systemText_
                                       ? WString(withoutLineEnd(systemText_(service.win32ExitCode)))
                                       : WString();
            if (!system.empty()) {
                reason += L" (" + system + L")";
            }
            reason += L" and the service exit code " + std::to_wstring(service.serviceSpecificExitCode) + L".";
            return fail(service.win32ExitCode != 0 ? service.win32ExitCode : service_error::kNotActive,
                        serviceCommandFailurePrefix(kind_, name_) + reason);
        }
        return waitOrTimeOut(state, nowMs);
    case Phase::Ended:
        break;
    }
    return ControlStep::Done;
}

ControlStep ServiceControl::beginStart(const ObservedService& service, std::uint64_t nowMs)
{
    switch (service.state) {
    case service::kStopped:
        wasStopped_ = true;
        sentStart_ = true;
        return ControlStep::SendStart;
    case service::kRunning:
        wasRunning_ = true;
        return succeed(runningText());
    case service::kStopPending:
        return waitUntil(Phase::AwaitStoppedBeforeStart, nowMs + stopWaitMs_);
    case service::kPaused:
    case service::kPausePending:
        // The manager refuses to start it; a launcher's service is never paused.
        return failWith(service_error::kAlreadyRunning);
    default:
        // Starting or continuing.
        return waitUntil(Phase::AwaitRunning, nowMs + startWaitMs_);
    }
}

ControlStep ServiceControl::beginStop(const ObservedService& service, std::uint64_t nowMs)
{
    switch (service.state) {
    case service::kStopped:
        wasStopped_ = true;
        return stopped();
    case service::kStopPending:
        return waitUntil(Phase::AwaitStopped, nowMs + stopWaitMs_);
    case service::kStartPending:
        // The manager refuses a stop until the service has started.
        return waitUntil(Phase::AwaitRunningBeforeStop, nowMs + startWaitMs_);
    default:
        wasRunning_ = service.state == service::kRunning;
        sentStop_ = true;
        return ControlStep::SendStop;
    }
}

ControlStep ServiceControl::stopped()
{
    if (kind_ == ServiceCommandKind::Restart) {
        sentStart_ = true;
        return ControlStep::SendStart;
    }
    if (sentStop_) {
        return succeed(L"Stopped the service " + name_ + L".\n");
    }
    if (wasStopped_) {
        return succeed(L"The service " + name_ + L" was not running.\n");
    }
    // It was stopping, or starting and then stopped, without this command.
    return succeed(L"The service " + name_ + L" has stopped.\n");
}

WString ServiceControl::runningText() const
{
    if (kind_ == ServiceCommandKind::Restart) {
        return wasStopped_ ? L"Started the service " + name_ + L" (it was not running).\n"
                           : L"Restarted the service " + name_ + L".\n";
    }
    if (sentStart_) {
        return L"Started the service " + name_ + L".\n";
    }
    return wasRunning_ ? L"The service " + name_ + L" was already running.\n"
                       : L"The service " + name_ + L" is running.\n";
}

ControlStep ServiceControl::requested(std::uint32_t error, std::uint64_t nowMs)
{
    if (phase_ == Phase::Ended) {
        return ControlStep::Done;
    }
    if (!sentStart_) {
        // The stop request.
        if (error == 0 || error == service_error::kNotActive) {
            // Not active: it stopped meanwhile; the next state tells.
            waitUntil(Phase::AwaitStopped, nowMs + stopWaitMs_);
            return ControlStep::Query;
        }
        return failWith(error);
    }
    if (error == 0 || error == service_error::kAlreadyRunning || error == service_error::kRequestTimeout) {
        // Already running: started by someone else meanwhile, or its last
        // process is still ending; a timeout: it may have stopped at once.
        // The next state tells.
        startError_ = error == service_error::kRequestTimeout || error == service_error::kAlreadyRunning ? error : 0;
        waitUntil(Phase::AwaitRunning, nowMs + startWaitMs_);
        return ControlStep::Query;
    }
    return failWith(error);
}

ControlStep ServiceControl::queryFailed(std::uint32_t error)
{
    return failWith(error);
}

ControlStep ServiceControl::waitUntil(Phase phase, std::uint64_t deadlineMs)
{
    if (phase_ != phase) {
        phase_ = phase;
        deadlineMs_ = deadlineMs;
        waitedMs_ = phase == Phase::AwaitStopped || phase == Phase::AwaitStoppedBeforeStart ? stopWaitMs_
                                                                                             : startWaitMs_;
    }
    return ControlStep::Wait;
}

ControlStep ServiceControl::waitOrTimeOut(std::uint32_t state, std::uint64_t nowMs)
{
    if (nowMs < deadlineMs_) {
        return ControlStep::Wait;
    }
    const std::uint32_t seconds = (waitedMs_ + 999) / 1000;
    return fail(service_error::kRequestTimeout, serviceCommandFailurePrefix(kind_, name_) + L"it was still " +
                                                    serviceStateText(state) + L" after " +
                                                    std::to_wstring(seconds) + L" seconds.");
}

ControlStep ServiceControl::succeed(WString text)
{
    phase_ = Phase::Ended;
    error_ = 0;
    text_ = std::move(text);
    return ControlStep::Done;
}

ControlStep ServiceControl::fail(std::uint32_t error, WString text)
{
    phase_ = Phase::Ended;
    error_ = error;
    text_ = std::move(text);
    return ControlStep::Done;
}

ControlStep ServiceControl::failWith(std::uint32_t error)
{
    return fail(error, serviceCommandFailureText(kind_, name_, error, systemText_ ? systemText_(error) : WString()));
}


}  // namespace qel
