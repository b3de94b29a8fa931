#pragma once

// The events the service writes to the Application event log, with the
// service's name as the source: which event each moment of the service's life
// is, its id in the launcher's message table (event_messages.h, compiled from
// resources/event_messages.mc), its type and its insertion strings; and where
// "-kwqelinstall" registers the source so that Event Viewer finds the texts.
// The Windows calls are in service_events_win.h.

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/wstring.h"
#include "event_messages.h"
#include "service/service_host.h"
#include "service/service_command.h"

namespace qel {

namespace service_event {
// The ids as ReportEventW and FormatMessageW take them: severity in the two top
// bits; Event Viewer shows the low 16 bits (1000 to 1005).
// Information: the VM started, its process id.
inline constexpr std::uint32_t kStarted = QEL_EVENT_SERVICE_STARTED;
// Information: stopped by the service manager; the VM has ended.
inline constexpr std::uint32_t kStopped = QEL_EVENT_SERVICE_STOPPED;
// Information: the VM ended by itself with 0; the service reported "stopped".
inline constexpr std::uint32_t kVmExited = QEL_EVENT_VM_EXITED;
// Error: the VM ended by itself with another code, which the process ends with
// (the service manager sees a failure).
inline constexpr std::uint32_t kVmFailed = QEL_EVENT_VM_FAILED;
// Error: the service could not start; the launcher's message number and text.
inline constexpr std::uint32_t kStartFailed = QEL_EVENT_START_FAILED;
// Warning: a failure the service lives with, as text.
inline constexpr std::uint32_t kWarning = QEL_EVENT_WARNING;
}  // namespace service_event

// The event types of ReportEventW.
enum class EventType : std::uint16_t {
    Error = 0x0001,  // EVENTLOG_ERROR_TYPE
    Warning = 0x0002,  // EVENTLOG_WARNING_TYPE
    Information = 0x0004,  // EVENTLOG_INFORMATION_TYPE
};

// The type an event is written with: the severity its id carries (success is
// written as information).
EventType eventTypeOf(std::uint32_t eventId);

// What the service writes to the log: an id and the strings its text inserts
// (%1, %2, ...).
struct ServiceEvent {
    std::uint32_t id = 0;
    std::vector<WString> strings;

    EventType type() const { return eventTypeOf(id); }
    bool operator==(const ServiceEvent& other) const { return id == other.id && strings == other.strings; }
};

// The VM has started as this process.
ServiceEvent serviceStartedEvent(std::uint32_t vmProcessId);

// The service's end once the VM has ended: stopped by the service manager (the
// process leaves through the dispatcher), or the VM's own end with its code.
ServiceEvent serviceEndedEvent(const ServiceEnd& end);

// The start failed before a VM ran: the number it reports as its
// service-specific code (failureCode of the message id, so 1066 for a failure
// without a message) and the text a normal run would show.
ServiceEvent startFailedEvent(std::uint32_t messageId, const WString& text);

// A failure the service lives with.
ServiceEvent warningEvent(const WString& text);

// The event source NAME of the Application log: the key below
// HKEY_LOCAL_MACHINE, and what it holds: EventMessageFile (REG_EXPAND_SZ), the
// launcher's full path; TypesSupported (REG_DWORD), error, warning and
// information.
WString eventSourceKeyPath(std::wstring_view serviceName);
inline constexpr std::uint32_t kEventTypesSupported = 0x0007;
inline constexpr std::wstring_view kEventMessageFileValue = L"EventMessageFile";
inline constexpr std::wstring_view kTypesSupportedValue = L"TypesSupported";

// Why the event source could not be registered (installing: the service is
// removed again and the command fails) or removed (removing: the service is
// gone, its source key stays, and the command fails): what was done, the key,
// and the system's text for the Windows error (without it, the error's number).
WString eventSourceFailureText(ServiceCommandKind kind, std::wstring_view serviceName, std::uint32_t error,
                               std::wstring_view systemText);

}  // namespace qel
