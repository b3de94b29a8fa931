#include <windows.h>

#include <memory>

#include "base/handles.h"
#include "base/system_text.h"
#include "base/trace.h"

namespace qel {

void startTraceFromEnvironment(Trace& trace)
{
    const auto path = readGrowingText(
        [](wchar_t* buffer, DWORD capacity) { return GetEnvironmentVariableW(L"QEL_TRACE", buffer, capacity); });
    if (!path || path->empty()) {
        return;
    }
    // A line may come from another thread of the run (the single-instance
    // relay's): one line is written at a time.
    struct TraceFile {
        UniqueFile file;
        SRWLOCK lock = SRWLOCK_INIT;
    };
    auto file = std::make_shared<TraceFile>();
    file->file = UniqueFile(CreateFileW(path->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file->file) {
        return;  // the launch goes on without a trace
    }
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    trace.start(
        [file](const std::string& utf8) {
            DWORD written = 0;
            AcquireSRWLockExclusive(&file->lock);
            WriteFile(file->file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
            ReleaseSRWLockExclusive(&file->lock);
        },
        [frequency] {
            LARGE_INTEGER counter{};
            QueryPerformanceCounter(&counter);
            return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
        });
}

}  // namespace qel
