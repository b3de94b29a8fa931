#pragma once

// The console decision and the texts of process start-up, as rules.

#include <string_view>

#include "base/wstring.h"

namespace qel {

// Whether a run uses a console window: Ctrl held at start or "-i console" on the
// command line decide at once; otherwise a redirect setting whose whole value is
// "console" in any case.
bool consoleWanted(bool controlKeyAtStart, bool consoleRequested, std::wstring_view stdoutRedirect,
                   std::wstring_view stderrRedirect);

// The format of the start failure message with its "%d" replaced by the Windows
// error code in decimal, cut to 512 units as the message buffer holds them.
WString formatStartFailure(std::wstring_view format, unsigned long errorCode);

// The diagnostics written to standard error before the VM starts.
WString workingDirectoryLine(std::wstring_view workingDirectory);
WString commandLineLine(std::wstring_view commandLine);

}  // namespace qel
