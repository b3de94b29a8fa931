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

// The example built with <runtime>: its folder, and its zip unpacked, run with no
// Java but the runtime in the program's folder (the JVM bridge), and the trace
// says that the program's own runtime started.
TEST(ReadmeExample, TheProgramWithItsOwnRuntimeRunsFromItsFolderAndItsZip)
{
    const WString work = onDriveZ(QEL_README_EXAMPLE_WORK);
    for (const WString& program : {work + L"\\project-runtime\\target\\Shop", work + L"\\runtime-unzipped\\Shop"}) {
        const WString trace = program + L"\\trace.txt";
        DeleteFileW(trace.c_str());
        RunOptions options;
        options.arguments = L"bundled";
        options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"JAVA_HOME", L""},
                               {L"CLASSPATH", L""}, {L"QEL_TRACE", trace}};
        const ProgramRun run = runProgram(program + L"\\Shop.exe", options);

        ASSERT_FALSE(run.timedOut) << narrow(program);
        ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
        EXPECT_EQ(run.exitCode, 0u) << narrow(program) << run.standardOutput << run.standardError;
        EXPECT_NE(run.standardOutput.find("Shop: bundled"), std::string::npos) << run.standardOutput;
        const std::string lines = readFile(trace);
        EXPECT_NE(lines.find("the program's own runtime"), std::string::npos) << lines;
        EXPECT_NE(lines.find(narrow(program) + "\\runtime\\bin\\javaw.exe"), std::string::npos) << lines;
    }
}

