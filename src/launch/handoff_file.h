#pragma once

// The hand-off file: a temporary properties file, made once per run, into which
// the launcher writes what the Java side needs to know (the VM it chose, the
// environment, the Ctrl key at start). Its path is the second argument the Java
// program receives. It holds the whole environment (tokens, passwords), so only
// the user, the system and the administrators may open it, and the launcher
// deletes it once the VM has ended, also when the console window closes or the
// session ends (see session_end.h).

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "base/handles.h"
#include "base/trace.h"
#include "base/wstring.h"

namespace qel {

class HandoffFile {
public:
    // Whether the end of the console or of the session deletes the file: not for
    // a service, whose process hears of every user's log-off.
    enum class AtSessionEnd { Delete, Leave };
    // Where the unpredictable part of the file's name comes from.
    using RandomSource = std::function<std::uint64_t()>;

    // A new, empty file in the temporary directory, made by this call (a name
    // that is taken already is never opened: another is tried), open to the user,
    // the system and the administrators only, and left open for the lines. With a
    // trace that is written it is kept at the end. Throws TerminalError naming
    // the directory when it cannot be created there.
    static HandoffFile create(Trace& trace, AtSessionEnd atSessionEnd);
    static HandoffFile create(Trace& trace, AtSessionEnd atSessionEnd, const RandomSource& random);

    HandoffFile(HandoffFile&& other) noexcept
        : path_(std::move(other.path_)), trace_(other.trace_), file_(std::move(other.file_))
    {
        other.path_.clear();
    }
    HandoffFile& operator=(HandoffFile&&) = delete;
    HandoffFile(const HandoffFile&) = delete;
    HandoffFile& operator=(const HandoffFile&) = delete;

    // Once the VM has ended, or no VM will start: deletes the file. With a trace
    // it is kept for the user to read, and the trace says where it is and that it
    // holds the environment.
    ~HandoffFile();

    // The file's full path, short names expanded.
    const WString& path() const { return path_; }

    // Appends the lines, each ended by CR LF, through the handle the file was
    // made with. A write that fails leaves the file as it was and throws
    // TerminalError naming the file; so does an append after close().
    void append(const std::vector<WString>& lines);

    // The lines are complete: the file is closed, so that the VM can open it.
    void close() { file_.reset(); }

private:
    HandoffFile(WString path, Trace& trace, UniqueFile file)
        : path_(std::move(path)), trace_(&trace), file_(std::move(file))
    {}
    WString path_;
    Trace* trace_;
    UniqueFile file_;
};

}  // namespace qel
