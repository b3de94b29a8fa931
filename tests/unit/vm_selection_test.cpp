#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <set>
#include <vector>

#include "base/errors.h"
#include "base/files.h"
#include "support/version_printer.h"
#include "vm/executable_info.h"
#include "support/launcher_fixture.h"
#include "support/settings_fixtures.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"
#include "vm/inventory.h"
#include "vm/selection.h"

using namespace qel;
using namespace qel::test;

namespace {

std::unique_ptr<JavaVm> vm(VmKind kind, VmVersion version)
{
    auto made = std::make_unique<JavaVm>(VmFamily::J2);
    made->kind = kind;
    made->version = version;
    return made;
}

struct FilterCase {
    const char* what;
    std::vector<WString> tokens;
    std::vector<std::pair<VmKind, VmVersion>> inventory;  // in inventory order
    std::vector<int> expected;  // indexes into the inventory, in result order
};

}  // namespace

TEST(VmFilter, AcceptedEntriesSortedWithTheLastAppendedWinningTies)
{
    constexpr VmKind JDK = VmKind::JDK;
    constexpr VmKind JRE = VmKind::JRE;
    constexpr VmKind MSJ = VmKind::MSJ;
    const FilterCase cases[] = {
        {"two tokens, the higher version last", {L"J1", L"J2"}, {{JRE, packed(0x180)}, {JRE, packed(0x420)}}, {0, 1}},
        {"kit and runtime of one version: the runtime, appended after the kit",
         {L"JDK", L"J2"},
         {{JDK, packed(0x420)}, {JRE, packed(0x420)}},
         {0, 1}},
        {"the runtime first matched, the kit by the later token",
         {L"JRE", L"JDK"},
         {{JDK, packed(0x420)}, {JRE, packed(0x420)}},
         {1, 0}},
        {"an entry accepted twice is listed once", {L"ALL", L"J2", L"JRE"}, {{JRE, packed(0x420)}, {JRE, packed(0x310)}}, {1, 0}},
        {"no token", {}, {{JRE, packed(0x420)}}, {}},
        {"nothing matches", {L"MSJ"}, {{JRE, packed(0x420)}, {JDK, packed(0x140)}}, {}},
        // The old packing made 65535.65535.65535.65535 the negative -7, which sorted
        // lowest; versions are never negative now and order field by field.
        {"versions of today sort above the old ones",
         {L"ALL"},
         {{JRE, packed(0x100)}, {JRE, VmVersion::of(17, 0, 12)}, {MSJ, packed(0x140)}, {JRE, VmVersion::of(8, 0, 401)}},
         {0, 2, 3, 1}},
        {"a J2 list takes Java 17", {L"J2"}, {{JRE, packed(0x420)}, {JDK, VmVersion::of(17, 0, 12)}}, {0, 1}},
        {"a list with a comma is one token in the search", {L"JRE_J2,JDK_J2"}, {{JRE, packed(0x420)}, {JDK, packed(0x420)}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<JavaVm>> entries;
        for (const auto& [kind, version] : c.inventory) {
            entries.push_back(vm(kind, version));
        }
        std::vector<JavaVm*> expected;
        for (int index : c.expected) {
            expected.push_back(entries[static_cast<std::size_t>(index)].get());
        }
        EXPECT_EQ(filterByList(c.tokens, entries), expected);
    }
}

namespace {

// Installations the selection can be pointed at: a (1.4.2_05 runtime) and b (1.3.1
// runtime) to name; old (1.1 runtime) and new (1.4.2_05 runtime) for the inventory.
class VmSelection : public ::testing::Test {
protected:
    VmSelection()
    {
        tree.program(L"a\\bin\\java.exe", standin::kSun1_4_20_5)
            .program(L"b\\bin\\java.exe", standin::kSun1_3_10_0)
            .file(L"empty.exe")
            .directory(L"dir")
            .program(L"old\\bin\\jre.exe", standin::kSun1_1_8_0)
            .program(L"new\\bin\\java.exe", standin::kSun1_4_20_5);
        inventory = VmInventory::build(InventorySources{L"", L"", {tree / L"old\\bin", tree / L"new\\bin"}}.read());
    }

    // The home of the selected VM relative to the tree; "none" when there is none,
    // "error" for the no-VM error; searched tells whether the inventory was asked.
    WString select(const VmRequest& request, bool& searched)
    {
        searched = false;
        const VmChoice choice = selectVm(request, sources([&]() -> const VmInventory& {
                                             searched = true;
                                             return inventory;
                                         }));
        // Without a VM the launcher shows the no-VM error either way; a named VM
        // that the list rejects ends the selection without a search.
        if (!choice.vm) {
            return searched ? L"none" : L"error";
        }
        return choice.vm->home.substr(tree.root().size() + 1);
    }

    static SelectionSources sources(std::function<const VmInventory&()> inventory)
    {
        return SelectionSources{diskFileSystem(), [](const WString& program) { return javaVmFromExecutable(program); },
                                std::move(inventory)};
    }

    TempDir dir;
    VmTree tree{dir.path()};
    VmInventory inventory;
};

struct SelectCase {
    const char* what;
    const wchar_t* commandLineVm;  // relative to the tree, or empty
    const wchar_t* settingVm;
    const wchar_t* list;
    const wchar_t* selected;
    bool searched;
    // qel.nl.current.vm.fallback
    bool fallback = true;
};

}  // namespace

// The selection over an invented disk C:\t: the installations a (1.4.2_05
// runtime) and b (1.3.1 runtime) to name, an empty file and a directory; old
// (1.1 runtime) and new (1.4.2_05 runtime) along Path for the search. The runs
// below (VmSelection) select from real programs.
TEST(VmSelectionRule, NamedProgramsAndTheSearch)
{
    const auto installed = [](VmFamily family, VmVersion version, const WString& home) {
        auto vm = std::make_unique<JavaVm>(family);
        vm->kind = VmKind::JRE;
        vm->version = version;
        vm->home = home;
        return vm;
    };
    // The VM each program stands for, by the directory above its bin.
    const auto identify = [&](const WString& program) {
        const WString home = program.substr(0, program.rfind(L"\\bin\\"));
        const WString name = home.substr(home.rfind(L'\\') + 1);
        if (name == L"a" || name == L"new") {
            return installed(VmFamily::J2, packed(0x425), home);
        }
        if (name == L"b") {
            return installed(VmFamily::J2, packed(0x310), home);
        }
        return installed(VmFamily::J1, packed(0x100), home);
    };
    const std::set<WString> files = {L"C:\\t\\a\\bin\\java.exe", L"C:\\t\\b\\bin\\java.exe", L"C:\\t\\empty.exe",
                                      L"C:\\t\\old\\bin\\jre.exe", L"C:\\t\\new\\bin\\java.exe"};
    const WString directory = L"C:\\t\\dir";
    const FileSystemProbes disk{
        [&](const WString& path) { return files.count(path) > 0 || path == directory; },
        [&](const WString& path) { return path == directory; },
        [&](const WString& path) { return path == directory ? -1 : path == L"C:\\t\\empty.exe" ? 0 : 100; },
        [](const WString& path, ShortNames) { return path; },
    };
    InventoryInputs search;
    search.pathEntries = {L"C:\\t\\old\\bin", L"C:\\t\\new\\bin"};
    search.exists = disk.exists;
    search.examine = identify;
    const VmInventory inventory = VmInventory::build(search);

    const SelectCase cases[] = {
        {"QEL_VM before the setting", L"a\\bin\\java.exe", L"b\\bin\\java.exe", L"J2", L"a", false},
        {"an empty file after QEL_VM gives way to the setting", L"empty.exe", L"b\\bin\\java.exe", L"J2", L"b", false},
        {"a missing file after QEL_VM gives way to the setting", L"missing.exe", L"b\\bin\\java.exe", L"J2", L"b",
         false},
        {"a directory after QEL_VM: the search, not the setting", L"dir", L"b\\bin\\java.exe", L"J1 J2", L"new", true},
        {"an empty file and no setting: the search", L"empty.exe", L"", L"J1", L"old", true},
        {"the setting alone", L"", L"b\\bin\\java.exe", L"J2", L"b", false},
        {"a missing setting: the search", L"", L"missing.exe", L"J1", L"old", true},
        {"a directory as setting: the search", L"", L"dir", L"J1", L"old", true},
        {"nothing named: the highest acceptable version", L"", L"", L"J1 J2", L"new", true},
        {"a named VM the list rejects fails without a search", L"a\\bin\\java.exe", L"", L"J1", L"error", false},
        {"a named VM with no list fails", L"", L"a\\bin\\java.exe", L"", L"error", false},
        {"commas separate tokens for a named VM", L"a\\bin\\java.exe", L"", L"JRE_J2,JDK_J2", L"a", false},
        {"a later token may accept a named VM", L"", L"b\\bin\\java.exe", L"XYZ, 1.4+,jre_j2", L"b", false},
        {"... but not in the search", L"", L"", L"JRE_J2,JDK_J2", L"none", true},
        {"the search with an empty list finds nothing", L"", L"", L"", L"none", true},
        // Without the fall-back, a missing runtime of the setting is not replaced by an installed VM.
        {"no fall-back: a missing setting finds no VM", L"", L"missing.exe", L"J1", L"error", false, false},
        {"no fall-back: a directory as setting finds no VM", L"", L"dir", L"J1", L"error", false, false},
        {"no fall-back: a missing QEL_VM and a missing setting", L"missing.exe", L"missing.exe", L"J1", L"error",
         false, false},
        {"no fall-back: the setting that exists", L"", L"b\\bin\\java.exe", L"J2", L"b", false, false},
        {"no fall-back: QEL_VM before a missing setting", L"a\\bin\\java.exe", L"missing.exe", L"J2", L"a", false,
         false},
        {"no fall-back, nothing named: the search", L"", L"", L"J1 J2", L"new", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        VmRequest request;
        if (*c.commandLineVm != L'\0') {
            request.commandLineVm = WString(L"C:\\t\\") + c.commandLineVm;
        }
        if (*c.settingVm != L'\0') {
            request.settingVm = WString(L"C:\\t\\") + c.settingVm;
        }
        request.validVmList = c.list;
        request.propertiesPath = L"C:\\t\\App.qel";
        request.fallback = c.fallback;
        bool searched = false;
        const VmChoice choice = selectVm(request, SelectionSources{disk, identify, [&]() -> const VmInventory& {
                                                                       searched = true;
                                                                       return inventory;
                                                                   }});
        // Without a VM the launcher shows the no-VM error either way; a named VM
        // that the list rejects ends the selection without a search.
        const WString selected = choice.vm ? choice.vm->home.substr(5) : searched ? L"none" : L"error";
        EXPECT_EQ(selected, c.selected);
        EXPECT_EQ(searched, c.searched);
    }
}

TEST(NamedProgram, OwnRuntimeIsAProgramBelowThePropertiesFileDirectory)
{
    struct Row {
        const wchar_t* program;
        const wchar_t* directory;
        bool own;
    };
    const Row rows[] = {
        {L"C:\\Apps\\Shop\\runtime\\bin\\javaw.exe", L"C:\\Apps\\Shop", true},
        {L"C:\\Apps\\Shop\\runtime\\bin\\javaw.exe", L"C:\\Apps\\Shop\\", true},
        {L"c:\\apps\\SHOP\\runtime\\bin\\javaw.exe", L"C:\\Apps\\Shop", true},
        {L"C:\\Apps\\Shop/runtime//bin\\java.exe", L"C:\\Apps\\Shop", true},
        {L"C:\\Apps\\Shop2\\runtime\\bin\\javaw.exe", L"C:\\Apps\\Shop", false},
        {L"C:\\Program Files\\Java\\jdk-17\\bin\\java.exe", L"C:\\Apps\\Shop", false},
        {L"C:\\Apps\\Shop", L"C:\\Apps\\Shop", false},
        {L"C:\\Apps\\Shop\\java.exe", L"", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(isOwnRuntime(row.program, row.directory), row.own) << narrow(row.program) << " " << narrow(row.directory);
    }
}

TEST_F(VmSelection, NamedVmIsIdentifiedFromItsProgram)
{
    VmRequest request;
    request.commandLineVm = tree / L"a\\bin\\java.exe";
    request.validVmList = L"JRE_1.4.2_05";
    const std::optional<JavaVm> selected =
        selectVm(request, sources([&]() -> const VmInventory& { return inventory; })).vm;
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(selected->home, tree / L"a");
    EXPECT_EQ(selected->version, packed(0x425));
    EXPECT_EQ(selected->kind, VmKind::JRE);
    EXPECT_EQ(selected->family, VmFamily::J2);
}

TEST_F(VmSelection, RelativeSettingCountsFromThePropertiesFileDirectory)
{
    // As in a run: the properties file's directory is current and only the file's
    // name is kept.
    tree.program(L"app\\jre\\bin\\java.exe", standin::kSun1_3_10_0);
    CurrentDirectoryGuard restore;
    ASSERT_TRUE(SetCurrentDirectoryW((tree / L"app").c_str()));
    for (const wchar_t* setting : {L"jre\\bin\\java.exe", L"jre/bin//java.exe"}) {
        VmRequest request;
        request.settingVm = setting;
        request.validVmList = L"J2";
        request.propertiesPath = L"App.qel";
        bool searched = false;
        EXPECT_EQ(select(request, searched), L"app\\jre") << narrow(setting);
        EXPECT_FALSE(searched);
    }
}

TEST(NamedProgram, RelativeSettingBesideAPropertiesFileAtADriveRoot)
{
    // The system's answers while Q:\sub is current: "Q:" alone means that current
    // directory of drive Q, "Q:\" its root.
    const FileSystemProbes files{
        existsOnly({L"Q:\\jre\\bin\\java.exe", L"Q:\\apps\\jre\\bin\\java.exe", L"Q:\\sub\\jre\\bin\\java.exe"}),
        [](const WString&) { return false; },
        [](const WString&) { return 1; },
        [](const WString& path, ShortNames) -> WString {
            if (path == L"Q:" || path == L".") {
                return L"Q:\\sub";
            }
            if (path == L"\\") {
                return L"Q:\\";
            }
            return path;
        },
    };
    struct Row {
        const wchar_t* propertiesPath;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"Q:\\App.qel", L"Q:\\jre\\bin\\java.exe"},
        {L"\\App.qel", L"Q:\\jre\\bin\\java.exe"},
        {L"Q:\\apps\\App.qel", L"Q:\\apps\\jre\\bin\\java.exe"},
        {L"App.qel", L"Q:\\sub\\jre\\bin\\java.exe"},  // only the name: the current directory is its own
    };
    for (const auto& row : rows) {
        VmRequest request;
        request.settingVm = L"jre\\bin\\java.exe";
        request.propertiesPath = row.propertiesPath;
        EXPECT_EQ(namedProgram(request, files), row.expected) << narrow(row.propertiesPath);
    }
}
