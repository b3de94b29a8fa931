#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/handles.h"
#include "support/test_files.h"
#include "support/version_printer.h"
#include "support/vm_fixtures.h"
#include "vm/executable_info.h"
#include "vm/inventory.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr VmKind JDK = VmKind::JDK;
constexpr VmKind JRE = VmKind::JRE;
constexpr VmKind MSJ = VmKind::MSJ;

}  // namespace

TEST(VmIdentification, KindFromNameAndCompiler)
{
    struct Case {
        const wchar_t* path;
        std::initializer_list<WString> existing;
        VmKind expected;
    };
    const Case cases[] = {
        {L"C:\\w\\jview.exe", {}, MSJ},
        {L"C:\\w\\WJVIEW.EXE", {L"C:\\w\\javac.exe"}, MSJ},  // the name wins over the compiler
        {L"C:\\j\\bin\\jre.exe", {L"C:\\j\\bin\\javac.exe"}, JRE},
        {L"C:\\j\\bin\\JREW.exe", {}, JRE},
        {L"C:\\j\\bin\\java.exe", {L"C:\\j\\bin\\javac.exe"}, JDK},
        {L"C:\\j\\bin\\javaw.exe", {L"C:\\j\\bin\\javac.exe"}, JDK},
        {L"C:\\j\\bin\\java.exe", {L"C:\\j\\javac.exe"}, JRE},
        {L"C:\\j\\bin\\java.exe", {}, JRE},
        {L"java.exe", {L".\\javac.exe"}, JDK},  // no directory: the current one
    };
    for (const auto& c : cases) {
        EXPECT_EQ(classifyExecutable(c.path, existsOnly(c.existing)), c.expected) << narrow(c.path);
    }
}

TEST(VmIdentification, HomeIsAboveBinOrTheProgramsDirectory)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\jdk\\bin\\java.exe", L"C:\\jdk"},
        {L"C:\\WINDOWS\\system32\\java.exe", L"C:\\WINDOWS\\system32"},
        {L"C:\\jdk\\BIN\\java.exe", L"C:\\jdk\\BIN"},  // "bin" is searched case-sensitively
        {L"C:\\cabinet\\java.exe", L"C:"},  // ... anywhere in the last component
        {L"C:\\bin\\x\\java.exe", L"C:\\bin\\x"},  // ... and only there
        {L"C:\\bin\\java.exe", L"C:"},
        {L"bin\\java.exe", L"bin"},  // a directory without a backslash never counts
        {L"java.exe", L"."},
    };
    for (const auto& [path, home] : cases) {
        EXPECT_EQ(homeOf(path), home) << narrow(path);
    }
}

TEST(VmIdentification, VendorFromNameThenCompany)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* company;
        const wchar_t* vendor;
    };
    const Case cases[] = {
        {L"jview.exe", L"Tav Systems", L"Microsoft"}, {L"wjview.exe", L"", L"Microsoft"},
        {L"java.exe", L"Tav Systems", L"Tav"},        {L"java.exe", L"tAV", L"Tav"},
        {L"java.exe", L"OcTAVe Works", L"Tav"},  // anywhere in the name
        {L"java.exe", L"T\u00C1V", L"Sun"},  // only ASCII letters fold
        {L"java.exe", L"Example Java Works", L"Sun"}, {L"java.exe", L"", L"Sun"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vendorFrom(c.name, c.company), c.vendor) << narrow(c.name) << " " << narrow(c.company);
    }
}

TEST(VmIdentification, VersionFromFileVersionPerVendor)
{
    struct Case {
        const wchar_t* vendor;
        FileVersion file;
        VmVersion expected;
    };
    const Case cases[] = {
        {L"Sun", {1, 4, 20, 5}, packed(0x425)},  // the third field counts tenths
        {L"Sun", {1, 4, 29, 5}, packed(0x425)},
        {L"Sun", {1, 1, 8, 0}, packed(0x100)},
        {L"Sun", {1, 3, 10, 0}, packed(0x310)},
        {L"Sun", {5, 0, 60, 5}, packed(0x506)},  // a first field other than 1 is the release
        {L"Tav", {1, 4, 2, 0}, packed(0x420)},  // other vendors count plainly
        // Fields that did not fit four bits spilled into the field on their left:
        // update 20 made 1.6.1_04 (0x614), 1.4.20_05 read 0x545, 3810 read 0xEE20,
        // and the largest file versions became negative (-7, -1).
        {L"Sun", {1, 6, 0, 20}, VmVersion::of(6, 0, 20)},
        {L"Sun", {6, 0, 200, 5}, VmVersion::of(6, 0, 20)},
        {L"Tav", {1, 4, 20, 5}, VmVersion::of(4, 20, 5)},
        {L"Microsoft", {5, 0, 3810, 0}, VmVersion::of(0, 3810, 0)},
        {L"Sun", {1, 65535, 65535, 65535}, VmVersion::of(65535, 6553, 65535)},
        // Release 8 counts its updates in tenths like 5 and 6 did (8u401 was 0x991).
        {L"Sun", {8, 0, 4010, 9}, VmVersion::of(8, 0, 401)},
        {L"Sun", {7, 0, 800, 15}, VmVersion::of(7, 0, 80)},
        // From release 9 on, every vendor's fields are release.maintenance.update.patch
        // (17.0.12.0 was 0x1101, a Java 1 VM; 9.0.4.0 was 9.0.0).
        {L"Sun", {9, 0, 4, 0}, VmVersion::of(9, 0, 4)},
        {L"Sun", {11, 0, 9, 1}, VmVersion::of(11, 0, 9, 1)},
        {L"Sun", {17, 0, 12, 0}, VmVersion::of(17, 0, 12)},
        {L"Sun", {21, 0, 4, 0}, VmVersion::of(21, 0, 4)},
        {L"Sun", {25, 0, 1, 0}, VmVersion::of(25, 0, 1)},
        {L"Tav", {17, 0, 12, 0}, VmVersion::of(17, 0, 12)},  // was 0x0C0
        {L"Sun", {65535, 65535, 65535, 65535}, VmVersion::of(65535, 65535, 65535, 65535)},
        {L"Tav", {65535, 65535, 65535, 65535}, VmVersion::of(65535, 65535, 65535, 65535)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(versionFromFileVersion(c.vendor, c.file), c.expected)
            << narrow(c.vendor) << " " << c.file.f1 << "." << c.file.f2 << "." << c.file.f3 << "." << c.file.f4;
    }
}

TEST(VmIdentification, CompanyNameBlocksFromTheTranslationTable)
{
    struct Case {
        std::vector<Translation> translations;
        std::vector<WString> blocks;
    };
    const Case cases[] = {
        {{}, {L"040904b0"}},
        {{{0x0000, 0x04b0}}, {L"000004b0", L"040904b0"}},  // today's Java programs
        {{{0x0000, 0x04e4}}, {L"000004e4", L"040904b0"}},
        {{{0x0409, 0x04b0}}, {L"040904b0"}},
        // Strings in another language are not read, as before.
        {{{0x0407, 0x04b0}}, {L"040904b0"}},
        {{{0x0407, 0x04b0}, {0x0000, 0x04b0}, {0x0000, 0x04b0}}, {L"000004b0", L"040904b0"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(companyNameBlocks(c.translations), c.blocks) << c.translations.size();
    }
}

// A program's own names come from the blocks its translation table names, in
// any language (the packager brands the first), then the US English ones.
TEST(VmIdentification, ProgramNameBlocks)
{
    struct Case {
        std::vector<Translation> translations;
        std::vector<WString> blocks;
    };
    const Case cases[] = {
        {{}, {L"040904b0"}},
        {{{0x0409, 0x04b0}}, {L"040904b0"}},
        {{{0x0407, 0x04e4}, {0x0000, 0x04b0}}, {L"040704e4", L"000004b0", L"040904b0"}},
        {{{0x0407, 0x04e4}, {0x0407, 0x04e4}}, {L"040704e4", L"040904b0"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(programNameBlocks(c.translations), c.blocks) << c.translations.size();
    }
}

TEST(VmIdentification, VersionFromTheLayoutBesideTheProgram)
{
    const WString program = L"C:\\j\\bin\\java.exe";
    struct Case {
        std::initializer_list<WString> existing;
        std::optional<VmVersion> expected;
    };
    const Case cases[] = {
        {{}, std::nullopt},
        {{L"C:\\j\\bin\\pack200.exe", L"C:\\j\\bin\\client"}, packed(0x500)},
        {{L"C:\\j\\bin\\client"}, packed(0x400)},
        {{L"C:\\j\\bin\\..\\jre\\bin\\client"}, packed(0x400)},
        {{L"C:\\j\\bin\\server"}, packed(0x400)},
        {{L"C:\\j\\bin\\..\\jre\\bin\\server"}, packed(0x400)},
        {{L"C:\\j\\bin\\hotspot", L"C:\\j\\bin\\classic"}, packed(0x300)},
        {{L"C:\\j\\bin\\..\\jre\\bin\\hotspot"}, packed(0x300)},
        {{L"C:\\j\\bin\\classic"}, packed(0x200)},
        {{L"C:\\j\\bin\\..\\jre\\bin\\classic"}, std::nullopt},  // only the program's own classic counts
        {{L"C:\\j\\jre\\bin\\client"}, std::nullopt},  // the probe keeps the ".." as written
        {{L"C:\\j\\bin\\jre.exe"}, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto found = versionFromLayout(program, existsOnly(c.existing));
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << (c.existing.size() ? narrow(*c.existing.begin()) : "");
        if (found) {
            EXPECT_EQ(*found, *c.expected) << narrow(*c.existing.begin());
        }
    }
}

TEST(VmIdentification, OneDotXRuntimeByNameOrNeighbour)
{
    EXPECT_TRUE(besideJ1Runtime(L"C:\\j\\bin\\JRE.exe", existsOnly({})));
    EXPECT_TRUE(besideJ1Runtime(L"C:\\j\\bin\\jrew.exe", existsOnly({})));
    EXPECT_TRUE(besideJ1Runtime(L"C:\\j\\bin\\java.exe", existsOnly({L"C:\\j\\bin\\jre.exe"})));
    EXPECT_TRUE(besideJ1Runtime(L"C:\\j\\bin\\java.exe", existsOnly({L"C:\\j\\bin\\jrew.exe"})));
    EXPECT_FALSE(besideJ1Runtime(L"C:\\j\\bin\\java.exe", existsOnly({L"C:\\j\\jre.exe"})));
}

TEST(VmIdentification, PluginLibraryLocationAndVersion)
{
    EXPECT_EQ(pluginLibraryPath(L"C:\\jre\\bin\\java.exe", JRE), L"C:\\jre\\bin\\NPJava32.dll");
    EXPECT_EQ(pluginLibraryPath(L"C:\\jdk\\bin\\java.exe", JDK), L"C:\\jdk\\bin\\..\\jre\\bin\\NPJava32.dll");

    struct Case {
        FileVersion library;
        VmVersion expected;
    };
    const Case cases[] = {
        {{1, 4, 2, 0}, packed(0x420)},
        {{1, 4, 2, 50}, packed(0x425)},  // from release 4 the last field counts tenths
        {{1, 3, 1, 3}, packed(0x313)},  // ... before it, units
        // Fields that did not fit: only the low four bits of the second field were
        // a release (6.0.20.5 read 0x145, 1.20.2.0 read 0x420) and a maintenance
        // above 15 spilled into the release (0xFF0, 0x1FF9).
        {{6, 0, 20, 5}, VmVersion::of(0, 20, 5)},
        {{1, 20, 2, 0}, VmVersion::of(20, 2, 0)},
        {{1, 4, 255, 0}, VmVersion::of(4, 255, 0)},
        {{65535, 65535, 65535, 65535}, VmVersion::of(65535, 65535, 6553)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(versionFromPluginLibrary(c.library), c.expected)
            << c.library.f1 << "." << c.library.f2 << "." << c.library.f3 << "." << c.library.f4;
    }
}

TEST(VmIdentification, RegisteredRuntimeVersionText)
{
    EXPECT_EQ(registeredRuntimeVersion(L"1.4", L"2"), packed(0x420));
    EXPECT_EQ(registeredRuntimeVersion(L"1.4", L""), packed(0x400));
    EXPECT_EQ(registeredRuntimeVersion(L"1.5", L"0"), packed(0x500));
    EXPECT_EQ(registeredRuntimeVersion(L"", L""), VmVersion());
}

namespace {

// A file or directory around the program: a copy of a stand-in, an empty file,
// or (for a path ending in a backslash) a directory.
struct Neighbour {
    const wchar_t* path;
    const wchar_t* standIn = nullptr;
};

struct IdentifyCase {
    const char* what;
    const wchar_t* program;
    const wchar_t* standIn;  // nullptr: an empty file
    std::vector<Neighbour> neighbours;
    VmKind kind;
    const wchar_t* home;
    const wchar_t* vendor;
    VmVersion version;
    VmFamily family;  // as a named program
    const char* company;  // the line written, or nullptr for none
};

void build(const VmTree& tree, const IdentifyCase& c)
{
    VmTree installation = tree;
    if (c.standIn != nullptr) {
        installation.program(c.program, c.standIn);
    } else {
        installation.file(c.program);
    }
    for (const auto& neighbour : c.neighbours) {
        const WString path = neighbour.path;
        if (path.back() == L'\\') {
            installation.directory(path.substr(0, path.size() - 1));
        } else if (neighbour.standIn != nullptr) {
            installation.program(path, neighbour.standIn);
        } else {
            installation.file(path);
        }
    }
}

}  // namespace

TEST(VmIdentification, ProgramsOfInventedInstallations)
{
    using namespace standin;
    // clang-format off
    // what, program, stand-in, neighbours, kind, home, vendor, version, family as named, company line
    const IdentifyCase cases[] = {
        {"kit", L"jdk\\bin\\java.exe", kSun1_4_20_5, {{L"jdk\\bin\\javac.exe"}}, JDK, L"jdk", L"Sun", packed(0x425), VmFamily::J2, "company: Example Java Works\n"},
        {"runtime numbered 5", L"jre\\bin\\java.exe", kSun5_0_60_5, {}, JRE, L"jre", L"Sun", packed(0x506), VmFamily::J2, "company: Example Java Works\n"},
        {"Tav runtime", L"jre\\bin\\javaw.exe", kTav1_4_2_0, {}, JRE, L"jre", L"Tav", packed(0x420), VmFamily::J2, "company: tAV Systems Corporation\n"},
        {"company only in German strings", L"jre\\bin\\java.exe", kTavGerman1_4_2_0, {}, JRE, L"jre", L"Sun", packed(0x400), VmFamily::J2, nullptr},
        {"1.1 runtime", L"jre\\bin\\jre.exe", kSun1_1_8_0, {}, JRE, L"jre", L"Sun", packed(0x100), VmFamily::J1, "company: Example Java Works\n"},
        // The largest file version packed to the negative -7, and a named program
        // was a Java 2 VM only from 0x200 up: it was a J1 VM. Its fields read as
        // release 65535 now.
        {"largest file version", L"j\\bin\\java.exe", kMax65535, {}, JRE, L"j", L"Sun", VmVersion::of(65535, 65535, 65535, 65535), VmFamily::J2, "company: Example Java Works\n"},
        {"Microsoft VM", L"windows\\jview.exe", kMsj5_0_3810_0, {}, MSJ, L"windows", L"Microsoft", packed(0x140), VmFamily::Msj, nullptr},
        {"Microsoft VM without version", L"windows\\jview.exe", kUnversioned, {}, MSJ, L"windows", L"Microsoft", packed(0x140), VmFamily::Msj, nullptr},
        {"upper-case BIN", L"j\\BIN\\java.exe", kSun1_3_10_0, {}, JRE, L"j\\BIN", L"Sun", packed(0x310), VmFamily::J2, "company: Example Java Works\n"},
        {"versioned in system32", L"windows\\system32\\java.exe", kSun1_4_20_5, {}, JRE, L"windows\\system32", L"Sun", packed(0x425), VmFamily::J2, "company: Example Java Works\n"},
        {"client directory", L"jre\\bin\\java.exe", kUnversioned, {{L"jre\\bin\\client\\"}}, JRE, L"jre", L"Sun", packed(0x400), VmFamily::J2, nullptr},
        {"client directory and plug-in", L"jre\\bin\\java.exe", kUnversioned, {{L"jre\\bin\\client\\"}, {L"jre\\bin\\NPJava32.dll", kPlugin1_4_2_0}}, JRE, L"jre", L"Sun", packed(0x420), VmFamily::J2, nullptr},
        // 0x145 before: the maintenance 20 spilled into the release.
        {"kit with its runtime's server and plug-in", L"jdk\\bin\\java.exe", kUnversioned, {{L"jdk\\bin\\javac.exe"}, {L"jdk\\jre\\bin\\server\\"}, {L"jdk\\jre\\bin\\NPJava32.dll", kPlugin6_0_20_5}}, JDK, L"jdk", L"Sun", VmVersion::of(0, 20, 5), VmFamily::J1, nullptr},
        {"kit looks for the plug-in in its runtime only", L"jdk\\bin\\java.exe", kUnversioned, {{L"jdk\\bin\\javac.exe"}, {L"jdk\\bin\\hotspot\\"}, {L"jdk\\bin\\NPJava32.dll", kPlugin1_4_2_0}}, JDK, L"jdk", L"Sun", packed(0x300), VmFamily::J2, nullptr},
        {"plug-in without version", L"jre\\bin\\java.exe", kUnversioned, {{L"jre\\bin\\classic\\"}, {L"jre\\bin\\NPJava32.dll", kUnversioned}}, JRE, L"jre", L"Sun", packed(0x200), VmFamily::J2, nullptr},
        {"pack200", L"jre\\bin\\java.exe", kUnversioned, {{L"jre\\bin\\pack200.exe"}}, JRE, L"jre", L"Sun", packed(0x500), VmFamily::J2, nullptr},
        {"beside jrew.exe", L"jre\\bin\\java.exe", kUnversioned, {{L"jre\\bin\\jrew.exe"}}, JRE, L"jre", L"Sun", packed(0x100), VmFamily::J1, nullptr},
        {"nothing to go by", L"x\\java.exe", kUnversioned, {}, JRE, L"x", L"Sun", VmVersion(), VmFamily::J1, nullptr},
        {"empty file", L"x\\bin\\javaw.exe", nullptr, {{L"x\\bin\\javac.exe"}}, JDK, L"x", L"Sun", VmVersion(), VmFamily::J1, nullptr},
        // Programs of today: the company in the language-neutral block the
        // translation table names.
        {"runtime 8u401", L"jre1.8.0_401\\bin\\javaw.exe", kJava8_0_4010_9, {}, JRE, L"jre1.8.0_401", L"Sun", VmVersion::of(8, 0, 401), VmFamily::J2, "company: Example Java Works\n"},
        {"kit 17", L"jdk-17\\bin\\java.exe", kJava17_0_12_0, {{L"jdk-17\\bin\\javac.exe"}, {L"jdk-17\\bin\\server\\"}}, JDK, L"jdk-17", L"Sun", VmVersion::of(17, 0, 12), VmFamily::J2, "company: Example Java Works\n"},
        {"runtime 21 of another maker", L"jre-21\\bin\\java.exe", kJava21_0_4_0, {}, JRE, L"jre-21", L"Sun", VmVersion::of(21, 0, 4), VmFamily::J2, "company: Example Runtime Builders\n"},
        {"kit 25", L"jdk-25\\bin\\java.exe", kJava25_0_1_0, {{L"jdk-25\\bin\\javac.exe"}}, JDK, L"jdk-25", L"Sun", VmVersion::of(25, 0, 1), VmFamily::J2, "company: Example Java Works\n"},
        {"Tav runtime with neutral strings", L"jre\\bin\\java.exe", kTavNeutral1_4_2_0, {}, JRE, L"jre", L"Tav", packed(0x420), VmFamily::J2, "company: tAV Systems Corporation\n"},
        {"Tav runtime 17", L"jre\\bin\\java.exe", kTav17_0_12_0, {}, JRE, L"jre", L"Tav", VmVersion::of(17, 0, 12), VmFamily::J2, "company: tAV Systems Corporation\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const VmTree tree(dir.path());
        build(tree, c);

        CapturedStdout output;
        const auto vm = javaVmFromExecutable(tree / c.program);
        EXPECT_EQ(vm->kind, c.kind);
        EXPECT_EQ(vm->home, tree / c.home);
        EXPECT_EQ(vm->vendor, c.vendor);
        EXPECT_EQ(vm->version, c.version);
        EXPECT_EQ(vm->family, c.family);
        EXPECT_EQ(output.text(), c.company ? c.company : "");
    }
}

TEST(VmIdentification, NamedAndPathProgramsShareTheFamilyRule)
{
    // Both are Java 2 VMs from release 2 on. The old rules decided a named
    // program's family by its signed packed value, which made the largest file
    // version (-7) a J1 VM when named and a J2 VM (release field 15) on Path.
    TempDir dir;
    const VmTree tree = VmTree(dir.path())
                            .program(L"j\\bin\\java.exe", standin::kMax65535)
                            .program(L"jdk-17\\bin\\java.exe", standin::kJava17_0_12_0);
    struct Case {
        const wchar_t* program;
        const wchar_t* home;
        VmVersion version;
    };
    const Case cases[] = {
        {L"j\\bin\\java.exe", L"j", VmVersion::of(65535, 65535, 65535, 65535)},
        {L"jdk-17\\bin\\java.exe", L"jdk-17", VmVersion::of(17, 0, 12)},
    };
    for (const auto& c : cases) {
        const auto named = javaVmFromExecutable(tree / c.program);
        const auto found = vmFromPathProgram(tree / c.program);
        for (const auto* vm : {named.get(), found.get()}) {
            EXPECT_EQ(vm->family, VmFamily::J2) << narrow(c.program);
            EXPECT_EQ(vm->version, c.version);
            EXPECT_EQ(vm->home, tree / c.home);
            EXPECT_EQ(vm->vendor, L"Sun");
            EXPECT_EQ(vm->kind, JRE);
        }
        EXPECT_EQ(named->source, L"named program");
    }
}

TEST(VmIdentification, CompanyIsWrittenOncePerExaminedProgram)
{
    TempDir dir;
    const VmTree tree = VmTree(dir.path())
                            .program(L"a\\java.exe", standin::kTav1_4_2_0)
                            .program(L"b\\java.exe", standin::kSun1_3_10_0)
                            .program(L"c\\java.exe", standin::kUnversioned);
    CapturedStdout output;
    ExecutableInfo first(tree / L"a\\java.exe");
    EXPECT_EQ(first.vendor(), L"Tav");
    EXPECT_EQ(detectVersion(first.path(), first.probes()), packed(0x420));
    EXPECT_EQ(first.vendor(), L"Tav");
    ExecutableInfo second(tree / L"b\\java.exe");
    EXPECT_EQ(detectVersion(second.path(), second.probes()), packed(0x310));
    ExecutableInfo third(tree / L"c\\java.exe");
    EXPECT_EQ(third.vendor(), L"Sun");
    EXPECT_EQ(output.text(), "company: tAV Systems Corporation\ncompany: Example Java Works\n");
}

TEST(VmIdentification, UnreadableProgramHasNoVersionUntilItCanBeRead)
{
    TempDir dir;
    const VmTree tree = VmTree(dir.path()).program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    ExecutableInfo info(tree / L"jre\\bin\\java.exe");
    {
        // Open without sharing: nobody else can read the file meanwhile.
        UniqueFile locked(
            CreateFileW((tree / L"jre\\bin\\java.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked);
        EXPECT_FALSE(info.fileVersion().has_value());
        EXPECT_TRUE(companyName(info.path()).empty());
    }
    // A failed read is not remembered.
    const auto version = info.fileVersion();
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->f3, 20);
}

namespace {

// The version block of a file as GetFileVersionInfoW fills it.
std::vector<unsigned char> versionBlockOf(const WString& path)
{
    DWORD ignored = 0;
    std::vector<unsigned char> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) {
        ADD_FAILURE() << "no version block in " << narrow(path);
        block.clear();
    }
    return block;
}

// A copy of bytes that ends where readable memory ends: reading one byte past
// it faults on the inaccessible page that follows.
class BeforeGuardPage {
public:
    explicit BeforeGuardPage(const std::vector<unsigned char>& bytes) : size_(bytes.size())
    {
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        const std::size_t page = system.dwPageSize;
        const std::size_t readable = (bytes.size() + page - 1) / page * page;
        base_ = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, readable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD previous = 0;
        if (base_ == nullptr || !VirtualProtect(base_ + readable, page, PAGE_NOACCESS, &previous)) {
            throw std::runtime_error("cannot set up a guard page");
        }
        data_ = base_ + readable - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
    }
    ~BeforeGuardPage() { VirtualFree(base_, 0, MEM_RELEASE); }
    BeforeGuardPage(const BeforeGuardPage&) = delete;
    BeforeGuardPage& operator=(const BeforeGuardPage&) = delete;

    const void* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    unsigned char* base_ = nullptr;
    unsigned char* data_ = nullptr;
    std::size_t size_;
};

}  // namespace

TEST(VmIdentification, VersionBlockTextStaysInsideTheBlock)
{
    // Little-endian UTF-16 units, as a version block holds them.
    const auto units = [](std::initializer_list<unsigned> values) {
        std::vector<unsigned char> bytes;
        for (const unsigned value : values) {
            bytes.push_back(static_cast<unsigned char>(value & 0xFF));
            bytes.push_back(static_cast<unsigned char>(value >> 8));
        }
        return bytes;
    };
    struct Row {
        const char* rule;
        std::vector<unsigned char> block;
        std::size_t offset;
        std::size_t claimed;
        WString text;
    };
    const Row rows[] = {
        {"the claim counts the terminator", units({'A', 'b', 0}), 0, 3, L"Ab"},
        {"a claim beyond the block stops at its end", units({'A', 'b', 'c'}), 0, 0xFFFF, L"Abc"},
        {"a NUL ends the text", units({'A', 0, 'B'}), 0, 3, L"A"},
        {"a shorter claim cuts the text", units({'A', 'b', 'c'}), 0, 2, L"Ab"},
        {"the offset counts bytes", units({'X', 'A', 'b'}), 2, 5, L"Ab"},
        {"an odd last byte is no unit", {'A', 0, 'b'}, 0, 2, L"A"},
        {"units above ASCII", units({0x00E9, 0x4E2D}), 0, 2, L"\u00E9\u4E2D"},
        {"an offset at the block's end", units({'A'}), 2, 1, L""},
        {"an offset past the block's end", units({'A'}), 6, 1, L""},
        {"a claim of nothing", units({'A'}), 0, 0, L""},
        {"an empty block", {}, 0, 5, L""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(versionBlockText(row.block.data(), row.block.size(), row.offset, row.claimed), row.text) << row.rule;
    }
}

TEST(VmIdentification, CompanyNameIsReadWithinTheVersionBlock)
{
    // The String structure of a program's CompanyName claims a number of units;
    // the name read never reaches past the version block, whatever it claims. The
    // block lies right before memory that cannot be read, so a read past it fails.
    struct Row {
        std::uint16_t claimed;
        // Units of the name the block keeps; 0 for the whole block.
        std::size_t keptUnits;
        const wchar_t* company;
    };
    const Row rows[] = {
        {0xFFFF, 0, L"Example Java Works"},
        {0x2000, 0, L"Example Java Works"},
        {19, 0, L"Example Java Works"},  // the name and its terminator, as written
        {7, 0, L"Example"},  // a shorter claim still bounds the copy
        // A block that ends inside the name, shorter than its own header says: the
        // system would walk past it, so nothing is read from it.
        {19, 8, nullptr},
        {0xFFFF, 8, nullptr},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.claimed) + " claimed, " + std::to_string(row.keptUnits) + " kept");
        const WString program = dir / L"java.exe";
        installStandIn(standin::kSun1_4_20_5, program);
        claimCompanyNameLength(program, row.claimed);
        std::vector<unsigned char> block = versionBlockOf(program);
        ASSERT_FALSE(block.empty());
        // The system reports the claim as it stands in the file.
        void* text = nullptr;
        UINT claimed = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\CompanyName", &text, &claimed));
        ASSERT_EQ(claimed, row.claimed);
        if (row.keptUnits > 0) {
            block.resize(static_cast<std::size_t>(static_cast<unsigned char*>(text) - block.data()) +
                         row.keptUnits * sizeof(wchar_t));
        }
        const BeforeGuardPage guarded(block);
        EXPECT_EQ(companyNameIn(guarded.data(), guarded.size()),
                  row.company == nullptr ? std::optional<WString>() : std::optional<WString>(row.company));
        if (row.keptUnits == 0) {
            CapturedStdout output;
            EXPECT_EQ(companyName(program), row.company);
            EXPECT_EQ(output.text(), "company: " + narrow(row.company) + "\n");
        }
    }
}

// A version block is read in one go when it fits the first buffer, and read
// again whole when it does not: the block is the same either way.
TEST(VmIdentification, AVersionBlockLongerThanTheFirstBufferIsReadWhole)
{
    const WString versioned = binaryDir() + L"\\" + standin::kJava17_0_12_0;
    const std::vector<unsigned char> whole = versionBlock(versioned);
    ASSERT_GE(whole.size(), 2u);
    const std::size_t length = whole[0] | (whole[1] << 8);  // the block's own length
    ASSERT_GT(length, 64u);
    ASSERT_LE(length, whole.size());
    for (const unsigned long first : {16ul, 64ul, static_cast<unsigned long>(length - 1)}) {
        const std::vector<unsigned char> reread = versionBlock(versioned, first);
        ASSERT_GE(reread.size(), length) << first;
        EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + length, reread.begin())) << first;
    }
    const std::optional<FileVersion> fields = readFileVersion(versioned);
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(fields->f1, 17);
    EXPECT_EQ(fields->f3, 12);
    // No version resource: nothing, whatever the first buffer.
    const WString unversioned = binaryDir() + L"\\" + standin::kUnversioned;
    EXPECT_TRUE(versionBlock(unversioned).empty());
    EXPECT_TRUE(versionBlock(unversioned, 16).empty());
}
