#pragma once

// Where the installers of today register Java installations in the registry, in
// which roots and views the inventory looks for them, and how such a place is
// named in a report. Pure rules: nothing here touches Windows.

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

enum class RegistryRoot { LocalMachine, CurrentUser };

// The 32-bit view (the Wow6432Node keys of 32-bit installers) or the 64-bit one.
enum class RegistryBits { Bits32, Bits64 };

// One registry root in one view; without a view, in the launcher's own.
struct RegistryPlace {
    RegistryRoot root;
    std::optional<RegistryBits> view;
    // Opened as the inventory's first sources have always opened the JavaSoft
    // keys: both view flags at once, then the fallbacks (see RegistryKey).
    bool anyView = false;
};

// The JavaSoft keys of the inventory's first sources.
inline constexpr RegistryPlace kJavaSoftPlace{RegistryRoot::LocalMachine, std::nullopt, true};

// What the VM search asks of the registry, so that its walks are rules over
// invented registries; the shell answers from the real one (machineRegistry).
struct RegistryProbe {
    // The names of a key's subkeys, in enumeration order; none when the key
    // cannot be opened.
    std::function<std::optional<std::vector<WString>>(const RegistryPlace& place, const WString& keyPath)> subkeys;
    // A string value of a key; none when the key or the value cannot be read.
    std::function<std::optional<WString>(const RegistryPlace& place, const WString& keyPath, const WString& name)>
        value;
    // Whether a key can be opened. When given, a walk asks it before it goes
    // below a named key, so that the layouts of a maker whose key is missing
    // cost one question per place, not one per layout.
    std::function<bool(const RegistryPlace& place, const WString& keyPath)> exists;
};

// One way installers register an installation: a key path whose "*" components
// stand for every subkey there, and the value that holds the installation's home
// directory.
struct InstallKeyLayout {
    const wchar_t* pattern;
    const wchar_t* homeValue;
};

// The layouts the inventory reads, in order:
//   SOFTWARE\JavaSoft\Java Development Kit\*                 JavaHome
//   SOFTWARE\JavaSoft\Java Runtime Environment\*             JavaHome
//   SOFTWARE\JavaSoft\JDK\*                                  JavaHome
//   SOFTWARE\JavaSoft\JRE\*                                  JavaHome
//   SOFTWARE\Eclipse Adoptium\JDK\*\*\MSI                    Path  (and JRE)
//   SOFTWARE\Eclipse Foundation\JDK\*\*\MSI                  Path  (and JRE)
//   SOFTWARE\AdoptOpenJDK\JDK\*\*\MSI                        Path  (and JRE)
//   SOFTWARE\AdoptOpenJDK\JDK\*\MSI                          Path  (and JRE)
//   SOFTWARE\Microsoft\JDK\*\*\MSI                           Path
//   SOFTWARE\Semeru\JDK\*\openj9\MSI                         Path  (and JRE)
//   SOFTWARE\Azul Systems\Zulu\*                             InstallationPath
//   SOFTWARE\Azul Systems\Zulu 32-bit\*                      InstallationPath
//   SOFTWARE\BellSoft\Liberica\*                             InstallationPath
// (the "*\*" of the MSI keys is the version and the VM, "hotspot" or "openj9").
const std::vector<InstallKeyLayout>& installKeyLayouts();

// The roots and views the layouts are read in, in order: HKEY_LOCAL_MACHINE's
// 32-bit view, its 64-bit view, then HKEY_CURRENT_USER (per-user installations),
// whose SOFTWARE key both views share.
const std::vector<RegistryPlace>& installKeyPlaces();

// The components of a layout's pattern, split at backslashes.
std::vector<WString> patternComponents(const InstallKeyLayout& layout);

// The key an installer of this layout creates: the pattern before its first "*".
WString layoutBase(const InstallKeyLayout& layout);

// "registry HKLM\SOFTWARE\JavaSoft\JDK\17 (64-bit view)"; without a view (the key
// opened the way the JavaSoft keys always were) the view is not named.
WString registrySource(RegistryRoot root, std::wstring_view keyPath, std::optional<RegistryBits> view);

}  // namespace qel
