#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "settings/properties.h"
#include "support/settings_fixtures.h"
#include "support/failures.h"
#include "support/test_files.h"

using namespace qel;
using namespace std::string_view_literals;

namespace {

using Entries = std::map<WString, WString, std::less<>>;

struct ParseCase {
    const char* rule;
    std::string_view bytes;
    Entries entries;
};

Entries parse(std::string_view bytes)
{
    PropertyTable table;
    parseProperties(table, bytes);
    return table.entries();
}

void expectCases(const ParseCase* begin, const ParseCase* end)
{
    for (const ParseCase* c = begin; c != end; ++c) {
        EXPECT_EQ(parse(c->bytes), c->entries) << c->rule;
    }
}

template <std::size_t N> void expectCases(const ParseCase (&cases)[N])
{
    expectCases(cases, cases + N);
}

}  // namespace

TEST(PropertiesReader, LinesKeysAndValues)
{
    const ParseCase cases[] = {
        {"spaces around key and value go, inner ones stay", "a = b c \n", {{L"a", L"b c"}}},
        {"the first = separates", "a=b=c\n", {{L"a", L"b=c"}}},
        {"empty key", "=x\n", {{L"", L"x"}}},
        {"a key with inner spaces", " my key = v\n", {{L"my key", L"v"}}},
        {"no = means no entry", "a:b\nc d\nplain\n", {}},
        {"blank lines", "\n   \n\t\r\n", {}},
        {"# in column one is a comment", "#a=b\n", {}},
        {"# after a space is part of the key", " #a=b\n", {{L"#a", L"b"}}},
        {"! is ordinary", "!a=b\n", {{L"!a", L"b"}}},
        {"# later in the line is ordinary", "x=1 # not a comment\n", {{L"x", L"1 # not a comment"}}},
        {"later duplicate wins, keys are case-sensitive", "k=1\nK=3\nk=2\n", {{L"k", L"2"}, {L"K", L"3"}}},
        {"a value of spaces is empty", "k=   \n", {{L"k", L""}}},
        {"every unit up to 0x20 is trimmed, 0x7F is not",
         " \t\x0b\x01k\x1f\x0c =\t\x02 v\x7f \x1f\n"sv,
         {{L"k", L"v\x7f"}}},
        {"NUL units are trimmed too", "\0k\0=\0v\0\n"sv, {{L"k", L"v"}}},
        {"a NUL before # makes no comment", "\0#a=b\n"sv, {{L"#a", L"b"}}},
        {"NUL inside key and value stays", "k\0y=v\0w\n"sv, {{WString(L"k\0y", 3), WString(L"v\0w", 3)}}},
        {"last line without line feed", "a=1\nb=two words", {{L"a", L"1"}, {L"b", L"two words"}}},
    };
    expectCases(cases);
}

TEST(PropertiesReader, TextModeBytes)
{
    const ParseCase cases[] = {
        {"CR LF reads as LF", "a=1\r\nb=2\r\n", {{L"a", L"1"}, {L"b", L"2"}}},
        {"a CR elsewhere stays", "a=x\ry\r\n", {{L"a", L"x\ry"}}},
        {"0x1A ends the file", "a=1\n\x1a\nb=2\n", {{L"a", L"1"}}},
        {"0x1A ends the file inside a line",
         "a=1\x1a"
         "b\nc=2\n",
         {{L"a", L"1"}}},
        {"bytes are ISO 8859-1", "k\xe9=\xe9\xff\x80\n", {{L"k\u00e9", L"\u00e9\u00ff\u0080"}}},
    };
    expectCases(cases);
}

TEST(PropertiesReader, ByteOrderMarkAtTheStartOnly)
{
    // The mark is EF BB BF; each byte read alone is one ISO 8859-1 unit.
    const WString mark = L"\u00EF\u00BB\u00BF";
    const ParseCase cases[] = {
        {"a mark before the first key is no part of it",
         "\xEF\xBB\xBF"
         "a=1\nb=2\n",
         {{L"a", L"1"}, {L"b", L"2"}}},
        {"after the mark, # in column one is a comment", "\xEF\xBB\xBF#a=1\nb=2\n", {{L"b", L"2"}}},
        {"the mark alone", "\xEF\xBB\xBF", {}},
        {"only one mark goes",
         "\xEF\xBB\xBF\xEF\xBB\xBF"
         "a=1\n",
         {{mark + L"a", L"1"}}},
        {"a mark on a later line stays",
         "a=1\n\xEF\xBB\xBF"
         "b=2\n",
         {{L"a", L"1"}, {mark + L"b", L"2"}}},
        {"a mark in a value stays", "a=\xEF\xBB\xBF\n", {{L"a", mark}}},
        {"two bytes of a mark stay",
         "\xEF\xBB"
         "a=1\n",
         {{L"\u00EF\u00BBa", L"1"}}},
        {"a space before the mark keeps it",
         " \xEF\xBB\xBF"
         "a=1\n",
         {{mark + L"a", L"1"}}},
    };
    expectCases(cases);
}

TEST(PropertiesReader, Escapes)
{
    const ParseCase cases[] = {
        {"four digits, either case", "k=\\u00e9t\\u00E9\n", {{L"k", L"\u00e9t\u00e9"}}},
        {"a unit outside Latin-1", "k=\\u41BC\n", {{L"k", L"\u41bc"}}},
        {"two digits, then an ordinary letter", "k=\\u41G\n", {{L"k", L"AG"}}},
        {"no digit gives U+0000", "k=\\u\n", {{L"k", WString(1, L'\0')}}},
        {"a fifth digit is ordinary", "k=\\u004142\n", {{L"k", L"A42"}}},
        {"the largest unit", "k=\\uFFFF\n", {{L"k", L"\uffff"}}},
        {"escapes in keys", "\\u0041\\u0062=1\n", {{L"Ab", L"1"}}},
        {"doubled backslashes stay doubled", "k=C:\\\\dir\\\\file\n", {{L"k", L"C:\\\\dir\\\\file"}}},
        {"backslash t stays two units", "k=a\\tb\n", {{L"k", L"a\\tb"}}},
        {"the second backslash of a pair starts nothing", "k=\\\\u0041\n", {{L"k", L"\\\\u0041"}}},
        {"upper-case U is no escape", "k=\\U0041\n", {{L"k", L"\\U0041"}}},
        {"a final backslash of a key is copied", "k\\=v\n", {{L"k\\", L"v"}}},
    };
    expectCases(cases);
}

TEST(PropertiesReader, ContinuationLines)
{
    const ParseCase cases[] = {
        {"the first final backslash becomes a space", "k=one \\\ntwo\n", {{L"k", L"one  two"}}},
        {"later final backslashes stay and join", "k=a\\\nb\\\nc\n", {{L"k", L"a b\\c"}}},
        {"continued lines are trimmed", "k=a\\\n   b   \n", {{L"k", L"a b"}}},
        {"# means nothing inside a continuation", "k=a\\\n#x=y\nz=1\n", {{L"k", L"a #x=y"}, {L"z", L"1"}}},
        {"a missing = means nothing inside a continuation", "k=a\\\nno separator\n", {{L"k", L"a no separator"}}},
        {"a blank line ends a two-line entry", "k=a\\\n\nz=1\n", {{L"k", L"a "}, {L"z", L"1"}}},
        {"a blank line does not end a later backslash", "k=a\\\nb\\\n\nz=1\n", {{L"k", L"a b\\z=1"}}},
        {"CR LF before and after", "k=a\\\r\nb\r\n", {{L"k", L"a b"}}},
        {"escapes are read after joining", "k=\\u00\\\n41\n", {{L"k", WString(1, L'\0') + L" 41"}}},
        {"a backslash in the key continues nothing", "k\\\n=v\n", {{L"", L"v"}}},
        {"continuation at the end of the file", "k=a\\", {{L"k", L"a "}}},
        {"continuation after the final line feed", "k=a\\\n", {{L"k", L"a "}}},
        {"unbalanced later continuation at the end", "k=a\\\nb\\\nc\\", {{L"k", L"a b\\c\\"}}},
    };
    expectCases(cases);
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
