#include <windows.h>

#include "base/errors.h"
#include "base/files.h"
#include "settings/environment.h"
#include "vm/executable_info.h"
#include "vm/inventory.h"
#include "vm/javasoft.h"
#include "vm/registry_key.h"

namespace qel {

std::vector<RegisteredRelease> readRegisteredReleases(std::wstring_view keyPath)
{
    std::vector<RegisteredRelease> releases;
    try {
        const RegistryKey key(HKEY_LOCAL_MACHINE, keyPath);
        for (const WString& name : key.subkeyNames()) {
            try {
                const RegistryKey release = key.child(name);
                WString micro = release.stringValue(javasoft::kMicroVersion);
                WString home = release.stringValue(javasoft::kJavaHome);
                releases.push_back(RegisteredRelease{name, std::move(micro), std::move(home),
                                                     registrySource(RegistryRoot::LocalMachine, release.path(), {})});
            } catch (const KeyException&) {
                // A half-registered release does not hide the others.
            }
        }
    } catch (const KeyException&) {
        // No such key: nothing registered there.
    }
    return releases;
}

namespace {

HKEY rootKey(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Follows the pattern's components below key from the index on: a "*" takes
// every subkey, any other component that one subkey; at the end the home value
// is read.
void collectHomes(const RegistryKey& key, const std::vector<WString>& components, std::size_t index,
                  const InstallKeyLayout& layout, const RegistryPlace& place, std::vector<InstalledHome>& homes)
{
    if (index == components.size()) {
        try {
            homes.push_back(
                InstalledHome{key.stringValue(layout.homeValue), registrySource(place.root, key.path(), place.view)});
        } catch (const KeyException&) {
            // A key without the value names no installation.
        }
        return;
    }
    const std::vector<WString> names =
        components[index] == L"*" ? key.subkeyNames() : std::vector<WString>{components[index]};
    for (const WString& name : names) {
        try {
            collectHomes(key.child(name), components, index + 1, layout, place, homes);
        } catch (const KeyException&) {
            // A subkey that cannot be opened does not hide the others.
        }
    }
}

}  // namespace

std::vector<InstalledHome> readInstalledHomes(const std::vector<InstallKeyLayout>& layouts,
                                              std::vector<SearchedPlace>* searched)
{
    std::vector<InstalledHome> homes;
    for (const RegistryPlace& place : installKeyPlaces()) {
        for (const InstallKeyLayout& layout : layouts) {
            const std::size_t before = homes.size();
            const std::vector<WString> components = patternComponents(layout);
            // The literal components before the first "*" open in one step.
            std::size_t literal = 0;
            WString base;
            while (literal < components.size() && components[literal] != L"*") {
                base += (base.empty() ? L"" : L"\\") + components[literal];
                ++literal;
            }
            try {
                const RegistryKey key(rootKey(place.root), base, place.view);
                collectHomes(key, components, literal, layout, place, homes);
            } catch (const KeyException&) {
                // No such key in this place: nothing registered there.
            }
            if (searched != nullptr) {
                searched->push_back(SearchedPlace{registrySource(place.root, layout.pattern, place.view) + L", value " +
                                                      layout.homeValue,
                                                  homes.size() - before});
            }
        }
    }
    return homes;
}

InventorySources InventorySources::machine()
{
    const Environment& environment = Environment::instance();
    return InventorySources{javasoft::kKitKey, javasoft::kRuntimeKey, environment.pathEntries(), installKeyLayouts(),
                            environment.expandedValue(L"JAVA_HOME")};
}

InventoryInputs InventorySources::read() const
{
    InventoryInputs inputs;
    if (!kitKey.empty()) {
        inputs.kits = readRegisteredReleases(kitKey);
    }
    if (!runtimeKey.empty()) {
        inputs.runtimes = readRegisteredReleases(runtimeKey);
    }
    inputs.pathEntries = pathEntries;
    if (!installKeys.empty()) {
        inputs.installations = readInstalledHomes(installKeys, &inputs.installationPlaces);
    }
    inputs.javaHome = javaHome;
    inputs.exists = diskFileSystem().exists;
    inputs.examine = [](const WString& program) { return vmFromPathProgram(program); };
    inputs.resolve = [](const WString& program) { return finalPath(program); };
    inputs.programVersion = [](const WString& program) -> std::optional<ProgramVersion> {
        ExecutableInfo info(program);
        const std::optional<FileVersion> fields = info.fileVersion();
        if (!fields) {
            return std::nullopt;
        }
        const WString vendor = info.vendor();
        return ProgramVersion{versionFromFileVersion(vendor, *fields), vendor, info.company()};
    };
    return inputs;
}

VmInventory& VmInventory::instance()
{
    static VmInventory* inventory = new VmInventory(build(InventorySources::machine().read()));  // never destroyed
    return *inventory;
}

}  // namespace qel
