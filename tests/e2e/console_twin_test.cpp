// The console twin (ravelinc.exe) run the way a shell runs it: in a console of
// its own, with its standard handles redirected, beside stand-in VM programs
// that record what they received. It never shows a box.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/standin_launch.h"

using namespace qel;
using namespace qel::test;

namespace {

class ConsoleTwin : public StandinLaunch {
protected:
    ConsoleTwin() { launcher = installLauncher(app, L"Tool.exe", kConsoleTwin); }

    // In a console of its own, as a shell window starts it.
    static RunOptions inConsole(RunOptions options = {})
    {
        options.newConsole = true;
        return options;
    }

    static bool endsWith(const std::string& text, const std::string& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    // Every family's programs, each the windowed and the console one.
    void installEveryFamily()
    {
        vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5)
            .program(L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5)
            .program(L"java11\\bin\\jre.exe", standin::kSun1_1_8_0)
            .program(L"java11\\bin\\jrew.exe", standin::kSun1_1_8_0)
            .program(L"windows\\jview.exe", standin::kMsj5_0_3810_0)
            .program(L"windows\\wjview.exe", standin::kMsj5_0_3810_0);
    }
};

}  // namespace

// The VM's console program starts in the launcher's console, with the
// launcher's standard handles: what it prints arrives through the pipe the
// launcher's caller reads. The launcher leaves the console's title alone, ends
// with the VM's exit code and does not pause, though the settings ask for it
// and nothing can be read from standard input.
TEST_F(ConsoleTwin, TheConsoleProgramWritesThroughTheLaunchersPipe)
{
    installEveryFamily();
    struct Case {
        const char* list;
        WString named;
        WString started;
        // The launcher's "company:" line (a VM named by its program is known by
        // its version record; the Microsoft VM by its name alone), then the
        // VM's own output.
        std::string output;
    };
    const Case cases[] = {
        {"J2", vms / L"jre\\bin\\javaw.exe", vms / L"jre\\bin\\java.exe",
         "company: Example Java Works\r\nprinted by the VM\n"},
        {"J1", vms / L"java11\\bin\\jrew.exe", vms / L"java11\\bin\\jre.exe",
         "company: Example Java Works\r\nprinted by the VM\n"},
        {"MSJ", vms / L"windows\\wjview.exe", vms / L"windows\\jview.exe", "printed by the VM\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        DeleteFileW(recordFile.c_str());
        writeProperties("qel.nl.current.vm=" + escaped(c.named) + "\r\nqel.nl.valid.vm.list=" + c.list +
                        "\r\nqel.application.name=Shop Floor\r\nqel.win32.console.pause=true\r\n");
        RunOptions options = inConsole();
        options.outputThroughPipe = true;
        options.silentStandardInput = true;
        options.timeoutMs = 20000;
        options.environment.emplace_back(L"QEL_STANDIN_PRINT", L"printed by the VM");
        const ProgramRun run = start(L"-i console x", L"3", options);
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(run.exitCode, 3u);
        EXPECT_EQ(run.standardOutput, c.output);
        const StandinRecord record = onlyRecord(run);
        EXPECT_EQ(record.modulePath, c.started);
        EXPECT_TRUE(record.hasConsole);
        EXPECT_NE(record.consoleTitle, L"Shop Floor");
        EXPECT_EQ(record.standardHandles[0], L"pipe");
        EXPECT_EQ(record.standardHandles[1], L"pipe");
        EXPECT_EQ(record.standardHandles[2], L"file");
        // The arguments reach the VM as in the windowed launcher.
        ASSERT_GE(record.args.size(), 3u);
        EXPECT_EQ((std::vector<WString>(record.args.end() - 3, record.args.end())),
                  (std::vector<WString>{L"-i", L"console", L"x"}));
        // The launcher's diagnostics go to its standard error, as in the
        // windowed launcher.
        EXPECT_NE(run.standardError.find("cmd: \"" + narrow(c.started) + "\""), std::string::npos) << run.standardError;
    }
}

// The shell waits for the console program and gets the VM's exit code: run
// directly, and through cmd.exe /c.
TEST_F(ConsoleTwin, TheVmsExitCodeReachesTheShell)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\java.exe") + "\r\nqel.nl.valid.vm.list=J2\r\n");
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const WString shell = WString(system) + L"\\cmd.exe";
    for (const wchar_t* code : {L"0", L"7", L"300", L"0xC0000005"}) {
        SCOPED_TRACE(narrow(code));
        const unsigned long expected = std::stoul(narrow(code), nullptr, 0);
        DeleteFileW(recordFile.c_str());
        const ProgramRun direct = start(L"", code, inConsole());
        ASSERT_FALSE(direct.timedOut);
        EXPECT_TRUE(direct.boxes.empty());
        EXPECT_EQ(direct.exitCode, expected);
        onlyRecord(direct);

        DeleteFileW(recordFile.c_str());
        RunOptions throughShell = inConsole();
        throughShell.commandLine = L"cmd.exe /c \"" + launcher + L"\"";
        const ProgramRun viaShell = runProgram(shell, withStandinEnvironment(code, throughShell));
        ASSERT_FALSE(viaShell.timedOut);
        EXPECT_TRUE(viaShell.boxes.empty());
        EXPECT_EQ(viaShell.exitCode, expected);
        onlyRecord(viaShell);
    }
}

// An error is the box's text as one line on standard error, and the exit code
// tells which: the message number, or 1 for a failure without one. No box.
TEST_F(ConsoleTwin, ErrorsGoToStandardErrorWithTheirNumber)
{
    vms.file(L"broken\\bin\\java.exe", "not a program");
    const unsigned long startFailure = startError(vms / L"broken\\bin\\java.exe");
    ASSERT_NE(startFailure, 0u);
    const std::string valid = "qel.nl.java.launcher.main.class=app.Start\r\nqel.class.path=lib\\a.jar\r\n";
    TempDir temp;
    const WString missingTemp = temp / L"missing";
    struct Case {
        const char* what;
        const char* properties;  // none: no properties file
        // The whole of standard error; with atEnd, its end after the diagnostics.
        std::string error;
        bool atEnd;
        unsigned long exitCode;
    };
    const std::string withoutVm = valid + "qel.nl.valid.vm.list=J2\r\n";
    const std::string broken =
        valid + "qel.nl.current.vm=" + escaped(vms / L"broken\\bin\\java.exe") + "\r\nqel.nl.valid.vm.list=ALL\r\n";
    const Case cases[] = {
        {"no properties file", nullptr, "The Ravelin properties file is missing\n", false, 102},
        {"invalid settings", "qel.class.path=lib\\a.jar\r\nqel.nl.valid.vm.list=J2\r\n",
         narrow(singleLine(WString(kEnglishInvalid) + L"\n\n" + expected::kMissingMainClassLine)) + "\n", false, 104},
        {"no VM", withoutVm.c_str(),
         "Could not find a valid Java virtual machine to load. You may need to reinstall a supported Java virtual "
         "machine.\n",
         false, 101},
        {"VM not started", broken.c_str(),
         "\nWindows error " + std::to_string(startFailure) + " occured while loading the Java VM\n", true, 103},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW((app + L"\\Tool.qel").c_str());
        if (c.properties != nullptr) {
            writeFile(app + L"\\Tool.qel", c.properties);
        }
        const ProgramRun run = start(L"", L"0", inConsole());
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(run.exitCode, c.exitCode);
        if (c.atEnd) {
            EXPECT_TRUE(endsWith(run.standardError, c.error)) << run.standardError;
        } else {
            EXPECT_EQ(run.standardError, c.error);
        }
        EXPECT_EQ(run.standardOutput, "");
    }

    // A failure without a message number: the hand-off file cannot be made.
    writeFile(app + L"\\Tool.qel", withoutVm + "qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\java.exe") + "\r\n");
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    RunOptions options = inConsole();
    options.environment = {{L"TMP", missingTemp}, {L"TEMP", missingTemp}};
    const ProgramRun run = start(L"", L"0", options);
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.exitCode, 1u);
    // The directory as the system gives it, then the system's text of the error.
    const std::string prefix =
        "The hand-off file for the Java program cannot be created in the temporary directory \"" + narrow(missingTemp);
    EXPECT_EQ(run.standardError.rfind(prefix, 0), 0u) << run.standardError;
    const auto textStart = run.standardError.find("\": ", prefix.size());
    ASSERT_NE(textStart, std::string::npos) << run.standardError;
    EXPECT_GT(run.standardError.size(), textStart + 4) << run.standardError;
    EXPECT_EQ(run.standardError.find('\n'), run.standardError.size() - 1) << run.standardError;
    EXPECT_TRUE(readStandinRecords(recordFile).empty());
}

// Ctrl+C in the console reaches the VM, which ends with the code of its
// handler, while the launcher takes it and goes on waiting: its exit code is
// the VM's. (Without the launcher's handler Wine ends it at once with 0.) A
// helper in the same console sends the event once the VM is ready. Wine 8
// sends no Ctrl+Break: that one is covered by ConsoleRules.ConsoleEventsTheTwinOutlives.
TEST_F(ConsoleTwin, CtrlCReachesTheVmWhileTheLauncherWaits)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5).program(L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\javaw.exe") + "\r\nqel.nl.valid.vm.list=J2\r\n");
    RunOptions options = inConsole();
    options.arguments = L"\"" + recordFile + L"\" \"" + launcher + L"\"";
    options.environment = {{L"QEL_STANDIN_CTRL_C", L"42"}, {L"QEL_STANDIN_SLEEP_MS", L"infinite"}};
    const ProgramRun run = runProgram(binaryDir() + L"\\interrupt.exe", withStandinEnvironment(L"5", options));
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.exitCode, 42u) << run.standardError;
    EXPECT_EQ(onlyRecord(run).modulePath, vms / L"jre\\bin\\java.exe");
}
