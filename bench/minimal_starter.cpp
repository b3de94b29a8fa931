// The least a launcher must do, as the baseline of the launch benchmark: a
// windowed program, linked like the launcher, that starts the command line
// following its own program name (the command line the launcher gave its VM),
// waits for it and exits with its exit code. It reads no settings, looks for no
// VM and writes no file.
//   minimal_starter.exe <the VM's command line>
// Built a second time with QEL_READ_CONTROL_KEY as minimal_starter_user32.exe,
// which also reads the Ctrl key as the launcher does at every start, and so
// loads user32.dll.

#include <windows.h>

#include "base/handles.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandTail, int)
{
#ifdef QEL_READ_CONTROL_KEY
    if (GetKeyState(VK_CONTROL) < 0) {
        return 1;
    }
#endif
    // The same start-up information the launcher hands its VM.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    startup.cbReserved2 = 0;
    startup.lpReserved2 = nullptr;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);

    PROCESS_INFORMATION info{};
    // The tail lies in the process's own copy of its command line, which
    // CreateProcessW may write into.
    if (!CreateProcessW(nullptr, commandTail, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        return static_cast<int>(GetLastError());
    }
    const qel::UniqueHandle process(info.hProcess);
    const qel::UniqueHandle thread(info.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}
