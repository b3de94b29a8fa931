#pragma once

// Starting, stopping and restarting the launcher's own service from its
// command line ("-kwqelstart NAME", "-kwqelstop NAME", "-kwqelrestart NAME"),
// and telling its state ("-kwqelstatus NAME"). The rules here decide what each
// state the service manager reports means, what is asked of the manager next,
// how long the command waits and what the user is told;
// service_install_win.cpp makes the calls.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "base/wstring.h"
#include "service/service_host.h"
#include "service/service_install.h"

namespace qel {

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
