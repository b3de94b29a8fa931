#pragma once

// The kernel objects of one instance at a time (see single_instance.h), and a
// run's claim on its application: the lock, and the first launcher's relay.

#include <windows.h>

#include <optional>
#include <string_view>
#include <vector>

#include "base/handles.h"
#include "base/trace.h"
#include "base/wstring.h"
#include "instance/instance_relay.h"
#include "instance/instance_relay_win.h"
#include "launch/launcher.h"

namespace qel {

// The text upper-cased by the system's table, as Windows compares names.
WString systemUpperCase(std::wstring_view text);

// The key of the properties file that singleInstanceNames names the lock by:
// the file's final path (see singleInstanceKey), so that every way to the one
// file (a symbolic link, another drive letter, another case) gives one key.
WString propertiesFileKey(const WString& propertiesFullPath);

// The security attributes of an instance's kernel objects
// (instanceObjectDescriptor); empty when the process's user cannot be read or
// the descriptor not made (the trace says so then).
class InstanceObjectSecurity {
public:
    explicit InstanceObjectSecurity(Trace& trace);
    InstanceObjectSecurity(const InstanceObjectSecurity&) = delete;
    InstanceObjectSecurity& operator=(const InstanceObjectSecurity&) = delete;

    explicit operator bool() const { return descriptor_ != nullptr; }
    SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

private:
    UniqueLocal descriptor_;
    SECURITY_ATTRIBUTES attributes_{};
};

class SingleInstanceLock {
public:
    // Claims the properties file (by propertiesFileKey) for this launcher: the
    // first claim in the session holds the mutex and publishes this process's id
    // until the object goes (for the whole run), both open to the user and
    // SYSTEM only. A mutex that cannot be made at all claims nothing and counts
    // as first, so the run goes on as without the setting; the trace says so.
    SingleInstanceLock(const WString& propertiesFullPath, Trace& trace);

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

// A run's part in one instance at a time (qel.single.instance), which the run
// keeps to its end: the lock and, for the first launcher, the relay for second
// starts.
class SingleInstance : public RunPart {
public:
    // Claims the application of the launcher's properties file; the Launcher
    // keeps the claim (Launcher::instancePart) until it goes. The first launcher
    // opens its relay and tells its VM where it listens (the hand-off lines); a
    // second start brings the first one's windows to the front.
    static const SingleInstance& claim(Launcher& launcher);

    SingleInstance(const WString& propertiesFullPath, Trace& trace) : lock_(propertiesFullPath, trace) {}

    // No other launcher of the same properties file runs in this session.
    bool isFirst() const { return lock_.isFirst(); }

    // A second start's end: hands its arguments to the first launcher.
    HandOverResult handArgumentsOver(const std::vector<WString>& arguments) const;

private:
    SingleInstanceLock lock_;
    std::optional<InstanceRelay> relay_;
};

}  // namespace qel
