#include <windows.h>

#include "base/system_library.h"

namespace qel {

void* SystemLibrary::address(const char* name)
{
    // Only the system folder is searched: a DLL of that name beside the
    // launcher or in the current directory is never loaded.
    std::call_once(loading_, [this] {
        module_ = LoadLibraryExW(fileName_, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);  // kept until the process ends
        loadError_ = module_ == nullptr ? GetLastError() : 0;
    });
    if (module_ == nullptr) {
        SetLastError(loadError_);
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
}

}  // namespace qel
