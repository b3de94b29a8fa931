#pragma once

// The texts of a VM's start, as rules: the diagnostics written before it and the
// message of a start that failed.

#include <string_view>

#include "base/wstring.h"

namespace qel {

// The format of the start failure message with its "%d" replaced by the Windows
// error code in decimal, cut to 512 units as the message buffer holds them.
WString formatStartFailure(std::wstring_view format, unsigned long errorCode);

// A Windows error for the trace, with the system's text of it on one line:
// "Windows error 2 (The system cannot find the file specified.)"; the number
// alone when the system has no text for it.
WString windowsErrorText(unsigned long errorCode, std::wstring_view systemText);

// The diagnostics written to standard error before the VM starts.
WString workingDirectoryLine(std::wstring_view workingDirectory);
WString commandLineLine(std::wstring_view commandLine);

}  // namespace qel
