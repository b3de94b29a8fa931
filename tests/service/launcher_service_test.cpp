// The launcher as a Windows service, driven by the prefix's real service control
// manager: the launcher copied as Shop.exe beside Shop.qel into a directory of
// its own, a service created with the launcher's quoted path, "-kwqelservice
// NAME" and application arguments, and a stand-in VM named by
// qel.nl.current.vm that records what it received. A service process does not
// get the test's environment, so the stand-in takes its settings from the file
// beside it.
//
// What Wine's manager cannot show, and what covers it instead (the unit tests
// of the service's rules, tests/unit/service_host_test.cpp):
// - INTERROGATE answered NO_ERROR and the other controls with 120: Wine's
//   ControlService succeeds whatever the handler returns.
//   ServiceHost.ControlsAndConsoleEvents, StatusSequences "interrogate changes
//   nothing".
// - A stop pipe that cannot be created, written to the event log and the trace:
//   nothing in a test makes CreatePipe fail, and Wine's log keeps nothing.
//   ServiceHost.StopInputThatCannotBeMadeIsReported.
// - A log-off console event ignored, the others passed on: no console control
//   event reaches a service process. ServiceHost.ControlsAndConsoleEvents.
// - The failure's text in the Application event log: Wine's log keeps nothing.
//   Nothing reads the record back; the texts are those of the boxes the e2e
//   suite reads.
// - STOP_PENDING right before STOPPED (a stop without a timeout, the VM's own end
//   with 0): both come in the same moment; a poller misses the first, and
//   ControlService gives the status after the handler. ServiceHost.StatusSequences.
// - A stop while the VM is still starting: the manager refuses a stop while the
//   service accepts none (START_PENDING), so the handler never gets one.
//   ServiceHost.StatusSequences "a stop while the VM is starting ...".
// - STOPPED reported once: the manager keeps the last status only.
//   ServiceHost.StopRacingTheVmsEndReportsStoppedOnce, StopThatLetsTheJavaProgramFinish.
// - The manager noticing a VM's end with another code (on Windows: STOPPED,
//   recovery actions): under Wine the status stays RUNNING. The process's exit
//   code is checked here; ServiceHost.StatusSequences "the VM ends by itself with 7".
// - A hand-off file that cannot be written (1066): a service's TMP and TEMP come
//   from the service manager's own start, which a test cannot change.
//   ServiceHost.LaunchFailureCodes; the same 1066 end is shown here with a
//   properties file that cannot be read.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <ostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "service/log_rotation.h"
#include "service_test_fixture.h"
#include "support/launcher_run.h"
#include "support/standin_launch.h"
#include "support/standin_stream.h"

using namespace qel;
using namespace qel::test;

namespace {

// Main class, class path and the example options: 64m heap, gc verbosity, one
// additional option.
constexpr const char* kProperties = "qel.nl.java.launcher.main.class=app.Start\r\n"
                                    "qel.class.path=lib\\a.jar\r\n"
                                    "qel.nl.java.option.java.heap.size.max=64m\r\n"
                                    "qel.nl.java.option.verbose=gc\r\n"
                                    "qel.nl.java.option.additional=-Dx=1\r\n";

// The application's arguments on the service's command line, and as the VM
// must receive them.
const WString kArguments = L"-port 8080 \"two words\"";
const std::vector<WString> kApplicationArguments = {L"-port", L"8080", L"two words"};

constexpr unsigned long kNotStarted = ERROR_SERVICE_NEVER_STARTED;

std::vector<unsigned long> statesOf(const std::vector<ServiceStatus>& statuses)
{
    std::vector<unsigned long> states;
    for (const ServiceStatus& status : statuses) {
        if (states.empty() || states.back() != status.dwCurrentState) {
            states.push_back(status.dwCurrentState);
        }
    }
    return states;
}

// Whether the states appear in this order, each of them or not.
bool inOrderAmong(const std::vector<unsigned long>& states, const std::vector<unsigned long>& order)
{
    auto next = order.begin();
    for (const unsigned long state : states) {
        next = std::find(next, order.end(), state);
        if (next == order.end()) {
            return false;
        }
        ++next;
    }
    return true;
}

std::optional<unsigned long> exitCodeOf(const UniqueHandle& process)
{
    return process ? waitForExitCode(process.get()) : std::nullopt;
}

}  // namespace

class LauncherService : public ServiceTest {
protected:
    void TearDown() override
    {
        if (!IsSkipped()) {
            service.remove();
            endLeftoverVms();
        }
    }

    // Shop.qel: the main class, class path and example options, then the lines.
    void writeProperties(const std::string& lines) { writeFile(app + L"\\Shop.qel", kProperties + lines); }

    // A stand-in at vms\relative that records into recordFile, with more settings.
    WString installVm(const WString& relative, const wchar_t* standIn, const Settings& settings = {})
    {
        vms.program(relative, standIn);
        const WString program = vms / relative;
        Settings all = {{"QEL_STANDIN_RECORD", narrow(recordFile)}};
        all.insert(all.end(), settings.begin(), settings.end());
        writeStandinSettings(program, all);
        return program;
    }

    // The J2 stand-in vms\jre\bin\javaw.exe, named by the properties; it stays
    // until it is ended unless the settings say otherwise.
    WString useJ2Vm(const Settings& settings = {{"QEL_STANDIN_SLEEP_MS", "infinite"}},
                    const std::string& moreProperties = "")
    {
        const WString program = installVm(L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5, settings);
        writeProperties("qel.nl.current.vm=" + escaped(program) + "\r\nqel.nl.valid.vm.list=J2\r\n" + moreProperties);
        return program;
    }

    void create(const WString& arguments = kArguments)
    {
        ASSERT_EQ(service.create(name, serviceCommandLine(launcher, name, arguments)), 0u);
    }

    // Starts the service on a thread of its own while this one polls its status,
    // so that every status from the first on is observed and the launcher's
    // process is opened as soon as the manager names it: a launcher that fails
    // ends within moments.
    UniqueHandle startWatching()
    {
        std::atomic<bool> returned{false};
        std::thread starter([this, &returned] {
            startError = service.start();
            returned = true;
        });
        UniqueHandle process;
        service.waitFor([&](const ServiceStatus& status) {
            if (!process && status.dwProcessId != 0) {
                process = openProcessToWatch(status.dwProcessId);
            }
            return process || returned;
        });
        starter.join();
        return process;
    }

    // Starts the service and waits for RUNNING; the launcher's process.
    UniqueHandle startRunning()
    {
        UniqueHandle process = startWatching();
        EXPECT_EQ(startError, 0u);
        EXPECT_TRUE(process);
        EXPECT_TRUE(service.waitForState(SERVICE_RUNNING)) << serviceStateName(service.lastStatus().dwCurrentState);
        return process;
    }

    // The statuses the launcher reported: those observed from the first one
    // whose exit code is no longer the never-started code the manager shows
    // before.
    std::vector<ServiceStatus> launcherReports() const
    {
        const auto& all = service.observed();
        const auto first = std::find_if(
            all.begin(), all.end(), [](const ServiceStatus& status) { return status.dwWin32ExitCode != kNotStarted; });
        return std::vector<ServiceStatus>(first, all.end());
    }

    // The statuses observed after the last RUNNING; none when no RUNNING was.
    std::vector<ServiceStatus> reportsAfterRunning() const
    {
        const auto& all = service.observed();
        const auto running = std::find_if(all.rbegin(), all.rend(), [](const ServiceStatus& status) {
            return status.dwCurrentState == SERVICE_RUNNING;
        });
        return running == all.rend() ? std::vector<ServiceStatus>()
                                     : std::vector<ServiceStatus>(running.base(), all.end());
    }

    // The stand-in's record, once it has written it (a safety net of
    // kServiceWaitMs); fails the test when none comes or there are several.
    StandinRecord vmRecord()
    {
        const ULONGLONG deadline = GetTickCount64() + kServiceWaitMs;
        std::vector<StandinRecord> records = readStandinRecords(recordFile);
        while (records.empty() && GetTickCount64() < deadline) {
            Sleep(10);
            records = readStandinRecords(recordFile);
        }
        EXPECT_EQ(records.size(), 1u);
        return records.empty() ? StandinRecord{} : records.front();
    }

    // The recorded VM's process while it is still that process (its creation
    // time agrees); empty once it has gone.
    static UniqueHandle openVm(const StandinRecord& record)
    {
        UniqueHandle process(
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, record.processId));
        if (process && processCreationTime(process.get()) != record.creationTime) {
            process.reset();
        }
        return process;
    }

    // What the stand-in's standard input brought it (QEL_STANDIN_STOP_LINE).
    StandinInput vmInput() const { return readStandinInput(recordFile); }

    // A VM that outlives its service (given a moment to go, as a terminated
    // process takes one) must not outlive the test.
    void endLeftoverVms()
    {
        for (const StandinRecord& record : readStandinRecords(recordFile)) {
            if (const UniqueHandle vm = openVm(record); vm && WaitForSingleObject(vm.get(), 10000) == WAIT_TIMEOUT) {
                ADD_FAILURE() << "the VM " << record.processId << " still ran after its service";
                TerminateProcess(vm.get(), 1);
                WaitForSingleObject(vm.get(), kServiceWaitMs);
            }
        }
    }

    WString app = dir / L"Shop";
    WString launcher = installLauncher(app, L"Shop.exe");
    WString recordFile = dir / L"record.txt";
    VmTree vms{dir / L"vms"};
    unsigned long startError = ~0ul;
};

namespace {

// The hand-off file is the launcher's second argument, after the properties
// file; the application's arguments follow it.
struct VmArguments {
    WString properties;
    WString handoff;
    std::vector<WString> application;
};

VmArguments splitVmArguments(const StandinRecord& record)
{
    VmArguments split;
    const auto mainClass = std::find(record.args.begin(), record.args.end(), L"app.Start");
    if (record.args.end() - mainClass >= 3) {
        split.properties = mainClass[1];
        split.handoff = mainClass[2];
        split.application.assign(mainClass + 3, record.args.end());
    }
    return split;
}

// One family of VM: the stand-in program the properties name (and the one
// started), its version, and the valid list that accepts it.
struct FamilyCase {
    const char* label;
    const wchar_t* relative;
    const wchar_t* standIn;
    const char* list;
    bool extraProgram;  // the Microsoft VM also has its console program beside it
};

// The case's label, for the test's name as CTest lists it.
void PrintTo(const FamilyCase& c, std::ostream* out)
{
    *out << c.label;
}

const FamilyCase kFamilies[] = {
    {"J2", L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5, "J2", false},
    {"J1", L"java11\\bin\\jrew.exe", standin::kSun1_1_8_0, "J1", false},
    {"MicrosoftVm", L"windows\\wjview.exe", standin::kMsj5_0_3810_0, "MSJ", true},
};

class LauncherServiceFamily : public LauncherService, public ::testing::WithParamInterface<FamilyCase> {
protected:
    WString expectedOptions() const
    {
        const WString jar = app + L"\\lib\\a.jar";
        const std::string list = GetParam().list;
        if (list == "J2") {
            return L" -Xmx67108864 -verbose:gc -Dx=1 -Xrs -classpath \"" + jar + L";\"";
        }
        if (list == "J1") {
            return L" -mx67108864 -verbose -Dx=1 -Xrs -cp \"" + jar + L";" + vms / L"java11\\lib\\classes.zip;\"";
        }
        return L" /cp \"" + jar + L";\"";
    }
};

}  // namespace

// START_PENDING, then RUNNING accepting stop once the VM runs; the VM's command
// line carries -Xrs (not for the Microsoft VM) and exactly the application's
// arguments: neither the switch nor the service's name.
TEST_P(LauncherServiceFamily, StartsTheVmWithoutTheSwitchAndItsName)
{
    const FamilyCase& c = GetParam();
    const WString program = installVm(c.relative, c.standIn, {{"QEL_STANDIN_SLEEP_MS", "infinite"}});
    if (c.extraProgram) {
        vms.program(L"windows\\jview.exe", c.standIn);
    }
    writeProperties("qel.nl.current.vm=" + escaped(program) + "\r\nqel.nl.valid.vm.list=" + c.list + "\r\n");
    create();
    const UniqueHandle process = startRunning();

    const std::vector<ServiceStatus> reports = launcherReports();
    ASSERT_EQ(statesOf(reports), (std::vector<unsigned long>{SERVICE_START_PENDING, SERVICE_RUNNING}))
        << serviceStateNames(service.observedStates());
    EXPECT_EQ(reports.front().dwWin32ExitCode, 0u);
    EXPECT_EQ(reports.front().dwControlsAccepted, 0u);
    EXPECT_EQ(reports.back().dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP));
    EXPECT_EQ(reports.back().dwWin32ExitCode, 0u);
    EXPECT_EQ(reports.back().dwProcessId, GetProcessId(process.get()));

    const StandinRecord record = vmRecord();
    EXPECT_EQ(record.modulePath, program);
    const VmArguments arguments = splitVmArguments(record);
    EXPECT_EQ(arguments.application, kApplicationArguments);
    EXPECT_EQ(arguments.properties, forwardSlashes(app + L"\\Shop.qel"));
    EXPECT_EQ(std::count(record.args.begin(), record.args.end(), L"-kwqelservice"), 0);
    EXPECT_EQ(std::count(record.args.begin(), record.args.end(), name), 0);
    const WString expected = L"\"" + program + L"\"" + expectedOptions() + L" app.Start \"" +
                             forwardSlashes(app + L"\\Shop.qel") + L"\" \"" + forwardSlashes(arguments.handoff) +
                             L"\" " + kArguments;
    EXPECT_EQ(record.commandLine, expected) << narrow(record.commandLine);
    EXPECT_EQ(record.commandLine.find(L"-Xrs") != WString::npos, std::string(c.list) != "MSJ");
    const std::string handoff = readFile(arguments.handoff);
    EXPECT_EQ(handoff.rfind("qel.nl.current.vm=" + escaped(program) + "\r\n", 0), 0u) << handoff;
}

INSTANTIATE_TEST_SUITE_P(Families, LauncherServiceFamily, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<FamilyCase>& info) {
                             return std::string(info.param.label);
                         });

// A stop while the VM runs, without a stop timeout: the VM is ended at once,
// whatever it would do with a stop line (this one would end with 5 on it, and
// its standard input is not the launcher's pipe), STOPPED follows and the
// launcher's process ends with 0.
TEST_F(LauncherService, StopEndsTheVmAtOnce)
{
    useJ2Vm({{"QEL_STANDIN_STOP_LINE", "exit:5"}, {"QEL_STANDIN_SLEEP_MS", "infinite"}});
    create();
    const UniqueHandle process = startRunning();
    const StandinRecord record = vmRecord();
    const UniqueHandle vm = openVm(record);
    ASSERT_TRUE(vm);
    EXPECT_NE(record.standardHandles[0], L"pipe");
    const WString handoffFile = splitVmArguments(record).handoff;
    const std::string handoff = readFile(handoffFile);
    EXPECT_EQ(handoff.find("qel.service.stop"), std::string::npos) << handoff;
    // The Java side learns that nobody sees a window of its VM.
    const std::string runLines = "\r\nqel.console=false\r\nqel.service=true\r\n";
    EXPECT_EQ(handoff.rfind(runLines), handoff.size() - runLines.size()) << handoff;

    const ControlResult stop = service.control(SERVICE_CONTROL_STOP);
    ASSERT_TRUE(stop.success) << stop.error;
    EXPECT_TRUE(inOrderAmong({stop.status.dwCurrentState}, {SERVICE_STOP_PENDING, SERVICE_STOPPED}))
        << serviceStateName(stop.status.dwCurrentState);
    ASSERT_TRUE(service.waitForState(SERVICE_STOPPED));
    const ServiceStatus stopped = service.lastStatus();
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 0u);
    EXPECT_TRUE(inOrderAmong(statesOf(reportsAfterRunning()), {SERVICE_STOP_PENDING, SERVICE_STOPPED}))
        << serviceStateNames(service.observedStates());

    EXPECT_EQ(exitCodeOf(vm), std::optional<unsigned long>(0)) << "ended by the launcher";
    EXPECT_EQ(exitCodeOf(process), std::optional<unsigned long>(0));
    EXPECT_TRUE(vmInput().lines.empty());
    // The hand-off file went with the stopped VM.
    EXPECT_EQ(GetFileAttributesW(handoffFile.c_str()), INVALID_FILE_ATTRIBUTES) << narrow(handoffFile);
}

namespace {

struct OwnEndCase {
    const char* label;
    unsigned long exitCode;
    // The status once the launcher's process has ended, and the states that may
    // be observed on the way, in their order.
    unsigned long finalState;
    std::vector<unsigned long> states;
};

// The case's label, for the test's name as CTest lists it.
void PrintTo(const OwnEndCase& c, std::ostream* out)
{
    *out << c.label;
}

class LauncherServiceOwnEnd : public LauncherService, public ::testing::WithParamInterface<OwnEndCase> {};

const OwnEndCase kOwnEnds[] = {
    {"ExitCode0", 0, SERVICE_STOPPED, {SERVICE_START_PENDING, SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED}},
    // Nothing after RUNNING. Wine's manager does not notice the process's end
    // (Windows' would record that the service ended on its own).
    {"ExitCode7", 7, SERVICE_RUNNING, {SERVICE_START_PENDING, SERVICE_RUNNING}},
};

}  // namespace

// The VM ends by itself: with 0 the service stops (STOP_PENDING, STOPPED) and
// the process ends with 0; with 7 the process ends with 7 and reports nothing
// after RUNNING.
TEST_P(LauncherServiceOwnEnd, ProcessEndsWithTheVmsCode)
{
    const OwnEndCase& c = GetParam();
    useJ2Vm({{"QEL_STANDIN_EXIT", std::to_string(c.exitCode)}});
    create();
    const UniqueHandle process = startWatching();
    EXPECT_EQ(startError, 0u);
    ASSERT_TRUE(process);
    EXPECT_EQ(exitCodeOf(process), std::optional<unsigned long>(c.exitCode));
    // The hand-off file went with the VM, whatever its code.
    const WString handoffFile = splitVmArguments(vmRecord()).handoff;
    EXPECT_FALSE(handoffFile.empty());
    EXPECT_EQ(GetFileAttributesW(handoffFile.c_str()), INVALID_FILE_ATTRIBUTES) << narrow(handoffFile);

    const ServiceStatus after = service.status();
    EXPECT_EQ(after.dwCurrentState, c.finalState) << serviceStateName(after.dwCurrentState);
    EXPECT_EQ(after.dwWin32ExitCode, 0u);
    const std::vector<unsigned long> states = statesOf(launcherReports());
    EXPECT_TRUE(inOrderAmong(states, c.states)) << serviceStateNames(states);
    if (c.finalState == SERVICE_RUNNING) {
        EXPECT_EQ(after.dwProcessId, GetProcessId(process.get())) << "the ended process";
    }
}

INSTANTIATE_TEST_SUITE_P(VmsOwnEnd, LauncherServiceOwnEnd, ::testing::ValuesIn(kOwnEnds),
                         [](const ::testing::TestParamInfo<OwnEndCase>& info) {
                             return std::string(info.param.label);
                         });

// The longest name Wine's manager (and Windows') takes: registered and running
// under its full 256 characters, although the dispatch table holds only the
// first 255 (Wine ignores the table's name).
namespace {

// A stream the stand-in writes, the logs' settings, and what the logs of one of
// its streams must hold in the end.
struct LogStreamCase {
    const char* label;
    const char* stream;
    bool lines;
    unsigned count;
    bool tail;  // a last line without its line feed after the lines
    const char* size;
    std::size_t sizeBytes;
    unsigned keep;
    unsigned olderBefore;  // older files of each log before the start
};

void PrintTo(const LogStreamCase& c, std::ostream* out)
{
    *out << c.label;
}

std::string expectedStream(const LogStreamCase& c, const char* prefix)
{
    std::string stream;
    char line[kStreamLineCapacity];
    for (unsigned i = 0; i < c.count; ++i) {
        if (c.lines) {
            stream.append(line, streamLine(line, prefix, i));
        } else {
            stream += streamByte(i);
        }
    }
    if (c.tail) {
        stream.append(line, streamLine(line, prefix, c.count) - 1);
    }
    return stream;
}

const LogStreamCase kLogStreams[] = {
    {"Lines", "lines:700", true, 700, false, "4k", 4096, 99, 0},
    {"NoLineEnds", "bytes:21500", false, 21500, false, "4k", 4096, 99, 0},
    // Rotations behind the VM's end: each costs what it costs with one older
    // file, and the last line without its end comes after all the others.
    {"KeepMany", "tail:700", true, 700, true, "1K", 1024, 999, 999},
    // A rotation at every byte: the files kept are the stream's last bytes.
    {"SizeOfOneByte", "tail:20", true, 20, true, "1", 1, 2, 0},
};

class LauncherServiceLogs : public LauncherService, public ::testing::WithParamInterface<LogStreamCase> {
protected:
    WString logDirectory() const { return app + L"\\logs\\service"; }

    // The older files of one log by number.
    std::map<std::uint64_t, WString> olderFiles(const WString& base) const
    {
        std::map<std::uint64_t, WString> files;
        WIN32_FIND_DATAW found{};
        const HANDLE find = FindFirstFileW((logDirectory() + L"\\" + base + L".*.log").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (const auto number = olderLogNumber(base, found.cFileName)) {
                    files[*number] = logDirectory() + L"\\" + found.cFileName;
                }
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        return files;
    }
};

}  // namespace

// With a log directory, the VM's standard output and error reach NAME.out.log
// and NAME.err.log through pipes, rotated at the size: the files the run wrote,
// the older ones by their numbers and then the current one, hold the stream's
// tail in order (all of it when they can); each file but the current one is
// full up to a whole line (or to the byte, without line ends). Older files of
// an earlier run keep their names, the oldest of them deleted beyond the count
// kept. The directory is made.
TEST_P(LauncherServiceLogs, ConcatenatedFilesEqualTheStream)
{
    const LogStreamCase& c = GetParam();
    for (const wchar_t* stream : {L".out", L".err"}) {
        for (unsigned number = 1; number <= c.olderBefore; ++number) {
            writeFile(logDirectory() + L"\\" + name + stream + L"." + std::to_wstring(number) + L".log",
                      "older " + std::to_string(number) + "\n");
        }
    }
    useJ2Vm({{"QEL_STANDIN_STREAM", c.stream}}, std::string("qel.service.log.directory=logs\\service\r\n") +
                                                     "qel.service.log.size=" + c.size +
                                                     "\r\nqel.service.log.keep=" + std::to_string(c.keep) + "\r\n");
    create();
    const UniqueHandle process = startWatching();
    EXPECT_EQ(startError, 0u);
    ASSERT_TRUE(process);
    // A file operation under Wine on a busy machine may take milliseconds, and a
    // rotation at every byte takes several: a generous safety net.
    ASSERT_EQ(waitForExitCode(process.get(), 100000), std::optional<unsigned long>(0));
    const StandinRecord record = vmRecord();
    EXPECT_EQ(record.standardHandles[1], L"pipe");
    EXPECT_EQ(record.standardHandles[2], L"pipe");

    for (const char* prefix : {"out", "err"}) {
        SCOPED_TRACE(prefix);
        const WString base = name + (prefix[0] == 'o' ? L".out" : L".err");
        const std::map<std::uint64_t, WString> older = olderFiles(base);
        EXPECT_LE(older.size(), c.keep);
        std::vector<std::string> files;
        std::uint64_t previous = 0;
        for (const auto& [number, path] : older) {
            if (number <= c.olderBefore) {
                // The earlier run's newest files stay, as they were.
                EXPECT_EQ(readFile(path), "older " + std::to_string(number) + "\n");
                EXPECT_TRUE(previous == 0 || number == previous + 1) << number << " after " << previous;
                previous = number;
            } else {
                files.push_back(readFile(path));
            }
        }
        files.push_back(readFile(logDirectory() + L"\\" + base + L".log"));
        EXPECT_GE(files.size(), 3u) << "several rotations";
        std::string whole;
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_LE(files[i].size(), c.sizeBytes) << "file " << i;
            if (i + 1 < files.size() && c.sizeBytes > 1) {
                if (c.lines) {
                    EXPECT_TRUE(!files[i].empty() && files[i].back() == '\n') << "file " << i << " ends in a line";
                } else {
                    EXPECT_EQ(files[i].size(), c.sizeBytes) << "file " << i;
                }
            }
            whole += files[i];
        }
        const std::string expected = expectedStream(c, prefix);
        const std::size_t keptBytes = (c.keep + 1) * c.sizeBytes;
        if (expected.size() <= keptBytes / 2) {
            EXPECT_TRUE(whole == expected) << whole.size() << " of " << expected.size() << " bytes logged";
        } else {
            // Only the newest files are kept: they end the stream.
            EXPECT_TRUE(whole.size() <= expected.size() &&
                        expected.compare(expected.size() - whole.size(), whole.size(), whole) == 0)
                << "\"" << whole << "\" is not the stream's end";
            EXPECT_GE(whole.size(), std::min<std::size_t>(expected.size(), c.keep + 1)) << whole;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, LauncherServiceLogs, ::testing::ValuesIn(kLogStreams),
                         [](const ::testing::TestParamInfo<LogStreamCase>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(LauncherService, ServiceNameOf256Characters)
{
    name += WString(256 - name.size(), L'N');
    useJ2Vm();
    create();
    const UniqueHandle process = startRunning();
    EXPECT_EQ(service.lastStatus().dwProcessId, GetProcessId(process.get()));
    const UniqueServiceHandle cut(OpenServiceW(service.manager(), name.substr(0, 255).c_str(), SERVICE_QUERY_STATUS));
    const DWORD error = GetLastError();
    EXPECT_FALSE(cut) << "no service of the first 255 characters";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));

    const StandinRecord record = vmRecord();
    EXPECT_EQ(splitVmArguments(record).application, kApplicationArguments);
    EXPECT_EQ(std::count(record.args.begin(), record.args.end(), name), 0);
    ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP).success);
    ASSERT_TRUE(service.waitForState(SERVICE_STOPPED));
    EXPECT_EQ(exitCodeOf(process), std::optional<unsigned long>(0));
}

// From a shell, with valid settings: nothing shows, nothing starts, and the
// launcher ends with 0 (the settings' errors show as in a normal run; see the
// e2e run with the error box).
TEST_F(LauncherService, FromAShellWithValidSettingsStartsNothing)
{
    useJ2Vm({});
    RunOptions options;
    options.arguments = L"-kwqelservice " + name + L" " + kArguments;
    options.environment = {
        {L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"QEL_STANDIN_RECORD", recordFile}, {L"CLASSPATH", L""}};
    const ProgramRun run = runProgram(launcher, options);
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty()) << narrow(run.boxes.empty() ? L"" : run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(GetFileAttributesW(recordFile.c_str()), INVALID_FILE_ATTRIBUTES) << "the VM was started";
    EXPECT_EQ(run.standardError.find("cmd: "), std::string::npos) << run.standardError;
}

namespace {

// A failure of the service: what causes it, and its code.
enum class Cause {
    NoAcceptableVm,
    VmNotAProgram,
    WorkingDirectoryTooLong,
    PropertiesMissing,
    PropertiesInvalid,
    PropertiesUnreadable,
    LogDirectoryNotWritable,
    LogSizeRefused,
    LogKeepRefused,
};

struct FailureCase {
    const char* label;
    Cause cause;
    unsigned long code;
};

// The case's label, for the test's name as CTest lists it.
void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.label;
}

class LauncherServiceFailure : public LauncherService, public ::testing::WithParamInterface<FailureCase> {
protected:
    // The properties file (or its absence) and VMs of the cause.
    void arrange(Cause cause)
    {
        switch (cause) {
        case Cause::NoAcceptableVm: {
            // A J2 VM where only J1 is acceptable, and no other VM anywhere.
            const WString program = installVm(L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5);
            writeProperties("qel.nl.current.vm=" + escaped(program) + "\r\nqel.nl.valid.vm.list=J1\r\n");
            break;
        }
        case Cause::VmNotAProgram:
            vms.file(L"broken\\bin\\javaw.exe", "not a program");
            writeProperties("qel.nl.current.vm=" + escaped(vms / L"broken\\bin\\javaw.exe") +
                            "\r\nqel.nl.valid.vm.list=ALL\r\n");
            break;
        case Cause::WorkingDirectoryTooLong:
            // Longer than a process's current directory can be: refused by its
            // length alone, before anything starts.
            useJ2Vm({}, "qel.user.dir=" + escaped(app + L"\\" + WString(300 - app.size(), L'd')) + "\r\n");
            break;
        case Cause::LogDirectoryNotWritable:
            // A file where the log directory would be.
            writeFile(app + L"\\logs", "a file");
            useJ2Vm({}, "qel.service.log.directory=logs\r\n");
            break;
        case Cause::LogSizeRefused:
            // Read once as 10 bytes; now refused whether or not a directory is set.
            useJ2Vm({}, "qel.service.log.directory=logs\r\nqel.service.log.size=10MB\r\n");
            break;
        case Cause::LogKeepRefused:
            useJ2Vm({}, "qel.service.log.keep=-1\r\n");
            break;
        case Cause::PropertiesMissing:
            break;
        case Cause::PropertiesInvalid:
            // Neither VM setting.
            writeFile(app + L"\\Shop.qel",
                      "qel.nl.java.launcher.main.class=app.Start\r\nqel.class.path=lib\\a.jar\r\n");
            break;
        case Cause::PropertiesUnreadable:
            makeDirectories(app + L"\\Shop.qel");
            break;
        }
    }

    // Starts the service and checks the end: STOPPED with 1066 and the code, the
    // process ended with the code (a box would keep it waiting on the service's
    // invisible desktop), no VM.
    void expectFailure()
    {
        const UniqueHandle process = startWatching();
        ASSERT_TRUE(process);
        EXPECT_EQ(exitCodeOf(process), std::optional<unsigned long>(GetParam().code));
        ASSERT_TRUE(service.waitForState(SERVICE_STOPPED));
        const ServiceStatus stopped = service.lastStatus();
        EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
        EXPECT_EQ(stopped.dwServiceSpecificExitCode, GetParam().code);
        EXPECT_EQ(stopped.dwProcessId, 0u);
        EXPECT_TRUE(readStandinRecords(recordFile).empty());
    }
};

class LauncherServiceRunnerFailure : public LauncherServiceFailure {};
class LauncherServiceEarlyFailure : public LauncherServiceFailure {};

std::string caseLabel(const ::testing::TestParamInfo<FailureCase>& info)
{
    return info.param.label;
}

}  // namespace

// The VM cannot be started on the runner thread: no acceptable VM (101), a VM
// program that is not a program or a working directory too long (103), a size
// or count of the logs that the service does not take (104).
TEST_P(LauncherServiceRunnerFailure, StopsWithTheMessagesCode)
{
    arrange(GetParam().cause);
    create();
    expectFailure();
    // StartServiceW returns with the first report: START_PENDING came first (a
    // first report of STOPPED makes it fail with 1053, as below).
    EXPECT_EQ(startError, 0u);
    EXPECT_TRUE(inOrderAmong(statesOf(launcherReports()), {SERVICE_START_PENDING, SERVICE_STOPPED}))
        << serviceStateNames(service.observedStates());
}

INSTANTIATE_TEST_SUITE_P(RunnerThread, LauncherServiceRunnerFailure,
                         ::testing::Values(FailureCase{"NoAcceptableVm", Cause::NoAcceptableVm, 101},
                                           FailureCase{"VmNotAProgram", Cause::VmNotAProgram, 103},
                                           FailureCase{"WorkingDirectoryTooLong", Cause::WorkingDirectoryTooLong, 103},
                                           FailureCase{"LogDirectoryNotWritable", Cause::LogDirectoryNotWritable, 103},
                                           FailureCase{"LogSizeRefused", Cause::LogSizeRefused, 104},
                                           FailureCase{"LogKeepRefused", Cause::LogKeepRefused, 104}),
                         caseLabel);

// Before the dispatcher connects (the properties file missing, invalid, or not
// readable at all: 1066 for a failure without a message): no box waits on the
// service's invisible desktop; the process connects, reports STOPPED with the
// code and ends with it.
TEST_P(LauncherServiceEarlyFailure, StopsWithTheMessagesCodeWithoutABox)
{
    arrange(GetParam().cause);
    create();
    expectFailure();
    // Its first report is STOPPED: Wine's StartServiceW then fails with 1053.
    if (runningUnderWine()) {
        EXPECT_EQ(startError, static_cast<unsigned long>(ERROR_SERVICE_REQUEST_TIMEOUT));
    }
    EXPECT_EQ(statesOf(launcherReports()), std::vector<unsigned long>{SERVICE_STOPPED});
}

INSTANTIATE_TEST_SUITE_P(BeforeConnecting, LauncherServiceEarlyFailure,
                         ::testing::Values(FailureCase{"PropertiesMissing", Cause::PropertiesMissing, 102},
                                           FailureCase{"PropertiesInvalid", Cause::PropertiesInvalid, 104},
                                           FailureCase{"PropertiesUnreadable", Cause::PropertiesUnreadable,
                                                       ERROR_SERVICE_SPECIFIC_ERROR}),
                         caseLabel);

namespace {

// The graceful stop: how the stand-in treats the stop line, and what follows.
struct GracefulCase {
    const char* label;
    const char* stopLine;  // QEL_STANDIN_STOP_LINE
    const char* timeoutSeconds;
    unsigned long vmExitCode;  // its own, or 0 when the launcher ended it
    // The check points of STOP_PENDING while the launcher waited; none: not
    // counted (the VM ends within moments).
    std::optional<std::vector<unsigned long>> checkPoints;
};

// The case's label, for the test's name as CTest lists it.
void PrintTo(const GracefulCase& c, std::ostream* out)
{
    *out << c.label;
}

class LauncherServiceGracefulStop : public LauncherService, public ::testing::WithParamInterface<GracefulCase> {};

const GracefulCase kGraceful[] = {
    // A generous timeout that the VM's own end comes well before.
    {"VmEndsOnTheStopLine", "exit:5", "60", 5, std::nullopt},
    // Ended at the timeout after STOP_PENDING at check points 1, 2 and 3, one a
    // second.
    {"VmIgnoresTheStopLine", "ignore", "3", 0, std::vector<unsigned long>{1, 2, 3}},
};

}  // namespace

// With qel.service.stop.timeout the VM's standard input is a pipe and the
// hand-off file announces the stop line; a stop writes "ravelin-stop\r\n" and
// closes the pipe, reports STOP_PENDING with a rising check point and a wait
// hint of 2000 while it waits, and ends the VM at the timeout; STOPPED follows
// either way and the process leaves with 0.
TEST_P(LauncherServiceGracefulStop, StopLineThenTheVmsEnd)
{
    const GracefulCase& c = GetParam();
    useJ2Vm({{"QEL_STANDIN_STOP_LINE", c.stopLine}, {"QEL_STANDIN_EXIT", "9"}},
            std::string("qel.service.stop.timeout=") + c.timeoutSeconds + "\r\n");
    create();
    const UniqueHandle process = startRunning();
    const StandinRecord record = vmRecord();
    const UniqueHandle vm = openVm(record);
    ASSERT_TRUE(vm);
    EXPECT_EQ(record.standardHandles[0], L"pipe");
    const WString handoffFile = splitVmArguments(record).handoff;
    const std::string handoff = readFile(handoffFile);
    EXPECT_NE(handoff.find("\r\nqel.console=false\r\nqel.service=true\r\nqel.service.stop.input=true\r\n"
                           "qel.service.stop.line=ravelin-stop\r\n"),
              std::string::npos)
        << handoff;
    EXPECT_TRUE(vmInput().lines.empty()) << "nothing before the stop";

    const ControlResult stop = service.control(SERVICE_CONTROL_STOP);
    ASSERT_TRUE(stop.success) << stop.error;
    EXPECT_EQ(stop.status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(stop.status.dwCheckPoint, 1u);
    EXPECT_EQ(stop.status.dwWaitHint, 2000u);
    ASSERT_TRUE(service.waitForState(SERVICE_STOPPED));
    EXPECT_EQ(exitCodeOf(vm), std::optional<unsigned long>(c.vmExitCode));
    EXPECT_EQ(exitCodeOf(process), std::optional<unsigned long>(0));

    const std::vector<ServiceStatus> after = reportsAfterRunning();
    ASSERT_FALSE(after.empty());
    std::vector<unsigned long> checkPoints;
    for (std::size_t i = 0; i + 1 < after.size(); ++i) {
        EXPECT_EQ(after[i].dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING)) << i;
        EXPECT_EQ(after[i].dwWaitHint, 2000u) << i;
        checkPoints.push_back(after[i].dwCheckPoint);
    }
    EXPECT_TRUE(std::is_sorted(checkPoints.begin(), checkPoints.end()));
    EXPECT_EQ(std::adjacent_find(checkPoints.begin(), checkPoints.end()), checkPoints.end());
    if (c.checkPoints) {
        EXPECT_EQ(checkPoints, *c.checkPoints);
    }
    EXPECT_EQ(after.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(after.back().dwWin32ExitCode, 0u);

    const StandinInput input = vmInput();
    EXPECT_EQ(input.lines, std::vector<WString>{L"ravelin-stop\r\n"});
    if (c.vmExitCode == 0) {
        EXPECT_EQ(input.end, std::optional<WString>(L"eof")) << "the pipe was closed";
    }
    EXPECT_EQ(GetFileAttributesW(handoffFile.c_str()), INVALID_FILE_ATTRIBUTES) << narrow(handoffFile);
}

INSTANTIATE_TEST_SUITE_P(Timeout, LauncherServiceGracefulStop, ::testing::ValuesIn(kGraceful),
                         [](const ::testing::TestParamInfo<GracefulCase>& info) {
                             return std::string(info.param.label);
                         });

namespace {

// A FILETIME as one count of 100 ns units.
unsigned long long fileTimeCount(const FILETIME& time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

// qel.service.stop.timeout counts from the stop: a VM that ignores the stop line
// lives the whole timeout after the stop, wherever in the host's one-second
// rhythm the stop falls (stops sent at several moments after RUNNING).
TEST_F(LauncherService, StopTimeoutCountsFromTheStop)
{
    constexpr unsigned long long kTimeout100ns = 1000ull * 10000ull;  // 1 s
    useJ2Vm({{"QEL_STANDIN_STOP_LINE", "ignore"}}, "qel.service.stop.timeout=1\r\n");
    create();
    for (const DWORD offsetMs : {0ul, 250ul, 500ul, 750ul, 950ul}) {
        SCOPED_TRACE("stop " + std::to_string(offsetMs) + " ms after RUNNING");
        DeleteFileW(recordFile.c_str());
        const UniqueHandle process = startRunning();
        const UniqueHandle vm = openVm(vmRecord());
        ASSERT_TRUE(vm);
        Sleep(offsetMs);
        FILETIME stopTime{};
        GetSystemTimePreciseAsFileTime(&stopTime);
        const ControlResult stop = service.control(SERVICE_CONTROL_STOP);
        ASSERT_TRUE(stop.success) << stop.error;
        ASSERT_TRUE(service.waitForState(SERVICE_STOPPED));
        ASSERT_EQ(exitCodeOf(vm), std::optional<unsigned long>(0)) << "ended by the launcher";
        FILETIME creation{};
        FILETIME exited{};
        FILETIME kernel{};
        FILETIME user{};
        ASSERT_TRUE(GetProcessTimes(vm.get(), &creation, &exited, &kernel, &user));
        const unsigned long long lived = fileTimeCount(exited) - fileTimeCount(stopTime);
        EXPECT_GE(lived, kTimeout100ns) << "the VM was ended " << lived / 10000 << " ms after the stop";
        EXPECT_EQ(exitCodeOf(process), std::optional<unsigned long>(0));
    }
}
