// The launcher choosing its Java VM, started the way a user starts it, with
// stand-in VM programs in invented installations.

#include <gtest/gtest.h>

#include "support/machine_guard.h"
#include "support/launcher_fixture.h"
#include "support/mapped_drive.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

namespace {

class VmChoice : public ::testing::Test {
protected:
    VmChoice()
    {
        installs.program(L"jre142\\bin\\java.exe", standin::kSun1_4_20_5)
            .program(L"jre142\\bin\\javaw.exe", standin::kSun1_4_20_5)
            .program(L"app\\jre\\bin\\java.exe", standin::kTav1_4_2_0)
            .program(L"old\\bin\\jre.exe", standin::kSun1_1_8_0);
    }

    void writeProperties(const std::string& vmLines)
    {
        writeFile(dir / L"app\\App.qel", "qel.nl.java.launcher.main.class=app.Main\r\n"
                                         "qel.class.path=lib\\app.jar\r\n" +
                                             vmLines);
    }

    // Runs the launcher with a Path that holds the given directories only.
    ProgramRun start(const WString& path, const WString& arguments = L"")
    {
        RunOptions options;
        options.arguments = arguments;
        options.environment = {{L"PATH", path}};
        return runProgram(launcher, options);
    }

    TempDir dir;
    VmTree installs{dir.path()};
    WString launcher = installLauncher(dir / L"app", L"App.exe");
};

}  // namespace

TEST_F(VmChoice, NamedVmThatTheListRejectsShowsTheNoVmBox)
{
    const WString runtime = installs / L"jre142\\bin\\java.exe";
    // In the properties file a backslash before "u" starts an escape: write doubled ones.
    std::string doubled;
    for (const char unit : narrow(runtime)) {
        doubled += unit == '\\' ? std::string("\\\\") : std::string(1, unit);
    }
    struct Case {
        const char* what;
        std::string properties;
        WString arguments;
    };
    const Case cases[] = {
        {"named after QEL_VM", "qel.nl.valid.vm.list=J1\r\n", L"QEL_VM \"" + runtime + L"\""},
        {"named by the setting", "qel.nl.current.vm=" + doubled + "\r\nqel.nl.valid.vm.list=J1 JDK\r\n", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeProperties(c.properties);
        // An acceptable 1.x VM on Path changes nothing: a named VM is not replaced.
        const ProgramRun run = start(installs / L"old\\bin", c.arguments);
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(run.boxes.size(), 1u) << run.standardOutput << run.standardError;
        EXPECT_EQ(run.boxes[0].caption, kEnglishCaption);
        EXPECT_EQ(run.boxes[0].text, kEnglishNoVm) << narrow(run.boxes[0].text);
        EXPECT_EQ(run.exitCode, 101u);
    }
}

TEST_F(VmChoice, AcceptableVmGetsPastTheSelection)
{
    struct Case {
        const char* what;
        std::string properties;
        WString path;
        const char* company;
        int examined;
    };
    const Case cases[] = {
        {"found through Path: java.exe and javaw.exe", "qel.nl.valid.vm.list=J2\r\n", installs / L"jre142\\bin",
         "company: Example Java Works", 2},
        {"named relative to the properties file", "qel.nl.current.vm=jre\\bin\\java.exe\r\nqel.nl.valid.vm.list=J2\r\n",
         L"C:\\windows\\system32", "company: tAV Systems Corporation", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeProperties(c.properties);
        const ProgramRun run = start(c.path);
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.boxes.empty()) << narrow(run.boxes.empty() ? L"" : run.boxes[0].text);
        EXPECT_EQ(run.exitCode, 0u);
        // Each examined program that has a company name reports it once.
        EXPECT_EQ(countLines(run.standardOutput, "company: "), c.examined) << run.standardOutput;
        EXPECT_NE(run.standardOutput.find(c.company), std::string::npos) << run.standardOutput;
    }
}

TEST(VmChoiceAtDriveRoot, RelativeVmSettingCountsFromTheRoot)
{
    // The launcher and its properties file at the root of a drive: the root is
    // their directory, wherever on which drive the launcher is started.
    TempDir dir;
    VmTree(dir.path()).program(L"jre\\bin\\java.exe", standin::kTav1_4_2_0).directory(L"sub\\deeper");
    installLauncher(dir.path(), L"App.exe");
    writeFile(dir / L"App.qel", "qel.nl.java.launcher.main.class=app.Main\r\n"
                                "qel.class.path=lib\\app.jar\r\n"
                                "qel.nl.current.vm=jre\\bin\\java.exe\r\n"
                                "qel.nl.valid.vm.list=J2\r\n");
    skipUnlessMachineMayChange();
    if (::testing::Test::IsSkipped()) {
        return;
    }
    const MappedDrive drive(dir.path());
    TempDir elsewhere;
    for (const WString& start : {drive / L"sub", drive / L"sub\\deeper", drive.root(), elsewhere.path()}) {
        SCOPED_TRACE(narrow(start));
        RunOptions options;
        options.currentDirectory = start;
        options.environment = {{L"PATH", L"C:\\windows\\system32"}};
        const ProgramRun run = runProgram(drive / L"App.exe", options);
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.boxes.empty()) << narrow(run.boxes.empty() ? L"" : run.boxes[0].text);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(countLines(run.standardOutput, "company: tAV Systems Corporation"), 1) << run.standardOutput;
    }
}

TEST_F(VmChoice, CompanyNameClaimingMoreThanItsVersionBlockHolds)
{
    // A program on Path whose CompanyName claims far more units than its version
    // block holds: the launcher reads the name the block holds and goes on.
    const WString program = installs / L"crafted\\bin\\java.exe";
    installStandIn(standin::kSun1_4_20_5, program);
    claimCompanyNameLength(program, 0xFFFF);
    writeProperties("qel.nl.valid.vm.list=J2\r\n");
    const ProgramRun run = start(installs / L"crafted\\bin");
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty()) << narrow(run.boxes.empty() ? L"" : run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.standardOutput, "company: Example Java Works\r\n");  // written in text mode
}
