#include <windows.h>

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

RegistryKey openKey(const RegistryPlace& place, const WString& keyPath)
{
    return place.anyView ? RegistryKey(rootKey(place.root), keyPath)
                         : RegistryKey(rootKey(place.root), keyPath, place.view);
}

}  // namespace

const RegistryProbe& machineRegistry()
{
    static const RegistryProbe registry{
        [](const RegistryPlace& place, const WString& keyPath) -> std::optional<std::vector<WString>> {
            try {
                return openKey(place, keyPath).subkeyNames();
            } catch (const KeyException&) {
                return std::nullopt;
            }
        },
        [](const RegistryPlace& place, const WString& keyPath, const WString& name) -> std::optional<WString> {
            try {
                return openKey(place, keyPath).stringValue(name);
            } catch (const KeyException&) {
                return std::nullopt;
            }
        },
    };
    return registry;
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

}  // namespace qel
