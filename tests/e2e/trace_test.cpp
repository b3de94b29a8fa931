// The trace a user sends when the launcher does not find their Java: with
// QEL_TRACE naming a file, what the launcher did and why, in order.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "support/machine_guard.h"
#include "support/shared_cases.h"
#include "support/standin_launch.h"

using namespace qel;
using namespace qel::test;

namespace {

using TraceRun = StandinLaunch;

// Runs that write the registry's Java keys start and end with none of them.
using TracedMachine = ClearedKeys<StandinLaunch, removeJavaKeys>;

// The position of each text in the trace, in the order given; npos for one not
// found after the one before it.
std::vector<std::size_t> positionsInOrder(const std::string& trace, const std::vector<std::string>& texts)
{
    std::vector<std::size_t> positions;
    std::size_t from = 0;
    for (const auto& text : texts) {
        const std::size_t at = trace.find(text, from);
        positions.push_back(at);
        if (at != std::string::npos) {
            from = at + text.size();
        }
    }
    return positions;
}

// The Java program gets paths with forward slashes; the trace has them as they are.
std::string backslashes(std::string path)
{
    for (char& unit : path) {
        unit = unit == '/' ? '\\' : unit;
    }
    return path;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A trace with what differs from run to run replaced by placeholders: the
// milliseconds, the time of the run, the launcher's and the Windows version,
// the test's directory ({dir}) and the hand-off file's number; without blanks
// at the ends of lines.
std::string normalizedTrace(std::string trace, const WString& dir)
{
    trace = replaceAll(trace, narrow(dir), "{dir}");
    trace = replaceAll(trace, narrow(forwardSlashes(dir)), "{dir}");
    const std::pair<const char*, const char*> patterns[] = {
        {R"(\[[0-9]+\.[0-9] ms\])", "[{ms}]"},
        {R"(took [0-9]+\.[0-9] ms)", "took {ms} ms"},
        {R"(launcher [0-9.]+ \(64-bit\), started [0-9: -]+ local time)",
         "launcher {version} (64-bit), started {time} local time"},
        {R"(Windows [0-9]+\.[0-9]+ build [0-9]+)", "Windows {version}"},
        {R"(qel[0-9a-f]+\.tmp)", "qel{hex}.tmp"},
        {R"( +\n)", "\n"},
    };
    for (const auto& [pattern, placeholder] : patterns) {
        trace = std::regex_replace(trace, std::regex(pattern), placeholder);
    }
    return trace;
}

// The lines of an expected trace, without its comment lines, each ended by a
// line feed.
std::string expectedTrace(const std::string& file)
{
    std::string text;
    for (std::size_t start = 0; start < file.size();) {
        std::size_t end = file.find('\n', start);
        end = end == std::string::npos ? file.size() : end;
        std::string line = file.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind('#', 0) != 0) {
            text += line + "\n";
        }
        start = end + 1;
    }
    return text;
}

// The system's text for a Windows error, on one line.
WString systemTextOf(unsigned long error)
{
    wchar_t text[512];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, 512, nullptr);
    WString line(text, length);
    while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n' || line.back() == L' ')) {
        line.pop_back();
    }
    EXPECT_FALSE(line.empty()) << "no system text for error " << error;
    return line;
}

}  // namespace

// What a user reads when the wrong Java starts: the trace of a machine with
// several runtimes, whole, against tests/cases/trace_machine.txt. Between them
// the machine holds a registered release whose key lacks MicroVersion, a
// program without version information, a runtime on Path twice (java.exe and
// javaw.exe), a quoted Path entry, a Path directory that does not exist and an
// empty one, a runtime registered twice and JAVA_HOME naming a kit found before.
TEST_F(TracedMachine, AMachineWithSeveralRuntimes)
{
    if (IsSkipped()) {
        return;
    }
    vms.program(L"jre8\\bin\\java.exe", standin::kJava8_0_4010_9)
        .program(L"jre-17\\bin\\java.exe", standin::kJava17_0_12_0)
        .program(L"old\\bin\\java.exe", standin::kUnversioned)
        .program(L"jdk 21\\bin\\java.exe", standin::kJava21_0_4_0)
        .program(L"jdk 21\\bin\\javaw.exe", standin::kJava21_0_4_0)
        .file(L"jdk 21\\bin\\javac.exe")
        .program(L"jre-25\\bin\\java.exe", standin::kJava25_0_1_0)
        .directory(L"empty");
    const WString runtimes = L"SOFTWARE\\JavaSoft\\Java Runtime Environment";
    setRegistryString(RegistryHive::LocalMachine, RegistryView::Wow32, runtimes + L"\\1.8", L"MicroVersion", L"0");
    setRegistryString(RegistryHive::LocalMachine, RegistryView::Wow32, runtimes + L"\\1.8", L"JavaHome", vms / L"jre8");
    setRegistryString(RegistryHive::LocalMachine, RegistryView::Wow32, runtimes + L"\\17", L"JavaHome",
                      vms / L"jre-17");
    setRegistryString(RegistryHive::LocalMachine, RegistryView::Native,
                      L"SOFTWARE\\Eclipse Adoptium\\JRE\\25.0.1.8\\hotspot\\MSI", L"Path", vms / L"jre-25");
    writeProperties("qel.nl.valid.vm.list=JRE_17+ 1.8*\r\n");
    const WString traceFile = dir / L"trace.txt";
    const WString temp = dir / L"temp";
    makeDirectories(temp);
    RunOptions options;
    options.environment = {
        {L"QEL_TRACE", traceFile},
        {L"TMP", temp},
        {L"TEMP", temp},
        {L"JAVA_HOME", vms / L"jdk 21"},
        // Path as a user may write it: cmd takes the quoted directory too.
        {L"PATH", vms / L"old\\bin;\"" + vms / L"jdk 21\\bin\";" + vms / L"gone;" + vms / L"empty"},
        {L"QEL_STANDIN_RECORD", recordFile},
        {L"CLASSPATH", L""},
    };
    const ProgramRun run = runProgram(launcher, options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    EXPECT_EQ(onlyRecord(run).modulePath, vms / L"jre-25\\bin\\java.exe");

    const std::string trace = normalizedTrace(readFile(traceFile), dir.path());
    EXPECT_EQ(trace, expectedTrace(caseFileText("trace_machine.txt")));
    // Short enough to read cold: a line for each place that held something,
    // each VM described once.
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 58);
}

TEST_F(TraceRun, ASearchFromTheCandidatesToTheExitCode)
{
    vms.program(L"old\\bin\\java.exe", standin::kSun1_3_10_0).program(L"new\\bin\\java.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.valid.vm.list=JDK J2\r\n");
    const WString traceFile = dir / L"trace.txt";
    RunOptions options;
    options.environment.emplace_back(L"QEL_TRACE", traceFile);
    options.environment.emplace_back(L"PATH", vms / L"old\\bin;" + vms / L"new\\bin");
    options.environment.emplace_back(L"QEL_STANDIN_RECORD", recordFile);
    options.environment.emplace_back(L"QEL_STANDIN_EXIT", L"3");
    const ProgramRun run = runProgram(launcher, options);
    ASSERT_TRUE(run.boxes.empty());
    ASSERT_EQ(run.exitCode, 3u);
    const StandinRecord record = onlyRecord(run);

    const std::string trace = readFile(traceFile);
    const std::string newHome = narrow(vms / L"new");
    const std::vector<std::string> expected = {
        "command line: ",
        "phase settings begins",
        "properties file candidate " + narrow(app + L"\\Tool.qel") + ": taken",
        "phase settings took ",
        "acceptable-VM list: \"JDK J2\"",
        "no VM named after QEL_VM or in qel.nl.current.vm: searching the installed VMs",
        "JavaSoft kits: nothing registered",
        "Path: 2 directories",
        "found VM 1 in " + narrow(vms / L"old\\bin\\java.exe") + ": home " + narrow(vms / L"old") +
            ", version 1.3.1, family J2, kind JRE, vendor class Sun (company \"Example Java Works\")\n",
        "found VM 2 in " + narrow(vms / L"new\\bin\\java.exe") + ": home " + newHome +
            ", version 1.4.2_05, family J2, kind JRE, vendor class Sun (company \"Example Java Works\")\n",
        "inventory, lowest version first: VM 1 (1.3.1), VM 2 (1.4.2_05)\n",
        "token JDK accepts none\n",
        "token JDK rejects VM 1: kind JRE, the token asks for JDK\n",
        "token JDK rejects VM 2: kind JRE, the token asks for JDK\n",
        "token J2 accepts VM 1, VM 2\n",
        "chosen: VM 2 (" + newHome + ", version 1.4.2_05): the highest version a token accepts\n",
        "phase selection took ",
        "program of the chosen VM: " + narrow(vms / L"new\\bin\\java.exe"),
        "hand-off file: " + backslashes(narrow(handoffOf(record, record.args.size() - 1))),
        "working directory: " + narrow(app),
        "command line: " + narrow(record.commandLine),
        "phase launch took ",
        "phase wait took ",
        "exit code of the VM: 3",
        "phase end took ",
    };
    const auto positions = positionsInOrder(trace, expected);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NE(positions[i], std::string::npos) << "missing or out of order: " << expected[i] << "\n" << trace;
    }
    // Each line begins with the milliseconds since the start.
    EXPECT_EQ(trace.rfind("[", 0), 0u);
}

TEST_F(TraceRun, ATraceThatCannotBeWrittenNeverStopsTheLaunch)
{
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\java.exe") + "\r\nqel.nl.valid.vm.list=J2\r\n");
    makeDirectories(dir / L"a directory");
    for (const WString& target : {dir / L"a directory", dir / L"missing\\trace.txt"}) {
        DeleteFileW(recordFile.c_str());
        RunOptions options;
        options.environment.emplace_back(L"QEL_TRACE", target);
        const ProgramRun run = start(L"", L"5", options);
        EXPECT_TRUE(run.boxes.empty()) << narrow(target);
        EXPECT_EQ(run.exitCode, 5u) << narrow(target);
        onlyRecord(run);
    }
    EXPECT_EQ(GetFileAttributesW((dir / L"missing").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TraceRun, TheErrorShownIsOneLineOfTheTrace)
{
    // No VM of release 99 anywhere: the box's two paragraphs are one line of
    // the trace, and the next line is the trace's own.
    writeProperties("qel.nl.valid.vm.list=99+\r\n");
    const WString traceFile = dir / L"trace.txt";
    RunOptions options;
    options.environment.emplace_back(L"QEL_TRACE", traceFile);
    const ProgramRun run = start(L"", L"0", options);
    ASSERT_EQ(run.boxes.size(), 1u);
    ASSERT_EQ(run.boxes[0].text, kEnglishNoVm);
    const std::string trace = readFile(traceFile);
    EXPECT_NE(trace.find("] error: Could not find a valid Java virtual machine to load. You may need to reinstall a "
                         "supported Java virtual machine.\n[",
                         0),
              std::string::npos)
        << trace;
}

TEST_F(TraceRun, WhatAUserNeedsWhenTheWrongJavaStarts)
{
    // A runtime of another maker on Path, a kit the list refuses, a token of no
    // known form, and a registered runtime whose programs were removed.
    skipUnlessMachineMayChange();
    if (IsSkipped()) {
        return;
    }
    removeJavaKeys();
    vms.program(L"tav\\bin\\java.exe", standin::kTav1_4_2_0)
        .program(L"kit\\bin\\java.exe", standin::kSun1_4_20_5)
        .file(L"kit\\bin\\javac.exe")
        .directory(L"hollow");
    const WString runtimeKey = L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\17";
    setRegistryString(RegistryHive::LocalMachine, RegistryView::Wow32, runtimeKey, L"MicroVersion", L"0");
    setRegistryString(RegistryHive::LocalMachine, RegistryView::Wow32, runtimeKey, L"JavaHome", vms / L"hollow");
    writeProperties("qel.nl.valid.vm.list=JRE 17-21 J2,JRE\r\n");
    const WString traceFile = dir / L"trace.txt";
    RunOptions options;
    options.environment.emplace_back(L"QEL_TRACE", traceFile);
    options.environment.emplace_back(L"PATH", vms / L"tav\\bin;" + vms / L"kit\\bin;" + dir.path());
    options.environment.emplace_back(L"QEL_STANDIN_RECORD", recordFile);
    options.environment.emplace_back(L"JAVA_HOME", L"");
    const ProgramRun run = runProgram(launcher, options);
    removeJavaKeys();
    // The start fails (Windows error 2) after the trace said why.
    ASSERT_EQ(run.boxes.size(), 1u);
    const std::string trace = readFile(traceFile);
    const std::vector<std::string> expected = {
        "ravelin launcher 1.",
        "-bit), started ",
        "Windows ",
        "executable file: " + narrow(app + L"\\Tool.exe"),
        "command line: ",
        "properties file: " + narrow(app + L"\\Tool.qel"),
        "token 17-21: not a named token or a version pattern; read as the version pattern \"17-21\", which accepts "
        "any update of 17.0",
        "token J2,JRE: not a named token or a version pattern",
        "JavaSoft kits: nothing registered",
        // The key's version is all there is of a runtime without programs.
        "found VM 1 in registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\17: home " +
            narrow(vms / L"hollow") + ", version 17.0.0 (from its key: bin\\java.exe does not exist), family J2",
        "directory " + narrow(vms / L"tav\\bin") + ": java.exe\n",
        // The vendor class of the rules, beside the company read.
        "found VM 2 in " + narrow(vms / L"tav\\bin\\java.exe") + ": home " + narrow(vms / L"tav") +
            ", version 1.4.2, family J2, kind JRE, vendor class Tav (company \"tAV Systems Corporation\")\n",
        "found VM 3 in " + narrow(vms / L"kit\\bin\\java.exe") + ": home " + narrow(vms / L"kit") +
            ", version 1.4.2_05, family J2, kind JDK, vendor class Sun (company \"Example Java Works\")\n",
        "directory " + narrow(dir.path()) + ": no Java program\n",
        "installations of today's installers: 54 registry places searched",
        "  registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\* (32-bit view), value JavaHome: 1 home\n",
        "skipped " + narrow(vms / L"hollow") +
            " from registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\17 (32-bit view): listed already as VM "
            "1\n",
        "  nothing in the other 53\n",
        "JAVA_HOME: not set\n",
        "token JRE rejects VM 3: kind JDK, the token asks for JRE\n",
        "token 17-21 rejects VM 2: version 1.4.2 is not any update of 17.0\n",
        "chosen: VM 1 (" + narrow(vms / L"hollow") + ", version 17.0.0): the highest version a token accepts\n",
        "the program " + narrow(vms / L"hollow\\bin\\java.exe") +
            " does not exist: the chosen installation lacks it, and starting the VM will fail",
        // A Windows error with its meaning, and the program it was met with.
        "the VM process cannot be created from " + narrow(vms / L"hollow\\bin\\java.exe") + ": Windows error 2 (" +
            narrow(systemTextOf(2)) + ")\n",
        "error: " + narrow(run.boxes[0].text) + "\n",
    };
    const auto positions = positionsInOrder(trace, expected);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NE(positions[i], std::string::npos) << "missing or out of order: " << expected[i] << "\n" << trace;
    }
}
