#include "support/console_screen.h"

#include <windows.h>

#include <tlhelp32.h>

#include "base/handles.h"

namespace qel::test {

AttachedConsole::AttachedConsole(unsigned long processId)
{
    FreeConsole();
    attached_ = AttachConsole(processId) != FALSE;
}

AttachedConsole::~AttachedConsole()
{
    if (attached_) {
        FreeConsole();
    }
}

std::optional<WString> AttachedConsole::screen() const
{
    const UniqueFile output(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!output || !GetConsoleScreenBufferInfo(output.get(), &info)) {
        return std::nullopt;
    }
    WString text;
    const SHORT width = info.dwSize.X;
    for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
        WString line(static_cast<std::size_t>(width), L' ');
        DWORD read = 0;
        if (!ReadConsoleOutputCharacterW(output.get(), line.data(), static_cast<DWORD>(width), COORD{0, row}, &read)) {
            return std::nullopt;
        }
        line.resize(read);
        line.erase(line.find_last_not_of(L' ') + 1);
        text += line + L"\n";
    }
    return text;
}

bool AttachedConsole::typeEnter() const
{
    const UniqueFile input(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    if (!input) {
        return false;
    }
    INPUT_RECORD keys[2] = {};
    for (int i = 0; i < 2; ++i) {
        keys[i].EventType = KEY_EVENT;
        keys[i].Event.KeyEvent.bKeyDown = i == 0 ? TRUE : FALSE;
        keys[i].Event.KeyEvent.wRepeatCount = 1;
        keys[i].Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
        keys[i].Event.KeyEvent.wVirtualScanCode = static_cast<WORD>(MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC));
        keys[i].Event.KeyEvent.uChar.UnicodeChar = L'\r';
    }
    DWORD written = 0;
    return WriteConsoleInputW(input.get(), keys, 2, &written) && written == 2;
}

unsigned long parentProcessId(unsigned long processId)
{
    const UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return 0;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == processId) {
            return entry.th32ParentProcessID;
        }
    }
    return 0;
}

}  // namespace qel::test
