// The first half of reading the hand-off file with a real Java runtime: a
// launcher run under the test's variables, then a copy of the hand-off file it
// wrote and the list of what it was given, both left in a directory of the build
// tree for the Java check (tests/java/HandoffCheck.java) that CTest runs next.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/standin_launch.h"

using namespace qel;
using namespace qel::test;

namespace {

// The directory of the build tree both halves use (QEL_JAVA_HANDOFF_DIR), as a
// Windows path: a Unix path is reached through drive Z:.
WString exchangeDirectory()
{
    const std::string configured = QEL_JAVA_HANDOFF_DIR;
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, configured.data(), static_cast<int>(configured.size()), nullptr, 0);
    WString path(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, configured.data(), static_cast<int>(configured.size()), path.data(), units);
    if (!path.empty() && path[0] == L'/') {
        path = L"Z:" + path;
    }
    for (auto& unit : path) {
        if (unit == L'/') {
            unit = L'\\';
        }
    }
    return path;
}

// Names in every letter case and with letters beyond ASCII; values with
// backslashes (one before "u"), separators, trailing blanks, letters beyond 16
// bits and references to expand.
struct Variable {
    WString name;
    WString value;
    WString expanded;  // what the Java side must read
};

const Variable kVariables[] = {
    {L"qel_j_lower", L"plain value", L"plain value"},
    {L"QEL_J_PATHS", L"C:\\Program Files\\x;\\\\server\\share\\u1", L"C:\\Program Files\\x;\\\\server\\share\\u1"},
    {L"Qel_J_Separators", L"a=b:c#d!e \t  ", L"a=b:c#d!e \t  "},
    {L"Qel_J_\u00e9\U0001F600", L"caf\u00e9 \U0001F600 \u65e5\u672c", L"caf\u00e9 \U0001F600 \u65e5\u672c"},
    {L"QEL_J_REF", L"%qel_j_separators%;%QEL_J_UNDEFINED%", L"a=b:c#d!e \t  ;%QEL_J_UNDEFINED%"},
};

using HandoffForJava = StandinLaunch;

}  // namespace

TEST_F(HandoffForJava, CopyAndExpectedValues)
{
    const WString exchange = exchangeDirectory();
    const WString copy = exchange + L"\\handoff.properties";
    const WString expectedFile = exchange + L"\\expected.txt";
    makeDirectories(exchange);
    // What an earlier run left must not pass for this run's.
    DeleteFileW(copy.c_str());
    DeleteFileW(expectedFile.c_str());

    const WString program = vms / L"jre\\bin\\java.exe";
    vms.program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    writeProperties("qel.nl.current.vm=" + escaped(program) + "\r\nqel.nl.valid.vm.list=J2\r\n");
    RunOptions options;
    for (const auto& variable : kVariables) {
        options.environment.emplace_back(variable.name, variable.value);
    }
    const ProgramRun run = start(L"", L"0", options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    const StandinRecord record = onlyRecord(run);
    ASSERT_FALSE(record.args.empty());
    const WString handoff = record.args.back();

    ASSERT_TRUE(CopyFileW(handoff.c_str(), copy.c_str(), FALSE)) << narrow(handoff) << " " << GetLastError();
    DeleteFileW(handoff.c_str());
    std::string expected = narrow(program) + "\n";
    for (const auto& variable : kVariables) {
        expected += narrow(variable.name) + "=" + narrow(variable.expanded) + "\n";
    }
    writeFile(expectedFile, expected);
}
