#pragma once

// The hand-off file: a temporary properties file, made once per process, into
// which the launcher writes what the Java side needs to know (the VM it chose,
// the environment, the Ctrl key at start). Its path is the second argument the
// Java program receives. It holds the whole environment (tokens, passwords), and
// the system runs out of names for such files after 65,535 of them, so the
// launcher deletes it once the VM has ended (see discardHandoffFile).

#include <vector>

#include "base/trace.h"
#include "base/wstring.h"

namespace qel {

class HandoffFile {
public:
    // A new, empty file in the temporary directory; with a trace that is
    // written it is kept at the end. Throws TerminalError naming the directory
    // when it cannot be created there.
    static HandoffFile create(Trace& trace);

    HandoffFile(HandoffFile&& other) noexcept : path_(std::move(other.path_)), trace_(other.trace_)
    {
        other.path_.clear();
    }
    HandoffFile& operator=(HandoffFile&&) = delete;
    HandoffFile(const HandoffFile&) = delete;
    HandoffFile& operator=(const HandoffFile&) = delete;

    // Once the VM has ended, or no VM will start: deletes the file. With a trace
    // it is kept for the user to read, and the trace says where it is.
    ~HandoffFile();

    // The file's full path, short names expanded.
    const WString& path() const { return path_; }

    // Appends the lines, each ended by CR LF, at the end of the file and closes it
    // again. Throws FileException "windows could not open the file specified"
    // when the file cannot be opened; a write that fails leaves the file as it
    // was and throws TerminalError naming the file.
    void append(const std::vector<WString>& lines);

private:
    HandoffFile(WString path, Trace& trace) : path_(std::move(path)), trace_(&trace) {}
    WString path_;
    Trace* trace_;
};

}  // namespace qel
