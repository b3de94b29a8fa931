#include "vm/search_trace.h"

#include <algorithm>

#include "base/path_text.h"

namespace qel {

namespace {

const wchar_t* familyName(VmFamily family)
{
    switch (family) {
    case VmFamily::J1:
        return L"J1";
    case VmFamily::J2:
        return L"J2";
    case VmFamily::Msj:
        return L"Microsoft VM";
    }
    return L"?";
}

// "VM 1, VM 3"; "none" for no VM.
WString namesOf(const std::vector<const JavaVm*>& vms)
{
    if (vms.empty()) {
        return L"none";
    }
    WString names;
    for (const JavaVm* vm : vms) {
        names += (names.empty() ? L"" : L", ") + vmName(*vm);
    }
    return names;
}

}  // namespace

WString vmName(const JavaVm& vm)
{
    return vm.number == 0 ? WString(L"the named program") : L"VM " + std::to_wstring(vm.number);
}

WString describeVm(const JavaVm& vm, std::wstring_view versionNote)
{
    WString text = L"home " + vm.home + L", " + versionWords(vm.version);
    if (!versionNote.empty()) {
        text += L" " + WString(versionNote);
    }
    // The family is the version's, but for a VM without one: it counts as Java
    // 1.x, which the version words and a refusal say.
    if (vm.version != VmVersion() || vm.family != VmFamily::J1) {
        text += L", family " + WString(familyName(vm.family));
    }
    text += L", kind " + WString(kindName(vm.kind)) + L", vendor class " + vm.vendor;
    text += vm.company.empty() ? WString(L" (no company name read)") : L" (company \"" + vm.company + L"\")";
    return text;
}

WString foundLine(const JavaVm& vm, std::wstring_view where, std::wstring_view versionNote)
{
    return L"found " + vmName(vm) + L" in " + WString(where) + L": " + describeVm(vm, versionNote);
}

WString foundAgainLine(const JavaVm& vm, std::wstring_view where, const JavaVm& earlier)
{
    return L"found " + vmName(vm) + L" in " + WString(where) + L": the same home and version as " + vmName(earlier);
}

WString duplicateLine(const JavaVm& removed, const JavaVm& kept)
{
    return L"duplicate removed: " + vmName(removed) + L", the same home and version as " + vmName(kept) +
           L", which is kept";
}

WString pathDirectoryLine(std::wstring_view directory, const std::vector<WString>& programs, bool exists)
{
    WString held;
    for (const WString& program : programs) {
        held += (held.empty() ? L"" : L", ") + fileName(program);
    }
    if (held.empty()) {
        held = exists ? L"no Java program" : L"does not exist";
    }
    return L"directory " + WString(directory) + L": " + held;
}

WString countOf(std::size_t count, std::wstring_view one, std::wstring_view many, std::wstring_view none)
{
    if (count == 0) {
        return WString(none);
    }
    return std::to_wstring(count) + L" " + WString(count == 1 ? one : many);
}

WString leftOutLine(std::wstring_view key, std::wstring_view lacks)
{
    return L"left out " + WString(key) + L": it lacks " + WString(lacks);
}

WString inventoryLine(const std::vector<std::unique_ptr<JavaVm>>& entries)
{
    if (entries.empty()) {
        return L"inventory: no VM";
    }
    WString text = L"inventory, lowest version first: ";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const JavaVm& vm = *entries[i];
        text += (i == 0 ? L"" : L", ") + vmName(vm) + L" (" +
                (vm.version == VmVersion() ? versionWords(vm.version) : versionText(vm.version)) + L")";
    }
    return text;
}

std::vector<WString> tokenVerdictLines(std::wstring_view token, const std::vector<std::unique_ptr<JavaVm>>& entries)
{
    std::vector<const JavaVm*> accepted;
    std::vector<WString> rejections;
    for (const auto& entry : entries) {
        if (matchesToken(*entry, token)) {
            accepted.push_back(entry.get());
        } else {
            rejections.push_back(L"token " + WString(token) + L" rejects " + vmName(*entry) + L": " +
                                 tokenRejection(entry->kind, entry->version, token));
        }
    }
    std::vector<WString> lines = {L"token " + WString(token) + L" accepts " + namesOf(accepted)};
    lines.insert(lines.end(), rejections.begin(), rejections.end());
    return lines;
}

WString chosenLine(const std::vector<JavaVm*>& accepted)
{
    if (accepted.empty()) {
        return L"chosen: none; no token accepts any installed VM";
    }
    const JavaVm& chosen = *accepted.back();
    WString text = L"chosen: " + vmName(chosen) + L" (" + chosen.home + L", " + versionWords(chosen.version) +
                   L"): the highest version a token accepts";
    const auto equals = std::count_if(accepted.begin(), accepted.end(),
                                      [&](const JavaVm* vm) { return vm->version == chosen.version; });
    if (equals > 1) {
        text += L"; of the " + std::to_wstring(equals) + L" with that version, the last one accepted";
    }
    return text;
}

}  // namespace qel
