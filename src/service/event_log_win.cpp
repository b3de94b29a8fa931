#include <windows.h>

#include <vector>

#include "base/handles.h"
#include "service/event_log.h"

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

std::uint32_t removeEventSource(std::wstring_view serviceName)
{
    // The key holds values only; RegDeleteKeyW refuses a key with subkeys,
    // which the launcher did not make and leaves alone.
    const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, eventSourceKeyPath(serviceName).c_str());
    return status == ERROR_FILE_NOT_FOUND ? 0 : static_cast<std::uint32_t>(status);
}

}  // namespace qel
