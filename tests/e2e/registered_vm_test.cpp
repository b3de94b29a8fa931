// A VM that only the JavaSoft keys of the registry name: the launcher started
// with nothing else to go by finds the installation there and starts its
// program. The keys live in the test prefix and are removed before and after.

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "support/machine_guard.h"
#include "support/standin_launch.h"
#include "vm/javasoft.h"

using namespace qel;
using namespace qel::test;

namespace {

class RegisteredVm : public ClearedKeys<StandinLaunch, removeJavaSoftKeys> {
protected:
    void registerRuntime(const WString& release, const WString& micro, const WString& home)
    {
        const WString key = WString(javasoft::kRuntimeKey) + L"\\" + release;
        setRegistryString(key, javasoft::kJavaHome, home);
        setRegistryString(key, javasoft::kMicroVersion, micro);
    }
};

}  // namespace

TEST_F(RegisteredVm, TheRegisteredHomesProgramIsStarted)
{
    vms.program(L"jre14\\bin\\java.exe", standin::kSun1_4_20_5)
        .program(L"jre14\\bin\\javaw.exe", standin::kSun1_4_20_5)
        .program(L"console\\bin\\java.exe", standin::kSun1_4_20_5)
        .program(L"jre13\\bin\\java.exe", standin::kSun1_3_10_0)
        .program(L"jre13\\bin\\javaw.exe", standin::kSun1_3_10_0);
    struct Case {
        const char* what;
        std::vector<std::array<WString, 3>> releases;  // subkey, MicroVersion, JavaHome
        WString started;
    };
    const Case cases[] = {
        {"the windowed program of the home", {{L"1.4", L"2", vms / L"jre14"}}, vms / L"jre14\\bin\\javaw.exe"},
        {"the console program where there is no other",
         {{L"1.4", L"2", vms / L"console"}},
         vms / L"console\\bin\\java.exe"},
        {"the highest of two releases",
         {{L"1.4", L"2", vms / L"jre14"}, {L"1.3", L"1", vms / L"jre13"}},
         vms / L"jre14\\bin\\javaw.exe"},
    };
    // No VM is named and Path holds none: only the registry knows one.
    writeProperties("qel.nl.valid.vm.list=J2\r\n");
    // The launcher deletes its hand-off file after the VM: the stand-in copies it.
    const WString handoffCopy = dir / L"handoff-copy.txt";
    RunOptions options;
    options.environment = {{L"QEL_STANDIN_HANDOFF_COPY", handoffCopy}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        removeJavaSoftKeys();
        DeleteFileW(recordFile.c_str());
        for (const auto& [release, micro, home] : c.releases) {
            registerRuntime(release, micro, home);
        }
        DeleteFileW(handoffCopy.c_str());
        const ProgramRun run = start(L"", L"0", options);
        ASSERT_FALSE(run.timedOut);
        ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
        const StandinRecord record = onlyRecord(run);
        EXPECT_EQ(record.modulePath, c.started);
        ASSERT_FALSE(record.args.empty());
        EXPECT_EQ(readFile(handoffCopy).rfind("qel.nl.current.vm=" + escaped(c.started) + "\r\n", 0), 0u);
    }
}
