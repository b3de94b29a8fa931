#pragma once

// The one way the launcher owns Windows handles: a std::unique_ptr with a deleter
// per kind. An empty owner holds nullptr; handles whose "invalid" value is
// INVALID_HANDLE_VALUE are adopted through adoptFileHandle so both cases meet.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace qel {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// CreateFileW reports failure with INVALID_HANDLE_VALUE, not NULL.
inline UniqueHandle adoptFileHandle(HANDLE handle)
{
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct KeyCloser {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct ModuleFreer {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

struct FindCloser {
    void operator()(HANDLE find) const noexcept { FindClose(find); }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

}  // namespace qel
