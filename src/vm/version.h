#pragma once

// The packed Java version, the kinds of installation, and the token language of
// the acceptable-VM list. Pure rules: nothing here touches Windows.

#include <cstdint>
#include <string_view>

#include "base/wstring.h"

namespace qel {

// A Java version packed into 16 bits: release in bits 8-11, maintenance in bits
// 4-7, update in bits 0-3 (1.4.2_05 is 0x425, 5.0 is 0x500). The fields are
// OR-ed together unmasked, so a number above 15 spills into the field on its
// left (1.6.0_20 is 0x614). Versions order as signed 16-bit numbers; 0 means
// that no version was found.
using VmVersion = std::int16_t;

enum class VmKind : std::int32_t {
    JDK = 0,  // a development kit
    JRE = 1,  // a runtime environment
    MSJ = 2,  // the Microsoft VM
};

// Versions the rules name.
inline constexpr VmVersion kVersion1_1 = 0x100;  // a Java 1.x runtime of unknown version
inline constexpr VmVersion kVersion1_1_4 = 0x140;  // the Microsoft VM, always
inline constexpr VmVersion kVersion1_2 = 0x200;  // the first Java 2 release
inline constexpr VmVersion kVersion1_3 = 0x300;
inline constexpr VmVersion kVersion1_4 = 0x400;
inline constexpr VmVersion kVersion5 = 0x500;

// The fields as every rule reads them, through their bit positions.
inline int releaseOf(VmVersion version)
{
    return (version >> 8) & 0xF;
}
inline int maintenanceOf(VmVersion version)
{
    return (version >> 4) & 0xF;
}
inline int updateOf(VmVersion version)
{
    return version & 0xF;
}

// Keeps the low 16 bits of a combination of fields, the way every VmVersion is
// formed from numbers that may overflow their field.
inline VmVersion packVersion(std::uint32_t bits)
{
    return static_cast<VmVersion>(static_cast<std::uint16_t>(bits & 0xFFFFu));
}

// The first release of Java 2.
inline constexpr int kJava2Release = 2;

// The release from which a VM belongs to the Java 2 family (1.2 and later). The
// inventory decides a family this way, from the release field alone.
inline bool isJava2Release(VmVersion version)
{
    return releaseOf(version) >= kJava2Release;
}

// A program the user named is a Java 2 VM when its whole packed version is 1.2
// or more; a version whose fields overflowed into the bits above the release
// counts by its value here.
inline bool isJava2ByValue(VmVersion version)
{
    return version >= kVersion1_2;
}

// "1.4.2_05" -> 0x425: the text split at dots and underscores, the first number
// ignored, the next three read like a "%d" scan (0 when a part does not start
// with a number, or is missing).
VmVersion parseVersion(std::wstring_view text);

// "1.4+" (that version or later), "1.4*" or "1.4.2*" (any version of that
// release, or release and maintenance), "1.4.2" (any update of it) or "1.4.2_05"
// (exactly that one).
bool matchesVersionPattern(VmVersion version, std::wstring_view pattern);

// Whether a VM of this kind and version satisfies one token of the acceptable-VM
// list ("J2", "jre_j1", "JDK_1.4+", "1.3*", ...). Tokens compare after ASCII
// upper-casing.
bool matchesToken(VmKind kind, VmVersion version, std::wstring_view token);

}  // namespace qel
