// The example application of the release archive, run from the folder the
// archive was unpacked into (release.archive unpacks it), as a user runs it:
// example\Hello.exe beside Hello.qel, the Java side and the application's jar
// in example\lib. The archive ships no Java runtime, so the test puts this
// machine's JVM behind the bridge where Hello.qel looks for the private
// runtime, jre\bin\javaw.exe, and the application itself then runs.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/launcher_run.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

TEST(ReleaseArchive, TheExampleRunsFromTheUnpackedFolder)
{
    const WString root = onDriveZ(QEL_RELEASE_UNPACKED);
    const WString example = root + L"\\example";
    installStandIn(L"jvm_bridge.exe", example + L"\\jre\\bin\\java.exe");
    installStandIn(L"jvm_bridge.exe", example + L"\\jre\\bin\\javaw.exe");

    RunOptions options;
    options.arguments = L"\"C:\\My Files\\report.txt\" --verbose";
    options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"CLASSPATH", L""}};
    const ProgramRun run = runProgram(example + L"\\Hello.exe", options);

    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    // hello.Main ends with 3, which the launcher passes on.
    EXPECT_EQ(run.exitCode, 3u) << run.standardOutput << run.standardError;
    EXPECT_NE(run.standardOutput.find("Hello from the example application"), std::string::npos)
        << run.standardOutput << run.standardError;
    EXPECT_NE(run.standardOutput.find("my arguments: [C:\\My Files\\report.txt, --verbose]"), std::string::npos)
        << run.standardOutput;
    EXPECT_NE(run.standardOutput.find("the Java VM the launcher chose: " + narrow(example) + "\\jre\\bin\\javaw.exe"),
              std::string::npos)
        << run.standardOutput;
    // Its standard error went where Hello.qel sends it, in the unpacked folder.
    EXPECT_NE(readFile(example + L"\\logs\\hello.log").find("Hello wrote this line to its standard error"),
              std::string::npos);
}
