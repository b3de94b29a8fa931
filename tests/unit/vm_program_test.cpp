#include <gtest/gtest.h>

#include "support/test_files.h"
#include "support/version_printer.h"
#include "support/vm_fixtures.h"
#include "base/files.h"
#include "vm/executable_info.h"
#include "vm/java_vm.h"

using namespace qel;
using namespace qel::test;

namespace {

struct ProgramCase {
    VmFamily family;
    const wchar_t* home;
    bool console;
    std::initializer_list<WString> existing;
    const wchar_t* expected;
};

}  // namespace

TEST(VmProgram, EachFamilyPicksItsConsoleOrWindowedProgram)
{
    const ProgramCase cases[] = {
        // Java 1.x: jre.exe / jrew.exe when present, else java.exe / javaw.exe untested
        {VmFamily::J1, L"C:\\jdk", true, {L"C:\\jdk\\bin\\jre.exe"}, L"C:\\jdk\\bin\\jre.exe"},
        {VmFamily::J1, L"C:\\jdk", true, {L"C:\\jdk\\bin\\java.exe"}, L"C:\\jdk\\bin\\java.exe"},
        {VmFamily::J1, L"C:\\jdk", true, {}, L"C:\\jdk\\bin\\java.exe"},
        {VmFamily::J1, L"C:\\jdk", false, {L"C:\\jdk\\bin\\jrew.exe"}, L"C:\\jdk\\bin\\jrew.exe"},
        {VmFamily::J1, L"C:\\jdk", false, {L"C:\\jdk\\bin\\jre.exe"}, L"C:\\jdk\\bin\\javaw.exe"},
        {VmFamily::J1, L"C:\\jdk", false, {}, L"C:\\jdk\\bin\\javaw.exe"},
        // Java 2: javaw.exe without a console when present; with one always java.exe
        {VmFamily::J2, L"C:\\jre", false, {L"C:\\jre\\bin\\javaw.exe"}, L"C:\\jre\\bin\\javaw.exe"},
        {VmFamily::J2, L"C:\\jre", false, {}, L"C:\\jre\\bin\\java.exe"},
        {VmFamily::J2, L"C:\\jre", true, {L"C:\\jre\\bin\\javaw.exe"}, L"C:\\jre\\bin\\java.exe"},
        {VmFamily::J2, L"C:\\jre", true, {}, L"C:\\jre\\bin\\java.exe"},
        // ... and in a system directory, without "bin", whatever the letter case
        {VmFamily::J2,
         L"C:\\windows\\system32",
         false,
         {L"C:\\windows\\system32\\javaw.exe"},
         L"C:\\windows\\system32\\javaw.exe"},
        {VmFamily::J2, L"C:\\windows\\system32", false, {}, L"C:\\windows\\system32\\java.exe"},
        {VmFamily::J2, L"C:\\WINDOWS\\SYSTEM32", true, {}, L"C:\\WINDOWS\\SYSTEM32\\java.exe"},
        {VmFamily::J2, L"C:\\windows\\system32x", true, {}, L"C:\\windows\\system32x\\bin\\java.exe"},
        // the Microsoft VM tests nothing
        {VmFamily::Msj, L"C:\\windows", true, {}, L"C:\\windows\\jview.exe"},
        {VmFamily::Msj, L"C:\\windows", false, {}, L"C:\\windows\\wjview.exe"},
        // the result is normalised
        {VmFamily::J2, L"C:/jre\\\\x", true, {}, L"C:\\jre\\x\\bin\\java.exe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vmProgramPath(c.family, c.home, c.console, existsOnly(c.existing)), c.expected)
            << "family " << static_cast<int>(c.family) << " home " << narrow(c.home) << " console " << c.console;
    }
}

TEST(VmProgram, FamiliesLookAtTheRealFilesWithoutAConsole)
{
    // The launcher has opened no console (none is opened yet), so each family
    // takes its windowed program.
    TempDir dir;
    VmTree j1(dir / L"j1");
    j1.file(L"bin\\jrew.exe");
    VmTree j2(dir / L"j2");
    j2.file(L"bin\\java.exe");  // no javaw.exe
    VmTree sys(dir / L"system32");
    sys.file(L"javaw.exe");

    const ExistsProbe& disk = diskFileSystem().exists;
    JavaVm oneDotX(VmFamily::J1);
    oneDotX.home = j1.root();
    EXPECT_EQ(oneDotX.executablePath(false, disk), j1 / L"bin\\jrew.exe");

    JavaVm two(VmFamily::J2);
    two.home = j2.root();
    EXPECT_EQ(two.executablePath(false, disk), j2 / L"bin\\java.exe");

    JavaVm inSystem(VmFamily::J2);
    inSystem.home = sys.root();
    EXPECT_EQ(inSystem.executablePath(false, disk), sys / L"javaw.exe");

    JavaVm microsoft = microsoftVm();
    microsoft.home = dir.path();
    EXPECT_EQ(microsoft.executablePath(false, disk), dir / L"wjview.exe");
    EXPECT_EQ(microsoft.version, packed(0x140));
    EXPECT_EQ(microsoft.vendor, L"Microsoft");
}

TEST(VmProgram, MicrosoftVmBuildNumberIsTheThirdFieldOfJview)
{
    TempDir dir;
    EXPECT_EQ(msvmBuildNumber(dir.path()), 0u);  // no jview.exe
    installStandIn(standin::kUnversioned, dir / L"jview.exe");
    EXPECT_EQ(msvmBuildNumber(dir.path()), 0u);
    installStandIn(standin::kMsj5_0_3810_0, dir / L"jview.exe");
    EXPECT_EQ(msvmBuildNumber(dir.path()), 3810u);
}
