#pragma once

// The service's logs of the VM's standard output and error: the VM writes into
// two pipes, and a thread for each reads them and writes what comes through a
// LogRotation into NAME.out.log and NAME.err.log of the log directory.

#include <windows.h>

#include <cstdint>
#include <functional>

#include "base/handles.h"
#include "base/wstring.h"
#include "service/log_rotation.h"
#include "service/log_rotation_win.h"

namespace qel {

class ServiceLogs {
public:
    // Tells the administrator of a log that can no longer be written (once for
    // each stream).
    using Warn = std::function<void(const WString&)>;

    // Makes the directory (and its missing parents) when there is none, opens
    // both logs for appending and makes the pipes. A directory where the logs
    // cannot be written, or a pipe that cannot be made, throws TerminalError
    // with message 103 naming it.
    ServiceLogs(const WString& directory, const WString& name, std::uint64_t maxSize, int keep, Warn warn);
    // Ends the readers as finish(0) does.
    ~ServiceLogs();

    ServiceLogs(const ServiceLogs&) = delete;
    ServiceLogs& operator=(const ServiceLogs&) = delete;

    // The write ends the VM gets as its standard output and error (inheritable).
    HANDLE outputForVm() const { return output_.vmEnd.get(); }
    HANDLE errorForVm() const { return error_.vmEnd.get(); }

    // Once the VM runs (or will not): closes the launcher's copies of the write
    // ends, so that a stream ends when the VM and what inherited it from the VM
    // have closed theirs, and starts the readers (only when the VM started).
    void vmStarted();
    void vmNotStarted();

    // After the VM has ended: waits up to waitMs for both streams to end (a
    // process the VM started may hold them open); a stream still open then is
    // read only as far as it holds bytes at that moment, which include all the
    // VM wrote. Returns once the readers have written everything they read,
    // and the last line without its end, into the files, and have ended.
    void finish(std::uint32_t waitMs);

    // The directory as the logs are written to it.
    const WString& directory() const { return directory_; }

private:
    struct Stream {
        Stream(LogFiles& files, WString base, std::uint64_t maxSize, int keep)
            : rotation(files, std::move(base), maxSize, keep)
        {}
        // Only the stream's reader uses the rotation once it runs.
        LogRotation rotation;
        UniqueHandle readEnd;
        UniqueHandle vmEnd;
        // Signalled when a read of the reader completes.
        UniqueHandle readDone;
        UniqueHandle thread;
        bool warned = false;
        ServiceLogs* owner = nullptr;
        WString fileName;
    };

    static DWORD WINAPI pump(void* stream);
    void read(Stream& stream);
    void write(Stream& stream, std::string_view bytes);
    void warnIfFailed(Stream& stream);

    WString directory_;
    Warn warn_;
    // Signalled when the readers are to stop waiting for more.
    UniqueHandle stop_;
    DirectoryLogFiles outputFiles_;
    DirectoryLogFiles errorFiles_;
    Stream output_;
    Stream error_;
};

}  // namespace qel
