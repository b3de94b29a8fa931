// The service harness against the prefix's service control manager: creating,
// starting, polling, controlling and removing a service of the sample program,
// its process and exit code, and reading the event log.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <stdexcept>
#include <tuple>

#include "service_test_fixture.h"
#include "support/launcher_run.h"

using namespace qel;
using namespace qel::test;

namespace {

using ServiceControlTest = ServiceTest;

// The fields of a status that a test compares: state, check point, wait hint
// and controls accepted.
using StatusShape = std::tuple<std::string, unsigned long, unsigned long, unsigned long>;

std::vector<StatusShape> shapes(const std::vector<ServiceStatus>& statuses)
{
    std::vector<StatusShape> result;
    for (const ServiceStatus& status : statuses) {
        result.emplace_back(serviceStateName(status.dwCurrentState), status.dwCheckPoint, status.dwWaitHint,
                            status.dwControlsAccepted);
    }
    return result;
}

bool serviceExists(SC_HANDLE manager, const WString& name)
{
    UniqueServiceHandle service(OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS));
    EXPECT_TRUE(service || GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) << GetLastError();
    return service != nullptr;
}

}  // namespace

TEST_F(ServiceControlTest, NeverStartedServiceIsStoppedWithoutProcess)
{
    create(install());
    const ServiceStatus status = service.status();
    EXPECT_EQ(status.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED));
    EXPECT_EQ(status.dwProcessId, 0u);
    EXPECT_FALSE(service.openProcess());
}

TEST_F(ServiceControlTest, PollingRecordsEveryReportedStatusOnceInOrder)
{
    // Each state is held at a gate until the poller has seen it.
    const SampleService sample =
        install({{"start_steps", "2"}, {"start_wait_hint_ms", "1234"}, {"stop_wait_hint_ms", "4321"}}, Gates::Closed);
    create(sample);
    openGate(sample, L"connect");
    openGate(sample, L"main");
    service.status();
    service.status();
    ASSERT_EQ(service.observed().size(), 1u) << "the same status twice is kept once";
    service.clearObserved();

    ASSERT_EQ(service.start(), 0u);
    ASSERT_TRUE(service.waitFor([](const ServiceStatus& s) { return s.dwCheckPoint == 1; }));
    openGate(sample, L"start.1");
    ASSERT_TRUE(service.waitFor([](const ServiceStatus& s) { return s.dwCheckPoint == 2; }));
    openGate(sample, L"start.2");
    ASSERT_TRUE(service.waitForState(SERVICE_RUNNING));
    const ControlResult stop = service.control(SERVICE_CONTROL_STOP);
    ASSERT_TRUE(stop.success) << stop.error;
    EXPECT_EQ(stop.status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    ASSERT_TRUE(service.waitForState(SERVICE_STOP_PENDING));
    openGate(sample, L"stop");
    ASSERT_TRUE(service.waitForState(SERVICE_STOPPED));

    const std::vector<StatusShape> expected = {{"START_PENDING", 1, 1234, 0},
                                               {"START_PENDING", 2, 1234, 0},
                                               {"RUNNING", 0, 0, SERVICE_ACCEPT_STOP},
                                               {"STOP_PENDING", 1, 4321, 0},
                                               {"STOPPED", 0, 0, 0}};
    EXPECT_EQ(shapes(service.observed()), expected);
    EXPECT_EQ(service.observedStates(), (std::vector<unsigned long>{SERVICE_START_PENDING, SERVICE_RUNNING,
                                                                    SERVICE_STOP_PENDING, SERVICE_STOPPED}));
    // One process throughout; none once stopped.
    const DWORD processId = service.observed().front().dwProcessId;
    EXPECT_NE(processId, 0u);
    for (std::size_t i = 0; i + 1 < service.observed().size(); ++i) {
        EXPECT_EQ(service.observed()[i].dwProcessId, processId) << i;
    }
    EXPECT_EQ(service.observed().back().dwProcessId, 0u);
    EXPECT_EQ(record(sample).numbers("process.id"), std::vector<unsigned long long>{processId});
}

TEST_F(ServiceControlTest, ProcessOfTheServiceGivesItsExitCode)
{
    const SampleService sample = startRunning({{"final_exit_code", "3"}});
    const UniqueHandle process = service.openProcess();
    ASSERT_TRUE(process) << GetLastError();
    EXPECT_EQ(GetProcessId(process.get()), service.lastStatus().dwProcessId);
    EXPECT_FALSE(waitForExitCode(process.get(), 0).has_value()) << "it runs until stopped";

    ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP).success);
    EXPECT_EQ(waitForExitCode(process.get()), std::optional<unsigned long>(3));
    EXPECT_EQ(record(sample).first("process.exiting"), std::optional<WString>(L"3"));
}

TEST_F(ServiceControlTest, RemoveStopsTheServiceThenDeletesIt)
{
    const SampleService sample = startRunning();
    const UniqueHandle process = service.openProcess();
    ASSERT_TRUE(process);
    ASSERT_TRUE(serviceExists(service.manager(), name));

    service.remove();
    EXPECT_FALSE(serviceExists(service.manager(), name));
    EXPECT_EQ(waitForExitCode(process.get()), std::optional<unsigned long>(0));
    const SampleRecord stopped = record(sample);
    EXPECT_EQ(stopped.values("control"), std::vector<WString>{L"1"}) << stopped.text();
    EXPECT_TRUE(stopped.has("dispatcher.returned")) << stopped.text();
    service.remove();  // nothing left to do
}

TEST_F(ServiceControlTest, RemoveEndsAServiceThatRefusesToStop)
{
    startRunning({{"running_accepts", "0"}});
    const UniqueHandle process = service.openProcess();
    ASSERT_TRUE(process);
    service.remove();
    EXPECT_FALSE(serviceExists(service.manager(), name));
    EXPECT_TRUE(waitForExitCode(process.get()).has_value());
}

TEST_F(ServiceControlTest, CreateRemovesALeftoverOfTheSameName)
{
    // A service a crashed test left running.
    const SampleService leftover = installSampleService(dir / L"left");
    {
        UniqueServiceHandle old(CreateServiceW(service.manager(), name.c_str(), nullptr, SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                               serviceCommandLine(leftover.program, name).c_str(), nullptr, nullptr,
                                               nullptr, nullptr, nullptr));
        ASSERT_TRUE(old) << GetLastError();
        ASSERT_TRUE(StartServiceW(old.get(), 0, nullptr)) << GetLastError();
    }
    ASSERT_TRUE(waitForRecordLine(leftover.recordFile, "reported", L"4").has("reported"));

    const SampleService sample = startRunning();
    EXPECT_EQ(record(leftover).values("control"), std::vector<WString>{L"1"}) << record(leftover).text();
    EXPECT_TRUE(record(sample).has("main.entered"));
}

TEST_F(ServiceControlTest, ControlReportsTheRefusal)
{
    startRunning({{"running_accepts", "0"}});
    const ControlResult stop = service.control(SERVICE_CONTROL_STOP);
    EXPECT_FALSE(stop.success);
    EXPECT_EQ(stop.error, static_cast<unsigned long>(ERROR_INVALID_SERVICE_CONTROL));
    const ControlResult interrogate = service.control(SERVICE_CONTROL_INTERROGATE);
    EXPECT_TRUE(interrogate.success) << interrogate.error;
    EXPECT_EQ(interrogate.error, 0u);
    EXPECT_EQ(interrogate.status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ServiceControlTest, StartOfARunningServiceFails)
{
    startRunning();
    EXPECT_EQ(service.start(), static_cast<unsigned long>(ERROR_SERVICE_ALREADY_RUNNING));
}

TEST_F(ServiceControlTest, DispatcherOfAnOrdinaryProcessFailsToConnect)
{
    const SampleService sample = install();
    RunOptions options;
    options.arguments = L"-kwqelservice " + name;
    const ProgramRun run = runProgram(sample.program, options);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, static_cast<unsigned long>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT));
    const SampleRecord result = record(sample);
    EXPECT_EQ(result.first("dispatcher.error"), std::optional<WString>(L"1063")) << result.text();
    EXPECT_EQ(result.first("dispatcher.tableName"), std::optional<WString>(name));
    EXPECT_FALSE(result.has("main.entered"));
    // An ordinary program's window station is the visible one.
    EXPECT_EQ(result.first("winsta.name"), std::optional<WString>(L"WinSta0"));
    EXPECT_EQ(result.first("winsta.visible"), std::optional<WString>(L"yes"));
}

TEST(ServiceNames, UniqueNamesDiffer)
{
    const WString first = uniqueServiceName(L"QelTest");
    const WString second = uniqueServiceName(L"QelTest");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(L"QelTest", 0), 0u);
}

TEST(ServiceStates, NamesForMessages)
{
    EXPECT_EQ(serviceStateNames({SERVICE_START_PENDING, SERVICE_RUNNING, 99}), "START_PENDING -> RUNNING -> 99");
}

// --- The event log ------------------------------------------------------------

namespace {

// The bytes of one EVENTLOGRECORD as ReadEventLogW lays it out: the header, the source and
// computer names, the strings, and the length again at the end.
std::string eventRecord(DWORD number, DWORD eventId, WORD type, const std::wstring& source,
                        const std::vector<std::wstring>& strings)
{
    std::string bytes(sizeof(EVENTLOGRECORD), '\0');
    const auto appendText = [&bytes](const std::wstring& text) {
        bytes.append(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    };
    appendText(source);
    appendText(L"HOST");
    const DWORD stringOffset = static_cast<DWORD>(bytes.size());
    for (const std::wstring& text : strings) {
        appendText(text);
    }
    bytes.append((4 - bytes.size() % 4) % 4, '\0');
    const DWORD length = static_cast<DWORD>(bytes.size() + sizeof(DWORD));
    bytes.append(reinterpret_cast<const char*>(&length), sizeof length);

    EVENTLOGRECORD header{};
    header.Length = length;
    header.Reserved = 0x654c664c;  // "LfLe"
    header.RecordNumber = number;
    header.TimeWritten = 1700000000;
    header.EventID = eventId;
    header.EventType = type;
    header.NumStrings = static_cast<WORD>(strings.size());
    header.EventCategory = 7;
    header.StringOffset = stringOffset;
    bytes.replace(0, sizeof header, reinterpret_cast<const char*>(&header), sizeof header);
    return bytes;
}

}  // namespace

TEST(EventLogRecords, ParsesEachRecordOfABuffer)
{
    const std::string buffer = eventRecord(12, 1000, EVENTLOG_ERROR_TYPE, L"Shop", {L"first", L"second"}) +
                               eventRecord(11, 3, EVENTLOG_INFORMATION_TYPE, L"Other", {});

    const std::vector<EventLogRecord> records = parseEventLogRecords(buffer.data(), buffer.size());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].recordNumber, 12u);
    EXPECT_EQ(records[0].eventId, 1000u);
    EXPECT_EQ(records[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(records[0].category, 7u);
    EXPECT_EQ(records[0].timeWritten, 1700000000u);
    EXPECT_EQ(records[0].source, L"Shop");
    EXPECT_EQ(records[0].computer, L"HOST");
    EXPECT_EQ(records[0].strings, (std::vector<WString>{L"first", L"second"}));
    EXPECT_EQ(records[1].source, L"Other");
    EXPECT_TRUE(records[1].strings.empty());
}

TEST(EventLogRecords, RejectsARecordCutShort)
{
    const std::string buffer = eventRecord(1, 1, EVENTLOG_ERROR_TYPE, L"Shop", {L"text"});
    EXPECT_THROW(parseEventLogRecords(buffer.data(), buffer.size() - 8), std::runtime_error);
    EXPECT_THROW(parseEventLogRecords(buffer.data(), 10), std::runtime_error);
    EXPECT_TRUE(parseEventLogRecords(buffer.data(), 0).empty());
}
