#pragma once

// The properties file reader: key=value lines, "#" comments in the first column,
// backslash continuation lines and \u escapes. Bytes are read as ISO 8859-1.

#include <string_view>

#include "base/wstring.h"
#include "settings/property_table.h"

namespace qel {

// Reads the file at path into the table. Throws FileException when the file
// cannot be opened.
void readProperties(PropertyTable& table, std::wstring_view path);

// The reader's rules over the raw bytes of a file, with the text-mode rules of the
// C runtime: a carriage return directly before a line feed is dropped and a byte
// 0x1A ends the text. A UTF-8 byte-order mark (EF BB BF) that opens the file is
// skipped.
void parseProperties(PropertyTable& table, std::string_view bytes);

// The text without leading and trailing units of value 0x20 or below.
std::wstring_view trimControl(std::wstring_view text);

// \uXXXX (one to four hex digits, none giving U+0000) becomes one unit; a
// backslash before any other unit keeps both units and escapes nothing.
WString unescapeProperty(std::wstring_view text);

}  // namespace qel
