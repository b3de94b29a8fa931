// The first half of reading the hand-off file with a real Java runtime: a
// launcher run under the test's variables, the stand-in VM's copy of the
// hand-off file it wrote (the launcher deletes its own once the VM has ended)
// and the list of what it was given, both left in a directory of the build tree
// for the Java check (tests/java/HandoffCheck.java) that CTest runs next.

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

// Names in every letter case, with letters beyond ASCII, blanks, separators,
// comment characters and control characters; values with backslashes (one
// before "u"), line breaks that would make lines of their own, separators,
// leading and trailing blanks, control characters, letters beyond 16 bits and
// references to expand.
struct Variable {
    WString name;
    WString value;
    WString expanded;  // what the Java side must read
};

const Variable kVariables[] = {
    {L"qel_j_lower", L"plain value", L"plain value"},
    {L"QEL_J_PATHS", L"C:\\Program Files\\x;\\\\server\\share\\u1", L"C:\\Program Files\\x;\\\\server\\share\\u1"},
    {L"Qel_J_Separators", L"a=b:c#d!e \t  ", L"a=b:c#d!e \t  "},
    {L"Qel_J_\u00e9\u00c9\U0001F600", L"caf\u00e9 \U0001F600 \u65e5\u672c", L"caf\u00e9 \U0001F600 \u65e5\u672c"},
    {L"QEL_J_REF", L"%qel_j_separators%;%QEL_J_UNDEFINED%", L"a=b:c#d!e \t  ;%QEL_J_UNDEFINED%"},
    {L"QEL_J_FORGE", L"a\nqel.nl.current.vm=C:\\evil.exe\nqel.control-key=true",
     L"a\nqel.nl.current.vm=C:\\evil.exe\nqel.control-key=true"},
    {L"QEL_J_BREAKS", L"\rcut\r\nlone\n\f\x01\x1b\x7f end\\", L"\rcut\r\nlone\n\f\x01\x1b\x7f end\\"},
    {L"QEL_J_BLANKS", L"  lead and trail  ", L"  lead and trail  "},
    {L"Qel J:Name#!x", L"=:#!", L"=:#!"},
    {L"Qel_J_\tTab\x02\\", L"#comment? no", L"#comment? no"},
};

// The units of a text as hexadecimal digits, four per unit.
std::string hexUnits(const WString& text)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const wchar_t unit : text) {
        for (int shift = 12; shift >= 0; shift -= 4) {
            hex.push_back(digits[(static_cast<unsigned>(unit) >> shift) & 0xF]);
        }
    }
    return hex;
}

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
    options.environment.emplace_back(L"QEL_STANDIN_HANDOFF_COPY", copy);
    const ProgramRun run = start(L"", L"0", options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    const StandinRecord record = onlyRecord(run);
    ASSERT_FALSE(record.args.empty());
    ASSERT_NE(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES) << "the stand-in made no copy";

    std::string expected = hexUnits(program) + "\n";
    for (const auto& variable : kVariables) {
        expected += hexUnits(variable.name) + " " + hexUnits(variable.expanded) + "\n";
    }
    writeFile(expectedFile, expected);
}
