#include <windows.h>

#include <sddl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/files.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/processes.h"
#include "base/system_text.h"
#include "base/text.h"
#include "instance/single_instance.h"
#include "instance/single_instance_win.h"

namespace qel {

namespace {

bool isDialogBox(HWND window)
{
    // GetClassNameW: the length of the name copied, 0 on failure; the name of
    // the dialog class is "#32770".
    wchar_t name[8] = {};
    return GetClassNameW(window, name, 8) == 6 && WString(name) == L"#32770";
}

// The final path of an open file (GetFinalPathNameByHandleW returns the length
// without the terminator when the path fits, the size needed with it when it
// does not, and 0 on failure). A volume that has no drive letter or folder to
// be named by (VOLUME_NAME_DOS fails) is named by its NT device name.
std::optional<WString> finalPathOf(HANDLE file)
{
    for (const DWORD volumeName : {VOLUME_NAME_DOS, VOLUME_NAME_NT}) {
        if (auto path = readGrowingText([&](wchar_t* buffer, DWORD capacity) {
                return GetFinalPathNameByHandleW(file, buffer, capacity, FILE_NAME_NORMALIZED | volumeName);
            })) {
            return path;
        }
    }
    return std::nullopt;
}

BOOL CALLBACK collectWindow(HWND window, LPARAM found)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    reinterpret_cast<std::vector<TopLevelWindow>*>(found)->push_back(
        TopLevelWindow{reinterpret_cast<std::uintptr_t>(window), processId, IsWindowVisible(window) != FALSE,
                       GetWindow(window, GW_OWNER) != nullptr, isDialogBox(window)});
    return TRUE;
}

}  // namespace

WString systemUpperCase(std::wstring_view text)
{
    // Without LCMAP_LINGUISTIC_CASING, LCMapStringEx upper-cases by the file
    // system's rules, the table by which Windows compares names. It returns the
    // number of units written, 0 on failure; the same length comes back.
    WString upper(text.size(), L'\0');
    if (text.empty() || LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                                      upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0) == 0) {
        return WString(text);
    }
    return upper;
}

WString propertiesFileKey(const WString& propertiesFullPath)
{
    // No access asked for: the handle only names the file. Backup semantics
    // open a folder too, should the path name one.
    const UniqueFile file(CreateFileW(propertiesFullPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::optional<WString> finalPath;
    if (file) {
        finalPath = finalPathOf(file.get());
    }
    // A file that cannot be opened any more is named by the path it was read by.
    return singleInstanceKey(finalPath.value_or(propertiesFullPath), systemUpperCase);
}

InstanceObjectSecurity::InstanceObjectSecurity(Trace& trace)
{
    const WString user = processUserSid();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                            instanceObjectDescriptor(user).c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        trace.line(L"single instance: the security of its objects cannot be made (" +
                   (user.empty() ? WString(L"the process's user cannot be read")
                                 : WString(withoutLineEnd(systemErrorText(GetLastError())))) +
                   L"): only one instance at a time is not kept");
        return;
    }
    descriptor_.reset(descriptor);
    attributes_ = SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
}

SingleInstanceLock::SingleInstanceLock(const WString& propertiesFullPath, Trace& trace)
{
    const SingleInstanceNames names = singleInstanceNames(propertiesFileKey(propertiesFullPath));
    launcherIdName_ = names.launcherId;
    InstanceObjectSecurity security(trace);
    if (!security) {
        return;
    }
    mutex_.reset(CreateMutexW(security.get(), FALSE, names.mutex.c_str()));
    // Read at once: the next call may change it.
    const DWORD error = GetLastError();
    if (!mutex_) {
        trace.line(L"single instance: the lock " + names.mutex + L" cannot be made (" +
                   WString(withoutLineEnd(systemErrorText(error))) + L"): only one instance at a time is not kept");
        return;
    }
    first_ = error != ERROR_ALREADY_EXISTS;
    if (!first_) {
        return;
    }
    launcherId_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security.get(), PAGE_READWRITE, 0, sizeof(DWORD),
                                         names.launcherId.c_str()));
    const UniqueView view(launcherId_ ? MapViewOfFile(launcherId_.get(), FILE_MAP_WRITE, 0, 0, sizeof(DWORD)) : nullptr);
    if (!view) {
        trace.line(L"single instance: this launcher's id cannot be published (" +
                   WString(withoutLineEnd(systemErrorText(GetLastError()))) +
                   L"): a second start cannot bring its windows to the front");
        return;
    }
    *static_cast<volatile DWORD*>(view.get()) = GetCurrentProcessId();
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
    // The last first, so that the first of them (the box, else the topmost) ends up in front.
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
        const HWND window = reinterpret_cast<HWND>(*it);
        if (IsIconic(window)) {
            ShowWindow(window, SW_RESTORE);
        }
        SetForegroundWindow(window);
    }
    return chosen.size();
}

const SingleInstance& SingleInstance::claim(Launcher& launcher)
{
    auto claimed = std::make_unique<SingleInstance>(fullPath(launcher.propertiesPath, ShortNames::Expand), launcher.trace);
    SingleInstance& instance = *claimed;
    launcher.instancePart = std::move(claimed);
    if (!instance.isFirst()) {
        const std::size_t raised = instance.lock_.raiseFirstInstance();
        if (launcher.trace.enabled()) {
            launcher.trace.line(L"another launcher of these settings runs: no VM started, " + std::to_wstring(raised) +
                                L" of its windows brought to the front");
        }
        return instance;
    }
    instance.relay_.emplace(instance.lock_.relayName(), launcher.trace);
    const std::vector<WString> lines = instance.relay_->handoffLines();
    launcher.extraHandoffLines.insert(launcher.extraHandoffLines.end(), lines.begin(), lines.end());
    return instance;
}

HandOverResult SingleInstance::handArgumentsOver(const std::vector<WString>& arguments) const
{
    return qel::handArgumentsOver(lock_.relayName(), arguments);
}

}  // namespace qel
