#pragma once

// What the launcher's rules may ask of the file system. The rules take these as
// arguments instead of calling Windows, so that they can be tried on invented
// layouts; the Windows shells pass the answers of the real disk (diskFileSystem).

#include <functional>

#include "base/wstring.h"

namespace qel {

// Whether short (8.3) names in a path are expanded to their long form.
enum class ShortNames { Keep, Expand };

// Answers whether a file system object (a directory too) exists.
using ExistsProbe = std::function<bool(const WString& path)>;

struct FileSystemProbes {
    ExistsProbe exists;
    std::function<bool(const WString& path)> isDirectory;
    // The low 32 bits of a file's size; -1 when it cannot be opened (a directory).
    std::function<int(const WString& path)> size;
    // The absolute form against the current directory, the text unchanged when
    // the system cannot make one.
    std::function<WString(const WString& path, ShortNames shortNames)> fullPath;
};

}  // namespace qel
