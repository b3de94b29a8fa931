#include "driver/entry_point.h"

#include <windows.h>

#include <cstdio>
#include <exception>

#include "base/errors.h"
#include "base/messages.h"
#include "base/text.h"
#include "launch/command_line.h"
#include "launch/console.h"
#include "launch/launcher.h"
#include "settings/settings.h"

namespace qel {

namespace {

// At the end of a run in a console the launcher opened, the window stays until
// Enter when the settings ask for it or Ctrl is held down at this moment.
void pauseIfAsked(const Launcher& launcher)
{
    const auto controlKeyDown = [] { return GetKeyState(VK_CONTROL) < 0; };
    if (pauseAtEnd(Console::instance().isAllocated(), consolePause(launcher.properties), controlKeyDown)) {
        std::fwprintf(stdout, L"[press enter to close this window]\n");
        std::fflush(stdout);
        std::fgetwc(stdin);
    }
}

int runGuarded(const CommandLine& commandLine)
{
    Launcher launcher(commandLine);
    if (commandLine.serviceRequested) {
        // Service mode belongs to the service host, which is not part of this
        // build yet: the settings are read and checked, so their errors show as in
        // a normal run, and nothing is started.
        return 0;
    }
    launcher.run(true);
    pauseIfAsked(launcher);
    return static_cast<int>(launcher.exitCode);
}

}  // namespace

int launcherMain()
{
    const CommandLine commandLine = CommandLine::parse();
    try {
        return runGuarded(commandLine);
    } catch (const TerminalError& error) {
        showErrorBox(error.message);
    } catch (const std::exception& error) {
        showErrorBox(L"an unknown exception has occurrred.\n" + widenSignExtended(error.what()));
    }
    return 0;
}

}  // namespace qel
