#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "base/system_library.h"
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
    static SystemLibrary com(L"ole32.dll");
    static SystemLibrary shell(L"shell32.dll");
    using CoInitializeEx = HRESULT(WINAPI*)(LPVOID, DWORD);
    if (const auto initialize = com.function<CoInitializeEx>("CoInitializeEx")) {
        initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    }
    using ShellExecuteEx = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    const auto execute = shell.function<ShellExecuteEx>("ShellExecuteExW");
    if (execute == nullptr) {
        return GetLastError();
    }
    // The launcher reports a failure itself (no box of the shell's), and ends
    // right after: the shell finishes before it returns.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = address.c_str();
    info.nShow = SW_SHOWNORMAL;
    SetLastError(0);
    if (execute(&info)) {
        return 0;
    }
    return shellExecuteError(GetLastError(), reinterpret_cast<INT_PTR>(info.hInstApp));
}

}  // namespace qel
