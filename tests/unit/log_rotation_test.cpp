#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "service/log_rotation.h"

using namespace qel;

namespace {

// A log directory in memory. Files dropped by the rotation are kept, in the
// order they were deleted, so that a test can see every byte ever written.
class MemoryFiles : public LogFiles {
public:
    std::map<WString, std::string> files;
    std::vector<std::string> dropped;
    std::set<WString> locked;  // files that cannot be renamed or deleted

    std::uint64_t size(const WString& name) override
    {
        const auto file = files.find(name);
        return file == files.end() ? 0 : file->second.size();
    }
    bool append(const WString& name, std::string_view bytes) override
    {
        files[name] += bytes;
        return true;
    }
    bool rename(const WString& from, const WString& to) override
    {
        const auto file = files.find(from);
        if (file == files.end() || files.count(to) != 0 || locked.count(from) != 0) {
            return false;
        }
        files[to] = std::move(file->second);
        files.erase(from);
        return true;
    }
    bool remove(const WString& name) override
    {
        const auto file = files.find(name);
        if (file == files.end() || locked.count(name) != 0) {
            return false;
        }
        dropped.push_back(std::move(file->second));
        files.erase(file);
        return true;
    }

    // The files of the log "x", the current one (0) first.
    std::map<int, std::string> generations() const
    {
        std::map<int, std::string> result;
        for (int generation = 0; generation <= 100; ++generation) {
            const auto file = files.find(logFileName(L"x", generation));
            if (file != files.end()) {
                result[generation] = file->second;
            }
        }
        return result;
    }

    // Every byte written, oldest first: the dropped files, then the older
    // files from the oldest, then the current one.
    std::string everything() const
    {
        std::string all;
        for (const auto& file : dropped) {
            all += file;
        }
        const auto kept = generations();
        for (auto file = kept.rbegin(); file != kept.rend(); ++file) {
            all += file->second;
        }
        return all;
    }
};

}  // namespace

TEST(LogRotation, FileNames)
{
    EXPECT_EQ(logFileName(L"Hello.out", 0), L"Hello.out.log");
    EXPECT_EQ(logFileName(L"Hello.out", 1), L"Hello.out.1.log");
    EXPECT_EQ(logFileName(L"Hello.err", 12), L"Hello.err.12.log");
}

// Where the bytes go, chunk by chunk: the files of the log afterwards, the
// current one as generation 0.
TEST(LogRotation, Cases)
{
    const struct {
        const char* name;
        std::uint64_t size;
        int keep;
        std::string existing;  // the current file before the start
        std::vector<std::string> chunks;
        bool finish;
        std::map<int, std::string> files;
    } kCases[] = {
        {"lines that fill the file exactly stay in it", 10, 2, "", {"aaaa\nbbbb\n"}, true, {{0, "aaaa\nbbbb\n"}}},
        {"the line that does not fit starts a new file", 10, 2, "", {"aaaa\nbbbb\ncc\n"}, true,
         {{1, "aaaa\nbbbb\n"}, {0, "cc\n"}}},
        {"a line in pieces is placed whole", 6, 2, "", {"aa", "aa\nbb", "bb\n"}, true, {{1, "aaaa\n"}, {0, "bbbb\n"}}},
        {"the older files move up, the newest is 1", 2, 3, "", {"a\nb\nc\n"}, true,
         {{2, "a\n"}, {1, "b\n"}, {0, "c\n"}}},
        {"the file beyond the count kept is dropped", 2, 1, "", {"a\nb\nc\n"}, true, {{1, "b\n"}, {0, "c\n"}}},
        {"keeping none drops the full file", 2, 0, "", {"a\nb\n"}, true, {{0, "b\n"}}},
        {"an existing file counts toward the size", 6, 2, "12345", {"ab\n"}, true, {{1, "12345"}, {0, "ab\n"}}},
        {"an existing file is appended to", 6, 2, "1\n", {"ab\n"}, true, {{0, "1\nab\n"}}},
        {"a line without its end waits for it", 10, 2, "", {"ab\n", "cd"}, false, {{0, "ab\n"}}},
        {"the end of the stream writes the last line", 10, 2, "", {"ab\n", "cd"}, true, {{0, "ab\ncd"}}},
        {"the last line too starts a new file when it does not fit", 4, 2, "", {"ab\n", "cd"}, true,
         {{1, "ab\n"}, {0, "cd"}}},
        {"a longer line fills the files up to the size", 4, 2, "", {"ab\nlongline\n"}, true,
         {{2, "ab\nl"}, {1, "ongl"}, {0, "ine\n"}}},
        {"a line longer than the size is written before its end", 3, 2, "", {"abcd", "efg"}, false,
         {{2, "abc"}, {1, "def"}, {0, "g"}}},
        {"a line after a long one is placed whole", 3, 3, "", {"abcd\nef\n"}, true,
         {{2, "abc"}, {1, "d\n"}, {0, "ef\n"}}},
        {"an empty line is a line", 2, 2, "", {"a\n\n\n"}, true, {{1, "a\n"}, {0, "\n\n"}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        MemoryFiles files;
        if (!c.existing.empty()) {
            files.files[L"x.log"] = c.existing;
        }
        LogRotation log(files, L"x", c.size, c.keep);
        for (const auto& chunk : c.chunks) {
            log.write(chunk);
        }
        if (c.finish) {
            log.finish();
        }
        EXPECT_EQ(files.generations(), c.files);
        EXPECT_FALSE(log.failed());
    }
}

// A current file that cannot be renamed (another program holds it) keeps the
// bytes, and the next try comes a size later; the older file moved up at the
// failed try leaves at the next one as it would have at the second rotation.
TEST(LogRotation, AFailedRotationLosesNothing)
{
    MemoryFiles files;
    files.files[L"x.1.log"] = "old\n";
    files.files[L"x.log"] = "cur\n";
    files.locked.insert(L"x.log");
    LogRotation log(files, L"x", 4, 2);
    log.write("a\nb\n");
    EXPECT_TRUE(log.failed());
    EXPECT_EQ(files.generations(), (std::map<int, std::string>{{2, "old\n"}, {0, "cur\na\nb\n"}}));

    files.locked.clear();
    log.write("c\n");
    EXPECT_EQ(files.generations(), (std::map<int, std::string>{{1, "cur\na\nb\n"}, {0, "c\n"}}));
    EXPECT_EQ(files.everything(), "old\ncur\na\nb\nc\n");
}

TEST(LogRotation, AFailedRenameOfAnOlderFileReplacesNothing)
{
    MemoryFiles files;
    files.files[L"x.2.log"] = "two\n";
    files.files[L"x.1.log"] = "one\n";
    files.locked.insert(L"x.2.log");
    LogRotation log(files, L"x", 2, 3);
    log.write("a\nb\n");
    EXPECT_TRUE(log.failed());
    EXPECT_EQ(files.generations(), (std::map<int, std::string>{{2, "two\n"}, {1, "one\n"}, {0, "a\nb\n"}}));
    EXPECT_TRUE(files.dropped.empty());
}

namespace {

struct StreamCase {
    const char* name;
    std::uint64_t size;
    int keep;
    bool lineEnds;
    std::size_t longest;  // the longest line
};

// A stream of numbered lines of many lengths (the seed fixed, so a failure
// repeats), fed in chunks of many sizes; the line boundaries are kept.
void checkStream(const StreamCase& c, unsigned seed)
{
    std::mt19937 engine(seed);
    auto pick = [&engine](std::size_t bound) { return static_cast<std::size_t>(engine() % bound); };
    std::string stream;
    std::vector<std::pair<std::size_t, std::size_t>> lines;  // start, length with the line feed
    for (int number = 0; number < 2000; ++number) {
        std::string line = std::to_string(number) + ":";
        const std::size_t length = pick(c.longest + 1);
        while (line.size() < length) {
            line.push_back(static_cast<char>('a' + pick(26)));
        }
        if (c.lineEnds) {
            line.push_back('\n');
        }
        lines.emplace_back(stream.size(), line.size());
        stream += line;
    }
    if (!c.lineEnds) {
        lines = {{0, stream.size()}};  // one line, never ended
    }

    MemoryFiles files;
    LogRotation log(files, L"x", c.size, c.keep);
    std::vector<std::size_t> ends;  // where each file ended in the stream, at its rotation
    std::size_t fed = 0;
    while (fed < stream.size()) {
        const std::size_t chunk = std::min(stream.size() - fed, 1 + pick(3 * c.size));
        log.write(std::string_view(stream).substr(fed, chunk));
        fed += chunk;
        const auto kept = files.generations();
        ASSERT_LE(kept.size(), static_cast<std::size_t>(c.keep) + 1);
        for (const auto& file : kept) {
            ASSERT_LE(file.second.size(), c.size) << "generation " << file.first;
        }
    }
    log.finish();
    EXPECT_FALSE(log.failed());
    EXPECT_EQ(files.everything(), stream);

    // Every line no longer than the size lies in one file.
    std::vector<std::size_t> fileStarts;
    std::size_t position = 0;
    for (const auto& file : files.dropped) {
        fileStarts.push_back(position);
        position += file.size();
    }
    const auto kept = files.generations();
    for (auto file = kept.rbegin(); file != kept.rend(); ++file) {
        fileStarts.push_back(position);
        position += file->second.size();
    }
    ASSERT_GT(fileStarts.size(), static_cast<std::size_t>(c.keep) + 2) << "several rotations";
    std::size_t split = 0;
    for (const auto& [start, length] : lines) {
        for (const std::size_t fileStart : fileStarts) {
            if (fileStart > start && fileStart < start + length) {
                ++split;
                EXPECT_GT(length, c.size) << "a line split at " << start;
            }
        }
    }
    if (c.longest + 1 > c.size) {
        EXPECT_GT(split, 0u) << "long lines were split";
    }
}

}  // namespace

TEST(LogRotation, StreamsOfKnownLines)
{
    const StreamCase kStreams[] = {
        {"short lines", 64, 3, true, 20},
        {"lines longer than the size among them", 32, 2, true, 80},
        {"no line ends at all", 50, 4, false, 30},
        {"a size of one byte", 1, 1, true, 3},
        {"keeping none", 40, 0, true, 30},
    };
    unsigned seed = 1;
    for (const auto& c : kStreams) {
        SCOPED_TRACE(c.name);
        checkStream(c, seed++);
    }
}
