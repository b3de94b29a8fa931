#include "launch/handoff_text.h"

#include <cstdint>

#include "base/text.h"

namespace qel {

namespace {

void appendUnitEscape(WString& out, std::uint32_t unit)
{
    out += L"\\u" + hex4(static_cast<std::uint16_t>(unit));
}

// The line breaks, tab and form feed that java.util.Properties writes by name.
const wchar_t* namedEscape(wchar_t unit)
{
    switch (unit) {
    case L'\r':
        return L"\\r";
    case L'\n':
        return L"\\n";
    case L'\t':
        return L"\\t";
    case L'\f':
        return L"\\f";
    default:
        return nullptr;
    }
}

// Units that would end a key or start a comment where a reader looks for them.
bool isKeySeparatorOrComment(wchar_t unit)
{
    return unit == L'=' || unit == L':' || unit == L' ' || unit == L'#' || unit == L'!';
}

}  // namespace

WString escapeProperty(std::wstring_view text, PropertyPart part)
{
    WString out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t unit = text[i];
        const auto value = static_cast<std::uint32_t>(unit);
        if (unit == L'\\') {
            out += L"\\\\";
        } else if (const wchar_t* named = namedEscape(unit)) {
            out += named;
        } else if (value < 0x20u || value == 0x7Fu) {
            appendUnitEscape(out, value);
        } else if (part == PropertyPart::Key && isKeySeparatorOrComment(unit)) {
            out.push_back(L'\\');
            out.push_back(unit);
        } else if (part == PropertyPart::Value && unit == L' ' && i == 0) {
            // A reader skips the blanks after the separator.
            out += L"\\ ";
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
    return L"qel.nl.current.vm=" + escapeProperty(executablePath, PropertyPart::Value);
}

std::vector<WString> controlKeyLines()
{
    return {L"qel.control-key=true", L"qel.stderr.redirect=console", L"qel.stdout.redirect=console"};
}

std::vector<WString> runLines(bool consoleInUse, bool service)
{
    std::vector<WString> lines{consoleInUse ? L"qel.console=true" : L"qel.console=false"};
    if (service) {
        lines.emplace_back(L"qel.service=true");
    }
    return lines;
}

std::vector<WString> environmentLines(const std::map<WString, WString, std::less<>>& variables,
                                      const std::function<WString(std::wstring_view name)>& expand)
{
    std::vector<WString> lines;
    lines.reserve(variables.size() * 3);
    for (const auto& entry : variables) {
        const WString& name = entry.first;
        const WString value = escapeProperty(expand(name), PropertyPart::Value);
        // The case changes first, so the escapes keep theirs: a reader decodes
        // \u00c9 and \t, not \U00C9 or \T.
        lines.push_back(L"qel.nl.env." + escapeProperty(toLowerAscii(name), PropertyPart::Key) + L"=" + value);
        lines.push_back(L"qel.nl.env." + escapeProperty(toUpperAscii(name), PropertyPart::Key) + L"=" + value);
        lines.push_back(L"qel.nl.env.exact_case." + escapeProperty(name, PropertyPart::Key) + L"=" + value);
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

WString handoffFileName(std::uint64_t random)
{
    return L"qel" + hex4(static_cast<std::uint16_t>(random >> 32)) + hex4(static_cast<std::uint16_t>(random >> 16)) +
           hex4(static_cast<std::uint16_t>(random)) + L".tmp";
}

WString ownerOnlyDescriptor(std::wstring_view userSid)
{
    return L"D:P(A;;FA;;;" + WString(userSid) + L")(A;;FA;;;SY)(A;;FA;;;BA)";
}

}  // namespace qel
