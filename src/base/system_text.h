#pragma once

// One helper for the Windows functions that fill a caller's buffer with a text
// and say when it was too small.

#include <windows.h>

#include <optional>

#include "base/wstring.h"

namespace qel {

// Calls fill(buffer, capacity) with a buffer that grows until the text fits.
// fill returns what most of these functions return: the length of the text
// without its terminator when it fit (less than capacity), a number of at least
// capacity when it did not (the size needed, or capacity itself for a function
// that cuts the text), and 0 on failure. None on failure.
template <typename Fill> std::optional<WString> readGrowingText(Fill fill, DWORD initialUnits = MAX_PATH)
{
    WString buffer(initialUnits, L'\0');
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(buffer.size());
        const DWORD result = fill(buffer.data(), capacity);
        if (result == 0) {
            return std::nullopt;
        }
        if (result < capacity) {
            buffer.resize(result);
            return buffer;
        }
        // A function that cuts the text returns capacity itself: double it.
        buffer.assign(result > capacity ? result : capacity * 2, L'\0');
    }
}

// Calls fill(buffer, capacity) once with a buffer of 260 units, the longest
// path the launcher's classic paths may take; none when fill fails or the text
// does not fit (fill returns as for readGrowingText).
template <typename Fill> std::optional<WString> readPathText(Fill fill)
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = fill(buffer, static_cast<DWORD>(MAX_PATH));
    if (length == 0 || length >= MAX_PATH) {
        return std::nullopt;
    }
    return WString(buffer, length);
}

// The full path of the running executable (GetModuleFileNameW cuts the path to
// the buffer and returns the buffer's size, so the buffer grows until it fits).
WString runningModulePath();

}  // namespace qel
