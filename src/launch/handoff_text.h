#pragma once

// The hand-off file: the properties the launcher passes to the Java side, one
// "key=value" line each, in ASCII with every other unit written as an escape.
// Pure rules: nothing here touches Windows.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

// Where an escaped text goes in its line: keys end at the first unescaped "=",
// ":" or blank, values run to the line's end.
enum class PropertyPart { Key, Value };

// The text as java.util.Properties reads it back, unit for unit, on one line: a
// backslash becomes two backslashes; CR, LF, tab and form feed become \r, \n,
// \t and \f; every other control unit (below 0x20, and 0x7F) and every unit
// above 0x7F becomes "\u" and its value in four lower-case hexadecimal digits (a
// surrogate pair gives two escapes). In a key, "=", ":", blanks, "#" and "!" get
// a backslash before them; in a value, only a blank at its start does (a reader
// skips blanks after the separator). Everything else stays as it is.
WString escapeProperty(std::wstring_view text, PropertyPart part);

// The lines below carry no line end; handoffBytes adds one to each.

// "qel.nl.current.vm=" and the escaped path of the VM program that starts.
WString currentVmLine(std::wstring_view executablePath);

// The switches that tell the Java side it was started by the launcher and where
// its output goes.
std::vector<WString> controlKeyLines();

// How the VM runs, for the Java side to tell where a failure is seen:
// "qel.console=true" when it runs with a console (its console program started),
// "qel.console=false" when not, then "qel.service=true" in service mode, where
// nobody sees a window.
std::vector<WString> runLines(bool consoleInUse, bool service);

// Three lines per variable, in the order of the names' units: the name
// lower-cased, upper-cased (ASCII letters only) and as it is, each escaped after
// its case change, with the escaped value that expand gives for the name (its
// environment references expanded).
std::vector<WString> environmentLines(const std::map<WString, WString, std::less<>>& variables,
                                      const std::function<WString(std::wstring_view name)>& expand);

// The lines as bytes, each followed by CR LF. Escaped lines hold only ASCII, so
// each unit is one byte.
std::string handoffBytes(const std::vector<WString>& lines);

// The hand-off file's name in the temporary directory: "qel", the low 48 bits
// of the random number as twelve lower-case hexadecimal digits, ".tmp".
WString handoffFileName(std::uint64_t random);

// The longest temporary directory (its closing backslash included) that a
// hand-off file's path fits in beside its name, within 260 units.
inline constexpr std::size_t kHandoffDirectoryUnits = 259 - 19;

// The access of a hand-off file, which holds the whole environment, in the
// system's descriptor language: a protected list (nothing inherited from the
// folder) that lets the user (the SID given), the system and the administrators
// open it, and nobody else.
WString ownerOnlyDescriptor(std::wstring_view userSid);

}  // namespace qel
