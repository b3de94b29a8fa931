#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "settings/properties.h"
#include "support/settings_fixtures.h"
#include "support/shared_cases.h"
#include "support/failures.h"
#include "support/test_files.h"

using namespace qel;

namespace {

using Entries = std::map<WString, WString, std::less<>>;

Entries parse(std::string_view bytes)
{
    PropertyTable table;
    parseProperties(table, bytes);
    return table.entries();
}

}  // namespace

// The table of cases the Java side's reader runs too: lines, keys and values,
// the text-mode bytes, the byte-order mark, escapes and continuation lines.
TEST(PropertiesReader, SharedCases)
{
    const auto cases = test::readSharedCases("properties.txt");
    ASSERT_GT(cases.size(), 50u);
    for (const auto& c : cases) {
        Entries expected;
        for (const auto& entry : c.all("entry")) {
            ASSERT_EQ(entry.size(), 2u) << c.name;
            expected[entry[0]] = entry[1];
        }
        EXPECT_EQ(parse(test::bytesOf(c.one("bytes"))), expected) << c.name;
    }
}

TEST(PropertyTable, GetReturnsAPresentEmptyValueInsteadOfTheDefault)
{
    PropertyTable table;
    parseProperties(table, "empty=  \nfull=x\n");
    EXPECT_EQ(table.get(L"empty", L"default"), L"");
    EXPECT_EQ(table.get(L"full", L"default"), L"x");
    EXPECT_EQ(table.get(L"absent", L"default"), L"default");
    EXPECT_EQ(table.get(L"FULL", L"default"), L"default");
}

// The reader accepts any bytes: it neither fails nor hangs, and what it makes of
// them still follows the rules.
TEST(PropertiesReaderBadInput, MegabyteLines)
{
    const std::size_t megabyte = 1 << 20;

    const Entries longValue = parse("k=" + std::string(megabyte, 'x') + "=y\n");
    ASSERT_EQ(longValue.size(), 1u);
    EXPECT_EQ(longValue.at(L"k").size(), megabyte + 2);

    EXPECT_TRUE(parse(std::string(megabyte, 'x') + "\n").empty());

    // A megabyte of backslashes: the last one continues the entry and becomes a space.
    const Entries backslashes = parse("k=" + std::string(megabyte, '\\'));
    ASSERT_EQ(backslashes.size(), 1u);
    const WString& joined = backslashes.at(L"k");
    EXPECT_EQ(joined, WString(megabyte - 1, L'\\') + L" ");

    std::string escapes = "k=";
    for (std::size_t i = 0; i < megabyte / 2; ++i) {
        escapes += "\\u";
    }
    EXPECT_EQ(parse(escapes).at(L"k"), WString(megabyte / 2, L'\0'));
}

TEST(PropertiesReaderBadInput, EveryLineContinued)
{
    std::string text = "k=start\\\n";
    for (int i = 0; i < 100000; ++i) {
        text += "piece\\\n";
    }
    const Entries entries = parse(text);
    ASSERT_EQ(entries.size(), 1u);
    // "start" and a space, then each piece with its backslash kept.
    EXPECT_EQ(entries.at(L"k").size(), 6u + 100000u * 6u);
}

TEST(PropertiesReaderBadInput, ArbitraryBytesFollowTheTextModeRules)
{
    // Every byte value but the end-of-file byte, with the characters that mean
    // something to the reader made frequent.
    std::string bytes;
    unsigned state = 12345;
    const char frequent[] = {'\n', '\r', '=', '\\', '#', 'u', '0', 'a', ' ', '\0'};
    for (int i = 0; i < 300000; ++i) {
        state = state * 1103515245u + 12345u;
        const unsigned pick = (state >> 16) & 0xff;
        const char any = static_cast<char>((state >> 8) & 0xff);
        bytes += pick < 128 ? frequent[pick % sizeof frequent] : any == '\x1a' ? 'z' : any;
    }
    const Entries entries = parse(bytes);
    EXPECT_GT(entries.size(), 1000u);

    // The end-of-file byte ends the text wherever it comes.
    const std::size_t half = bytes.size() / 2;
    EXPECT_EQ(parse(bytes.substr(0, half) + '\x1a' + bytes.substr(half)), parse(bytes.substr(0, half)));

    // CR LF reads as LF.
    std::string feedsOnly;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
            feedsOnly += bytes[i];
        }
    }
    ASSERT_LT(feedsOnly.size(), bytes.size());
    EXPECT_EQ(entries, parse(feedsOnly));
}

class PropertiesFile : public ::testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(PropertiesFile, ReadsTheBytesOfTheFile)
{
    test::writeFile(dir / L"app.qel", "# settings\r\nname=caf\xe9\r\npath=C:\\\\x\\\r\n  \\u0041\r\nlast=1");
    PropertyTable table;
    // The path is normalized before it is opened.
    readProperties(table, dir.path() + L"\\\\app.qel");
    EXPECT_EQ(table.entries(), (Entries{{L"name", L"caf\u00e9"}, {L"path", L"C:\\\\x A"}, {L"last", L"1"}}));

    test::writeFile(dir / L"empty.qel", "");
    PropertyTable empty;
    readProperties(empty, dir / L"empty.qel");
    EXPECT_TRUE(empty.entries().empty());
}

TEST_F(PropertiesFile, TenMegabytesOfEntries)
{
    const auto valueOf = [](int i) {
        return L"value " + std::to_wstring(i * 7) +
               L" of a file made of one hundred thousand entries, each line a little over one hundred bytes";
    };
    std::string text;
    text.reserve(11 << 20);
    char key[32];
    for (int i = 0; i < 100000; ++i) {
        std::snprintf(key, sizeof key, "key.%06d = ", i);
        text += key;
        text += test::narrow(valueOf(i));
        text += "\r\n";
    }
    ASSERT_GE(text.size(), 10u << 20);
    test::writeFile(dir / L"big.qel", text);

    PropertyTable table;
    readProperties(table, dir / L"big.qel");
    ASSERT_EQ(table.entries().size(), 100000u);
    for (int i : {0, 54321, 99999}) {
        wchar_t name[32];
        std::swprintf(name, 32, L"key.%06d", i);
        EXPECT_EQ(table.get(name, L""), valueOf(i)) << i;
    }
}

TEST_F(PropertiesFile, MissingFileOrDirectoryFailsAndAddsNothing)
{
    test::makeDirectories(dir / L"folder.qel");
    const WString paths[] = {dir / L"missing.qel", dir / L"folder.qel"};
    for (const auto& path : paths) {
        PropertyTable table;
        table.set(L"kept", L"1");
        const auto error = test::thrownBy<FileException>([&] { readProperties(table, path); }, test::narrow(path));
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->message, L"windows could not open the file specified");
        EXPECT_EQ(error->path, path);
        EXPECT_EQ(table.entries(), (Entries{{L"kept", L"1"}}));
    }
}
