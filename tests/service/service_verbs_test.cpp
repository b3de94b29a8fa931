// Starting, stopping, restarting and asking about the launcher's service with
// the launcher itself ("-kwqelstart NAME", "-kwqelstop NAME", "-kwqelrestart
// NAME", "-kwqelstatus NAME"), against the prefix's real service control
// manager: the launcher copied as "Shop.exe" (windowed) and "ShopCtl.exe"
// (console twin) beside Shop.qel and ShopCtl.qel, whose stand-in VM stays until
// it is ended, installed as a service with "-kwqelinstall".
//
// What Wine's manager cannot show, and what covers it instead: a stop that
// takes as long as the stop timeout, a start that does not end in time, the
// manager's refusals, the states of a stop or start someone else began, and
// every text of them are the unit tests' (ServiceControl.StepsForWhatTheManagerReports).

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "service_test_fixture.h"
#include "support/launcher_run.h"
#include "support/standin_launch.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr const char* kProperties = "qel.nl.java.launcher.main.class=app.Start\r\n"
                                    "qel.class.path=lib\\a.jar\r\n";

}  // namespace

class ServiceVerbs : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        removeServiceIfPresent(service.manager(), name);
        // Shop.qel and ShopCtl.qel: a J2 stand-in that stays until it is ended.
        vms.program(L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5);
        writeStandinSettings(vms / L"jre\\bin\\javaw.exe",
                             {{"QEL_STANDIN_RECORD", narrow(recordFile)}, {"QEL_STANDIN_SLEEP_MS", "infinite"}});
        const std::string properties = kProperties + ("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\javaw.exe") +
                                                      "\r\nqel.nl.valid.vm.list=J2\r\n");
        writeFile(app + L"\\Shop.qel", properties);
        writeFile(app + L"\\ShopCtl.qel", properties);
    }

    // The service the launcher installed; one the test created itself is
    // removed by the fixture's TestService.
    void TearDown() override
    {
        if (!IsSkipped() && service.handle() == nullptr) {
            removeServiceIfPresent(service.manager(), name);
        }
    }

    ProgramRun command(const WString& program, const WString& switchWord, const WString& serviceName)
    {
        RunOptions options;
        options.arguments = switchWord + L" " + serviceName;
        options.environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
        return runProgram(program, options);
    }

    // The console twin's run: its exit code, and its standard output or, for a
    // failure, standard error, with nothing on the other one and no box.
    void expectTwin(const WString& switchWord, unsigned long exitCode, const WString& output,
                    const WString& error = {})
    {
        SCOPED_TRACE(narrow(switchWord));
        const ProgramRun run = command(twin, switchWord, name);
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(run.exitCode, exitCode) << run.standardError;
        EXPECT_EQ(run.standardOutput, narrow(output));
        EXPECT_EQ(run.standardError, narrow(error));
    }

    // The windowed launcher's run: its exit code, and no box.
    void expectWindowed(const WString& switchWord, unsigned long exitCode)
    {
        SCOPED_TRACE(narrow(switchWord));
        const ProgramRun run = command(launcher, switchWord, name);
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
        EXPECT_EQ(run.exitCode, exitCode);
        EXPECT_EQ(run.standardOutput, "");
    }

    DWORD state()
    {
        SERVICE_STATUS status{};
        const UniqueServiceHandle opened(OpenServiceW(service.manager(), name.c_str(), SERVICE_QUERY_STATUS));
        EXPECT_TRUE(opened) << GetLastError();
        EXPECT_TRUE(opened && QueryServiceStatus(opened.get(), &status)) << GetLastError();
        return status.dwCurrentState;
    }

    // The stand-ins started so far, once there are count of them.
    std::vector<StandinRecord> vmRecords(std::size_t count)
    {
        const ULONGLONG deadline = GetTickCount64() + kServiceWaitMs;
        while (readStandinRecords(recordFile).size() < count && GetTickCount64() < deadline) {
            Sleep(10);
        }
        return readStandinRecords(recordFile);
    }

    // Whether the process ended (within the safety net).
    static bool ended(unsigned long processId)
    {
        const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
        return !process || WaitForSingleObject(process.get(), kServiceWaitMs) == WAIT_OBJECT_0;
    }

    WString app = dir / L"Shop Floor";
    WString launcher = installLauncher(app, L"Shop.exe");
    WString twin = installLauncher(app, L"ShopCtl.exe", kConsoleTwin);
    WString recordFile = dir / L"record.txt";
    VmTree vms{dir / L"vms"};
};

// No service of the name: status 1060, said on standard output, not an error.
TEST_F(ServiceVerbs, StatusOfANameThatIsNotInstalled)
{
    expectTwin(L"-kwqelstatus", 1060, L"The service " + name + L" is not installed.\n");
    expectWindowed(L"-kwqelstatus", 1060);
}

// Install, start, restart and stop: each state as the status gives it, the VM
// the service runs, and what each command says.
TEST_F(ServiceVerbs, StartRestartAndStopTheInstalledService)
{
    const ProgramRun installed = command(launcher, L"-kwqelinstall", name);
    ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;
    expectTwin(L"-kwqelstatus", 1, L"The service " + name + L" is stopped.\n");
    expectWindowed(L"-kwqelstatus", 1);

    expectTwin(L"-kwqelstart", 0, L"Started the service " + name + L".\n");
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_RUNNING));
    const auto first = vmRecords(1);
    ASSERT_EQ(first.size(), 1u);
    expectTwin(L"-kwqelstatus", 0, L"The service " + name + L" is running.\n");
    expectWindowed(L"-kwqelstatus", 0);
    expectTwin(L"-kwqelstart", 0, L"The service " + name + L" was already running.\n");

    // The restart ends the first VM and starts another.
    expectTwin(L"-kwqelrestart", 0, L"Restarted the service " + name + L".\n");
    EXPECT_TRUE(ended(first.front().processId)) << "the first VM still runs";
    const auto second = vmRecords(2);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_NE(second.back().processId, first.front().processId);
    expectTwin(L"-kwqelstatus", 0, L"The service " + name + L" is running.\n");

    // Without settings to read the stop waits its fixed bound, and stops all the same.
    ASSERT_TRUE(DeleteFileW((app + L"\\ShopCtl.qel").c_str())) << GetLastError();
    expectTwin(L"-kwqelstop", 0, L"Stopped the service " + name + L".\n");
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(ended(second.back().processId)) << "the second VM still runs";
    expectTwin(L"-kwqelstatus", 1, L"The service " + name + L" is stopped.\n");
}

// Stopping a stopped service succeeds and says so; a restart of it starts it;
// the windowed launcher does all of it without a box.
TEST_F(ServiceVerbs, StopOfAStoppedServiceAndTheWindowedLauncher)
{
    const ProgramRun installed = command(launcher, L"-kwqelinstall", name);
    ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;
    expectTwin(L"-kwqelstop", 0, L"The service " + name + L" was not running.\n");
    expectWindowed(L"-kwqelstop", 0);
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_STOPPED));

    expectTwin(L"-kwqelrestart", 0, L"Started the service " + name + L" (it was not running).\n");
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_RUNNING));
    expectWindowed(L"-kwqelstop", 0);
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_STOPPED));
    expectWindowed(L"-kwqelstart", 0);
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_RUNNING));
    expectWindowed(L"-kwqelrestart", 0);
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_RUNNING));
    expectWindowed(L"-kwqelstop", 0);
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_STOPPED));
}

// A start that ends stopped fails with the service's exit codes: here the
// launcher's service finds its settings incomplete (104) after it was installed.
TEST_F(ServiceVerbs, AStartThatEndsStoppedFailsWithTheServicesExitCodes)
{
    const ProgramRun installed = command(launcher, L"-kwqelinstall", name);
    ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;
    writeFile(app + L"\\Shop.qel", "qel.class.path=lib\\a.jar\r\n");

    const ProgramRun twinRun = command(twin, L"-kwqelstart", name);
    ASSERT_FALSE(twinRun.timedOut);
    EXPECT_EQ(twinRun.exitCode, static_cast<unsigned long>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(twinRun.standardOutput, "");
    const std::string start = narrow(L"Starting the service " + name + L" failed: it stopped before it ran, with the "
                                                                        L"exit code 1066");
    const std::string end = " and the service exit code 104.\n";
    EXPECT_EQ(twinRun.standardError.rfind(start, 0), 0u) << twinRun.standardError;
    EXPECT_TRUE(twinRun.standardError.size() > end.size() &&
                twinRun.standardError.compare(twinRun.standardError.size() - end.size(), end.size(), end) == 0)
        << twinRun.standardError;
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_STOPPED));

    const ProgramRun windowed = command(launcher, L"-kwqelrestart", name);
    ASSERT_FALSE(windowed.timedOut);
    EXPECT_EQ(windowed.exitCode, static_cast<unsigned long>(ERROR_SERVICE_SPECIFIC_ERROR));
    ASSERT_EQ(windowed.boxes.size(), 1u);
    EXPECT_EQ(windowed.boxes[0].text.rfind(L"Restarting the service " + name + L" failed: it stopped before it ran", 0),
              0u)
        << narrow(windowed.boxes[0].text);
    EXPECT_TRUE(readStandinRecords(recordFile).empty()) << "a VM was started";
}

// Another program's service of that name, and a name that is not valid: each
// command refuses, on the console twin's standard error and in the windowed
// launcher's box, and the service stays as it was.
TEST_F(ServiceVerbs, EachCommandRefusesAnotherProgramsServiceAndAnInvalidName)
{
    // The sample's command line names another service: not a launcher's as name.
    const SampleService sample = install();
    create(sample, {}, name + L"Other");
    ASSERT_FALSE(HasFatalFailure());
    const WString stored = serviceCommandLine(sample.program, name + L"Other");
    struct Row {
        const wchar_t* switchWord;
        const wchar_t* doing;
    };
    const Row rows[] = {
        {L"-kwqelstart", L"Starting"},
        {L"-kwqelstop", L"Stopping"},
        {L"-kwqelrestart", L"Restarting"},
        {L"-kwqelstatus", L"Reading the state of"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.switchWord));
        const WString text = WString(row.doing) + L" the service " + name + L" failed: it does not run a launcher as " +
                             name + L" (its command line is " + stored + L"), so it is left as it is.";
        expectTwin(row.switchWord, 1060, L"", text + L"\n");
        const ProgramRun windowed = command(launcher, row.switchWord, name);
        ASSERT_FALSE(windowed.timedOut);
        ASSERT_EQ(windowed.boxes.size(), 1u);
        EXPECT_EQ(windowed.boxes[0].text, text);
        EXPECT_EQ(windowed.exitCode, 1060u);
        EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_STOPPED));

        const ProgramRun invalid = command(twin, row.switchWord, L"Shop/Service");
        EXPECT_EQ(invalid.exitCode, static_cast<unsigned long>(ERROR_INVALID_NAME));
        EXPECT_EQ(invalid.standardError.rfind(narrow(WString(row.doing) + L" the service Shop/Service failed: "), 0),
                  0u)
            << invalid.standardError;
        EXPECT_EQ(invalid.standardOutput, "");
    }
}
