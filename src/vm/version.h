#pragma once

// The Java version, the kinds of installation, and the token language of the
// acceptable-VM list. Pure rules: nothing here touches Windows.

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/wstring.h"

namespace qel {

// A Java version as four fields, compared field by field in this order:
//  - the release: the "4" of 1.4.2_05, the "17" of 17.0.12 (the feature release
//    from 9 on);
//  - the maintenance: the "2" of 1.4.2_05 (the interim release from 9 on);
//  - the update: the "05" of 1.4.2_05, the "12" of 17.0.12;
//  - the patch: the "1" of 11.0.9.1, 0 before release 9.
// Each field holds 0 to 65535. The zero version means that no version was found.
//
// A plain number is read as the 16-bit packing the launcher used when every
// field had four bits: release in bits 8-11, maintenance in bits 4-7, update in
// bits 0-3, so 0x425 is 1.4.2_05 and 0x500 is 5.0. Bits 12-15 of such a number
// are not read (only a field that overflowed ever set them). For every version
// whose fields fit four bits and that has no patch, the packed number orders and
// compares exactly like the version.
class VmVersion {
public:
    static constexpr std::uint32_t kFieldMax = 0xFFFF;

    constexpr VmVersion() = default;
    // The old packed form; see above.
    constexpr explicit VmVersion(int packed)
        : release_(static_cast<std::uint16_t>((packed >> 8) & 0xF)),
          maintenance_(static_cast<std::uint16_t>((packed >> 4) & 0xF)),
          update_(static_cast<std::uint16_t>(packed & 0xF))
    {}

    // The old packed form, by name: 0x425 is 1.4.2_05.
    static constexpr VmVersion fromPacked(int packed) { return VmVersion(packed); }

    // A version from its fields; a field above kFieldMax is kFieldMax.
    static constexpr VmVersion of(std::uint32_t release, std::uint32_t maintenance, std::uint32_t update,
                                  std::uint32_t patch = 0)
    {
        VmVersion version;
        version.release_ = clamp(release);
        version.maintenance_ = clamp(maintenance);
        version.update_ = clamp(update);
        version.patch_ = clamp(patch);
        return version;
    }

    constexpr int release() const { return release_; }
    constexpr int maintenance() const { return maintenance_; }
    constexpr int update() const { return update_; }
    constexpr int patch() const { return patch_; }

    // The old 16-bit packing when every field fits four bits and there is no
    // patch; none otherwise.
    std::optional<std::int16_t> packed() const;

    friend constexpr bool operator==(const VmVersion& left, const VmVersion& right)
    {
        return left.release_ == right.release_ && left.maintenance_ == right.maintenance_ &&
               left.update_ == right.update_ && left.patch_ == right.patch_;
    }
    friend constexpr bool operator!=(const VmVersion& left, const VmVersion& right) { return !(left == right); }
    friend constexpr bool operator<(const VmVersion& left, const VmVersion& right)
    {
        if (left.release_ != right.release_) {
            return left.release_ < right.release_;
        }
        if (left.maintenance_ != right.maintenance_) {
            return left.maintenance_ < right.maintenance_;
        }
        if (left.update_ != right.update_) {
            return left.update_ < right.update_;
        }
        return left.patch_ < right.patch_;
    }
    friend constexpr bool operator>(const VmVersion& left, const VmVersion& right) { return right < left; }
    friend constexpr bool operator<=(const VmVersion& left, const VmVersion& right) { return !(right < left); }
    friend constexpr bool operator>=(const VmVersion& left, const VmVersion& right) { return !(left < right); }

private:
    static constexpr std::uint16_t clamp(std::uint32_t field)
    {
        return static_cast<std::uint16_t>(field > kFieldMax ? kFieldMax : field);
    }

    std::uint16_t release_ = 0;
    std::uint16_t maintenance_ = 0;
    std::uint16_t update_ = 0;
    std::uint16_t patch_ = 0;
};

// The version as people write it: "1.4.2_05" and "1.8.0_401" below release 9
// (the update after an underscore, at least two digits, left out when 0),
// "17.0.12" from release 9 on or with a patch ("11.0.9.1"), "0" for the zero
// version. parseVersion reads the text back as the same version. For reports
// and test messages.
WString versionText(const VmVersion& version);

// The version in a report: "version 17.0.12", or "no version information" for
// the zero version (a program whose version could be read neither from its own
// version resource nor from the files around it).
WString versionWords(const VmVersion& version);

enum class VmKind : std::int32_t {
    JDK = 0,  // a development kit
    JRE = 1,  // a runtime environment
    MSJ = 2,  // the Microsoft VM
};

// Versions the rules name.
inline constexpr VmVersion kVersion1_1 = VmVersion::fromPacked(0x100);  // a Java 1.x runtime of unknown version
inline constexpr VmVersion kVersion1_1_4 = VmVersion::fromPacked(0x140);  // the Microsoft VM, always
inline constexpr VmVersion kVersion1_2 = VmVersion::fromPacked(0x200);  // the first Java 2 release
inline constexpr VmVersion kVersion1_3 = VmVersion::fromPacked(0x300);
inline constexpr VmVersion kVersion1_4 = VmVersion::fromPacked(0x400);
inline constexpr VmVersion kVersion5 = VmVersion::fromPacked(0x500);

// The first release of Java 2.
inline constexpr int kJava2Release = 2;

// The release from which a VM belongs to the Java 2 family (1.2 and later, which
// takes in 5, 8, 17 and every later release). The registry, Path and a program
// the user named all decide a family this way.
inline bool isJava2Release(const VmVersion& version)
{
    return version.release() >= kJava2Release;
}

// The first release whose VMs refuse options of the old Java 2 syntax (see the
// launch request).
inline constexpr int kModernRelease = 9;

// A number as one version field: leading white space, an optional sign, digits
// up to the first non-digit; no digits give 0, a negative number gives 0 and a
// number above VmVersion::kFieldMax gives kFieldMax.
std::uint32_t parseVersionField(std::wstring_view text);

// A version text, split at dots and underscores into numbers (each read by
// parseVersionField). When the first number is 2 or more it is the release and
// up to three more follow ("17.0.12" is release 17, update 12; "11.0.9.1" has
// patch 1; "5.0" is 1.5.0). Otherwise (the "1" of "1.4.2_05", or no number at
// all) the first number is skipped and the next three are release, maintenance
// and update ("1.4.2_05", "1.8.0_401"); numbers after those are ignored.
VmVersion parseVersion(std::wstring_view text);

// "1.4+" or "17+" (that version or later), "1.4*", "1.4.2*" or "21*" (any version
// of that release, or release and maintenance), "1.4.2" or "21" (any update of
// that release and maintenance), "1.4.2_05" or "17.0.12" (exactly that update,
// any patch of it), "11.0.9.1" (exactly that patch).
bool matchesVersionPattern(const VmVersion& version, std::wstring_view pattern);

// Whether a VM of this kind and version satisfies one token of the acceptable-VM
// list ("J2", "jre_j1", "JDK_1.4+", "JRE_17+", "1.3*", ...). Tokens compare
// after ASCII upper-casing.
bool matchesToken(VmKind kind, const VmVersion& version, std::wstring_view token);

// "JDK", "JRE" or "MSJ".
const wchar_t* kindName(VmKind kind);

// What a version pattern accepts, in words: "17.0.0 or later", "any version of
// release 1.4", "any update of 17.0", "exactly 11.0.9.1".
WString describeVersionPattern(std::wstring_view pattern);

// Why the token does not accept a VM of this kind and version, in words, naming
// what was held against it: its kind, its family or its version ("kind JRE, the
// token asks for JDK"); empty when the token accepts it.
WString tokenRejection(VmKind kind, const VmVersion& version, std::wstring_view token);

// For a token that is neither a named one nor a well-formed version pattern
// ("17-21", "8u401", "[17,21)", "J2,JRE"), how the matcher reads it anyway;
// none for a well-formed token.
std::optional<WString> unusualTokenReading(std::wstring_view token);

}  // namespace qel
