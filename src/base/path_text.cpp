#include "base/path_text.h"

#include "base/text.h"

namespace qel {

WString collapseSeparators(std::wstring_view path)
{
    const std::size_t start = path.substr(0, 2) == L"\\\\" ? 2 : 0;
    WString result(path.substr(0, start));
    result.reserve(path.size());
    for (std::size_t i = start; i < path.size(); ++i) {
        // Only a pair that begins at or after the start shrinks.
        if (path[i] == L'\\' && result.size() > start && result.back() == L'\\') {
            continue;
        }
        result.push_back(path[i]);
    }
    for (auto& unit : result) {
        if (unit == L'/') {
            unit = L'\\';
        }
    }
    return result;
}

WString fileName(std::wstring_view path, LetterCase letterCase)
{
    const auto slash = path.rfind(L'\\');
    const auto name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    return letterCase == LetterCase::Lower ? toLowerAscii(name) : WString(name);
}

bool hasExtension(std::wstring_view path)
{
    const auto dot = path.rfind(L'.');
    if (dot == std::wstring_view::npos) {
        return false;
    }
    const auto slash = path.rfind(L'\\');
    const std::size_t slashPosition = slash == std::wstring_view::npos ? 0 : slash;
    return dot > slashPosition;
}

WString extension(std::wstring_view path, LetterCase letterCase)
{
    if (!hasExtension(path)) {
        return {};
    }
    const auto text = path.substr(path.rfind(L'.') + 1);
    return letterCase == LetterCase::Lower ? toLowerAscii(text) : WString(text);
}

WString parentDir(std::wstring_view path, std::wstring_view fallback)
{
    const auto slash = path.rfind(L'\\');
    return slash == std::wstring_view::npos ? WString(fallback) : WString(path.substr(0, slash));
}

WString directoryOf(std::wstring_view path)
{
    const bool drive = path.size() >= 2 && path[1] == L':';
    const auto slash = path.rfind(L'\\');
    if (slash == std::wstring_view::npos) {
        return drive ? WString(path.substr(0, 2)) : WString(L".");
    }
    // The backslash of a root stays: without it "C:" would be the drive's current directory.
    const bool rootSlash = slash == 0 || (drive && slash == 2);
    return WString(path.substr(0, rootSlash ? slash + 1 : slash));
}

WString withoutTrailingBackslashes(std::wstring_view path)
{
    while (!path.empty() && path.back() == L'\\') {
        path.remove_suffix(1);
    }
    return WString(path);
}

bool isAbsolutePath(std::wstring_view path)
{
    return (!path.empty() && path[0] == L'\\') || (path.size() >= 2 && path[1] == L':');
}

WString withoutVerbatimPrefix(std::wstring_view path)
{
    constexpr std::wstring_view kVerbatim = L"\\\\?\\";
    constexpr std::wstring_view kVerbatimUnc = L"\\\\?\\UNC\\";
    if (path.substr(0, kVerbatimUnc.size()) == kVerbatimUnc) {
        return L"\\\\" + WString(path.substr(kVerbatimUnc.size()));
    }
    if (path.substr(0, kVerbatim.size()) == kVerbatim) {
        return WString(path.substr(kVerbatim.size()));
    }
    return WString(path);
}

bool isDeviceName(std::wstring_view path)
{
    const std::size_t separator = path.find_last_of(L"\\/:");
    std::wstring_view name = separator == std::wstring_view::npos ? path : path.substr(separator + 1);
    name = name.substr(0, name.find(L'.'));
    name = name.substr(0, name.find_last_not_of(L' ') + 1);
    const WString lower = toLowerAscii(name);
    for (const wchar_t* device : {L"con", L"prn", L"aux", L"nul", L"conin$", L"conout$"}) {
        if (lower == device) {
            return true;
        }
    }
    if (lower.size() != 4 || (lower.compare(0, 3, L"com") != 0 && lower.compare(0, 3, L"lpt") != 0)) {
        return false;
    }
    const wchar_t number = lower[3];
    return (number >= L'0' && number <= L'9') || number == L'\u00b9' || number == L'\u00b2' || number == L'\u00b3';
}

}  // namespace qel
