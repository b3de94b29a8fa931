#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/handles.h"
#include "support/process_start.h"
#include "support/launcher_run.h"
#include "support/standin_record.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

namespace {

unsigned long long systemTimeNow()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// A stand-in installed as java.exe below a directory with a space in its name,
// and the record file it is told about. (Paths stay ASCII: under the C locale of
// the test runs Wine cannot create files with other names.)
class StandinRecordTest : public testing::Test {
protected:
    TempDir dir;
    const WString program = dir / L"jre 1.4\\bin\\java.exe";
    const WString recordFile = dir / L"record.txt";

    void SetUp() override { installStandIn(standin::kSun1_4_20_5, program); }

    // Runs the stand-in with the record file in its environment.
    ProgramRun run(RunOptions options)
    {
        options.environment.emplace_back(L"QEL_STANDIN_RECORD", recordFile);
        return runProgram(program, options);
    }

    // Starts the stand-in directly, for what runProgram does not vary: console
    // flags, the console title and standard handles.
    struct Started {
        UniqueHandle process;
        UniqueHandle thread;
        unsigned long id = 0;
    };
    Started start(DWORD flags, STARTUPINFOW startup, bool inheritHandles)
    {
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (const DWORD error = startProcess(program.c_str(), commandLineFor(program, L""), inheritHandles, flags,
                                             nullptr, nullptr, startup, info)) {
            throw std::runtime_error("cannot start the stand-in, error " + std::to_string(error));
        }
        return {UniqueHandle(info.hProcess), UniqueHandle(info.hThread), info.dwProcessId};
    }

    // The only record of the file.
    StandinRecord onlyRecord(const WString& file)
    {
        auto records = readStandinRecords(file);
        if (records.size() != 1) {
            throw std::runtime_error(std::to_string(records.size()) + " records in " + narrow(file));
        }
        return std::move(records.front());
    }
};

RunOptions withArguments(WString arguments)
{
    RunOptions options;
    options.arguments = std::move(arguments);
    return options;
}

struct ArgumentCase {
    const wchar_t* written;  // as it stands on the command line
    const wchar_t* split;  // the argument the C runtime makes of it
};

}  // namespace

TEST_F(StandinRecordTest, CommandLineArgumentsAndProcessComeBackExactly)
{
    const ArgumentCase cases[] = {
        {L"plain", L"plain"},
        {L"\"with space\"", L"with space"},
        {L"back\\slash", L"back\\slash"},
        {L"\"quote\\\"inside\"", L"quote\"inside"},
        {L"\"trail\\\\\"", L"trail\\"},
        {L"five\\\\\\\\\\\"q", L"five\\\\\"q"},  // 2n+1 backslashes and a quote: n and a quote
        {L"mi\"x ed\"", L"mix ed"},
        {L"\"\"", L""},
        {L"\u00e9t\u00e9", L"\u00e9t\u00e9"},
        {L"\U0001D11E", L"\U0001D11E"},
        // Control characters and a surrogate without its pair survive the record.
        {L"\"tab\there\nnew\rline\x01\"", L"tab\there\nnew\rline\x01"},
        {L"lone\xD800", L"lone\xD800"},
        {L"\"carriage return last\r\"", L"carriage return last\r"},
    };
    WString arguments;
    std::vector<WString> expected{program};
    for (const auto& c : cases) {
        arguments += (arguments.empty() ? L"" : L" ") + WString(c.written);
        expected.push_back(c.split);
    }

    const unsigned long long before = systemTimeNow();
    const ProgramRun result = run(withArguments(arguments));
    const unsigned long long after = systemTimeNow();
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0u);

    const StandinRecord record = onlyRecord(recordFile);
    EXPECT_EQ(record.commandLine, commandLineFor(program, arguments));
    EXPECT_EQ(record.args, expected);
    EXPECT_EQ(record.modulePath, program);
    EXPECT_EQ(record.workingDirectory, program.substr(0, program.rfind(L'\\')));
    EXPECT_NE(record.processId, GetCurrentProcessId());
    EXPECT_NE(record.processId, 0u);
    EXPECT_GE(record.creationTime, before);
    EXPECT_LE(record.creationTime, after);
    // runProgram gives no standard input and one file for output and error.
    EXPECT_EQ(record.standardHandles, (std::array<WString, 3>{L"none", L"file", L"file"}));
}

struct EnvironmentCase {
    std::optional<WString> classPath;
    const wchar_t* exitSetting;
    unsigned long exitCode;
    const wchar_t* directory;  // below the test's directory; empty: the program's
};

TEST_F(StandinRecordTest, ClassPathExitCodeAndDirectoryFromTheEnvironment)
{
    const EnvironmentCase cases[] = {
        {std::nullopt, L"3", 3, L""},
        {L"a.jar;C:\\lib\\b.jar;\u00e9\U0001D11E", L"0xC0000005", 0xC0000005, L"work dir"},
        {L".", L"-1", 0xFFFFFFFF, L"w"},
        {L"x", L"0", 0, L""},
    };
    for (const auto& c : cases) {
        const WString label = c.exitSetting;
        DeleteFileW(recordFile.c_str());
        RunOptions options;
        // An empty value removes the variable: CLASSPATH is never inherited from the test.
        options.environment.emplace_back(L"CLASSPATH", c.classPath.value_or(L""));
        options.environment.emplace_back(L"QEL_STANDIN_EXIT", c.exitSetting);
        if (*c.directory != L'\0') {
            options.currentDirectory = dir / c.directory;
            makeDirectories(options.currentDirectory);
        }
        const ProgramRun result = run(options);
        EXPECT_EQ(result.exitCode, c.exitCode) << narrow(label);

        const StandinRecord record = onlyRecord(recordFile);
        EXPECT_EQ(record.classPath, c.classPath) << narrow(label);
        EXPECT_EQ(record.workingDirectory,
                  options.currentDirectory.empty() ? program.substr(0, program.rfind(L'\\')) : options.currentDirectory)
            << narrow(label);
    }
}

TEST_F(StandinRecordTest, SettingsFileBesideTheProgramAndTheEnvironmentWins)
{
    writeStandinSettings(program, {{"QEL_STANDIN_RECORD", narrow(recordFile)}, {"QEL_STANDIN_EXIT", "0xC0000005"}});
    EXPECT_EQ(standinSettingsPath(program), dir / L"jre 1.4\\bin\\java.standin");

    // No settings in the environment, as for a service process: the file's settings count.
    RunOptions fromFile;
    fromFile.arguments = L"from-file";
    fromFile.environment = {{L"QEL_STANDIN_RECORD", L""}, {L"QEL_STANDIN_EXIT", L""}};
    EXPECT_EQ(runProgram(program, fromFile).exitCode, 0xC0000005);
    EXPECT_EQ(onlyRecord(recordFile).args.at(1), L"from-file");

    // Each setting the environment has replaces the file's.
    const WString otherRecord = dir / L"other.txt";
    RunOptions fromEnvironment;
    fromEnvironment.arguments = L"from-environment";
    fromEnvironment.environment = {{L"QEL_STANDIN_RECORD", otherRecord}, {L"QEL_STANDIN_EXIT", L"3"}};
    EXPECT_EQ(runProgram(program, fromEnvironment).exitCode, 3u);
    EXPECT_EQ(onlyRecord(otherRecord).args.at(1), L"from-environment");
    EXPECT_EQ(readStandinRecords(recordFile).size(), 1u);
}

TEST_F(StandinRecordTest, RunsAppendRecordsAndAnUnfinishedOneIsLeftOut)
{
    EXPECT_TRUE(readStandinRecords(recordFile).empty());
    ASSERT_EQ(run(withArguments(L"first")).exitCode, 0u);
    ASSERT_EQ(run(withArguments(L"second")).exitCode, 0u);
    // A writer that was cut off, as if killed in the middle.
    writeFile(recordFile, readFile(recordFile) + "record.begin\nprocessId=1\narg");

    const auto records = readStandinRecords(recordFile);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].args.at(1), L"first");
    EXPECT_EQ(records[1].args.at(1), L"second");
    EXPECT_NE(records[0].processId, records[1].processId);
    EXPECT_LE(records[0].creationTime, records[1].creationTime);
}

TEST_F(StandinRecordTest, RunsAtTheSameTimeWriteWholeRecords)
{
    writeStandinSettings(program, {{"QEL_STANDIN_RECORD", narrow(recordFile)}});
    std::vector<Started> runs;
    std::set<unsigned long> ids;
    for (int i = 0; i < 8; ++i) {
        runs.push_back(start(DETACHED_PROCESS, {}, false));
        ids.insert(runs.back().id);
    }
    for (const auto& run : runs) {
        ASSERT_EQ(WaitForSingleObject(run.process.get(), 60000), WAIT_OBJECT_0);
    }
    std::set<unsigned long> recorded;
    for (const auto& record : readStandinRecords(recordFile)) {
        recorded.insert(record.processId);
    }
    EXPECT_EQ(recorded, ids);
}

TEST_F(StandinRecordTest, InfiniteSleepKeepsItAliveAfterTheRecord)
{
    writeStandinSettings(program, {{"QEL_STANDIN_RECORD", narrow(recordFile)}, {"QEL_STANDIN_SLEEP_MS", "infinite"}});
    const Started standIn = start(DETACHED_PROCESS, {}, false);
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (readStandinRecords(recordFile).empty() && GetTickCount64() < deadline &&
           WaitForSingleObject(standIn.process.get(), 20) == WAIT_TIMEOUT) {
    }
    ASSERT_EQ(readStandinRecords(recordFile).size(), 1u);
    EXPECT_EQ(readStandinRecords(recordFile).front().processId, standIn.id);
    // Written first, then it stays until it is ended.
    EXPECT_EQ(WaitForSingleObject(standIn.process.get(), 1000), static_cast<DWORD>(WAIT_TIMEOUT));
    TerminateProcess(standIn.process.get(), 7);
    WaitForSingleObject(standIn.process.get(), INFINITE);
}

namespace {

// Ways to start the stand-in: a console of its own with a title, chosen standard
// handles (NUL, a pipe and a file), or both.
struct StartCase {
    const char* label;
    DWORD flags;
    const wchar_t* title;  // the new console's title (with CREATE_NEW_CONSOLE)
    bool ownHandles;
    bool hasConsole;
    std::array<WString, 3> kinds;
};

}  // namespace

TEST_F(StandinRecordTest, ConsoleAndStandardHandleKinds)
{
    const StartCase cases[] = {
        {"new console",
         CREATE_NEW_CONSOLE,
         L"Stand-in \u00e9 \U0001D11E",
         false,
         true,
         {L"console", L"console", L"console"}},
        {"own handles", DETACHED_PROCESS, nullptr, true, false, {L"char", L"pipe", L"file"}},
        {"new console, own handles", CREATE_NEW_CONSOLE, L"With handles", true, true, {L"char", L"pipe", L"file"}},
    };
    writeStandinSettings(program, {{"QEL_STANDIN_RECORD", narrow(recordFile)}});
    for (const auto& c : cases) {
        DeleteFileW(recordFile.c_str());
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        UniqueFile nul(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                   OPEN_EXISTING, 0, nullptr));
        HANDLE pipeRead = nullptr;
        HANDLE pipeWrite = nullptr;
        ASSERT_TRUE(CreatePipe(&pipeRead, &pipeWrite, &inheritable, 0));
        UniqueHandle reader(pipeRead);
        UniqueHandle writer(pipeWrite);
        UniqueFile file(CreateFileW((dir / L"error.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                    CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(nul && file) << c.label;

        STARTUPINFOW startup{};
        startup.lpTitle = const_cast<wchar_t*>(c.title);
        if (c.ownHandles) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = nul.get();
            startup.hStdOutput = writer.get();
            startup.hStdError = file.get();
        }
        const Started standIn = start(c.flags, startup, c.ownHandles);
        ASSERT_EQ(WaitForSingleObject(standIn.process.get(), 60000), WAIT_OBJECT_0) << c.label;

        const StandinRecord record = onlyRecord(recordFile);
        EXPECT_EQ(record.processId, standIn.id) << c.label;
        EXPECT_EQ(record.hasConsole, c.hasConsole) << c.label;
        // The tests run with a display, where a console of its own has a window.
        EXPECT_EQ(record.hasConsoleWindow, c.hasConsole) << c.label;
        EXPECT_EQ(record.consoleTitle, c.title == nullptr ? L"" : c.title) << c.label;
        EXPECT_EQ(record.standardHandles, c.kinds) << c.label;
    }
}

namespace {

// A stand-in told to watch its standard input, the bytes written to it, whether
// the pipe is closed after them, and what follows.
struct InputCase {
    const char* label;
    const char* stopLine;  // QEL_STANDIN_STOP_LINE
    std::string written;
    bool closed;
    std::vector<WString> lines;
    std::optional<WString> end;
    std::optional<unsigned long> exitCode;  // none: it stays alive
};

}  // namespace

TEST_F(StandinRecordTest, StopLineSettingReadsStandardInput)
{
    const InputCase cases[] = {
        {"the stop line ends it with the code",
         "exit:5",
         "hello\r\nravelin-stop\r\nnever read\r\n",
         false,
         {L"hello\r\n", L"ravelin-stop\r\n"},
         std::nullopt,
         5},
        {"a line end without CR, in a name of any case",
         "EXIT:0x10",
         "ravelin-stop\n",
         false,
         {L"ravelin-stop\n"},
         std::nullopt,
         16},
        {"other lines, then the end of input: on as the other settings say",
         "exit:5",
         "ravelin-stopper\r\nRAVELIN-STOP\r\nlast",
         true,
         {L"ravelin-stopper\r\n", L"RAVELIN-STOP\r\n", L"last"},
         L"eof",
         3},
        {"ignored: read to the end, then alive",
         "ignore",
         "ravelin-stop\r\n",
         true,
         {L"ravelin-stop\r\n"},
         L"eof",
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DeleteFileW(recordFile.c_str());
        writeStandinSettings(program, {{"QEL_STANDIN_RECORD", narrow(recordFile)},
                                       {"QEL_STANDIN_STOP_LINE", c.stopLine},
                                       {"QEL_STANDIN_EXIT", "3"}});
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        HANDLE pipeRead = nullptr;
        HANDLE pipeWrite = nullptr;
        ASSERT_TRUE(CreatePipe(&pipeRead, &pipeWrite, &inheritable, 0));
        UniqueHandle reader(pipeRead);
        UniqueHandle writer(pipeWrite);
        SetHandleInformation(writer.get(), HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = reader.get();
        const Started standIn = start(DETACHED_PROCESS, startup, true);
        reader.reset();
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(writer.get(), c.written.data(), static_cast<DWORD>(c.written.size()), &written, nullptr));
        if (c.closed) {
            writer.reset();
        }

        if (c.exitCode) {
            ASSERT_EQ(WaitForSingleObject(standIn.process.get(), 60000), WAIT_OBJECT_0);
            DWORD code = 0;
            GetExitCodeProcess(standIn.process.get(), &code);
            EXPECT_EQ(code, *c.exitCode);
        } else {
            const ULONGLONG deadline = GetTickCount64() + 60000;
            while (!readStandinInput(recordFile).end && GetTickCount64() < deadline &&
                   WaitForSingleObject(standIn.process.get(), 20) == WAIT_TIMEOUT) {
            }
            EXPECT_EQ(WaitForSingleObject(standIn.process.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
            TerminateProcess(standIn.process.get(), 7);
            WaitForSingleObject(standIn.process.get(), INFINITE);
        }
        EXPECT_EQ(onlyRecord(recordFile).processId, standIn.id);
        const StandinInput input = readStandinInput(recordFile);
        EXPECT_EQ(input.lines, c.lines);
        EXPECT_EQ(input.end, c.end);
    }
}
