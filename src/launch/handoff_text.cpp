#include "launch/handoff_text.h"

#include <cstdint>

#include "base/text.h"

namespace qel {

namespace {

void appendUnitEscape(WString& out, std::uint32_t unit)
{
    static constexpr wchar_t digits[] = L"0123456789abcdef";
    out += L"\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out.push_back(digits[(unit >> shift) & 0xFu]);
    }
}

}  // namespace

WString escapeProperty(std::wstring_view text)
{
    WString out;
    out.reserve(text.size());
    for (const wchar_t unit : text) {
        const auto value = static_cast<std::uint32_t>(unit);
        if (unit == L'\\') {
            out += L"\\\\";
        } else if (value <= 0x7Fu) {
            out.push_back(unit);
        } else if (value > 0xFFFFu) {
            // Where one unit holds a whole character beyond 16 bits, it is written
            // as the surrogate pair a UTF-16 system holds, so the file is the same.
            const std::uint32_t offset = value - 0x10000u;
            appendUnitEscape(out, 0xD800u + ((offset >> 10) & 0x3FFu));
            appendUnitEscape(out, 0xDC00u + (offset & 0x3FFu));
        } else {
            appendUnitEscape(out, value);
        }
    }
    return out;
}

WString currentVmLine(std::wstring_view executablePath)
{
    return L"qel.nl.current.vm=" + escapeProperty(executablePath);
}

std::vector<WString> controlKeyLines()
{
    return {L"qel.control-key=true", L"qel.stderr.redirect=console", L"qel.stdout.redirect=console"};
}

std::vector<WString> environmentLines(const std::map<WString, WString, std::less<>>& variables,
                                      const std::function<WString(std::wstring_view name)>& expand)
{
    std::vector<WString> lines;
    lines.reserve(variables.size() * 3);
    for (const auto& entry : variables) {
        const WString name = escapeProperty(entry.first);
        const WString value = escapeProperty(expand(entry.first));
        // The case change covers the escapes too: \u00e9 becomes \U00E9.
        lines.push_back(L"qel.nl.env." + toLowerAscii(name) + L"=" + value);
        lines.push_back(L"qel.nl.env." + toUpperAscii(name) + L"=" + value);
        lines.push_back(L"qel.nl.env.exact_case." + name + L"=" + value);
    }
    return lines;
}

std::string handoffBytes(const std::vector<WString>& lines)
{
    std::string bytes;
    for (const WString& line : lines) {
        for (const wchar_t unit : line) {
            bytes.push_back(static_cast<char>(unit));
        }
        bytes += "\r\n";
    }
    return bytes;
}

}  // namespace qel
