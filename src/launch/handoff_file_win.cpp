// The hand-off file: created in the temporary directory on first use, open to
// its user only, written line by line, deleted once the VM has ended.

#include <windows.h>

#include <sddl.h>

#include <random>
#include <string>

#include "base/errors.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/processes.h"
#include "base/system_text.h"
#include "base/text.h"
#include "base/trace.h"
#include "launch/handoff_file.h"
#include "launch/handoff_text.h"

namespace qel {

namespace {

// GetTempPathW is asked for at most this many units, so that the file's name
// still fits a 260-unit path.
constexpr DWORD kTempPathUnits = static_cast<DWORD>(kHandoffDirectoryUnits);

// Names that are taken already are passed over this many times before the
// directory counts as unusable.
constexpr int kNameTries = 16;

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

std::uint64_t systemRandom()
{
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

HandoffFile::~HandoffFile()
{
    if (path_.empty()) {
        return;  // moved away
    }
    file_.reset();
    if (trace_->enabled()) {
        trace_->line(L"hand-off file kept: " + path_ +
                     L" (it holds the whole environment, passwords and tokens too: delete it once read)");
        return;
    }
    DeleteFileW(path_.c_str());  // a file that is gone already is no failure
    if (forgetAtEnd_) {
        forgetAtEnd_();
    }
}

HandoffFile HandoffFile::create(Trace& trace, const SessionEndWatch& sessionEnd)
{
    return create(trace, sessionEnd, systemRandom);
}

HandoffFile HandoffFile::create(Trace& trace, const SessionEndWatch& sessionEnd, const RandomSource& random)
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
    // Only the user, the system and the administrators: the temporary directory
    // may let every local user read what is made in it (C:\Temp).
    const WString user = processUserSid();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(ownerOnlyDescriptor(user).c_str(),
                                                                              SDDL_REVISION_1, &descriptor, nullptr)) {
        throwTempDirectoryError(directory, GetLastError());
    }
    const UniqueLocal ownedDescriptor(descriptor);
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    DWORD error = ERROR_FILE_EXISTS;
    for (int tries = 0; tries < kNameTries && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS); ++tries) {
        const WString path = WString(directory) + handoffFileName(random());
        // A new file or none: whatever stands at that path already is left alone.
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            const WString full = normalizePath(path);
            if (sessionEnd.deleteAtEnd && !trace.enabled()) {
                sessionEnd.deleteAtEnd(full);
                return HandoffFile(full, trace, std::move(file), sessionEnd.forget);
            }
            return HandoffFile(full, trace, std::move(file), nullptr);
        }
        error = GetLastError();
    }
    throwTempDirectoryError(directory, error);
}

void HandoffFile::append(const std::vector<WString>& lines)
{
    if (!file_) {
        throw TerminalError(L"The hand-off file \"" + path_ + L"\" cannot be written: it is complete already");
    }
    LARGE_INTEGER end{};
    LARGE_INTEGER zero{};
    SetFilePointerEx(file_.get(), zero, &end, FILE_END);
    const std::string bytes = handoffBytes(lines);
    DWORD written = 0;
    if (!WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        const DWORD error = GetLastError();
        // No half-written lines: the file goes back to what it held.
        SetFilePointerEx(file_.get(), end, nullptr, FILE_BEGIN);
        SetEndOfFile(file_.get());
        throw TerminalError(L"The hand-off file \"" + path_ + L"\" cannot be written: " +
                            WString(withoutLineEnd(systemErrorText(error))));
    }
}

}  // namespace qel
