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
                releases.push_back(RegisteredRelease{name, std::move(micro), std::move(home)});
            } catch (const KeyException&) {
                // A half-registered release does not hide the others.
            }
        }
    } catch (const KeyException&) {
        // No such key: nothing registered there.
    }
    return releases;
}

InventorySources InventorySources::machine()
{
    return InventorySources{javasoft::kKitKey, javasoft::kRuntimeKey, Environment::instance().pathEntries()};
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
    inputs.exists = diskFileSystem().exists;
    inputs.examine = [](const WString& program) { return vmFromPathProgram(program); };
    return inputs;
}

VmInventory& VmInventory::instance()
{
    static VmInventory* inventory = new VmInventory(build(InventorySources::machine().read()));  // never destroyed
    return *inventory;
}

}  // namespace qel
