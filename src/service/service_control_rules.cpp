#include "service/service_control_rules.h"

#include <string>
#include <utility>

#include "base/text.h"

namespace qel {

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
