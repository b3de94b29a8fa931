#include "service/service_logs_win.h"

#include <utility>

#include "base/errors.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/message_ids.h"
#include "launch/launch_plan.h"
#include "launch/launch_process.h"

namespace qel {

namespace {

[[noreturn]] void failLogs(const WString& detail, DWORD error)
{
    const LaunchRefusal refusal{MSG_VM_START_FAILED, error, detail};
    throw TerminalError(refusalText(refusal, MessageTable::instance().text(MSG_VM_START_FAILED)),
                        MSG_VM_START_FAILED);
}

[[noreturn]] void failLogDirectory(const WString& directory, DWORD error)
{
    failLogs(L"The service's log directory cannot be written: " + directory, error);
}

// The pipe's buffer: the VM's writes go on while the reader rotates a file.
constexpr DWORD kPipeBufferBytes = 65536;

// A pipe whose read end is read with overlapped I/O, so that a reader waiting
// for bytes can be told to stop; the write end (inheritable) is what the VM
// gets. The pipe has one instance, which the launcher connects to at once.
// False with the reason in GetLastError.
bool makeLogPipe(UniqueHandle& readEnd, UniqueHandle& writeEnd)
{
    static LONG made = 0;
    const WString name = L"\\\\.\\pipe\\ravelin-log-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                         std::to_wstring(InterlockedIncrement(&made)) + L"-" + std::to_wstring(GetTickCount64());
    const HANDLE read = CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, kPipeBufferBytes, 0, nullptr);
    if (read == INVALID_HANDLE_VALUE) {
        return false;
    }
    readEnd.reset(read);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE write = CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, &inheritable,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (write == INVALID_HANDLE_VALUE) {
        return false;
    }
    writeEnd.reset(write);
    return true;
}

}  // namespace

ServiceLogs::ServiceLogs(const WString& directory, const WString& name, std::uint64_t maxSize, int keep, Warn warn)
    : directory_(fullWorkingDirectory(directory)), warn_(std::move(warn)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), outputFiles_(directory_), errorFiles_(directory_),
      output_(outputFiles_, name + L".out", maxSize, keep), error_(errorFiles_, name + L".err", maxSize, keep)
{
    if (const DWORD error = createDirectories(directory_); error != 0) {
        failLogDirectory(directory_, error);
    }
    if (!stop_) {
        failLogs(L"The service's logs cannot be read: no event can be made.", GetLastError());
    }
    for (Stream* stream : {&output_, &error_}) {
        stream->owner = this;
        stream->fileName = logFileName(stream == &output_ ? name + L".out" : name + L".err", 0);
        // Opened (made) as the rotation will append to it.
        DirectoryLogFiles& files = stream == &output_ ? outputFiles_ : errorFiles_;
        if (!files.append(stream->fileName, {})) {
            failLogDirectory(directory_, GetLastError());
        }
        stream->readDone.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!stream->readDone || !makeLogPipe(stream->readEnd, stream->vmEnd)) {
            failLogs(L"The pipe for the service log " + files.pathOf(stream->fileName) + L" cannot be made.",
                     GetLastError());
        }
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
    stream.owner->read(stream);
    stream.rotation.finish();
    stream.owner->warnIfFailed(stream);
    return 0;
}

// Reads until every write end is closed or the read fails; once stop_ is
// signalled, only as far as the pipe holds bytes at that moment (all of them
// when no write end is left). A read that would wait is then given up.
void ServiceLogs::read(Stream& stream)
{
    constexpr std::uint64_t kUntilTheEnd = ~std::uint64_t{0};
    const HANDLE pipe = stream.readEnd.get();
    char buffer[16384];
    bool stopping = false;
    std::uint64_t left = kUntilTheEnd;
    for (;;) {
        if (!stopping && WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0) {
            stopping = true;
            DWORD available = 0;
            if (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
                left = available;
            }
        }
        if (left == 0) {
            return;
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = stream.readDone.get();
        ResetEvent(overlapped.hEvent);
        const DWORD wanted = left < sizeof buffer ? static_cast<DWORD>(left) : static_cast<DWORD>(sizeof buffer);
        if (!ReadFile(pipe, buffer, wanted, nullptr, &overlapped)) {
            // ERROR_BROKEN_PIPE: every write end is closed and the pipe is empty.
            if (GetLastError() != ERROR_IO_PENDING) {
                return;
            }
            if (stopping) {
                CancelIoEx(pipe, &overlapped);
            } else {
                const HANDLE events[] = {overlapped.hEvent, stop_.get()};
                if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
                    CancelIoEx(pipe, &overlapped);
                }
            }
        }
        // A read given up may still have completed with bytes: they are written.
        DWORD read = 0;
        if (!GetOverlappedResult(pipe, &overlapped, &read, TRUE)) {
            if (GetLastError() == ERROR_OPERATION_ABORTED && !stopping) {
                continue;
            }
            return;
        }
        write(stream, std::string_view(buffer, read));
        if (left != kUntilTheEnd) {
            left -= read < left ? read : left;
        }
    }
}

void ServiceLogs::write(Stream& stream, std::string_view bytes)
{
    stream.rotation.write(bytes);
    warnIfFailed(stream);
}

void ServiceLogs::warnIfFailed(Stream& stream)
{
    if (stream.rotation.failed() && !stream.warned) {
        stream.warned = true;
        warn_(L"the service log " + outputFiles_.pathOf(stream.fileName) +
              L" cannot be written in full: what it cannot take is lost");
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
        SetEvent(stop_.get());
        // Writing is never cut off: what was read goes into the files.
        WaitForMultipleObjects(count, threads, TRUE, INFINITE);
    }
    for (Stream* stream : {&output_, &error_}) {
        stream->thread.reset();
    }
}

}  // namespace qel
