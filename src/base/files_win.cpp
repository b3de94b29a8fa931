#include "base/files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "base/errors.h"
#include "base/handles.h"
#include "base/system_text.h"

namespace qel {

namespace {

bool containsTilde(std::wstring_view path)
{
    return path.find(L'~') != std::wstring_view::npos;
}

std::FILE* openStream(std::wstring_view path, DWORD access, DWORD share, DWORD disposition, int flags, const char* mode)
{
    const WString name(path);
    UniqueFile handle(CreateFileW(name.c_str(), access, share, nullptr, disposition, 0, nullptr));
    if (!handle) {
        throw FileException(L"windows could not open the file specified", name);
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), flags | _O_TEXT);
    if (descriptor == -1) {
        return nullptr;
    }
    // From here the descriptor owns the handle.
    handle.release();
    std::FILE* stream = _fdopen(descriptor, mode);
    if (stream == nullptr) {
        _close(descriptor);
        return nullptr;
    }
    return stream;
}

}  // namespace

WString longPath(std::wstring_view path)
{
    if (!containsTilde(path)) {
        return WString(path);
    }
    const WString input(path);
    return readPathText([&](wchar_t* buffer, DWORD capacity) {
               return GetLongPathNameW(input.c_str(), buffer, capacity);
           })
        .value_or(input);
}

WString normalizePath(std::wstring_view path)
{
    WString result = collapseSeparators(path);
    return containsTilde(result) ? longPath(result) : result;
}

WString fullPath(std::wstring_view path, ShortNames shortNames)
{
    const WString input(path);
    const auto result = readPathText([&](wchar_t* buffer, DWORD capacity) {
        return GetFullPathNameW(input.c_str(), capacity, buffer, nullptr);
    });
    if (!result) {
        return input;
    }
    return shortNames == ShortNames::Expand ? longPath(*result) : *result;
}

WString parentDirOrDot(std::wstring_view path)
{
    return normalizePath(parentDir(path, L"."));
}

bool fileExists(std::wstring_view path)
{
    return GetFileAttributesW(WString(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(std::wstring_view path)
{
    const DWORD attributes = GetFileAttributesW(WString(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<WString> finalPath(std::wstring_view path)
{
    // Opening with no access right and backup semantics works for any file or
    // directory; the handle only names the object.
    UniqueFile file(CreateFileW(WString(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return std::nullopt;
    }
    // GetFinalPathNameByHandleW returns the length without the terminator when
    // the path fit, the size it needs otherwise, and 0 on failure.
    const auto text = readGrowingText([&](wchar_t* buffer, DWORD capacity) {
        return GetFinalPathNameByHandleW(file.get(), buffer, capacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
    if (!text) {
        return std::nullopt;
    }
    return withoutVerbatimPrefix(*text);
}

int fileSize(std::wstring_view path)
{
    UniqueFile file(
        CreateFileW(WString(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return -1;
    }
    return static_cast<int>(GetFileSize(file.get(), nullptr));
}

std::FILE* openForRead(std::wstring_view path)
{
    return openStream(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, _O_RDONLY, "r");
}

std::FILE* openForAppend(std::wstring_view path, const char* mode)
{
    // OPEN_ALWAYS: a missing file is created, an existing one keeps its content.
    return openStream(path, GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_ALWAYS, _O_APPEND, mode);
}

const FileSystemProbes& diskFileSystem()
{
    static const FileSystemProbes probes{
        [](const WString& path) { return fileExists(path); },
        [](const WString& path) { return isDirectory(path); },
        [](const WString& path) { return fileSize(path); },
        [](const WString& path, ShortNames shortNames) { return fullPath(path, shortNames); },
    };
    return probes;
}

WString runningModulePath()
{
    return readGrowingText(
               [](wchar_t* buffer, DWORD capacity) { return GetModuleFileNameW(nullptr, buffer, capacity); })
        .value_or(WString());
}

void closeFile(std::FILE* stream)
{
    if (stream == nullptr) {
        return;
    }
    std::fflush(stream);
    // fclose releases the descriptor and the Windows handle beneath it.
    std::fclose(stream);
}

// Makes the directory and the missing directories above it; 0, or the Windows
// error of the first that could not be made.
std::uint32_t createDirectories(const WString& path)
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
    if (const DWORD parentError = createDirectories(path.substr(0, parentEnd)); parentError != 0) {
        return parentError;
    }
    return CreateDirectoryW(path.c_str(), nullptr) ? 0 : GetLastError();
}

}  // namespace qel
