#include "service/service_host.h"

#include <algorithm>
#include <string>

#include "base/path_text.h"

namespace qel {

bool ServiceStatus::operator==(const ServiceStatus& other) const
{
    return serviceType == other.serviceType && currentState == other.currentState &&
           controlsAccepted == other.controlsAccepted && win32ExitCode == other.win32ExitCode &&
           serviceSpecificExitCode == other.serviceSpecificExitCode && checkPoint == other.checkPoint &&
           waitHint == other.waitHint;
}

ControlAnswer answerControl(std::uint32_t control)
{
    if (control == service::kControlStop || control == service::kControlShutdown) {
        return ControlAnswer{true, service::kNoError};
    }
    // The manager asks for the status it keeps: the answer is that it holds.
    if (control == service::kControlInterrogate) {
        return ControlAnswer{false, service::kNoError};
    }
    // Not re-reported: the manager keeps the status it was last given.
    return ControlAnswer{false, service::kCallNotImplemented};
}

bool ignoreConsoleEvent(std::uint32_t event)
{
    return event == service::kLogoffEvent;
}

std::vector<WString> gracefulStopHandoffLines()
{
    return {L"qel.service.stop.input=true", L"qel.service.stop.line=" + WString(kStopLine.begin(), kStopLine.end())};
}

bool isServiceManagerImage(std::wstring_view imagePath)
{
    return fileName(imagePath, LetterCase::Lower) == L"services.exe";
}

std::uint32_t failureCode(std::uint32_t messageId)
{
    return messageId == 0 ? service::kServiceSpecificError : messageId;
}

WString dispatchTableName(std::wstring_view serviceName)
{
    return WString(serviceName.substr(0, service::kDispatchNameUnits - 1));
}

void ServiceLifecycle::report(std::uint32_t state, std::uint32_t controls)
{
    status_.currentState = state;
    status_.controlsAccepted = controls;
    effects_.report(status_);
}

void ServiceLifecycle::reportStopped(std::uint32_t win32ExitCode, std::uint32_t specificCode)
{
    status_.win32ExitCode = win32ExitCode;
    status_.serviceSpecificExitCode = specificCode;
    status_.checkPoint = 0;
    status_.waitHint = 0;
    report(service::kStopped, 0);
    phase_ = Phase::Stopped;
}

void ServiceLifecycle::stopInputUnavailable(std::uint32_t error)
{
    const std::lock_guard<std::mutex> guard(lock_);
    stopTimeoutMs_ = 0;
    if (effects_.warn) {
        effects_.warn(L"The pipe that carries the stop line to the Java program cannot be created (Windows error " +
                      std::to_wstring(error) +
                      L"): qel.service.stop.timeout is not applied, and a stop ends the Java VM at once.");
    }
}

void ServiceLifecycle::starting()
{
    const std::lock_guard<std::mutex> guard(lock_);
    phase_ = Phase::Starting;
    report(service::kStartPending, 0);
}

void ServiceLifecycle::vmStarted()
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (phase_ == Phase::StopRequestedWhileStarting) {
        // The stop was answered with STOP_PENDING only: the VM that has just
        // started is ended, and its end reports STOPPED.
        phase_ = Phase::Stopping;
        effects_.terminateVm();
        return;
    }
    if (phase_ != Phase::Starting) {
        return;
    }
    phase_ = Phase::Running;
    report(service::kRunning, service::kAcceptStop);
}

ServiceEnd ServiceLifecycle::launchFailed(std::uint32_t messageId)
{
    const std::lock_guard<std::mutex> guard(lock_);
    const std::uint32_t code = failureCode(messageId);
    if (phase_ != Phase::Stopped) {
        status_.waitHint = 0;
        reportStopped(service::kServiceSpecificError, code);
    }
    return decide(ServiceEnd{true, code});
}

ControlAnswer ServiceLifecycle::control(std::uint32_t code, std::uint64_t nowMs)
{
    const ControlAnswer answer = answerControl(code);
    if (!answer.stop) {
        return answer;
    }
    const std::lock_guard<std::mutex> guard(lock_);
    switch (phase_) {
    case Phase::Starting:
        // The VM is being started on the runner thread; it ends the VM and
        // reports STOPPED as soon as it has one.
        phase_ = Phase::StopRequestedWhileStarting;
        report(service::kStopPending, 0);
        break;
    case Phase::Running:
        if (stopTimeoutMs_ > 0) {
            phase_ = Phase::StoppingGracefully;
            stopAtMs_ = nowMs;
            reportsSinceStop_ = 0;
            endedAtTimeout_ = false;
            status_.checkPoint = 1;
            status_.waitHint = 2 * kStopReportPeriodMs;
            report(service::kStopPending, 0);
            effects_.askVmToStop();
            break;
        }
        // STOPPED comes with the VM's end (vmEnded), once its output is in the
        // logs: a service started again meanwhile would write the same files.
        phase_ = Phase::Stopping;
        report(service::kStopPending, 0);
        effects_.terminateVm();
        break;
    case Phase::Stopping:
    case Phase::StoppingGracefully:
    case Phase::NotStarted:
    case Phase::StopRequestedWhileStarting:
    case Phase::Stopped:
        break;
    }
    return answer;
}

std::uint32_t ServiceLifecycle::nextWaitMs(std::uint64_t nowMs)
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (phase_ != Phase::StoppingGracefully || endedAtTimeout_) {
        return kStopReportPeriodMs;
    }
    const std::uint64_t elapsed = nowMs - stopAtMs_;
    const std::uint64_t nextReport = static_cast<std::uint64_t>(reportsSinceStop_ + 1) * kStopReportPeriodMs;
    const std::uint64_t next = std::min<std::uint64_t>(nextReport, stopTimeoutMs_);
    return next > elapsed ? static_cast<std::uint32_t>(next - elapsed) : 0;
}

void ServiceLifecycle::stopWaited(std::uint64_t nowMs)
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (phase_ != Phase::StoppingGracefully || endedAtTimeout_) {
        return;
    }
    const std::uint64_t elapsed = nowMs - stopAtMs_;
    if (elapsed >= stopTimeoutMs_) {
        // The VM's end then reports STOPPED (vmEnded).
        endedAtTimeout_ = true;
        effects_.terminateVm();
        return;
    }
    const std::uint64_t nextReport = static_cast<std::uint64_t>(reportsSinceStop_ + 1) * kStopReportPeriodMs;
    if (elapsed < nextReport) {
        return;
    }
    ++reportsSinceStop_;
    ++status_.checkPoint;
    report(service::kStopPending, 0);
}

ServiceEnd ServiceLifecycle::vmEnded(std::uint32_t exitCode)
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (phase_ == Phase::Stopping || phase_ == Phase::StoppingGracefully) {
        // Stopped by the service manager, whether the VM ended by itself or was
        // ended: the process leaves through the dispatcher.
        reportStopped(service::kNoError, 0);
        return decideEnded(ServiceEnd{false, 0});
    }
    if (phase_ != Phase::Running) {
        return decideEnded(ServiceEnd{false, 0});
    }
    if (exitCode != 0) {
        // The service manager sees the service end on its own.
        phase_ = Phase::Stopped;
        return decideEnded(ServiceEnd{true, exitCode});
    }
    report(service::kStopPending, 0);
    reportStopped(service::kNoError, 0);
    return decideEnded(ServiceEnd{true, 0});
}

ServiceEnd ServiceLifecycle::decideEnded(ServiceEnd end)
{
    if (!end_ && effects_.ended) {
        effects_.ended(end);
    }
    return decide(end);
}

ServiceEnd ServiceLifecycle::decide(ServiceEnd end)
{
    if (!end_) {
        end_ = end;
        decided_.notify_all();
    }
    return *end_;
}

ServiceEnd ServiceLifecycle::awaitEnd()
{
    std::unique_lock<std::mutex> guard(lock_);
    if (phase_ == Phase::NotStarted) {
        return ServiceEnd{};
    }
    decided_.wait(guard, [this] { return end_.has_value(); });
    return *end_;
}

}  // namespace qel
