// The launcher starting its Java VM, the way a user starts it: the real
// executable beside its properties file, stand-in VM programs that record what
// they received, and the record read back.

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/handles.h"
#include "support/console_screen.h"
#include "support/standin_launch.h"
#include "support/typed_arguments.h"

using namespace qel;
using namespace qel::test;

namespace {

using Launch = StandinLaunch;

}  // namespace

TEST_F(Launch, TheVmsExitCodeIsTheLaunchersExitCode)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\java.exe") + "\r\nqel.nl.valid.vm.list=J2\r\n");
    for (const wchar_t* code : {L"3", L"0", L"0xC0000005"}) {
        DeleteFileW(recordFile.c_str());
        const ProgramRun run = start(L"", code);
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(run.exitCode, std::stoul(narrow(code), nullptr, 0)) << narrow(code);
        onlyRecord(run);
    }
}

// The three families' command lines, exactly as the VM received them.
TEST_F(Launch, EachFamilysCommandLine)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5)
        .program(L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5)
        .program(L"java11\\bin\\jrew.exe", standin::kSun1_1_8_0)
        .program(L"windows\\wjview.exe", standin::kMsj5_0_3810_0)
        .program(L"windows\\jview.exe", standin::kMsj5_0_3810_0);
    const WString jar = app + L"\\lib\\a.jar";
    const WString properties = forwardSlashes(app + L"\\Tool.qel");
    struct Case {
        const char* what;
        WString named;
        const char* list;
        WString program;
        WString options;  // up to the class path
        WString classPath;
    };
    const Case cases[] = {
        {"J2", vms / L"jre\\bin\\java.exe", "J2", vms / L"jre\\bin\\javaw.exe",
         L" -Xmx67108864 -verbose:gc -Dx=1 -classpath \"" + jar + L";\"", jar + L";"},
        {"J1", vms / L"java11\\bin\\jrew.exe", "J1", vms / L"java11\\bin\\jrew.exe",
         L" -mx67108864 -verbose -Dx=1 -cp \"" + jar + L";" + vms / L"java11\\lib\\classes.zip;\"",
         jar + L";" + vms / L"java11\\lib\\classes.zip;"},
        {"Microsoft VM", vms / L"windows\\wjview.exe", "MSJ", vms / L"windows\\wjview.exe", L" /cp \"" + jar + L";\"",
         jar + L";"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(recordFile.c_str());
        writeProperties(std::string(kExampleOptions) + "qel.nl.current.vm=" + escaped(c.named) +
                        "\r\nqel.nl.valid.vm.list=" + c.list + "\r\n");
        // The launcher deletes the hand-off file after the VM: the stand-in copies it.
        const WString handoffCopy = dir / L"handoff-copy.txt";
        DeleteFileW(handoffCopy.c_str());
        RunOptions options;
        options.environment = {{L"QEL_STANDIN_HANDOFF_COPY", handoffCopy}};
        const ProgramRun run = start(L"-open \"C:\\My Files\\a.txt\"", L"0", options);
        ASSERT_FALSE(run.timedOut);
        ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
        const StandinRecord record = onlyRecord(run);
        const WString handoff = handoffOf(record, record.args.size() - 3);
        const WString expected = L"\"" + c.program + L"\"" + c.options + L" app.Start \"" + properties + L"\" \"" +
                                 forwardSlashes(handoff) + L"\" -open \"C:\\\\My Files\\\\a.txt\"";
        EXPECT_EQ(record.commandLine, expected) << narrow(record.commandLine);
        EXPECT_EQ(record.modulePath, c.program);
        // The VM writes where the launcher writes: its standard output and error
        // are the launcher's files. (A console program started by a launcher
        // without a console gets a console of its own, so its missing input is
        // that console's.)
        EXPECT_EQ(record.standardHandles[1], L"file");
        EXPECT_EQ(record.standardHandles[2], L"file");
        // The Microsoft VM also finds its class path in the environment.
        if (c.program.find(L"wjview") != WString::npos) {
            EXPECT_EQ(record.classPath, c.classPath);
        } else {
            EXPECT_EQ(record.classPath, std::nullopt);
        }
        // The launcher wrote what it started on standard error.
        EXPECT_NE(run.standardError.find("cmd: " + narrow(expected)), std::string::npos) << run.standardError;
        // The hand-off file begins with the VM that was chosen.
        const std::string handoffText = readFile(handoffCopy);
        EXPECT_EQ(handoffText.rfind("qel.nl.current.vm=" + escaped(c.program) + "\r\n", 0), 0u) << handoffText;
    }
}

TEST_F(Launch, MicrosoftVmBelowTheMinimumBuildStartsNothing)
{
    vms.program(L"windows\\wjview.exe", standin::kMsj5_0_3810_0)
        .program(L"windows\\jview.exe", standin::kMsj5_0_3810_0);
    writeProperties("qel.nl.current.vm=" + escaped(vms / L"windows\\wjview.exe") +
                    "\r\nqel.nl.valid.vm.list=MSJ\r\nqel.nl.win32.microsoftvm.min.version=3811\r\n");
    const ProgramRun run = start();
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, kEnglishNoVm);
    EXPECT_EQ(run.exitCode, 101u);
    EXPECT_TRUE(readStandinRecords(recordFile).empty());
    EXPECT_EQ(run.standardError.find("cmd: "), std::string::npos);
}

TEST_F(Launch, AVmThatCannotStartShowsTheWindowsError)
{
    // A file that is not a program, and a Java 1.x installation whose windowed
    // program is missing: the family names bin\javaw.exe without testing it.
    vms.file(L"broken\\bin\\javaw.exe", "not a program").program(L"old\\bin\\java.exe", standin::kSun1_1_8_0);
    struct Case {
        WString named;
        WString started;
    };
    const Case cases[] = {
        {vms / L"broken\\bin\\javaw.exe", vms / L"broken\\bin\\javaw.exe"},
        {vms / L"old\\bin\\java.exe", vms / L"old\\bin\\javaw.exe"},
    };
    for (const auto& c : cases) {
        writeProperties("qel.nl.current.vm=" + escaped(c.named) + "\r\nqel.nl.valid.vm.list=ALL\r\n");
        const unsigned long error = startError(c.started);
        ASSERT_NE(error, 0u) << narrow(c.started);
        const ProgramRun run = start();
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].caption, kEnglishCaption);
        EXPECT_EQ(run.boxes[0].text, L"Windows error " + std::to_wstring(error) + L" occured while loading the Java VM")
            << narrow(run.boxes[0].text);
        EXPECT_EQ(run.exitCode, 103u);
    }
}

TEST_F(Launch, RelativeSettingsCountFromThePropertiesFileDirectory)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    makeDirectories(app + L"\\work");
    writeFile(app + L"\\Tool.qel", "qel.nl.java.launcher.main.class=app.Start\r\n"
                                   "qel.class.path=lib/a.jar;lib\\\\b.jar;" +
                                       escaped(dir / L"shared\\c.jar") +
                                       "\r\n"
                                       "qel.user.dir=work\r\n"
                                       "qel.nl.current.vm=" +
                                       escaped(vms / L"jre\\bin\\java.exe") + "\r\nqel.nl.valid.vm.list=J2\r\n");
    TempDir elsewhere;
    RunOptions options;
    options.currentDirectory = elsewhere.path();
    const ProgramRun run = start(L"", L"0", options);
    ASSERT_TRUE(run.boxes.empty());
    const StandinRecord record = onlyRecord(run);
    EXPECT_EQ(record.workingDirectory, app + L"\\work");
    const WString classPath =
        L"-classpath \"" + app + L"\\lib\\a.jar;" + app + L"\\lib\\b.jar;" + dir.path() + L"\\shared\\c.jar;\"";
    EXPECT_NE(record.commandLine.find(classPath), WString::npos) << narrow(record.commandLine);
}

// A class path of an unset CLASSPATH and an entry: nothing of the empty
// variable reaches the VM, and the entry counts from the properties file.
TEST_F(Launch, AnUnsetClassPathVariableLeavesNoPieceBehind)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    writeFile(app + L"\\Tool.qel", "qel.nl.java.launcher.main.class=app.Start\r\n"
                                   "qel.class.path=$ENV_CLASSPATH$;lib/a.jar\r\n"
                                   "qel.nl.current.vm=" +
                                       escaped(vms / L"jre\\bin\\java.exe") + "\r\nqel.nl.valid.vm.list=J2\r\n");
    const ProgramRun run = start();
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    const StandinRecord record = onlyRecord(run);
    EXPECT_NE(record.commandLine.find(L" -classpath \"" + app + L"\\lib\\a.jar;\" app.Start "), WString::npos)
        << narrow(record.commandLine);
}

// The application's arguments as the user typed them reach the VM's C runtime
// one for one, each with its backslashes doubled (the Java side halves them):
// blanks inside quotes kept, backslashes before a closing quote, devices, a
// switch inside quotes, a file of the start directory made absolute.
TEST_F(Launch, ApplicationArgumentsArriveAsTyped)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\java.exe") + "\r\nqel.nl.valid.vm.list=J2\r\n");
    const WString startDirectory = dir / L"start";
    writeFile(startDirectory + L"\\" + kTypedArgumentsFile, "x");
    RunOptions options;
    options.currentDirectory = startDirectory;
    const ProgramRun run = start(typedArgumentsLine(), L"0", options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    const StandinRecord record = onlyRecord(run);
    std::vector<WString> expected;
    for (const WString& argument : receivedArguments(startDirectory)) {
        expected.push_back(doubledBackslashes(argument));
    }
    ASSERT_GE(record.args.size(), expected.size());
    EXPECT_EQ(std::vector<WString>(record.args.end() - static_cast<std::ptrdiff_t>(expected.size()), record.args.end()),
              expected)
        << narrow(record.commandLine);
    // Windows' own split of the same command line agrees.
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(record.commandLine.c_str(), &count);
    ASSERT_NE(argv, nullptr);
    const std::vector<WString> split(argv, argv + count);
    LocalFree(argv);
    EXPECT_EQ(split, record.args);
}

TEST_F(Launch, AVmFoundThroughPathIsTheOneStarted)
{
    vms.program(L"old\\bin\\java.exe", standin::kSun1_3_10_0).program(L"new\\bin\\java.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.valid.vm.list=J2\r\n");
    RunOptions options;
    options.environment.emplace_back(L"PATH", vms / L"old\\bin;" + vms / L"new\\bin");
    options.arguments = L"";
    options.environment.emplace_back(L"QEL_STANDIN_RECORD", recordFile);
    const ProgramRun run = runProgram(launcher, options);
    ASSERT_TRUE(run.boxes.empty());
    // Without javaw.exe the windowed run starts java.exe of the highest version.
    EXPECT_EQ(onlyRecord(run).modulePath, vms / L"new\\bin\\java.exe");
}

TEST_F(Launch, ConsoleOnRequest)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5).program(L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\javaw.exe") +
                    "\r\nqel.nl.valid.vm.list=J2\r\nqel.application.name=Shop Floor\r\n");
    const ProgramRun run = start(L"-i console x");
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty());
    const StandinRecord record = onlyRecord(run);
    // The console program of the installation, in the launcher's console.
    EXPECT_EQ(record.modulePath, vms / L"jre\\bin\\java.exe");
    EXPECT_TRUE(record.hasConsole);
    EXPECT_EQ(record.consoleTitle, L"Shop Floor");
    ASSERT_GE(record.args.size(), 3u);
    EXPECT_EQ((std::vector<WString>(record.args.end() - 3, record.args.end())),
              (std::vector<WString>{L"-i", L"console", L"x"}));
}

// A directory below base whose path is exactly units long (names of at most 100
// units), created with its parents.
WString directoryOfLength(const WString& base, std::size_t units)
{
    WString path = base;
    while (path.size() < units) {
        const std::size_t rest = units - path.size() - 1;  // after the backslash
        // The last name needs at least one unit of its own.
        const std::size_t name = rest <= 100 ? rest : (rest - 100 < 2 ? 98 : 100);
        path += L"\\" + WString(name, L'd');
    }
    makeDirectories(path);
    return path;
}

// The working directory goes to the VM whole. A process's current directory is
// held in 260 units with its closing backslash and terminator: 258 units is the
// longest a process can start in, and a longer one is refused with the error
// Windows gives for it rather than cut.
TEST_F(Launch, WorkingDirectoryIsPassedWholeOrRefused)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    struct Case {
        std::size_t units;
        bool relative;
        bool starts;
    };
    const Case cases[] = {
        {258, false, true}, {258, true, true}, {259, false, false}, {300, false, false}, {300, true, false},
    };
    for (const auto& c : cases) {
        const WString directory = directoryOfLength(app + L"\\deep", c.units);
        ASSERT_EQ(directory.size(), c.units);
        const WString setting = c.relative ? directory.substr(app.size() + 1) : directory;
        SCOPED_TRACE(std::to_string(c.units) + (c.relative ? " relative" : " absolute"));
        DeleteFileW(recordFile.c_str());
        writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\java.exe") +
                        "\r\nqel.nl.valid.vm.list=J2\r\nqel.user.dir=" + escaped(setting) + "\r\n");
        const ProgramRun run = start();
        ASSERT_FALSE(run.timedOut);
        // The launcher names the directory it asked for, whole.
        EXPECT_NE(run.standardError.find("cwd: " + narrow(directory) + "\r\n"), std::string::npos) << run.standardError;
        if (c.starts) {
            EXPECT_TRUE(run.boxes.empty()) << narrow(run.boxes.empty() ? L"" : run.boxes[0].text);
            EXPECT_EQ(onlyRecord(run).workingDirectory, directory);
        } else {
            ASSERT_EQ(run.boxes.size(), 1u) << run.standardError;
            EXPECT_EQ(run.boxes[0].caption, kEnglishCaption);
            EXPECT_EQ(run.boxes[0].text, L"Windows error 267 occured while loading the Java VM")
                << narrow(run.boxes[0].text);
            EXPECT_EQ(run.exitCode, 103u);
            EXPECT_TRUE(readStandinRecords(recordFile).empty());
        }
    }
}

// A command line Windows can hand over whole (32766 units and the terminating
// null) reaches the VM whole; a longer one is refused with message 103 for
// error 206 and a line with its length and the limit, and no VM starts (it would
// get the line cut short, without its main class and arguments). The settings
// make it long: the launcher's own command line has the same limit. The hand-off
// file's name (qel<hex>.tmp, one to four digits) changes the length from run to
// run by up to three units, so the lengths asked for keep that distance from the
// limit, and each run's exact length is checked against its own file name.
TEST_F(Launch, ACommandLineLongerThanWindowsTakesIsRefused)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    const std::string vmLines =
        "qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\java.exe") + "\r\nqel.nl.valid.vm.list=J2\r\n";
    // The command line's length with the shortest padding option.
    writeProperties(vmLines + "qel.nl.java.option.additional=-Dp=\r\n");
    const ProgramRun base = start(L"end");
    ASSERT_TRUE(base.boxes.empty()) << narrow(base.boxes[0].text).substr(0, 300);
    const StandinRecord unpaddedRecord = onlyRecord(base);
    const std::size_t unpadded = unpaddedRecord.commandLine.size();
    const std::size_t unpaddedHandoff = handoffOf(unpaddedRecord, unpaddedRecord.args.size() - 2).size();
    constexpr std::size_t kNameSpread = 3;
    for (const std::size_t length : {32766 - kNameSpread, 32767 + kNameSpread, std::size_t{40000}}) {
        SCOPED_TRACE(std::to_string(length) + " units");
        DeleteFileW(recordFile.c_str());
        writeProperties(vmLines + "qel.nl.java.option.additional=-Dp=" + std::string(length - unpadded, 'a') + "\r\n");
        const ProgramRun run = start(L"end");
        ASSERT_FALSE(run.timedOut);
        if (length <= 32766) {
            ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text).substr(0, 300);
            const StandinRecord record = onlyRecord(run);
            EXPECT_EQ(record.commandLine.size(),
                      length - unpaddedHandoff + handoffOf(record, record.args.size() - 2).size());
            EXPECT_EQ(record.args.back(), L"end");
            continue;
        }
        ASSERT_EQ(run.boxes.size(), 1u);
        // The length the launcher counted, which this run's file name moved.
        const WString& text = run.boxes[0].text;
        const auto counted = text.find(L" has ");
        ASSERT_NE(counted, WString::npos) << narrow(text).substr(0, 300);
        const std::size_t actual = std::stoul(text.substr(counted + 5));
        EXPECT_GE(actual + kNameSpread, length);
        EXPECT_LE(actual, length + kNameSpread);
        EXPECT_GT(actual, 32766u);
        EXPECT_EQ(text, L"Windows error 206 occured while loading the Java VM\n\nThe command line of the "
                        L"Java VM has " +
                            std::to_wstring(actual) +
                            L" characters; Windows starts a program with at most 32766 (32767 with the "
                            L"terminating null).")
            << narrow(text).substr(0, 300);
        EXPECT_EQ(run.exitCode, 103u);
        EXPECT_TRUE(readStandinRecords(recordFile).empty());
    }
}

// A launcher's setting holding U+0000 would end the command line there: it is
// refused with message 104 naming the key, and no VM starts.
TEST_F(Launch, ASettingHoldingNulIsRefused)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    for (const char* line : {"qel.nl.java.option.additional=-Da=\\u0000b", "qel.nl.java.option.additional=-Da=\\u"}) {
        SCOPED_TRACE(line);
        DeleteFileW(recordFile.c_str());
        writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\java.exe") +
                        "\r\nqel.nl.valid.vm.list=J2\r\n" + line + "\r\n");
        const ProgramRun run = start(L"-open x");
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].text, WString(kEnglishInvalid) +
                                         L"\n\nqel.nl.java.option.additional holds the character U+0000 (\\u0000, or "
                                         L"\\u without digits), which the Java VM cannot be given.")
            << narrow(run.boxes[0].text);
        EXPECT_EQ(run.exitCode, 104u);
        EXPECT_TRUE(readStandinRecords(recordFile).empty());
    }
}

// The Microsoft VM with a class path longer than Windows takes: refused with
// message 103, never started without it or with its command line cut. (Wine
// sets a CLASSPATH of any length, so here the command line's length refuses it;
// where Windows cannot set the variable, that refuses it first, with its error.)
TEST_F(Launch, AMicrosoftVmClassPathThatCannotBeSetIsRefused)
{
    vms.program(L"windows\\wjview.exe", standin::kMsj5_0_3810_0)
        .program(L"windows\\jview.exe", standin::kMsj5_0_3810_0);
    writeFile(app + L"\\Tool.qel", "qel.nl.java.launcher.main.class=app.Start\r\n"
                                   "qel.class.path=" +
                                       std::string(40000, 'c') +
                                       ".jar\r\n"
                                       "qel.nl.current.vm=" +
                                       escaped(vms / L"windows\\wjview.exe") + "\r\nqel.nl.valid.vm.list=MSJ\r\n");
    const ProgramRun run = start();
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text.rfind(L"Windows error ", 0), 0u) << narrow(run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 103u);
    EXPECT_TRUE(readStandinRecords(recordFile).empty());
}

// The cwd: and cmd: lines reach a file whole, in UTF-8 with CR LF, whatever
// characters they hold: the C runtime's output stopped at the first one outside
// the code page and lost the rest of the line.
TEST_F(Launch, DiagnosticsReachAFileWhole)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\java.exe") + "\r\nqel.nl.valid.vm.list=J2\r\n");
    const ProgramRun run = start(L"caf\u00e9 \u65e5\u672c \U0001F600 end");
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    const StandinRecord record = onlyRecord(run);
    EXPECT_EQ(run.standardError, "cwd: " + narrow(app) + "\\\r\ncmd: " + narrow(record.commandLine) + "\r\n");
    EXPECT_NE(record.commandLine.find(L"caf\u00e9 \u65e5\u672c \U0001F600 end"), WString::npos);
}

// Started without standard handles (from Explorer), with a console of its own:
// the cwd: and cmd: lines appear in it whole, and after the VM the pause prompt,
// which Enter answers.
TEST_F(Launch, AConsoleOpenedWithoutStandardHandlesWorks)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5).program(L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\javaw.exe") +
                    "\r\nqel.nl.valid.vm.list=J2\r\nqel.win32.console.pause=true\r\n");
    RunOptions options;
    options.noStandardHandles = true;
    options.timeoutMs = 30000;
    options.arguments = L"-i console caf\u00e9 \u65e5\u672c";
    // The stand-in stays a moment, for its parent to be found.
    options.environment = {{L"QEL_STANDIN_SLEEP_MS", L"1500"}};
    options = withStandinEnvironment(L"5", options);
    ProgramRun run;
    std::thread runner([&] { run = runProgram(launcher, options); });
    // The launcher is the stand-in's parent; its console outlives the stand-in.
    std::vector<StandinRecord> records;
    const ULONGLONG deadline = GetTickCount64() + 20000;
    unsigned long launcherId = 0;
    while (launcherId == 0 && GetTickCount64() < deadline) {
        records = readStandinRecords(recordFile);
        if (!records.empty()) {
            launcherId = parentProcessId(records.front().processId);
        }
        Sleep(20);
    }
    std::optional<WString> screen;
    bool answered = false;
    if (launcherId != 0) {
        const AttachedConsole console(launcherId);
        while (console.attached() && GetTickCount64() < deadline) {
            screen = console.screen();
            if (screen && screen->find(L"[press enter to close this window]") != WString::npos) {
                answered = console.typeEnter();
                break;
            }
            Sleep(50);
        }
    }
    runner.join();
    ASSERT_EQ(records.size(), 1u);
    ASSERT_NE(launcherId, 0u);
    ASSERT_TRUE(screen.has_value());
    const StandinRecord& record = records.front();
    EXPECT_EQ(record.modulePath, vms / L"jre\\bin\\java.exe");
    EXPECT_TRUE(record.hasConsole);
    // The lines in this order, whole; the screen's rows break them anywhere.
    const auto unbroken = [](WString text) {
        text.erase(std::remove_if(text.begin(), text.end(), [](wchar_t unit) { return unit == L' ' || unit == L'\n'; }),
                   text.end());
        return text;
    };
    EXPECT_NE(unbroken(*screen).find(
                  unbroken(L"cwd: " + app + L"\\cmd: " + record.commandLine + L"[press enter to close this window]")),
              WString::npos)
        << narrow(*screen);
    EXPECT_NE(record.commandLine.find(L" -i console caf\u00e9 \u65e5\u672c"), WString::npos);
    EXPECT_TRUE(answered);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 5u);
}
