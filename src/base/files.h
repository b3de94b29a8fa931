#pragma once

// Paths and files as the Windows file system sees them. Path buffers for these
// calls hold MAX_PATH (260) units; a result that does not fit counts as a failure
// of the call and leaves the input unchanged.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

#include "base/path_text.h"
#include "base/probes.h"
#include "base/wstring.h"

namespace qel {

inline constexpr unsigned kPathBufferUnits = 260;

// collapseSeparators, then short names expanded when the path holds a tilde.
WString normalizePath(std::wstring_view path);

// Short (8.3) names expanded; a path without a tilde is returned as it is and
// never reaches the system.
WString longPath(std::wstring_view path);

// The absolute form against the current directory; unchanged when the call fails.
WString fullPath(std::wstring_view path, ShortNames shortNames);

// normalizePath(parentDir(path, ".")).
WString parentDirOrDot(std::wstring_view path);

// Any file system object exists, directories too; errors read as false.
bool fileExists(std::wstring_view path);
bool isDirectory(std::wstring_view path);
// Makes the directory and the missing directories above it; 0, or the Windows
// error of the first that could not be made (ERROR_DIRECTORY when a file has
// its name).
std::uint32_t createDirectories(const WString& path);

// The path of the file itself, after every link on the way was followed, in
// the form users write; none when the file cannot be opened or its path read.
std::optional<WString> finalPath(std::wstring_view path);

// Low 32 bits of the size; -1 when the file cannot be opened (a directory, too).
int fileSize(std::wstring_view path);

// Streams on Windows file handles, in text mode. Both throw FileException
// "windows could not open the file specified" with the path when the file cannot
// be opened, and return nullptr when no stream could be made on the handle.
std::FILE* openForRead(std::wstring_view path);
std::FILE* openForAppend(std::wstring_view path, const char* mode);

// The answers of the real disk, for the rules that take probes.
const FileSystemProbes& diskFileSystem();

// Flushes and closes a stream opened by the two functions above.
void closeFile(std::FILE* stream);

struct StreamCloser {
    void operator()(std::FILE* stream) const noexcept { closeFile(stream); }
};
// Closes its stream on every path out of a scope.
using UniqueStream = std::unique_ptr<std::FILE, StreamCloser>;

}  // namespace qel
