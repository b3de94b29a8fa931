#pragma once

// The console decision and the texts of process start-up, as rules.

#include <string_view>
#include <vector>

#include "base/wstring.h"
#include "settings/property_table.h"

namespace qel {

// Whether a run uses a console window: Ctrl held at start or "-i console" on the
// command line decide at once; otherwise a redirect setting whose whole value is
// "console" in any case.
bool consoleWanted(bool controlKeyAtStart, bool consoleRequested, std::wstring_view stdoutRedirect,
                   std::wstring_view stderrRedirect);

// What setting up the console does for a run: whether it uses a console, the
// console's title, and the lines the hand-off file gets first (the Ctrl-key lines
// when Ctrl was held at start).
struct ConsolePlan {
    bool useConsole = false;
    WString title;
    std::vector<WString> handoffLines;
};

ConsolePlan planConsole(bool controlKeyAtStart, bool consoleRequested, const PropertyTable& properties);

// The format of the start failure message with its "%d" replaced by the Windows
// error code in decimal, cut to 512 units as the message buffer holds them.
WString formatStartFailure(std::wstring_view format, unsigned long errorCode);

// The diagnostics written to standard error before the VM starts.
WString workingDirectoryLine(std::wstring_view workingDirectory);
WString commandLineLine(std::wstring_view commandLine);

}  // namespace qel
