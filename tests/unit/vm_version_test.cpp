#include <gtest/gtest.h>

#include "support/test_files.h"
#include "vm/version.h"

using namespace qel;
using qel::test::narrow;

namespace {

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
    const VersionCase cases[] = {
        {L"1.4.2_05", 0x425},  {L"1.4", 0x400},    {L"1.3.1", 0x310},       {L"1.1.4", 0x140},
        {L"1.5.0_06", 0x506},  {L"5.0", 0x000},  // the first number is never read
        {L"0.0.0.0", 0},       {L"", 0},           {L"1.6.0_20", 0x614},  // 20 spills into the maintenance field
        {L"1.4.15_15", 0x4FF}, {L"1.4.16", 0x500},  // a maintenance of 16 reads as release 5
        {L"1.16", 0x1000},  // bits 12-15 are kept
        {L"1.4.2.7.9", 0x427},  // numbers after the fourth are ignored
        {L"1_4_2_5", 0x425},  // underscore and dot separate alike
        {L"1..4__2", 0x420},  // runs of separators count as one
        {L".4.2", 0x200},  // a leading dot stays with the first part, which is skipped
        {L"1.x.2", 0x020},  // a part that is no number is 0
        {L"1.4a.2b", 0x420},  // a number is read up to the first non-digit
        {L"1.-1", -256},  // read like a "%d" scan: a sign is allowed
        {L"1. 7", 0x700},  // ... and so are leading blanks
        {L"1..2__3", 0x230},   {L"abc", 0},        {L"abc.def.ghi.jkl", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseVersion(c.text), static_cast<VmVersion>(c.expected)) << narrow(c.text);
    }
}

TEST(VmVersion, HugeNumbersKeepTheLow16Bits)
{
    const VersionCase cases[] = {
        {L"99999.99999.99999.99999", -1},  // 0x9F00 | 0x69F0 | 0x869F
        {L"1.128", -32768},  // 0x8000: a negative version
        {L"1.4294967295.0.0", -256},  // 0xFF00
        {L"1.99999999999999999999", -256},  // the number wraps in 32 bits, then 0xFF00
        {L"1.65535.65535.65535", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseVersion(c.text), static_cast<VmVersion>(c.expected)) << narrow(c.text);
    }
    EXPECT_LT(parseVersion(L"1.128"), parseVersion(L"1.1"));  // versions order as signed numbers
}

TEST(VmVersion, FieldsAreReadFromTheirBits)
{
    const VmVersion spilled = parseVersion(L"1.6.0_20");
    EXPECT_EQ(releaseOf(spilled), 6);
    EXPECT_EQ(maintenanceOf(spilled), 1);
    EXPECT_EQ(updateOf(spilled), 4);
    EXPECT_EQ(releaseOf(static_cast<VmVersion>(0x1425)), 4);  // bits 12-15 are no part of the release
    EXPECT_EQ(releaseOf(static_cast<VmVersion>(-1)), 15);
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
        {-1, L"1.4+", false},
        {0x100, L"+", true},  // the empty pattern before "+" is 0
        {-256, L"+", false},
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
        {0x614, L"1.6.0_20", true},  // spilled fields compare as packed
        {0x1000, L"1.16", false},  // a pattern with bits 12-15 set matches nothing
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
