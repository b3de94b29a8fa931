// Measured behaviour of Wine's service control manager (Wine 8), written down as
// tests with the sample service: what a service process gets, what the manager
// reports when the process misbehaves, and where Windows would differ. Skipped
// elsewhere than under Wine.

#include <gtest/gtest.h>

#include <windows.h>

#include <iostream>
#include <thread>

#include "service/service_test_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

class WineServiceManager : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        if (!IsSkipped() && !runningUnderWine()) {
            GTEST_SKIP() << "a fact about Wine's service manager";
        }
    }
};

double milliseconds(unsigned long long from, unsigned long long to)
{
    return static_cast<double>(static_cast<long long>(to - from)) / 10000.0;
}

struct WindowCount {
    DWORD processId;
    int windows;
};

BOOL CALLBACK countWindowsOf(HWND window, LPARAM parameter)
{
    auto* count = reinterpret_cast<WindowCount*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->processId) {
        ++count->windows;
    }
    return TRUE;
}

// The top-level windows of the process that the test's own desktop shows.
int windowsOnTheTestsDesktop(DWORD processId)
{
    WindowCount count{processId, 0};
    EnumWindows(countWindowsOf, reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

}  // namespace

// StartServiceW sets START_PENDING itself (check point 0, the old exit code kept)
// as soon as it starts the process, and returns only once the service has
// reported its first status. Meanwhile the status can be read through another
// handle of the service.
TEST_F(WineServiceManager, StartServiceReturnsAfterTheFirstReport)
{
    const SampleService sample = install({{"start_wait_hint_ms", "1234"}}, Gates::Closed);
    create(sample);
    openGate(sample, L"connect");
    openGate(sample, L"start.1");
    openGate(sample, L"stop");
    unsigned long started = ~0ul;
    std::thread starter([this, &started] { started = service.start(); });

    const SampleRecord waiting = waitForRecordLine(sample.recordFile, "gate.waiting", WString(L"main"));
    const ServiceStatus before = service.status();
    const unsigned long long opened = preciseNow();
    openGate(sample, L"main");
    starter.join();

    ASSERT_TRUE(waiting.has("main.entered")) << waiting.text();
    EXPECT_EQ(before.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(before.dwCheckPoint, 0u);
    EXPECT_EQ(before.dwWaitHint, 0u);
    EXPECT_EQ(before.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED));
    EXPECT_EQ(std::to_wstring(before.dwProcessId), waiting.first("process.id").value_or(L""));
    EXPECT_EQ(started, 0u);
    const SampleRecord reported = record(sample);
    const auto reportedAt = reported.numbers("reportedAt");
    ASSERT_FALSE(reportedAt.empty()) << reported.text();
    EXPECT_GT(service.startReturnedAt(), opened);
    EXPECT_GT(service.startReturnedAt(), reportedAt.front());
    EXPECT_EQ(record(sample).first("reported"), std::optional<WString>(L"2"));
}

// The steps of a start, measured from the StartServiceW call; printed, with the
// order asserted (the durations vary from run to run).
TEST_F(WineServiceManager, StartSteps)
{
    const SampleService sample = startRunning();
    const UniqueHandle process = service.openProcess();
    ASSERT_TRUE(process);
    const SampleRecord started = record(sample);
    const unsigned long long called = service.startCalledAt();
    const unsigned long long created = processCreationTime(process.get());
    const unsigned long long entered = std::stoull(started.first("main.entered").value_or(L"0"));
    const auto reportedAt = started.numbers("reportedAt");
    ASSERT_EQ(reportedAt.size(), 2u) << started.text();

    EXPECT_LT(called, created);
    EXPECT_LT(created, entered);
    EXPECT_LT(entered, reportedAt[0]);
    EXPECT_LT(reportedAt[0], service.startReturnedAt());
    std::cout << "from StartServiceW: process created " << milliseconds(called, created) << " ms, ServiceMain "
              << milliseconds(called, entered) << " ms, first report " << milliseconds(called, reportedAt[0])
              << " ms, StartServiceW returned " << milliseconds(called, service.startReturnedAt()) << " ms, RUNNING "
              << milliseconds(called, reportedAt[1]) << " ms\n";
    RecordProperty("start_to_service_main_us", static_cast<int>((entered - called) / 10));
}

// The manager passes the service's own name to ServiceMain, whatever name the
// dispatch table and the handler registration give, and the start arguments
// after it; the process's command line is the one the service was created with.
TEST_F(WineServiceManager, ServiceMainGetsTheRegisteredNameAndTheStartArguments)
{
    const SampleService sample = install({{"handler_name", "unrelated"}});
    create(sample, L"app1 \"app 2\"", L"other-name");
    ASSERT_EQ(service.start({L"x", L"y z"}), 0u);
    ASSERT_TRUE(service.waitForState(SERVICE_RUNNING));
    ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP).success);
    ASSERT_TRUE(service.waitForState(SERVICE_STOPPED));

    const SampleRecord result = record(sample);
    EXPECT_EQ(result.first("dispatcher.tableName"), std::optional<WString>(L"other-name"));
    EXPECT_EQ(result.arguments("main."), (std::vector<WString>{name, L"x", L"y z"}));
    EXPECT_EQ(result.arguments("process."),
              (std::vector<WString>{sample.program, L"-kwqelservice", L"other-name", L"app1", L"app 2"}));
    EXPECT_EQ(result.first("process.commandLine"),
              std::optional<WString>(serviceCommandLine(sample.program, L"other-name", L"app1 \"app 2\"")));
    EXPECT_FALSE(result.has("handler.error")) << result.text();
    EXPECT_EQ(result.values("control"), std::vector<WString>{L"1"});
}

// Names of up to 256 characters work and reach ServiceMain whole; longer ones
// fail in CreateServiceW with ERROR_GEN_FAILURE (Windows says ERROR_INVALID_NAME).
TEST_F(WineServiceManager, ServiceNamesUpTo256Characters)
{
    for (const std::size_t length : {257u, 300u}) {
        TestService tooLong;
        const WString longName = name + WString(length - name.size(), L'N');
        EXPECT_EQ(tooLong.create(longName, serviceCommandLine(L"C:\\x.exe", longName)),
                  static_cast<unsigned long>(ERROR_GEN_FAILURE))
            << length;
    }
    name += WString(256 - name.size(), L'N');
    const SampleService sample = startRunning();
    const SampleRecord result = record(sample);
    EXPECT_EQ(result.first("main.arg.0"), std::optional<WString>(name));
    EXPECT_EQ(result.first("dispatcher.tableName"), std::optional<WString>(name));
}

// A process that ends without reporting STOPPED goes unnoticed: the status stays
// as last reported, with the process id of the ended process. The stop control
// then fails with ERROR_NO_DATA (ERROR_BROKEN_PIPE when the process ends while
// the control is under way). DeleteService succeeds, but the name stays taken
// (ERROR_SERVICE_MARKED_FOR_DELETE) until the last handle of the service is
// closed.
TEST_F(WineServiceManager, ProcessEndingWhileRunningLeavesTheServiceRunning)
{
    startRunning({{"vanish", "running"}, {"exit_code", "7"}});
    const DWORD processId = service.lastStatus().dwProcessId;
    const UniqueHandle process = openProcessToWatch(processId);
    ASSERT_TRUE(process);
    ASSERT_EQ(waitForExitCode(process.get()), std::optional<unsigned long>(7));

    const ServiceStatus after = service.status();
    EXPECT_EQ(after.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(after.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP));
    EXPECT_EQ(after.dwWin32ExitCode, 0u);
    EXPECT_EQ(after.dwProcessId, processId);
    const ControlResult stop = service.control(SERVICE_CONTROL_STOP);
    EXPECT_FALSE(stop.success);
    EXPECT_EQ(stop.error, static_cast<unsigned long>(ERROR_NO_DATA));
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

    ASSERT_TRUE(DeleteService(service.handle())) << GetLastError();
    TestService again;
    EXPECT_EQ(again.create(name, L"C:\\x.exe"), static_cast<unsigned long>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    service.remove();  // closes the handles
    EXPECT_EQ(again.create(name, L"C:\\x.exe"), 0u);
}

TEST_F(WineServiceManager, ProcessEndingWhileStartPendingLeavesTheServiceStartPending)
{
    const SampleService sample = install({{"vanish", "start_pending"}, {"exit_code", "5"}});
    create(sample);
    ASSERT_EQ(service.start(), 0u);
    const ServiceStatus first = service.status();
    const UniqueHandle process = openProcessToWatch(first.dwProcessId);
    ASSERT_TRUE(process);
    ASSERT_EQ(waitForExitCode(process.get()), std::optional<unsigned long>(5));

    const ServiceStatus after = service.status();
    EXPECT_EQ(after.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(after.dwCheckPoint, 1u);
    EXPECT_EQ(after.dwWaitHint, 2000u);
    EXPECT_EQ(after.dwProcessId, first.dwProcessId);
    EXPECT_EQ(record(sample).first("vanish"), std::optional<WString>(L"5"));
}

// A process that ends before it connects is noticed: StartServiceW fails with
// ERROR_SERVICE_REQUEST_TIMEOUT and the service is stopped again.
TEST_F(WineServiceManager, ProcessEndingBeforeConnectingFailsTheStart)
{
    const SampleService sample = install({{"before_dispatcher", "exit"}, {"exit_code", "5"}});
    create(sample);
    EXPECT_EQ(service.start(), static_cast<unsigned long>(ERROR_SERVICE_REQUEST_TIMEOUT));
    const ServiceStatus after = service.status();
    EXPECT_EQ(after.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(after.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED));
    EXPECT_EQ(after.dwProcessId, 0u);
    EXPECT_EQ(record(sample).first("vanish"), std::optional<WString>(L"5"));
}

// A process that does not connect (StartServiceCtrlDispatcherW) or whose
// ServiceMain does not report a first status within 10 s (Windows allows 30 s
// by default) is ended with exit code 0, StartServiceW fails with
// ERROR_SERVICE_REQUEST_TIMEOUT and the service is stopped again. The launcher
// must connect and report before any slow work.
class WineServiceTimeout : public WineServiceManager, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(WineServiceTimeout, ProcessThatStaysSilentIsEnded)
{
    const WString closedGate = GetParam();
    const SampleService sample = install({}, Gates::Closed);
    create(sample);
    for (const wchar_t* gate : {L"connect", L"main"}) {
        if (gate != closedGate) {
            openGate(sample, gate);
        }
    }
    unsigned long started = ~0ul;
    std::thread starter([this, &started] { started = service.start(); });
    const SampleRecord waiting = waitForRecordLine(sample.recordFile, "gate.waiting", closedGate);
    const UniqueHandle process = openProcessToWatch(std::stoul(waiting.first("process.id").value_or(L"0")));
    starter.join();
    ASSERT_TRUE(process);

    EXPECT_EQ(started, static_cast<unsigned long>(ERROR_SERVICE_REQUEST_TIMEOUT));
    EXPECT_EQ(waitForExitCode(process.get()), std::optional<unsigned long>(0));
    const SampleRecord ended = record(sample);
    EXPECT_EQ(ended.indexOf("gate.passed", closedGate), SampleRecord::npos) << ended.text();
    EXPECT_FALSE(ended.has("gate.timeout")) << ended.text();
    EXPECT_FALSE(ended.has("reported")) << ended.text();
    const ServiceStatus after = service.status();
    EXPECT_EQ(after.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(after.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED));
    EXPECT_EQ(after.dwProcessId, 0u);
    std::cout << "StartServiceW failed after " << milliseconds(service.startCalledAt(), service.startReturnedAt())
              << " ms\n";
}

INSTANTIATE_TEST_SUITE_P(ClosedGate, WineServiceTimeout, ::testing::Values(L"connect", L"main"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(info.param[0] == L'c' ? "BeforeConnecting" : "BeforeTheFirstReport");
                         });

// ControlService succeeds for a control the service accepts whatever the handler
// returns: SERVICE_CONTROL_INTERROGATE and a user control answered with
// ERROR_CALL_NOT_IMPLEMENTED both succeed, with the current status.
TEST_F(WineServiceManager, HandlerAnswerIsNotPassedOn)
{
    const SampleService sample = startRunning({{"interrogate", "not_implemented"}});
    const ControlResult interrogate = service.control(SERVICE_CONTROL_INTERROGATE);
    EXPECT_TRUE(interrogate.success) << interrogate.error;
    EXPECT_EQ(interrogate.status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(interrogate.status.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP));
    const ControlResult user = service.control(128);
    EXPECT_TRUE(user.success) << user.error;
    EXPECT_EQ(record(sample).values("control"), (std::vector<WString>{L"4", L"128"}));
}

// While START_PENDING: stop refused as not accepted (1052), interrogate refused
// (1061), a second start refused (1056).
TEST_F(WineServiceManager, ControlsDuringStartPending)
{
    const SampleService sample = install({}, Gates::Closed);
    create(sample);
    openGate(sample, L"connect");
    openGate(sample, L"main");
    openGate(sample, L"stop");
    ASSERT_EQ(service.start(), 0u);
    ASSERT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));

    const ControlResult stop = service.control(SERVICE_CONTROL_STOP);
    EXPECT_FALSE(stop.success);
    EXPECT_EQ(stop.error, static_cast<unsigned long>(ERROR_INVALID_SERVICE_CONTROL));
    const ControlResult interrogate = service.control(SERVICE_CONTROL_INTERROGATE);
    EXPECT_FALSE(interrogate.success);
    EXPECT_EQ(interrogate.error, static_cast<unsigned long>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    EXPECT_EQ(interrogate.status.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(service.start(), static_cast<unsigned long>(ERROR_SERVICE_ALREADY_RUNNING));
    openGate(sample, L"start.1");
    ASSERT_TRUE(service.waitForState(SERVICE_RUNNING));
    EXPECT_FALSE(record(sample).has("control")) << "no control reached the handler";
}

// The exit codes reported with STOPPED are what the manager shows; the process
// id is gone, and the process's own exit code is separate.
TEST_F(WineServiceManager, StoppedShowsTheReportedExitCodes)
{
    const SampleService sample = startRunning(
        {{"stopped_win32_exit_code", "1066"}, {"stopped_service_exit_code", "42"}, {"final_exit_code", "3"}});
    const UniqueHandle process = service.openProcess();
    ASSERT_TRUE(process);
    ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP).success);
    ASSERT_TRUE(service.waitForState(SERVICE_STOPPED));
    EXPECT_EQ(service.lastStatus().dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(service.lastStatus().dwServiceSpecificExitCode, 42u);
    EXPECT_EQ(service.lastStatus().dwProcessId, 0u);
    EXPECT_EQ(waitForExitCode(process.get()), std::optional<unsigned long>(3));
}

// A service process runs in the invisible window station
// "__wineservice_winstation" (UOI_FLAGS without WSF_VISIBLE), desktop "Default",
// without a console; so no console control event (CTRL_C, CTRL_BREAK, logoff)
// can reach it through a console.
TEST_F(WineServiceManager, ServiceProcessHasNoVisibleWindowStationAndNoConsole)
{
    const SampleService sample = startRunning();
    const SampleRecord result = record(sample);
    EXPECT_EQ(result.first("winsta.name"), std::optional<WString>(L"__wineservice_winstation"));
    EXPECT_EQ(result.first("winsta.flags"), std::optional<WString>(L"0"));
    EXPECT_EQ(result.first("winsta.visible"), std::optional<WString>(L"no"));
    EXPECT_EQ(result.first("desktop.name"), std::optional<WString>(L"Default"));
    EXPECT_EQ(result.first("console"), std::optional<WString>(L"no"));
    EXPECT_FALSE(result.has("consoleCtrl"));
}

// MessageBoxW in a service process shows its box on the service's invisible
// desktop and waits for an answer there: the test's desktop has no window of
// the service. Here a thread of the service answers it; with nobody to answer,
// the call would not return. MB_SERVICE_NOTIFICATION does not change that.
class WineServiceMessageBox : public WineServiceManager, public ::testing::WithParamInterface<unsigned long> {};

TEST_P(WineServiceMessageBox, WaitsForAnAnswerThatNobodyCanGive)
{
    const WString answer = dir / L"answer";
    const SampleService sample = startRunning({{"message_box", "yes"},
                                               {"message_box_flags", std::to_string(GetParam())},
                                               {"message_box_answer_file", narrow(answer)}});
    const SampleRecord shown = waitForRecordLine(sample.recordFile, "messageBox.window");
    EXPECT_EQ(shown.first("messageBox.window"), std::optional<WString>(L"found")) << shown.text();
    EXPECT_FALSE(shown.has("messageBox.returned")) << shown.text();
    EXPECT_EQ(windowsOnTheTestsDesktop(service.status().dwProcessId), 0);

    writeFile(answer, "");
    const SampleRecord answered = waitForRecordLine(sample.recordFile, "messageBox.returned");
    EXPECT_EQ(answered.first("messageBox.returned"), std::optional<WString>(std::to_wstring(IDOK)));
}

INSTANTIATE_TEST_SUITE_P(Flags, WineServiceMessageBox,
                         ::testing::Values(static_cast<unsigned long>(MB_OK),
                                           static_cast<unsigned long>(MB_OK | MB_SERVICE_NOTIFICATION)));

// RegisterEventSourceW and ReportEventW succeed, but the Application log keeps
// nothing: OpenEventLogW succeeds, GetNumberOfEventLogRecords gives 0 and
// ReadEventLogW fails at once with ERROR_HANDLE_EOF. (With Wine's error channel
// on, an error event's strings go to the reporting process's standard error.)
TEST_F(WineServiceManager, EventLogKeepsNoRecords)
{
    const HANDLE source = RegisterEventSourceW(nullptr, name.c_str());
    ASSERT_NE(source, nullptr) << GetLastError();
    const wchar_t* strings[] = {L"a record for the event log test"};
    EXPECT_TRUE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 1000, nullptr, 1, 0, strings, nullptr));
    DeregisterEventSource(source);

    const EventLogReading reading = newestEventLogRecords(name, 10);
    EXPECT_EQ(reading.openError, 0u);
    EXPECT_EQ(reading.recordCount, std::optional<unsigned long>(0));
    EXPECT_EQ(reading.readError, static_cast<unsigned long>(ERROR_HANDLE_EOF));
    EXPECT_TRUE(reading.records.empty());
}
