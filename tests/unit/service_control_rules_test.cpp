// The rules of starting, stopping and restarting the launcher's service and of
// telling its state: what each reported state means, what is asked of the
// service manager next, how long each wait lasts and what the user is told.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "service/service_command.h"

using namespace qel;

namespace {

std::string narrowAscii(std::wstring_view text)
{
    return std::string(text.begin(), text.end());
}

const char* stepName(ControlStep step)
{
    switch (step) {
    case ControlStep::Query:
        return "Query";
    case ControlStep::Wait:
        return "Wait";
    case ControlStep::SendStart:
        return "SendStart";
    case ControlStep::SendStop:
        return "SendStop";
    case ControlStep::Done:
        return "Done";
    }
    return "?";
}

// One thing the shell tells the rules, at a time on its clock, and the step
// the rules answer.
struct Event {
    enum class Kind { Seen, Sent, QueryFailed } kind;
    // Seen: the state; Sent and QueryFailed: the Windows error.
    std::uint32_t value;
    std::uint64_t nowMs;
    ControlStep expected;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceExitCode = 0;
};

Event seen(std::uint32_t state, std::uint64_t nowMs, ControlStep expected)
{
    return Event{Event::Kind::Seen, state, nowMs, expected};
}

Event seenStopped(std::uint32_t win32ExitCode, std::uint32_t serviceExitCode, std::uint64_t nowMs)
{
    return Event{Event::Kind::Seen, service::kStopped, nowMs, ControlStep::Done, win32ExitCode, serviceExitCode};
}

Event sent(std::uint32_t error, std::uint64_t nowMs, ControlStep expected)
{
    return Event{Event::Kind::Sent, error, nowMs, expected};
}

Event queryFailed(std::uint32_t error)
{
    return Event{Event::Kind::QueryFailed, error, 0, ControlStep::Done};
}

WString fakeSystemText(std::uint32_t error)
{
    return error == 1234 ? WString() : L"Text " + std::to_wstring(error) + L".\r\n";
}

constexpr std::uint32_t kStopped = service::kStopped;
constexpr std::uint32_t kStartPending = service::kStartPending;
constexpr std::uint32_t kStopPending = service::kStopPending;
constexpr std::uint32_t kRunning = service::kRunning;
constexpr ControlStep Query = ControlStep::Query;
constexpr ControlStep Wait = ControlStep::Wait;
constexpr ControlStep SendStart = ControlStep::SendStart;
constexpr ControlStep SendStop = ControlStep::SendStop;
constexpr ControlStep Done = ControlStep::Done;

}  // namespace

// Each row: the command, what the manager reports and answers, and the steps;
// a stop waits 40 s (a stop timeout of 10 s and the margin), a start 120 s.
TEST(ServiceControl, StepsForWhatTheManagerReports)
{
    struct Row {
        const char* what;
        ServiceCommandKind kind;
        std::vector<Event> events;
        std::uint32_t error;
        const wchar_t* text;
    };
    const ServiceCommandKind Start = ServiceCommandKind::Start;
    const ServiceCommandKind Stop = ServiceCommandKind::Stop;
    const ServiceCommandKind Restart = ServiceCommandKind::Restart;
    const ServiceCommandKind Uninstall = ServiceCommandKind::Uninstall;
    const Row rows[] = {
        // Removing: the stop before the service is deleted, its failures the removal's.
        {"removing a running service stops it",
         Uninstall,
         {seen(kRunning, 0, SendStop), sent(0, 0, Query), seen(kStopPending, 5, Wait), seen(kStopped, 100, Done)},
         0,
         L"Stopped the service Shop.\n"},
        {"removing a stopped service", Uninstall, {seen(kStopped, 0, Done)}, 0, L"The service Shop was not running.\n"},
        {"removing a service that refuses the stop",
         Uninstall,
         {seen(kRunning, 0, SendStop), sent(1052, 0, Done)},
         1052,
         L"Removing the service Shop failed: Text 1052."},
        {"removing a service that does not stop in time",
         Uninstall,
         {seen(kRunning, 0, SendStop), sent(0, 0, Query), seen(kStopPending, 39999, Wait),
          seen(kStopPending, 40000, Done)},
         1053,
         L"Removing the service Shop failed: it was still stop pending after 40 seconds."},
        // Start.
        {"start a stopped service",
         Start,
         {seen(kStopped, 0, SendStart), sent(0, 0, Query), seen(kStartPending, 10, Wait), seen(kRunning, 200, Done)},
         0,
         L"Started the service Shop.\n"},
        {"start a running service", Start, {seen(kRunning, 0, Done)}, 0, L"The service Shop was already running.\n"},
        {"start a service someone else is starting",
         Start,
         {seen(kStartPending, 0, Wait), seen(kStartPending, 50, Wait), seen(kRunning, 100, Done)},
         0,
         L"The service Shop is running.\n"},
        {"a start that ends stopped with the launcher's code",
         Start,
         {seen(kStopped, 0, SendStart), sent(0, 0, Query), seen(kStartPending, 10, Wait), seenStopped(1066, 104, 20)},
         1066,
         L"Starting the service Shop failed: it stopped before it ran, with the exit code 1066 (Text 1066.) and the "
         L"service exit code 104."},
        {"a start that ends stopped without an error",
         Start,
         {seen(kStopped, 0, SendStart), sent(0, 0, Query), seenStopped(0, 0, 20)},
         service_error::kNotActive,
         L"Starting the service Shop failed: it stopped before it ran, with the exit code 0 and the service exit "
         L"code 0."},
        {"a start that does not end in time",
         Start,
         {seen(kStopped, 1000, SendStart), sent(0, 1000, Query), seen(kStartPending, 1000, Wait),
          seen(kStartPending, 120999, Wait), seen(kStartPending, 121000, Done)},
         1053,
         L"Starting the service Shop failed: it was still start pending after 120 seconds."},
        {"a start the manager refuses",
         Start,
         {seen(kStopped, 0, SendStart), sent(1058, 0, Done)},
         1058,
         L"Starting the service Shop failed: Text 1058."},
        {"a start request that timed out because the service stopped at once",
         Start,
         {seen(kStopped, 0, SendStart), sent(1053, 0, Query), seenStopped(1066, 104, 10)},
         1066,
         L"Starting the service Shop failed: it stopped before it ran, with the exit code 1066 (Text 1066.) and the "
         L"service exit code 104."},
        {"a start request that timed out because the service never connected",
         Start,
         {seen(kStopped, 0, SendStart), sent(1053, 0, Query), seenStopped(1077, 0, 10)},
         1053,
         L"Starting the service Shop failed: Text 1053."},
        {"a start request that timed out, and the service runs after all",
         Start,
         {seen(kStopped, 0, SendStart), sent(1053, 0, Query), seen(kRunning, 10, Done)},
         0,
         L"Started the service Shop.\n"},
        {"a start refused while the last process of the stopped service ends, made again",
         Start,
         {seen(kStopped, 0, SendStart), sent(service_error::kAlreadyRunning, 0, Query), seen(kStopped, 1, Wait),
          seen(kStopped, 100, SendStart), sent(service_error::kAlreadyRunning, 100, Query), seen(kStopped, 101, Wait),
          seen(kStopped, 200, SendStart), sent(0, 200, Query), seen(kRunning, 300, Done)},
         0,
         L"Started the service Shop.\n"},
        {"a start refused until the start's wait ends",
         Start,
         {seen(kStopped, 0, SendStart), sent(service_error::kAlreadyRunning, 0, Query), seen(kStopped, 119999, Wait),
          seen(kStopped, 120000, Done)},
         1056,
         L"Starting the service Shop failed: Text 1056."},
        {"a restart whose start is refused while the stopped process ends",
         Restart,
         {seen(kRunning, 0, SendStop), sent(0, 0, Query), seen(kStopped, 10, SendStart),
          sent(service_error::kAlreadyRunning, 10, Query), seen(kStopped, 11, Wait), seen(kStopped, 111, SendStart),
          sent(0, 111, Query), seen(kRunning, 200, Done)},
         0,
         L"Restarted the service Shop.\n"},
        {"a start that another program made meanwhile",
         Start,
         {seen(kStopped, 0, SendStart), sent(service_error::kAlreadyRunning, 0, Query), seen(kRunning, 10, Done)},
         0,
         L"Started the service Shop.\n"},
        {"start a stopping service: after it stopped",
         Start,
         {seen(kStopPending, 0, Wait), seen(kStopPending, 39999, Wait), seen(kStopped, 39999, SendStart),
          sent(0, 40000, Query), seen(kRunning, 40000, Done)},
         0,
         L"Started the service Shop.\n"},
        {"a stopping service that does not stop in time to be started",
         Start,
         {seen(kStopPending, 0, Wait), seen(kStopPending, 40000, Done)},
         1053,
         L"Starting the service Shop failed: it was still stop pending after 40 seconds."},
        {"start a paused service", Start, {seen(service::kPaused, 0, Done)}, 1056,
         L"Starting the service Shop failed: Text 1056."},
        // Stop.
        {"stop a running service",
         Stop,
         {seen(kRunning, 0, SendStop), sent(0, 0, Query), seen(kRunning, 1, Wait), seen(kStopPending, 5, Wait),
          seen(kStopped, 100, Done)},
         0,
         L"Stopped the service Shop.\n"},
        {"stop a stopped service", Stop, {seen(kStopped, 0, Done)}, 0, L"The service Shop was not running.\n"},
        {"a stop that does not end in time, counted from the request",
         Stop,
         {seen(kRunning, 500, SendStop), sent(0, 500, Query), seen(kStopPending, 40499, Wait),
          seen(kStopPending, 40500, Done)},
         1053,
         L"Stopping the service Shop failed: it was still stop pending after 40 seconds."},
        {"stop a starting service: once it runs",
         Stop,
         {seen(kStartPending, 0, Wait), seen(kStartPending, 300, Wait), seen(kRunning, 400, SendStop),
          sent(0, 400, Query), seen(kStopped, 500, Done)},
         0,
         L"Stopped the service Shop.\n"},
        {"a starting service that stops by itself",
         Stop,
         {seen(kStartPending, 0, Wait), seen(kStopped, 300, Done)},
         0,
         L"The service Shop has stopped.\n"},
        {"a starting service that does not run in time to be stopped",
         Stop,
         {seen(kStartPending, 0, Wait), seen(kStartPending, 120000, Done)},
         1053,
         L"Stopping the service Shop failed: it was still start pending after 120 seconds."},
        {"stop a stopping service",
         Stop,
         {seen(kStopPending, 0, Wait), seen(kStopped, 300, Done)},
         0,
         L"The service Shop has stopped.\n"},
        {"a service that stopped before the request reached it",
         Stop,
         {seen(kRunning, 0, SendStop), sent(service_error::kNotActive, 0, Query), seen(kStopped, 10, Done)},
         0,
         L"Stopped the service Shop.\n"},
        {"a stop the manager refuses",
         Stop,
         {seen(kRunning, 0, SendStop), sent(1061, 0, Done)},
         1061,
         L"Stopping the service Shop failed: Text 1061."},
        {"the state cannot be read", Stop, {queryFailed(6)}, 6, L"Stopping the service Shop failed: Text 6."},
        {"an error without a system text",
         Stop,
         {seen(kRunning, 0, SendStop), sent(1234, 0, Done)},
         1234,
         L"Stopping the service Shop failed: Windows error 1234"},
        // Restart.
        {"restart a running service",
         Restart,
         {seen(kRunning, 0, SendStop), sent(0, 0, Query), seen(kStopPending, 10, Wait), seen(kStopped, 20, SendStart),
          sent(0, 20, Query), seen(kStartPending, 30, Wait), seen(kRunning, 40, Done)},
         0,
         L"Restarted the service Shop.\n"},
        {"restart a stopped service",
         Restart,
         {seen(kStopped, 0, SendStart), sent(0, 0, Query), seen(kRunning, 10, Done)},
         0,
         L"Started the service Shop (it was not running).\n"},
        {"restart a stopping service",
         Restart,
         {seen(kStopPending, 0, Wait), seen(kStopped, 10, SendStart), sent(0, 10, Query), seen(kRunning, 20, Done)},
         0,
         L"Restarted the service Shop.\n"},
        {"a restart whose start ends stopped",
         Restart,
         {seen(kRunning, 0, SendStop), sent(0, 0, Query), seen(kStopped, 20, SendStart), sent(0, 20, Query),
          seenStopped(1066, 7, 30)},
         1066,
         L"Restarting the service Shop failed: it stopped before it ran, with the exit code 1066 (Text 1066.) and "
         L"the service exit code 7."},
        {"each wait of a restart counted from its own request",
         Restart,
         {seen(kRunning, 0, SendStop), sent(0, 0, Query), seen(kStopPending, 39999, Wait),
          seen(kStopped, 39999, SendStart), sent(0, 39999, Query), seen(kStartPending, 159998, Wait),
          seen(kStartPending, 159999, Done)},
         1053,
         L"Restarting the service Shop failed: it was still start pending after 120 seconds."},
        {"a restart whose start the manager refuses",
         Restart,
         {seen(kRunning, 0, SendStop), sent(0, 0, Query), seen(kStopped, 20, SendStart), sent(1058, 20, Done)},
         1058,
         L"Restarting the service Shop failed: Text 1058."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ServiceControl control(row.kind, L"Shop", 40000, fakeSystemText);
        EXPECT_EQ(control.first(), Query);
        for (std::size_t i = 0; i < row.events.size(); ++i) {
            const Event& event = row.events[i];
            ControlStep step = Done;
            switch (event.kind) {
            case Event::Kind::Seen:
                step = control.observed(ObservedService{event.value, event.win32ExitCode, event.serviceExitCode},
                                        event.nowMs);
                break;
            case Event::Kind::Sent:
                step = control.requested(event.value, event.nowMs);
                break;
            case Event::Kind::QueryFailed:
                step = control.queryFailed(event.value);
                break;
            }
            ASSERT_EQ(stepName(step), std::string(stepName(event.expected))) << "event " << i;
        }
        EXPECT_EQ(control.error(), row.error);
        EXPECT_EQ(narrowAscii(control.text()), narrowAscii(row.text));
    }
}

// The status line and the exit code scripts test, for every state.
TEST(ServiceControl, StatusOfEachState)
{
    struct Row {
        std::optional<std::uint32_t> state;
        std::uint32_t code;
        const wchar_t* text;
    };
    const Row rows[] = {
        {service::kRunning, 0, L"The service Shop is running.\n"},
        {service::kStopped, 1, L"The service Shop is stopped.\n"},
        {service::kStartPending, 2, L"The service Shop is start pending.\n"},
        {service::kStopPending, 2, L"The service Shop is stop pending.\n"},
        {service::kContinuePending, 2, L"The service Shop is continue pending.\n"},
        {service::kPausePending, 2, L"The service Shop is pause pending.\n"},
        {service::kPaused, 2, L"The service Shop is paused.\n"},
        {9u, 2, L"The service Shop is in state 9.\n"},
        {std::nullopt, 1060, L"The service Shop is not installed.\n"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(serviceStatusCode(row.state), row.code) << narrowAscii(row.text);
        EXPECT_EQ(narrowAscii(serviceStatusText(L"Shop", row.state)), narrowAscii(row.text));
    }
}

// A stop waits the stop timeout and a margin; without settings, the fixed bound.
TEST(ServiceControl, HowLongAStopWaits)
{
    struct Row {
        std::optional<std::uint32_t> stopTimeoutMs;
        std::uint32_t waitMs;
    };
    const Row rows[] = {
        {0u, 30000},
        {10000u, 40000},
        {86400000u, 86430000},
        {std::nullopt, 330000},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(stopWaitMs(row.stopTimeoutMs), row.waitMs) << row.stopTimeoutMs.value_or(12345);
    }
}
