// The hand-off file as the launcher leaves it for the Java side: where it is
// created, its lines byte for byte, its end with the VM's (kept with a trace),
// one file per launcher, and the error when the temporary directory cannot take
// it.

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "base/handles.h"
#include "base/processes.h"
#include "support/standin_launch.h"
#include "support/top_windows.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr const char* kCannotCreate =
    "The hand-off file for the Java program cannot be created in the temporary directory";

// Variables the tests set, in the order of their names' units, with the lines
// each must give. A name in every letter case, one with non-ASCII letters and a
// character beyond 16 bits, one with a blank, ":" and "#"; values with
// backslashes, separators, leading and trailing blanks, line breaks that would
// forge lines of their own, control characters and references to expand.
struct Variable {
    WString name;
    WString value;
    std::string lines;  // the three lines, each with CR LF
};

const Variable kVariables[] = {
    {L"QEL_T_F :#", L" \ta\x01",
     "qel.nl.env.qel_t_f\\ \\:\\#=\\ \\ta\\u0001\r\n"
     "qel.nl.env.QEL_T_F\\ \\:\\#=\\ \\ta\\u0001\r\n"
     "qel.nl.env.exact_case.QEL_T_F\\ \\:\\#=\\ \\ta\\u0001\r\n"},
    {L"QEL_T_FORGE", L"a\nqel.nl.current.vm=C:\\evil.exe\rqel.control-key=true\r\n",
     "qel.nl.env.qel_t_forge=a\\nqel.nl.current.vm=C:\\\\evil.exe\\rqel.control-key=true\\r\\n\r\n"
     "qel.nl.env.QEL_T_FORGE=a\\nqel.nl.current.vm=C:\\\\evil.exe\\rqel.control-key=true\\r\\n\r\n"
     "qel.nl.env.exact_case.QEL_T_FORGE=a\\nqel.nl.current.vm=C:\\\\evil.exe\\rqel.control-key=true\\r\\n\r\n"},
    {L"QEL_T_REF", L"%Qel_T_Mixed%|%QEL_T_UNDEFINED%",
     "qel.nl.env.qel_t_ref=a=b:c#d!e  |%QEL_T_UNDEFINED%\r\n"
     "qel.nl.env.QEL_T_REF=a=b:c#d!e  |%QEL_T_UNDEFINED%\r\n"
     "qel.nl.env.exact_case.QEL_T_REF=a=b:c#d!e  |%QEL_T_UNDEFINED%\r\n"},
    {L"QEL_T_UPPER", L"C:\\Program Files\\x;D:\\u1",
     "qel.nl.env.qel_t_upper=C:\\\\Program Files\\\\x;D:\\\\u1\r\n"
     "qel.nl.env.QEL_T_UPPER=C:\\\\Program Files\\\\x;D:\\\\u1\r\n"
     "qel.nl.env.exact_case.QEL_T_UPPER=C:\\\\Program Files\\\\x;D:\\\\u1\r\n"},
    {L"QEL_T_\u00c9\u00e9\U0001F600", L"caf\u00e9 \U0001F600",
     "qel.nl.env.qel_t_\\u00c9\\u00e9\\ud83d\\ude00=caf\\u00e9 \\ud83d\\ude00\r\n"
     "qel.nl.env.QEL_T_\\u00c9\\u00e9\\ud83d\\ude00=caf\\u00e9 \\ud83d\\ude00\r\n"
     "qel.nl.env.exact_case.QEL_T_\\u00c9\\u00e9\\ud83d\\ude00=caf\\u00e9 \\ud83d\\ude00\r\n"},
    {L"Qel_T_Mixed", L"a=b:c#d!e  ",
     "qel.nl.env.qel_t_mixed=a=b:c#d!e  \r\n"
     "qel.nl.env.QEL_T_MIXED=a=b:c#d!e  \r\n"
     "qel.nl.env.exact_case.Qel_T_Mixed=a=b:c#d!e  \r\n"},
    {L"qel_t_lower", L"plain value",
     "qel.nl.env.qel_t_lower=plain value\r\n"
     "qel.nl.env.QEL_T_LOWER=plain value\r\n"
     "qel.nl.env.exact_case.qel_t_lower=plain value\r\n"},
};

std::string asciiCase(std::string text, bool upper)
{
    for (auto& unit : text) {
        if (upper && unit >= 'a' && unit <= 'z') {
            unit = static_cast<char>(unit - 'a' + 'A');
        } else if (!upper && unit >= 'A' && unit <= 'Z') {
            unit = static_cast<char>(unit - 'A' + 'a');
        }
    }
    return text;
}

// The units an escaped text stands for: "\uXXXX" is one unit, "\t", "\n", "\r"
// and "\f" the control units, a backslash before any other unit that unit.
WString unescaped(const std::string& text)
{
    WString units;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'u' && i + 5 < text.size()) {
            units.push_back(static_cast<wchar_t>(std::stoul(text.substr(i + 2, 4), nullptr, 16)));
            i += 5;
        } else if (text[i] == '\\' && i + 1 < text.size()) {
            const char escaped = text[++i];
            units.push_back(escaped == 't'   ? L'\t'
                            : escaped == 'n' ? L'\n'
                            : escaped == 'r' ? L'\r'
                            : escaped == 'f' ? L'\f'
                                             : static_cast<wchar_t>(static_cast<unsigned char>(escaped)));
        } else {
            units.push_back(static_cast<unsigned char>(text[i]));
        }
    }
    return units;
}

// The file's lines without their CR LF; none, with a failure, at the first other
// line end or byte beyond ASCII.
std::vector<std::string> crlfLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            lines.push_back(bytes.substr(begin, i - begin));
            begin = ++i + 1;
        } else if (byte >= 0x80 || byte == '\r' || byte == '\n') {
            ADD_FAILURE() << "byte " << unsigned(byte) << " at " << i << " is not ASCII text in CR LF lines";
            return {};
        }
    }
    if (begin != bytes.size()) {
        ADD_FAILURE() << "the last line has no CR LF";
        return {};
    }
    return lines;
}

WString asciiCase(WString text, bool upper)
{
    for (auto& unit : text) {
        if (upper && unit >= L'a' && unit <= L'z') {
            unit = static_cast<wchar_t>(unit - L'a' + L'A');
        } else if (!upper && unit >= L'A' && unit <= L'Z') {
            unit = static_cast<wchar_t>(unit - L'A' + L'a');
        }
    }
    return text;
}

// The key of a line: up to its first "=" without a backslash before it.
std::size_t separatorOf(const std::string& line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
        } else if (line[i] == '=') {
            return i;
        }
    }
    return std::string::npos;
}

// Every variable gives three consistent lines, in the units' order of the names;
// only the letters A to Z change case.
void expectEnvironmentGroups(const std::vector<std::string>& lines, std::size_t first)
{
    ASSERT_EQ((lines.size() - first) % 3, 0u);
    const std::string lower = "qel.nl.env.";
    const std::string exact = "qel.nl.env.exact_case.";
    WString previous;
    for (std::size_t i = first; i < lines.size(); i += 3) {
        const std::string& exactLine = lines[i + 2];
        ASSERT_EQ(exactLine.rfind(exact, 0), 0u) << exactLine;
        const std::size_t equals = separatorOf(exactLine);
        ASSERT_NE(equals, std::string::npos) << exactLine;
        const std::string name = exactLine.substr(exact.size(), equals - exact.size());
        const std::string value = exactLine.substr(equals + 1);
        for (const bool upper : {false, true}) {
            const std::string& line = lines[i + (upper ? 1 : 0)];
            const std::size_t separator = separatorOf(line);
            ASSERT_EQ(line.rfind(lower, 0), 0u) << line;
            EXPECT_EQ(unescaped(line.substr(lower.size(), separator - lower.size())), asciiCase(unescaped(name), upper))
                << line;
            EXPECT_EQ(line.substr(separator + 1), value) << line;
        }
        const WString units = unescaped(name);
        EXPECT_TRUE(i == first || previous < units) << name;
        previous = units;
    }
}

// The lines of the variables whose names begin with "qel_t_" in any case.
std::string testVariableLines(const std::vector<std::string>& lines)
{
    std::string selected;
    for (const std::string& line : lines) {
        if (asciiCase(line, false).rfind("qel.nl.env.qel_t_", 0) == 0 ||
            asciiCase(line, false).rfind("qel.nl.env.exact_case.qel_t_", 0) == 0) {
            selected += line + "\r\n";
        }
    }
    return selected;
}

// The hand-off files (qel*.tmp) in a directory.
std::vector<WString> handoffFilesIn(const WString& directory)
{
    std::vector<WString> names;
    WIN32_FIND_DATAW entry;
    const UniqueFind find(FindFirstFileW((directory + L"\\qel*.tmp").c_str(), &entry));
    if (find) {
        do {
            names.emplace_back(entry.cFileName);
        } while (FindNextFileW(find.get(), &entry));
    }
    return names;
}

// "qel", lower-case hexadecimal digits, ".tmp".
bool isHandoffName(const WString& name)
{
    if (name.size() <= 7 || name.rfind(L"qel", 0) != 0 || name.substr(name.size() - 4) != L".tmp") {
        return false;
    }
    for (const wchar_t unit : name.substr(3, name.size() - 7)) {
        if (!((unit >= L'0' && unit <= L'9') || (unit >= L'a' && unit <= L'f'))) {
            return false;
        }
    }
    return true;
}

class Handoff : public StandinLaunch {
protected:
    Handoff()
    {
        vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
        writeProperties("qel.nl.current.vm=" + escaped(program) + "\r\nqel.nl.valid.vm.list=J2\r\n");
    }

    // The launcher's temporary directory is the one given; the test variables are
    // set on top of the run's own.
    RunOptions withTemporaryDirectory(const WString& directory)
    {
        RunOptions options;
        options.environment = {{L"TMP", directory}, {L"TEMP", directory}};
        for (const auto& variable : kVariables) {
            options.environment.emplace_back(variable.name, variable.value);
        }
        return options;
    }

    WString program = vms / L"jre\\bin\\java.exe";
    TempDir temp;
};

}  // namespace

TEST_F(Handoff, LinesOfTheChosenVmAndEveryVariable)
{
    // The stand-in copies the file while it runs: the launcher deletes it once
    // the VM has ended.
    const WString copy = dir / L"handoff-copy.txt";
    RunOptions options = withTemporaryDirectory(temp.path());
    options.environment.emplace_back(L"QEL_STANDIN_HANDOFF_COPY", copy);
    const ProgramRun run = start(L"", L"0", options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    const StandinRecord record = onlyRecord(run);
    ASSERT_FALSE(record.args.empty());

    // The last launcher argument named a new file in the temporary directory,
    // and the launcher deleted it after the VM.
    const WString handoff = record.args.back();
    EXPECT_EQ(handoff.rfind(forwardSlashes(temp.path()) + L"/", 0), 0u) << narrow(handoff);
    EXPECT_TRUE(isHandoffName(handoff.substr(handoff.rfind(L'/') + 1))) << narrow(handoff);
    EXPECT_TRUE(handoffFilesIn(temp.path()).empty());

    std::vector<std::string> lines = crlfLines(readFile(copy));
    ASSERT_GE(lines.size(), 2u + 3 * std::size(kVariables));
    EXPECT_EQ(lines[0], "qel.nl.current.vm=" + escaped(program));
    // The windowed launcher ran without a console.
    EXPECT_EQ(lines.back(), "qel.console=false");
    lines.pop_back();
    expectEnvironmentGroups(lines, 1);
    std::string expected;
    for (const auto& variable : kVariables) {
        expected += variable.lines;
    }
    EXPECT_EQ(testVariableLines(lines), expected);
}

// The launcher deletes its hand-off file once the VM has ended, whatever its
// exit code and in both frontends; with a trace it keeps it and says where.
TEST_F(Handoff, DeletedAfterTheVmUnlessTraced)
{
    const WString twin = installLauncher(app, L"ToolC.exe", kConsoleTwin);
    writeFile(app + L"\\ToolC.qel", readFile(app + L"\\Tool.qel"));
    const WString trace = dir / L"trace.txt";
    struct Case {
        const char* what;
        WString program;
        const wchar_t* exitCode;
        bool traced;
    };
    const Case cases[] = {
        {"windowed", launcher, L"0", false},
        {"windowed, the VM failed", launcher, L"3", false},
        {"console twin", twin, L"0", false},
        {"windowed with a trace", launcher, L"0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(recordFile.c_str());
        RunOptions options = withStandinEnvironment(c.exitCode, withTemporaryDirectory(temp.path()));
        if (c.traced) {
            options.environment.emplace_back(L"QEL_TRACE", trace);
        }
        const ProgramRun run = runProgram(c.program, options);
        ASSERT_FALSE(run.timedOut);
        ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
        EXPECT_EQ(run.exitCode, std::stoul(narrow(c.exitCode)));
        const WString handoff = onlyRecord(run).args.back();
        const auto names = handoffFilesIn(temp.path());
        if (!c.traced) {
            EXPECT_TRUE(names.empty()) << narrow(names.empty() ? L"" : names[0]);
            continue;
        }
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(forwardSlashes(temp / names[0]), handoff);
        EXPECT_EQ(readFile(temp / names[0]).rfind("qel.nl.current.vm=" + escaped(program) + "\r\n", 0), 0u);
        EXPECT_NE(
            readFile(trace).find("hand-off file kept: " + narrow(temp / names[0]) + " (it holds the whole environment"),
            std::string::npos)
            << readFile(trace);
        DeleteFileW((temp / names[0]).c_str());
    }
}

// The Java side learns whether its VM has a console: without one, nobody sees
// standard error.
TEST_F(Handoff, SaysWhetherTheVmHasAConsole)
{
    const WString twin = installLauncher(app, L"ToolC.exe", kConsoleTwin);
    writeFile(app + L"\\ToolC.qel", readFile(app + L"\\Tool.qel"));
    const WString copy = dir / L"handoff-copy.txt";
    struct Case {
        const char* what;
        WString program;
        const wchar_t* arguments;
        const char* line;
    };
    const Case cases[] = {
        {"windowed", launcher, L"", "\r\nqel.console=false\r\n"},
        {"windowed with a console window", launcher, L"-i console", "\r\nqel.console=true\r\n"},
        {"console twin", twin, L"", "\r\nqel.console=true\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(recordFile.c_str());
        RunOptions options = withStandinEnvironment(L"0", withTemporaryDirectory(temp.path()));
        options.environment.emplace_back(L"QEL_STANDIN_HANDOFF_COPY", copy);
        options.arguments = c.arguments;
        const ProgramRun run = runProgram(c.program, options);
        ASSERT_FALSE(run.timedOut);
        ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
        const std::string handoff = readFile(copy);
        const std::size_t line = handoff.find(c.line);
        EXPECT_NE(line, std::string::npos) << handoff;
        // After the environment, and the file's last line outside a service.
        EXPECT_EQ(line + std::string(c.line).size(), handoff.size()) << handoff;
        EXPECT_EQ(handoff.find("qel.service="), std::string::npos) << handoff;
    }
}

TEST_F(Handoff, LaunchersRunningTogetherWriteTwoFiles)
{
    // Each stand-in stays until it is ended, so both launchers are still waiting
    // for their VM when both records are there.
    const std::array<WString, 2> records = {dir / L"record-a.txt", dir / L"record-b.txt"};
    std::array<ProgramRun, 2> runs;
    std::vector<std::thread> launchers;
    for (std::size_t i = 0; i < records.size(); ++i) {
        launchers.emplace_back([&, i] {
            RunOptions options;
            options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"},
                                   {L"QEL_STANDIN_RECORD", records[i]},
                                   {L"QEL_STANDIN_SLEEP_MS", L"infinite"}};
            runs[i] = runProgram(launcher, options);
        });
    }
    std::array<StandinRecord, 2> started;
    std::array<bool, 2> seen = {false, false};
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (!(seen[0] && seen[1]) && GetTickCount64() < deadline) {
        for (std::size_t i = 0; i < records.size(); ++i) {
            const auto read = readStandinRecords(records[i]);
            if (!seen[i] && !read.empty()) {
                started[i] = read.front();
                seen[i] = true;
            }
        }
        Sleep(50);
    }
    std::array<WString, 2> handoffs;
    std::array<std::string, 2> contents;
    std::array<bool, 2> present = {false, false};
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (seen[i] && !started[i].args.empty()) {
            handoffs[i] = started[i].args.back();
            present[i] = GetFileAttributesW(handoffs[i].c_str()) != INVALID_FILE_ATTRIBUTES;
            contents[i] = present[i] ? readFile(handoffs[i]) : std::string();
        }
        // Ending the stand-in ends its launcher too.
        if (seen[i]) {
            const UniqueHandle standIn(OpenProcess(PROCESS_TERMINATE, FALSE, started[i].processId));
            TerminateProcess(standIn.get(), 7);
        }
    }
    for (auto& thread : launchers) {
        thread.join();
    }
    ASSERT_TRUE(seen[0] && seen[1]) << "a stand-in did not start";
    EXPECT_NE(handoffs[0], handoffs[1]);
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_TRUE(present[i]) << narrow(handoffs[i]);
        EXPECT_EQ(runs[i].exitCode, 7u);
        EXPECT_EQ(contents[i].rfind("qel.nl.current.vm=" + escaped(program) + "\r\n", 0), 0u);
        // Gone with its VM.
        EXPECT_EQ(GetFileAttributesW(handoffs[i].c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

// A log-off or shutdown while the VM runs: the system sends the launcher's
// windows WM_QUERYENDSESSION and WM_ENDSESSION and then ends it without its
// destructors. The launcher deletes the hand-off file on WM_ENDSESSION. (The
// messages are sent here as the system sends them, to this launcher only: Wine's
// own end of session would end every test's programs.)
TEST_F(Handoff, DeletedWhenTheSessionEnds)
{
    const WString twin = installLauncher(app, L"ToolC.exe", kConsoleTwin);
    writeFile(app + L"\\ToolC.qel", readFile(app + L"\\Tool.qel"));
    for (const WString& program : {launcher, twin}) {
        SCOPED_TRACE(narrow(program));
        DeleteFileW(recordFile.c_str());
        ProgramRun run;
        std::thread started([&] {
            RunOptions options = withTemporaryDirectory(temp.path());
            options.environment.emplace_back(L"QEL_STANDIN_SLEEP_MS", L"infinite");
            run = runProgram(program, withStandinEnvironment(L"0", options));
        });
        std::vector<StandinRecord> records;
        HWND window = nullptr;
        for (const ULONGLONG deadline = GetTickCount64() + 30000; window == nullptr && GetTickCount64() < deadline;
             Sleep(20)) {
            records = readStandinRecords(recordFile);
            for (const ProcessEntry& process : records.empty() ? std::vector<ProcessEntry>() : runningProcesses()) {
                if (process.processId == records.front().processId) {
                    window = anyTopWindow(process.parentId, L"RavelinSessionEnd");
                }
            }
        }
        if (window != nullptr) {
            const WString handoff = records.front().args.back();
            EXPECT_NE(GetFileAttributesW(handoff.c_str()), INVALID_FILE_ATTRIBUTES) << narrow(handoff);
            EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
            SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            // Gone at once, while the VM still runs.
            EXPECT_EQ(GetFileAttributesW(handoff.c_str()), INVALID_FILE_ATTRIBUTES) << narrow(handoff);
            EXPECT_TRUE(handoffFilesIn(temp.path()).empty());
        } else {
            ADD_FAILURE() << "no stand-in, or its launcher has no window for the session's end";
        }
        // Ending the stand-in ends its launcher too.
        if (!records.empty()) {
            const UniqueHandle standIn(OpenProcess(PROCESS_TERMINATE, FALSE, records.front().processId));
            TerminateProcess(standIn.get(), 7);
        }
        started.join();
        if (!records.empty()) {
            EXPECT_EQ(run.exitCode, 7u);
        }
    }
}

TEST_F(Handoff, UnusableTemporaryDirectoryStartsNothing)
{
    writeFile(temp / L"file.txt", "not a directory");
    for (const WString& directory : {temp / L"missing", temp / L"file.txt"}) {
        SCOPED_TRACE(narrow(directory));
        DeleteFileW(recordFile.c_str());
        const ProgramRun run = start(L"", L"0", withTemporaryDirectory(directory));
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(run.boxes.size(), 1u) << run.standardError;
        EXPECT_EQ(run.boxes[0].caption, kEnglishCaption);
        const std::string text = narrow(run.boxes[0].text);
        EXPECT_EQ(text.rfind(kCannotCreate, 0), 0u) << text;
        EXPECT_NE(text.find("\"" + narrow(directory)), std::string::npos) << text;
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_TRUE(readStandinRecords(recordFile).empty());
        // Nothing was made in its place or beside it.
        EXPECT_TRUE(handoffFilesIn(temp.path()).empty());
        EXPECT_EQ(GetFileAttributesW((temp / L"missing").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(readFile(temp / L"file.txt"), "not a directory");
    }
}

// A temporary directory longer than the launcher takes (246 units, so that the
// file's name still fits a path), or longer than the system takes at all: the box
// names the directory and gives that reason (the system's text for error 206),
// not the text of an earlier, unrelated error.
TEST_F(Handoff, TemporaryDirectoryTooLongSaysSo)
{
    wchar_t reason[256] = {};
    ASSERT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_FILENAME_EXCED_RANGE, 0, reason, 256, nullptr),
              0u);
    for (const std::size_t units : {250u, 300u}) {
        SCOPED_TRACE(std::to_string(units) + " units");
        WString directory = temp.path();
        while (directory.size() < units) {
            directory += L"\\" + WString(std::min<std::size_t>(40, units - directory.size() - 1), L't');
        }
        ASSERT_EQ(directory.size(), units);
        makeDirectories(directory);
        const ProgramRun run = start(L"", L"0", withTemporaryDirectory(directory));
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(run.boxes.size(), 1u) << run.standardError;
        const WString& text = run.boxes[0].text;
        EXPECT_EQ(narrow(text).rfind(kCannotCreate, 0), 0u) << narrow(text);
        EXPECT_NE(text.find(L"\"" + directory), WString::npos) << narrow(text);
        EXPECT_NE(text.find(WString(reason).substr(0, WString(reason).find_last_not_of(L"\r\n") + 1)), WString::npos)
            << narrow(text);
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_TRUE(readStandinRecords(recordFile).empty());
    }
}
