#pragma once

// The processes running on the machine, as a snapshot of the system lists them.

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

}  // namespace qel
