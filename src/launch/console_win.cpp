// The console: a window of the launcher's own, its title and Ctrl+C, the Ctrl
// key, the diagnostics on standard error and the wait for Enter.

#include <windows.h>

#include "base/errors.h"
#include "base/messages.h"
#include "launch/console.h"
#include "launch/console_rules.h"

namespace qel {

void Console::allocate()
{
    if (allocated_) {
        return;
    }
    // A process that has a console keeps it; the result does not matter.
    AllocConsole();
    // The console's handles are the process's standard handles from now on: the
    // launcher writes its own lines and reads the pause's Enter through them
    // (writeStandardText, waitForEnter). The C runtime's streams keep their old
    // handles until they are bound again; where a stream had no handle before
    // (a launcher started from Explorer), some runtimes refuse to bind it and
    // it stays unusable, which the launcher's own lines no longer depend on.
    std::FILE* ignored = nullptr;
    ignored = std::freopen("CONIN$", "r", stdin);
    ignored = std::freopen("CONOUT$", "w", stdout);
    ignored = std::freopen("CONOUT$", "w", stderr);
    (void)ignored;
    allocated_ = true;
}

namespace {

BOOL WINAPI interruptHandler(DWORD event)
{
    return outlivesConsoleEvent(event) ? TRUE : FALSE;
}

}  // namespace

void Console::outliveInterrupts()
{
    // A handler, not SetConsoleCtrlHandler(NULL, TRUE): that flag would be
    // inherited by the VM, which would then ignore Ctrl+C itself.
    SetConsoleCtrlHandler(interruptHandler, TRUE);
}

void Console::setTitle(const WString& title)
{
    SetConsoleTitleW(title.c_str());
}

bool controlKeyDownNow()
{
    return GetKeyState(VK_CONTROL) < 0;
}

void writeDiagnostic(const WString& text)
{
    writeStandardText(StandardStream::Error, withCrLf(text));
}

void waitForEnter()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD mode = 0;
    DWORD read = 0;
    if (GetConsoleMode(input, &mode)) {
        // A console delivers its input a line at a time: the read returns on
        // Enter, and what was typed before it is left unread.
        wchar_t unit = 0;
        ReadConsoleW(input, &unit, 1, &read, nullptr);
        return;
    }
    char byte = 0;
    ReadFile(input, &byte, 1, &read, nullptr);
}

}  // namespace qel
