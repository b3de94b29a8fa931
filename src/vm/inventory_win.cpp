#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <tuple>

#include "base/errors.h"
#include "base/files.h"
#include "settings/environment.h"
#include "vm/executable_info.h"
#include "vm/inventory.h"
#include "vm/javasoft.h"
#include "vm/registry_key.h"

namespace qel {

namespace {

HKEY rootKey(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::optional<RegistryKey> openKey(const RegistryPlace& place, const WString& keyPath)
{
    return place.anyView ? RegistryKey::openIfPresent(rootKey(place.root), keyPath)
                         : RegistryKey::openIfPresent(rootKey(place.root), keyPath, place.view);
}

// The keys one walk opened (or found missing), by place and path: a release's
// key is asked for its subkeys' names and two values, and each is one open.
class OpenedKeys {
public:
    const std::optional<RegistryKey>& find(const RegistryPlace& place, const WString& keyPath)
    {
        const auto index = std::make_tuple(static_cast<int>(place.root), place.view ? static_cast<int>(*place.view) : -1,
                                           place.anyView, keyPath);
        auto found = keys_.find(index);
        if (found == keys_.end()) {
            found = keys_.emplace(index, openKey(place, keyPath)).first;
        }
        return found->second;
    }

private:
    std::map<std::tuple<int, int, bool, WString>, std::optional<RegistryKey>> keys_;
};

}  // namespace

RegistryProbe machineRegistry()
{
    const auto keys = std::make_shared<OpenedKeys>();
    return RegistryProbe{
        [keys](const RegistryPlace& place, const WString& keyPath) -> std::optional<std::vector<WString>> {
            const std::optional<RegistryKey>& key = keys->find(place, keyPath);
            if (!key) {
                return std::nullopt;
            }
            return key->subkeyNames();
        },
        [keys](const RegistryPlace& place, const WString& keyPath, const WString& name) -> std::optional<WString> {
            const std::optional<RegistryKey>& key = keys->find(place, keyPath);
            if (!key) {
                return std::nullopt;
            }
            return key->stringValueIfPresent(name);
        },
        [keys](const RegistryPlace& place, const WString& keyPath) { return keys->find(place, keyPath).has_value(); },
    };
}

std::vector<RegisteredRelease> readRegisteredReleases(std::wstring_view keyPath)
{
    return registeredReleases(machineRegistry(), WString(keyPath));
}

std::vector<InstalledHome> readInstalledHomes(const std::vector<InstallKeyLayout>& layouts,
                                              std::vector<SearchedPlace>* searched)
{
    return installedHomes(layouts, machineRegistry(), searched);
}

InventorySources InventorySources::machine(const Environment& environment)
{
    return InventorySources{javasoft::kKitKey, javasoft::kRuntimeKey, environment.pathEntries(), installKeyLayouts(),
                            environment.expandedValue(L"JAVA_HOME")};
}

InventoryInputs InventorySources::read() const
{
    InventoryInputs inputs;
    // One walk: a key read for the JavaSoft releases is not opened again for
    // the layouts that name it too.
    const RegistryProbe registry = machineRegistry();
    if (!kitKey.empty()) {
        inputs.kits = registeredReleases(registry, kitKey, &inputs.incompleteKits);
    }
    if (!runtimeKey.empty()) {
        inputs.runtimes = registeredReleases(registry, runtimeKey, &inputs.incompleteRuntimes);
    }
    inputs.pathEntries = pathEntries;
    if (!installKeys.empty()) {
        inputs.installations = installedHomes(installKeys, registry, &inputs.installationPlaces);
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

}  // namespace qel
