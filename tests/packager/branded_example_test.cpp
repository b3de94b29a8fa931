// The example application run through its own launcher: the windowed launcher
// branded by the packager at build time as Hello.exe (tests/CMakeLists.txt:
// its product name, version and icon), set up as the release lays the example
// out (Hello.qel beside it, the Java side and the application's jar in lib\,
// logs\ for its redirect), with this machine's JVM behind the bridge as the
// private runtime jre\bin\javaw.exe that Hello.qel names. Branding must leave
// the launcher working: the application runs as from the release archive, and
// the program that ran carries the branded version information.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/launcher_run.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

namespace {

void copyInto(const WString& source, const WString& target)
{
    makeDirectories(target.substr(0, target.rfind(L'\\')));
    ASSERT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE)) << narrow(source) << " " << GetLastError();
}

// The value of a string of the version information's US English block.
WString versionString(std::vector<unsigned char>& data, const WString& key)
{
    wchar_t* text = nullptr;
    UINT length = 0;
    const WString path = L"\\StringFileInfo\\040904b0\\" + key;
    if (!VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) {
        return L"(missing)";
    }
    return WString(text, length > 0 && text[length - 1] == 0 ? length - 1 : length);
}

}  // namespace

TEST(BrandedExample, TheExampleRunsThroughItsOwnLauncher)
{
    TempDir dir;
    const WString example = dir / L"Hello";
    const WString launcher = installLauncher(example, L"Hello.exe", L"branded\\Hello.exe");
    copyInto(onDriveZ(QEL_EXAMPLE_DIR "/Hello.qel"), example + L"\\Hello.qel");
    copyInto(onDriveZ(QEL_EXAMPLE_JAR), example + L"\\lib\\hello.jar");
    copyInto(onDriveZ(QEL_RAVELIN_JAR), example + L"\\lib\\ravelin-java.jar");
    makeDirectories(example + L"\\logs");
    installStandIn(L"jvm_bridge.exe", example + L"\\jre\\bin\\java.exe");
    installStandIn(L"jvm_bridge.exe", example + L"\\jre\\bin\\javaw.exe");

    RunOptions options;
    options.arguments = L"\"C:\\My Files\\report.txt\" --verbose";
    options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"CLASSPATH", L""}};
    const ProgramRun run = runProgram(launcher, options);

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
    EXPECT_NE(readFile(example + L"\\logs\\hello.log").find("Hello wrote this line to its standard error"),
              std::string::npos);

    // The program that ran is the example's own: its version information is
    // the branded one, not the launcher's.
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(launcher.c_str(), &ignored);
    ASSERT_NE(size, 0u) << GetLastError();
    std::vector<unsigned char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(launcher.c_str(), 0, size, data.data())) << GetLastError();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, (3u << 16) | 1u);
    EXPECT_EQ(fixed->dwFileVersionLS, 4u << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, (3u << 16) | 1u);
    EXPECT_EQ(fixed->dwProductVersionLS, 4u << 16);
    const std::pair<const wchar_t*, const wchar_t*> strings[] = {{L"ProductName", L"Hello"},
                                                                  {L"FileDescription", L"The example application"},
                                                                  {L"CompanyName", L"Example Company"},
                                                                  {L"FileVersion", L"3.1.4"},
                                                                  {L"ProductVersion", L"3.1.4"},
                                                                  {L"InternalName", L"Hello"},
                                                                  {L"OriginalFilename", L"Hello.exe"}};
    for (const auto& [key, value] : strings) {
        EXPECT_EQ(versionString(data, key), value) << narrow(key);
    }
}
