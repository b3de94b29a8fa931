#pragma once

// Addresses the launcher may hand to the user's web browser, and nothing else:
// what the shell opens for any other text may be a program.

#include <string_view>

#include "base/wstring.h"

namespace qel {

// "https://" or "http://" (the scheme in any case), then a host (a unit that is
// not "/"), with no blank or control character anywhere (a browser's command
// line in the registry takes the address as one argument).
bool isWebAddress(std::wstring_view text);

// Opens a web address in the user's default browser; does nothing for any other
// text. False when the shell could not open it.
bool openWebAddress(const WString& address);

}  // namespace qel
