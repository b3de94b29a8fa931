#include "vm/install_keys.h"

#include "base/text.h"

namespace qel {

const std::vector<InstallKeyLayout>& installKeyLayouts()
{
    static const std::vector<InstallKeyLayout> layouts = {
        // Oracle's keys, which other vendors' installers also write: the old ones
        // (read here in each view; the inventory's first sources read them with
        // their MicroVersion) and those of release 9 and later.
        {L"SOFTWARE\\JavaSoft\\Java Development Kit\\*", L"JavaHome"},
        {L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\*", L"JavaHome"},
        {L"SOFTWARE\\JavaSoft\\JDK\\*", L"JavaHome"},
        {L"SOFTWARE\\JavaSoft\\JRE\\*", L"JavaHome"},
        // The MSI installers built from one template: <maker>\<kind>\<version>\<VM>\MSI.
        {L"SOFTWARE\\Eclipse Adoptium\\JDK\\*\\*\\MSI", L"Path"},
        {L"SOFTWARE\\Eclipse Adoptium\\JRE\\*\\*\\MSI", L"Path"},
        {L"SOFTWARE\\Eclipse Foundation\\JDK\\*\\*\\MSI", L"Path"},
        {L"SOFTWARE\\Eclipse Foundation\\JRE\\*\\*\\MSI", L"Path"},
        {L"SOFTWARE\\AdoptOpenJDK\\JDK\\*\\*\\MSI", L"Path"},
        {L"SOFTWARE\\AdoptOpenJDK\\JRE\\*\\*\\MSI", L"Path"},
        // The first installers of that template had no VM level: <version>\MSI.
        {L"SOFTWARE\\AdoptOpenJDK\\JDK\\*\\MSI", L"Path"},
        {L"SOFTWARE\\AdoptOpenJDK\\JRE\\*\\MSI", L"Path"},
        {L"SOFTWARE\\Microsoft\\JDK\\*\\*\\MSI", L"Path"},
        {L"SOFTWARE\\Semeru\\JDK\\*\\openj9\\MSI", L"Path"},
        {L"SOFTWARE\\Semeru\\JRE\\*\\openj9\\MSI", L"Path"},
        {L"SOFTWARE\\Azul Systems\\Zulu\\*", L"InstallationPath"},
        // The 32-bit runtimes' own key, written in the 32-bit view.
        {L"SOFTWARE\\Azul Systems\\Zulu 32-bit\\*", L"InstallationPath"},
        // <jdk|jre>-<feature>, for example jdk-17.
        {L"SOFTWARE\\BellSoft\\Liberica\\*", L"InstallationPath"},
    };
    return layouts;
}

const std::vector<RegistryPlace>& installKeyPlaces()
{
    // Of two installations of one version the one found later is chosen: the
    // 64-bit one over the 32-bit one, the user's own over the machine's.
    static const std::vector<RegistryPlace> places = {
        {RegistryRoot::LocalMachine, RegistryBits::Bits32},
        {RegistryRoot::LocalMachine, RegistryBits::Bits64},
        {RegistryRoot::CurrentUser, std::nullopt},
    };
    return places;
}

std::vector<WString> patternComponents(const InstallKeyLayout& layout)
{
    return Tokenizer(layout.pattern, L"\\").tokens();
}

WString layoutBase(const InstallKeyLayout& layout)
{
    const std::wstring_view pattern = layout.pattern;
    const auto star = pattern.find(L"\\*");
    return WString(pattern.substr(0, star));
}

WString registrySource(RegistryRoot root, std::wstring_view keyPath, std::optional<RegistryBits> view)
{
    WString text = root == RegistryRoot::LocalMachine ? L"registry HKLM\\" : L"registry HKCU\\";
    text += keyPath;
    if (view) {
        text += *view == RegistryBits::Bits64 ? L" (64-bit view)" : L" (32-bit view)";
    }
    return text;
}

}  // namespace qel
