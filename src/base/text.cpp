#include "base/text.h"

#include <cstdint>
#include <limits>
#include <string>

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

namespace {

void appendUtf8(std::string& out, unsigned long point)
{
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

}  // namespace

std::string toUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Each unit is one UTF-16 unit on Windows; elsewhere a wider unit is a
        // code point of its own.
        const auto unit = static_cast<unsigned long>(text[i]) & (sizeof(wchar_t) == 2 ? 0xFFFFul : 0x1FFFFFul);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
            const auto low = static_cast<unsigned long>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        const bool unpaired = unit >= 0xD800 && unit <= 0xDFFF;
        appendUtf8(out, unpaired || unit > 0x10FFFF ? 0xFFFD : unit);
    }
    return out;
}

WString unknownExceptionText(std::string_view what)
{
    return L"an unknown exception has occurrred.\n" + widenSignExtended(what);
}

std::wstring_view withoutLineEnd(std::wstring_view text)
{
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) {
        text.remove_suffix(1);
    }
    return text;
}

WString singleLine(std::wstring_view text)
{
    WString line;
    bool breakPending = false;
    for (const wchar_t unit : text) {
        if (unit == L'\r' || unit == L'\n') {
            breakPending = !line.empty();
            continue;
        }
        if (breakPending) {
            line += L' ';
            breakPending = false;
        }
        line += unit;
    }
    return line;
}

std::wstring_view withoutSurroundingQuotes(std::wstring_view text)
{
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
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
