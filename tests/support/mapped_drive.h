#pragma once

// A drive letter of the test prefix pointing at a directory for the lifetime of
// the object, so that a test can put files at the root of a drive.

#include "base/wstring.h"

namespace qel::test {

class MappedDrive {
public:
    // Maps the first free letter from Q on to the directory (which must exist).
    // Throws when no letter is free or the mapping does not take effect.
    explicit MappedDrive(const WString& directory);
    // Removes the letter again.
    ~MappedDrive();
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;

    // "Q:\" for drive Q.
    WString root() const;
    // root() + relative
    WString operator/(const WString& relative) const { return root() + relative; }

private:
    void release() noexcept;

    wchar_t letter_ = 0;
    bool hadDriveType_ = false;
};

}  // namespace qel::test
