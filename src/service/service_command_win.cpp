#include "service/service_command_win.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/system_text.h"
#include "launch/launcher.h"
#include "service/service_events_win.h"
#include "settings/environment.h"
#include "settings/settings.h"

namespace qel {

static_assert(service::kStopped == SERVICE_STOPPED && service::kStartPending == SERVICE_START_PENDING &&
              service::kStopPending == SERVICE_STOP_PENDING && service::kRunning == SERVICE_RUNNING &&
              service::kContinuePending == SERVICE_CONTINUE_PENDING &&
              service::kPausePending == SERVICE_PAUSE_PENDING && service::kPaused == SERVICE_PAUSED);
static_assert(service_error::kRequestTimeout == ERROR_SERVICE_REQUEST_TIMEOUT &&
              service_error::kAlreadyRunning == ERROR_SERVICE_ALREADY_RUNNING &&
              service_error::kNotActive == ERROR_SERVICE_NOT_ACTIVE &&
              service_error::kDoesNotExist == ERROR_SERVICE_DOES_NOT_EXIST);

namespace {

DWORD startTypeOf(ServiceStart start)
{
    return start == ServiceStart::Demand ? SERVICE_DEMAND_START : SERVICE_AUTO_START;
}

// The application's arguments in the service's own key, as REG_SZ: the
// service manager does not expand them there. Returns 0 or the Windows error.
DWORD storeArguments(const ServiceInstallPlan& plan)
{
    if (plan.arguments.empty()) {
        return ERROR_SUCCESS;
    }
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, serviceParametersKeyPath(plan.name).c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    const UniqueKey key(opened);
    const WString value(kArgumentsValue);
    // The size counts the terminating null.
    status = RegSetValueExW(key.get(), value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(plan.arguments.c_str()),
                            static_cast<DWORD>((plan.arguments.size() + 1) * sizeof(wchar_t)));
    return static_cast<DWORD>(status);
}

// The description, the delayed start, the restarts after a failure and the
// arguments, which CreateServiceW does not take. Returns 0 or the Windows error.
DWORD configure(SC_HANDLE service, const ServiceInstallPlan& plan)
{
    if (!plan.description.empty()) {
        WString description = plan.description;
        SERVICE_DESCRIPTIONW info{description.data()};
        if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &info)) {
            return GetLastError();
        }
    }
    // A manager that knows no delayed start (ERROR_INVALID_LEVEL: Wine) starts
    // the service with the automatic ones.
    if (plan.start == ServiceStart::Delayed) {
        SERVICE_DELAYED_AUTO_START_INFO info{TRUE};
        if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info) &&
            GetLastError() != ERROR_INVALID_LEVEL) {
            return GetLastError();
        }
    }
    const FailureActions failure = failureActionsOf(plan);
    if (!failure.restartDelaysMs.empty()) {
        std::vector<SC_ACTION> actions;
        for (const std::uint32_t delayMs : failure.restartDelaysMs) {
            actions.push_back(SC_ACTION{SC_ACTION_RESTART, delayMs});
        }
        SERVICE_FAILURE_ACTIONSW info{failure.resetSeconds, nullptr, nullptr, static_cast<DWORD>(actions.size()),
                                      actions.data()};
        if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &info)) {
            return GetLastError();
        }
    }
    return storeArguments(plan);
}

// The answer of removing a service that could not be installed in full: 0,
// or the Windows error of DeleteService.
DWORD removeAgain(SC_HANDLE service)
{
    return DeleteService(service) ? ERROR_SUCCESS : GetLastError();
}

// What installing did: 0 or the Windows error, and when it failed after the
// service was created, the answer of removing it again.
struct Installed {
    DWORD error = ERROR_SUCCESS;
    DWORD removeError = ERROR_SUCCESS;
};

// Creates the service as planned, with the user account's password (none for
// the other accounts); a service that cannot be configured as planned is
// removed again.
Installed install(const ServiceInstallPlan& plan, const std::optional<WString>& password)
{
    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        return Installed{GetLastError()};
    }
    // No account name is LocalSystem, as sc create makes it.
    const WString dependencies = dependenciesMultiString(plan.dependencies);
    const UniqueServiceHandle service(CreateServiceW(
        manager.get(), plan.name.c_str(), plan.displayName.c_str(), SERVICE_CHANGE_CONFIG | DELETE,
        SERVICE_WIN32_OWN_PROCESS, startTypeOf(plan.start), SERVICE_ERROR_NORMAL, plan.commandLine.c_str(), nullptr,
        nullptr, dependencies.empty() ? nullptr : dependencies.c_str(),
        plan.account.startName.empty() ? nullptr : plan.account.startName.c_str(),
        password ? password->c_str() : nullptr));
    if (!service) {
        return Installed{GetLastError()};
    }
    const DWORD error = configure(service.get(), plan);
    if (error != ERROR_SUCCESS) {
        return Installed{error, removeAgain(service.get())};
    }
    return Installed{};
}

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

// The command line the service manager stores for the service; none when it
// cannot be read (GetLastError tells why).
std::optional<WString> storedCommandLine(SC_HANDLE service)
{
    DWORD needed = 0;
    QueryServiceConfigW(service, nullptr, 0, &needed);
    if (needed == 0) {
        return std::nullopt;
    }
    std::vector<unsigned char> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service, config, needed, &needed) || config->lpBinaryPathName == nullptr) {
        return std::nullopt;
    }
    return WString(config->lpBinaryPathName);
}

OpenedService openLauncherService(const ServiceCommand& command, DWORD rights)
{
    OpenedService opened;
    const auto refuse = [&](DWORD error) {
        opened.error = error;
        opened.refused = ServiceCommandOutcome{
            error, serviceCommandFailureText(command.kind, command.name, error, systemErrorText(error))};
    };
    opened.manager.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!opened.manager) {
        refuse(GetLastError());
        return opened;
    }
    opened.service.reset(OpenServiceW(opened.manager.get(), command.name.c_str(), SERVICE_QUERY_CONFIG | rights));
    if (!opened.service) {
        refuse(GetLastError());
        return opened;
    }
    const std::optional<WString> stored = storedCommandLine(opened.service.get());
    if (!stored) {
        refuse(GetLastError());
        return opened;
    }
    opened.commandLine = *stored;
    if (!isLauncherService(*stored, command.name)) {
        opened.refused = ServiceCommandOutcome{service_error::kDoesNotExist,
                                               notLauncherServiceText(command.kind, command.name, *stored)};
    }
    return opened;
}

ServiceCommandOutcome outcome(const ServiceCommand& command, DWORD error, const WString& commandLine,
                              const WString& displayName = {})
{
    if (error != ERROR_SUCCESS) {
        return ServiceCommandOutcome{
            error, serviceCommandFailureText(command.kind, command.name, error, systemErrorText(error), displayName)};
    }
    return ServiceCommandOutcome{0, serviceCommandDoneText(command.kind, command.name, commandLine)};
}

// A failed install that left the service behind says so.
ServiceCommandOutcome withRemoval(ServiceCommandOutcome failed, const WString& serviceName, DWORD removeError)
{
    if (removeError != ERROR_SUCCESS) {
        failed.text += notRemovedAgainText(serviceName, removeError, systemErrorText(removeError));
    }
    return failed;
}

// Registers the installed service's name as an event source with this
// executable's message table, so that Event Viewer shows the texts of its
// events. A service whose source cannot be registered is removed again: the
// install fails and leaves nothing behind.
ServiceCommandOutcome withEventSource(const ServiceInstallPlan& plan)
{
    // The launcher as the service's command line names it: the event log
    // expands the message file's path as the service manager expands the
    // command line.
    const DWORD error = registerEventSource(plan.name, programOf(plan.commandLine));
    if (error == ERROR_SUCCESS) {
        return ServiceCommandOutcome{
            0, serviceCommandDoneText(ServiceCommandKind::Install, plan.name, plan.commandLine, plan.arguments)};
    }
    removeEventSource(plan.name);
    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(manager ? OpenServiceW(manager.get(), plan.name.c_str(), DELETE) : nullptr);
    const DWORD removeError = service ? removeAgain(service.get()) : GetLastError();
    return withRemoval(ServiceCommandOutcome{error, eventSourceFailureText(ServiceCommandKind::Install, plan.name, error,
                                                                           systemErrorText(error))},
                       plan.name, removeError);
}

// After the service is removed, its event source goes too. The service is
// gone either way; a key that stays is reported with its error.
ServiceCommandOutcome withoutEventSource(const ServiceCommand& command, const EventSourceEntry& source,
                                         const WString& launcherPath)
{
    if (source.exists && !isLauncherEventSource(source.messageFile, launcherPath)) {
        return ServiceCommandOutcome{
            0, serviceCommandDoneText(command.kind, command.name, WString(), WString(), true)};
    }
    const std::uint32_t error = removeEventSource(command.name);
    if (error == ERROR_SUCCESS) {
        return outcome(command, ERROR_SUCCESS, WString());
    }
    return ServiceCommandOutcome{
        error, eventSourceFailureText(ServiceCommandKind::Uninstall, command.name, error, systemErrorText(error))};
}

ServiceCommandOutcome failure(const ServiceCommand& command, DWORD error)
{
    return ServiceCommandOutcome{
        error, serviceCommandFailureText(command.kind, command.name, error, systemErrorText(error))};
}

// The stop timeout of this launcher's settings; none when they cannot be read.
std::optional<std::uint32_t> stopTimeoutOfSettings(const CommandLine& commandLine, Trace& trace)
{
    try {
        // Found and read as installing does: in the caller's console, without
        // the Ctrl key, starting nothing.
        const Launcher settings(commandLine, trace, Frontend::Console, [] { return false; });
        return serviceStopTimeoutMs(settings.properties);
    } catch (const TerminalError& error) {
        trace.line(L"the settings cannot be read, so the stop timeout is not known: " + error.message);
        return std::nullopt;
    }
}

// Starts, stops or restarts the opened service (removing: stops it) as the
// rules of ServiceControl step it, and waits for the state they wait for; the
// stop timeout comes from the settings.
ServiceCommandOutcome controlOpened(const ServiceCommand& command, SC_HANDLE service,
                                    const CommandLine& commandLine, Trace& trace)
{
    const std::uint32_t waitMs = stopWaitMs(stopTimeoutOfSettings(commandLine, trace));
    if (trace.enabled()) {
        trace.line(L"a stop of the service is waited for up to " + std::to_wstring(waitMs) + L" ms");
    }
    ServiceControl control(command.kind, command.name, waitMs,
                           [](std::uint32_t error) { return systemErrorText(error); });
    SERVICE_STATUS lastState{};
    ControlStep step = control.first();
    while (step != ControlStep::Done) {
        switch (step) {
        case ControlStep::Wait:
            Sleep(kControlPollMs);
            [[fallthrough]];
        case ControlStep::Query: {
            SERVICE_STATUS status{};
            if (!QueryServiceStatus(service, &status)) {
                step = control.queryFailed(GetLastError());
                break;
            }
            if (trace.enabled() && (status.dwCurrentState != lastState.dwCurrentState ||
                                    status.dwWin32ExitCode != lastState.dwWin32ExitCode ||
                                    status.dwServiceSpecificExitCode != lastState.dwServiceSpecificExitCode)) {
                trace.line(L"service state: " + serviceStateText(status.dwCurrentState) + L", exit codes " +
                           std::to_wstring(status.dwWin32ExitCode) + L" and " +
                           std::to_wstring(status.dwServiceSpecificExitCode));
            }
            lastState = status;
            step = control.observed(
                ObservedService{status.dwCurrentState, status.dwWin32ExitCode, status.dwServiceSpecificExitCode},
                GetTickCount64());
            break;
        }
        case ControlStep::SendStart:
            trace.line(L"starting the service");
            step = control.requested(StartServiceW(service, 0, nullptr) ? ERROR_SUCCESS : GetLastError(),
                                     GetTickCount64());
            break;
        case ControlStep::SendStop: {
            trace.line(L"asking the service to stop");
            SERVICE_STATUS status{};
            step = control.requested(
                ControlService(service, SERVICE_CONTROL_STOP, &status) ? ERROR_SUCCESS : GetLastError(),
                GetTickCount64());
            break;
        }
        case ControlStep::Done:
            break;
        }
    }
    return ServiceCommandOutcome{control.error(), control.text()};
}

// Start, stop or restart of a launcher's service: waits for the state asked
// for.
ServiceCommandOutcome controlService(const ServiceCommand& command, const CommandLine& commandLine, Trace& trace)
{
    const OpenedService opened =
        openLauncherService(command, SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP);
    if (opened.refused) {
        return *opened.refused;
    }
    return controlOpened(command, opened.service.get(), commandLine, trace);
}

ServiceCommandOutcome serviceStatus(const ServiceCommand& command)
{
    const OpenedService opened = openLauncherService(command, SERVICE_QUERY_STATUS);
    if (opened.error == ERROR_SERVICE_DOES_NOT_EXIST) {
        return ServiceCommandOutcome{serviceStatusCode(std::nullopt), serviceStatusText(command.name, std::nullopt),
                                     true};
    }
    if (opened.refused) {
        return *opened.refused;
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(opened.service.get(), &status)) {
        return failure(command, GetLastError());
    }
    return ServiceCommandOutcome{serviceStatusCode(status.dwCurrentState),
                                 serviceStatusText(command.name, status.dwCurrentState), true};
}

// Stops and removes a launcher's service, as -kwqelstop stops it; a service
// that does not stop is not removed, and the stop's failure is the command's.
// Another program's service of that name is left as it is.
ServiceCommandOutcome uninstall(const ServiceCommand& command, const CommandLine& commandLine, Trace& trace)
{
    const OpenedService opened = openLauncherService(command, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (opened.refused) {
        return *opened.refused;
    }
    // Read before the service goes: only a source of the service's own
    // launcher is removed with it.
    const EventSourceEntry source = readEventSource(command.name);
    const ServiceCommandOutcome stopped = controlOpened(command, opened.service.get(), commandLine, trace);
    if (stopped.error != 0) {
        return stopped;
    }
    if (!DeleteService(opened.service.get())) {
        return outcome(command, GetLastError(), WString());
    }
    return withoutEventSource(command, source, programOf(opened.commandLine));
}

bool serviceExists(const WString& name)
{
    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return manager && UniqueServiceHandle(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
}

// Whether Windows knows the user account; other errors than an unknown name
// leave the check to the service manager.
bool isKnownAccount(const WString& startName)
{
    const auto computer = readGrowingText([](wchar_t* buffer, DWORD capacity) {
        DWORD size = capacity;
        if (GetComputerNameW(buffer, &size)) {
            return size;
        }
        return GetLastError() == ERROR_BUFFER_OVERFLOW ? size : DWORD{0};
    });
    const WString name = accountLookupName(startName, computer.value_or(WString(L".")));
    DWORD sidSize = 0;
    DWORD domainSize = 0;
    SID_NAME_USE use{};
    if (LookupAccountNameW(nullptr, name.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use)) {
        return true;
    }
    return GetLastError() != ERROR_NONE_MAPPED;
}

// A line read from a file or pipe: UTF-8 when it is, else in the console's
// input code page (or the system's OEM code page without a console), as a
// script's echo writes it.
WString decodedInputLine(const std::string& bytes)
{
    if (bytes.empty()) {
        return WString();
    }
    const int size = static_cast<int>(bytes.size());
    for (const UINT codePage : {static_cast<UINT>(CP_UTF8), GetConsoleCP() != 0 ? GetConsoleCP() : CP_OEMCP}) {
        const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int units = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
        if (units > 0) {
            WString text(static_cast<std::size_t>(units), L'\0');
            MultiByteToWideChar(codePage, flags, bytes.data(), size, text.data(), units);
            return text;
        }
    }
    return WString();
}

// Reads one line from the console without showing it, or from standard input
// when it is not a console; none when nothing could be read.
std::optional<WString> promptedPassword(const WString& account)
{
    writeStandardText(StandardStream::Error, passwordPromptText(account));
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode) != FALSE;
    if (console) {
        SetConsoleMode(input, (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
    WString line;
    // From a file or pipe: the line's bytes, decoded once the line has ended.
    std::string bytes;
    bool ended = false;
    for (;;) {
        wchar_t unit = 0;
        DWORD read = 0;
        if (console) {
            if (!ReadConsoleW(input, &unit, 1, &read, nullptr) || read == 0) {
                break;
            }
        } else {
            char byte = 0;
            if (!ReadFile(input, &byte, 1, &read, nullptr) || read == 0) {
                break;
            }
            if (byte == '\n') {
                ended = true;
                break;
            }
            if (byte != '\r') {
                bytes += byte;
            }
            continue;
        }
        if (unit == L'\n') {
            ended = true;
            break;
        }
        if (unit != L'\r') {
            line += unit;
        }
    }
    if (console) {
        SetConsoleMode(input, mode);
    } else {
        line = decodedInputLine(bytes);
    }
    // The line end the user typed was not shown.
    writeStandardText(StandardStream::Error, L"\n");
    if (!ended && line.empty()) {
        return std::nullopt;
    }
    return line;
}

// The user account's password from the variable or the prompt.
std::optional<WString> passwordOf(const ServiceCommand& command, const ServiceAccount& account, Frontend frontend)
{
    switch (passwordSourceOf(command, account, frontend == Frontend::Console)) {
    case PasswordSource::Variable: {
        if (command.passwordVariable.empty()) {
            return std::nullopt;
        }
        SetLastError(ERROR_SUCCESS);
        const DWORD units = GetEnvironmentVariableW(command.passwordVariable.c_str(), nullptr, 0);
        if (units == 0) {
            return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<WString>(WString());
        }
        WString value(units, L'\0');
        value.resize(GetEnvironmentVariableW(command.passwordVariable.c_str(), value.data(), units));
        return value;
    }
    case PasswordSource::Prompt:
        return promptedPassword(account.startName);
    case PasswordSource::Unavailable:
    case PasswordSource::None:
        break;
    }
    return std::nullopt;
}

}  // namespace

ServiceCommandOutcome runServiceCommand(const ServiceCommand& command, const CommandLine& commandLine, Trace& trace,
                                        Frontend frontend)
{
    if (!isValidServiceName(command.name)) {
        return ServiceCommandOutcome{service_error::kInvalidName,
                                     invalidServiceNameText(command.kind, command.name,
                                                            systemErrorText(service_error::kInvalidName))};
    }
    // The split already took "-kwqelservice NAME" out of the arguments.
    const auto switchWord = command.kind == ServiceCommandKind::Install && commandLine.serviceRequested
                                ? std::optional<WString>(kServiceSwitch)
                                : serviceSwitchAmong(command.arguments);
    if (switchWord) {
        return ServiceCommandOutcome{service_error::kInvalidParameter,
                                     serviceSwitchArgumentText(command.name, *switchWord)};
    }
    if (command.kind == ServiceCommandKind::Uninstall) {
        return uninstall(command, commandLine, trace);
    }
    if (command.kind == ServiceCommandKind::Status) {
        return serviceStatus(command);
    }
    if (command.kind != ServiceCommandKind::Install) {
        return controlService(command, commandLine, trace);
    }
    // The settings are found, read and checked as in a run; in the caller's
    // console and without the Ctrl key, a run that starts nothing opens no
    // console and writes no hand-off file.
    const Launcher settings(commandLine, trace, Frontend::Console, [] { return false; });
    if (!serviceLogDirectory(settings.properties).empty() && logsWouldBeDevices(command.name)) {
        return ServiceCommandOutcome{service_error::kInvalidName, deviceLogsText(command.name)};
    }
    const WString executable = runningModulePath();
    const std::optional<WString> imagePath = serviceImagePath(executable, command.name, expandEnvironmentReferences);
    if (!imagePath) {
        const WString line = installedCommandLine(executable, command.name);
        return ServiceCommandOutcome{service_error::kInvalidParameter,
                                     expandedCommandLineText(command.name, line, expandEnvironmentReferences(line))};
    }
    const InstallPlanResult planned =
        planServiceInstall(command.name, *imagePath, settings.properties, command.arguments);
    if (!planned.plan) {
        throw TerminalError(
            invalidServiceSettingText(MessageTable::instance().text(MSG_PROPERTIES_INVALID), planned.invalidKey),
            MSG_PROPERTIES_INVALID);
    }
    const ServiceAccount& account = planned.plan->account;
    if (account.kind == ServiceAccountKind::User && !isKnownAccount(account.startName)) {
        throw TerminalError(unknownServiceAccountText(MessageTable::instance().text(MSG_PROPERTIES_INVALID),
                                                      account.startName),
                            MSG_PROPERTIES_INVALID);
    }
    std::optional<WString> password;
    if (passwordSourceOf(command, account, frontend == Frontend::Console) != PasswordSource::None) {
        password = passwordOf(command, account, frontend);
        if (!password) {
            const std::uint32_t error = command.passwordVariableGiven && !command.passwordVariable.empty()
                                            ? service_error::kVariableNotFound
                                            : service_error::kInvalidParameter;
            const bool prompted =
                passwordSourceOf(command, account, frontend == Frontend::Console) == PasswordSource::Prompt;
            return ServiceCommandOutcome{error, passwordFailureText(command.name, account.startName, command, prompted)};
        }
    }
    // Another program's source of the name is not the launcher's to change
    // (a service of the name is refused as it exists, below).
    const EventSourceEntry source = readEventSource(command.name);
    if (source.exists && !isLauncherEventSource(source.messageFile, *imagePath) && !serviceExists(command.name)) {
        return ServiceCommandOutcome{service_error::kAlreadyExists,
                                     foreignEventSourceText(command.name, source.messageFile)};
    }
    const Installed installed = install(*planned.plan, password);
    if (password) {
        SecureZeroMemory(password->data(), password->size() * sizeof(wchar_t));
    }
    if (installed.error != ERROR_SUCCESS) {
        return withRemoval(outcome(command, installed.error, planned.plan->commandLine, planned.plan->displayName),
                           command.name, installed.removeError);
    }
    return withEventSource(*planned.plan);
}

}  // namespace qel
