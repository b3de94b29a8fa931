// The plug-in's example of the documentation, as readme_example.cmake built it
// from the page: target\Shop\Shop.exe started as a user starts it, with this
// machine's JVM behind the bridge as the only Java (JAVA_HOME), runs the
// example's main class through the ready main class and sends its standard
// error where the example's settings say (logs\shop.log).

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/launcher_run.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

TEST(ReadmeExample, TheProgramTheExampleBuildsRuns)
{
    const WString work = onDriveZ(QEL_README_EXAMPLE_WORK);
    const WString program = work + L"\\project\\target\\Shop";
    const WString jdk = work + L"\\jdk";
    installStandIn(L"jvm_bridge.exe", jdk + L"\\bin\\java.exe");
    installStandIn(L"jvm_bridge.exe", jdk + L"\\bin\\javaw.exe");

    RunOptions options;
    options.arguments = L"first \"second one\"";
    options.environment = {
        {L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"JAVA_HOME", jdk}, {L"CLASSPATH", L""}};
    const ProgramRun run = runProgram(program + L"\\Shop.exe", options);

    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 0u) << run.standardOutput << run.standardError;
    EXPECT_NE(run.standardOutput.find("Shop: first second one"), std::string::npos)
        << run.standardOutput << run.standardError;
    EXPECT_NE(GetFileAttributesW((program + L"\\logs\\shop.log").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the standard error's file was not made";
}
