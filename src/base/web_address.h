#pragma once

// Addresses the launcher may hand to the user's web browser, and nothing else:
// what the shell opens for any other text may be a program.

#include <cstddef>
#include <string_view>

#include "base/wstring.h"

namespace qel {

// The longest address the launcher hands to the shell, in UTF-16 units. Wine's
// shell overflows a buffer for addresses of about 1,000 units; Windows takes
// longer ones, but a download page needs no more.
inline constexpr std::size_t kMaxWebAddressUnits = 900;

// "https://" or "http://" (the scheme in any case), then a host, optionally
// with a port of digits up to 65535 ("example.com:8443", "[::1]:8443"), then
// nothing or a path, query or fragment ("/", "?" or "#" and anything allowed).
// No user name ("user@host"), at most kMaxWebAddressUnits units, every "%"
// followed by two hexadecimal digits (an escape, "%20"), and none of the
// characters a URL may not hold, anywhere: blanks (U+0020, NBSP, U+3000 and
// every other Unicode space, the line and paragraph separators), C0 and C1
// controls and DEL, the bidirectional controls (U+061C, U+200E, U+200F, U+202A
// to U+202E, U+2066 to U+2069), the invisible format characters (U+00AD,
// U+200B to U+200D, U+2060, U+FEFF), and " < > \ ^ ` { | }. What the box shows
// is then what the browser gets: a browser's command line in the registry
// takes the address as one argument, and no character can make the text read
// otherwise.
bool isWebAddress(std::wstring_view text);

// The class of the shell whose open command starts the browser for a web
// address: its scheme in lower case, "https" or "http" (empty for any other
// text).
WString webAddressClass(std::wstring_view address);

// Whether a UTF-16 unit may appear in a web address (the characters above).
bool mayAppearInWebAddress(wchar_t unit);

// The Windows error of a failed ShellExecuteExW: 1155 (ERROR_NO_ASSOCIATION)
// when its instance value (an SE_ERR_ code) says that no program is registered,
// or when neither it nor the last error says anything, else its last error, or
// when that is 0 the one its SE_ERR_ code stands for.
unsigned long shellExecuteError(unsigned long lastError, std::ptrdiff_t instanceValue);

// Opens a web address in the user's default browser; does nothing for any other
// text (ERROR_INVALID_PARAMETER, 87). The browser gets the address as written:
// the shell is named the scheme's class, so it takes the address as the
// class's document and replaces no %NAME% in it by the environment (Wine's
// shell does so for an address given alone). 0 when the shell opened it, else
// the Windows error of the shell (1155 when no program is registered for the
// address's scheme).
unsigned long openWebAddress(const WString& address);

}  // namespace qel
