#pragma once

// The service's logs of the VM's standard output and error: the VM writes into
// two pipes, and a thread for each reads them and writes what comes through a
// LogRotation into NAME.out.log and NAME.err.log of the log directory.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>

#include "base/handles.h"
#include "base/wstring.h"
#include "service/log_files_win.h"
#include "service/log_rotation.h"

namespace qel {

class ServiceLogs {
public:
    // Tells the administrator of a log that can no longer be written (once for
    // each stream).
    using Warn = std::function<void(const WString&)>;

    // Makes the directory (and its missing parents) when there is none, opens
    // both logs for appending and makes the pipes. A directory where the logs
    // cannot be written throws TerminalError with message 103 naming it.
    ServiceLogs(const WString& directory, const WString& name, std::uint64_t maxSize, int keep, Warn warn);
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

    // After the VM has ended: waits until both streams ended, at most waitMs
    // (a process the VM started may hold them open), and writes what is held
    // of a last line without its line end.
    void finish(std::uint32_t waitMs);

    // The directory as the logs are written to it.
    const WString& directory() const { return directory_; }

private:
    struct Stream {
        Stream(LogFiles& files, WString base, std::uint64_t maxSize, int keep)
            : rotation(files, std::move(base), maxSize, keep)
        {}
        LogRotation rotation;
        UniqueHandle readEnd;
        UniqueHandle vmEnd;
        UniqueHandle thread;
        std::mutex lock;
        bool finished = false;
        bool warned = false;
        ServiceLogs* owner = nullptr;
        WString fileName;
    };

    static DWORD WINAPI pump(void* stream);
    void write(Stream& stream, std::string_view bytes);
    void finishStream(Stream& stream);

    WString directory_;
    Warn warn_;
    DirectoryLogFiles outputFiles_;
    DirectoryLogFiles errorFiles_;
    Stream output_;
    Stream error_;
};

}  // namespace qel
