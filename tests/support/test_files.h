#pragma once

// File-system helpers for tests: a temporary directory removed afterwards, files
// written byte for byte, and the directory the test executables live in.

#include <string>
#include <string_view>

#include "base/trace.h"
#include "base/wstring.h"

namespace qel::test {

// A new, empty directory under the temporary directory; removed with everything
// in it when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const WString& path() const { return path_; }
    // path() + "\" + relative
    WString operator/(std::wstring_view relative) const;

private:
    WString path_;
};

// Writes the bytes exactly, creating missing parent directories.
void writeFile(const WString& path, std::string_view bytes);
std::string readFile(const WString& path);
void makeDirectories(const WString& path);
void removeTree(const WString& path);

// The directory that holds the running test executable (and the launcher and
// fixture programs built beside it).
WString binaryDir();

// A file of the Unix file system as Wine sees it: drive Z: is its root.
WString onDriveZ(std::string_view unixPath);

// The Unix path of a Windows path, from Wine's own export; throws when not
// running under Wine.
std::string unixPathOf(const WString& path);

// Makes link a symbolic link to the file target, as installers do for the
// javapath folders: under Wine a Unix symbolic link (which programs see as a
// Windows one), elsewhere a Windows symbolic link where the user may create one.
// False when no link could be made.
bool makeSymbolicLink(const WString& link, const WString& target);

// UTF-16 to UTF-8, for messages of failed assertions.
inline std::string narrow(std::wstring_view text)
{
    return toUtf8(text);
}

}  // namespace qel::test
