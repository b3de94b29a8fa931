#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "base/web_address.h"

namespace qel {

bool openWebAddress(const WString& address)
{
    if (!isWebAddress(address)) {
        return false;
    }
    // The shell and COM libraries are loaded only for this, once in a run that
    // failed: they are large, and every other run would pay for loading them.
    // The shell may hand the address to an extension through COM, which the
    // thread must have initialised.
    const HMODULE com = LoadLibraryW(L"ole32.dll");  // kept until the process ends
    using CoInitializeEx = HRESULT(WINAPI*)(LPVOID, DWORD);
    if (const auto initialize = com == nullptr ? nullptr
                                               : reinterpret_cast<CoInitializeEx>(
                                                     reinterpret_cast<void*>(GetProcAddress(com, "CoInitializeEx")))) {
        initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    }
    const HMODULE shell = LoadLibraryW(L"shell32.dll");  // kept until the process ends
    using ShellExecute = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    const auto execute =
        shell == nullptr
            ? nullptr
            : reinterpret_cast<ShellExecute>(reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW")));
    if (execute == nullptr) {
        return false;
    }
    // ShellExecuteW reports success with a value above 32.
    const auto result =
        reinterpret_cast<INT_PTR>(execute(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

}  // namespace qel
