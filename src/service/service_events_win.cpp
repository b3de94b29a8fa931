#include <windows.h>

#include <vector>

#include "base/handles.h"
#include "service/service_events_win.h"

namespace qel {

void writeServiceEvent(const WString& source, const ServiceEvent& event)
{
    // Without a registered source the event is written all the same; Event
    // Viewer then cannot find its text.
    HANDLE log = RegisterEventSourceW(nullptr, source.c_str());
    if (log == nullptr) {
        return;
    }
    std::vector<const wchar_t*> strings;
    for (const WString& text : event.strings) {
        strings.push_back(text.c_str());
    }
    ReportEventW(log, static_cast<WORD>(event.type()), 0, event.id, nullptr, static_cast<WORD>(strings.size()), 0,
                 strings.empty() ? nullptr : strings.data(), nullptr);
    DeregisterEventSource(log);
}

std::uint32_t registerEventSource(std::wstring_view serviceName, std::wstring_view messageFile)
{
    const WString path = eventSourceKeyPath(serviceName);
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) {
        return static_cast<std::uint32_t>(status);
    }
    const UniqueKey key(opened);
    // The size counts the terminating null.
    const WString file(messageFile);
    const WString fileValue(kEventMessageFileValue);
    status = RegSetValueExW(key.get(), fileValue.c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                            static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) {
        return static_cast<std::uint32_t>(status);
    }
    const DWORD types = kEventTypesSupported;
    const WString typesValue(kTypesSupportedValue);
    status = RegSetValueExW(key.get(), typesValue.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                            sizeof types);
    return static_cast<std::uint32_t>(status);
}

EventSourceEntry readEventSource(std::wstring_view serviceName)
{
    const WString path = eventSourceKeyPath(serviceName);
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND) {
        return EventSourceEntry{};
    }
    // A key that cannot be opened is there all the same, and not known to be the launcher's.
    EventSourceEntry entry{true, std::nullopt};
    if (status != ERROR_SUCCESS) {
        return entry;
    }
    const UniqueKey key(opened);
    const WString value(kEventMessageFileValue);
    // RRF_NOEXPAND: the text as stored, as the install wrote it.
    DWORD bytes = 0;
    if (RegGetValueW(key.get(), nullptr, value.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                     nullptr, &bytes) != ERROR_SUCCESS) {
        return entry;
    }
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(key.get(), nullptr, value.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                     text.data(), &bytes) == ERROR_SUCCESS) {
        entry.messageFile = WString(text.data());
    }
    return entry;
}

std::uint32_t removeEventSource(std::wstring_view serviceName)
{
    // The key holds values only; RegDeleteKeyW refuses a key with subkeys,
    // which the launcher did not make and leaves alone.
    const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, eventSourceKeyPath(serviceName).c_str());
    return status == ERROR_FILE_NOT_FOUND ? 0 : static_cast<std::uint32_t>(status);
}

}  // namespace qel
