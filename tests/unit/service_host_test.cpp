// The service's reports and ends, with the service manager and the VM replaced by
// a record of what the host asked of them.

#include <gtest/gtest.h>

#include <algorithm>

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "service/service_host.h"
#include "support/test_files.h"

using namespace qel;
namespace svc = qel::service;

namespace {

// What the host did, in order: "report <state>/<controls>/<win32>/<specific>/<hint>"
// (and "@<check point>" when it is not 0), "terminate" or "ask to stop".
class Recorder {
public:
    ServiceLifecycle::Effects effects()
    {
        return ServiceLifecycle::Effects{
            [this](const ServiceStatus& status) {
                EXPECT_EQ(status.serviceType, svc::kOwnProcess);
                if (status.currentState == svc::kStopped && onStopped) {
                    onStopped();
                }
                events.push_back("report " + std::to_string(status.currentState) + "/" +
                                 std::to_string(status.controlsAccepted) + "/" + std::to_string(status.win32ExitCode) +
                                 "/" + std::to_string(status.serviceSpecificExitCode) + "/" +
                                 std::to_string(status.waitHint) +
                                 (status.checkPoint == 0 ? "" : "@" + std::to_string(status.checkPoint)));
            },
            [this] { events.push_back("terminate"); },
            [this] { events.push_back("ask to stop"); },
            [this](const WString& text) { events.push_back("warn " + qel::test::narrow(text)); },
            [this](const ServiceEnd& end) { ends.push_back(end); },
        };
    }
    std::vector<std::string> events;
    // Each end the host told of (Effects::ended), in order.
    std::vector<ServiceEnd> ends;
    // Called when STOPPED is reported, before the report is recorded.
    std::function<void()> onStopped;
};

const std::string kStartPending = "report 2/0/0/0/5000";
const std::string kRunning = "report 4/1/0/0/5000";
const std::string kStopPending = "report 3/0/0/0/5000";
const std::string kStopped = "report 1/0/0/0/0";

}  // namespace

TEST(ServiceHost, ControlsAndConsoleEvents)
{
    EXPECT_TRUE(answerControl(svc::kControlStop).stop);
    EXPECT_TRUE(answerControl(svc::kControlShutdown).stop);
    EXPECT_EQ(answerControl(svc::kControlStop).result, svc::kNoError);
    // Interrogate asks for the status the manager holds: answered, nothing stops.
    EXPECT_FALSE(answerControl(svc::kControlInterrogate).stop);
    EXPECT_EQ(answerControl(svc::kControlInterrogate).result, svc::kNoError);
    for (std::uint32_t other : {2u, 3u, 6u, 0x80u}) {
        EXPECT_FALSE(answerControl(other).stop) << other;
        EXPECT_EQ(answerControl(other).result, svc::kCallNotImplemented) << other;
    }
    EXPECT_TRUE(ignoreConsoleEvent(5));  // log-off
    for (std::uint32_t passedOn : {0u, 1u, 2u, 6u}) {
        EXPECT_FALSE(ignoreConsoleEvent(passedOn)) << passedOn;
    }
    EXPECT_TRUE(isServiceManagerImage(L"C:\\windows\\system32\\services.exe"));
    EXPECT_TRUE(isServiceManagerImage(L"SERVICES.EXE"));
    EXPECT_FALSE(isServiceManagerImage(L"C:\\windows\\system32\\cmd.exe"));
    EXPECT_FALSE(isServiceManagerImage(L"C:\\x\\myservices.exe"));
    EXPECT_EQ(dispatchTableName(WString(300, L's')), WString(255, L's'));
    EXPECT_EQ(dispatchTableName(L"Shop"), L"Shop");
}

// A failed start reports its message's number as the service-specific code and
// ends the process with it; a failure without a message reports 1066 for both.
TEST(ServiceHost, LaunchFailureCodes)
{
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {{101, 101}, {102, 102}, {103, 103}, {104, 104}, {0, 1066}};
    for (const auto& [messageId, code] : cases) {
        EXPECT_EQ(failureCode(messageId), code) << messageId;
    }
}

// Each way a service runs, as the steps that happen and what the host reports.
TEST(ServiceHost, StatusSequences)
{
    enum Step { Start, VmStarted, Stop, Interrogate, VmEnds0, VmEnds7, LaunchFails101, LaunchFailsWithoutMessage };
    struct Row {
        const char* what;
        std::vector<Step> steps;
        std::vector<std::string> events;
        bool endProcess;
        std::uint32_t exitCode;
    };
    const Row rows[] = {
        {"stopped while the VM runs",
         {Start, VmStarted, Stop, VmEnds0},
         {kStartPending, kRunning, kStopPending, "terminate", kStopped},
         false,
         0},
        {"the VM ends by itself with 0",
         {Start, VmStarted, VmEnds0},
         {kStartPending, kRunning, kStopPending, kStopped},
         true,
         0},
        {"the VM ends by itself with 7: nothing after RUNNING",
         {Start, VmStarted, VmEnds7},
         {kStartPending, kRunning},
         true,
         7},
        {"interrogate changes nothing", {Start, VmStarted, Interrogate, VmEnds7}, {kStartPending, kRunning}, true, 7},
        {"a stop while the VM is starting ends the VM before STOPPED",
         {Start, Stop, VmStarted, VmEnds0},
         {kStartPending, kStopPending, "terminate", kStopped},
         false,
         0},
        {"a second stop is answered and reports nothing",
         {Start, VmStarted, Stop, Stop, VmEnds0},
         {kStartPending, kRunning, kStopPending, "terminate", kStopped},
         false,
         0},
        {"the VM's own end before a late stop",
         {Start, VmStarted, VmEnds0, Stop},
         {kStartPending, kRunning, kStopPending, kStopped},
         true,
         0},
        {"no VM: STOPPED with the message as service-specific code",
         {Start, LaunchFails101},
         {kStartPending, "report 1/0/1066/101/0"},
         true,
         101},
        {"a failure without a message: 1066 as the service-specific code too",
         {Start, LaunchFailsWithoutMessage},
         {kStartPending, "report 1/0/1066/1066/0"},
         true,
         1066},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Recorder recorder;
        ServiceLifecycle lifecycle(recorder.effects());
        // STOPPED lets the dispatcher return on another thread, which asks how the
        // process ends while the step that reported STOPPED may not have decided.
        std::optional<std::thread> dispatcher;
        ServiceEnd seenByDispatcher;
        recorder.onStopped = [&] { dispatcher.emplace([&] { seenByDispatcher = lifecycle.awaitEnd(); }); };
        ServiceEnd end;
        for (const Step step : row.steps) {
            switch (step) {
            case Start:
                lifecycle.starting();
                break;
            case VmStarted:
                lifecycle.vmStarted();
                break;
            case Stop:
                EXPECT_EQ(lifecycle.control(svc::kControlStop).result, svc::kNoError);
                break;
            case Interrogate:
                EXPECT_EQ(lifecycle.control(svc::kControlInterrogate).result, svc::kNoError);
                break;
            case VmEnds0:
                end = lifecycle.vmEnded(0);
                break;
            case VmEnds7:
                end = lifecycle.vmEnded(7);
                break;
            case LaunchFails101:
                end = lifecycle.launchFailed(101);
                break;
            case LaunchFailsWithoutMessage:
                end = lifecycle.launchFailed(0);
                break;
            }
        }
        EXPECT_EQ(recorder.events, row.events);
        EXPECT_EQ(end.endProcess, row.endProcess);
        EXPECT_EQ(end.exitCode, row.exitCode);
        const ServiceEnd awaited = lifecycle.awaitEnd();
        EXPECT_EQ(awaited.endProcess, row.endProcess);
        EXPECT_EQ(awaited.exitCode, row.exitCode);
        if (dispatcher) {
            dispatcher->join();
            EXPECT_EQ(seenByDispatcher.exitCode, row.exitCode);
        }
    }
}

// A stop ends the VM but reports STOPPED only with the VM's end, which comes
// once the VM's output is in the logs; so does a stop while the VM starts.
TEST(ServiceHost, StoppedComesWithTheVmsEnd)
{
    for (const bool whileStarting : {false, true}) {
        SCOPED_TRACE(whileStarting ? "while starting" : "while running");
        Recorder recorder;
        ServiceLifecycle lifecycle(recorder.effects());
        lifecycle.starting();
        if (!whileStarting) {
            lifecycle.vmStarted();
        }
        EXPECT_EQ(lifecycle.control(svc::kControlStop).result, svc::kNoError);
        if (whileStarting) {
            lifecycle.vmStarted();
        }
        EXPECT_EQ(recorder.events.back(), "terminate");
        EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), kStopped), 0);
        const ServiceEnd end = lifecycle.vmEnded(0);
        EXPECT_EQ(recorder.events.back(), kStopped);
        EXPECT_FALSE(end.endProcess);
        EXPECT_EQ(end.exitCode, 0u);
    }
}

// Before the service has started, no end is awaited: the process leaves with 0.
TEST(ServiceHost, EndBeforeTheStartIsZeroAtOnce)
{
    Recorder recorder;
    ServiceLifecycle lifecycle(recorder.effects());
    const ServiceEnd end = lifecycle.awaitEnd();
    EXPECT_FALSE(end.endProcess);
    EXPECT_EQ(end.exitCode, 0u);
    EXPECT_TRUE(recorder.events.empty());
}

// With a stop timeout the VM is asked to stop and given the whole timeout from
// the stop, with STOP_PENDING reported at a rising check point once a second
// from the stop while the host waits. The waiting thread wakes when nextWaitMs
// says, or earlier (it waited a period that began before the stop).
TEST(ServiceHost, StopThatLetsTheJavaProgramFinish)
{
    enum Step { Stop, Waited, VmEnds3 };
    struct Event {
        Step step;
        std::uint64_t atMs;  // on the host's clock; the VM started at 0
        // For Waited: the wait nextWaitMs gives from this moment on.
        std::optional<std::uint32_t> nextWait;
    };
    struct Row {
        const char* what;
        std::uint32_t timeoutMs;
        std::vector<Event> steps;
        std::vector<std::string> events;
    };
    const std::string kAsked = "report 3/0/0/0/2000@1";
    const Row rows[] = {
        {"the VM ends by itself before the timeout, with its own code",
         3000,
         {{Stop, 500, 1000}, {Waited, 1500, 1000}, {VmEnds3, 1800, std::nullopt}},
         {kAsked, "ask to stop", "report 3/0/0/0/2000@2", kStopped}},
        {"the VM ignores the stop line and is ended at the timeout",
         3000,
         {{Stop, 0, 1000},
          {Waited, 1000, 1000},
          {Waited, 2000, 1000},
          {Waited, 3000, 1000},
          {VmEnds3, 3010, std::nullopt}},
         {kAsked, "ask to stop", "report 3/0/0/0/2000@2", "report 3/0/0/0/2000@3", "terminate", kStopped}},
        // The period the waiting thread began at 0 ends 2 ms after a stop at
        // 998: the timeout of 1 s still counts from the stop.
        {"a stop late in the waiting thread's period gets the whole timeout",
         1000,
         {{Stop, 998, 1000},
          {Waited, 1000, 998},
          {Waited, 1997, 1},
          {Waited, 1998, 1000},
          {VmEnds3, 2000, std::nullopt}},
         {kAsked, "ask to stop", "terminate", kStopped}},
        {"a timeout that is no whole number of periods",
         1500,
         {{Stop, 300, 1000}, {Waited, 1300, 500}, {Waited, 1800, 1000}, {VmEnds3, 1810, std::nullopt}},
         {kAsked, "ask to stop", "report 3/0/0/0/2000@2", "terminate", kStopped}},
        {"a second stop while waiting changes nothing",
         2000,
         {{Stop, 0, std::nullopt},
          {Stop, 400, std::nullopt},
          {Waited, 1000, std::nullopt},
          {Waited, 2000, std::nullopt},
          {VmEnds3, 2005, std::nullopt}},
         {kAsked, "ask to stop", "report 3/0/0/0/2000@2", "terminate", kStopped}},
        {"without a timeout the VM is ended at once",
         0,
         {{Stop, 700, 1000}, {Waited, 1000, 1000}, {VmEnds3, 1001, std::nullopt}},
         {kStopPending, "terminate", kStopped}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Recorder recorder;
        ServiceLifecycle lifecycle(recorder.effects(), row.timeoutMs);
        lifecycle.starting();
        lifecycle.vmStarted();
        EXPECT_EQ(lifecycle.nextWaitMs(0), kStopReportPeriodMs);
        recorder.events.clear();
        ServiceEnd end{true, 99};
        for (const Event& event : row.steps) {
            if (event.step == Stop) {
                EXPECT_EQ(lifecycle.control(svc::kControlStop, event.atMs).result, svc::kNoError);
            } else if (event.step == Waited) {
                lifecycle.stopWaited(event.atMs);
            } else {
                end = lifecycle.vmEnded(3);
            }
            if (event.nextWait) {
                EXPECT_EQ(lifecycle.nextWaitMs(event.atMs), *event.nextWait) << event.atMs;
            }
        }
        EXPECT_EQ(recorder.events, row.events);
        // Stopped by the service manager: the process leaves through the dispatcher.
        EXPECT_FALSE(end.endProcess);
    }
    EXPECT_EQ(gracefulStopHandoffLines(),
              (std::vector<WString>{L"qel.service.stop.input=true", L"qel.service.stop.line=ravelin-stop"}));
}

// Without the pipe for the stop line the service still runs, tells the
// administrator, and a stop ends the VM at once.
TEST(ServiceHost, StopInputThatCannotBeMadeIsReported)
{
    Recorder recorder;
    ServiceLifecycle lifecycle(recorder.effects(), 3000);
    lifecycle.stopInputUnavailable(8);
    lifecycle.starting();
    lifecycle.vmStarted();
    lifecycle.control(svc::kControlStop, 100);
    lifecycle.vmEnded(0);
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{
                  "warn The pipe that carries the stop line to the Java program cannot be created (Windows error 8): "
                  "qel.service.stop.timeout is not applied, and a stop ends the Java VM at once.",
                  kStartPending, kRunning, kStopPending, "terminate", kStopped}));
}

// A stop and the VM's own end arriving together: whichever comes first, STOPPED
// is reported once and the end is defined.
TEST(ServiceHost, StopRacingTheVmsEndReportsStoppedOnce)
{
    for (int round = 0; round < 200; ++round) {
        Recorder recorder;
        ServiceLifecycle lifecycle(recorder.effects());
        lifecycle.starting();
        lifecycle.vmStarted();
        ServiceEnd end;
        std::thread stopper([&] { lifecycle.control(svc::kControlStop); });
        end = lifecycle.vmEnded(0);
        stopper.join();
        int stopped = 0;
        for (const auto& event : recorder.events) {
            stopped += event == kStopped ? 1 : 0;
        }
        ASSERT_EQ(stopped, 1) << round;
        EXPECT_EQ(recorder.events.back(), kStopped);
        EXPECT_EQ(end.exitCode, 0u);
    }
}

// The end is told once the VM has ended, for the event log: stopped by the
// service manager (the dispatcher's end), or the VM's own end with its code.
// A start that failed ran no VM: its event is the failure's.
TEST(ServiceHost, EndAfterTheVmIsToldOnce)
{
    enum Step { VmStarted, Stop, VmEnds0, VmEnds7, LaunchFails };
    struct Row {
        const char* what;
        std::uint32_t stopTimeoutMs;
        std::vector<Step> steps;
        std::vector<std::pair<bool, std::uint32_t>> ends;
    };
    const Row rows[] = {
        {"stopped while the VM runs", 0, {VmStarted, Stop, VmEnds0}, {{false, 0}}},
        {"stopped, the VM ends by itself within the timeout", 3000, {VmStarted, Stop, VmEnds7}, {{false, 0}}},
        {"stopped while the VM is starting", 0, {Stop, VmStarted, VmEnds0}, {{false, 0}}},
        {"the VM ends by itself with 0", 0, {VmStarted, VmEnds0}, {{true, 0}}},
        {"the VM ends by itself with 7", 0, {VmStarted, VmEnds7}, {{true, 7}}},
        {"a stop after the VM's own end tells nothing more", 0, {VmStarted, VmEnds0, Stop}, {{true, 0}}},
        {"a failed start", 0, {LaunchFails}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Recorder recorder;
        ServiceLifecycle lifecycle(recorder.effects(), row.stopTimeoutMs);
        lifecycle.starting();
        for (const Step step : row.steps) {
            switch (step) {
            case VmStarted:
                lifecycle.vmStarted();
                break;
            case Stop:
                lifecycle.control(svc::kControlStop, 0);
                break;
            case VmEnds0:
                lifecycle.vmEnded(0);
                break;
            case VmEnds7:
                lifecycle.vmEnded(7);
                break;
            case LaunchFails:
                lifecycle.launchFailed(101);
                break;
            }
        }
        std::vector<std::pair<bool, std::uint32_t>> told;
        for (const ServiceEnd& end : recorder.ends) {
            told.emplace_back(end.endProcess, end.exitCode);
        }
        EXPECT_EQ(told, row.ends);
        // The end told is the end decided.
        if (!told.empty()) {
            const ServiceEnd decided = lifecycle.awaitEnd();
            EXPECT_EQ(decided.endProcess, told.front().first);
            EXPECT_EQ(decided.exitCode, told.front().second);
        }
    }
}
