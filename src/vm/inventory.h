#pragma once

// The Java VMs installed on the machine that the launcher finds without being told
// where to look: the kits and runtimes registered under the JavaSoft keys, the
// Java programs in the directories of Path, then the installations that today's
// installers register (installKeyLayouts, in both registry views, for the machine
// and the user) and the one JAVA_HOME names.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/probes.h"
#include "base/trace.h"
#include "base/wstring.h"
#include "vm/install_keys.h"
#include "vm/java_vm.h"
#include "vm/version.h"

namespace qel {

class Environment;

// One subkey of a JavaSoft key, with the two values the inventory reads.
struct RegisteredRelease {
    WString subkeyName;
    WString microVersion;
    WString javaHome;
    // Where it was read, for reports (registrySource).
    WString source;
};

// A key that names a release or an installation but lacks a value the search
// needs there (a JavaSoft release without MicroVersion, an MSI key without
// Path), for reports: the key as registrySource names it, and the value or
// values it lacks.
struct IncompleteKey {
    WString key;
    WString lacks;
};

// A home directory that an installer or the user named, and where it was named.
struct InstalledHome {
    WString home;
    WString source;
};

// One place the inventory looked in, how many homes it named there and which of
// its keys lacked the home value, for reports: "registry
// HKLM\SOFTWARE\BellSoft\Liberica\* (32-bit view), value InstallationPath".
struct SearchedPlace {
    WString place;
    std::size_t homes = 0;
    std::vector<IncompleteKey> incomplete;
};

// What a program's own version resource says.
struct ProgramVersion {
    VmVersion version;
    // "Microsoft", "Tav" or "Sun", and the company name it was decided from.
    WString vendor;
    WString company;
};

// What an inventory is built from, read by the caller.
struct InventoryInputs {
    std::vector<RegisteredRelease> kits;
    std::vector<RegisteredRelease> runtimes;
    // The subkeys of the JavaSoft keys left out for a missing value, for reports.
    std::vector<IncompleteKey> incompleteKits;
    std::vector<IncompleteKey> incompleteRuntimes;
    std::vector<WString> pathEntries;
    // Homes of today's installations, in the order they were found, and every
    // place looked in for them (the homes of each place follow those of the
    // places before it).
    std::vector<InstalledHome> installations;
    std::vector<SearchedPlace> installationPlaces;
    // The value of JAVA_HOME, as set; empty for none.
    WString javaHome;
    ExistsProbe exists;
    // The VM a Java program found through Path, or in an installation's home,
    // stands for.
    std::function<std::unique_ptr<JavaVm>(const WString& program)> examine;
    // The path of a program found through Path with every link followed (the
    // javapath folders of some installers hold links into a runtime's bin); none
    // when it cannot be resolved. Without this probe programs are taken as found.
    std::function<std::optional<WString>(const WString& program)> resolve;
    // What a program's version resource says; none when it has none. Without
    // this probe a registered release keeps what its key says.
    std::function<std::optional<ProgramVersion>(const WString& program)> programVersion;
    // Where the search is reported; none for no report.
    Trace* trace = nullptr;
};

class VmInventory {
public:
    // An inventory that reports what it finds to the trace, when there is one.
    explicit VmInventory(Trace* trace = nullptr) : trace_(trace) {}

    // Takes the first sources in order (kits, runtimes, Path) and drops their
    // duplicates, then adds the installations, and sorts by version, lowest
    // first; equal versions keep the order they were found in.
    static VmInventory build(const InventoryInputs& inputs);

    const std::vector<std::unique_ptr<JavaVm>>& entries() const { return entries_; }

    // Each method that appends VMs numbers them after those found before (see
    // JavaVm::number), and reports them to the trace.

    // Appends the VMs registered as these subkeys. Where the home's bin\java.exe
    // carries a version resource, its version (and the family of its release)
    // and its vendor replace what the key's name and MicroVersion say.
    void addRegistered(const std::vector<RegisteredRelease>& releases, VmKind kind, const ExistsProbe& exists = {},
                       const std::function<std::optional<ProgramVersion>(const WString&)>& programVersion = {});

    // Appends a VM for every Java program in the directories, in Path order,
    // each examined at its resolved path (see InventoryInputs::resolve); a
    // program that cannot be resolved is left out.
    void addPathPrograms(const std::vector<WString>& pathEntries, const ExistsProbe& exists,
                         const std::function<std::unique_ptr<JavaVm>(const WString&)>& examine,
                         const std::function<std::optional<WString>(const WString&)>& resolve = {});

    // Keeps the first of the entries with the same home text and version.
    void removeDuplicates();

    // Appends a VM for each installation whose home holds bin\java.exe, identified
    // from that program (so its version is the program's, whatever a key's name
    // says), with the installation's source. An installation whose home is
    // listed already (letter case and trailing backslashes aside) adds nothing,
    // and neither does one whose home is not an absolute path.
    // The trace's lines for them are indented as given: under their registry
    // place, or under JAVA_HOME.
    void addInstallations(const std::vector<InstalledHome>& homes, const ExistsProbe& exists,
                          const std::function<std::unique_ptr<JavaVm>(const WString&)>& examine,
                          const wchar_t* indent = L"  ");

    void sortByVersion();

private:
    bool tracing() const { return writtenTrace(trace_) != nullptr; }

    // Numbers the VM and appends it; the trace says where it was found and what
    // it is, or which entry it repeats.
    void add(std::unique_ptr<JavaVm> vm, std::wstring_view where, std::wstring_view versionNote, const wchar_t* indent);

    Trace* trace_;
    std::vector<std::unique_ptr<JavaVm>> entries_;
    unsigned found_ = 0;
};

// The Java programs of the directories, in order: per directory java.exe,
// jre.exe, javaw.exe, jrew.exe, jview.exe, as far as they exist. A directory
// listed twice is listed twice here.
std::vector<WString> javaProgramsOnPath(const std::vector<WString>& pathEntries, const ExistsProbe& exists);

// The installation a JAVA_HOME value names, as people write it: blanks and
// control characters and a pair of double quotes around it are removed, and a
// value that names the bin directory itself (it holds java.exe, and has no
// bin\java.exe) stands for its parent.
WString javaHomeDirectory(std::wstring_view value, const ExistsProbe& exists);

// The VM a registry subkey stands for: the family from the subkey's name, the
// maintenance from MicroVersion (kit 1.3 with MicroVersion 1 is 0x310, a Java 2).
std::unique_ptr<JavaVm> registeredVm(std::wstring_view subkeyName, std::wstring_view microVersion,
                                     std::wstring_view javaHome, VmKind kind);

// The releases registered below a JavaSoft key (kJavaSoftPlace): a key that
// cannot be read gives none; a subkey without MicroVersion or JavaHome is left
// out, and listed in incomplete with what it lacks.
std::vector<RegisteredRelease> registeredReleases(const RegistryProbe& registry, const WString& keyPath,
                                                  std::vector<IncompleteKey>* incomplete = nullptr);

// The homes registered in the layouts' keys, place by place (installKeyPlaces),
// layout by layout, subkeys in enumeration order. A key or value that cannot be
// read adds nothing. Each layout in each place is listed in searched, with the
// number of homes it named and the keys of its pattern that lack the home value.
std::vector<InstalledHome> installedHomes(const std::vector<InstallKeyLayout>& layouts, const RegistryProbe& registry,
                                          std::vector<SearchedPlace>* searched = nullptr);

// ---- From the real registry and disk ---------------------------------------

// The registry of this machine. Each key the probe is asked about is opened
// once, for as long as the probe (or a copy of it) lives.
RegistryProbe machineRegistry();

// registeredReleases and installedHomes of this machine's registry.
std::vector<RegisteredRelease> readRegisteredReleases(std::wstring_view keyPath);
std::vector<InstalledHome> readInstalledHomes(const std::vector<InstallKeyLayout>& layouts,
                                              std::vector<SearchedPlace>* searched = nullptr);

// Where an inventory looks. A registry key path that is empty is not read.
struct InventorySources {
    WString kitKey;
    WString runtimeKey;
    std::vector<WString> pathEntries;
    // Read in every place of installKeyPlaces; none by default.
    std::vector<InstallKeyLayout> installKeys;
    // The value of JAVA_HOME; empty for none.
    WString javaHome;

    // The JavaSoft keys, the environment's Path, every layout of today's
    // installers and the environment's JAVA_HOME.
    static InventorySources machine(const Environment& environment);

    // The releases of the keys and the programs of the disk.
    InventoryInputs read() const;
};

}  // namespace qel
