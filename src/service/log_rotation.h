#pragma once

// The service's logs of the VM's standard output and error: the bytes of one
// stream as they arrive, written to BASE.log in a directory and, when that file
// reaches its size, rotated: BASE.log becomes BASE.N.log, where N is one more
// than the highest number of the older files (so the numbers grow with the
// files' age going down: the highest is the newest), the oldest beyond the
// count kept is deleted, and a new BASE.log starts. A rotation takes the same
// few file operations whatever the count kept. No byte is lost at a rotation
// or at the end of the stream, and a line (its bytes up to and with the line
// feed) lies in one file unless it is longer than the size.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

// The files of a log's directory, by name, as the rotation uses them.
class LogFiles {
public:
    virtual ~LogFiles() = default;
    // The size of the file in bytes; 0 when there is none.
    virtual std::uint64_t size(const WString& name) = 0;
    // Appends the bytes at the end of the file, made when there is none; false
    // when not all of them were written.
    virtual bool append(const WString& name, std::string_view bytes) = 0;
    // Gives the file the new name; never replaces a file of that name. False
    // when the file was not renamed (among others: there is none).
    virtual bool rename(const WString& from, const WString& to) = 0;
    // Deletes the file; false when none was deleted.
    virtual bool remove(const WString& name) = 0;
    // The names of the directory's files that begin with the prefix, in any
    // case (as Windows matches names).
    virtual std::vector<WString> namesStartingWith(const WString& prefix) = 0;
};

// The name of a log's file: number 0 is the current one, BASE.log; an older one
// is BASE.N.log.
WString logFileName(std::wstring_view base, std::uint64_t number);

// The number of an older file of the log BASE from its name in any case; none
// for any other name (the current file's, a number with a leading zero or
// beyond 64 bits).
std::optional<std::uint64_t> olderLogNumber(std::wstring_view base, std::wstring_view name);

class LogRotation {
public:
    // Appends to BASE.log as it is (a service started again goes on with its
    // file), rotates it when the next line would take it over maxSize bytes
    // (at least 1) and keeps `keep` older files (0: the full file is deleted).
    // The older files already there are found once, here; the first rotation
    // deletes those beyond the count kept.
    LogRotation(LogFiles& files, WString base, std::uint64_t maxSize, int keep);

    // The next bytes of the stream. A line's start is held until its end comes
    // or it is known to be longer than the size.
    void write(std::string_view bytes);

    // The stream ended: writes a last line without a line feed.
    void finish();

    // Whether a write or a rotation failed. When a rotation fails, the bytes go
    // on into the current file and the next try comes after another maxSize
    // bytes; nothing is lost that the files take.
    bool failed() const { return failed_; }

private:
    void writeLine(std::string_view line);
    void writeSplit(std::string_view bytes);
    void append(std::string_view bytes);
    void rotate();

    LogFiles& files_;
    WString base_;
    std::uint64_t maxSize_;
    std::size_t keep_;
    std::uint64_t used_;
    // The numbers of the older files, the oldest first, and the next file's.
    std::deque<std::uint64_t> older_;
    std::uint64_t next_ = 1;
    std::string pending_;
    bool inLongLine_ = false;
    bool failed_ = false;
};

}  // namespace qel
