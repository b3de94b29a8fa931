#pragma once

// A launcher copied as Shop.exe into a directory of its own, started the way a
// user starts it, with the texts of its message box checked.

#include <gtest/gtest.h>

#include "support/expected_texts.h"
#include "support/launcher_run.h"
#include "support/test_files.h"

namespace qel::test {

using expected::kEnglishCaption;
using expected::kEnglishInvalid;
using expected::kEnglishMissing;
using expected::kEnglishNoVm;

// Main class and class path, but neither VM setting.
inline constexpr const char* kPropertiesWithoutVm = "qel.nl.java.launcher.main.class=app.Main\r\n"
                                                    "qel.class.path=lib\\app.jar\r\n";
// Message 104 for those settings, with the line naming the VM choice.
inline WString invalidWithoutVm(const wchar_t* invalidMessage = kEnglishInvalid)
{
    return WString(invalidMessage) + L"\n\n" + expected::kMissingVmChoiceLine;
}

class LauncherFixture : public ::testing::Test {
protected:
    // Starts the launcher in its own directory with a Path that holds no Java
    // program, plus the given variables.
    ProgramRun start(std::vector<std::pair<WString, WString>> environment = {})
    {
        environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
        RunOptions options;
        options.environment = std::move(environment);
        return runProgram(launcher, options);
    }

    // After the box the launcher ends with the message's number (1 for a failure
    // that has none), so that a script can tell that it failed.
    static void expectOneBox(const ProgramRun& run, const WString& caption, const WString& text, unsigned long exitCode)
    {
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(run.boxes.size(), 1u) << run.standardOutput << run.standardError;
        EXPECT_EQ(run.boxes[0].caption, caption) << narrow(run.boxes[0].caption);
        EXPECT_EQ(run.boxes[0].text, text) << narrow(run.boxes[0].text);
        EXPECT_EQ(run.exitCode, exitCode);
    }

    TempDir dir;
    WString launcher = installLauncher(dir / L"app", L"Shop.exe");
    WString properties = dir / L"app\\Shop.qel";
};

}  // namespace qel::test
