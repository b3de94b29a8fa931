#pragma once

// Finding a program's windows from a test.

#include <windows.h>

namespace qel::test {

// The first visible top-level window of the process in the window list
// (topmost first), of the given class when one is given (#32770 for a message
// box); NULL when it has none.
HWND visibleTopWindow(DWORD processId, const wchar_t* className = nullptr);

// The same among every top-level window of the process, hidden ones too.
HWND anyTopWindow(DWORD processId, const wchar_t* className);

}  // namespace qel::test
