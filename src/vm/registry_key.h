#pragma once

// A read-only view of one open registry key. Every failure throws KeyException;
// the VM search treats a key or value that throws as absent.

#include <windows.h>

#include <optional>
#include <string_view>
#include <vector>

#include "base/handles.h"
#include "base/wstring.h"
#include "vm/install_keys.h"

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

    // Opens path below root in exactly this view (without one, in the caller's
    // own), in one attempt; the key's children open the same way.
    RegistryKey(HKEY root, std::wstring_view path, std::optional<RegistryBits> view);

    // The key as the constructors open it; none when it cannot be opened. A
    // search asks for many keys that are not there: no error text is made.
    static std::optional<RegistryKey> openIfPresent(HKEY root, std::wstring_view path);
    static std::optional<RegistryKey> openIfPresent(HKEY root, std::wstring_view path,
                                                    std::optional<RegistryBits> view);

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
    // The same; none when the value cannot be read or is no string.
    std::optional<WString> stringValueIfPresent(std::wstring_view name) const;

    // The names of all subkeys, in enumeration order.
    std::vector<WString> subkeyNames() const;

    void close();

    bool isOpen() const { return handle_ != nullptr; }
    const WString& path() const { return path_; }

private:
    RegistryKey() = default;
    // Opens subkey below parent under the given path, which a failure carries.
    void openAs(HKEY parent, std::wstring_view subkey, const WString& path);
    // The same without the exception: the registry's result code.
    LONG attemptOpen(HKEY parent, std::wstring_view subkey, const WString& path);

    WString path_;
    UniqueKey handle_;
    // Whether the key opens in one attempt with view_ (KEY_WOW64_32KEY,
    // KEY_WOW64_64KEY or 0), or with the attempts of both views, no view and the
    // connected registry.
    bool oneView_ = false;
    REGSAM view_ = 0;
};

}  // namespace qel
