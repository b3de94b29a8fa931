// The hand-off file deleted when the console closes or the session ends.

#include <windows.h>

#include <mutex>

#include "launch/console_rules.h"
#include "instance/session_end.h"

namespace qel::session_end {

namespace {

// The file to delete, shared with the system's handler threads. Never
// destroyed: an event may come while the process ends.
struct Guarded {
    std::mutex mutex;
    WString path;
};

Guarded& guarded()
{
    static Guarded& instance = *new Guarded;
    return instance;
}

void deleteGuarded()
{
    Guarded& file = guarded();
    const std::lock_guard<std::mutex> lock(file.mutex);
    if (!file.path.empty()) {
        DeleteFileW(file.path.c_str());
        file.path.clear();
    }
}

BOOL WINAPI consoleHandler(DWORD event)
{
    if (!endsConsoleSession(event)) {
        return FALSE;
    }
    deleteGuarded();
    // As after Ctrl+C: the VM in the same console gets the event too, and the
    // launcher's main thread ends the run with its exit code once it has ended.
    // Returning would let the system end the launcher at once; it ends it anyway
    // when its time for the event is up.
    Sleep(INFINITE);
    return TRUE;
}

LRESULT CALLBACK sessionWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_QUERYENDSESSION) {
        return TRUE;  // the launcher never holds the session up
    }
    if (message == WM_ENDSESSION) {
        if (wParam != FALSE) {
            deleteGuarded();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The window comes only once the VM has run a while: under Wine a window costs
// the launcher about 6 MB, which a short run (a command-line tool) should not
// pay for a log-off that will not come.
constexpr DWORD kWindowAfterMs = 2000;

// A top-level window that is never shown: a message-only window would get no
// broadcast messages, WM_ENDSESSION among them. NULL when it cannot be made.
HWND createSessionWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = sessionWindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"RavelinSessionEnd";
    if (RegisterClassW(&windowClass) == 0) {
        return nullptr;
    }
    return CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           windowClass.hInstance, nullptr);
}

}  // namespace

void deleteAtEnd(const WString& path)
{
    static const bool handlerTaken = SetConsoleCtrlHandler(consoleHandler, TRUE) != FALSE;
    (void)handlerTaken;
    Guarded& file = guarded();
    const std::lock_guard<std::mutex> lock(file.mutex);
    file.path = path;
}

void forget()
{
    Guarded& file = guarded();
    const std::lock_guard<std::mutex> lock(file.mutex);
    file.path.clear();
}

void waitForVmWatchingSession(HANDLE vmProcess)
{
    if (WaitForSingleObject(vmProcess, kWindowAfterMs) != WAIT_TIMEOUT) {
        return;
    }
    const HWND window = createSessionWindow();
    if (window == nullptr) {
        WaitForSingleObject(vmProcess, INFINITE);
        return;
    }
    // The messages sent to the window (WM_QUERYENDSESSION, WM_ENDSESSION) are
    // delivered while the wait looks at them.
    while (MsgWaitForMultipleObjects(1, &vmProcess, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
    DestroyWindow(window);
}

SessionEndWatch watch()
{
    return SessionEndWatch{deleteAtEnd, forget, waitForVmWatchingSession};
}

}  // namespace qel::session_end
