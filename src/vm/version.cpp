#include "vm/version.h"

#include <ostream>
#include <string>

#include "base/text.h"

namespace qel {

std::optional<std::int16_t> VmVersion::packed() const
{
    if (release_ > 0xF || maintenance_ > 0xF || update_ > 0xF || patch_ != 0) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>((release_ << 8) | (maintenance_ << 4) | update_);
}

WString versionText(const VmVersion& version)
{
    if (version == VmVersion()) {
        return L"0";
    }
    if (version.release() < kModernRelease && version.patch() == 0) {
        WString text = L"1." + std::to_wstring(version.release()) + L"." + std::to_wstring(version.maintenance());
        if (version.update() != 0) {
            text += version.update() < 10 ? L"_0" : L"_";
            text += std::to_wstring(version.update());
        }
        return text;
    }
    WString text = std::to_wstring(version.release()) + L"." + std::to_wstring(version.maintenance()) + L"." +
                   std::to_wstring(version.update());
    if (version.patch() != 0) {
        text += L"." + std::to_wstring(version.patch());
    }
    return text;
}

std::ostream& operator<<(std::ostream& out, const VmVersion& version)
{
    // The text is ASCII digits, dots and underscores only.
    const WString text = versionText(version);
    return out << std::string(text.begin(), text.end());
}

std::uint32_t parseVersionField(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value > VmVersion::kFieldMax ? value : value * 10u + static_cast<std::uint32_t>(text[i] - L'0');
    }
    if (negative) {
        return 0;
    }
    return value > VmVersion::kFieldMax ? VmVersion::kFieldMax : value;
}

VmVersion parseVersion(std::wstring_view text)
{
    const Tokenizer parts(text, L"._");
    std::uint32_t fields[4] = {0, 0, 0, 0};
    // "17.0.12" names its release first; "1.4.2_05" (and a text that starts with
    // no number) puts a "1" before it that is never used.
    const bool releaseFirst = !parts.empty() && parseVersionField(parts[0]) >= kJava2Release;
    const std::size_t first = releaseFirst ? 0 : 1;
    const std::size_t count = releaseFirst ? 4 : 3;
    for (std::size_t i = 0; i < count && first + i < parts.size(); ++i) {
        fields[i] = parseVersionField(parts[first + i]);
    }
    return VmVersion::of(fields[0], fields[1], fields[2], fields[3]);
}

bool matchesVersionPattern(const VmVersion& version, std::wstring_view pattern)
{
    if (!pattern.empty() && pattern.back() == L'+') {
        return version >= parseVersion(pattern.substr(0, pattern.size() - 1));
    }
    if (!pattern.empty() && pattern.back() == L'*') {
        const VmVersion p = parseVersion(pattern.substr(0, pattern.size() - 1));
        // An update (or patch) cannot be combined with a wildcard.
        if (p.update() != 0 || p.patch() != 0) {
            return false;
        }
        if (p.maintenance() == 0) {
            return version.release() == p.release();
        }
        return version.release() == p.release() && version.maintenance() == p.maintenance();
    }
    const VmVersion p = parseVersion(pattern);
    // A pattern names its version down to its last field that is not 0: without
    // an update it names every update of its release and maintenance, so
    // "1.4.2_0" is the same as "1.4.2"; without a patch, every patch.
    const bool sameMaintenance = version.release() == p.release() && version.maintenance() == p.maintenance();
    if (p.patch() != 0) {
        return version == p;
    }
    if (p.update() != 0) {
        return sameMaintenance && version.update() == p.update();
    }
    return sameMaintenance;
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

bool matchesToken(VmKind kind, const VmVersion& version, std::wstring_view token)
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
