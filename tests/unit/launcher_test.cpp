#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "launch/command_line.h"
#include "launch/launcher.h"
#include "settings/settings.h"
#include "settings/properties.h"
#include "settings/properties_location.h"
#include "support/expected_texts.h"
#include "support/failures.h"
#include "support/settings_fixtures.h"
#include "support/test_files.h"

using namespace qel;

namespace {

constexpr const wchar_t* kMissingText = expected::kEnglishMissing;
constexpr const wchar_t* kInvalidText = expected::kEnglishInvalid;

constexpr std::string_view kValidSettings = "qel.nl.java.launcher.main.class=com.example.Main\n"
                                            "qel.nl.valid.vm.list=JRE_J2\n"
                                            "qel.class.path=lib\\app.jar\n";

CommandLine startedAs(const WString& executable)
{
    CommandLine line;
    line.arguments = {executable};
    return line;
}

}  // namespace

TEST(PropertiesLocation, Candidates)
{
    struct Row {
        const wchar_t* executable;
        std::optional<WString> currentDirectory;
        std::vector<WString> candidates;
    };
    const Row rows[] = {
        {L"C:\\Apps\\Tool.exe",
         WString(L"D:\\Work"),
         {L"C:\\Apps\\Tool.qel", L"C:\\Apps\\Tool.exe.qel", L"D:\\Work\\\\Tool.qel"}},
        // The extension is compared without case; the name keeps its own.
        {L"C:\\Apps\\Tool.EXE",
         WString(L"D:\\Work"),
         {L"C:\\Apps\\Tool.qel", L"C:\\Apps\\Tool.EXE.qel", L"D:\\Work\\\\Tool.qel"}},
        {L"C:\\Apps\\Tool.com", WString(L"D:\\Work"), {L"C:\\Apps\\Tool.com.qel", L"D:\\Work\\\\Tool.qel"}},
        {L"C:\\Apps\\Tool", WString(L"D:\\Work"), {L"C:\\Apps\\Tool.qel", L"D:\\Work\\\\Tool.qel"}},
        {L"C:\\My.Apps\\Tool", WString(L"D:\\Work"), {L"C:\\My.Apps\\Tool.qel", L"D:\\Work\\\\Tool.qel"}},
        {L"C:\\Apps\\Tool.v2.exe",
         WString(L"D:\\Work"),
         {L"C:\\Apps\\Tool.v2.qel", L"C:\\Apps\\Tool.v2.exe.qel", L"D:\\Work\\\\Tool.v2.qel"}},
        // The current directory could not be read: no third candidate.
        {L"C:\\Apps\\Tool.exe", std::nullopt, {L"C:\\Apps\\Tool.qel", L"C:\\Apps\\Tool.exe.qel"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(propertiesFileCandidates(row.executable, row.currentDirectory), row.candidates)
            << test::narrow(row.executable);
    }
}

TEST(SettingsValidation, RejectsIncompleteSettingsWithMessage104)
{
    struct Row {
        const char* settings;
        bool valid;
    };
    const Row rows[] = {
        {"qel.nl.java.launcher.main.class=M\nqel.nl.current.vm=java.exe\nqel.class.path=a.jar\n", true},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", true},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.current.vm=java.exe\nqel.nl.valid.vm.list=\nqel.class.path=a\n",
         true},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=$env_classpath$\n", true},
        {"qel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", false},
        {"qel.nl.java.launcher.main.class=\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", false},
        {"qel.nl.java.launcher.main.class=   \nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", false},
        {"qel.nl.java.launcher.main.class=M\nqel.class.path=a.jar\n", false},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.current.vm=\nqel.nl.valid.vm.list=\nqel.class.path=a.jar\n", false},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=JRE_J2\n", false},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=\n", false},
        {"QEL.NL.JAVA.LAUNCHER.MAIN.CLASS=M\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", false},
        {"", false},
    };
    for (const auto& row : rows) {
        PropertyTable table;
        parseProperties(table, row.settings);
        if (row.valid) {
            EXPECT_NO_THROW(validateSettings(table, L"")) << row.settings;
            continue;
        }
        EXPECT_EQ(test::messageThrownBy<TerminalError>([&] { validateSettings(table, L""); }, row.settings),
                  kInvalidText);
    }
}

// A launcher's key whose value holds U+0000 (an escape of it, or "\u" without
// digits) is refused with message 104 naming the key; a key of the application
// (read by the Java side with its own rules) is not the launcher's to judge.
TEST(SettingsValidation, ValueWithNulIsRefusedNamingTheKey)
{
    const std::string valid = "qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=J2\nqel.class.path=a.jar\n";
    struct Row {
        std::string lines;
        std::optional<const wchar_t*> key;
    };
    const Row rows[] = {
        {"qel.nl.java.option.additional=-Da=\\u0000b\n", L"qel.nl.java.option.additional"},
        {"qel.class.path=a.jar;\\u\n", L"qel.class.path"},
        {"qel.application.name=Shop\\u0000\n", L"qel.application.name"},
        {"qel.nl.java.launcher.main.class=app.\\u0000Start\n", L"qel.nl.java.launcher.main.class"},
        {"shop.secret=\\u0000\n", std::nullopt},
        {"qel.nl.java.option.additional=-Da=\\u0041\n", std::nullopt},
    };
    for (const auto& row : rows) {
        PropertyTable table;
        parseProperties(table, valid + row.lines);
        EXPECT_EQ(keyHoldingNul(table), row.key ? std::optional<WString>(*row.key) : std::nullopt) << row.lines;
        if (!row.key) {
            EXPECT_NO_THROW(validateSettings(table, L"")) << row.lines;
            continue;
        }
        EXPECT_EQ(test::messageThrownBy<TerminalError>([&] { validateSettings(table, L""); }, row.lines),
                  WString(kInvalidText) + L"\n\n" + *row.key +
                      L" holds the character U+0000 (\\u0000, or \\u without digits), which the Java VM cannot be "
                      L"given.");
    }
}

// The class path is judged after the marker was replaced.
TEST(SettingsValidation, MarkerWithoutClasspathVariableIsEmpty)
{
    PropertyTable table;
    parseProperties(table, "qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=JRE_J2\n"
                           "qel.class.path=$ENV_CLASSPATH$\n");
    EXPECT_EQ(test::messageThrownBy<TerminalError>([&] { validateSettings(table, L""); }), kInvalidText);
    EXPECT_NO_THROW(validateSettings(table, L"C:\\lib\\x.jar"));
    table.set(L"qel.class.path", L"$ENV_CLASSPATH$;lib\\a.jar");
    EXPECT_NO_THROW(validateSettings(table, L""));
}

// Launchers built from real files. The executable only has to exist; a
// Launcher moves the process into its properties file's directory, which the
// guard puts back.
class LauncherConstruction : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::writeFile(executable, "MZ");
        test::makeDirectories(work.path());
        ASSERT_TRUE(test::setCurrentDirectory(work.path()));
    }

    void writeSettings(const WString& path, std::string_view name)
    {
        test::writeFile(path, std::string(kValidSettings) + "qel.application.name=" + std::string(name) + "\n");
    }

    test::TempDir apps;
    test::TempDir work;
    WString executable = apps / L"Tool.exe";
    // Last, so that the directories are no longer current when they are removed.
    test::CurrentDirectoryGuard restore;
};

TEST_F(LauncherConstruction, NameWithoutExeIsPreferred)
{
    writeSettings(apps / L"Tool.qel", "plain");
    writeSettings(apps / L"Tool.exe.qel", "with exe");
    writeSettings(work / L"Tool.qel", "start directory");
    const Launcher launcher(startedAs(executable));
    EXPECT_EQ(launcher.properties.get(L"qel.application.name", L""), L"plain");
    EXPECT_EQ(launcher.propertiesPath, L"Tool.qel");
    EXPECT_EQ(test::currentDirectory(), apps.path());
    EXPECT_EQ(launcher.commandLine.arguments, std::vector<WString>{executable});
    EXPECT_EQ(launcher.exitCode, 0u);
}

TEST_F(LauncherConstruction, WholeExecutableNameSecond)
{
    writeSettings(apps / L"Tool.exe.qel", "with exe");
    writeSettings(work / L"Tool.qel", "start directory");
    const Launcher launcher(startedAs(executable));
    EXPECT_EQ(launcher.properties.get(L"qel.application.name", L""), L"with exe");
    EXPECT_EQ(launcher.propertiesPath, L"Tool.exe.qel");
    EXPECT_EQ(test::currentDirectory(), apps.path());
}

TEST_F(LauncherConstruction, StartDirectoryLast)
{
    writeSettings(work / L"Tool.qel", "start directory");
    const WString renamed = apps / L"TOOL.EXE";
    const Launcher launcher(startedAs(renamed));
    EXPECT_EQ(launcher.properties.get(L"qel.application.name", L""), L"start directory");
    // The name comes from the executable as started, in its case.
    EXPECT_EQ(launcher.propertiesPath, L"TOOL.qel");
    EXPECT_EQ(test::currentDirectory(), work.path());
}

TEST_F(LauncherConstruction, NoPropertiesFileIsMessage102)
{
    writeSettings(apps / L"Other.qel", "other");
    EXPECT_EQ(test::messageThrownBy<TerminalError>([&] { const Launcher launcher(startedAs(executable)); }),
              kMissingText);
    EXPECT_EQ(test::currentDirectory(), work.path());
}

TEST_F(LauncherConstruction, ADirectoryIsChosenAndFailsToRead)
{
    test::makeDirectories(apps / L"Tool.qel");
    writeSettings(apps / L"Tool.exe.qel", "with exe");
    const auto error = test::thrownBy<FileException>([&] { const Launcher launcher(startedAs(executable)); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message, L"windows could not open the file specified");
    EXPECT_EQ(error->path, apps / L"Tool.qel");
    EXPECT_EQ(test::currentDirectory(), work.path());
}

TEST_F(LauncherConstruction, InvalidSettingsAreMessage104)
{
    test::writeFile(apps / L"Tool.qel",
                    "qel.nl.java.launcher.main.class=\nqel.nl.current.vm=\nqel.nl.valid.vm.list=\nqel.class.path=\n");
    EXPECT_EQ(test::messageThrownBy<TerminalError>([&] { const Launcher launcher(startedAs(executable)); }),
              kInvalidText);
    EXPECT_EQ(test::currentDirectory(), work.path());
}

TEST_F(LauncherConstruction, FirstArgumentNamingNoFileMeansTheRunningModule)
{
    // The executable is then this test program, whose properties file lies in the
    // start directory.
    writeSettings(apps / L"Missing.qel", "beside the named file");
    writeSettings(work / L"unit_tests.qel", "the running module's");
    for (const WString& first : {apps / L"Missing.exe", WString(L" "), WString()}) {
        SCOPED_TRACE(test::narrow(first));
        const Launcher launcher(startedAs(first));
        EXPECT_EQ(launcher.properties.get(L"qel.application.name", L""), L"the running module's");
        EXPECT_EQ(launcher.propertiesPath, L"unit_tests.qel");
        ASSERT_TRUE(test::setCurrentDirectory(work.path()));
    }
}
