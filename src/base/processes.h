#pragma once

// The processes running on the machine, as a snapshot of the system lists them,
// and the user this one runs as.

#include <cstdint>
#include <vector>

#include "base/wstring.h"

namespace qel {

struct ProcessEntry {
    std::uint32_t processId = 0;
    std::uint32_t parentId = 0;
    // The program's file name as the snapshot gives it.
    WString image;
};

// Every process at this moment; none when no snapshot can be taken.
std::vector<ProcessEntry> runningProcesses();

// The process's user as a SID string ("S-1-5-21-..."), empty when the token
// cannot be read.
WString processUserSid();

}  // namespace qel
