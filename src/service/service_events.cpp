#include "service/service_events.h"

#include <string>

#include "base/text.h"

namespace qel {

namespace {

// The two top bits of an event id.
constexpr std::uint32_t kSeverityShift = 30;
constexpr std::uint32_t kSeverityWarning = 2;
constexpr std::uint32_t kSeverityError = 3;

constexpr std::wstring_view kApplicationLogSources = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

}  // namespace

EventType eventTypeOf(std::uint32_t eventId)
{
    switch (eventId >> kSeverityShift) {
    case kSeverityError:
        return EventType::Error;
    case kSeverityWarning:
        return EventType::Warning;
    default:
        return EventType::Information;
    }
}

ServiceEvent serviceStartedEvent(std::uint32_t vmProcessId)
{
    return ServiceEvent{service_event::kStarted, {std::to_wstring(vmProcessId)}};
}

ServiceEvent serviceEndedEvent(const ServiceEnd& end)
{
    // The end of a service stopped by the service manager is the dispatcher's.
    if (!end.endProcess) {
        return ServiceEvent{service_event::kStopped, {}};
    }
    return ServiceEvent{end.exitCode == 0 ? service_event::kVmExited : service_event::kVmFailed,
                        {std::to_wstring(end.exitCode)}};
}

ServiceEvent startFailedEvent(std::uint32_t messageId, const WString& text)
{
    return ServiceEvent{service_event::kStartFailed, {std::to_wstring(failureCode(messageId)), text}};
}

ServiceEvent warningEvent(const WString& text)
{
    return ServiceEvent{service_event::kWarning, {text}};
}

WString eventSourceKeyPath(std::wstring_view serviceName)
{
    return WString(kApplicationLogSources) + WString(serviceName);
}

WString eventSourceFailureText(ServiceCommandKind kind, std::wstring_view serviceName, std::uint32_t error,
                               std::wstring_view systemText)
{
    const WString key = L"HKEY_LOCAL_MACHINE\\" + eventSourceKeyPath(serviceName);
    WString text = kind == ServiceCommandKind::Install
                       ? L"Installing the service " + WString(serviceName) + L" failed: its event source " + key +
                             L" cannot be registered: "
                       : L"Removed the service " + WString(serviceName) + L", but not its event source " + key + L": ";
    const std::wstring_view reason = withoutLineEnd(systemText);
    text += reason.empty() ? L"Windows error " + std::to_wstring(error) : WString(reason);
    return text;
}

}  // namespace qel
