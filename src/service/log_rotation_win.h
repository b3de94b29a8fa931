#pragma once

// The files of a service log's directory on disk, for LogRotation.

#include <windows.h>

#include "base/handles.h"
#include "service/log_rotation.h"

namespace qel {

// The file appended to stays open, shared for reading (the log can be read
// while the service runs), until it is renamed or deleted.
class DirectoryLogFiles : public LogFiles {
public:
    explicit DirectoryLogFiles(WString directory);

    std::uint64_t size(const WString& name) override;
    bool append(const WString& name, std::string_view bytes) override;
    bool rename(const WString& from, const WString& to) override;
    bool remove(const WString& name) override;
    std::vector<WString> namesStartingWith(const WString& prefix) override;

    // The file's full path; an append that failed to open it leaves the
    // reason in GetLastError.
    WString pathOf(const WString& name) const;

private:
    void closeIfOpen(const WString& name);

    WString directory_;
    WString openName_;
    UniqueFile open_;
};

}  // namespace qel
