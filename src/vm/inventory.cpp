#include "vm/inventory.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <utility>

#include "base/errors.h"
#include "base/files.h"
#include "settings/environment.h"
#include "settings/settings.h"
#include "vm/executable_info.h"
#include "vm/javasoft.h"
#include "vm/registry_key.h"

namespace qel {

namespace {

// The programs looked for in each Path directory, in this order.
constexpr const wchar_t* kPathProgramNames[] = {L"\\java.exe", L"\\jre.exe", L"\\javaw.exe", L"\\jrew.exe",
                                                L"\\jview.exe"};

}  // namespace

InventorySources InventorySources::machine()
{
    return InventorySources{javasoft::kKitKey, javasoft::kRuntimeKey, Environment::instance().pathEntries()};
}

VmInventory& VmInventory::instance()
{
    static VmInventory* inventory = new VmInventory(build(InventorySources::machine()));  // never destroyed
    return *inventory;
}

VmInventory VmInventory::build(const InventorySources& sources)
{
    VmInventory inventory;
    if (!sources.kitKey.empty()) {
        inventory.scanRegistryKey(sources.kitKey, VmKind::JDK);
    }
    if (!sources.runtimeKey.empty()) {
        inventory.scanRegistryKey(sources.runtimeKey, VmKind::JRE);
    }
    inventory.scanPath(sources.pathEntries);
    inventory.removeDuplicates();
    inventory.sortByVersion();
    return inventory;
}

std::unique_ptr<JavaVm> registeredVm(std::wstring_view subkeyName, std::wstring_view microVersion,
                                     std::wstring_view javaHome, VmKind kind)
{
    const VmVersion named = parseVersion(subkeyName);
    const auto micro = static_cast<std::uint32_t>(parseDecimal(microVersion));
    std::unique_ptr<JavaVm> vm;
    if ((named & 0xF00) >= 0x200) {
        vm = std::make_unique<J2Vm>();
    } else {
        vm = std::make_unique<J1Vm>();
    }
    // The subkey "1.4" is shared by every 1.4.x: the maintenance comes from
    // MicroVersion, and the bits above the release are dropped.
    vm->version = packVersion((static_cast<std::uint32_t>(named) & 0x0F0F) | (micro << 4));
    vm->home = WString(javaHome);
    vm->kind = kind;
    vm->vendor = L"Sun";
    return vm;
}

void VmInventory::scanRegistryKey(std::wstring_view keyPath, VmKind kind)
{
    try {
        const RegistryKey key(HKEY_LOCAL_MACHINE, keyPath);
        for (const WString& name : key.subkeyNames()) {
            try {
                const RegistryKey release = key.child(name);
                const WString micro = release.stringValue(javasoft::kMicroVersion);
                const WString home = release.stringValue(javasoft::kJavaHome);
                entries_.push_back(registeredVm(name, micro, home, kind));
            } catch (const KeyException&) {
                // A half-registered release does not hide the others.
            }
        }
    } catch (const KeyException&) {
        // No such key: nothing registered there.
    }
}

std::vector<WString> javaProgramsOnPath(const std::vector<WString>& pathEntries, const ExistsProbe& exists)
{
    std::vector<WString> programs;
    for (const WString& dir : pathEntries) {
        for (const wchar_t* name : kPathProgramNames) {
            WString candidate = normalizePath(dir + name);
            if (exists(candidate)) {
                programs.push_back(std::move(candidate));
            }
        }
    }
    return programs;
}

std::unique_ptr<JavaVm> vmFromPathProgram(std::wstring_view program)
{
    ExecutableInfo info(program);
    const VmKind kind = classifyExecutable(info);
    std::unique_ptr<JavaVm> vm;
    if (kind == VmKind::MSJ) {
        vm = std::make_unique<MsjVm>();
    } else {
        const VmVersion version = detectVersion(info);
        if (releaseOf(version) < 2) {
            vm = std::make_unique<J1Vm>();
        } else {
            vm = std::make_unique<J2Vm>();
        }
        vm->version = version;
    }
    describeFromProgram(*vm, info, kind);
    return vm;
}

void VmInventory::scanPath(const std::vector<WString>& pathEntries)
{
    for (const WString& program :
         javaProgramsOnPath(pathEntries, [](const WString& path) { return fileExists(path); })) {
        entries_.push_back(vmFromPathProgram(program));
    }
}

void VmInventory::removeDuplicates()
{
    std::set<std::pair<WString, VmVersion>> seen;
    std::vector<std::unique_ptr<JavaVm>> kept;
    for (auto& vm : entries_) {
        if (seen.emplace(vm->home, vm->version).second) {
            kept.push_back(std::move(vm));
        }
    }
    entries_ = std::move(kept);
}

void VmInventory::sortByVersion()
{
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const auto& left, const auto& right) { return left->version < right->version; });
}

}  // namespace qel
