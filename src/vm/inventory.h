#pragma once

// The Java VMs installed on the machine that the launcher finds without being told
// where to look: the kits and runtimes registered under the JavaSoft keys, then
// the Java programs in the directories of Path.

#include <memory>
#include <string_view>
#include <vector>

#include "base/wstring.h"
#include "vm/java_vm.h"
#include "vm/version.h"

namespace qel {

// Where an inventory looks. A registry key path that is empty is not read.
struct InventorySources {
    WString kitKey;
    WString runtimeKey;
    std::vector<WString> pathEntries;

    // The JavaSoft keys and the Path of the environment snapshot.
    static InventorySources machine();
};

class VmInventory {
public:
    // The machine's inventory, built on the first call and kept unchanged until
    // the process ends.
    static VmInventory& instance();

    // Reads the sources in order (kits, runtimes, Path), drops duplicates and sorts
    // by version, lowest first; equal versions keep the order they were found in.
    static VmInventory build(const InventorySources& sources);

    const std::vector<std::unique_ptr<JavaVm>>& entries() const { return entries_; }

    // Appends the VMs registered as subkeys of the key below HKEY_LOCAL_MACHINE. A
    // key that cannot be read adds nothing; a subkey that cannot be read is skipped.
    void scanRegistryKey(std::wstring_view keyPath, VmKind kind);

    // Appends a VM for every Java program in the directories, in Path order.
    void scanPath(const std::vector<WString>& pathEntries);

    // Keeps the first of the entries with the same home text and version.
    void removeDuplicates();

private:
    void sortByVersion();

    std::vector<std::unique_ptr<JavaVm>> entries_;
};

// The Java programs of the directories, in order: per directory java.exe,
// jre.exe, javaw.exe, jrew.exe, jview.exe, as far as they exist. A directory
// listed twice is listed twice here.
std::vector<WString> javaProgramsOnPath(const std::vector<WString>& pathEntries, const ExistsProbe& exists);

// The VM a registry subkey stands for: the family from the subkey's name, the
// maintenance from MicroVersion (kit 1.3 with MicroVersion 1 is 0x310, a Java 2).
std::unique_ptr<JavaVm> registeredVm(std::wstring_view subkeyName, std::wstring_view microVersion,
                                     std::wstring_view javaHome, VmKind kind);

// The VM for a program found through Path.
std::unique_ptr<JavaVm> vmFromPathProgram(std::wstring_view program);

}  // namespace qel
