// What the launcher costs between its own start and its VM's, against the least
// a faithful launcher must pay: the floor, a minimal windowed program of ours
// (minimal_starter_user32.exe, linked like the launcher) that reads the Ctrl key
// as the launcher does at every start, which loads user32.dll, then starts the
// same stand-in VM with the same command line and waits for it.
//
// Start-to-VM latency: the stand-in VM's creation time (from its record) minus
// its parent's (GetProcessTimes on the handle this driver started it with);
// median of kLatencyRuns runs of each program, the programs taking turns (the
// order turning by one from round to round), in two set-ups:
//   (a) the VM named by qel.nl.current.vm;
//   (b) the VM found by the search: a Path of 20 directories, one of them a
//       Java 2 runtime's bin directory and the others empty or missing, and
//       three runtimes registered under the JavaSoft key (removed at the end).
// Peak working set: read with GetProcessMemoryInfo on each parent's handle while
// it runs (the stand-in stays alive a while, so its parent is waiting for it).
// A third program, the same minimal program without the Ctrl key
// (minimal_starter.exe), shows what user32.dll's loading costs by itself.
// Before the runs, the size of the launcher's executable against its target.
//
// Every program starts as Explorer starts one: detached from any console, their
// standard handles on NUL, the environment of this driver with PATH replaced.
// The minimal programs' command line is the one the launcher gave its VM, read
// from the stand-in's record of a launcher run, and they run in the directory the
// launcher gave the VM.

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "support/launcher_run.h"
#include "support/process_start.h"
#include "support/standin_record.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"
#include "vm/javasoft.h"

using namespace qel;
using test::narrow;

namespace {

constexpr int kLatencyRuns = 41;  // per program and set-up
constexpr int kMemoryRuns = 9;
// Launcher against the floor.
constexpr double kLatencyTarget = 1.05;
constexpr double kMemoryTarget = 1.05;
constexpr long long kExecutableTargetBytes = 512 * 1024;
constexpr DWORD kRunTimeoutMs = 30000;
// In the working-set runs the stand-in stays this long after its start.
constexpr const wchar_t* kMemorySleepMs = L"300";
constexpr const wchar_t* kSystemPath = L"C:\\windows\\system32;C:\\windows";

using Variables = std::vector<std::pair<WString, WString>>;

// Starts that failed with ERROR_INTERNAL_ERROR and were tried again.
int startsTriedAgain = 0;

using test::environmentBlock;

// A program started with this command line in this directory.
struct Start {
    WString program;
    WString commandLine;
    WString directory;
};

struct Measured {
    double latencyMs = 0;
    SIZE_T peakWorkingSet = 0;  // 0 when not watched
    test::StandinRecord record;
};

unsigned long long fileTimeCount(const FILETIME& time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Starts the program detached, with NUL as its standard handles, and waits for
// it; the stand-in VM it starts must leave exactly one record.
Measured runOnce(const Start& start, const Variables& environment, const WString& recordFile, bool watchMemory)
{
    DeleteFileW(recordFile.c_str());
    std::wstring block = environmentBlock(environment);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                               OPEN_EXISTING, 0, nullptr));
    if (!nul) {
        throw std::runtime_error("cannot open NUL");
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.get();
    startup.hStdOutput = nul.get();
    startup.hStdError = nul.get();
    PROCESS_INFORMATION info{};
    // Starts that Wine failed with ERROR_INTERNAL_ERROR are tried again, and counted.
    if (const DWORD error = test::startProcess(start.program.c_str(), start.commandLine, TRUE,
                                               DETACHED_PROCESS | CREATE_UNICODE_ENVIRONMENT, block.data(),
                                               start.directory.c_str(), startup, info, &startsTriedAgain)) {
        throw std::runtime_error("cannot start " + narrow(start.program) + ", error " + std::to_string(error));
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    nul.reset();

    Measured measured;
    const ULONGLONG deadline = GetTickCount64() + kRunTimeoutMs;
    while (WaitForSingleObject(process.get(), watchMemory ? 5 : kRunTimeoutMs) == WAIT_TIMEOUT) {
        if (watchMemory) {
            // The peak only grows: the last reading before the end is the peak.
            PROCESS_MEMORY_COUNTERS counters{};
            counters.cb = sizeof counters;
            if (GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) {
                measured.peakWorkingSet = std::max(measured.peakWorkingSet, counters.PeakWorkingSetSize);
            }
        }
        if (GetTickCount64() > deadline) {
            TerminateProcess(process.get(), 0xDEAD);
            WaitForSingleObject(process.get(), INFINITE);
            throw std::runtime_error(narrow(start.program) + " did not end within 30 s (showing a message box?)");
        }
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    if (exitCode != 0) {
        throw std::runtime_error(narrow(start.program) + " ended with exit code " + std::to_string(exitCode));
    }
    FILETIME creation{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process.get(), &creation, &exited, &kernel, &user)) {
        throw std::runtime_error("GetProcessTimes failed");
    }
    std::vector<test::StandinRecord> records = test::readStandinRecords(recordFile);
    if (records.size() != 1) {
        throw std::runtime_error(narrow(start.program) + ": the stand-in VM left " + std::to_string(records.size()) +
                                 " records instead of one");
    }
    measured.record = std::move(records.front());
    measured.latencyMs =
        static_cast<double>(static_cast<long long>(measured.record.creationTime - fileTimeCount(creation))) / 1e4;
    return measured;
}

// The hand-off file the launcher named last on the VM's command line, unless it
// is the one kept for the minimal program's runs.
void removeHandoffFile(const test::StandinRecord& record, const WString& kept)
{
    if (record.args.empty() || record.args.back() == kept) {
        return;
    }
    const WString& path = record.args.back();
    const WString name = path.substr(path.find_last_of(L"\\/") + 1);
    if (name.size() > 7 && CompareStringOrdinal(name.c_str(), 3, L"qel", 3, TRUE) == CSTR_EQUAL &&
        CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".tmp", 4, TRUE) == CSTR_EQUAL) {
        DeleteFileW(path.c_str());
    }
}

struct Spread {
    double median = 0;
    double lowerQuartile = 0;
    double upperQuartile = 0;
};

Spread spreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return Spread{values[n / 2], values[n / 4], values[(3 * n) / 4]};
}

const char* verdict(double ratio, double target)
{
    return ratio <= target ? "within the target" : "MISSED";
}

// One set-up: a launcher installed as app\Bench.exe beside its settings, and the
// environment it runs with.
struct Setup {
    const char* title;
    WString launcher;
    Variables environment;
};

// The baselines, built in bench/: the floor, a minimal program that reads the
// Ctrl key as the launcher does at every start and so loads user32.dll; and the
// same program without the Ctrl key, which tells what user32.dll's loading costs.
struct Baselines {
    WString floor;
    WString withoutUser32;
};

// The programs compared, in the order printed.
enum Program { kLauncher, kFloor, kWithoutUser32, kProgramCount };
const char* const kProgramNames[kProgramCount] = {"launcher", "floor (minimal program + Ctrl key)",
                                                  "minimal program without user32.dll"};

void printSpreads(const char* unit, const char* format, const std::vector<double> (&values)[kProgramCount],
                  double target)
{
    Spread spreads[kProgramCount];
    for (int p = 0; p < kProgramCount; ++p) {
        spreads[p] = spreadOf(values[p]);
        std::printf("  %-36s ", kProgramNames[p]);
        std::printf(format, spreads[p].median);
        std::printf(" %s (interquartile ", unit);
        std::printf(format, spreads[p].lowerQuartile);
        std::printf("-");
        std::printf(format, spreads[p].upperQuartile);
        std::printf(")\n");
    }
    const double ratio = spreads[kLauncher].median / spreads[kFloor].median;
    std::printf("  launcher / floor: %.2f, target %.2f: %s\n", ratio, target, verdict(ratio, target));
    std::printf("  floor / minimal program without user32.dll: %.2f (what loading user32.dll costs)\n",
                spreads[kFloor].median / spreads[kWithoutUser32].median);
}

// The size of the launcher's executable, against its target.
void printExecutableSize(const WString& launcher)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(launcher.c_str(), GetFileExInfoStandard, &data)) {
        throw std::runtime_error("cannot read the size of " + narrow(launcher));
    }
    const long long bytes = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::printf("executable %s: %lld bytes (%.0f KiB), target %lld KiB: %s\n", narrow(launcher).c_str(), bytes,
                static_cast<double>(bytes) / 1024, kExecutableTargetBytes / 1024,
                bytes <= kExecutableTargetBytes ? "within the target" : "MISSED");
}

void measure(const Setup& setup, const Baselines& baselines, const WString& recordFile)
{
    std::printf("\n== %s\n", setup.title);
    // The stand-in records its start and ends at once, or stays a while for the
    // working-set runs; nothing else of this driver's settings reaches it.
    const auto withStandIn = [&](const wchar_t* sleepMs) {
        Variables variables = setup.environment;
        variables.insert(variables.end(), {{L"QEL_STANDIN_RECORD", recordFile},
                                           {L"QEL_STANDIN_EXIT", L""},
                                           {L"QEL_STANDIN_SLEEP_MS", sleepMs},
                                           {L"CLASSPATH", L""},
                                           {L"WINEPATH", L""}});
        return variables;
    };
    const Variables environment = withStandIn(L"");
    const Variables memoryEnvironment = withStandIn(kMemorySleepMs);

    // A first run watched for message boxes, which a detached run would wait on.
    {
        DeleteFileW(recordFile.c_str());
        test::RunOptions options;
        options.environment = environment;
        options.timeoutMs = kRunTimeoutMs;
        const test::ProgramRun run = test::runProgram(setup.launcher, options);
        if (run.timedOut || !run.boxes.empty() || run.exitCode != 0) {
            throw std::runtime_error("the launcher failed: " +
                                     (run.boxes.empty() ? run.standardError : narrow(run.boxes.front().text)));
        }
    }
    const test::StandinRecord reference = test::readStandinRecords(recordFile).at(0);
    const WString keptHandoff = reference.args.back();
    std::printf("VM started:       %s\n", narrow(reference.modulePath).c_str());
    std::printf("its command line: %s\n", narrow(reference.commandLine).c_str());

    const auto baseline = [&](const WString& program) {
        return Start{program, L"\"" + program + L"\" " + reference.commandLine, reference.workingDirectory};
    };
    const Start starts[kProgramCount] = {
        {setup.launcher, L"\"" + setup.launcher + L"\"", setup.launcher.substr(0, setup.launcher.rfind(L'\\'))},
        baseline(baselines.floor),
        baseline(baselines.withoutUser32),
    };
    const auto run = [&](int program, const Variables& variables, bool watchMemory) {
        Measured measured = runOnce(starts[program], variables, recordFile, watchMemory);
        if (program == kLauncher) {
            removeHandoffFile(measured.record, keptHandoff);
        } else if (measured.record.commandLine != reference.commandLine ||
                   measured.record.workingDirectory != reference.workingDirectory) {
            throw std::runtime_error("a baseline gave the VM another command line or directory");
        }
        return measured;
    };

    // One unmeasured run each, then rounds of one run each, the order turning by
    // one program from round to round.
    for (int p = 0; p < kProgramCount; ++p) {
        run(p, environment, false);
    }
    std::vector<double> latency[kProgramCount];
    for (int round = 0; round < kLatencyRuns; ++round) {
        for (int i = 0; i < kProgramCount; ++i) {
            const int p = (round + i) % kProgramCount;
            latency[p].push_back(run(p, environment, false).latencyMs);
        }
    }
    std::vector<double> peak[kProgramCount];
    for (int round = 0; round < kMemoryRuns; ++round) {
        for (int i = 0; i < kProgramCount; ++i) {
            const int p = (round + i) % kProgramCount;
            peak[p].push_back(static_cast<double>(run(p, memoryEnvironment, true).peakWorkingSet) / 1024);
        }
    }
    DeleteFileW(keptHandoff.c_str());

    std::printf("start-to-VM latency, median of %d runs each:\n", kLatencyRuns);
    printSpreads("ms", "%.1f", latency, kLatencyTarget);
    std::printf("peak working set, median of %d runs each:\n", kMemoryRuns);
    printSpreads("KiB", "%.0f", peak, kMemoryTarget);
    std::fflush(stdout);
}

// A path as the properties file needs it: every backslash doubled, so that none
// starts a \u escape.
std::string escaped(const WString& path)
{
    std::string result;
    for (const char unit : narrow(path)) {
        result += unit == '\\' ? std::string("\\\\") : std::string(1, unit);
    }
    return result;
}

// The application's settings, with the VM lines given.
void writeSettings(const WString& app, const std::string& vmLines)
{
    test::writeFile(app + L"\\Bench.qel", "qel.application.name=Bench\r\n"
                                          "qel.nl.java.launcher.main.class=bench.Main\r\n"
                                          "qel.class.path=lib\\bench.jar\r\n"
                                          "qel.nl.java.option.java.heap.size.max=64m\r\n" +
                                              vmLines);
}

// Stand-in java.exe and javaw.exe in home\bin.
void installRuntime(const WString& home, const wchar_t* standIn)
{
    test::installStandIn(standIn, home + L"\\bin\\java.exe");
    test::installStandIn(standIn, home + L"\\bin\\javaw.exe");
}

// The JavaSoft keys exist while the object lives, and not before or after.
class RegisteredRuntimes {
public:
    RegisteredRuntimes() { test::removeJavaSoftKeys(); }
    ~RegisteredRuntimes() { test::removeJavaSoftKeys(); }
    RegisteredRuntimes(const RegisteredRuntimes&) = delete;
    RegisteredRuntimes& operator=(const RegisteredRuntimes&) = delete;

    void add(const WString& release, const WString& micro, const WString& home)
    {
        const WString key = WString(javasoft::kRuntimeKey) + L"\\" + release;
        test::setRegistryString(key, javasoft::kMicroVersion, micro);
        test::setRegistryString(key, javasoft::kJavaHome, home);
    }
};

}  // namespace

int main()
{
    try {
        const test::TempDir root;
        printExecutableSize(test::binaryDir() + L"\\ravelin.exe");
        const Baselines baselines{test::binaryDir() + L"\\minimal_starter_user32.exe",
                                  test::binaryDir() + L"\\minimal_starter.exe"};
        const WString recordFile = root / L"record.txt";

        // (a) The VM named in the settings.
        {
            const WString app = root / L"a\\app";
            installRuntime(root / L"a\\jre", test::standin::kSun1_4_20_5);
            writeSettings(app, "qel.nl.current.vm=" + escaped(root / L"a\\jre\\bin\\javaw.exe") +
                                   "\r\nqel.nl.valid.vm.list=J2\r\n");
            const Setup setup{"set-up (a): the VM named by qel.nl.current.vm",
                              test::installLauncher(app, L"Bench.exe"),
                              {{L"PATH", kSystemPath}}};
            measure(setup, baselines, recordFile);
        }

        // (b) The VM found by the search of Path and the registry.
        {
            const WString app = root / L"b\\app";
            constexpr int kPathDirectories = 20;
            constexpr int kRuntimeAt = 13;
            WString path;
            for (int i = 0; i < kPathDirectories; ++i) {
                WString dir;
                if (i == kRuntimeAt) {
                    installRuntime(root / L"b\\pathjre", test::standin::kSun1_4_20_5);
                    dir = root / L"b\\pathjre\\bin";
                } else {
                    dir = root / (L"b\\path\\d" + std::to_wstring(i));
                    if (i % 2 == 0) {
                        test::makeDirectories(dir);  // the odd ones do not exist
                    }
                }
                path += (i == 0 ? L"" : L";") + dir;
            }
            installRuntime(root / L"b\\jre13", test::standin::kSun1_3_10_0);
            installRuntime(root / L"b\\jre14", test::standin::kSun1_4_20_5);
            installRuntime(root / L"b\\jre15", test::standin::kSun5_0_60_5);
            RegisteredRuntimes registry;
            registry.add(L"1.3", L"1", root / L"b\\jre13");
            registry.add(L"1.4", L"2", root / L"b\\jre14");
            registry.add(L"1.5", L"0", root / L"b\\jre15");
            test::setRegistryString(javasoft::kRuntimeKey, javasoft::kCurrentVersion, L"1.5");
            writeSettings(app, "qel.nl.valid.vm.list=J2\r\n");
            const Setup setup{"set-up (b): the VM found by the search (20 Path directories, 3 registered runtimes)",
                              test::installLauncher(app, L"Bench.exe"),
                              {{L"PATH", path}}};
            measure(setup, baselines, recordFile);
        }
        if (startsTriedAgain > 0) {
            std::printf("\n(%d starts failed with ERROR_INTERNAL_ERROR and were tried again)\n", startsTriedAgain);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "launch benchmark: %s\n", error.what());
        return 1;
    }
    return 0;
}
