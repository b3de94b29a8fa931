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

// Incomplete settings are refused with message 104 and a line naming the first
// setting missing, in the order the checks are made.
TEST(SettingsValidation, RejectsIncompleteSettingsWithMessage104NamingTheSetting)
{
    const WString mainClass = expected::kMissingMainClassLine;
    const WString vm = expected::kMissingVmChoiceLine;
    const WString classPath = expected::kMissingClassPathLine;
    const WString classPathVariable = expected::kEmptyClassPathVariableLine;
    struct Row {
        const char* settings;
        // The line naming what is missing; none: the settings are complete.
        const WString* missing;
    };
    const Row rows[] = {
        {"qel.nl.java.launcher.main.class=M\nqel.nl.current.vm=java.exe\nqel.class.path=a.jar\n", nullptr},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", nullptr},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.current.vm=java.exe\nqel.nl.valid.vm.list=\nqel.class.path=a\n",
         nullptr},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=$env_classpath$\n", nullptr},
        {"qel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", &mainClass},
        {"qel.nl.java.launcher.main.class=\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", &mainClass},
        {"qel.nl.java.launcher.main.class=   \nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", &mainClass},
        {"qel.nl.java.launcher.main.class=M\nqel.class.path=a.jar\n", &vm},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.current.vm=\nqel.nl.valid.vm.list=\nqel.class.path=a.jar\n", &vm},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=JRE_J2\n", &classPath},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=\n", &classPath},
        {"qel.nl.java.launcher.main.class=M\nqel.nl.current.vm=java.exe\nqel.class.path=$ENV_CLASSPATH$\n",
         &classPathVariable},
        {"QEL.NL.JAVA.LAUNCHER.MAIN.CLASS=M\nqel.nl.valid.vm.list=JRE_J2\nqel.class.path=a.jar\n", &mainClass},
        // Everything missing: the first check names the main class.
        {"", &mainClass},
        {"qel.nl.java.launcher.main.class=M\n", &vm},
    };
    for (const auto& row : rows) {
        PropertyTable table;
        parseProperties(table, row.settings);
        if (row.missing == nullptr) {
            EXPECT_NO_THROW(validateSettings(table, L"")) << row.settings;
            continue;
        }
        EXPECT_EQ(test::messageThrownBy<TerminalError>([&] { validateSettings(table, L""); }, row.settings),
                  WString(kInvalidText) + L"\n\n" + *row.missing);
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
    EXPECT_EQ(test::messageThrownBy<TerminalError>([&] { validateSettings(table, L""); }),
              WString(kInvalidText) + L"\n\n" + expected::kEmptyClassPathVariableLine);
    EXPECT_NO_THROW(validateSettings(table, L"C:\\lib\\x.jar"));
    table.set(L"qel.class.path", L"$ENV_CLASSPATH$;lib\\a.jar");
    EXPECT_NO_THROW(validateSettings(table, L""));
}

// Which properties file a Launcher takes, built from real files, and how it
// fails when there is none it can use. Each row starts with a fresh executable's
// directory "apps" (holding Tool.exe) and start directory "work"; the Launcher
// moves the process into its properties file's directory, which the guard puts
// back.
TEST(LauncherConstruction, WhichPropertiesFileIsTakenAndWhereTheRunContinues)
{
    // A settings file: its place ("apps\..." or "work\..."), and the application
    // name it sets; "/" makes a directory of that name, "!" invalid settings.
    using Files = std::vector<std::pair<const wchar_t*, const char*>>;
    struct Row {
        const char* label;
        Files files;
        // The first argument: a path under apps, or as it stands when it does not
        // start with a backslash.
        const wchar_t* startedAs;
        // The application name of the file taken, or the failure.
        const char* taken;
        const wchar_t* failure;
        const wchar_t* propertiesPath;
        // "apps" or "work": where the run continues.
        const wchar_t* current;
    };
    // "!" leaves every setting empty: the first checked is named.
    const WString invalidSettings = WString(kInvalidText) + L"\n\n" + expected::kMissingMainClassLine;
    const Row rows[] = {
        {"the name without .exe first",
         {{L"apps\\Tool.qel", "plain"}, {L"apps\\Tool.exe.qel", "with exe"}, {L"work\\Tool.qel", "start"}},
         L"\\Tool.exe", "plain", nullptr, L"Tool.qel", L"apps"},
        {"the whole executable name second", {{L"apps\\Tool.exe.qel", "with exe"}, {L"work\\Tool.qel", "start"}},
         L"\\Tool.exe", "with exe", nullptr, L"Tool.exe.qel", L"apps"},
        // The name comes from the executable as started, in its case.
        {"the start directory last", {{L"work\\Tool.qel", "start"}}, L"\\TOOL.EXE", "start", nullptr, L"TOOL.qel",
         L"work"},
        {"none: message 102", {{L"apps\\Other.qel", "other"}}, L"\\Tool.exe", nullptr, kMissingText, nullptr, L"work"},
        {"a directory is taken and cannot be read",
         {{L"apps\\Tool.qel", "/"}, {L"apps\\Tool.exe.qel", "with exe"}}, L"\\Tool.exe", nullptr,
         L"windows could not open the file specified", nullptr, L"work"},
        {"invalid settings: message 104", {{L"apps\\Tool.qel", "!"}}, L"\\Tool.exe", nullptr, invalidSettings.c_str(),
         nullptr, L"work"},
        // The executable is then this test program, whose properties file lies
        // in the start directory.
        {"a first argument naming no file: the running module",
         {{L"apps\\Missing.qel", "beside the named file"}, {L"work\\unit_tests.qel", "the running module's"}},
         L"\\Missing.exe", "the running module's", nullptr, L"unit_tests.qel", L"work"},
        {"a blank first argument: the running module", {{L"work\\unit_tests.qel", "the running module's"}}, L" ",
         "the running module's", nullptr, L"unit_tests.qel", L"work"},
        {"an empty first argument: the running module", {{L"work\\unit_tests.qel", "the running module's"}}, L"",
         "the running module's", nullptr, L"unit_tests.qel", L"work"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::TempDir apps;
        test::TempDir work;
        test::writeFile(apps / L"Tool.exe", "MZ");
        test::makeDirectories(work.path());
        const test::CurrentDirectoryGuard restore;
        ASSERT_TRUE(test::setCurrentDirectory(work.path()));
        const auto placed = [&](const WString& path) {
            return path.rfind(L"apps\\", 0) == 0 ? apps / path.substr(5) : work / path.substr(5);
        };
        for (const auto& [path, name] : row.files) {
            if (std::string_view(name) == "/") {
                test::makeDirectories(placed(path));
            } else if (std::string_view(name) == "!") {
                test::writeFile(placed(path), "qel.nl.java.launcher.main.class=\nqel.nl.current.vm=\n"
                                              "qel.nl.valid.vm.list=\nqel.class.path=\n");
            } else {
                test::writeFile(placed(path), std::string(kValidSettings) + "qel.application.name=" + name + "\n");
            }
        }
        Trace trace;
        const WString first = row.startedAs[0] == L'\\' ? apps.path() + row.startedAs : WString(row.startedAs);
        const WString current = WString(row.current) == L"apps" ? apps.path() : work.path();

        if (row.taken != nullptr) {
            const Launcher launcher(startedAs(first), trace);
            const std::string_view taken = row.taken;  // ASCII
            EXPECT_EQ(launcher.properties.get(L"qel.application.name", L""), WString(taken.begin(), taken.end()));
            EXPECT_EQ(launcher.propertiesPath, row.propertiesPath);
            EXPECT_EQ(launcher.commandLine.arguments, std::vector<WString>{first});
        } else {
            try {
                const Launcher launcher(startedAs(first), trace);
                ADD_FAILURE() << "the Launcher was built";
            } catch (const FileException& error) {
                EXPECT_EQ(error.message, row.failure);
                EXPECT_EQ(error.path, apps / L"Tool.qel");
            } catch (const TerminalError& error) {
                EXPECT_EQ(error.message, row.failure);
            }
        }
        EXPECT_EQ(test::currentDirectory(), current);
    }
}
