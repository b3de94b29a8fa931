#include <gtest/gtest.h>

#include "base/text.h"
#include "base/trace.h"
#include "support/version_printer.h"
#include "vm/version.h"

using namespace qel;
using qel::test::packed;

namespace {

std::string narrow(std::wstring_view text)
{
    return toUtf8(text);
}

struct VersionCase {
    const wchar_t* text;
    int expected;
};

struct PatternCase {
    int version;
    const wchar_t* pattern;
    bool matches;
};

struct TokenCase {
    VmKind kind;
    int version;
    const wchar_t* token;
    bool matches;
};

constexpr VmKind JDK = VmKind::JDK;
constexpr VmKind JRE = VmKind::JRE;
constexpr VmKind MSJ = VmKind::MSJ;

}  // namespace

TEST(VmVersion, ParsesNumbersAfterTheFirstIntoPackedFields)
{
    // Texts whose fields fit four bits, as the old rules parsed them. Rows that
    // the old rules read differently are in TextsWhoseResultChanged.
    const VersionCase cases[] = {
        {L"1.4.2_05", 0x425},  {L"1.4", 0x400}, {L"1.3.1", 0x310},       {L"1.1.4", 0x140}, {L"1.5.0_06", 0x506},
        {L"0.0.0.0", 0},       {L"", 0},        {L"1.4.15_15", 0x4FF},  // the largest fields that fit
        {L"1.4.2.7.9", 0x427},  // numbers after the fourth are ignored
        {L"1_4_2_5", 0x425},  // underscore and dot separate alike
        {L"1..4__2", 0x420},  // runs of separators count as one
        {L".4.2", 0x200},  // a leading dot stays with the first part, which is skipped
        {L"1.x.2", 0x020},  // a part that is no number is 0
        {L"1.4a.2b", 0x420},  // a number is read up to the first non-digit
        {L"1.+7", 0x700},  // read like a "%d" scan: a sign is allowed
        {L"1. 7", 0x700},  // ... and so are leading blanks
        {L"1..2__3", 0x230},   {L"abc", 0},     {L"abc.def.ghi.jkl", 0}, {L"0.4.2", 0x420},  // a first number below 2
                                                                                             // is skipped too
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseVersion(c.text), static_cast<VmVersion>(c.expected)) << narrow(c.text);
    }
}

namespace {

// Why a text reads differently from the old rules: a field that did not fit its
// four bits (and spilled into the field on its left, or into the sign), or a
// first number of 2 or more, which the old rules skipped.
enum class Change { Overflow, ReleaseFirst };

struct ChangedText {
    const wchar_t* text;
    int before;  // the old packed result
    VmVersion now;
    Change why;
};

}  // namespace

TEST(VmVersion, TextsWhoseResultChanged)
{
    const ChangedText cases[] = {
        // 20 spilled into the maintenance: 1.6.1_04, equal to "1.6.1_04"
        {L"1.6.0_20", 0x614, VmVersion::of(6, 0, 20), Change::Overflow},
        {L"1.8.0_401", 0x991, VmVersion::of(8, 0, 401), Change::Overflow},  // was 1.9.9_01
        {L"1.4.16", 0x500, VmVersion::of(4, 16, 0), Change::Overflow},  // was 5.0
        {L"1.16", 0x1000, VmVersion::of(16, 0, 0), Change::Overflow},  // was release 0 with bit 12 set
        {L"1.17", 0x1100, VmVersion::of(17, 0, 0), Change::Overflow},  // was release 1
        {L"1.-1", -256, VmVersion(), Change::Overflow},  // a negative number is 0; -1 filled every bit
        {L"1.128", -32768, VmVersion::of(128, 0, 0), Change::Overflow},  // was a negative version
        {L"1.4294967295.0.0", -256, VmVersion::of(65535, 0, 0), Change::Overflow},  // a field stops at 65535
        {L"1.99999999999999999999", -256, VmVersion::of(65535, 0, 0), Change::Overflow},
        {L"1.65535.65535.65535", -1, VmVersion::of(65535, 65535, 65535), Change::Overflow},
        {L"99999.99999.99999.99999", -1, VmVersion::of(65535, 65535, 65535, 65535), Change::Overflow},
        // A first number of 2 or more names the release; the old rules skipped it.
        {L"5.0", 0x000, VmVersion::of(5, 0, 0), Change::ReleaseFirst},  // Java 5.0 is 1.5.0
        {L"8", 0x000, VmVersion::of(8, 0, 0), Change::ReleaseFirst},
        {L"2", 0x000, VmVersion::of(2, 0, 0), Change::ReleaseFirst},  // Java 2 is 1.2
        {L"9.0.4", 0x040, VmVersion::of(9, 0, 4), Change::ReleaseFirst},
        {L"11.0.9.1", 0x091, VmVersion::of(11, 0, 9, 1), Change::ReleaseFirst},  // the fourth number is the patch
        {L"17", 0x000, VmVersion::of(17, 0, 0), Change::ReleaseFirst},
        {L"17.0.12", 0x0C0, VmVersion::of(17, 0, 12), Change::ReleaseFirst},  // 12 spilled as well
        {L"21.0.4", 0x040, VmVersion::of(21, 0, 4), Change::ReleaseFirst},
        {L"25.0.1", 0x010, VmVersion::of(25, 0, 1), Change::ReleaseFirst},
        {L"17.0.12+7", 0x0C0, VmVersion::of(17, 0, 12), Change::ReleaseFirst},  // a build number is not read
    };
    for (const auto& c : cases) {
        const VmVersion parsed = parseVersion(c.text);
        EXPECT_EQ(parsed, c.now) << narrow(c.text);
        // The old packing is not the result any more: either the version does not
        // fit four-bit fields, or it packs to another number.
        EXPECT_NE(parsed.packed(), std::optional<std::int16_t>(static_cast<std::int16_t>(c.before))) << narrow(c.text);
        if (c.why == Change::Overflow) {
            EXPECT_TRUE(!parsed.packed() || c.before < 0 || parsed == VmVersion()) << narrow(c.text);
        }
    }
    // Versions order field by field: a release above 15 is no longer negative or small.
    EXPECT_GT(parseVersion(L"1.128"), parseVersion(L"1.1"));
    EXPECT_GT(parseVersion(L"17"), parseVersion(L"1.8.0_401"));
}

TEST(VmVersion, FieldsAreReadFromTheirBits)
{
    // A number is read through the bits of the old packing.
    EXPECT_EQ(static_cast<VmVersion>(0x425).release(), 4);
    EXPECT_EQ(static_cast<VmVersion>(0x425).maintenance(), 2);
    EXPECT_EQ(static_cast<VmVersion>(0x425).update(), 5);
    EXPECT_EQ(static_cast<VmVersion>(0x1425).release(), 4);  // bits 12-15 are no part of the release
    EXPECT_EQ(static_cast<VmVersion>(-1).release(), 15);
    // The old packing read 1.6.0_20 as release 6, maintenance 1, update 4; each
    // field now keeps its own number.
    const VmVersion wide = parseVersion(L"1.6.0_20");
    EXPECT_EQ(wide.release(), 6);
    EXPECT_EQ(wide.maintenance(), 0);
    EXPECT_EQ(wide.update(), 20);
}

TEST(VmVersion, PackedNumbersKeepTheirOrderAndMeaning)
{
    // Every version whose fields fit four bits packs as before, and two such
    // versions compare as their packed numbers did.
    for (int left = 0; left <= 0xFFF; ++left) {
        const VmVersion version(left);
        ASSERT_EQ(version.packed(), std::optional<std::int16_t>(static_cast<std::int16_t>(left)));
        for (int right = 0; right <= 0xFFF; right += 7) {
            ASSERT_EQ(version < VmVersion(right), left < right) << std::hex << left << " " << right;
            ASSERT_EQ(version == VmVersion(right), left == right) << std::hex << left << " " << right;
        }
    }
    EXPECT_EQ(VmVersion::of(4, 16, 0).packed(), std::nullopt);
    EXPECT_EQ(VmVersion::of(4, 2, 5, 1).packed(), std::nullopt);  // a patch has no place in the packing
    EXPECT_EQ(VmVersion::of(70000, 1, 1).release(), 65535);
}

TEST(VmVersion, VersionsOfTodayOrderFieldByField)
{
    const wchar_t* ascending[] = {L"1.1",      L"1.4.2_05", L"1.6.0_20", L"1.8.0_401", L"9.0.4", L"11.0.9",
                                  L"11.0.9.1", L"17.0.2",   L"17.0.12",  L"21.0.4",    L"25.0.1"};
    for (std::size_t i = 1; i < std::size(ascending); ++i) {
        EXPECT_LT(parseVersion(ascending[i - 1]), parseVersion(ascending[i]))
            << narrow(ascending[i - 1]) << " " << narrow(ascending[i]);
    }
    const std::pair<const wchar_t*, const wchar_t*> texts[] = {
        {L"1.4.2_05", L"1.4.2_05"}, {L"1.8.0_401", L"1.8.0_401"}, {L"5.0", L"1.5.0"},
        {L"17.0.12", L"17.0.12"},   {L"11.0.9.1", L"11.0.9.1"},   {L"", L"0"},
        {L"1.1.4", L"1.1.4"},
    };
    for (const auto& [text, written] : texts) {
        EXPECT_EQ(versionText(parseVersion(text)), written) << narrow(text);
    }
}

TEST(VmVersionPattern, PlusStarAndExactPatterns)
{
    const PatternCase cases[] = {
        // "+": that version or any later one, signed comparison
        {0x420, L"1.4+", true},
        {0x400, L"1.4+", true},
        {0x3FF, L"1.4+", false},
        {0x500, L"1.4.2_05+", true},
        {0x424, L"1.4.2_05+", false},
        {0x100, L"+", true},  // the empty pattern before "+" is 0
        // "*": same release, or same release and maintenance
        {0x425, L"1.4*", true},
        {0x400, L"1.4*", true},
        {0x1425, L"1.4*", true},  // only the release field is compared
        {0x510, L"1.4*", false},
        {0x425, L"1.4.2*", true},
        {0x42F, L"1.4.2*", true},
        {0x435, L"1.4.2*", false},
        {0x525, L"1.4.2*", false},
        {0x425, L"1.4.2_05*", false},  // an update with a wildcard never matches
        {0x000, L"1.0.0_1*", false},
        {0x300, L"1.3*", true},
        {0x000, L"*", true},  // release 0
        {0x100, L"*", false},
        // exact: every update of a release and maintenance, or exactly one update
        {0x420, L"1.4.2", true},
        {0x425, L"1.4.2", true},
        {0x42F, L"1.4.2", true},
        {0x410, L"1.4.2", false},
        {0x425, L"1.4.2_05", true},
        {0x424, L"1.4.2_05", false},
        {0x420, L"1.4.2_05", false},
        {0x425, L"1.4.2_0", true},  // update 0 is the same as no update
        {0x425, L"1.4.2_00", true},
        {0x1420, L"1.4.2", true},  // bits 12-15 of the VM are not compared
        {0x400, L"1.4", true},
        {0x410, L"1.4", false},
        {0x000, L"", true},  // the empty pattern is the exact pattern 0
        {0x00F, L"", true},
        {0x010, L"", false},
        {0x1000, L"1.16", false},  // bits 12-15 of the VM are not read: 0 is no 1.16
    };
    for (const auto& c : cases) {
        EXPECT_EQ(matchesVersionPattern(static_cast<VmVersion>(c.version), c.pattern), c.matches)
            << std::hex << "version 0x" << c.version << " pattern " << narrow(c.pattern);
    }
}

TEST(VmToken, NamedTokens)
{
    const TokenCase cases[] = {
        {JDK, 0x100, L"ALL", true},
        {MSJ, 0x140, L"ALL", true},
        {JRE, 0x000, L"ALL", true},
        {JDK, 0x140, L"J1", true},
        {JRE, 0x000, L"J1", true},  // no version counts as release 0
        {MSJ, 0x140, L"J1", false},  // the Microsoft VM is never J1 ...
        {MSJ, 0x140, L"J2", false},  // ... nor J2
        {JRE, 0x200, L"J1", false},
        {JRE, 0x200, L"J2", true},
        {JDK, 0x1100, L"J2", false},  // the release field is bits 8-11 only
        {JDK, -1, L"J2", true},  // release 15 of a negative version
        {JDK, 0x425, L"JDK", true},
        {JRE, 0x425, L"JDK", false},
        {JRE, 0x425, L"JRE", true},
        {MSJ, 0x140, L"JRE", false},
        {JDK, 0x140, L"JDK_J1", true},
        {JDK, 0x425, L"JDK_J1", false},
        {JRE, 0x140, L"JDK_J1", false},
        {JDK, 0x425, L"JDK_J2", true},
        {JRE, 0x425, L"JDK_J2", false},
        {JRE, 0x140, L"JRE_J1", true},
        {JDK, 0x140, L"JRE_J1", false},
        {JRE, 0x425, L"JRE_J2", true},
        {JRE, 0x140, L"JRE_J2", false},
        {MSJ, 0x140, L"MSJ", true},
        {JRE, 0x140, L"MSJ", false},
        // tokens compare after upper-casing
        {JRE, 0x425, L"jre_j2", true},
        {JDK, 0x425, L"jdk", true},
        {MSJ, 0x140, L"mSj", true},
        {JRE, 0x425, L"all", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(matchesToken(c.kind, static_cast<VmVersion>(c.version), c.token), c.matches)
            << "kind " << static_cast<int>(c.kind) << std::hex << " version 0x" << c.version << " token "
            << narrow(c.token);
    }
}

TEST(VmToken, PrefixedAndPlainPatterns)
{
    const TokenCase cases[] = {
        {JRE, 0x425, L"JRE_1.4+", true},
        {JRE, 0x310, L"JRE_1.4+", false},
        {JDK, 0x425, L"JRE_1.4+", false},  // the kind must match too
        {JDK, 0x425, L"jdk_1.4.2", true},
        {JDK, 0x425, L"JDK_1.4.2_05", true},
        {JDK, 0x425, L"JDK_1.4.2_06", false},
        {MSJ, 0x140, L"JRE_1.1.4", false},
        {JRE, 0x000, L"JRE_", true},  // an empty pattern after the prefix is 0
        {JRE, 0x310, L"1.3*", true},
        {MSJ, 0x140, L"1.1.4", true},
        {MSJ, 0x140, L"1.1*", true},
        {JRE, 0x425, L"1.5+", false},
        {JRE, 0x425, L"1.4.1", false},
        // any other prefix: the whole token is a pattern
        {JRE, 0x000, L"XYZ", true},
        {JRE, 0x00F, L"XYZ", true},
        {JRE, 0x100, L"XYZ", false},
        {JRE, 0x142, L"XYZ_1.4.2", true},  // "XYZ" takes the place of the skipped first number
        {JRE, 0x425, L"XYZ_1.4.2", false},
        {MSJ, 0x140, L"J3", false},
        // one token holding two, as a search splits "JRE_J2,JDK_J2": a runtime pattern
        // "J2,JDK_J2" that reads as 0
        {JRE, 0x425, L"JRE_J2,JDK_J2", false},
        {JDK, 0x000, L"JRE_J2,JDK_J2", false},
        {JRE, 0x000, L"JRE_J2,JDK_J2", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(matchesToken(c.kind, static_cast<VmVersion>(c.version), c.token), c.matches)
            << "kind " << static_cast<int>(c.kind) << std::hex << " version 0x" << c.version << " token "
            << narrow(c.token);
    }
}

TEST(VmToken, RuntimeOf142AgainstTheWholeVocabulary)
{
    const VmVersion runtime142 = parseVersion(L"1.4.2");
    for (const wchar_t* token : {L"J2", L"JRE", L"JRE_J2", L"1.4+", L"1.4.2", L"1.4.2*", L"1.4*", L"JRE_1.4.2"}) {
        EXPECT_TRUE(matchesToken(JRE, runtime142, token)) << narrow(token);
    }
    for (const wchar_t* token : {L"J1", L"MSJ", L"1.5+", L"1.4.1", L"JDK", L"JDK_J2", L"1.4.2_05*"}) {
        EXPECT_FALSE(matchesToken(JRE, runtime142, token)) << narrow(token);
    }
}

TEST(VmVersionPattern, ResultsThatChanged)
{
    // Versions whose fields overflowed: the old rules compared them as signed
    // packed numbers.
    struct Case {
        VmVersion version;
        const wchar_t* pattern;
        bool now;
        bool before;
    };
    const Case cases[] = {
        // -1 (0xFFFF) was below every version; its bits 0-11 read 1.15.15_15
        {packed(-1), L"1.4+", true, false},
        {packed(-256), L"+", true, false},  // 0xFF00 is release 15 now, was negative
        // 0x614 was also what "1.6.0_20" packed to; the pattern is 1.6.0_20 now
        {packed(0x614), L"1.6.0_20", false, true},
        {VmVersion::of(6, 0, 20), L"1.6.0_20", true, false},
        {VmVersion::of(6, 0, 20), L"1.6.1_04", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(matchesVersionPattern(c.version, c.pattern), c.now) << testing::PrintToString(c.version) << " " << narrow(c.pattern);
        EXPECT_NE(c.now, c.before);
    }
}

namespace {

// Whether the old rules read a version or token text the way the new ones do:
// a named token, or a text whose first number is below 2 (or missing) and whose
// fields fit four bits.
bool readAlike(std::wstring_view text)
{
    WString upper;
    for (const wchar_t unit : text) {
        upper.push_back(unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - L'a' + L'A') : unit);
    }
    for (const wchar_t* named :
         {L"ALL", L"J1", L"J2", L"JDK", L"JRE", L"MSJ", L"JDK_J1", L"JDK_J2", L"JRE_J1", L"JRE_J2"}) {
        if (upper == named) {
            return true;
        }
    }
    std::wstring_view pattern = upper;
    if (pattern.rfind(L"JRE_", 0) == 0 || pattern.rfind(L"JDK_", 0) == 0) {
        pattern.remove_prefix(4);
    }
    if (!pattern.empty() && (pattern.back() == L'+' || pattern.back() == L'*')) {
        pattern.remove_suffix(1);
    }
    const Tokenizer parts(pattern, L"._");
    return (parts.empty() || parseVersionField(parts[0]) < kJava2Release) && parseVersion(pattern).packed();
}

struct TodayCase {
    VmKind kind;
    const wchar_t* version;
    const wchar_t* token;
    bool now;
    bool before;  // what the old rules said of the same VM
};

}  // namespace

TEST(VmToken, TokensForTheVmsOfToday)
{
    // "before" is the old result for the VM as the old rules identified it: from
    // their file versions 8.0.4010.9 gave 0x991 (1.9.9_01), 17.0.12.0 gave 0x1101
    // (release 1, a Java 1 VM), 21.0.4.0 gave 0x1500 (release 5) and 25.0.1.0
    // gave 0x1900 (release 9); a token whose first number is 2 or more read as 0.
    const TodayCase cases[] = {
        // Java 17
        {JDK, L"17.0.12", L"J2", true, false},
        {JDK, L"17.0.12", L"J1", false, true},
        {JDK, L"17.0.12", L"JDK_J2", true, false},
        {JDK, L"17.0.12", L"17+", true, true},
        {JDK, L"17.0.12", L"JDK_17+", true, true},
        {JDK, L"17.0.12", L"JRE_17+", false, false},
        {JDK, L"17.0.12", L"17", true, false},
        {JDK, L"17.0.12", L"17*", true, false},
        {JDK, L"17.0.12", L"17.0.12", true, false},
        {JDK, L"17.0.12", L"17.0.11", false, false},
        {JDK, L"17.0.12", L"11*", false, false},
        {JDK, L"17.0.12", L"21+", false, true},
        {JDK, L"17.0.12", L"1.8+", true, true},
        {JDK, L"17.0.12", L"1.4.2", false, false},
        {JDK, L"17.0.12", L"ALL", true, true},
        // Java 8 update 401
        {JRE, L"1.8.0_401", L"J2", true, true},
        {JRE, L"1.8.0_401", L"1.8+", true, true},
        {JRE, L"1.8.0_401", L"JRE_1.8+", true, true},
        {JRE, L"1.8.0_401", L"1.8*", true, false},
        {JRE, L"1.8.0_401", L"1.8.0", true, false},
        {JRE, L"1.8.0_401", L"1.8.0_401", true, true},
        {JRE, L"1.8.0_401", L"8", true, false},
        {JRE, L"1.8.0_401", L"8+", true, true},
        {JRE, L"1.8.0_401", L"17+", false, true},
        // Java 21 and 25
        {JDK, L"21.0.4", L"J2", true, true},
        {JDK, L"21.0.4", L"21", true, false},
        {JDK, L"21.0.4", L"21*", true, false},
        {JDK, L"21.0.4", L"17+", true, true},
        {JDK, L"21.0.4", L"1.5*", false, true},
        {JDK, L"25.0.1", L"J2", true, true},
        {JDK, L"25.0.1", L"25", true, false},
        {JDK, L"25.0.1", L"21+", true, true},
        {JDK, L"25.0.1", L"1.9*", false, true},
        // A patch release: "11.0.9" takes every patch of it, "11.0.9.1" only that one.
        {JRE, L"11.0.9.1", L"11.0.9", true, false},
        {JRE, L"11.0.9.1", L"11.0.9.1", true, false},
        {JRE, L"11.0.9", L"11.0.9.1", false, false},
        {JRE, L"11.0.9.1", L"11.0.9*", false, false},  // an update with a wildcard never matches
        // Old VMs: the old texts keep their meaning; texts with a first number of
        // 2 or more name a release now instead of reading as 0.
        {JRE, L"1.4.2_05", L"1.4+", true, true},
        {JRE, L"1.4.2_05", L"J2", true, true},
        {JRE, L"1.4.2_05", L"JRE_1.4.2_05", true, true},
        {JRE, L"1.4.2_05", L"17+", false, true},
        {JRE, L"1.4.2_05", L"5.0+", false, true},
        {JRE, L"1.5.0_06", L"5.0", true, false},
        {JRE, L"1.5.0_06", L"5.0+", true, true},
        {JRE, L"1.3.1", L"2+", true, true},
        {JRE, L"1.1.8", L"2+", false, true},
        {JRE, L"1.1.8", L"J1", true, true},
        {JRE, L"1.1.8", L"1.1*", true, true},
        {MSJ, L"1.1.4", L"J2", false, false},
        {MSJ, L"1.1.4", L"MSJ", true, true},
        {MSJ, L"1.1.4", L"2+", false, true},
    };
    for (const auto& c : cases) {
        const VmVersion version = parseVersion(c.version);
        EXPECT_EQ(matchesToken(c.kind, version, c.token), c.now) << narrow(c.version) << " " << narrow(c.token);
        // Where the old rules read both texts alike, the result is theirs.
        if (readAlike(c.version) && readAlike(c.token)) {
            EXPECT_EQ(c.now, c.before) << narrow(c.version) << " " << narrow(c.token);
        }
    }
}

TEST(VmToken, ARejectionNamesWhatWasHeldAgainstTheVm)
{
    struct Case {
        VmKind kind;
        const wchar_t* version;
        const wchar_t* token;
        const wchar_t* reason;  // empty: the token accepts the VM
    };
    const Case cases[] = {
        {JRE, L"17.0.12", L"JDK", L"kind JRE, the token asks for JDK"},
        {JDK, L"17.0.12", L"jre_17+", L"kind JDK, the token asks for JRE"},
        {JRE, L"1.4.2", L"MSJ", L"kind JRE, the token asks for MSJ"},
        {MSJ, L"1.1.4", L"J1", L"kind MSJ, the token takes no Microsoft VM"},
        {JRE, L"1.1.8", L"J2", L"family: version 1.1.8 is Java 1.x, the token asks for Java 2 or later"},
        {JRE, L"17.0.12", L"JRE_J1", L"family: version 17.0.12 is Java 2 or later, the token asks for Java 1.x"},
        {JDK, L"11.0.2", L"17+", L"version 11.0.2 is not 17.0.0 or later"},
        {JDK, L"11.0.2", L"JDK_17*", L"version 11.0.2 is not any version of release 17"},
        {JRE, L"1.3.1", L"1.4*", L"version 1.3.1 is not any version of release 1.4"},
        {JRE, L"1.4.1", L"1.4.2*", L"version 1.4.1 is not any version of 1.4.2"},
        {JRE, L"1.4.2", L"1.4.2_05*", L"version 1.4.2 is not nothing (an update cannot be combined with \"*\")"},
        {JDK, L"17.0.11", L"17.0.12", L"version 17.0.11 is not exactly 17.0.12, any patch of it"},
        {JRE, L"1.4.2_04", L"1.4.2_05", L"version 1.4.2_04 is not exactly 1.4.2_05"},
        {JRE, L"11.0.9", L"11.0.9.1", L"version 11.0.9 is not exactly 11.0.9.1"},
        {JDK, L"21.0.4", L"17", L"version 21.0.4 is not any update of 17.0"},
        {JDK, L"17.0.12", L"XYZ", L"version 17.0.12 is not only a VM whose version is unknown (0)"},
        {JDK, L"17.0.12", L"17+", L""},
        {MSJ, L"1.1.4", L"ALL", L""},
        // A program without version information is not "version 0".
        {JRE, L"0", L"J2", L"family: no version information counts as Java 1.x, the token asks for Java 2 or later"},
        {JRE, L"0", L"JRE_17+", L"no version information, the token asks for 17.0.0 or later"},
        {JRE, L"0", L"1.8*", L"no version information, the token asks for any version of release 1.8"},
        {JDK, L"0", L"JRE", L"kind JDK, the token asks for JRE"},
        {JRE, L"0", L"J1", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tokenRejection(c.kind, parseVersion(c.version), c.token), c.reason)
            << narrow(c.version) << " " << narrow(c.token);
    }
}

TEST(VmToken, ATokenOfNoKnownFormIsShownAsItIsRead)
{
    struct Case {
        const wchar_t* token;
        const wchar_t* reading;  // nullptr: a well-formed token
    };
    const Case cases[] = {
        {L"17-21", L"not a named token or a version pattern; read as the version pattern \"17-21\", which accepts "
                   L"any update of 17.0"},
        {L"8u401", L"not a named token or a version pattern; read as the version pattern \"8U401\", which accepts "
                   L"any update of 1.8.0"},
        {L"[17,21)", L"not a named token or a version pattern; read as the version pattern \"[17,21)\", which "
                     L"accepts only a VM whose version is unknown (0); in the search, blanks separate the tokens, "
                     L"not commas"},
        {L"J2,JRE", L"not a named token or a version pattern; read as the version pattern \"J2,JRE\", which accepts "
                    L"only a VM whose version is unknown (0); in the search, blanks separate the tokens, not commas"},
        {L"JRE_17-", L"not a named token or a version pattern; read as the version pattern \"17-\", which accepts "
                     L"any update of 17.0 of kind JRE"},
        {L"17..2", L"not a named token or a version pattern; read as the version pattern \"17..2\", which accepts "
                   L"any update of 17.2"},
        {L"+", L"not a named token or a version pattern; read as the version pattern \"+\", which accepts "
               L"0 or later"},
        {L"j2", nullptr},
        {L"jre_j1", nullptr},
        {L"17+", nullptr},
        {L"1.4.2_05", nullptr},
        {L"JDK_1.8*", nullptr},
        {L"11.0.9.1", nullptr},
    };
    for (const auto& c : cases) {
        const auto reading = unusualTokenReading(c.token);
        if (c.reading == nullptr) {
            EXPECT_FALSE(reading.has_value()) << narrow(c.token) << ": " << narrow(reading.value_or(L""));
        } else {
            EXPECT_EQ(reading.value_or(L"(none)"), c.reading) << narrow(c.token);
        }
    }
}
