#include <windows.h>

#include <tlhelp32.h>

#include "base/handles.h"
#include "base/processes.h"

namespace qel {

std::vector<ProcessEntry> runningProcesses()
{
    std::vector<ProcessEntry> processes;
    const UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return processes;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        processes.push_back(ProcessEntry{entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    }
    return processes;
}

}  // namespace qel
