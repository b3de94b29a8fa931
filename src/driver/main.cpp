#include <windows.h>

#include "driver/entry_point.h"

// The windowed launcher, ravelin.exe. None of the four arguments is used: the
// command line comes from GetCommandLineW and the messages from the running
// executable's own module.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return qel::launcherMain(qel::Frontend::Windowed);
}
