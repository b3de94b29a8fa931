// The example application with its own Java runtime in its folder, as the
// packager's runtime command lays it out (packager/bundled_runtime.cmake, at
// build time): a runtime whose programs are the JVM bridge, copied in and
// packed into the zip; and a runtime trimmed by jlink from this machine's
// jmods, which the bridge runs. No other Java is on Path or in the registry:
// the program runs on what it ships, and its trace says so. Without its
// runtime folder it finds no VM, unless its settings allow the fall-back to an
// installed Java.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/launcher_run.h"
#include "support/machine_guard.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

#ifdef QEL_BUNDLED_RUNTIME_DIR

namespace {

const WString kBuilt = onDriveZ(QEL_BUNDLED_RUNTIME_DIR);

RunOptions withTrace(const WString& traceFile)
{
    RunOptions options;
    options.arguments = L"--verbose";
    options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"},
                           {L"CLASSPATH", L""},
                           {L"JAVA_HOME", L""},
                           {L"QEL_TRACE", traceFile}};
    return options;
}

void copyInto(const WString& source, const WString& target)
{
    makeDirectories(target.substr(0, target.rfind(L'\\')));
    ASSERT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE)) << narrow(source) << " " << GetLastError();
}

// Runs program\Hello.exe and checks that the example ran on program\runtime,
// said so in the trace, and, when javaHome is given, that the Java of that home
// ran it.
void expectRunOnOwnRuntime(const WString& program, const std::string& javaHome)
{
    TempDir dir;
    const WString trace = dir / L"trace.txt";
    const ProgramRun run = runProgram(program + L"\\Hello.exe", withTrace(trace));
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 3u) << run.standardOutput << run.standardError;
    EXPECT_NE(run.standardOutput.find("Hello from the example application"), std::string::npos)
        << run.standardOutput << run.standardError;
    EXPECT_NE(run.standardOutput.find("the Java VM the launcher chose: " + narrow(program) +
                                      "\\runtime\\bin\\javaw.exe"),
              std::string::npos)
        << run.standardOutput;
    if (!javaHome.empty()) {
        EXPECT_NE(run.standardOutput.find("my Java runtime: " + javaHome), std::string::npos) << run.standardOutput;
    }
    const std::string traced = readFile(trace);
    EXPECT_NE(traced.find("chosen: the named program " + narrow(program) +
                          "\\runtime\\bin\\javaw.exe, the program's own runtime"),
              std::string::npos)
        << traced;
    EXPECT_EQ(traced.find("searching the installed VMs"), std::string::npos) << traced;
}

using BundledRuntime = ClearedKeys<::testing::Test, removeJavaKeys>;

}  // namespace

TEST_F(BundledRuntime, TheExampleRunsOnTheRuntimeCopiedIntoItsFolderAndItsZip)
{
    // The bridge of a copied runtime runs this machine's JVM, whose home the example reports.
    for (const wchar_t* folder : {L"\\bridged\\Hello", L"\\unzipped\\Hello"}) {
        SCOPED_TRACE(narrow(folder));
        expectRunOnOwnRuntime(kBuilt + folder, "");
    }
}

TEST_F(BundledRuntime, TheExampleRunsOnItsTrimmedRuntime)
{
    // The bridge in the linked image runs the image's own java: the example
    // reports the image as its home.
    expectRunOnOwnRuntime(kBuilt + L"\\trimmed\\Hello", std::string(QEL_BUNDLED_RUNTIME_DIR) + "/trimmed/Hello/runtime");
}

TEST_F(BundledRuntime, WithoutItsRuntimeFolderTheFallBackSettingDecides)
{
    // The example as laid out, without runtime\; an installed Java along Path.
    TempDir dir;
    const WString program = dir / L"Hello";
    for (const wchar_t* file : {L"Hello.exe", L"Hello.qel", L"lib\\hello.jar", L"lib\\ravelin-java.jar"}) {
        copyInto(kBuilt + L"\\bridged\\Hello\\" + file, program + L"\\" + file);
    }
    makeDirectories(program + L"\\logs");
    installStandIn(L"jvm_bridge.exe", dir / L"java17\\bin\\java.exe");
    installStandIn(L"jvm_bridge.exe", dir / L"java17\\bin\\javaw.exe");
    RunOptions options = withTrace(dir / L"trace.txt");
    options.environment[0].second = dir / L"java17\\bin;C:\\windows\\system32;C:\\windows";

    // As the packager writes it: no fall-back. The launcher finds no VM and says so.
    const ProgramRun refused = runProgram(program + L"\\Hello.exe", options);
    ASSERT_FALSE(refused.timedOut);
    ASSERT_EQ(refused.boxes.size(), 1u) << refused.standardOutput;
    EXPECT_EQ(refused.exitCode, 101u);
    EXPECT_NE(readFile(dir / L"trace.txt").find("qel.nl.current.vm.fallback is off: no installed VM is searched"),
              std::string::npos)
        << readFile(dir / L"trace.txt");

    // With the fall-back on (a later line wins), the installed Java that J2 takes runs it.
    writeFile(program + L"\\Hello.qel",
              readFile(program + L"\\Hello.qel") + "qel.nl.current.vm.fallback=true\r\n");
    const ProgramRun fallen = runProgram(program + L"\\Hello.exe", options);
    ASSERT_FALSE(fallen.timedOut);
    ASSERT_TRUE(fallen.boxes.empty()) << narrow(fallen.boxes[0].text);
    EXPECT_EQ(fallen.exitCode, 3u) << fallen.standardOutput << fallen.standardError;
    EXPECT_NE(fallen.standardOutput.find("the Java VM the launcher chose: " + narrow(dir / L"java17\\bin\\javaw.exe")),
              std::string::npos)
        << fallen.standardOutput;
}

#endif
