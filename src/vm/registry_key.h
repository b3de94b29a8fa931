#pragma once

// A read-only view of one open registry key. Every failure throws KeyException;
// the VM search treats a key or value that throws as absent.

#include <windows.h>

#include <string_view>
#include <vector>

#include "base/handles.h"
#include "base/wstring.h"

namespace qel {

// A string value is read into this many bytes; a longer one is a failed query.
inline constexpr DWORD kRegistryValueBytes = 512;
// Key names are at most 255 units.
inline constexpr DWORD kRegistryNameUnits = 256;

class RegistryKey {
public:
    // Opens path below root; throws KeyException with the system's text of the
    // failure and the path.
    RegistryKey(HKEY root, std::wstring_view path);

    RegistryKey(RegistryKey&&) noexcept = default;
    RegistryKey& operator=(RegistryKey&&) noexcept = default;

    // The subkey name below this key; its path is this key's path, a backslash
    // and the name.
    RegistryKey child(std::wstring_view name) const;

    // Opens path below parent into this object, closing what it held first; the
    // key's path becomes path.
    void open(HKEY parent, std::wstring_view path);

    // The text of a REG_SZ, REG_EXPAND_SZ (unexpanded) or REG_MULTI_SZ (the strings
    // run together) value, with every null unit dropped.
    WString stringValue(std::wstring_view name) const;

    // The names of all subkeys, in enumeration order.
    std::vector<WString> subkeyNames() const;

    void close();

    bool isOpen() const { return handle_ != nullptr; }
    const WString& path() const { return path_; }

private:
    RegistryKey() = default;
    // Opens subkey below parent under the given path, which a failure carries.
    void openAs(HKEY parent, std::wstring_view subkey, const WString& path);

    WString path_;
    UniqueKey handle_;
};

}  // namespace qel
