#pragma once

// Path text operations that only look at the text. Paths use the backslash as
// separator; nothing here adds a trailing backslash.

#include <string_view>

#include "base/wstring.h"

namespace qel {

// Whether a name is given back as written or lower-cased with toLowerAscii.
enum class LetterCase { AsIs, Lower };

// Makes separators uniform: runs of backslashes shrink to one (the leading pair of
// a UNC path is kept), then forward slashes become backslashes. Because the slashes
// are replaced last, a doubled forward slash stays a doubled backslash.
WString collapseSeparators(std::wstring_view path);

// The text after the last backslash, or the whole path when it has none.
WString fileName(std::wstring_view path, LetterCase letterCase = LetterCase::AsIs);

// True when the last dot comes after the last backslash, a missing backslash
// counting as position 0: a bare name whose only dot is its first unit has none.
bool hasExtension(std::wstring_view path);

// The text after the last dot when hasExtension holds, otherwise empty.
WString extension(std::wstring_view path, LetterCase letterCase = LetterCase::AsIs);

// The text before the last backslash, or the fallback when there is none.
WString parentDir(std::wstring_view path, std::wstring_view fallback);

// The directory a file's path names, usable on its own: a file at the root of a
// drive or of the current drive lies in that root ("C:\" or "\"), never in the
// drive-relative "C:". A name without a backslash lies in its drive's current
// directory ("C:" for "C:name") or in the current directory (".").
WString directoryOf(std::wstring_view path);

// The path without the backslashes at its end ("C:\\jdk\\" is "C:\\jdk").
WString withoutTrailingBackslashes(std::wstring_view path);

// A leading backslash, or a colon as second unit ("C:" counts too).
bool isAbsolutePath(std::wstring_view path);

// Whether the path's last name is one that Windows keeps for a device in every
// directory: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0 to COM9 and LPT0 to LPT9
// (also with a superscript 1, 2 or 3), in any case, with any extension and with
// blanks or dots after it ("nul.txt", "C:\logs\Com1 .log").
bool isDeviceName(std::wstring_view path);

// A path as the system gives back a final path ("\\?\C:\jdk" or
// "\\?\UNC\server\share") in the form users write: "C:\jdk", "\\server\share".
// Other paths are returned as they are.
WString withoutVerbatimPrefix(std::wstring_view path);

}  // namespace qel
