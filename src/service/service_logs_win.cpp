#include "service/service_logs_win.h"

#include <utility>

#include "base/errors.h"
#include "base/messages.h"
#include "base/message_ids.h"
#include "launch/launch_plan.h"
#include "launch/launch_process.h"

namespace qel {

namespace {

// Makes the directory and the missing directories above it; 0, or the Windows
// error of the first that could not be made.
DWORD makeDirectories(const WString& path)
{
    if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                   ? 0
                   : ERROR_DIRECTORY;
    }
    const DWORD error = GetLastError();
    const auto parentEnd = path.find_last_of(L"\\/");
    if (error != ERROR_PATH_NOT_FOUND || parentEnd == WString::npos || parentEnd == 0) {
        return error;
    }
    if (const DWORD parentError = makeDirectories(path.substr(0, parentEnd)); parentError != 0) {
        return parentError;
    }
    return CreateDirectoryW(path.c_str(), nullptr) ? 0 : GetLastError();
}

[[noreturn]] void failLogDirectory(const WString& directory, DWORD error)
{
    const LaunchRefusal refusal{MSG_VM_START_FAILED, error,
                                L"The service's log directory cannot be written: " + directory};
    throw TerminalError(refusalText(refusal, MessageTable::instance().text(MSG_VM_START_FAILED)),
                        MSG_VM_START_FAILED);
}

// The pipe that would carry a stream to its log cannot be made: a failure of
// the pipe, not of the directory.
[[noreturn]] void failLogPipe(const WString& logPath, DWORD error)
{
    const LaunchRefusal refusal{MSG_VM_START_FAILED, error,
                                L"The pipe that carries the VM's output to the service log cannot be made: " + logPath};
    throw TerminalError(refusalText(refusal, MessageTable::instance().text(MSG_VM_START_FAILED)),
                        MSG_VM_START_FAILED);
}

}  // namespace

ServiceLogs::ServiceLogs(const WString& directory, const WString& name, std::uint64_t maxSize, int keep, Warn warn)
    : directory_(fullWorkingDirectory(directory)), warn_(std::move(warn)), outputFiles_(directory_),
      errorFiles_(directory_), output_(outputFiles_, name + L".out", maxSize, keep),
      error_(errorFiles_, name + L".err", maxSize, keep)
{
    if (const DWORD error = makeDirectories(directory_); error != 0) {
        failLogDirectory(directory_, error);
    }
    for (Stream* stream : {&output_, &error_}) {
        stream->owner = this;
        stream->fileName = logFileName(stream == &output_ ? name + L".out" : name + L".err", 0);
        // Opened (made) as the rotation will append to it.
        DirectoryLogFiles& files = stream == &output_ ? outputFiles_ : errorFiles_;
        if (!files.append(stream->fileName, {})) {
            failLogDirectory(directory_, GetLastError());
        }
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        HANDLE read = nullptr;
        HANDLE write = nullptr;
        if (!CreatePipe(&read, &write, &inheritable, 0)) {
            failLogPipe(files.pathOf(stream->fileName), GetLastError());
        }
        stream->readEnd.reset(read);
        stream->vmEnd.reset(write);
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    }
}

ServiceLogs::~ServiceLogs()
{
    finish(0);
}

void ServiceLogs::vmStarted()
{
    for (Stream* stream : {&output_, &error_}) {
        stream->vmEnd.reset();
        stream->thread.reset(CreateThread(nullptr, 0, pump, stream, 0, nullptr));
        if (!stream->thread) {
            // Without a reader the VM would block on a full pipe: its output is
            // given up instead, and the administrator told.
            const DWORD error = GetLastError();
            stream->readEnd.reset();
            warn_(L"the service log " + outputFiles_.pathOf(stream->fileName) +
                  L" is not written: no thread can read it (error " + std::to_wstring(error) + L")");
        }
    }
}

void ServiceLogs::vmNotStarted()
{
    for (Stream* stream : {&output_, &error_}) {
        stream->vmEnd.reset();
    }
}

DWORD WINAPI ServiceLogs::pump(void* parameter)
{
    Stream& stream = *static_cast<Stream*>(parameter);
    char buffer[16384];
    DWORD read = 0;
    // Ends when every write end is closed (ERROR_BROKEN_PIPE) or the read fails.
    while (ReadFile(stream.readEnd.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        stream.owner->write(stream, std::string_view(buffer, read));
    }
    stream.owner->finishStream(stream);
    return 0;
}

void ServiceLogs::write(Stream& stream, std::string_view bytes)
{
    const std::lock_guard<std::mutex> guard(stream.lock);
    stream.rotation.write(bytes);
    if (stream.rotation.failed() && !stream.warned) {
        stream.warned = true;
        warn_(L"the service log " + outputFiles_.pathOf(stream.fileName) +
              L" cannot be written in full: what it cannot take is lost");
    }
}

void ServiceLogs::finishStream(Stream& stream)
{
    const std::lock_guard<std::mutex> guard(stream.lock);
    if (!stream.finished) {
        stream.finished = true;
        stream.rotation.finish();
    }
}

void ServiceLogs::finish(std::uint32_t waitMs)
{
    HANDLE threads[2];
    DWORD count = 0;
    for (Stream* stream : {&output_, &error_}) {
        if (stream->thread) {
            threads[count++] = stream->thread.get();
        }
    }
    if (count > 0) {
        WaitForMultipleObjects(count, threads, TRUE, waitMs);
    }
    // A stream still open (a process the VM started holds it) keeps its reader:
    // what it writes later still goes on; what is held of a line goes now.
    for (Stream* stream : {&output_, &error_}) {
        finishStream(*stream);
    }
}

}  // namespace qel
