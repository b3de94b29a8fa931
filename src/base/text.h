#pragma once

// Text helpers that need no Windows: ASCII case mapping, byte widening and the
// tokenizer that splits command lines, version numbers and path lists.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

// 'A'..'Z' become 'a'..'z'; every other unit, non-ASCII letters included, is kept.
// Case-insensitive comparisons lower-case both sides this way and compare exactly.
WString toLowerAscii(std::wstring_view text);

// 'a'..'z' become 'A'..'Z'; every other unit is kept.
WString toUpperAscii(std::wstring_view text);

// Decimal parse: leading white space, an optional sign, digits up to the first
// non-digit; no digits give 0. Accumulates in 32 bits with wrap-around, the way
// a "%d" scan of the C library reads a number.
std::int32_t parseDecimal(std::wstring_view text);

// The same parse in 64 bits; a number beyond them stays at the limit on its side
// instead of wrapping around.
std::int64_t parseDecimal64(std::wstring_view text);

// Each byte becomes one unit by sign extension (0x80 becomes 0xFF80), the way a
// narrow exception text is shown in the error box.
WString widenSignExtended(std::string_view bytes);

// UTF-16 units as UTF-8; a unit of an unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::wstring_view text);

// The text shown for a failure that is no TerminalError: "an unknown exception
// has occurrred." on a line of its own, then the exception's own text.
WString unknownExceptionText(std::string_view what);

// The text without the CR and LF units at its end (a system text's line end).
std::wstring_view withoutLineEnd(std::wstring_view text);

// The text on one line: each run of CR and LF units between two parts becomes
// one space, and those at the start or the end go.
WString singleLine(std::wstring_view text);

// The text inside a pair of double quotes that encloses it ("\"C:\\jdk\"" gives
// C:\jdk), else the text as it is.
std::wstring_view withoutSurroundingQuotes(std::wstring_view text);

// Four lower-case hexadecimal digits, "00e9" for 0xE9.
WString hex4(std::uint16_t value);

// Splits a text at any of the delimiter units. Runs of delimiters separate tokens
// and yield no empty token; a delimiter at the very start stays at the front of
// the first token, because a token's first unit always belongs to it.
class Tokenizer {
public:
    Tokenizer(std::wstring_view text, std::wstring_view delimiters);

    const std::vector<WString>& tokens() const { return tokens_; }
    std::size_t size() const { return tokens_.size(); }
    bool empty() const { return tokens_.empty(); }
    const WString& operator[](std::size_t index) const { return tokens_[index]; }
    std::vector<WString>::const_iterator begin() const { return tokens_.begin(); }
    std::vector<WString>::const_iterator end() const { return tokens_.end(); }

private:
    std::vector<WString> tokens_;
};

}  // namespace qel
