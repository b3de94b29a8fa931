#include "vm/inventory.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <utility>

#include "base/path_text.h"
#include "base/text.h"
#include "base/trace.h"
#include "settings/properties.h"
#include "vm/javasoft.h"
#include "vm/search_trace.h"

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
    const auto addJavaSoft = [&](const wchar_t* name, const std::vector<RegisteredRelease>& releases,
                                 const std::vector<IncompleteKey>& incomplete, VmKind kind) {
        if (trace != nullptr) {
            trace->line(WString(name) + L": " +
                        countOf(releases.size() + incomplete.size(), L"release registered", L"releases registered",
                                L"nothing registered"));
        }
        inventory.addRegistered(releases, kind, inputs.exists, inputs.programVersion);
        if (trace != nullptr) {
            for (const IncompleteKey& key : incomplete) {
                trace->line(L"  " + leftOutLine(key.key, key.lacks));
            }
        }
    };
    addJavaSoft(L"JavaSoft kits", inputs.kits, inputs.incompleteKits, VmKind::JDK);
    addJavaSoft(L"JavaSoft runtimes", inputs.runtimes, inputs.incompleteRuntimes, VmKind::JRE);
    if (trace != nullptr) {
        trace->line(L"Path: " + countOf(inputs.pathEntries.size(), L"directory", L"directories", L"no directory"));
    }
    inventory.addPathPrograms(inputs.pathEntries, inputs.exists, inputs.examine, inputs.resolve);
    inventory.removeDuplicates();

    // The installations, each place's homes below the place; a place that
    // named nothing is counted, not listed.
    const std::vector<InstalledHome>& installations = inputs.installations;
    const std::vector<SearchedPlace>& places = inputs.installationPlaces;
    if (trace != nullptr) {
        trace->line(L"installations of today's installers: " + std::to_wstring(places.size()) +
                    L" registry places searched (each layout in each hive and view)");
    }
    std::size_t next = 0;
    std::size_t quiet = 0;
    for (const SearchedPlace& searched : places) {
        if (searched.homes == 0 && searched.incomplete.empty()) {
            ++quiet;
            continue;
        }
        if (trace != nullptr) {
            trace->line(L"  " + searched.place + L": " + countOf(searched.homes, L"home", L"homes", L"no home"));
            for (const IncompleteKey& key : searched.incomplete) {
                trace->line(L"    " + leftOutLine(key.key, key.lacks));
            }
        }
        const std::size_t end = std::min(next + searched.homes, installations.size());
        inventory.addInstallations(std::vector<InstalledHome>(installations.begin() + static_cast<std::ptrdiff_t>(next),
                                                              installations.begin() + static_cast<std::ptrdiff_t>(end)),
                                   inputs.exists, inputs.examine, L"    ");
        next = end;
    }
    // Homes that no place accounts for.
    inventory.addInstallations(
        std::vector<InstalledHome>(installations.begin() + static_cast<std::ptrdiff_t>(next), installations.end()),
        inputs.exists, inputs.examine, L"    ");
    if (trace != nullptr && quiet > 0) {
        trace->line(quiet == places.size() ? WString(L"  nothing in any of them")
                                           : L"  nothing in the other " + std::to_wstring(quiet));
    }

    if (inputs.javaHome.empty()) {
        if (trace != nullptr) {
            trace->line(L"JAVA_HOME: not set");
        }
    } else {
        const WString home = javaHomeDirectory(inputs.javaHome, inputs.exists);
        if (trace != nullptr) {
            trace->line(L"JAVA_HOME: \"" + inputs.javaHome + L"\"" +
                        (home == inputs.javaHome ? WString() : L", read as " + home));
        }
        inventory.addInstallations({InstalledHome{home, L"JAVA_HOME"}}, inputs.exists, inputs.examine);
    }
    inventory.sortByVersion();
    if (trace != nullptr) {
        trace->line(inventoryLine(inventory.entries()));
    }
    return inventory;
}

WString javaHomeDirectory(std::wstring_view value, const ExistsProbe& exists)
{
    const std::wstring_view home = trimControl(withoutSurroundingQuotes(trimControl(value)));
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

void VmInventory::add(std::unique_ptr<JavaVm> vm, std::wstring_view where, std::wstring_view versionNote,
                      const wchar_t* indent)
{
    vm->number = ++found_;
    if (tracing()) {
        // Another program of a home found before: removeDuplicates will name it.
        const auto earlier = std::find_if(entries_.begin(), entries_.end(), [&](const auto& entry) {
            return entry->home == vm->home && entry->version == vm->version;
        });
        trace_->line(indent + (earlier != entries_.end() ? foundAgainLine(*vm, where, **earlier)
                                                         : foundLine(*vm, where, versionNote)));
    }
    entries_.push_back(std::move(vm));
}

void VmInventory::addRegistered(const std::vector<RegisteredRelease>& releases, VmKind kind, const ExistsProbe& exists,
                                const std::function<std::optional<ProgramVersion>(const WString&)>& programVersion)
{
    for (const auto& release : releases) {
        std::unique_ptr<JavaVm> vm = registeredVm(release.subkeyName, release.microVersion, release.javaHome, kind);
        vm->source = release.source;
        // A key's name and MicroVersion are a guess an installer wrote; the
        // program's own version resource is what the runtime is.
        WString versionNote;
        const WString program = collapseSeparators(release.javaHome + L"\\bin\\java.exe");
        if (programVersion && exists) {
            const bool present = exists(program);
            const std::optional<ProgramVersion> read = present ? programVersion(program) : std::nullopt;
            if (read) {
                if (tracing() && read->version != vm->version) {
                    versionNote = L"(from its program; the key says " + versionText(vm->version) + L")";
                }
                vm->version = read->version;
                vm->family = isJava2Release(read->version) ? VmFamily::J2 : VmFamily::J1;
                vm->vendor = read->vendor;
                vm->company = read->company;
            } else if (tracing()) {
                versionNote = present ? L"(from its key: bin\\java.exe has no version information)"
                                      : L"(from its key: bin\\java.exe does not exist)";
            }
        }
        add(std::move(vm), release.source, versionNote, L"  ");
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
            trace_->line(L"  " +
                         pathDirectoryLine(dir, programs, !programs.empty() || exists(collapseSeparators(dir))));
        }
        for (const WString& found : programs) {
            // A program reached through a link belongs to the installation the
            // link leads into: its home is derived from where the program really is.
            WString program = found;
            if (resolve) {
                const std::optional<WString> resolved = resolve(found);
                if (!resolved) {
                    if (tracing()) {
                        trace_->line(L"    skipped " + found + L": the file it stands for cannot be found");
                    }
                    continue;
                }
                program = *resolved;
            }
            std::unique_ptr<JavaVm> vm = examine(program);
            vm->source = L"Path";
            add(std::move(vm), program == found ? found : found + L", a link to " + program, {}, L"    ");
        }
    }
}

void VmInventory::addInstallations(const std::vector<InstalledHome>& homes, const ExistsProbe& exists,
                                   const std::function<std::unique_ptr<JavaVm>(const WString&)>& examine,
                                   const wchar_t* indent)
{
    // The number of the VM each home listed so far belongs to.
    std::map<WString, unsigned> listed;
    for (const auto& vm : entries_) {
        listed.emplace(homeKey(vm->home), vm->number);
    }
    for (const InstalledHome& installation : homes) {
        const WString home = withoutTrailingBackslashes(collapseSeparators(installation.home));
        const auto before = isAbsolutePath(home) ? listed.find(homeKey(home)) : listed.end();
        const WString program = home + L"\\bin\\java.exe";
        const WString skipped = !isAbsolutePath(home)    ? WString(L"not an absolute path")
                                : before != listed.end() ? L"listed already as VM " + std::to_wstring(before->second)
                                : !exists(program)       ? WString(L"no bin\\java.exe")
                                                         : WString();
        if (!skipped.empty()) {
            if (tracing()) {
                trace_->line(WString(indent) + L"skipped " + installation.home + L" from " + installation.source +
                             L": " + skipped);
            }
            continue;
        }
        std::unique_ptr<JavaVm> vm = examine(program);
        vm->source = installation.source;
        listed.emplace(homeKey(vm->home), found_ + 1);
        add(std::move(vm), installation.source, {}, indent);
    }
}

std::vector<RegisteredRelease> registeredReleases(const RegistryProbe& registry, const WString& keyPath,
                                                  std::vector<IncompleteKey>* incomplete)
{
    std::vector<RegisteredRelease> releases;
    for (const WString& name : registry.subkeys(kJavaSoftPlace, keyPath).value_or(std::vector<WString>())) {
        const WString release = keyPath + L"\\" + name;
        auto micro = registry.value(kJavaSoftPlace, release, javasoft::kMicroVersion);
        auto home = registry.value(kJavaSoftPlace, release, javasoft::kJavaHome);
        WString source = registrySource(RegistryRoot::LocalMachine, release, std::nullopt);
        // A half-registered release does not hide the others.
        if (micro && home) {
            releases.push_back(RegisteredRelease{name, std::move(*micro), std::move(*home), std::move(source)});
        } else if (incomplete != nullptr) {
            incomplete->push_back(IncompleteKey{std::move(source), !micro && !home ? WString(javasoft::kMicroVersion) +
                                                                                         L" and " + javasoft::kJavaHome
                                                                   : !micro ? WString(javasoft::kMicroVersion)
                                                                            : WString(javasoft::kJavaHome)});
        }
    }
    return releases;
}

namespace {

// Follows the pattern's components below keyPath from the index on: a "*" takes
// every subkey, any other component that one subkey; at the end the home value
// is read. A key that cannot be opened adds nothing; one that lacks the value
// is listed in incomplete.
void collectHomes(const RegistryProbe& registry, const RegistryPlace& place, const WString& keyPath,
                  const std::vector<WString>& components, std::size_t index, const InstallKeyLayout& layout,
                  std::vector<InstalledHome>& homes, std::vector<IncompleteKey>& incomplete)
{
    if (index == components.size()) {
        WString source = registrySource(place.root, keyPath, place.view);
        if (auto home = registry.value(place, keyPath, layout.homeValue)) {
            homes.push_back(InstalledHome{std::move(*home), std::move(source)});
        } else {
            incomplete.push_back(IncompleteKey{std::move(source), layout.homeValue});
        }
        return;
    }
    if (components[index] != L"*") {
        const WString named = keyPath + L"\\" + components[index];
        if (!registry.exists || registry.exists(place, named)) {
            collectHomes(registry, place, named, components, index + 1, layout, homes, incomplete);
        }
        return;
    }
    for (const WString& name : registry.subkeys(place, keyPath).value_or(std::vector<WString>())) {
        collectHomes(registry, place, keyPath + L"\\" + name, components, index + 1, layout, homes, incomplete);
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
            std::vector<IncompleteKey> incomplete;
            const std::vector<WString> components = patternComponents(layout);
            // The first component is SOFTWARE: every walk starts below it.
            if (!components.empty()) {
                collectHomes(registry, place, components[0], components, 1, layout, homes, incomplete);
            }
            if (searched != nullptr) {
                searched->push_back(SearchedPlace{registrySource(place.root, layout.pattern, place.view) + L", value " +
                                                      layout.homeValue,
                                                  homes.size() - before, std::move(incomplete)});
            }
        }
    }
    return homes;
}

void VmInventory::removeDuplicates()
{
    std::map<std::pair<WString, VmVersion>, const JavaVm*> seen;
    std::vector<std::unique_ptr<JavaVm>> kept;
    for (auto& vm : entries_) {
        const auto first = seen.emplace(std::make_pair(vm->home, vm->version), vm.get());
        if (first.second) {
            kept.push_back(std::move(vm));
        } else if (tracing()) {
            trace_->line(duplicateLine(*vm, *first.first->second));
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
