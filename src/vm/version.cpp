#include "vm/version.h"

#include "base/text.h"

namespace qel {

VmVersion parseVersion(std::wstring_view text)
{
    const Tokenizer parts(text, L"._");
    // The first number is the "1" of "1.4.2" and is never used.
    std::uint32_t fields[3] = {0, 0, 0};
    for (std::size_t i = 1; i < parts.size() && i <= 3; ++i) {
        fields[i - 1] = static_cast<std::uint32_t>(parseDecimal(parts[i]));
    }
    return packVersion((fields[0] << 8) | (fields[1] << 4) | fields[2]);
}

bool matchesVersionPattern(VmVersion version, std::wstring_view pattern)
{
    const int v = version;
    if (!pattern.empty() && pattern.back() == L'+') {
        return v >= parseVersion(pattern.substr(0, pattern.size() - 1));
    }
    if (!pattern.empty() && pattern.back() == L'*') {
        const VmVersion p = parseVersion(pattern.substr(0, pattern.size() - 1));
        // An update cannot be combined with a wildcard.
        if (updateOf(p) != 0) {
            return false;
        }
        if (maintenanceOf(p) == 0) {
            return releaseOf(version) == releaseOf(p);
        }
        return releaseOf(version) == releaseOf(p) && maintenanceOf(version) == maintenanceOf(p);
    }
    const VmVersion p = parseVersion(pattern);
    // Without an update the pattern names every update of its release and
    // maintenance, so "1.4.2_0" is the same as "1.4.2".
    if (updateOf(p) != 0) {
        return v == p;
    }
    return (v & 0xFF0) == p;
}

namespace {

bool isKit(VmKind kind)
{
    return kind == VmKind::JDK;
}
bool isRuntime(VmKind kind)
{
    return kind == VmKind::JRE;
}

struct TokenRule {
    std::wstring_view name;
    bool (*matches)(VmKind kind, int release);
};

// The named tokens; the first row whose name equals the upper-cased token decides.
constexpr TokenRule kTokenRules[] = {
    {L"ALL", [](VmKind, int) { return true; }},
    {L"J1", [](VmKind kind, int release) { return release < kJava2Release && kind != VmKind::MSJ; }},
    {L"J2", [](VmKind, int release) { return release >= kJava2Release; }},
    {L"JDK", [](VmKind kind, int) { return isKit(kind); }},
    {L"JRE", [](VmKind kind, int) { return isRuntime(kind); }},
    {L"JDK_J1", [](VmKind kind, int release) { return isKit(kind) && release < kJava2Release; }},
    {L"JDK_J2", [](VmKind kind, int release) { return isKit(kind) && release >= kJava2Release; }},
    {L"JRE_J1", [](VmKind kind, int release) { return isRuntime(kind) && release < kJava2Release; }},
    {L"JRE_J2", [](VmKind kind, int release) { return isRuntime(kind) && release >= kJava2Release; }},
    {L"MSJ", [](VmKind kind, int) { return kind == VmKind::MSJ; }},
};

}  // namespace

bool matchesToken(VmKind kind, VmVersion version, std::wstring_view token)
{
    const WString name = toUpperAscii(token);
    for (const auto& rule : kTokenRules) {
        if (name == rule.name) {
            return rule.matches(kind, releaseOf(version));
        }
    }

    // "JRE_1.4+" is a kind and a version pattern; any other token is a pattern
    // as a whole, so "XYZ" reads as the pattern 0.
    const auto underscore = name.find(L'_');
    const std::wstring_view prefix = std::wstring_view(name).substr(0, underscore);
    if (underscore != WString::npos && (prefix == L"JRE" || prefix == L"JDK")) {
        const bool kindMatches = prefix == L"JRE" ? isRuntime(kind) : isKit(kind);
        return kindMatches && matchesVersionPattern(version, std::wstring_view(name).substr(underscore + 1));
    }
    return matchesVersionPattern(version, name);
}

}  // namespace qel
