#pragma once

// The hand-off file: the properties the launcher passes to the Java side, one
// "key=value" line each, in ASCII with every other unit written as an escape.
// Pure rules: nothing here touches Windows.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

// A backslash becomes two backslashes, a unit up to 0x7F stays as it is, and any
// other unit becomes "\u" and its value in four lower-case hexadecimal digits. A
// surrogate pair gives two escapes. "=", ":", "#", blanks and line breaks stay.
WString escapeProperty(std::wstring_view text);

// The lines below carry no line end; handoffBytes adds one to each.

// "qel.nl.current.vm=" and the escaped path of the VM program that starts.
WString currentVmLine(std::wstring_view executablePath);

// The switches that tell the Java side it was started by the launcher and where
// its output goes.
std::vector<WString> controlKeyLines();

// Three lines per variable, in the order of the names' units: the escaped name
// lower-cased, upper-cased and as it is, each with the escaped value that expand
// gives for the name (its environment references expanded).
std::vector<WString> environmentLines(const std::map<WString, WString, std::less<>>& variables,
                                      const std::function<WString(std::wstring_view name)>& expand);

// The lines as bytes, each followed by CR LF. Escaped lines hold only ASCII, so
// each unit is one byte.
std::string handoffBytes(const std::vector<WString>& lines);

}  // namespace qel
