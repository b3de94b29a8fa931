#pragma once

// Starting a test's program. Wine now and then fails a start with
// ERROR_INTERNAL_ERROR (1359), about once in several hundred starts on a busy
// machine; such a start is tried again, up to three times in all.

#include <windows.h>

#include "base/wstring.h"

namespace qel::test {

// CreateProcessW with the command line copied (the call may write into it).
// Returns 0, or the error of the last attempt; retries counts the starts tried
// again.
inline DWORD startProcess(const wchar_t* application, const WString& commandLine, BOOL inheritHandles, DWORD flags,
                          void* environment, const wchar_t* directory, STARTUPINFOW& startup, PROCESS_INFORMATION& info,
                          int* retries = nullptr)
{
    for (int attempt = 1;; ++attempt) {
        WString line = commandLine;
        if (CreateProcessW(application, line.data(), nullptr, nullptr, inheritHandles, flags, environment, directory,
                           &startup, &info)) {
            return 0;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
            return error;
        }
        if (retries != nullptr) {
            ++*retries;
        }
    }
}

}  // namespace qel::test
