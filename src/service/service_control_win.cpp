#include <windows.h>

#include <optional>
#include <string>

#include "base/errors.h"
#include "base/handles.h"
#include "base/messages.h"
#include "launch/launcher.h"
#include "service/service_command.h"
#include "service/service_control_rules.h"
#include "service/service_manager_win.h"
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

}  // namespace

ServiceCommandOutcome controlService(const ServiceCommand& command, const CommandLine& commandLine, Trace& trace)
{
    const OpenedService opened =
        openLauncherService(command, SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP);
    if (opened.refused) {
        return *opened.refused;
    }
    const std::uint32_t waitMs = stopWaitMs(stopTimeoutOfSettings(commandLine, trace));
    if (trace.enabled()) {
        trace.line(L"a stop of the service is waited for up to " + std::to_wstring(waitMs) + L" ms");
    }
    ServiceControl control(command.kind, command.name, waitMs,
                           [](std::uint32_t error) { return systemErrorText(error); });
    SC_HANDLE service = opened.service.get();
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

}  // namespace qel
