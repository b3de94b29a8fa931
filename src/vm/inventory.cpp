#include "vm/inventory.h"

#include <algorithm>
#include <set>
#include <utility>

#include "base/path_text.h"
#include "base/text.h"
#include "base/trace.h"
#include "settings/properties.h"
#include "vm/javasoft.h"

namespace qel {

namespace {

// The programs looked for in each Path directory, in this order.
constexpr const wchar_t* kPathProgramNames[] = {L"\\java.exe", L"\\jre.exe", L"\\javaw.exe", L"\\jrew.exe",
                                                L"\\jview.exe"};

// A home as the duplicate check compares it: separators made uniform, without
// trailing backslashes, ASCII letters in lower case.
WString homeKey(std::wstring_view home)
{
    return toLowerAscii(withoutTrailingBackslashes(collapseSeparators(home)));
}

}  // namespace

VmInventory VmInventory::build(const InventoryInputs& inputs)
{
    VmInventory inventory(inputs.trace);
    Trace* const trace = writtenTrace(inputs.trace);
    if (trace != nullptr) {
        trace->line(L"source JavaSoft kits: " + std::to_wstring(inputs.kits.size()) + L" releases registered");
    }
    inventory.addRegistered(inputs.kits, VmKind::JDK, inputs.exists, inputs.programVersion);
    if (trace != nullptr) {
        trace->line(L"source JavaSoft runtimes: " + std::to_wstring(inputs.runtimes.size()) + L" releases registered");
    }
    inventory.addRegistered(inputs.runtimes, VmKind::JRE, inputs.exists, inputs.programVersion);
    if (trace != nullptr) {
        trace->line(L"source Path: " + std::to_wstring(inputs.pathEntries.size()) + L" directories");
    }
    inventory.addPathPrograms(inputs.pathEntries, inputs.exists, inputs.examine, inputs.resolve);
    inventory.removeDuplicates();

    std::vector<InstalledHome> installations = inputs.installations;
    if (trace != nullptr) {
        trace->line(L"source installations of today: " + std::to_wstring(installations.size()) + L" homes");
        for (const SearchedPlace& searched : inputs.installationPlaces) {
            trace->line(L"  searched " + searched.place + L": " +
                      (searched.homes == 0   ? WString(L"nothing")
                       : searched.homes == 1 ? WString(L"1 home")
                                             : std::to_wstring(searched.homes) + L" homes"));
        }
    }
    if (inputs.javaHome.empty()) {
        if (trace != nullptr) {
            trace->line(L"source JAVA_HOME: not set");
        }
    } else {
        const WString home = javaHomeDirectory(inputs.javaHome, inputs.exists);
        if (trace != nullptr) {
            trace->line(L"source JAVA_HOME: \"" + inputs.javaHome + L"\"" +
                      (home == inputs.javaHome ? WString() : L", read as " + home));
        }
        installations.push_back(InstalledHome{home, L"JAVA_HOME"});
    }
    inventory.addInstallations(installations, inputs.exists, inputs.examine);
    inventory.sortByVersion();
    if (trace != nullptr) {
        trace->line(L"inventory: " + std::to_wstring(inventory.entries().size()) + L" VMs, lowest version first");
        for (const auto& vm : inventory.entries()) {
            trace->line(L"  " + describeVm(*vm));
        }
    }
    return inventory;
}

WString javaHomeDirectory(std::wstring_view value, const ExistsProbe& exists)
{
    std::wstring_view home = trimControl(value);
    if (home.size() >= 2 && home.front() == L'"' && home.back() == L'"') {
        home = trimControl(home.substr(1, home.size() - 2));
    }
    const WString directory = withoutTrailingBackslashes(collapseSeparators(home));
    // "C:\jdk-17\bin" names the programs' directory, not the installation.
    if (!directory.empty() && exists(directory + L"\\java.exe") && !exists(directory + L"\\bin\\java.exe")) {
        return parentDir(directory, directory);
    }
    return directory;
}

std::unique_ptr<JavaVm> registeredVm(std::wstring_view subkeyName, std::wstring_view microVersion,
                                     std::wstring_view javaHome, VmKind kind)
{
    const VmVersion named = parseVersion(subkeyName);
    auto vm = std::make_unique<JavaVm>(isJava2Release(named) ? VmFamily::J2 : VmFamily::J1);
    // The subkey "1.4" is shared by every 1.4.x: the maintenance comes from
    // MicroVersion.
    vm->version = VmVersion::of(named.release(), parseVersionField(microVersion), named.update(), named.patch());
    vm->home = WString(javaHome);
    vm->kind = kind;
    vm->vendor = L"Sun";
    return vm;
}

void VmInventory::addRegistered(const std::vector<RegisteredRelease>& releases, VmKind kind, const ExistsProbe& exists,
                                const std::function<std::optional<ProgramVersion>(const WString&)>& programVersion)
{
    for (const auto& release : releases) {
        std::unique_ptr<JavaVm> vm = registeredVm(release.subkeyName, release.microVersion, release.javaHome, kind);
        vm->source = release.source;
        // A key's name and MicroVersion are a guess an installer wrote; the
        // program's own version resource is what the runtime is.
        const WString program = collapseSeparators(release.javaHome + L"\\bin\\java.exe");
        if (programVersion && exists && exists(program)) {
            if (const std::optional<ProgramVersion> read = programVersion(program)) {
                if (tracing() && read->version != vm->version) {
                    trace_->line(L"version of " + program + L": " + versionText(read->version) +
                              L" from its version resource, not " + versionText(vm->version) + L" from its key");
                }
                vm->version = read->version;
                vm->family = isJava2Release(read->version) ? VmFamily::J2 : VmFamily::J1;
                vm->vendor = read->vendor;
                vm->company = read->company;
            }
        }
        if (tracing()) {
            trace_->line(L"found " + describeVm(*vm));
        }
        entries_.push_back(std::move(vm));
    }
}

namespace {

// The Java programs of one directory, in the order of kPathProgramNames.
std::vector<WString> javaProgramsIn(const WString& dir, const ExistsProbe& exists)
{
    std::vector<WString> programs;
    for (const wchar_t* name : kPathProgramNames) {
        WString candidate = collapseSeparators(dir + name);
        if (exists(candidate)) {
            programs.push_back(std::move(candidate));
        }
    }
    return programs;
}

}  // namespace

std::vector<WString> javaProgramsOnPath(const std::vector<WString>& pathEntries, const ExistsProbe& exists)
{
    std::vector<WString> programs;
    for (const WString& dir : pathEntries) {
        for (WString& program : javaProgramsIn(dir, exists)) {
            programs.push_back(std::move(program));
        }
    }
    return programs;
}

void VmInventory::addPathPrograms(const std::vector<WString>& pathEntries, const ExistsProbe& exists,
                                  const std::function<std::unique_ptr<JavaVm>(const WString&)>& examine,
                                  const std::function<std::optional<WString>(const WString&)>& resolve)
{
    for (const WString& dir : pathEntries) {
        const std::vector<WString> programs = javaProgramsIn(dir, exists);
        if (tracing()) {
            WString held;
            for (const WString& program : programs) {
                held += (held.empty() ? L"" : L", ") + fileName(program);
            }
            trace_->line(L"  Path directory " + dir + L": " + (held.empty() ? WString(L"nothing") : held));
        }
        for (const WString& found : programs) {
            // A program reached through a link belongs to the installation the
            // link leads into: its home is derived from where the program really is.
            WString program = found;
            if (resolve) {
                const std::optional<WString> resolved = resolve(found);
                if (!resolved) {
                    if (tracing()) {
                        trace_->line(L"skipped " + found + L": the file it stands for cannot be found");
                    }
                    continue;
                }
                program = *resolved;
            }
            entries_.push_back(examine(program));
            entries_.back()->source = L"Path";
            if (tracing()) {
                trace_->line(L"found " + found + (program == found ? WString() : L", a link to " + program) + L": " +
                          describeVm(*entries_.back()));
            }
        }
    }
}

void VmInventory::addInstallations(const std::vector<InstalledHome>& homes, const ExistsProbe& exists,
                                   const std::function<std::unique_ptr<JavaVm>(const WString&)>& examine)
{
    std::set<WString> listed;
    for (const auto& vm : entries_) {
        listed.insert(homeKey(vm->home));
    }
    for (const InstalledHome& installation : homes) {
        const WString home = withoutTrailingBackslashes(collapseSeparators(installation.home));
        if (!isAbsolutePath(home) || listed.count(homeKey(home)) > 0) {
            if (tracing()) {
                trace_->line(L"skipped " + installation.home + L" from " + installation.source +
                          (isAbsolutePath(home) ? L": listed already" : L": not an absolute path"));
            }
            continue;
        }
        const WString program = home + L"\\bin\\java.exe";
        if (!exists(program)) {
            if (tracing()) {
                trace_->line(L"skipped " + installation.home + L" from " + installation.source + L": no bin\\java.exe");
            }
            continue;
        }
        std::unique_ptr<JavaVm> vm = examine(program);
        vm->source = installation.source;
        if (tracing()) {
            trace_->line(L"found " + program + L": " + describeVm(*vm));
        }
        listed.insert(homeKey(vm->home));
        entries_.push_back(std::move(vm));
    }
}

std::vector<RegisteredRelease> registeredReleases(const RegistryProbe& registry, const WString& keyPath)
{
    std::vector<RegisteredRelease> releases;
    for (const WString& name : registry.subkeys(kJavaSoftPlace, keyPath).value_or(std::vector<WString>())) {
        const WString release = keyPath + L"\\" + name;
        auto micro = registry.value(kJavaSoftPlace, release, javasoft::kMicroVersion);
        auto home = registry.value(kJavaSoftPlace, release, javasoft::kJavaHome);
        // A half-registered release does not hide the others.
        if (micro && home) {
            releases.push_back(RegisteredRelease{name, std::move(*micro), std::move(*home),
                                                 registrySource(RegistryRoot::LocalMachine, release, std::nullopt)});
        }
    }
    return releases;
}

namespace {

// Follows the pattern's components below keyPath from the index on: a "*" takes
// every subkey, any other component that one subkey; at the end the home value
// is read. A key that cannot be opened, or lacks the value, adds nothing.
void collectHomes(const RegistryProbe& registry, const RegistryPlace& place, const WString& keyPath,
                  const std::vector<WString>& components, std::size_t index, const InstallKeyLayout& layout,
                  std::vector<InstalledHome>& homes)
{
    if (index == components.size()) {
        if (auto home = registry.value(place, keyPath, layout.homeValue)) {
            homes.push_back(InstalledHome{std::move(*home), registrySource(place.root, keyPath, place.view)});
        }
        return;
    }
    if (components[index] != L"*") {
        const WString named = keyPath + L"\\" + components[index];
        if (!registry.exists || registry.exists(place, named)) {
            collectHomes(registry, place, named, components, index + 1, layout, homes);
        }
        return;
    }
    for (const WString& name : registry.subkeys(place, keyPath).value_or(std::vector<WString>())) {
        collectHomes(registry, place, keyPath + L"\\" + name, components, index + 1, layout, homes);
    }
}

}  // namespace

std::vector<InstalledHome> installedHomes(const std::vector<InstallKeyLayout>& layouts, const RegistryProbe& registry,
                                          std::vector<SearchedPlace>* searched)
{
    std::vector<InstalledHome> homes;
    for (const RegistryPlace& place : installKeyPlaces()) {
        for (const InstallKeyLayout& layout : layouts) {
            const std::size_t before = homes.size();
            const std::vector<WString> components = patternComponents(layout);
            // The first component is SOFTWARE: every walk starts below it.
            if (!components.empty()) {
                collectHomes(registry, place, components[0], components, 1, layout, homes);
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

void VmInventory::removeDuplicates()
{
    std::set<std::pair<WString, VmVersion>> seen;
    std::vector<std::unique_ptr<JavaVm>> kept;
    for (auto& vm : entries_) {
        if (seen.emplace(vm->home, vm->version).second) {
            kept.push_back(std::move(vm));
        } else if (tracing()) {
            trace_->line(L"duplicate removed: " + describeVm(*vm));
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
