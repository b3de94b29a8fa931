// The first half of the Java side's end-to-end run: the launcher under Wine
// starts a stand-in VM with the ready main class of the Java side. Everything
// happens in a directory of the build tree (Z:\ and its Unix path here), so the
// launcher's two arguments name files that the second half, on this machine's
// own JVM (java_side.run_on_native_vm), reaches by the same paths without the
// drive. This half leaves there: the properties file, the hand-off file (the
// launcher's temporary directory is there too; the run is traced, so the
// launcher keeps the file), and arguments.txt, the VM's
// arguments after the main class, one UTF-8 line each.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/launcher_run.h"
#include "support/standin_record.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

namespace {

WString forwardSlashes(WString path)
{
    for (auto& unit : path) {
        if (unit == L'\\') {
            unit = L'/';
        }
    }
    return path;
}

// A path in the properties file: a backslash before "u" would start an escape.
std::string escaped(const WString& path)
{
    std::string result;
    for (const char unit : narrow(path)) {
        result += unit == '\\' ? std::string("\\\\") : std::string(1, unit);
    }
    return result;
}

}  // namespace

TEST(JavaSideCapture, TheLauncherStartsTheReadyMainClassWithItsTwoArguments)
{
    const WString run = onDriveZ(QEL_HANDOFF_RUN_DIR);
    removeTree(run);
    const WString app = run + L"\\Shop Floor";
    const WString temp = run + L"\\temp";
    const WString vm = run + L"\\vm\\jre\\bin\\java.exe";
    const WString record = run + L"\\record.txt";
    makeDirectories(temp);
    installStandIn(standin::kSun1_4_20_5, vm);
    const WString launcher = installLauncher(app, L"Tool.exe");
    writeFile(app + L"\\Tool.qel", "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\r\n"
                                   "qel.application.main.class=org.ravelin.launcher.testapp.RecordingApplication\r\n"
                                   "qel.class.path=lib/ravelin-java.jar\r\n"
                                   "qel.nl.current.vm=" +
                                       escaped(vm) +
                                       "\r\n"
                                       "qel.nl.valid.vm.list=J2\r\n"
                                       "qel.stdout.redirect=output.txt\r\n"
                                       "greeting=caf\\u00e9\r\n");

    RunOptions options;
    // A share, and folders whose backslash ends the argument, with and without
    // blanks (none of them exists, so each reaches the VM as typed).
    options.arguments = L"-open \"C:\\My Files\\a.txt\" caf\u00e9 \"two  words\" \\\\server\\share\\x "
                        L"C:\\No\\Dir\\ \"C:\\No Such\\Dir\\\"";
    options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"},
                           {L"TMP", temp},
                           {L"TEMP", temp},
                           {L"QEL_STANDIN_RECORD", record},
                           // With a trace the launcher keeps the hand-off file
                           // for the second half, which reads it after the run.
                           {L"QEL_TRACE", run + L"\\trace.txt"},
                           {L"Ravelin_Side", L"caf\u00e9 C:\\dir"}};
    const ProgramRun result = runProgram(launcher, options);
    ASSERT_FALSE(result.timedOut);
    ASSERT_TRUE(result.boxes.empty()) << narrow(result.boxes[0].text);
    EXPECT_EQ(result.exitCode, 0u) << result.standardError;

    const auto records = readStandinRecords(record);
    ASSERT_EQ(records.size(), 1u) << result.standardError;
    const std::vector<WString>& args = records[0].args;
    std::size_t mainClass = 0;
    while (mainClass < args.size() && args[mainClass] != L"org.ravelin.launcher.RavelinMain") {
        ++mainClass;
    }
    ASSERT_LT(mainClass + 2, args.size()) << narrow(records[0].commandLine);
    const std::vector<WString> after(args.begin() + static_cast<std::ptrdiff_t>(mainClass) + 1, args.end());

    // The launcher's two arguments: the properties file, then a new hand-off file
    // in the temporary directory, both with forward slashes.
    EXPECT_EQ(after[0], forwardSlashes(app + L"\\Tool.qel"));
    const WString handoffPrefix = forwardSlashes(temp + L"\\qel");
    EXPECT_EQ(after[1].rfind(handoffPrefix, 0), 0u) << narrow(after[1]);
    EXPECT_EQ(after[1].substr(after[1].size() - 4), L".tmp");
    EXPECT_EQ(readFile(after[1]).rfind("qel.nl.current.vm=" + escaped(vm) + "\r\n", 0), 0u);
    // The application's as typed, blanks inside quotes kept, every backslash
    // doubled (also before the closing quote of an argument in quotes).
    EXPECT_EQ(std::vector<WString>(after.begin() + 2, after.end()),
              (std::vector<WString>{L"-open", L"C:\\\\My Files\\\\a.txt", L"caf\u00e9", L"two  words",
                                    L"\\\\\\\\server\\\\share\\\\x", L"C:\\\\No\\\\Dir\\\\",
                                    L"C:\\\\No Such\\\\Dir\\\\"}));

    std::string lines;
    for (const WString& argument : after) {
        ASSERT_EQ(argument.find_first_of(L"\r\n"), WString::npos);
        lines += narrow(argument) + "\n";
    }
    writeFile(run + L"\\arguments.txt", lines);
}
