#include <gtest/gtest.h>

#include <string>

#include "service/log_files_win.h"
#include "service/log_rotation.h"
#include "support/test_files.h"

using namespace qel;

// The rotation on a real directory: the files it leaves hold the lines in
// order, an existing log is continued, and no rename replaces a file.
TEST(DirectoryLogFiles, RotatesOnDisk)
{
    test::TempDir dir;
    test::writeFile(dir / L"app.out.log", "old\n");
    {
        DirectoryLogFiles files(dir.path());
        LogRotation log(files, L"app.out", 8, 2);
        log.write("one\ntwo\nthr");
        log.write("ee\nfour\nfive");
        log.finish();
        EXPECT_FALSE(log.failed());
    }
    // Files of "old\none\n", "two\n", "three\n", "four\n" and "five": the
    // first two were dropped beyond the two kept.
    EXPECT_EQ(test::readFile(dir / L"app.out.2.log"), "three\n");
    EXPECT_EQ(test::readFile(dir / L"app.out.1.log"), "four\n");
    EXPECT_EQ(test::readFile(dir / L"app.out.log"), "five");
    EXPECT_EQ(GetFileAttributesW((dir / L"app.out.3.log").c_str()), INVALID_FILE_ATTRIBUTES);
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
