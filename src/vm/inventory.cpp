#include "vm/inventory.h"

#include <algorithm>
#include <set>
#include <utility>

#include "base/path_text.h"
#include "base/text.h"
#include "base/trace.h"

namespace qel {

namespace {

// The programs looked for in each Path directory, in this order.
constexpr const wchar_t* kPathProgramNames[] = {L"\\java.exe", L"\\jre.exe", L"\\javaw.exe", L"\\jrew.exe",
                                                L"\\jview.exe"};

// A home as the duplicate check compares it: separators made uniform, without
// trailing backslashes, ASCII letters in lower case.
WString homeKey(std::wstring_view home)
{
    WString key = collapseSeparators(home);
    while (!key.empty() && key.back() == L'\\') {
        key.pop_back();
    }
    return toLowerAscii(key);
}

}  // namespace

namespace {

void traceLine(const WString& text)
{
    Trace::instance().line(text);
}

}  // namespace

VmInventory VmInventory::build(const InventoryInputs& inputs)
{
    Trace& trace = Trace::instance();
    VmInventory inventory;
    if (trace.enabled()) {
        traceLine(L"source JavaSoft kits: " + std::to_wstring(inputs.kits.size()) + L" releases registered");
    }
    inventory.addRegistered(inputs.kits, VmKind::JDK);
    if (trace.enabled()) {
        traceLine(L"source JavaSoft runtimes: " + std::to_wstring(inputs.runtimes.size()) + L" releases registered");
    }
    inventory.addRegistered(inputs.runtimes, VmKind::JRE);
    if (trace.enabled()) {
        traceLine(L"source Path: " + std::to_wstring(inputs.pathEntries.size()) + L" directories");
    }
    inventory.addPathPrograms(inputs.pathEntries, inputs.exists, inputs.examine);
    inventory.removeDuplicates();
    if (trace.enabled()) {
        traceLine(L"source installations of today and JAVA_HOME: " + std::to_wstring(inputs.installations.size()) +
                  L" homes");
    }
    inventory.addInstallations(inputs.installations, inputs.exists, inputs.examine);
    inventory.sortByVersion();
    if (trace.enabled()) {
        traceLine(L"inventory: " + std::to_wstring(inventory.entries().size()) + L" VMs, lowest version first");
        for (const auto& vm : inventory.entries()) {
            traceLine(L"  " + describeVm(*vm));
        }
    }
    return inventory;
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

void VmInventory::addRegistered(const std::vector<RegisteredRelease>& releases, VmKind kind)
{
    for (const auto& release : releases) {
        entries_.push_back(registeredVm(release.subkeyName, release.microVersion, release.javaHome, kind));
        entries_.back()->source = release.source;
        if (Trace::instance().enabled()) {
            traceLine(L"found " + describeVm(*entries_.back()));
        }
    }
}

std::vector<WString> javaProgramsOnPath(const std::vector<WString>& pathEntries, const ExistsProbe& exists)
{
    std::vector<WString> programs;
    for (const WString& dir : pathEntries) {
        for (const wchar_t* name : kPathProgramNames) {
            WString candidate = collapseSeparators(dir + name);
            if (exists(candidate)) {
                programs.push_back(std::move(candidate));
            }
        }
    }
    return programs;
}

void VmInventory::addPathPrograms(const std::vector<WString>& pathEntries, const ExistsProbe& exists,
                                  const std::function<std::unique_ptr<JavaVm>(const WString&)>& examine)
{
    for (const WString& program : javaProgramsOnPath(pathEntries, exists)) {
        entries_.push_back(examine(program));
        entries_.back()->source = L"Path";
        if (Trace::instance().enabled()) {
            traceLine(L"found " + program + L": " + describeVm(*entries_.back()));
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
        WString home = collapseSeparators(installation.home);
        while (!home.empty() && home.back() == L'\\') {
            home.pop_back();
        }
        if (!isAbsolutePath(home) || listed.count(homeKey(home)) > 0) {
            if (Trace::instance().enabled()) {
                traceLine(L"skipped " + installation.home + L" from " + installation.source +
                          (isAbsolutePath(home) ? L": listed already" : L": not an absolute path"));
            }
            continue;
        }
        const WString program = home + L"\\bin\\java.exe";
        if (!exists(program)) {
            if (Trace::instance().enabled()) {
                traceLine(L"skipped " + installation.home + L" from " + installation.source + L": no bin\\java.exe");
            }
            continue;
        }
        std::unique_ptr<JavaVm> vm = examine(program);
        vm->source = installation.source;
        if (Trace::instance().enabled()) {
            traceLine(L"found " + program + L": " + describeVm(*vm));
        }
        listed.insert(homeKey(vm->home));
        entries_.push_back(std::move(vm));
    }
}

void VmInventory::removeDuplicates()
{
    std::set<std::pair<WString, VmVersion>> seen;
    std::vector<std::unique_ptr<JavaVm>> kept;
    for (auto& vm : entries_) {
        if (seen.emplace(vm->home, vm->version).second) {
            kept.push_back(std::move(vm));
        } else if (Trace::instance().enabled()) {
            traceLine(L"duplicate removed: " + describeVm(*vm));
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
