#pragma once

// The rules of the service host: the status the service reports at each step,
// the answers to the service manager's controls, and the order of events when a
// stop, the VM's own end and the VM's start meet. The Windows calls that report
// a status or end the VM are passed in, so the sequences can be tried without a
// service manager.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

namespace service {
// Values of the Windows service protocol.
inline constexpr std::uint32_t kOwnProcess = 0x10;  // SERVICE_WIN32_OWN_PROCESS
inline constexpr std::uint32_t kStopped = 1;
inline constexpr std::uint32_t kStartPending = 2;
inline constexpr std::uint32_t kStopPending = 3;
inline constexpr std::uint32_t kRunning = 4;
inline constexpr std::uint32_t kAcceptStop = 1;
inline constexpr std::uint32_t kControlStop = 1;
inline constexpr std::uint32_t kControlInterrogate = 4;
inline constexpr std::uint32_t kControlShutdown = 5;
inline constexpr std::uint32_t kNoError = 0;
inline constexpr std::uint32_t kCallNotImplemented = 120;  // ERROR_CALL_NOT_IMPLEMENTED
inline constexpr std::uint32_t kServiceSpecificError = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR
inline constexpr std::uint32_t kStartWaitHintMs = 5000;
inline constexpr std::uint32_t kLogoffEvent = 5;  // CTRL_LOGOFF_EVENT
// The dispatch table holds the service name in 256 units, terminator included.
inline constexpr std::size_t kDispatchNameUnits = 256;
}  // namespace service

// The seven values of a service status record, in the order Windows keeps them.
struct ServiceStatus {
    std::uint32_t serviceType = service::kOwnProcess;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = service::kStartWaitHintMs;

    bool operator==(const ServiceStatus& other) const;
};

// The answer to one control of the service manager.
struct ControlAnswer {
    bool stop = false;
    std::uint32_t result = service::kNoError;
};

// Stop and shutdown stop the service; interrogate is answered NO_ERROR without
// a new report, as the service manager expects; every other control is not
// implemented (120).
ControlAnswer answerControl(std::uint32_t control);

// A user logging off does not end the service; every other console event goes on
// to the next handler.
bool ignoreConsoleEvent(std::uint32_t event);

// An opt-in stop that lets the Java program finish: the VM gets a pipe as its
// standard input, the hand-off file says so, and on stop the host writes the
// stop line and closes the pipe, then gives the VM the whole timeout, counted
// from the stop, before it ends the VM. A timeout of 0 ends the VM at once.
inline constexpr std::string_view kStopLine = "ravelin-stop";
// How often the host reports STOP_PENDING, with a rising check point, while it
// waits (counted from the stop); the wait hint covers two such periods. Before
// a stop the waiting thread wakes this often too.
inline constexpr std::uint32_t kStopReportPeriodMs = 1000;

// The hand-off file's lines that announce the stop line on standard input.
std::vector<WString> gracefulStopHandoffLines();

// Whether a process image is the service manager's, which starts every service
// of its own process: its file name, in any case, is "services.exe".
bool isServiceManagerImage(std::wstring_view imagePath);

// The code a failed start reports as its service-specific exit code, and the
// process's exit code then: the number of the failure's message, or 1066
// (ERROR_SERVICE_SPECIFIC_ERROR) itself for a failure that has none (0).
std::uint32_t failureCode(std::uint32_t messageId);

// The name as the dispatch table holds it: its first 255 units.
WString dispatchTableName(std::wstring_view serviceName);

// How the service's process ends, once the service has come to its end.
struct ServiceEnd {
    // True: the process ends here with exitCode; false: the service thread ends
    // and the process leaves through the dispatcher with 0.
    bool endProcess = false;
    std::uint32_t exitCode = 0;
};

// The service's life from its start to its end. Every step takes one lock, so a
// stop, the VM's start and the VM's own end happen one after the other in
// whatever order they come, and STOPPED is reported once.
class ServiceLifecycle {
public:
    struct Effects {
        // Reports a status to the service manager.
        std::function<void(const ServiceStatus&)> report;
        // Ends the VM process with exit code 0, when there is one.
        std::function<void()> terminateVm;
        // Writes the stop line to the VM's standard input and closes it (only
        // with a stop timeout).
        std::function<void()> askVmToStop;
        // Tells the administrator (the event log, the trace) of a failure the
        // service lives with.
        std::function<void(const WString&)> warn;
        // Tells the administrator (the event log) how the service ended once the
        // VM has ended: called once, before the end is decided, as the process
        // may end as soon as it is. Optional.
        std::function<void(const ServiceEnd&)> ended;
    };

    // stopTimeoutMs: how long a stop waits for the VM to end by itself after
    // asking it to; 0 ends the VM at once.
    explicit ServiceLifecycle(Effects effects, std::uint32_t stopTimeoutMs = 0)
        : effects_(std::move(effects)), stopTimeoutMs_(stopTimeoutMs)
    {}

    void setStopTimeout(std::uint32_t stopTimeoutMs) { stopTimeoutMs_ = stopTimeoutMs; }

    // The pipe for the VM's standard input could not be made (Windows error
    // code): the service runs without the stop line, a stop ends the VM at once,
    // and the warning says so.
    void stopInputUnavailable(std::uint32_t error);

    // The handler is registered: START_PENDING.
    void starting();

    // The VM process has started: RUNNING, accepting stop. When a stop came while
    // the VM was starting, the VM is ended now and its end reports STOPPED.
    void vmStarted();

    // The launch failed before a VM ran: STOPPED with 1066 and the failure's code
    // (failureCode of its message id), and the process ends with that code.
    ServiceEnd launchFailed(std::uint32_t messageId);

    // A control from the service manager, at nowMs on a clock of milliseconds.
    // A stop while the VM runs reports STOP_PENDING and ends the VM; STOPPED
    // comes with the VM's end (vmEnded). With a stop timeout, a stop while the VM runs asks the VM to stop and
    // returns; the waiting thread's stopWaited calls then report the wait and end
    // the VM when the timeout, counted from nowMs, is over.
    ControlAnswer control(std::uint32_t code, std::uint64_t nowMs = 0);

    // How long the waiting thread waits for the VM's end from nowMs before it
    // calls stopWaited: kStopReportPeriodMs, and after a stop up to the next
    // report or the end of the timeout, whichever comes first.
    std::uint32_t nextWaitMs(std::uint64_t nowMs);

    // The waiting thread woke at nowMs and the VM still runs: after a stop,
    // STOP_PENDING with the next check point once per kStopReportPeriodMs, and,
    // once the timeout has passed since the stop, the VM is ended.
    void stopWaited(std::uint64_t nowMs);

    // The VM ended (by itself, or because a stop ended it), and its output is in
    // the logs. After a stop STOPPED is reported now, and the service leaves
    // through the dispatcher; a VM that ended by
    // itself with 0 reports STOP_PENDING and STOPPED and the process ends with 0;
    // with another code the process ends with it at once, reporting nothing more.
    ServiceEnd vmEnded(std::uint32_t exitCode);

    // How the process ends, as launchFailed or vmEnded decided it; waits until
    // one of them has. STOPPED lets the dispatcher return on the main thread
    // while the runner thread may still be deciding, so the main thread asks
    // here and both end the process with the same code. Before starting() no
    // service ran: the end is {false, 0} at once.
    ServiceEnd awaitEnd();

    const ServiceStatus& status() const { return status_; }

private:
    // Stopping: a stop ended the VM; StoppingGracefully: a stop asked the VM to
    // end. Either reports STOPPED when the VM's end comes.
    enum class Phase { NotStarted, Starting, StopRequestedWhileStarting, Running, Stopping, StoppingGracefully, Stopped };

    void report(std::uint32_t state, std::uint32_t controls);
    void reportStopped(std::uint32_t win32ExitCode, std::uint32_t specificCode);
    // Keeps the first end decided and wakes the threads that await it.
    ServiceEnd decide(ServiceEnd end);
    // The same for the end after the VM's: tells of it first (Effects::ended).
    ServiceEnd decideEnded(ServiceEnd end);

    Effects effects_;
    std::uint32_t stopTimeoutMs_;
    // When the stop came, the check points reported since, and whether the VM
    // was ended at the timeout.
    std::uint64_t stopAtMs_ = 0;
    std::uint32_t reportsSinceStop_ = 0;
    bool endedAtTimeout_ = false;
    std::mutex lock_;
    Phase phase_ = Phase::NotStarted;
    ServiceStatus status_;
    std::optional<ServiceEnd> end_;
    std::condition_variable decided_;
};

}  // namespace qel
