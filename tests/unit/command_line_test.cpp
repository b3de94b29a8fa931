#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/text.h"
#include "base/files.h"
#include "launch/command_line.h"
#include "support/settings_fixtures.h"
#include "support/failures.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"

using namespace qel;

namespace {

struct SplitCase {
    const wchar_t* text;
    std::vector<WString> arguments;
    bool serviceRequested;
    bool consoleRequested;
    const wchar_t* serviceName;
};

void expectSplit(const SplitCase& c)
{
    const CommandLine line = CommandLine::split(c.text);
    SCOPED_TRACE(test::narrow(c.text));
    EXPECT_EQ(line.arguments, c.arguments);
    EXPECT_EQ(line.serviceRequested, c.serviceRequested);
    EXPECT_EQ(line.consoleRequested, c.consoleRequested);
    EXPECT_EQ(line.serviceName, c.serviceName);
}

}  // namespace

TEST(CommandLineSplit, Examples)
{
    const SplitCase cases[] = {
        {LR"("C:\Program Files\App\run.exe" a  b)",
         {L"C:\\Program Files\\App\\run.exe", L"a", L"b"},
         false,
         false,
         L""},
        {LR"(run.exe "two   words" x)", {L"run.exe", L"two   words", L"x"}, false, false, L""},  // blanks kept
        {LR"(run.exe a"b c")", {L"run.exe", L"a\"b", L"c\""}, false, false, L""},
        {LR"(run.exe "unclosed rest of line)", {L"run.exe", L"unclosed rest of line"}, false, false, L""},
        {L"run.exe -kwqelservice MyService x", {L"run.exe", L"x"}, true, false, L"MyService"},
        {L"run.exe x -kwqelservice", {L"run.exe", L"x"}, false, false, L""},
        {L"run.exe -i console", {L"run.exe", L"-i", L"console"}, false, true, L""},
        {L"run.exe -I console", {L"run.exe", L"-I", L"console"}, false, false, L""},
        {L"run.exe -i Console", {L"run.exe", L"-i", L"Console"}, false, false, L""},
        // A switch counts only as a whole argument of its own.
        {LR"(run.exe "a -kwqelservice b c")", {L"run.exe", L"a -kwqelservice b c"}, false, false, L""},
        {LR"(run.exe "x -kwqelservice y")", {L"run.exe", L"x -kwqelservice y"}, false, false, L""},
        {LR"(run.exe -kwqelservice "My Service")", {L"run.exe"}, true, false, L"My Service"},
        {L"run.exe -i -kwqelservice S", {L"run.exe", L"-i", L"-kwqelservice", L"S"}, false, false, L""},
        {L"run.exe QEL_VM C:\\jdk\\bin\\java.exe",
         {L"run.exe", L"QEL_VM", L"C:\\jdk\\bin\\java.exe"},
         false,
         false,
         L""},
    };
    for (const auto& c : cases) {
        expectSplit(c);
    }
}

TEST(CommandLineSplit, SwitchesAndQuotes)
{
    const SplitCase cases[] = {
        {L"run.exe -kwqelservice A -kwqelservice B", {L"run.exe"}, true, false, L"B"},  // the later name wins
        {L"run.exe -kwqelservice -i console", {L"run.exe", L"console"}, true, false, L"-i"},
        {L"run.exe -KWQELSERVICE A", {L"run.exe", L"-KWQELSERVICE", L"A"}, false, false, L""},
        {L"run.exe -i", {L"run.exe", L"-i"}, false, false, L""},
        {L"run.exe -i -i console", {L"run.exe", L"-i", L"-i", L"console"}, false, false, L""},
        {L"run.exe x -i console", {L"run.exe", L"x", L"-i", L"console"}, false, true, L""},
        {LR"(run.exe "-i console")", {L"run.exe", L"-i console"}, false, false, L""},  // "-i is no switch
        {LR"(run.exe "x -i console y")", {L"run.exe", L"x -i console y"}, false, false, L""},
        {LR"(run.exe "-kwqelservice" S)", {L"run.exe"}, true, false, L"S"},  // a quoted whole switch counts
        {LR"(run.exe "" x)", {L"run.exe", L"", L"x"}, false, false, L""},
        // A quoted argument that opens with a blank, or holds blanks only.
        {LR"(run.exe " a")", {L"run.exe", L" a"}, false, false, L""},
        {LR"(run.exe --separator " " file.csv)", {L"run.exe", L"--separator", L" ", L"file.csv"}, false, false, L""},
        {LR"(run.exe "   " x)", {L"run.exe", L"   ", L"x"}, false, false, L""},
        {LR"(run.exe " x)", {L"run.exe", L" x"}, false, false, L""},  // unmatched: the rest of the line
        // Backslashes are ordinary, also before the closing quote.
        {LR"(run.exe "C:\my dir\\" "a b\\" next "C:\my dir\")",
         {L"run.exe", LR"(C:\my dir\\)", LR"(a b\\)", L"next", LR"(C:\my dir\)"},
         false,
         false,
         L""},
        {LR"(run.exe "a\" b\\")", {L"run.exe", L"a\\", L"b\\\\\""}, false, false, L""},  // no escape character
        {LR"(run.exe "a"b" c)", {L"run.exe", L"a\"b", L"c"}, false, false, L""},
        {L"run.exe a\tb", {L"run.exe", L"a\tb"}, false, false, L""},
        // Blanks before the first argument separate nothing.
        {L"  run.exe   a   ", {L"run.exe", L"a"}, false, false, L""},
        {L" run.exe a", {L"run.exe", L"a"}, false, false, L""},
    };
    for (const auto& c : cases) {
        expectSplit(c);
    }
}

TEST(CommandLineSplitBadInput, AnyTextIsAccepted)
{
    const SplitCase cases[] = {
        {L"", {}, false, false, L""},
        {L"     ", {}, false, false, L""},
        {L"\"", {L""}, false, false, L""},
        {L"\"\"\"\"", {L"\"\""}, false, false, L""},
        {L"\"  ", {L""}, false, false, L""},
        {L"\" \" \"", {L" ", L""}, false, false, L""},
        {L"\"\" \"\" \"", {L"", L"", L""}, false, false, L""},
        {L"run.exe \"a \"b \"c", {L"run.exe", L"a \"b \"c"}, false, false, L""},
        {L"-kwqelservice", {}, false, false, L""},
    };
    for (const auto& c : cases) {
        expectSplit(c);
    }

    // The longest command line Windows passes: 32,767 units.
    WString text = L"run.exe \"";
    std::size_t words = 0;
    while (text.size() + 2 <= 32767) {
        text += L"w ";
        ++words;
    }
    text.resize(32767, L'x');
    const CommandLine open = CommandLine::split(text);
    ASSERT_EQ(open.arguments.size(), 2u);
    EXPECT_EQ(open.arguments[1].size(), text.size() - 9 - (text.back() == L' ' ? 1 : 0));

    const WString single(32767, L'q');
    EXPECT_EQ(CommandLine::split(single).arguments, std::vector<WString>{single});

    WString quotes(32767, L'"');
    EXPECT_EQ(CommandLine::split(quotes).arguments, std::vector<WString>{WString(32765, L'"')});
    EXPECT_GT(words, 16000u);
}

TEST(CommandLine, ValueAfter)
{
    const CommandLine line = CommandLine::split(L"run.exe QEL_VM C:\\jdk\\bin\\java.exe x QEL_VM other qel_vm y");
    EXPECT_EQ(line.valueAfter(L"QEL_VM"), L"C:\\jdk\\bin\\java.exe");
    EXPECT_EQ(line.valueAfter(L"qel_vm"), L"y");
    EXPECT_EQ(line.valueAfter(L"QEL"), L"");
    EXPECT_EQ(line.valueAfter(L"y"), L"");
    EXPECT_EQ(CommandLine::split(L"run.exe QEL_VM").valueAfter(L"QEL_VM"), L"");
    EXPECT_EQ(CommandLine::split(L"").valueAfter(L"QEL_VM"), L"");
}

class CommandLineFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::writeFile(dir / L"notes.txt", "x");
        test::writeFile(dir / L"Program Files\\run.exe", "MZ");
        test::makeDirectories(dir / L"sub");
        ASSERT_TRUE(test::setCurrentDirectory(dir.path()));
    }

    test::TempDir dir;
    test::CurrentDirectoryGuard restore;
};

TEST_F(CommandLineFiles, ExistingFileArgumentsBecomeAbsolute)
{
    CommandLine line =
        CommandLine::split(LR"("Program Files\run.exe" notes.txt missing.txt sub .\notes.txt -i console con nul )"
                           LR"(aux nul.txt COM1 sub\nul "sub\")");
    makeFileArgumentsAbsolute(line, diskFileSystem());
    EXPECT_EQ(line.arguments, (std::vector<WString>{
                                  dir / L"Program Files\\run.exe",
                                  dir / L"notes.txt",
                                  L"missing.txt",
                                  dir / L"sub",
                                  dir / L"notes.txt",
                                  L"-i",
                                  L"console",
                                  // Devices, not files of the current directory: as typed.
                                  L"con",
                                  L"nul",
                                  L"aux",
                                  L"nul.txt",
                                  L"COM1",
                                  L"sub\\nul",
                                  dir / L"sub\\",  // one trailing backslash kept
                              }));
    EXPECT_TRUE(line.consoleRequested);
}

// The executable as the probe of a disk finds it, C:\d being current; the run
// below (ParseFindsTheRunningProgram) asks the real disk.
TEST(CommandLine, LocateExecutable)
{
    const ExistsProbe exists = test::existsOnly({
        L"Program Files\\run.exe",
        L"C:\\d\\Program Files\\run.exe",
        L"C:\\d\\My  Tools\\run.exe",
        L"C:\\one\\other.exe",
        L"C:\\one\\both.exe",
        L"C:\\two\\run.exe",
        L"C:\\two\\RUN.exe",  // the disk ignores case
        L"C:\\two\\tools\\run.exe",
        L"C:\\two\\both.exe",
    });
    const std::vector<WString> searchPath = {L"C:\\one", L"C:\\two\\", L"C:\\one\\missing"};

    const WString module = L"C:\\Apps\\Shop\\Shop.exe";  // the running module, as Windows names it
    struct Row {
        WString commandLine;
        WString expected;
    };
    const Row rows[] = {
        {LR"("Program Files\run.exe" x)", L"Program Files\\run.exe"},  // exists from the current directory
        {L"\"C:\\d/Program Files//run\"", L"C:\\d\\Program Files\\run.exe"},
        {L"run", L"C:\\two\\run.exe"},  // a bare name gets ".exe" and is searched
        {L"RUN.exe", L"C:\\two\\RUN.exe"},
        {L"tools\\run", L"C:\\two\\tools\\run.exe"},  // the whole relative path is appended
        {L"other", L"C:\\one\\other.exe"},
        {L"both", L"C:\\one\\both.exe"},  // the first directory that holds it
        // A first argument that names no file gives way to the running module.
        {L"absent", module},
        {L"absent.exe x", module},
        {L"run.com", module},
        {L"", module},
        {L"   \"C:\\d\\Program Files\\run.exe\"", L"C:\\d\\Program Files\\run.exe"},  // blanks before it
        {L"\"C:\\d\\My  Tools\\run.exe\"", L"C:\\d\\My  Tools\\run.exe"},  // blanks inside kept
    };
    for (const auto& row : rows) {
        const CommandLine line = CommandLine::split(row.commandLine);
        EXPECT_EQ(line.locateExecutable(searchPath, exists, module), row.expected) << test::narrow(row.commandLine);
    }

    // Only without a module path is the executable not found.
    for (const auto* text : {L"absent", L""}) {
        EXPECT_EQ(test::messageThrownBy<TerminalError>(
                      [&] { CommandLine::split(text).locateExecutable(searchPath, exists, L""); }, test::narrow(text)),
                  kUnableToLocateExecutable);
    }
    EXPECT_EQ(CommandLine::split(L"run").locateExecutable(searchPath, exists, L""), L"C:\\two\\run.exe");
}

// The process's own command line: the test program is found as it was started.
TEST(CommandLine, ParseFindsTheRunningProgram)
{
    const CommandLine line = CommandLine::parse();
    ASSERT_FALSE(line.arguments.empty());
    EXPECT_EQ(toLowerAscii(line.locateExecutable(Environment::ofProcess())), toLowerAscii(test::binaryDir() + L"\\unit_tests.exe"));
}
