#include "support/top_windows.h"

namespace qel::test {

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    bool visibleOnly;
    HWND window;
};

BOOL CALLBACK findWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || (search->visibleOnly && !IsWindowVisible(window))) {
        return TRUE;
    }
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (search->className != nullptr && lstrcmpW(className, search->className) != 0) {
        return TRUE;
    }
    search->window = window;
    return FALSE;
}

}  // namespace

HWND visibleTopWindow(DWORD processId, const wchar_t* className)
{
    WindowSearch search{processId, className, true, nullptr};
    EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

HWND anyTopWindow(DWORD processId, const wchar_t* className)
{
    WindowSearch search{processId, className, false, nullptr};
    EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

}  // namespace qel::test
