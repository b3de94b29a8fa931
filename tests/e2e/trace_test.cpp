// The trace a user sends when the launcher does not find their Java: with
// QEL_TRACE naming a file, what the launcher did and why, in order.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/machine_guard.h"
#include "support/standin_launch.h"

using namespace qel;
using namespace qel::test;

namespace {

using TraceRun = StandinLaunch;

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
        "no named program exists: searching the installed VMs",
        "source JavaSoft kits: 0 releases registered",
        "source Path: 2 directories",
        "found " + narrow(vms / L"old\\bin\\java.exe") + ": " + narrow(vms / L"old") +
            " (version 1.3.1, family J2, kind JRE, vendor Sun, company \"Example Java Works\", source Path)",
        "found " + narrow(vms / L"new\\bin\\java.exe") + ": " + newHome +
            " (version 1.4.2_05, family J2, kind JRE, vendor Sun, company \"Example Java Works\", source Path)",
        "inventory: 2 VMs, lowest version first",
        "token JDK rejects " + narrow(vms / L"old"),
        "token JDK rejects " + newHome,
        "token J2 accepts " + narrow(vms / L"old"),
        "token J2 accepts " + newHome,
        "chosen: " + newHome + " (version 1.4.2_05",
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
        "source JavaSoft kits: 0 releases registered",
        "Path directory " + narrow(vms / L"tav\\bin") + ": java.exe",
        "Path directory " + narrow(dir.path()) + ": nothing",
        "source installations of today: 1 homes",
        "searched registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\* (32-bit view), value JavaHome: 1 home",
        "searched registry HKLM\\SOFTWARE\\BellSoft\\Liberica\\* (32-bit view), value InstallationPath: nothing",
        "searched registry HKCU\\SOFTWARE\\BellSoft\\Liberica\\*, value InstallationPath: nothing",
        "source JAVA_HOME: not set",
        "vendor Tav, company \"tAV Systems Corporation\"",
        "token JRE rejects " + narrow(vms / L"kit") +
            " (version 1.4.2_05, family J2, kind JDK, vendor Sun, company "
            "\"Example Java Works\", source Path): kind JDK, the token asks for JRE",
        "token 17-21 rejects " + narrow(vms / L"tav"),
        "): version 1.4.2 is not any update of 17.0",
        "chosen: " + narrow(vms / L"hollow") + " (version 17.0.0",
        "the program " + narrow(vms / L"hollow\\bin\\java.exe") +
            " does not exist: the chosen installation lacks it, and starting the VM will fail",
        // A Windows error with its meaning, and the program it was met with.
        "the VM process cannot be created from " + narrow(vms / L"hollow\\bin\\java.exe") + ": Windows error 2 (" +
            narrow(systemTextOf(2)) + ")\n",
    };
    const auto positions = positionsInOrder(trace, expected);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NE(positions[i], std::string::npos) << "missing or out of order: " << expected[i] << "\n" << trace;
    }
}
