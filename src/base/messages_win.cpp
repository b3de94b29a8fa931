#include "base/messages.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "base/errors.h"
#include "base/text.h"

namespace qel {

MessageTable& MessageTable::instance()
{
    static MessageTable* table = new MessageTable();  // never destroyed
    return *table;
}

WString MessageTable::text(int id)
{
    auto found = texts_.find(id);
    if (found == texts_.end()) {
        wchar_t buffer[kMessageBufferUnits];
        const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id), buffer, kMessageBufferUnits);
        if (length == 0) {
            throw StringTableException(L"invalid key");
        }
        found = texts_.emplace(id, WString(buffer, static_cast<std::size_t>(length))).first;
    }
    return found->second;
}

WString systemErrorText(unsigned long code)
{
    wchar_t buffer[kSystemTextUnits];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, kSystemTextUnits, nullptr);
    return WString(buffer, length);
}

WString lastErrorText()
{
    return systemErrorText(GetLastError());
}

void showErrorBox(const WString& text, const WString& caption)
{
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

bool askInErrorBox(const WString& text, const WString& caption)
{
    return MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONERROR) == IDYES;
}

void writeErrorText(const WString& text)
{
    writeStandardText(StandardStream::Error, text);
}

void writeStandardText(StandardStream stream, const WString& text)
{
    // What the C runtime holds for the stream comes first.
    std::fflush(stream == StandardStream::Error ? stderr : stdout);
    const HANDLE handle = GetStdHandle(stream == StandardStream::Error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) {
        return;
    }
    DWORD written = 0;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = toUtf8(text);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace qel
