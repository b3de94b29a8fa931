#pragma once

// The hand-off file: a temporary properties file, made once per run, into which
// the launcher writes what the Java side needs to know (the VM it chose, the
// environment, the Ctrl key at start). Its path is the second argument the Java
// program receives. It holds the whole environment (tokens, passwords), so only
// the user, the system and the administrators may open it, and the launcher
// deletes it once the VM has ended, also when the console window closes or the
// session ends (see SessionEndWatch).

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "base/handles.h"
#include "base/trace.h"
#include "base/wstring.h"

namespace qel {

// The end of the user's session (log-off, shutdown) or of the console window the
// launcher shares: the system then ends the launcher without running its
// destructors, and the hand-off file, which holds the whole environment, would
// stay in the temporary directory. A run that watches for that end
// (instance/session_end.h gives the watch) deletes the file first; a service,
// whose process hears of every user's log-off, and the service commands watch
// for nothing (every function empty).
struct SessionEndWatch {
    // From now on a console close, log-off or shutdown deletes this file.
    std::function<void(const WString&)> deleteAtEnd;
    // The file is deleted, or kept on purpose: the end deletes nothing.
    std::function<void()> forget;
    // Waits for the VM process to end, hearing of the session's end meanwhile.
    std::function<void(HANDLE)> waitForVm;
};

class HandoffFile {
public:
    // Where the unpredictable part of the file's name comes from.
    using RandomSource = std::function<std::uint64_t()>;

    // A new, empty file in the temporary directory, made by this call (a name
    // that is taken already is never opened: another is tried), open to the user,
    // the system and the administrators only, and left open for the lines. With a
    // trace that is written it is kept at the end. Throws TerminalError naming
    // the directory when it cannot be created there.
    // The watch deletes the file at the end of the console or of the session,
    // unless it is kept for the trace.
    static HandoffFile create(Trace& trace, const SessionEndWatch& sessionEnd);
    static HandoffFile create(Trace& trace, const SessionEndWatch& sessionEnd, const RandomSource& random);

    HandoffFile(HandoffFile&& other) noexcept
        : path_(std::move(other.path_)), trace_(other.trace_), file_(std::move(other.file_)),
          forgetAtEnd_(std::move(other.forgetAtEnd_))
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
    HandoffFile(WString path, Trace& trace, UniqueFile file, std::function<void()> forgetAtEnd)
        : path_(std::move(path)), trace_(&trace), file_(std::move(file)), forgetAtEnd_(std::move(forgetAtEnd))
    {}
    WString path_;
    Trace* trace_;
    UniqueFile file_;
    // Once the file is gone, the end of the session has nothing to delete.
    std::function<void()> forgetAtEnd_;
};

}  // namespace qel
