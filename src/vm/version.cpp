#include "vm/version.h"

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

WString versionWords(const VmVersion& version)
{
    return version == VmVersion() ? WString(L"no version information") : L"version " + versionText(version);
}

std::uint32_t parseVersionField(std::wstring_view text)
{
    const std::int64_t value = parseDecimal64(text);
    if (value <= 0) {
        return 0;
    }
    return value > VmVersion::kFieldMax ? VmVersion::kFieldMax : static_cast<std::uint32_t>(value);
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

// The text of a release (and maintenance) in the form users write: 1.4 before
// release 9, 17 from then on.
WString releaseText(int release)
{
    return (release < kModernRelease ? L"1." : L"") + std::to_wstring(release);
}

// What a token asks of a VM: a kind, a family, a version pattern; each part
// that is set must hold.
struct TokenTerms {
    std::optional<VmKind> kind;
    // J1 takes no Microsoft VM, whatever its release.
    bool notMicrosoftVm = false;
    // The release must be Java 2 or later (true), or below it (false).
    std::optional<bool> java2;
    std::optional<WString> pattern;
};

struct NamedToken {
    std::wstring_view name;
    std::optional<VmKind> kind;
    bool notMicrosoftVm;
    std::optional<bool> java2;
};

// The named tokens; the first row whose name equals the upper-cased token decides.
constexpr NamedToken kNamedTokens[] = {
    {L"ALL", std::nullopt, false, std::nullopt}, {L"J1", std::nullopt, true, false},
    {L"J2", std::nullopt, false, true},          {L"JDK", VmKind::JDK, false, std::nullopt},
    {L"JRE", VmKind::JRE, false, std::nullopt},  {L"JDK_J1", VmKind::JDK, false, false},
    {L"JDK_J2", VmKind::JDK, false, true},       {L"JRE_J1", VmKind::JRE, false, false},
    {L"JRE_J2", VmKind::JRE, false, true},       {L"MSJ", VmKind::MSJ, false, std::nullopt},
};

TokenTerms termsOf(std::wstring_view token)
{
    const WString name = toUpperAscii(token);
    for (const auto& named : kNamedTokens) {
        if (name == named.name) {
            return TokenTerms{named.kind, named.notMicrosoftVm, named.java2, std::nullopt};
        }
    }
    // "JRE_1.4+" is a kind and a version pattern; any other token is a pattern
    // as a whole, so "XYZ" reads as the pattern 0.
    TokenTerms terms;
    const auto underscore = name.find(L'_');
    const std::wstring_view prefix = std::wstring_view(name).substr(0, underscore);
    if (underscore != WString::npos && (prefix == L"JRE" || prefix == L"JDK")) {
        terms.kind = prefix == L"JRE" ? VmKind::JRE : VmKind::JDK;
        terms.pattern = name.substr(underscore + 1);
    } else {
        terms.pattern = name;
    }
    return terms;
}

// Digits in groups separated by dots or underscores, with an optional "+" or "*"
// at the end.
bool isWellFormedPattern(std::wstring_view pattern)
{
    if (!pattern.empty() && (pattern.back() == L'+' || pattern.back() == L'*')) {
        pattern.remove_suffix(1);
    }
    bool digitBefore = false;
    for (const wchar_t unit : pattern) {
        if (unit >= L'0' && unit <= L'9') {
            digitBefore = true;
        } else if ((unit == L'.' || unit == L'_') && digitBefore) {
            digitBefore = false;
        } else {
            return false;
        }
    }
    return digitBefore;
}

}  // namespace

const wchar_t* kindName(VmKind kind)
{
    return kind == VmKind::JDK ? L"JDK" : kind == VmKind::JRE ? L"JRE" : L"MSJ";
}

WString describeVersionPattern(std::wstring_view pattern)
{
    if (!pattern.empty() && pattern.back() == L'+') {
        return versionText(parseVersion(pattern.substr(0, pattern.size() - 1))) + L" or later";
    }
    if (!pattern.empty() && pattern.back() == L'*') {
        const VmVersion p = parseVersion(pattern.substr(0, pattern.size() - 1));
        if (p.update() != 0 || p.patch() != 0) {
            return L"nothing (an update cannot be combined with \"*\")";
        }
        if (p.maintenance() == 0) {
            return L"any version of release " + releaseText(p.release());
        }
        return L"any version of " + releaseText(p.release()) + L"." + std::to_wstring(p.maintenance());
    }
    const VmVersion p = parseVersion(pattern);
    if (p == VmVersion()) {
        return L"only a VM whose version is unknown (0)";
    }
    if (p.patch() != 0 || p.update() != 0) {
        return L"exactly " + versionText(p) +
               (p.patch() != 0 || p.release() < kModernRelease ? L"" : L", any patch of it");
    }
    return L"any update of " + releaseText(p.release()) + L"." + std::to_wstring(p.maintenance());
}

WString tokenRejection(VmKind kind, const VmVersion& version, std::wstring_view token)
{
    if (matchesToken(kind, version, token)) {
        return {};
    }
    const TokenTerms terms = termsOf(token);
    if (terms.kind && *terms.kind != kind) {
        return L"kind " + WString(kindName(kind)) + L", the token asks for " + kindName(*terms.kind);
    }
    if (terms.notMicrosoftVm && kind == VmKind::MSJ) {
        return L"kind MSJ, the token takes no Microsoft VM";
    }
    const WString pattern = describeVersionPattern(terms.pattern ? *terms.pattern : WString());
    // A VM without a version counts as Java 1.x and has no number to compare.
    if (version == VmVersion()) {
        return terms.java2 && *terms.java2
                   ? L"family: no version information counts as Java 1.x, the token asks for Java 2 or later"
                   : L"no version information, the token asks for " + pattern;
    }
    if (terms.java2) {
        return L"family: version " + versionText(version) +
               (*terms.java2 ? L" is Java 1.x, the token asks for Java 2 or later"
                             : L" is Java 2 or later, the token asks for Java 1.x");
    }
    return L"version " + versionText(version) + L" is not " + pattern;
}

std::optional<WString> unusualTokenReading(std::wstring_view token)
{
    const TokenTerms terms = termsOf(token);
    if (!terms.pattern || isWellFormedPattern(*terms.pattern)) {
        return std::nullopt;
    }
    WString reading = L"not a named token or a version pattern; read as the version pattern \"" + *terms.pattern +
                      L"\", which accepts " + describeVersionPattern(*terms.pattern);
    if (terms.kind) {
        reading += L" of kind " + WString(kindName(*terms.kind));
    }
    if (token.find(L',') != std::wstring_view::npos) {
        reading += L"; in the search, blanks separate the tokens, not commas";
    }
    return reading;
}

bool matchesToken(VmKind kind, const VmVersion& version, std::wstring_view token)
{
    const TokenTerms terms = termsOf(token);
    return (!terms.kind || *terms.kind == kind) && !(terms.notMicrosoftVm && kind == VmKind::MSJ) &&
           (!terms.java2 || *terms.java2 == isJava2Release(version)) &&
           (!terms.pattern || matchesVersionPattern(version, *terms.pattern));
}

}  // namespace qel
