#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "base/errors.h"
#include "base/files.h"
#include "support/settings_fixtures.h"
#include "support/test_files.h"

using namespace qel;
using namespace qel::test;

TEST(Files, NormalizePathExpandsShortNamesOnlyWithATilde)
{
    TempDir dir;
    const WString longName = dir / L"A rather long directory name";
    makeDirectories(longName);
    writeFile(longName + L"\\file.txt", "x");

    wchar_t shortBuffer[MAX_PATH];
    const DWORD length = GetShortPathNameW(longName.c_str(), shortBuffer, MAX_PATH);
    ASSERT_GT(length, 0u);
    const WString shortName(shortBuffer, length);
    ASSERT_NE(shortName.find(L'~'), WString::npos) << narrow(shortName);

    EXPECT_EQ(normalizePath(shortName + L"\\\\file.txt"), longName + L"\\file.txt");
    EXPECT_EQ(longPath(shortName), longName);
    EXPECT_EQ(fullPath(shortName, ShortNames::Expand), longName);
    EXPECT_EQ(fullPath(shortName, ShortNames::Keep), shortName);
    // Nothing to expand: the text is returned as it is, even for a missing file.
    EXPECT_EQ(normalizePath(L"Q:/no//such\\\\file"), L"Q:\\no\\\\such\\file");
    // A tilde that names nothing leaves the path unchanged.
    EXPECT_EQ(normalizePath(L"Q:\\missing~1\\x"), L"Q:\\missing~1\\x");
}

TEST(Files, FullPathResolvesAgainstTheCurrentDirectory)
{
    TempDir dir;
    const CurrentDirectoryGuard restore;
    ASSERT_TRUE(setCurrentDirectory(dir.path()));
    const WString relative = fullPath(L"sub\\..\\notes.txt", ShortNames::Keep);
    const WString empty = fullPath(L"", ShortNames::Keep);

    EXPECT_EQ(relative, dir / L"notes.txt");
    EXPECT_EQ(empty, L"");  // the call fails: the text stays
    const WString tooLong = L"C:\\" + WString(300, L'a');
    EXPECT_EQ(fullPath(tooLong, ShortNames::Keep), tooLong);
}

TEST(Files, ExistenceDirectoriesAndSizes)
{
    TempDir dir;
    writeFile(dir / L"five.txt", "12345");
    writeFile(dir / L"empty.txt", "");
    makeDirectories(dir / L"sub");

    EXPECT_TRUE(fileExists(dir / L"five.txt"));
    EXPECT_TRUE(fileExists(dir / L"sub"));
    EXPECT_FALSE(fileExists(dir / L"none"));
    EXPECT_FALSE(fileExists(L""));
    EXPECT_TRUE(isDirectory(dir / L"sub"));
    EXPECT_FALSE(isDirectory(dir / L"five.txt"));
    EXPECT_FALSE(isDirectory(dir / L"none"));

    EXPECT_EQ(fileSize(dir / L"five.txt"), 5);
    EXPECT_EQ(fileSize(dir / L"empty.txt"), 0);
    EXPECT_EQ(fileSize(dir / L"none"), -1);
    EXPECT_EQ(fileSize(dir / L"sub"), -1);  // a directory cannot be opened as a file
    EXPECT_EQ(parentDirOrDot(L"C://a\\b.txt"), L"C:\\\\a");  // a doubled slash stays doubled
    EXPECT_EQ(parentDirOrDot(L"b.txt"), L".");
}

TEST(Files, StreamsReadInTextModeAndAppend)
{
    TempDir dir;
    const WString path = dir / L"lines.txt";
    writeFile(path, "one\r\ntwo");
    {
        UniqueStream stream(openForRead(path));
        ASSERT_TRUE(stream);
        char buffer[32] = {};
        const std::size_t count = std::fread(buffer, 1, sizeof buffer, stream.get());
        EXPECT_EQ(std::string(buffer, count), "one\ntwo");
    }
    {
        UniqueStream stream(openForAppend(path, "at"));
        ASSERT_TRUE(stream);
        std::fputs("\nthree\n", stream.get());
    }
    EXPECT_EQ(readFile(path), "one\r\ntwo\r\nthree\r\n");

    const WString created = dir / L"created.txt";
    {
        UniqueStream stream(openForAppend(created, "at"));
        ASSERT_TRUE(stream);
        std::fputs("a=b\n", stream.get());
    }
    EXPECT_EQ(readFile(created), "a=b\r\n");
}

TEST(Files, OpeningFailuresCarryThePath)
{
    TempDir dir;
    const WString missing = dir / L"missing.txt";
    try {
        openForRead(missing);
        FAIL() << "no exception";
    } catch (const FileException& error) {
        EXPECT_EQ(error.message, L"windows could not open the file specified");
        EXPECT_EQ(error.path, missing);
    }
    EXPECT_THROW(openForAppend(dir / L"no\\such\\dir\\file.txt", "at"), FileException);
    EXPECT_THROW(openForRead(dir.path()), FileException);  // a directory
}
