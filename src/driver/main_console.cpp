#include "driver/entry_point.h"

// The console twin, ravelinc.exe. The arguments are not used: the command line
// comes from GetCommandLineW, as in the windowed launcher.
int wmain(int, wchar_t**)
{
    return qel::launcherMain(qel::Frontend::Console);
}
