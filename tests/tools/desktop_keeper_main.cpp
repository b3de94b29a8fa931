// desktop_keeper READY_FILE: holds Wine's desktop open for a whole test run.
//
// Wine's desktop process (explorer.exe /desktop) ends a while after the last
// program with windows has ended, and the next program that uses windows starts
// it again. The new desktop inherits that program's Unix standard handles: when
// the program is a test, CTest's pipes stay open as long as the desktop lives,
// and CTest waits for them until the test times out, although the test itself
// has ended. Started once before the tests, detached and without pipes, this
// program keeps a hidden window, and so the desktop, until it is ended. It
// creates READY_FILE once its window exists.

#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        return 2;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QelDesktopKeeper";
    if (RegisterClassW(&windowClass) == 0 ||
        CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                        windowClass.hInstance, nullptr) == nullptr) {
        return 1;
    }
    const HANDLE ready = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        return 1;
    }
    CloseHandle(ready);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}
