#include "driver/entry_point.h"

#include <windows.h>

#include <cstdio>
#include <exception>

#include "base/errors.h"
#include "base/messages.h"
#include "base/text.h"
#include "launch/command_line.h"
#include "launch/console.h"
#include "launch/launch_process.h"
#include "launch/launcher.h"
#include "service/service_qel.h"
#include "settings/settings.h"

namespace qel {

namespace {

// At the end of a run in a console the launcher opened, the window stays until
// Enter when the settings ask for it or Ctrl is held down at this moment.
void pauseIfAsked(const Launcher& launcher)
{
    if (pauseAtEnd(Console::instance().isAllocated(), consolePause(launcher.properties), controlKeyDownNow)) {
        std::fwprintf(stdout, L"[press enter to close this window]\n");
        std::fflush(stdout);
        std::fgetwc(stdin);
    }
}

int runGuarded(const CommandLine& commandLine)
{
    if (commandLine.serviceRequested) {
        // Returns when the service has stopped, or at once with 0 when the process
        // was started from a shell; a VM that ends on its own with another code
        // ends the process itself.
        return static_cast<int>(ServiceQEL::instance(commandLine).serve());
    }
    Launcher launcher(commandLine);
    launcher.run(true);
    pauseIfAsked(launcher);
    return static_cast<int>(launcher.exitCode);
}

// The one place where errors meet the user: a box, or, for a service the
// service manager started, its failure status and the event log.
int reportError(const CommandLine& commandLine, const WString& text, int messageId)
{
    if (commandLine.serviceRequested) {
        if (const auto exitCode =
                reportFailureToServiceManager(commandLine.serviceName, text, static_cast<std::uint32_t>(messageId))) {
            return static_cast<int>(*exitCode);
        }
    }
    showErrorBox(text);
    return 0;
}

}  // namespace

int launcherMain()
{
    const CommandLine commandLine = CommandLine::parse();
    try {
        return runGuarded(commandLine);
    } catch (const TerminalError& error) {
        return reportError(commandLine, error.message, error.messageId);
    } catch (const std::exception& error) {
        return reportError(commandLine, L"an unknown exception has occurrred.\n" + widenSignExtended(error.what()), 0);
    }
}

}  // namespace qel
