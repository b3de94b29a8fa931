#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "service/log_rotation_win.h"
#include "service/log_rotation.h"
#include "support/test_files.h"

using namespace qel;

// The rotation on a real directory: the files it leaves hold the lines in
// order, an existing log is continued, its older files (their names in any
// case) are numbered on from the highest, and no rename replaces a file.
TEST(DirectoryLogFiles, RotatesOnDisk)
{
    test::TempDir dir;
    test::writeFile(dir / L"app.out.log", "old\n");
    test::writeFile(dir / L"APP.OUT.5.LOG", "five\n");
    test::writeFile(dir / L"app.out.05.log", "not one of them");
    {
        DirectoryLogFiles files(dir.path());
        LogRotation log(files, L"app.out", 8, 2);
        log.write("one\ntwo\nthr");
        log.write("ee\nfour\nfive");
        log.finish();
        EXPECT_FALSE(log.failed());
    }
    // Files of "old\none\n", "two\n", "three\n", "four\n" and "five" after
    // the older 5: 5, 6 and 7 were dropped beyond the two kept.
    EXPECT_EQ(test::readFile(dir / L"app.out.8.log"), "three\n");
    EXPECT_EQ(test::readFile(dir / L"app.out.9.log"), "four\n");
    EXPECT_EQ(test::readFile(dir / L"app.out.log"), "five");
    EXPECT_EQ(test::readFile(dir / L"app.out.05.log"), "not one of them");
    for (const wchar_t* gone : {L"APP.OUT.5.LOG", L"app.out.6.log", L"app.out.7.log", L"app.out.10.log"}) {
        EXPECT_EQ(GetFileAttributesW((dir / gone).c_str()), INVALID_FILE_ATTRIBUTES) << test::narrow(gone);
    }
}

// The names that begin with the prefix in any case; folders are no files.
TEST(DirectoryLogFiles, NamesStartingWithAPrefix)
{
    test::TempDir dir;
    test::writeFile(dir / L"Shop.out.1.log", "");
    test::writeFile(dir / L"shop.OUT.2.log", "");
    test::writeFile(dir / L"Shop.err.1.log", "");
    CreateDirectoryW((dir / L"Shop.out.3.log").c_str(), nullptr);
    DirectoryLogFiles files(dir.path());
    std::vector<WString> names = files.namesStartingWith(L"Shop.out.");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<WString>{L"Shop.out.1.log", L"shop.OUT.2.log"}));
    EXPECT_TRUE(files.namesStartingWith(L"None.").empty());
}

TEST(DirectoryLogFiles, RenameReplacesNothingAndSizeReadsTheFile)
{
    test::TempDir dir;
    test::writeFile(dir / L"a.log", "aaa");
    test::writeFile(dir / L"b.log", "b");
    DirectoryLogFiles files(dir.path());
    EXPECT_EQ(files.size(L"a.log"), 3u);
    EXPECT_EQ(files.size(L"none.log"), 0u);
    EXPECT_FALSE(files.rename(L"a.log", L"b.log"));
    EXPECT_EQ(test::readFile(dir / L"b.log"), "b");
    EXPECT_TRUE(files.append(L"a.log", "x"));
    EXPECT_TRUE(files.rename(L"a.log", L"c.log"));  // closes the open file first
    EXPECT_EQ(test::readFile(dir / L"c.log"), "aaax");
    EXPECT_TRUE(files.remove(L"c.log"));
    EXPECT_FALSE(files.remove(L"c.log"));
}
