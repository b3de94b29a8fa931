#include "base/text.h"

#include <cstdint>
#include <limits>

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

namespace {

// A decimal number as the C library's scan reads it: white space, an optional
// sign, then digits up to the first non-digit. The magnitude is kept twice: in
// 32 bits wrapping around, and in 64 bits stopping at 2^63.
struct DecimalScan {
    bool negative = false;
    std::uint32_t wrapped = 0;
    std::uint64_t saturated = 0;
};

constexpr std::uint64_t kMagnitudeCap = std::uint64_t{1} << 63;

DecimalScan scanDecimal(std::wstring_view text)
{
    DecimalScan scan;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) {
        ++i;
    }
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        scan.negative = text[i] == L'-';
        ++i;
    }
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        const auto digit = static_cast<std::uint32_t>(text[i] - L'0');
        scan.wrapped = scan.wrapped * 10u + digit;  // unsigned: wraps without undefined behaviour
        scan.saturated = scan.saturated > (kMagnitudeCap - digit) / 10u ? kMagnitudeCap : scan.saturated * 10u + digit;
    }
    return scan;
}

}  // namespace

std::int32_t parseDecimal(std::wstring_view text)
{
    const DecimalScan scan = scanDecimal(text);
    return static_cast<std::int32_t>(scan.negative ? 0u - scan.wrapped : scan.wrapped);
}

std::int64_t parseDecimal64(std::wstring_view text)
{
    const DecimalScan scan = scanDecimal(text);
    if (scan.saturated >= kMagnitudeCap) {
        return scan.negative ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    }
    const auto magnitude = static_cast<std::int64_t>(scan.saturated);
    return scan.negative ? -magnitude : magnitude;
}

WString unknownExceptionText(std::string_view what)
{
    return L"an unknown exception has occurrred.\n" + widenSignExtended(what);
}

WString hex4(std::uint16_t value)
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    WString text;
    for (int shift = 12; shift >= 0; shift -= 4) {
        text.push_back(kDigits[(value >> shift) & 0xF]);
    }
    return text;
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
