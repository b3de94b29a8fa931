#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "service/log_rotation.h"

using namespace qel;

namespace {

// A log directory in memory. Files dropped by the rotation are kept, in the
// order they were deleted, so that a test can see every byte ever written; the
// file operations are counted.
class MemoryFiles : public LogFiles {
public:
    std::map<WString, std::string> files;
    std::vector<std::string> dropped;
    std::set<WString> locked;  // files that cannot be renamed or deleted
    std::size_t operations = 0;  // renames and deletions

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
        ++operations;
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
        ++operations;
        const auto file = files.find(name);
        if (file == files.end() || locked.count(name) != 0) {
            return false;
        }
        dropped.push_back(std::move(file->second));
        files.erase(file);
        return true;
    }
    std::vector<WString> namesStartingWith(const WString& prefix) override
    {
        std::vector<WString> names;
        for (const auto& file : files) {
            if (toLowerAscii(file.first).rfind(toLowerAscii(prefix), 0) == 0) {
                names.push_back(file.first);
            }
        }
        return names;
    }

    // The files of the log "x" by number, the current one as 0.
    std::map<std::uint64_t, std::string> generations() const
    {
        std::map<std::uint64_t, std::string> result;
        for (const auto& file : files) {
            if (file.first == L"x.log") {
                result[0] = file.second;
            } else if (const auto number = olderLogNumber(L"x", file.first)) {
                result[*number] = file.second;
            }
        }
        return result;
    }

    // The files of the log "x", the oldest first: the older ones by their
    // numbers, then the current one.
    std::vector<std::string> inOrder() const
    {
        std::vector<std::string> result;
        const auto kept = generations();
        for (const auto& file : kept) {
            if (file.first != 0) {
                result.push_back(file.second);
            }
        }
        if (kept.count(0) != 0) {
            result.push_back(kept.at(0));
        }
        return result;
    }

    // Every byte written, oldest first: the dropped files, then the kept ones.
    std::string everything() const
    {
        std::string all;
        for (const auto& file : dropped) {
            all += file;
        }
        for (const auto& file : inOrder()) {
            all += file;
        }
        return all;
    }

    void put(const std::map<std::uint64_t, std::string>& generations)
    {
        for (const auto& [number, bytes] : generations) {
            files[logFileName(L"x", number)] = bytes;
        }
    }
};

}  // namespace

TEST(LogRotation, FileNames)
{
    EXPECT_EQ(logFileName(L"Hello.out", 0), L"Hello.out.log");
    EXPECT_EQ(logFileName(L"Hello.out", 1), L"Hello.out.1.log");
    EXPECT_EQ(logFileName(L"Hello.err", 12), L"Hello.err.12.log");
    EXPECT_EQ(logFileName(L"Hello.err", 18446744073709551615u), L"Hello.err.18446744073709551615.log");
}

// Which names are older files of the log "Shop.out", and their numbers.
TEST(LogRotation, OlderFileNumbers)
{
    const struct {
        const wchar_t* name;
        std::optional<std::uint64_t> number;
    } kNames[] = {
        {L"Shop.out.1.log", 1},
        {L"Shop.out.1000.log", 1000},
        {L"SHOP.OUT.7.LOG", 7},  // Windows matches names in any case
        {L"Shop.out.18446744073709551615.log", 18446744073709551615u},
        {L"Shop.out.18446744073709551616.log", std::nullopt},  // beyond 64 bits
        {L"Shop.out.log", std::nullopt},  // the current file
        {L"Shop.out.0.log", std::nullopt},
        {L"Shop.out.01.log", std::nullopt},
        {L"Shop.out..log", std::nullopt},
        {L"Shop.out.1a.log", std::nullopt},
        {L"Shop.out.-1.log", std::nullopt},
        {L"Shop.out.1.txt", std::nullopt},
        {L"Shop.out.1.log.bak", std::nullopt},
        {L"Shop.err.1.log", std::nullopt},
        {L"Shop.outer.1.log", std::nullopt},
        {L"Shop.out.1", std::nullopt},
    };
    for (const auto& row : kNames) {
        EXPECT_EQ(olderLogNumber(L"Shop.out", row.name), row.number) << toUtf8(row.name);
    }
}

// Where the bytes go, chunk by chunk: the files of the log afterwards, the
// current one as number 0.
TEST(LogRotation, Cases)
{
    const struct {
        const char* name;
        std::uint64_t size;
        int keep;
        std::map<std::uint64_t, std::string> before;  // the files at the start
        std::vector<std::string> chunks;
        bool finish;
        std::map<std::uint64_t, std::string> files;
    } kCases[] = {
        {"lines that fill the file exactly stay in it", 10, 2, {}, {"aaaa\nbbbb\n"}, true, {{0, "aaaa\nbbbb\n"}}},
        {"the line that does not fit starts a new file", 10, 2, {}, {"aaaa\nbbbb\ncc\n"}, true,
         {{1, "aaaa\nbbbb\n"}, {0, "cc\n"}}},
        {"a line in pieces is placed whole", 6, 2, {}, {"aa", "aa\nbb", "bb\n"}, true, {{1, "aaaa\n"}, {0, "bbbb\n"}}},
        {"older files keep their names, the newest has the highest number", 2, 3, {}, {"a\nb\nc\n"}, true,
         {{1, "a\n"}, {2, "b\n"}, {0, "c\n"}}},
        {"the oldest file beyond the count kept is dropped", 2, 1, {}, {"a\nb\nc\n"}, true, {{2, "b\n"}, {0, "c\n"}}},
        {"keeping none drops the full file", 2, 0, {}, {"a\nb\n"}, true, {{0, "b\n"}}},
        {"an existing file counts toward the size", 6, 2, {{0, "12345"}}, {"ab\n"}, true,
         {{1, "12345"}, {0, "ab\n"}}},
        {"an existing file is appended to", 6, 2, {{0, "1\n"}}, {"ab\n"}, true, {{0, "1\nab\n"}}},
        {"the numbers go on after the highest older file", 2, 5, {{3, "c"}, {7, "g"}}, {"a\nb\n"}, true,
         {{3, "c"}, {7, "g"}, {8, "a\n"}, {0, "b\n"}}},
        {"a lowered count drops the oldest at the first rotation", 2, 2,
         {{1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {0, "c\n"}}, {"a\n"}, true, {{4, "4"}, {5, "c\n"}, {0, "a\n"}}},
        {"no rotation, nothing dropped", 10, 1, {{1, "1"}, {2, "2"}, {3, "3"}}, {"a\n"}, true,
         {{1, "1"}, {2, "2"}, {3, "3"}, {0, "a\n"}}},
        {"keeping none drops the older files too", 2, 0, {{4, "4"}, {9, "9"}}, {"a\nb\n"}, true, {{0, "b\n"}}},
        {"a line without its end waits for it", 10, 2, {}, {"ab\n", "cd"}, false, {{0, "ab\n"}}},
        {"the end of the stream writes the last line", 10, 2, {}, {"ab\n", "cd"}, true, {{0, "ab\ncd"}}},
        {"the last line too starts a new file when it does not fit", 4, 2, {}, {"ab\n", "cd"}, true,
         {{1, "ab\n"}, {0, "cd"}}},
        {"a longer line fills the files up to the size", 4, 2, {}, {"ab\nlongline\n"}, true,
         {{1, "ab\nl"}, {2, "ongl"}, {0, "ine\n"}}},
        {"a line longer than the size is written before its end", 3, 2, {}, {"abcd", "efg"}, false,
         {{1, "abc"}, {2, "def"}, {0, "g"}}},
        {"a line after a long one is placed whole", 3, 3, {}, {"abcd\nef\n"}, true,
         {{1, "abc"}, {2, "d\n"}, {0, "ef\n"}}},
        {"an empty line is a line", 2, 2, {}, {"a\n\n\n"}, true, {{1, "a\n"}, {0, "\n\n"}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        MemoryFiles files;
        files.put(c.before);
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

// A rotation renames the current file and deletes the oldest beyond the count:
// with 999 older files it costs what it costs with one.
TEST(LogRotation, ARotationCostsTheSameWhateverTheCountKept)
{
    for (const int keep : {1, 999}) {
        SCOPED_TRACE(keep);
        MemoryFiles files;
        for (std::uint64_t number = 1; number <= static_cast<std::uint64_t>(keep); ++number) {
            files.put({{number, "old\n"}});
        }
        LogRotation log(files, L"x", 2, keep);
        for (int line = 0; line < 100; ++line) {
            log.write("a\n");
        }
        EXPECT_FALSE(log.failed());
        // 99 rotations: one rename and one deletion each.
        EXPECT_EQ(files.operations, 2u * 99u);
        EXPECT_EQ(files.generations().size(), static_cast<std::size_t>(keep) + 1);
        EXPECT_EQ(files.generations().rbegin()->first, static_cast<std::uint64_t>(keep) + 99);
    }
}

// A current file that cannot be renamed (another program holds it) keeps the
// bytes, and the next try comes a size later, under the next number.
TEST(LogRotation, AFailedRotationLosesNothing)
{
    MemoryFiles files;
    files.put({{1, "old\n"}, {0, "cur\n"}});
    files.locked.insert(L"x.log");
    LogRotation log(files, L"x", 4, 2);
    log.write("a\nb\n");
    EXPECT_TRUE(log.failed());
    EXPECT_EQ(files.generations(), (std::map<std::uint64_t, std::string>{{1, "old\n"}, {0, "cur\na\nb\n"}}));

    files.locked.clear();
    log.write("c\n");
    EXPECT_EQ(files.generations(),
              (std::map<std::uint64_t, std::string>{{1, "old\n"}, {3, "cur\na\nb\n"}, {0, "c\n"}}));
    EXPECT_EQ(files.everything(), "old\ncur\na\nb\nc\n");
}

// A file that took the next name after the start is not replaced: the current
// file keeps the bytes and the next rotation takes the number after it.
TEST(LogRotation, AFileOfTheNextNameIsNotReplaced)
{
    MemoryFiles files;
    files.put({{1, "one\n"}});
    LogRotation log(files, L"x", 2, 3);
    files.put({{2, "two\n"}});
    log.write("a\nb\n");
    EXPECT_TRUE(log.failed());
    EXPECT_EQ(files.generations(),
              (std::map<std::uint64_t, std::string>{{1, "one\n"}, {2, "two\n"}, {0, "a\nb\n"}}));
    log.write("c\n");
    EXPECT_EQ(files.generations(),
              (std::map<std::uint64_t, std::string>{{1, "one\n"}, {2, "two\n"}, {3, "a\nb\n"}, {0, "c\n"}}));
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
    for (const auto& file : files.inOrder()) {
        fileStarts.push_back(position);
        position += file.size();
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
