// The launcher with a real Java VM: this machine's JVM behind the bridge runtime
// (tests/fixtures/jvm_bridge.cpp), the ready main class of the Java side, and a
// probe application that writes down what it observed. Each test asserts on
// what the Java application itself saw. A real JVM start costs about a second:
// these tests are few.

#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/handles.h"
#include "launch/launch_request.h"
#include "support/launcher_run.h"
#include "support/process_start.h"
#include "support/sample_service.h"
#include "support/service_control.h"
#include "support/standin_launch.h"
#include "support/test_files.h"
#include "support/typed_arguments.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

namespace {

std::vector<std::string> utf8(const std::vector<WString>& texts)
{
    std::vector<std::string> result;
    for (const WString& text : texts) {
        result.push_back(narrow(text));
    }
    return result;
}

void copyInto(const WString& source, const WString& target)
{
    makeDirectories(target.substr(0, target.rfind(L'\\')));
    ASSERT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE)) << narrow(source) << " " << GetLastError();
}

class RealJvm : public ::testing::Test {
protected:
    void SetUp() override
    {
        installStandIn(L"jvm_bridge.exe", jdk + L"\\bin\\java.exe");
        installStandIn(L"jvm_bridge.exe", jdk + L"\\bin\\javaw.exe");
        copyInto(onDriveZ(QEL_RAVELIN_JAR), app + L"\\my libs\\ravelin-java.jar");
        copyInto(onDriveZ(QEL_PROBE_JAR), app + L"\\my libs\\probe.jar");
    }

    // Probe.qel: the ready main class starts the probe, from a class path with
    // blanks in it; then the lines given.
    void writeProperties(const std::string& lines)
    {
        writeFile(app + L"\\Probe.qel", "qel.application.name=Probe\r\n"
                                        "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\r\n"
                                        "qel.application.main.class=probe.ProbeApplication\r\n"
                                        "qel.class.path=my libs/ravelin-java.jar;my libs/probe.jar\r\n" +
                                            lines);
    }

    // The launcher (or its twin) started with the bridge runtime as JAVA_HOME.
    ProgramRun start(const WString& launcher, const WString& arguments, RunOptions options = {})
    {
        options.arguments = arguments;
        options.environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
        options.environment.emplace_back(L"JAVA_HOME", jdk);
        options.environment.emplace_back(L"CLASSPATH", L"");
        return runProgram(launcher, options);
    }

    // The launcher started as Explorer starts it, left running; its process.
    UniqueHandle startInBackground(const WString& launcher, const WString& arguments, const WString& traceFile)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring block = environmentBlock({{L"PATH", L"C:\\windows\\system32;C:\\windows"},
                                               {L"JAVA_HOME", jdk},
                                               {L"CLASSPATH", L""},
                                               {L"QEL_TRACE", traceFile}});
        const DWORD error =
            startProcess(launcher.c_str(), commandLineFor(launcher, arguments), FALSE,
                         CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, block.data(), app.c_str(), startup, info);
        EXPECT_EQ(error, 0u);
        if (error != 0) {
            return UniqueHandle();
        }
        CloseHandle(info.hThread);
        return UniqueHandle(info.hProcess);
    }

    // Whatever happens in a test of second starts, the application the first
    // launcher runs is asked to end at its end (a Linux JVM outlives a bridge
    // that is terminated): a second start with exit:1.
    struct EndsApplication {
        RealJvm& test;
        const WString& launcher;
        HANDLE first;
        ~EndsApplication()
        {
            if (WaitForSingleObject(first, 0) == WAIT_TIMEOUT) {
                test.start(launcher, L"exit:1");
                if (WaitForSingleObject(first, 60000) == WAIT_TIMEOUT) {
                    TerminateProcess(first, 1);
                }
            }
        }
    };

    // Whether the file is there, once it is or after a minute; the probe writes
    // its files whole.
    static bool awaitFile(const WString& path)
    {
        for (int waited = 0; waited < 60000 && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
             waited += 50) {
            Sleep(50);
        }
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // What the probe wrote: key=value lines in UTF-8.
    std::map<std::string, std::string> observed(const wchar_t* name = L"observed.txt") const
    {
        std::map<std::string, std::string> values;
        const std::string text = readFile(app + L"\\" + name);
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find('\n', start);
            const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            const std::size_t equals = line.find('=');
            if (equals != std::string::npos) {
                values[line.substr(0, equals)] = line.substr(equals + 1);
            }
            start = end == std::string::npos ? text.size() : end + 1;
        }
        return values;
    }

    // The application's arguments as main received them, in UTF-8.
    std::vector<std::string> observedArguments(const wchar_t* name = L"observed.txt",
                                               const std::string& prefix = "") const
    {
        const auto seen = observed(name);
        std::vector<std::string> arguments;
        const auto count = seen.find(prefix + "argc");
        if (count == seen.end()) {
            ADD_FAILURE() << "the application wrote nothing";
            return arguments;
        }
        for (int i = 0; i < std::stoi(count->second); ++i) {
            const auto argument = seen.find(prefix + "arg." + std::to_string(i));
            arguments.push_back(argument == seen.end() ? "<missing>" : argument->second);
        }
        return arguments;
    }

    TempDir dir;
    WString app = dir / L"Probe";
    WString jdk = dir / L"bridge jdk";
};

}  // namespace

TEST_F(RealJvm, TheJava2CommandLineIsAcceptedAndSeenByTheApplication)
{
    writeProperties("qel.nl.valid.vm.list=J2\r\n"
                    "qel.nl.java.option.java.heap.size.initial=16m\r\n"
                    "qel.nl.java.option.java.heap.size.max=64m\r\n"
                    "qel.nl.java.option.verbose=gc\r\n"
                    "qel.nl.java.option.additional=-Xss512k \"-Dprobe.text=a b \\u00e9\\u4e2d\"\r\n");
    const WString launcher = installLauncher(app, L"Probe.exe");
    const ProgramRun run = start(launcher, L"\"two words\" \u00e9\u4e2d \"C:\\My Files\\a.txt\" exit:7");
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    // System.exit(7) of the application reaches the launcher's caller.
    EXPECT_EQ(run.exitCode, 7u) << run.standardError;

    const auto seen = observed();
    ASSERT_FALSE(seen.empty()) << run.standardOutput << run.standardError;
    EXPECT_EQ(seen.at("argc"), "4");
    EXPECT_EQ(seen.at("arg.0"), "two words");
    EXPECT_EQ(seen.at("arg.1"), narrow(L"\u00e9\u4e2d"));
    // The launcher doubles the backslashes; the ready main class undoes it.
    EXPECT_EQ(seen.at("arg.2"), "C:\\My Files\\a.txt");
    EXPECT_EQ(seen.at("arg.3"), "exit:7");
    EXPECT_EQ(seen.at("probe.text"), narrow(L"a b \u00e9\u4e2d"));
    const std::string jvmArguments = "|" + seen.at("jvm.arguments") + "|";
    for (const std::string& option :
         {std::string("-Xms16777216"), std::string("-Xmx67108864"), std::string("-verbose:gc"), std::string("-Xss512k"),
          "-Dprobe.text=" + narrow(L"a b \u00e9\u4e2d")}) {
        EXPECT_NE(jvmArguments.find("|" + option + "|"), std::string::npos) << option << " in " << jvmArguments;
    }
    const long long maxHeap = std::stoll(seen.at("max.heap"));
    EXPECT_GT(maxHeap, 0);
    EXPECT_LE(maxHeap, 67108864);
    // Both pieces of the class path, blanks and all, reached the VM.
    EXPECT_NE(seen.at("class.path").find("/Probe/my libs/ravelin-java.jar:"), std::string::npos)
        << seen.at("class.path");
    EXPECT_NE(seen.at("class.path").find("/Probe/my libs/probe.jar"), std::string::npos) << seen.at("class.path");
    // The Java side read the hand-off file and the settings.
    EXPECT_EQ(seen.at("handoff.vm"), narrow(jdk + L"\\bin\\javaw.exe"));
    EXPECT_EQ(seen.at("setting.name"), "Probe");
    // -verbose:gc made the VM report its collector.
    EXPECT_NE(run.standardOutput.find("[gc]"), std::string::npos) << run.standardOutput;
}

// The table of typed arguments, through the launcher's split and rendering, the
// VM's split of its command line and the ready main class's undoubling, as the
// application's main method receives them.
TEST_F(RealJvm, ArgumentsArriveAsTyped)
{
    writeProperties("qel.nl.valid.vm.list=J2\r\n");
    const WString launcher = installLauncher(app, L"Probe.exe");
    const WString startDirectory = dir / L"start";
    writeFile(startDirectory + L"\\" + kTypedArgumentsFile, "x");
    RunOptions options;
    options.currentDirectory = startDirectory;
    const ProgramRun run = start(launcher, typedArgumentsLine(), options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    EXPECT_EQ(observedArguments(), utf8(receivedArguments(startDirectory)));
}

// Random application arguments, every mix of blanks, tabs, quotes, backslashes
// and characters beyond ASCII: the launcher's rendering of them, split by the
// VM's C runtime rules and undoubled by the ready main class, gives each back
// exactly. The VM is started as the launcher starts it, with the rendered tail.
TEST_F(RealJvm, RandomArgumentsComeBackExactly)
{
    writeProperties("qel.nl.valid.vm.list=J2\r\n");
    const WString handoff = dir / L"handoff.tmp";
    writeFile(handoff, "qel.nl.current.vm=" + narrow(forwardSlashes(jdk + L"\\bin\\java.exe")) + "\r\n");
    const WString units[] = {L"a", L" ", L"\t", L"\"", L"\\", L"\\", L"b", L"\u00e9", L"\u4e2d", L"\U0001F600"};
    std::mt19937 random(24);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(units) - 1);
    std::uniform_int_distribution<int> length(0, 8);
    for (int round = 0; round < 3; ++round) {
        LaunchRequest request;
        for (int i = 0; i < 80; ++i) {
            WString argument;
            for (int j = length(random); j > 0; --j) {
                argument += units[pick(random)];
            }
            request.appArgs.push_back(argument);
        }
        RunOptions options;
        options.currentDirectory = app;
        options.commandLine = L"\"" + jdk + L"\\bin\\java.exe\" -cp \"" + app + L"\\my libs\\ravelin-java.jar;" + app +
                              L"\\my libs\\probe.jar\" org.ravelin.launcher.RavelinMain \"" +
                              forwardSlashes(app + L"\\Probe.qel") + L"\" \"" + forwardSlashes(handoff) + L"\" " +
                              buildArgumentTail(request);
        DeleteFileW((app + L"\\observed.txt").c_str());
        const ProgramRun run = start(jdk + L"\\bin\\java.exe", L"", options);
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(run.exitCode, 0u) << run.standardError;
        ASSERT_EQ(observedArguments(), utf8(request.appArgs))
            << "round " << round << ": " << narrow(*options.commandLine);
    }
}

// A windowed VM (javaw.exe, no console) whose ready main class cannot start the
// application: nobody sees its standard error, so the failure shows in a dialog
// titled with the application's name, and the launcher ends with the failure's
// code once the user pressed OK. A Java agent reads and answers the dialog.
TEST_F(RealJvm, WithoutAConsoleAFailureOfTheReadyMainClassShowsInADialog)
{
    copyInto(onDriveZ(QEL_DIALOG_ANSWER_JAR), app + L"\\agent\\answer.jar");
    writeProperties("qel.nl.valid.vm.list=J2\r\n"
                    "qel.application.main.class=probe.ProbeApplication$PrivateMain\r\n"
                    "qel.nl.java.option.additional=-javaagent:agent/answer.jar=dialog.txt\r\n");
    const ProgramRun run = start(installLauncher(app, L"Probe.exe"), L"");
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 6u) << run.standardError;
    EXPECT_EQ(readFile(app + L"\\dialog.txt"),
              "title=Probe\n"
              "text=the application class probe.ProbeApplication$PrivateMain has no main method the java command can "
              "start (main(String[]) is private): it takes the nearest main(String[]), else the nearest main(), "
              "declared or inherited, and starts it when it returns void and is not private\n");
}

TEST_F(RealJvm, TheConsoleTwinsOutputThroughAPipe)
{
    writeProperties("qel.nl.valid.vm.list=J2\r\n");
    const WString twin = installLauncher(app, L"Probe.exe", kConsoleTwin);
    RunOptions options;
    options.outputThroughPipe = true;
    const ProgramRun run = start(twin, L"\"print:hello from Java \u2192 \u4e2d\" exit:3", options);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 3u) << run.standardError;
    EXPECT_NE(run.standardOutput.find(narrow(L"hello from Java \u2192 \u4e2d\n")), std::string::npos)
        << run.standardOutput;
    EXPECT_EQ(observed().at("arg.0"), narrow(L"print:hello from Java \u2192 \u4e2d"));
}

// Under Wine's service manager, with qel.service.stop.timeout: a stop writes the
// stop line to the VM's standard input, the ready main class ends the VM with
// System.exit(0), and the application's shutdown hook runs.
TEST_F(RealJvm, AServiceStopLineRunsTheApplicationsShutdownHook)
{
    skipUnlessMachineMayChange();
    if (IsSkipped()) {
        return;
    }
    // A service process does not get the test's environment: the VM is named.
    writeProperties("qel.nl.valid.vm.list=J2\r\n"
                    "qel.nl.current.vm=" +
                    escaped(jdk + L"\\bin\\javaw.exe") + "\r\nqel.service.stop.timeout=60\r\n");
    const WString launcher = installLauncher(app, L"Probe.exe");
    TestService service;
    const WString name = uniqueServiceName(L"QelRealJvm");
    ASSERT_EQ(service.create(name, serviceCommandLine(launcher, name, L"stop-hook")), 0u);
    ASSERT_EQ(service.start(), 0u);
    ASSERT_TRUE(service.waitForState(SERVICE_RUNNING)) << serviceStateName(service.lastStatus().dwCurrentState);
    // The application runs once it has written what it observed.
    const WString observations = app + L"\\observed.txt";
    for (int waited = 0; waited < 30000 && GetFileAttributesW(observations.c_str()) == INVALID_FILE_ATTRIBUTES;
         waited += 50) {
        Sleep(50);
    }
    ASSERT_NE(GetFileAttributesW(observations.c_str()), INVALID_FILE_ATTRIBUTES) << "the application did not start";
    EXPECT_EQ(observed().at("arg.0"), "stop-hook");
    EXPECT_EQ(GetFileAttributesW((app + L"\\stopped.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    const ControlResult stop = service.control(SERVICE_CONTROL_STOP);
    ASSERT_TRUE(stop.success) << stop.error;
    ASSERT_TRUE(service.waitForState(SERVICE_STOPPED));
    EXPECT_EQ(service.lastStatus().dwWin32ExitCode, 0u);
    EXPECT_EQ(readFile(app + L"\\stopped.txt"), "stopped by the stop line\n");
    service.remove();
}

// With qel.single.instance=true, the application registers a listener through
// the Java side library; a second start of the windowed launcher runs no VM and
// hands its arguments to the first launcher, which passes them to the listener
// exactly as typed. A third start's exit:9 makes the listener end the
// application, and the first launcher with it.
TEST_F(RealJvm, ASecondStartsArgumentsReachTheApplicationsListener)
{
    writeProperties("qel.nl.valid.vm.list=J2\r\nqel.single.instance=true\r\n");
    const WString launcher = installLauncher(app, L"Probe.exe");
    const WString firstTrace = dir / L"first-trace.txt";
    const UniqueHandle first = startInBackground(launcher, L"second-starts", firstTrace);
    ASSERT_TRUE(first);
    const EndsApplication atEnd{*this, launcher, first.get()};
    ASSERT_TRUE(awaitFile(app + L"\\listening.txt")) << "the application did not register: " << readFile(firstTrace);

    const WString secondTrace = dir / L"second-trace.txt";
    RunOptions options;
    options.environment.emplace_back(L"QEL_TRACE", secondTrace);
    const ProgramRun second = start(launcher, L"\"two words\" \u00e9\u4e2d \"C:\\My Files\\a.txt\" \"\"", options);
    ASSERT_FALSE(second.timedOut);
    EXPECT_TRUE(second.boxes.empty()) << narrow(second.boxes[0].text);
    EXPECT_EQ(second.exitCode, 0u) << second.standardError;
    EXPECT_NE(readFile(secondTrace)
                  .find("arguments handed over to the first launcher, whose application's listener "
                        "has them"),
              std::string::npos)
        << readFile(secondTrace);
    ASSERT_TRUE(awaitFile(app + L"\\second-starts.txt")) << readFile(firstTrace);
    EXPECT_EQ(observedArguments(L"second-starts.txt", "start.0."),
              (std::vector<std::string>{"two words", narrow(L"\u00e9\u4e2d"), "C:\\My Files\\a.txt", ""}));

    const ProgramRun third = start(launcher, L"exit:9");
    EXPECT_EQ(third.exitCode, 0u) << third.standardError;
    ASSERT_EQ(WaitForSingleObject(first.get(), 60000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD exitCode = 0;
    GetExitCodeProcess(first.get(), &exitCode);
    EXPECT_EQ(exitCode, 9u);
    EXPECT_EQ(observedArguments(L"second-starts.txt", "start.1."), std::vector<std::string>{"exit:9"});
    // The first start's own arguments reached main as ever.
    EXPECT_EQ(observedArguments(), std::vector<std::string>{"second-starts"});
}

// A second start that comes before the application registers its listener:
// the first launcher keeps its arguments, tells the second start so (which ends
// with 0), and passes them to the listener as soon as it registers.
TEST_F(RealJvm, ASecondStartBeforeTheListenerReachesItWhenItRegisters)
{
    writeProperties("qel.nl.valid.vm.list=J2\r\nqel.single.instance=true\r\n");
    const WString launcher = installLauncher(app, L"Probe.exe");
    const WString firstTrace = dir / L"first-trace.txt";
    const UniqueHandle first = startInBackground(launcher, L"second-starts-after:register.txt", firstTrace);
    ASSERT_TRUE(first);
    const EndsApplication atEnd{*this, launcher, first.get()};
    ASSERT_TRUE(awaitFile(app + L"\\waiting.txt")) << "the application did not start: " << readFile(firstTrace);

    const WString secondTrace = dir / L"second-trace.txt";
    RunOptions options;
    options.environment.emplace_back(L"QEL_TRACE", secondTrace);
    const ProgramRun second = start(launcher, L"early \"a b\"", options);
    ASSERT_FALSE(second.timedOut);
    EXPECT_EQ(second.exitCode, 0u) << second.standardError;
    EXPECT_NE(readFile(secondTrace).find("which keeps them until its application registers a listener"),
              std::string::npos)
        << readFile(secondTrace);

    writeFile(app + L"\\register.txt", "now");
    ASSERT_TRUE(awaitFile(app + L"\\second-starts.txt")) << readFile(firstTrace);
    EXPECT_EQ(observedArguments(L"second-starts.txt", "start.0."), (std::vector<std::string>{"early", "a b"}));
    EXPECT_NE(readFile(firstTrace).find("kept until the application registered its listener, went to it: \"early\" "
                                        "\"a b\""),
              std::string::npos)
        << readFile(firstTrace);
}
