#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "base/web_address.h"

namespace qel {

unsigned long openWebAddress(const WString& address)
{
    if (!isWebAddress(address)) {
        return ERROR_INVALID_PARAMETER;
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
    using ShellExecuteEx = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    const auto execute =
        shell == nullptr
            ? nullptr
            : reinterpret_cast<ShellExecuteEx>(reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteExW")));
    if (execute == nullptr) {
        return GetLastError();
    }
    // The launcher reports a failure itself (no box of the shell's), and ends
    // right after: the shell finishes before it returns. Named by its class, the
    // address is a document the class's command gets as written; given alone,
    // Wine's shell first replaces every %NAME% in it by the environment's value.
    const WString scheme = webAddressClass(address);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | SEE_MASK_CLASSNAME;
    info.lpVerb = L"open";
    info.lpFile = address.c_str();
    info.lpClass = scheme.c_str();
    info.nShow = SW_SHOWNORMAL;
    SetLastError(0);
    if (execute(&info)) {
        return 0;
    }
    return shellExecuteError(GetLastError(), reinterpret_cast<INT_PTR>(info.hInstApp));
}

}  // namespace qel
