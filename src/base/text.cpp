#include "base/text.h"

#include <cstdint>

namespace qel {

namespace {

// Shifts the units from first to last (an ASCII letter range) by the distance
// to the other case; every other unit stays.
WString shiftAsciiLetters(std::wstring_view text, wchar_t first, wchar_t last, int shift)
{
    WString result(text);
    for (auto& unit : result) {
        if (unit >= first && unit <= last) {
            unit = static_cast<wchar_t>(unit + shift);
        }
    }
    return result;
}

}  // namespace

WString toLowerAscii(std::wstring_view text)
{
    return shiftAsciiLetters(text, L'A', L'Z', L'a' - L'A');
}

WString toUpperAscii(std::wstring_view text)
{
    return shiftAsciiLetters(text, L'a', L'z', L'A' - L'a');
}

std::int32_t parseDecimal(std::wstring_view text)
{
    std::size_t i = 0;
    // White space as the C library's scan skips it.
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    std::uint32_t value = 0;  // unsigned, so that overflow wraps without undefined behaviour
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - L'0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

WString widenSignExtended(std::string_view bytes)
{
    WString result;
    result.reserve(bytes.size());
    for (char byte : bytes) {
        auto extended = static_cast<std::int16_t>(static_cast<signed char>(byte));
        result.push_back(static_cast<wchar_t>(static_cast<std::uint16_t>(extended)));
    }
    return result;
}

Tokenizer::Tokenizer(std::wstring_view text, std::wstring_view delimiters)
{
    auto isDelimiter = [delimiters](wchar_t unit) { return delimiters.find(unit) != std::wstring_view::npos; };
    std::size_t position = 0;
    while (position < text.size()) {
        // The first unit of a token belongs to it even when it is a delimiter;
        // that can only happen at the very start of the text.
        std::size_t end = position + 1;
        while (end < text.size() && !isDelimiter(text[end])) {
            ++end;
        }
        tokens_.emplace_back(text.substr(position, end - position));
        position = end;
        while (position < text.size() && isDelimiter(text[position])) {
            ++position;
        }
    }
}

}  // namespace qel
