#pragma once

// The kernel objects of one instance at a time (see single_instance.h).

#include <windows.h>

#include <string_view>

#include "base/handles.h"
#include "base/wstring.h"

namespace qel {

// The text upper-cased by the system's table, as Windows compares names.
WString systemUpperCase(std::wstring_view text);

// The key of the properties file that singleInstanceNames names the lock by:
// the file's final path (see singleInstanceKey), so that every way to the one
// file (a symbolic link, another drive letter, another case) gives one key.
WString propertiesFileKey(const WString& propertiesFullPath);

class SingleInstanceLock {
public:
    // Claims the properties file (by propertiesFileKey) for this launcher: the
    // first claim in the session holds the mutex and publishes this process's id
    // until the object goes (for the whole run). A mutex that cannot be made at
    // all claims nothing and counts as first, so the run goes on as without the
    // setting.
    explicit SingleInstanceLock(const WString& propertiesFullPath);

    // No other launcher of the same properties file runs in this session.
    bool isFirst() const { return first_; }

    // Brings the first launcher's message box and the windows of the VM it
    // started to the front (restoring minimized ones); the number of windows
    // found (see windowsOfFirstInstance).
    std::size_t raiseFirstInstance() const;

    // The name of the shared memory in which the first launcher publishes
    // where a second start hands its arguments over (instance_relay_win.h).
    WString relayName() const { return launcherIdName_ + L".relay"; }

private:
    UniqueHandle mutex_;
    // The first launcher's shared memory with its process id.
    UniqueHandle launcherId_;
    WString launcherIdName_;
    bool first_ = true;
};

}  // namespace qel
