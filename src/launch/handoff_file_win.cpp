// The hand-off file: created in the temporary directory on first use, written
// line by line, deleted once the VM has ended.

#include <windows.h>

#include <string>

#include "base/errors.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/system_text.h"
#include "base/text.h"
#include "base/trace.h"
#include "launch/handoff_file.h"
#include "launch/handoff_text.h"

namespace qel {

namespace {

// GetTempPathW is asked for at most this many units, so that the file name the
// system adds still fits a 260-unit path.
constexpr DWORD kTempPathUnits = 246;

[[noreturn]] void throwTempDirectoryError(const WString& directory, DWORD error)
{
    throw TerminalError(L"The hand-off file for the Java program cannot be created in the temporary directory \"" +
                        directory + L"\": " + WString(withoutLineEnd(systemErrorText(error))));
}

// The directory the temporary folder's variables name, TMP before TEMP, as the
// system reads them; empty when neither is set.
WString temporaryDirectoryVariable()
{
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
        const auto value = readGrowingText(
            [name](wchar_t* buffer, DWORD capacity) { return GetEnvironmentVariableW(name, buffer, capacity); });
        if (value && !value->empty()) {
            return *value;
        }
    }
    return WString();
}

}  // namespace

HandoffFile::~HandoffFile()
{
    if (path_.empty()) {
        return;  // moved away
    }
    if (trace_->enabled()) {
        trace_->line(L"hand-off file kept: " + path_);
        return;
    }
    DeleteFileW(path_.c_str());  // a file that is gone already is no failure
}

HandoffFile HandoffFile::create(Trace& trace)
{
    wchar_t directory[kTempPathUnits + 1] = {};
    const DWORD length = GetTempPathW(kTempPathUnits, directory);
    if (length == 0) {
        // The system takes no directory from TMP or TEMP (one longer than a path
        // may be, for example): its own reason, and the variable.
        const DWORD error = GetLastError();
        throwTempDirectoryError(temporaryDirectoryVariable(), error);
    }
    if (length > kTempPathUnits) {
        // The reason is the length; the last error belongs to some earlier call.
        const WString whole = readGrowingText([](wchar_t* buffer, DWORD capacity) {
                                  return GetTempPathW(capacity, buffer);
                              }).value_or(WString());
        throwTempDirectoryError(whole, ERROR_FILENAME_EXCED_RANGE);
    }
    wchar_t name[kPathBufferUnits] = {};
    // The system creates a new, empty file qel<hex>.tmp and gives its name.
    if (GetTempFileNameW(directory, L"qel", 0, name) == 0) {
        throwTempDirectoryError(directory, GetLastError());
    }
    return HandoffFile(normalizePath(name), trace);
}

void HandoffFile::append(const std::vector<WString>& lines)
{
    UniqueFile file(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!file) {
        throw FileException(L"windows could not open the file specified", path_);
    }
    LARGE_INTEGER end{};
    LARGE_INTEGER zero{};
    SetFilePointerEx(file.get(), zero, &end, FILE_END);
    const std::string bytes = handoffBytes(lines);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        const DWORD error = GetLastError();
        // No half-written lines: the file goes back to what it held.
        SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
        SetEndOfFile(file.get());
        throw TerminalError(L"The hand-off file \"" + path_ + L"\" cannot be written: " +
                            WString(withoutLineEnd(systemErrorText(error))));
    }
}

}  // namespace qel
