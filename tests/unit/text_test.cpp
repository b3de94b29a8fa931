#include <gtest/gtest.h>

#include <vector>

#include "base/path_text.h"
#include "base/text.h"

using namespace qel;

namespace {

struct TokenizeCase {
    const wchar_t* text;
    const wchar_t* delimiters;
    std::vector<WString> tokens;
};

}  // namespace

TEST(Tokenizer, SplitsAtDelimiterRunsWithoutEmptyTokens)
{
    const TokenizeCase cases[] = {
        {L"", L",", {}},
        {L"a,,b,", L",", {L"a", L"b"}},
        {L",a,b", L",", {L",a", L"b"}},  // a leading delimiter stays with the first token
        {L",,a", L",", {L",", L"a"}},
        {L",", L",", {L","}},
        {L"   ", L" ", {L" "}},
        {L"1.4.2_05", L"._", {L"1", L"4", L"2", L"05"}},
        {L"JRE_J2, JDK_J2", L", ", {L"JRE_J2", L"JDK_J2"}},
        {L"a\tb c", L" ", {L"a\tb", L"c"}},  // a tab is no separator
        {L"x;;y;", L";", {L"x", L"y"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Tokenizer(c.text, c.delimiters).tokens(), c.tokens) << "text: " << c.text;
    }
}

TEST(Text, CaseMappingTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(toLowerAscii(L"AbZ[@\u00C9\u0130"), L"abz[@\u00C9\u0130");
    EXPECT_EQ(toUpperAscii(L"azAZ{`\u00E9"), L"AZAZ{`\u00E9");
}

TEST(Text, WideningExtendsTheSignOfEachByte)
{
    EXPECT_EQ(widenSignExtended("Unknown exception"), L"Unknown exception");
    const WString widened = widenSignExtended("\x80\xff\x7f");
    ASSERT_EQ(widened.size(), 3u);
    EXPECT_EQ(static_cast<unsigned>(static_cast<unsigned short>(widened[0])), 0xFF80u);
    EXPECT_EQ(static_cast<unsigned>(static_cast<unsigned short>(widened[1])), 0xFFFFu);
    EXPECT_EQ(widened[2], L'\x7f');
}

TEST(PathText, CollapseSeparators)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\a\\\\b\\\\\\c", L"C:\\a\\b\\c"},
        {L"\\\\server\\\\share\\\\x", L"\\\\server\\share\\x"},  // the UNC pair stays
        {L"\\\\\\\\server", L"\\\\\\server"},  // only pairs at or after the UNC prefix shrink
        {L"C:/a/b", L"C:\\a\\b"},
        {L"C://a", L"C:\\\\a"},  // slashes are replaced after collapsing
        {L"\\a\\\\", L"\\a\\"},
        {L"", L""},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(collapseSeparators(input), expected) << input;
    }
}

TEST(PathText, NamesExtensionsAndParents)
{
    EXPECT_EQ(fileName(L"C:\\Apps\\Tool.EXE", LetterCase::AsIs), L"Tool.EXE");
    EXPECT_EQ(fileName(L"C:\\Apps\\Tool.EXE", LetterCase::Lower), L"tool.exe");
    EXPECT_EQ(fileName(L"Tool", LetterCase::AsIs), L"Tool");
    EXPECT_EQ(fileName(L"C:\\dir\\", LetterCase::AsIs), L"");

    const std::pair<const wchar_t*, bool> extensions[] = {
        {L".profile", false},          {L"\\.profile", true}, {L"a\\b", false}, {L"a.b\\c", false},
        {L"C:\\My.Apps\\Tool", false}, {L"tool.", true},      {L"x.exe", true},
    };
    for (const auto& [path, has] : extensions) {
        EXPECT_EQ(hasExtension(path), has) << path;
    }
    EXPECT_EQ(extension(L"tool.", LetterCase::AsIs), L"");
    EXPECT_EQ(extension(L"C:\\a\\Tool.EXE", LetterCase::Lower), L"exe");
    EXPECT_EQ(extension(L"C:\\a\\Tool.EXE", LetterCase::AsIs), L"EXE");
    EXPECT_EQ(extension(L"C:\\a.b\\Tool", LetterCase::AsIs), L"");

    EXPECT_EQ(parentDir(L"C:\\file.txt", L"."), L"C:");
    EXPECT_EQ(parentDir(L"\\file.txt", L"."), L"");
    EXPECT_EQ(parentDir(L"file.txt", L"."), L".");
    EXPECT_EQ(parentDir(L"C:\\a\\b\\c", L"."), L"C:\\a\\b");
}

TEST(PathText, DirectoryOfAFile)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"Q:\\App.qel", L"Q:\\"},  // the root itself; "Q:" would be Q's current directory
        {L"\\App.qel", L"\\"},        {L"Q:\\apps\\App.qel", L"Q:\\apps"},
        {L"Q:\\apps\\", L"Q:\\apps"}, {L"\\\\server\\share\\App.qel", L"\\\\server\\share"},
        {L"sub\\App.qel", L"sub"},    {L"Q:App.qel", L"Q:"},  // drive-relative: the current directory of drive Q
        {L"App.qel", L"."},           {L"", L"."},
    };
    for (const auto& [path, directory] : cases) {
        EXPECT_EQ(directoryOf(path), directory) << path;
    }
}

TEST(PathText, AbsolutePaths)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"C:", true},    {L"C:x", true}, {L"\\x", true}, {L"\\\\srv\\s", true},
        {L"x\\y", false}, {L"", false},   {L"x", false},  {L"/x", false},
    };
    for (const auto& [path, absolute] : cases) {
        EXPECT_EQ(isAbsolutePath(path), absolute) << path;
    }
}

TEST(PathText, FinalPathsInTheFormUsersWrite)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"\\\\?\\C:\\Program Files\\Java\\jdk-17\\bin\\java.exe", L"C:\\Program Files\\Java\\jdk-17\\bin\\java.exe"},
        {L"\\\\?\\UNC\\server\\share\\jdk\\bin\\java.exe", L"\\\\server\\share\\jdk\\bin\\java.exe"},
        {L"C:\\jdk\\bin\\java.exe", L"C:\\jdk\\bin\\java.exe"},
        {L"\\\\server\\share", L"\\\\server\\share"},
        {L"\\\\?\\", L""},
        {L"", L""},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(withoutVerbatimPrefix(path), expected) << path;
    }
}

TEST(PathText, DeviceNames)
{
    for (const wchar_t* path : {L"con", L"NUL", L"aux", L"prn", L"nul.txt", L"COM1", L"lpt9.log", L"Com1 .log",
                                L"nul. ", L"C:\\logs\\nul", L"sub/CON.tar.gz", L"C:nul", L"conout$", L"com\u00b9"}) {
        EXPECT_TRUE(isDeviceName(path)) << path;
    }
    for (const wchar_t* path : {L"", L".", L"console", L"nul-list", L"xnul", L"com", L"com10", L"coma", L"lpt",
                                L"nul\\x", L"C:\\con\\file.txt", L"notes.txt"}) {
        EXPECT_FALSE(isDeviceName(path)) << path;
    }
}
