#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "javasoft_fixture.h"
#include "support/test_files.h"
#include "support/version_printer.h"
#include "vm/executable_info.h"
#include "vm/inventory.h"
#include "vm/javasoft.h"

using namespace qel;
using namespace qel::test;

namespace {

using RegisteredVms = JavaSoftRegistry;

const WString kKits = WString(kScratchKey) + L"\\Java Development Kit";
const WString kRuntimes = javasoft::kRuntimeKey;

void registerRelease(const WString& key, const WString& release, const WString& micro, const WString& home)
{
    setRegistryString(key + L"\\" + release, javasoft::kMicroVersion, micro);
    setRegistryString(key + L"\\" + release, javasoft::kJavaHome, home);
}

}  // namespace

TEST_F(RegisteredVms, EachReadableSubkeyIsOneVm)
{
    registerRelease(kKits, L"1.3", L"1", L"C:\\jdk1.3.1");
    registerRelease(kKits, L"1.4.2_05", L"2", L"C:\\jdk1.4.2_05");
    setRegistryString(kKits + L"\\1.4", javasoft::kMicroVersion, L"2");  // no JavaHome
    setRegistryDword(kKits + L"\\1.2", javasoft::kMicroVersion, 2);  // MicroVersion not a string
    setRegistryString(kKits + L"\\1.2", javasoft::kJavaHome, L"C:\\jdk1.2");
    registerRelease(kKits, L"1.1", L"8", L"C:\\" + WString(300, L'j'));  // JavaHome too long to read
    createRegistryKey(kKits + L"\\" + WString(255, L'9'));  // nothing inside
    registerRelease(kKits, L"1.5.0", L"0", L"C:\\" + WString(240, L'k'));  // the longest JavaHome

    VmInventory inventory;
    inventory.addRegistered(readRegisteredReleases(kKits), VmKind::JDK);
    std::vector<std::pair<WString, VmVersion>> found;
    for (const auto& vm : inventory.entries()) {
        EXPECT_EQ(vm->kind, VmKind::JDK);
        EXPECT_EQ(vm->vendor, L"Sun");
        EXPECT_EQ(vm->family, vm->version >= packed(0x200) ? VmFamily::J2 : VmFamily::J1);
        found.emplace_back(vm->home, vm->version);
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found,
              (std::vector<std::pair<WString, VmVersion>>{
                  {L"C:\\jdk1.3.1", packed(0x310)}, {L"C:\\jdk1.4.2_05", packed(0x425)}, {L"C:\\" + WString(240, L'k'), packed(0x500)}}));
}

TEST_F(RegisteredVms, MissingKeyAddsNothing)
{
    EXPECT_TRUE(readRegisteredReleases(kKits).empty());
    createRegistryKey(kKits);
    EXPECT_TRUE(readRegisteredReleases(kKits).empty());
}

TEST_F(RegisteredVms, KitsThenRuntimesThenPathWithoutDuplicates)
{
    // Of one version, the kits come first, then the runtimes, then what Path
    // shows; an entry with the home text and version of an earlier one goes.
    TempDir dir;
    const VmTree kit = VmTree(dir / L"kit").program(L"bin\\java.exe", standin::kSun1_1_8_0).file(L"bin\\javac.exe");
    WString upperHome = kit.root();
    std::transform(upperHome.begin(), upperHome.end(), upperHome.begin(),
                   [](wchar_t unit) { return unit >= L'a' && unit <= L'z' ? unit - L'a' + L'A' : unit; });
    registerRelease(javasoft::kKitKey, L"1.1", L"0", upperHome);
    registerRelease(javasoft::kRuntimeKey, L"1.1.8", L"8", L"C:\\jre1.1.8");
    registerRelease(javasoft::kRuntimeKey, L"1.1", L"0", kit.root());

    CapturedStdout output;
    const VmInventory inventory =
        VmInventory::build(InventorySources{javasoft::kKitKey, javasoft::kRuntimeKey, {kit / L"bin"}}.read());
    ASSERT_EQ(inventory.entries().size(), 3u);
    const auto& entries = inventory.entries();
    EXPECT_EQ(entries[0]->home, upperHome);
    EXPECT_EQ(entries[0]->kind, VmKind::JDK);
    EXPECT_EQ(entries[0]->version, packed(0x100));
    // The registered runtime, not the kit found through Path at the same home.
    EXPECT_EQ(entries[1]->home, kit.root());
    EXPECT_EQ(entries[1]->kind, VmKind::JRE);
    EXPECT_EQ(entries[1]->version, packed(0x100));
    EXPECT_EQ(entries[2]->home, L"C:\\jre1.1.8");
    EXPECT_EQ(entries[2]->version, packed(0x180));
    // The program of each registered home that has one, and the program on Path,
    // were examined all the same.
    EXPECT_EQ(output.text(), "company: Example Java Works\ncompany: Example Java Works\ncompany: Example Java Works\n");
}

TEST_F(RegisteredVms, ProgramInSystem32TakesTheRegisteredRuntimeVersion)
{
    struct Case {
        const char* what;
        void (*registry)();
        const wchar_t* directory;
        VmVersion version;
    };
    const Case cases[] = {
        {"CurrentVersion 1.4, MicroVersion 2",
         [] {
             setRegistryString(javasoft::kRuntimeKey, javasoft::kCurrentVersion, L"1.4");
             setRegistryString(kRuntimes + L"\\1.4", javasoft::kMicroVersion, L"2");
         },
         L"windows\\system32", packed(0x420)},
        {"in the 32-bit view, any case of system32",
         [] {
             setRegistryString(javasoft::kRuntimeKey, javasoft::kCurrentVersion, L"1.3", REG_SZ, RegistryView::Wow32);
             setRegistryString(kRuntimes + L"\\1.3", javasoft::kMicroVersion, L"1", REG_SZ, RegistryView::Wow32);
         },
         L"WINDOWS\\SYSTEM32", packed(0x310)},
        {"no keys", [] {}, L"windows\\system32", VmVersion()},
        {"no release key", [] { setRegistryString(javasoft::kRuntimeKey, javasoft::kCurrentVersion, L"1.4"); },
         L"windows\\system32", VmVersion()},
        {"MicroVersion not a string",
         [] {
             setRegistryString(javasoft::kRuntimeKey, javasoft::kCurrentVersion, L"1.4");
             setRegistryDword(kRuntimes + L"\\1.4", javasoft::kMicroVersion, 2);
         },
         L"windows\\system32", VmVersion()},
        {"CurrentVersion not a string", [] { setRegistryDword(javasoft::kRuntimeKey, javasoft::kCurrentVersion, 4); },
         L"windows\\system32", VmVersion()},
        {"not a system directory",
         [] {
             setRegistryString(javasoft::kRuntimeKey, javasoft::kCurrentVersion, L"1.4");
             setRegistryString(kRuntimes + L"\\1.4", javasoft::kMicroVersion, L"2");
         },
         L"windows\\system", VmVersion()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        removeJavaSoftKeys();
        c.registry();
        TempDir dir;
        const VmTree tree = VmTree(dir.path()).program(WString(c.directory) + L"\\java.exe", standin::kUnversioned);
        const auto vm = javaVmFromExecutable(tree / (WString(c.directory) + L"\\java.exe"));
        EXPECT_EQ(vm->version, c.version);
        EXPECT_EQ(vm->home, tree / c.directory);
        // The release keys carry no JavaHome: they register no VM of their own.
        EXPECT_TRUE(VmInventory::build(InventorySources{javasoft::kKitKey, javasoft::kRuntimeKey, {}}.read())
                        .entries()
                        .empty());
    }
}
