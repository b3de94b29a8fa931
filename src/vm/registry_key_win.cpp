#include "vm/registry_key.h"

#include "base/errors.h"
#include "base/messages.h"

namespace qel {

namespace {

// Read access with both registry views asked for.
constexpr REGSAM kReadBothViews = KEY_READ | KEY_WOW64_64KEY | KEY_WOW64_32KEY;
static_assert(kReadBothViews == 0x20319, "the first attempt asks for both views");
// Values and subkeys only, in the caller's own view.
constexpr REGSAM kQueryAndEnumerate = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
static_assert(kQueryAndEnumerate == 9, "the second attempt asks for no view");

}  // namespace

RegistryKey::RegistryKey(HKEY root, std::wstring_view path)
{
    open(root, path);
}

RegistryKey::RegistryKey(HKEY root, std::wstring_view path, std::optional<RegistryBits> view)
    : oneView_(true), view_(!view                           ? 0
                            : *view == RegistryBits::Bits64 ? KEY_WOW64_64KEY
                                                            : KEY_WOW64_32KEY)
{
    open(root, path);
}

RegistryKey RegistryKey::child(std::wstring_view name) const
{
    RegistryKey key;
    key.oneView_ = oneView_;
    key.view_ = view_;
    key.openAs(handle_.get(), name, path_ + L"\\" + WString(name));
    return key;
}

void RegistryKey::open(HKEY parent, std::wstring_view path)
{
    openAs(parent, path, WString(path));
}

std::optional<RegistryKey> RegistryKey::openIfPresent(HKEY root, std::wstring_view path)
{
    RegistryKey key;
    if (key.attemptOpen(root, path, WString(path)) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return key;
}

std::optional<RegistryKey> RegistryKey::openIfPresent(HKEY root, std::wstring_view path,
                                                      std::optional<RegistryBits> view)
{
    RegistryKey key;
    key.oneView_ = true;
    key.view_ = !view ? 0 : *view == RegistryBits::Bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    if (key.attemptOpen(root, path, WString(path)) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return key;
}

void RegistryKey::openAs(HKEY parent, std::wstring_view subkey, const WString& path)
{
    const LONG result = attemptOpen(parent, subkey, path);
    if (result != ERROR_SUCCESS) {
        // The registry functions return their error instead of setting the
        // thread's last error, so the text is taken from the last attempt's code.
        SetLastError(static_cast<DWORD>(result));
        throw KeyException(lastErrorText(), path);
    }
}

LONG RegistryKey::attemptOpen(HKEY parent, std::wstring_view subkey, const WString& path)
{
    close();
    const WString name(subkey);
    HKEY opened = nullptr;
    LONG result = ERROR_SUCCESS;
    if (oneView_) {
        result = RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | view_, &opened);
    } else {
        // Some systems refuse the combined view flags, and some keys are
        // reachable only through the machine's connected registry: each attempt
        // covers one.
        result = RegOpenKeyExW(parent, name.c_str(), 0, kReadBothViews, &opened);
        if (result != ERROR_SUCCESS) {
            result = RegOpenKeyExW(parent, name.c_str(), 0, kQueryAndEnumerate, &opened);
        }
        if (result != ERROR_SUCCESS) {
            HKEY connected = nullptr;
            result = RegConnectRegistryW(nullptr, parent, &connected);
            if (result == ERROR_SUCCESS) {
                const UniqueKey connection(connected);  // needed only for this open
                result = RegOpenKeyExW(connected, name.c_str(), 0, kReadBothViews, &opened);
            }
        }
    }
    if (result == ERROR_SUCCESS) {
        handle_.reset(opened);
        path_ = path;
    }
    return result;
}

WString RegistryKey::stringValue(std::wstring_view name) const
{
    if (!isOpen()) {
        throw KeyException(L"key not open", L"");
    }
    if (auto text = stringValueIfPresent(name)) {
        return std::move(*text);
    }
    // Why it failed: a value that fits the buffer but is no string, or any other
    // failure (no such value, or one longer than the buffer).
    const WString valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    const bool read = RegQueryValueExW(handle_.get(), valueName.c_str(), nullptr, &type, nullptr, &size) ==
                      ERROR_SUCCESS;
    const bool isString = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    throw KeyException(read && size <= kRegistryValueBytes && !isString ? L"value not a string" : L"key query failed",
                       path_);
}

std::optional<WString> RegistryKey::stringValueIfPresent(std::wstring_view name) const
{
    if (!isOpen()) {
        return std::nullopt;
    }
    const WString valueName(name);
    // Aligned for UTF-16 units.
    wchar_t buffer[kRegistryValueBytes / sizeof(wchar_t)];
    DWORD type = 0;
    DWORD size = kRegistryValueBytes;
    // A value longer than the buffer fails with ERROR_MORE_DATA like any other.
    if (RegQueryValueExW(handle_.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
        return std::nullopt;
    }
    WString text;
    for (DWORD i = 0; i < size / sizeof(wchar_t) && i < kRegistryValueBytes / sizeof(wchar_t); ++i) {
        if (buffer[i] != L'\0') {
            text.push_back(buffer[i]);
        }
    }
    return text;
}

std::vector<WString> RegistryKey::subkeyNames() const
{
    if (!isOpen()) {
        throw KeyException(L"key not open", L"");
    }
    std::vector<WString> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kRegistryNameUnits];
        DWORD length = kRegistryNameUnits;
        const LONG result = RegEnumKeyExW(handle_.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_SUCCESS) {
            names.emplace_back(name, length);
        } else if (result != ERROR_MORE_DATA) {
            // ERROR_NO_MORE_ITEMS ends the list. Any other failure (the key was
            // deleted meanwhile, for one) would repeat for every further index.
            break;
        }
        // A name too long for the buffer is skipped.
    }
    return names;
}

void RegistryKey::close()
{
    handle_.reset();
}

}  // namespace qel
