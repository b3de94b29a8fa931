#include <gtest/gtest.h>

#include <string>

#include "launch/console.h"
#include "launch/console_rules.h"
#include "settings/properties.h"
#include "support/test_files.h"

using namespace qel;

TEST(ConsoleRules, WhenARunUsesAConsole)
{
    struct Row {
        bool controlKey;
        bool requested;
        const char* settings;
        bool useConsole;
        const wchar_t* title;
        std::size_t handoffLines;
    };
    const Row rows[] = {
        {false, false, "", false, L"", 0},
        {true, false, "", true, L"Ravelin", 3},  // Ctrl at start: the Java side is told
        {false, true, "qel.application.name=Shop\n", true, L"Shop", 0},
        {true, true, "qel.application.name=\n", true, L"", 3},  // an empty name is a name
        {false, false, "qel.stdout.redirect=Console\n", true, L"Ravelin", 0},
        {false, false, "qel.stderr.redirect=CONSOLE\nqel.stdout.redirect=out.txt\n", true, L"Ravelin", 0},
        {false, false, "qel.stdout.redirect=console.log\n", false, L"", 0},
        {false, false, "qel.stdout.redirect=\\u0020console\n", false, L"", 0},  // nothing is trimmed
        {false, false, "qel.stdout.redirect=out.txt\nqel.stderr.redirect=err.txt\n", false, L"", 0},
    };
    for (const auto& row : rows) {
        PropertyTable table;
        parseProperties(table, row.settings);
        const ConsolePlan plan = planConsole(row.controlKey, row.requested, table);
        EXPECT_EQ(plan.useConsole, row.useConsole) << row.settings;
        EXPECT_EQ(plan.title, row.title) << row.settings;
        ASSERT_EQ(plan.handoffLines.size(), row.handoffLines) << row.settings;
        if (row.handoffLines != 0) {
            EXPECT_EQ(plan.handoffLines, (std::vector<WString>{L"qel.control-key=true", L"qel.stderr.redirect=console",
                                                               L"qel.stdout.redirect=console"}));
        }
    }
}

TEST(ConsoleRules, PauseAtTheEndOfARun)
{
    struct Row {
        bool allocated;
        bool setting;
        bool controlKey;
        bool pause;
        bool keyAsked;
    };
    const Row rows[] = {
        {false, true, true, false, false},  // no console of its own: never, the key is not even read
        {true, true, false, true, false},  // the setting decides without the key
        {true, false, true, true, true},
        {true, false, false, false, true},
    };
    for (const auto& row : rows) {
        bool asked = false;
        const bool pause = pauseAtEnd(row.allocated, row.setting, [&] {
            asked = true;
            return row.controlKey;
        });
        EXPECT_EQ(pause, row.pause) << row.allocated << row.setting << row.controlKey;
        EXPECT_EQ(asked, row.keyAsked) << row.allocated << row.setting << row.controlKey;
    }
}

TEST(ConsoleRules, StartFailureTextAndDiagnostics)
{
    EXPECT_EQ(formatStartFailure(L"Windows error %d occured while loading the Java VM", 2),
              L"Windows error 2 occured while loading the Java VM");
    EXPECT_EQ(formatStartFailure(L"Fehler %d beim Laden", 193), L"Fehler 193 beim Laden");
    EXPECT_EQ(formatStartFailure(WString(600, L'x') + L"%d", 5).size(), 511u);
    EXPECT_EQ(workingDirectoryLine(L"C:\\Apps\\Tool\\"), L"cwd: C:\\Apps\\Tool\\\n");
    EXPECT_EQ(commandLineLine(L"\"C:\\j\\java.exe\" x"), L"cmd: \"C:\\j\\java.exe\" x\n");
}
