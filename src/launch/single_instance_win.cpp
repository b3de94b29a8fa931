#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/handles.h"
#include "launch/single_instance.h"
#include "launch/single_instance_lock.h"

namespace qel {

namespace {

BOOL CALLBACK collectWindow(HWND window, LPARAM found)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    reinterpret_cast<std::vector<TopLevelWindow>*>(found)->push_back(
        TopLevelWindow{reinterpret_cast<std::uintptr_t>(window), processId, IsWindowVisible(window) != FALSE,
                       GetWindow(window, GW_OWNER) != nullptr});
    return TRUE;
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(const WString& propertiesFullPath)
{
    const SingleInstanceNames names = singleInstanceNames(propertiesFullPath);
    launcherIdName_ = names.launcherId;
    mutex_.reset(CreateMutexW(nullptr, FALSE, names.mutex.c_str()));
    // Read at once: the next call may change it.
    const DWORD error = GetLastError();
    if (!mutex_) {
        return;
    }
    first_ = error != ERROR_ALREADY_EXISTS;
    if (!first_) {
        return;
    }
    launcherId_.reset(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD), names.launcherId.c_str()));
    if (!launcherId_) {
        return;
    }
    const UniqueView view(MapViewOfFile(launcherId_.get(), FILE_MAP_WRITE, 0, 0, sizeof(DWORD)));
    if (view) {
        *static_cast<volatile DWORD*>(view.get()) = GetCurrentProcessId();
    }
}

std::size_t SingleInstanceLock::raiseFirstInstance() const
{
    // The first launcher may not have published its id yet: nothing is raised.
    const UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, launcherIdName_.c_str()));
    if (!mapping) {
        return 0;
    }
    const UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(DWORD)));
    if (!view) {
        return 0;
    }
    const DWORD firstLauncherId = *static_cast<const volatile DWORD*>(view.get());
    std::vector<TopLevelWindow> windows;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
    const std::vector<std::uintptr_t> chosen = windowsOfFirstInstance(windows, runningProcesses(), firstLauncherId);
    // Lowest first, so that the topmost of them ends up in front.
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
        const HWND window = reinterpret_cast<HWND>(*it);
        if (IsIconic(window)) {
            ShowWindow(window, SW_RESTORE);
        }
        SetForegroundWindow(window);
    }
    return chosen.size();
}

}  // namespace qel
