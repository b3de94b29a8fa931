#pragma once

// The service's logs of the VM's standard output and error: the bytes of one
// stream as they arrive, written to NAME.log in a directory and, when that file
// reaches its size, rotated: NAME.N.log becomes NAME.N+1.log from the oldest
// down (the one beyond the count kept is deleted), NAME.log becomes NAME.1.log,
// and a new NAME.log starts. No byte is lost at a rotation or at the end of the
// stream, and a line (its bytes up to and with the line feed) lies in one file
// unless it is longer than the size.

#include <cstdint>
#include <string>
#include <string_view>

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
};

// The name of a log's file: generation 0 is the current one, BASE.log; the
// older ones are BASE.1.log (the newest), BASE.2.log, and so on.
WString logFileName(std::wstring_view base, int generation);

class LogRotation {
public:
    // Appends to BASE.log as it is (a service started again goes on with its
    // file), rotates it when the next line would take it over maxSize bytes
    // (at least 1) and keeps `keep` older files (0: the full file is deleted).
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
    int keep_;
    std::uint64_t used_;
    std::string pending_;
    bool inLongLine_ = false;
    bool failed_ = false;
};

}  // namespace qel
