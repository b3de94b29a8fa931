// The launcher started the way a user starts it: copied under another name,
// beside (or without) its properties file, with the message box read back.

#include <gtest/gtest.h>

#include <optional>

#include "support/launcher_fixture.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr const wchar_t* kUnknownException = expected::kUnknownExceptionBox;

using LauncherRun = LauncherFixture;

}  // namespace

TEST_F(LauncherRun, WithoutPropertiesFileShowsMissingMessage)
{
    expectOneBox(start(), kEnglishCaption, kEnglishMissing, 102);
}

TEST_F(LauncherRun, WithoutVmSettingShowsInvalidMessage)
{
    writeFile(properties, kPropertiesWithoutVm);
    expectOneBox(start(), kEnglishCaption, invalidWithoutVm(), 104);
}

TEST_F(LauncherRun, DirectoryNamedLikeThePropertiesFileIsAnUnknownException)
{
    makeDirectories(properties);
    expectOneBox(start(), kEnglishCaption, kUnknownException, 1);
}

TEST_F(LauncherRun, ValidSettingsWithoutAnyVmShowNoVmMessage)
{
    writeFile(properties, "# a shop\r\n"
                          "qel.nl.java.launcher.main.class=app.Main\r\n"
                          "qel.class.path=lib\\app.jar\r\n"
                          "qel.nl.valid.vm.list=J2\r\n");
    expectOneBox(start(), kEnglishCaption, kEnglishNoVm, 101);
}

TEST_F(LauncherRun, PropertiesFileInTheStartDirectoryIsFound)
{
    // The launcher lies elsewhere; only the start directory holds Shop.qel.
    TempDir work;
    writeFile(work / L"Shop.qel", kPropertiesWithoutVm);
    RunOptions options;
    options.currentDirectory = work.path();
    options.environment = {{L"PATH", L"C:\\windows\\system32"}};
    expectOneBox(runProgram(launcher, options), kEnglishCaption, invalidWithoutVm(), 104);
}

TEST_F(LauncherRun, ServiceSwitchFromAShellStillChecksTheSettings)
{
    writeFile(properties, kPropertiesWithoutVm);
    RunOptions options;
    options.arguments = L"-kwqelservice ShopService";
    options.environment = {{L"PATH", L"C:\\windows\\system32"}};
    expectOneBox(runProgram(launcher, options), kEnglishCaption, invalidWithoutVm(), 104);
}

TEST_F(LauncherRun, PauseSettingWithoutOwnConsoleReadsNothing)
{
    // A run that gets past the VM choice; the launcher opened no console, so the
    // pause setting has no effect and standard input, which never delivers
    // anything, is not read.
    VmTree(dir.path()).program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    writeFile(properties, std::string(kPropertiesWithoutVm) + "qel.nl.valid.vm.list=J2\r\n"
                                                              "qel.win32.console.pause=yes\r\n");
    RunOptions options;
    options.environment = {{L"PATH", dir / L"jre\\bin"}};
    options.silentStandardInput = true;
    options.timeoutMs = 20000;
    const ProgramRun run = runProgram(launcher, options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty()) << narrow(run.boxes.empty() ? L"" : run.boxes[0].text);
    EXPECT_EQ(run.standardOutput.find("[press enter"), std::string::npos) << run.standardOutput;
    EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(LauncherRun, FindsItsOwnExecutableWhateverItsFirstArgumentSays)
{
    // The launcher finds its properties file beside itself even when its command
    // line does not name it: the file has no VM setting, so the box says the
    // settings are invalid, not that the launcher cannot locate itself.
    const WString spaced = installLauncher(dir / L"My  App", L"Shop.exe");
    writeFile(dir / L"My  App\\Shop.qel", kPropertiesWithoutVm);
    writeFile(properties, kPropertiesWithoutVm);
    struct Case {
        const char* what;
        WString program;
        std::optional<WString> commandLine;
    };
    const Case cases[] = {
        {"a folder name with two spaces in a row, quoted", spaced, std::nullopt},
        {"spaces before the quoted path", launcher, L"   \"" + launcher + L"\" x"},
        {"one space before the quoted path", launcher, L" \"" + launcher + L"\""},
        {"a first argument that names no file", launcher, L"NoSuchProgram x"},
    };
    TempDir elsewhere;  // holds no properties file
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunOptions options;
        options.commandLine = c.commandLine;
        options.currentDirectory = elsewhere.path();
        options.environment = {{L"PATH", L"C:\\windows\\system32"}};
        expectOneBox(runProgram(c.program, options), kEnglishCaption, invalidWithoutVm(), 104);
    }
}

TEST_F(LauncherRun, ByteOrderMarkOnlyAtTheStartOfThePropertiesFile)
{
    // Valid settings without a VM anywhere give the no-VM box; a settings key
    // that keeps the mark is unknown, and the file is invalid.
    const std::string mark = "\xEF\xBB\xBF";
    const std::string mainClass = "qel.nl.java.launcher.main.class=app.Main\r\n";
    const std::string rest = "qel.class.path=lib\\app.jar\r\nqel.nl.valid.vm.list=J2\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        WString text;
        unsigned long exitCode;
    };
    const Case cases[] = {
        {"a mark before the main class", mark + mainClass + rest, kEnglishNoVm, 101},
        {"a mark on the second line", mainClass + mark + rest,
         WString(kEnglishInvalid) + L"\n\n" + expected::kMissingClassPathLine, 104},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(properties, c.bytes);
        expectOneBox(start(), kEnglishCaption, c.text, c.exitCode);
    }
}

TEST_F(LauncherRun, ClassPathVariableInAnyCase)
{
    // A class path of the CLASSPATH variable alone: with the variable, valid
    // settings and no VM anywhere give the no-VM box; without it, the class path
    // is empty and the file invalid.
    writeFile(properties, "qel.nl.java.launcher.main.class=app.Main\r\n"
                          "qel.class.path=$ENV_CLASSPATH$\r\n"
                          "qel.nl.valid.vm.list=J2\r\n");
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        WString text;
        unsigned long exitCode;
    };
    const Case cases[] = {
        {L"CLASSPATH", L"C:\\lib\\x.jar", kEnglishNoVm, 101},
        {L"classpath", L"C:\\lib\\x.jar", kEnglishNoVm, 101},
        {L"ClassPath", L"C:\\lib\\x.jar", kEnglishNoVm, 101},
        // removed in every spelling
        {L"CLASSPATH", L"", WString(kEnglishInvalid) + L"\n\n" + expected::kEmptyClassPathVariableLine, 104},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.name));
        expectOneBox(start({{c.name, c.value}}), kEnglishCaption, c.text, c.exitCode);
    }
}

// Settings without a setting the launch cannot do without: message 104 and a
// line naming that setting, in the box, in the console twin's line on standard
// error and in the trace.
TEST_F(LauncherRun, IncompleteSettingsNameTheMissingSetting)
{
    const WString twin = installLauncher(dir / L"twin", L"Shop.exe", kConsoleTwin);
    const WString traceFile = dir / L"trace.txt";
    const struct {
        const char* properties;
        const wchar_t* line;
    } cases[] = {
        {"qel.class.path=lib\\app.jar\r\nqel.nl.valid.vm.list=J2\r\n", expected::kMissingMainClassLine},
        {kPropertiesWithoutVm, expected::kMissingVmChoiceLine},
        {"qel.nl.java.launcher.main.class=app.Main\r\nqel.nl.valid.vm.list=J2\r\n", expected::kMissingClassPathLine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.properties);
        writeFile(properties, c.properties);
        writeFile(dir / L"twin\\Shop.qel", c.properties);
        const WString text = WString(kEnglishInvalid) + L"\n\n" + c.line;
        expectOneBox(start({{L"QEL_TRACE", traceFile}}), kEnglishCaption, text, 104);
        const std::string trace = readFile(traceFile);
        EXPECT_NE(trace.find("] error: " + toUtf8(singleLine(text)) + "\n"), std::string::npos) << trace;

        RunOptions options;
        options.environment = {{L"PATH", L"C:\\windows\\system32"}};
        const ProgramRun run = runProgram(twin, options);
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(run.standardError, toUtf8(singleLine(text)) + "\n");
        EXPECT_EQ(run.exitCode, 104u);
    }
}
