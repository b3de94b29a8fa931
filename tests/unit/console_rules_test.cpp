#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "launch/console.h"
#include "launch/console_rules.h"
#include "launch/process_texts.h"
#include "settings/properties.h"
#include "support/test_files.h"

using namespace qel;

TEST(ConsoleRules, WhenARunUsesAConsole)
{
    constexpr Frontend kWindowed = Frontend::Windowed;
    constexpr Frontend kTwin = Frontend::Console;
    constexpr ConsoleUse kNone = ConsoleUse::None;
    constexpr ConsoleUse kOwn = ConsoleUse::OwnWindow;
    constexpr ConsoleUse kCallers = ConsoleUse::Callers;
    struct Row {
        Frontend frontend;
        bool controlKey;
        bool requested;
        const char* settings;
        ConsoleUse use;
        const wchar_t* title;
        std::size_t handoffLines;
    };
    const Row rows[] = {
        {kWindowed, false, false, "", kNone, L"", 0},
        {kWindowed, true, false, "", kOwn, L"Ravelin", 3},  // Ctrl at start: the Java side is told
        {kWindowed, false, true, "qel.application.name=Shop\n", kOwn, L"Shop", 0},
        {kWindowed, true, true, "qel.application.name=\n", kOwn, L"", 3},  // an empty name is a name
        {kWindowed, false, false, "qel.stdout.redirect=Console\n", kOwn, L"Ravelin", 0},
        {kWindowed, false, false, "qel.stderr.redirect=CONSOLE\nqel.stdout.redirect=out.txt\n", kOwn, L"Ravelin", 0},
        {kWindowed, false, false, "qel.stdout.redirect=console.log\n", kNone, L"", 0},
        {kWindowed, false, false, "qel.stdout.redirect=\\u0020console\n", kNone, L"", 0},  // nothing is trimmed
        {kWindowed, false, false, "qel.stdout.redirect=out.txt\nqel.stderr.redirect=err.txt\n", kNone, L"", 0},
        // The console twin stays in its caller's console, whatever asks for one,
        // and leaves the caller's title alone.
        {kTwin, false, false, "qel.stdout.redirect=out.txt\n", kCallers, L"", 0},
        {kTwin, false, true, "qel.application.name=Shop\n", kCallers, L"", 0},
        {kTwin, false, false, "qel.stdout.redirect=console\n", kCallers, L"", 0},
        {kTwin, true, false, "qel.application.name=Shop\n", kCallers, L"", 3},
    };
    for (const auto& row : rows) {
        PropertyTable table;
        parseProperties(table, row.settings);
        const ConsolePlan plan = planConsole(row.frontend, row.controlKey, row.requested, table);
        const std::string trace = std::string(row.settings) + (row.frontend == kTwin ? " (twin)" : "");
        EXPECT_EQ(plan.use, row.use) << trace;
        EXPECT_EQ(plan.title, row.title) << trace;
        ASSERT_EQ(plan.handoffLines.size(), row.handoffLines) << trace;
        if (row.handoffLines != 0) {
            EXPECT_EQ(plan.handoffLines, (std::vector<WString>{L"qel.control-key=true", L"qel.stderr.redirect=console",
                                                               L"qel.stdout.redirect=console"}));
        }
    }
}

// The console twin's handler takes Ctrl+C and Ctrl+Break, which its VM gets
// too; after the console closing, log-off and shutdown the system ends the
// launcher, which deletes its hand-off file first. (Wine closes a console
// window without calling any handler, so only the rule is tested here.)
TEST(ConsoleRules, ConsoleEventsTheTwinOutlivesOrEndsWith)
{
    struct Row {
        DWORD event;
        bool outlived;
        bool ends;
    };
    const Row rows[] = {
        {CTRL_C_EVENT, true, false},      {CTRL_BREAK_EVENT, true, false},    {CTRL_CLOSE_EVENT, false, true},
        {CTRL_LOGOFF_EVENT, false, true}, {CTRL_SHUTDOWN_EVENT, false, true}, {7, false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outlivesConsoleEvent(row.event), row.outlived) << row.event;
        EXPECT_EQ(endsConsoleSession(row.event), row.ends) << row.event;
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
    // The lines end in CR LF, as a text-mode stream wrote them.
    EXPECT_EQ(withCrLf(L"cwd: x\ncmd: y\n"), L"cwd: x\r\ncmd: y\r\n");
    EXPECT_EQ(withCrLf(L"a\r\nb\n\n"), L"a\r\nb\r\n\r\n");
    EXPECT_EQ(withCrLf(L"\u65e5\n"), L"\u65e5\r\n");
    EXPECT_EQ(withCrLf(L""), L"");
}
