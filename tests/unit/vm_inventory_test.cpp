#include <gtest/gtest.h>

#include <map>
#include <vector>

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

// What the tests compare of an entry; home relative to the test's directory.
struct Entry {
    WString home;
    VmVersion version;
    VmKind kind;
    VmFamily family;
    WString vendor;

    bool operator==(const Entry& other) const
    {
        return home == other.home && version == other.version && kind == other.kind && family == other.family &&
               vendor == other.vendor;
    }
};

void PrintTo(const Entry& entry, std::ostream* out)
{
    *out << "{" << narrow(entry.home) << ", " << testing::PrintToString(entry.version) << ", kind " << static_cast<int>(entry.kind)
         << ", family " << static_cast<int>(entry.family) << ", " << narrow(entry.vendor) << "}";
}

std::vector<Entry> entriesOf(const VmInventory& inventory, const WString& root)
{
    std::vector<Entry> entries;
    for (const auto& vm : inventory.entries()) {
        WString home = vm->home;
        if (home.rfind(root + L"\\", 0) == 0) {
            home = home.substr(root.size() + 1);
        }
        entries.push_back({home, vm->version, vm->kind, vm->family, vm->vendor});
    }
    return entries;
}

// An inventory from Path alone, the registry left out.
VmInventory fromPath(std::vector<WString> pathEntries)
{
    return VmInventory::build(InventorySources{L"", L"", std::move(pathEntries)}.read());
}

}  // namespace

TEST(VmInventory, ProgramsOnPathInDirectoryThenNameOrder)
{
    const ExistsProbe exists = existsOnly({L"C:\\a\\java.exe", L"C:\\a\\javaw.exe", L"C:\\a\\jview.exe",
                                           L"C:\\a\\jre.exe", L"C:\\b\\jrew.exe", L"C:\\b\\wjview.exe"});
    struct Case {
        std::vector<WString> path;
        std::vector<WString> programs;
    };
    const Case cases[] = {
        {{L"C:\\b", L"C:\\a"},
         {L"C:\\b\\jrew.exe", L"C:\\a\\java.exe", L"C:\\a\\jre.exe", L"C:\\a\\javaw.exe", L"C:\\a\\jview.exe"}},
        {{L"C:\\b", L"C:\\b"}, {L"C:\\b\\jrew.exe", L"C:\\b\\jrew.exe"}},  // nothing is removed here
        {{L"C:\\b\\", L"C:/b", L"C:\\\\b"}, {L"C:\\b\\jrew.exe", L"C:\\b\\jrew.exe", L"C:\\b\\jrew.exe"}},
        {{L"C:\\B", L"", L"C:\\c"}, {}},  // the probe is asked for the exact text
        {{}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(javaProgramsOnPath(c.path, exists), c.programs) << narrow(c.path.empty() ? L"" : c.path[0]);
    }
}

TEST(VmInventory, RegisteredReleaseTakesItsMaintenanceFromMicroVersion)
{
    struct Case {
        const wchar_t* subkey;
        const wchar_t* micro;
        VmKind kind;
        VmVersion version;
        VmFamily family;
    };
    const Case cases[] = {
        {L"1.3", L"1", JDK, packed(0x310), VmFamily::J2},
        {L"1.4", L"2", JRE, packed(0x420), VmFamily::J2},
        {L"1.4.2_05", L"2", JRE, packed(0x425), VmFamily::J2},
        {L"1.4.1_05", L"2", JRE, packed(0x425), VmFamily::J2},  // the subkey's maintenance is replaced
        {L"1.1", L"8", JDK, packed(0x180), VmFamily::J1},
        {L"1.2", L"", JRE, packed(0x200), VmFamily::J2},  // no digits: 0
        {L"1.2", L"  +3x", JRE, packed(0x230), VmFamily::J2},  // blanks and a sign before the digits
        {L"abc", L"1", JDK, packed(0x010), VmFamily::J1},
        // Fields that did not fit four bits. MicroVersion 20 spilled into the
        // release (0x545); -1 filled every bit above the update (0xFFF0); "1.16"
        // lost its release with bits 12-15 (0, a J1 VM); "1.20" spilled into
        // release 4 (0x400).
        {L"1.4.2_05", L"20", JRE, VmVersion::of(4, 20, 5), VmFamily::J2},
        {L"1.4", L"-1", JRE, packed(0x400), VmFamily::J2},  // a negative MicroVersion is 0
        {L"1.16", L"0", JRE, VmVersion::of(16, 0, 0), VmFamily::J2},
        {L"1.20", L"0", JRE, VmVersion::of(20, 0, 0), VmFamily::J2},
        // Subkeys that installers of today write below the old keys.
        {L"1.8.0_401", L"0", JRE, VmVersion::of(8, 0, 401), VmFamily::J2},  // was 0x901
        {L"1.8.0.212", L"0", JRE, VmVersion::of(8, 0, 212), VmFamily::J2},  // dots only; was 0x904
        {L"17.0", L"0", JRE, VmVersion::of(17, 0, 0), VmFamily::J2},  // was 0: a J1 VM
        {L"1.19", L"0", JDK, VmVersion::of(19, 0, 0), VmFamily::J2},  // was 0x300
    };
    for (const auto& c : cases) {
        const auto vm = registeredVm(c.subkey, c.micro, L"C:\\Program Files\\Java\\x", c.kind);
        EXPECT_EQ(vm->version, c.version) << narrow(c.subkey) << " " << narrow(c.micro);
        EXPECT_EQ(vm->family, c.family) << narrow(c.subkey) << " " << narrow(c.micro);
        EXPECT_EQ(vm->kind, c.kind);
        EXPECT_EQ(vm->vendor, L"Sun");
        EXPECT_EQ(vm->home, L"C:\\Program Files\\Java\\x");
    }
}

TEST(VmInventory, InstallationsFoundThroughPath)
{
    using namespace standin;
    struct Program {
        const wchar_t* path;
        const wchar_t* standIn;  // nullptr: an empty file
    };
    struct Case {
        const char* what;
        std::vector<Program> programs;
        std::vector<WString> path;  // relative to the test directory
        std::vector<Entry> expected;
    };
    const Case cases[] = {
        {"java.exe and javaw.exe of one runtime are one entry",
         {{L"jre\\bin\\java.exe", kSun1_4_20_5}, {L"jre\\bin\\javaw.exe", kSun1_4_20_5}},
         {L"jre\\bin"},
         {{L"jre", packed(0x425), JRE, VmFamily::J2, L"Sun"}}},
        {"programs of one home with different versions stay apart",
         {{L"jre\\bin\\java.exe", kSun1_4_20_5}, {L"jre\\bin\\javaw.exe", kSun1_3_10_0}},
         {L"jre\\bin"},
         {{L"jre", packed(0x310), JRE, VmFamily::J2, L"Sun"}, {L"jre", packed(0x425), JRE, VmFamily::J2, L"Sun"}}},
        {"the Microsoft VM in a Windows directory",
         {{L"windows\\jview.exe", kMsj5_0_3810_0}, {L"windows\\wjview.exe", kMsj5_0_3810_0}},
         {L"windows"},
         {{L"windows", packed(0x140), MSJ, VmFamily::Msj, L"Microsoft"}}},
        // The program is examined at its final path, in the letter case of the disk.
        {"a directory listed twice, once in other letter case",
         {{L"jdk\\bin\\java.exe", kTav1_4_2_0}, {L"jdk\\bin\\javac.exe", nullptr}},
         {L"jdk\\bin", L"JDK\\BIN", L"jdk\\bin"},
         {{L"jdk", packed(0x420), JDK, VmFamily::J2, L"Tav"}}},
        {"sorted by version, equal versions in Path order",
         {{L"a\\java.exe", kSun1_4_20_5},
          {L"b\\jre.exe", kSun1_1_8_0},
          {L"c\\bin\\java.exe", kUnversioned},
          {L"c\\bin\\client\\x", nullptr},
          {L"d\\java.exe", kSun1_4_20_5},
          {L"e\\java.exe", kMax65535}},
         {L"a", L"b", L"c\\bin", L"d", L"e"},
         // 65535.65535.65535.65535 packed to the negative -7 and sorted first; it is
         // the highest version now.
         {{L"b", packed(0x100), JRE, VmFamily::J1, L"Sun"},
          {L"c", packed(0x400), JRE, VmFamily::J2, L"Sun"},
          {L"a", packed(0x425), JRE, VmFamily::J2, L"Sun"},
          {L"d", packed(0x425), JRE, VmFamily::J2, L"Sun"},
          {L"e", VmVersion::of(65535, 65535, 65535, 65535), JRE, VmFamily::J2, L"Sun"}}},
        {"programs of today: file versions 8.0.4010.9 and 17.0.12.0",
         {{L"jre8\\bin\\java.exe", kJava8_0_4010_9},
          {L"jdk17\\bin\\java.exe", kJava17_0_12_0},
          {L"jdk17\\bin\\javac.exe", nullptr},
          {L"old\\bin\\java.exe", kSun1_4_20_5}},
         {L"jdk17\\bin", L"jre8\\bin", L"old\\bin"},
         {{L"old", packed(0x425), JRE, VmFamily::J2, L"Sun"},
          {L"jre8", VmVersion::of(8, 0, 401), JRE, VmFamily::J2, L"Sun"},
          {L"jdk17", VmVersion::of(17, 0, 12), JDK, VmFamily::J2, L"Sun"}}},
        {"an empty program file has no version",
         {{L"x\\javaw.exe", nullptr}},
         {L"x"},
         {{L"x", VmVersion(), JRE, VmFamily::J1, L"Sun"}}},
        {"no Java program on Path", {{L"tools\\javac.exe", kSun1_4_20_5}}, {L"tools"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        VmTree tree(dir.path());
        for (const auto& program : c.programs) {
            program.standIn ? tree.program(program.path, program.standIn) : tree.file(program.path);
        }
        std::vector<WString> path;
        for (const auto& entry : c.path) {
            path.push_back(dir / entry);
        }
        EXPECT_EQ(entriesOf(fromPath(path), dir.path()), c.expected);
    }
}

TEST(VmInventory, PathEntriesThatNameNoDirectoryAddNothing)
{
    TempDir dir;
    const VmTree tree = VmTree(dir.path()).program(L"jre\\bin\\java.exe", standin::kSun1_4_20_5);
    const std::vector<WString> path = {
        L"",
        L";",
        tree / L"jre\\bin\\java.exe",  // a file
        tree / L"missing",
        dir.path() + L"\\" + WString(300, L'd'),  // longer than a path may be
        L"C:\\" + WString(40000, L'x'),
        L"\\\\?\\" + tree / L"nothing",
        L"C:\\x~1\\" + WString(250, L'y'),  // a tilde sends it through the long-name call
        L"\"" + tree / L"jre\\bin\"",  // quotes are part of the name
    };
    EXPECT_TRUE(fromPath(path).entries().empty());
}

TEST(VmInventory, InstallationsFollowTheFirstSourcesWithoutRepeatingAHome)
{
    // Versions by program, as examining the program would give them.
    const std::map<WString, VmVersion> versions = {
        {L"C:\\Tools\\java.exe", packed(0x310)},
        {L"C:\\Java\\jdk-17\\bin\\java.exe", VmVersion::of(17, 0, 12)},
        {L"C:\\Java\\jre8\\bin\\java.exe", VmVersion::of(8, 0, 401)},
        {L"C:\\Java\\other17\\bin\\java.exe", VmVersion::of(17, 0, 12)},
    };
    std::vector<WString> examined;
    InventoryInputs inputs;
    inputs.kits = {{L"1.4", L"2", L"C:\\Old\\JDK", L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\1.4"}};
    inputs.pathEntries = {L"C:\\Tools"};
    inputs.installations = {
        {L"C:\\Java\\jdk-17\\", L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\17 (64-bit view)"},
        {L"c:/java/JDK-17", L"registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17\\hotspot\\MSI (64-bit view)"},
        {L"C:\\old\\jdk\\\\", L"JAVA_HOME"},  // the registered kit's home
        {L"C:\\TOOLS", L"registry HKCU\\SOFTWARE\\Azul Systems\\Zulu\\zulu-1 (32-bit view)"},  // found on Path
        {L"C:\\Java\\other17", L"registry HKCU\\SOFTWARE\\JavaSoft\\JDK\\17 (64-bit view)"},
        {L"C:\\Java\\jre8", L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8 (32-bit view)"},
        {L"C:\\Missing", L"registry HKLM\\SOFTWARE\\JavaSoft\\JRE\\9 (64-bit view)"},  // no bin\java.exe
        {L"jdk", L"JAVA_HOME"},  // not an absolute path
        {L"", L"JAVA_HOME"},
    };
    inputs.exists =
        existsOnly({L"C:\\Tools\\java.exe", L"C:\\Java\\jdk-17\\bin\\java.exe", L"c:\\java\\JDK-17\\bin\\java.exe",
                    L"C:\\old\\jdk\\bin\\java.exe", L"C:\\Java\\other17\\bin\\java.exe",
                    L"C:\\Java\\jre8\\bin\\java.exe", L"jdk\\bin\\java.exe", L"\\bin\\java.exe"});
    inputs.examine = [&](const WString& program) {
        examined.push_back(program);
        auto vm = std::make_unique<JavaVm>(VmFamily::J2);
        vm->version = versions.at(program);
        vm->home = homeOf(program);
        vm->vendor = L"Sun";
        vm->kind = VmKind::JRE;
        return vm;
    };
    const VmInventory inventory = VmInventory::build(inputs);

    struct Found {
        WString home;
        VmVersion version;
        WString source;
        bool operator==(const Found& other) const
        {
            return home == other.home && version == other.version && source == other.source;
        }
    };
    std::vector<Found> found;
    for (const auto& vm : inventory.entries()) {
        found.push_back({vm->home, vm->version, vm->source});
    }
    const std::vector<Found> expected = {
        {L"C:\\Tools", packed(0x310), L"Path"},
        {L"C:\\Old\\JDK", packed(0x420), L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\1.4"},
        {L"C:\\Java\\jre8", VmVersion::of(8, 0, 401),
         L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8 (32-bit view)"},
        // Two installations of one version stay in the order they were found.
        {L"C:\\Java\\jdk-17", VmVersion::of(17, 0, 12), L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\17 (64-bit view)"},
        {L"C:\\Java\\other17", VmVersion::of(17, 0, 12), L"registry HKCU\\SOFTWARE\\JavaSoft\\JDK\\17 (64-bit view)"},
    };
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(found[i] == expected[i])
            << i << ": " << narrow(found[i].home) << " " << testing::PrintToString(found[i].version) << " " << narrow(found[i].source);
    }
    // A home listed already is not examined again.
    EXPECT_EQ(examined, (std::vector<WString>{L"C:\\Tools\\java.exe", L"C:\\Java\\jdk-17\\bin\\java.exe",
                                              L"C:\\Java\\other17\\bin\\java.exe", L"C:\\Java\\jre8\\bin\\java.exe"}));
}

TEST(VmInventory, JavaHomeAsPeopleWriteIt)
{
    const ExistsProbe exists = existsOnly({L"C:\\Java\\jdk-17\\bin\\java.exe", L"C:\\Tools\\bin\\java.exe",
                                           L"C:\\Tools\\bin\\bin\\java.exe", L"C:\\Flat\\java.exe"});
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Java\\jdk-17", L"C:\\Java\\jdk-17"},
        {L"\"C:\\Java\\jdk-17\"", L"C:\\Java\\jdk-17"},
        {L"  \"C:\\Java\\jdk-17\\\" \t", L"C:\\Java\\jdk-17"},
        {L"\" C:\\Java\\jdk-17 \"", L"C:\\Java\\jdk-17"},
        {L"C:\\Java\\jdk-17\\", L"C:\\Java\\jdk-17"},
        // The bin directory itself stands for its installation.
        {L"C:\\Java\\jdk-17\\bin", L"C:\\Java\\jdk-17"},
        {L"\"C:\\Java\\jdk-17\\bin\\\"", L"C:\\Java\\jdk-17"},
        // A directory that holds java.exe and a bin\java.exe of its own is a home.
        {L"C:\\Tools\\bin", L"C:\\Tools\\bin"},
        // A flat directory of programs is taken as its parent too.
        {L"C:\\Flat", L"C:"},
        {L"\"C:\\Missing\"", L"C:\\Missing"},
        {L"\"", L"\""},
        {L"  ", L""},
    };
    for (const auto& [value, home] : cases) {
        EXPECT_EQ(javaHomeDirectory(value, exists), home) << narrow(value);
    }
}

TEST(VmInventory, APathProgramThatIsALinkBelongsToTheInstallationItLeadsTo)
{
    // An installer's javapath folder first on Path, with links into the runtime
    // the registry names; a link whose target is gone; a plain program.
    InventoryInputs inputs;
    inputs.runtimes = {{L"1.8.0_401", L"0", L"C:\\Program Files\\Java\\jre-1.8",
                        L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8.0_401"}};
    inputs.pathEntries = {L"C:\\ProgramData\\Oracle\\Java\\javapath", L"C:\\Broken", L"C:\\Tools"};
    inputs.exists = existsOnly({L"C:\\ProgramData\\Oracle\\Java\\javapath\\java.exe",
                                L"C:\\ProgramData\\Oracle\\Java\\javapath\\javaw.exe", L"C:\\Broken\\java.exe",
                                L"C:\\Tools\\java.exe"});
    const std::map<WString, WString> links = {
        {L"C:\\ProgramData\\Oracle\\Java\\javapath\\java.exe", L"C:\\Program Files\\Java\\jre-1.8\\bin\\java.exe"},
        {L"C:\\ProgramData\\Oracle\\Java\\javapath\\javaw.exe", L"C:\\Program Files\\Java\\jre-1.8\\bin\\javaw.exe"},
        {L"C:\\Tools\\java.exe", L"C:\\Tools\\java.exe"},
    };
    inputs.resolve = [&](const WString& program) -> std::optional<WString> {
        const auto link = links.find(program);
        return link == links.end() ? std::nullopt : std::optional<WString>(link->second);
    };
    std::vector<WString> examined;
    inputs.examine = [&](const WString& program) {
        examined.push_back(program);
        auto vm = std::make_unique<JavaVm>(VmFamily::J2);
        vm->version = VmVersion::of(8, 0, 401);
        vm->home = homeOf(program);
        vm->kind = VmKind::JRE;
        vm->vendor = L"Sun";
        return vm;
    };
    const VmInventory inventory = VmInventory::build(inputs);

    EXPECT_EQ(examined,
              (std::vector<WString>{L"C:\\Program Files\\Java\\jre-1.8\\bin\\java.exe",
                                    L"C:\\Program Files\\Java\\jre-1.8\\bin\\javaw.exe", L"C:\\Tools\\java.exe"}));
    // The links' entries merge with the registry's; the broken link adds none.
    std::vector<std::pair<WString, WString>> found;
    for (const auto& vm : inventory.entries()) {
        found.emplace_back(vm->home, vm->source);
    }
    EXPECT_EQ(found, (std::vector<std::pair<WString, WString>>{
                         {L"C:\\Program Files\\Java\\jre-1.8",
                          L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8.0_401"},
                         {L"C:\\Tools", L"Path"}}));
}

TEST(VmInventory, ARegisteredProgramsOwnVersionWinsOverItsKey)
{
    // What each home's bin\java.exe says of itself; a home without an entry has
    // a program without a version resource.
    const std::map<WString, ProgramVersion> programs = {
        {L"C:\\Java\\jdk-17\\bin\\java.exe", {VmVersion::of(17, 0, 12), L"Sun", L"Example Runtime Builders"}},
        {L"C:\\Java\\tav\\bin\\java.exe", {VmVersion::of(1, 8, 0), L"Tav", L"tAV Systems Corporation"}},
    };
    InventoryInputs inputs;
    inputs.kits = {
        {L"17.0", L"12", L"C:\\Java\\jdk-17", L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\17.0"},
        {L"1.4", L"2", L"C:\\Java\\tav\\", L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\1.4"},
        {L"1.4", L"2", L"C:\\Java\\old", L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\1.4"},
        {L"1.3", L"1", L"C:\\Java\\gone", L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\1.3"},
    };
    inputs.exists = existsOnly(
        {L"C:\\Java\\jdk-17\\bin\\java.exe", L"C:\\Java\\tav\\bin\\java.exe", L"C:\\Java\\old\\bin\\java.exe"});
    inputs.programVersion = [&](const WString& program) -> std::optional<ProgramVersion> {
        const auto found = programs.find(program);
        return found == programs.end() ? std::nullopt : std::optional<ProgramVersion>(found->second);
    };
    const VmInventory inventory = VmInventory::build(inputs);

    std::vector<Entry> entries;
    for (const auto& vm : inventory.entries()) {
        entries.push_back({vm->home, vm->version, vm->kind, vm->family, vm->vendor});
    }
    EXPECT_EQ(entries, (std::vector<Entry>{
                           // A runtime of release 1 by its program is of the J1 family.
                           {L"C:\\Java\\tav\\", VmVersion::of(1, 8, 0), JDK, VmFamily::J1, L"Tav"},
                           // Keys whose program has no version, or no program, keep their reading.
                           {L"C:\\Java\\gone", packed(0x310), JDK, VmFamily::J2, L"Sun"},
                           {L"C:\\Java\\old", packed(0x420), JDK, VmFamily::J2, L"Sun"},
                           {L"C:\\Java\\jdk-17", VmVersion::of(17, 0, 12), JDK, VmFamily::J2, L"Sun"},
                       }));
    EXPECT_EQ(inventory.entries().back()->company, L"Example Runtime Builders");
}
