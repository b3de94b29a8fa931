#pragma once

// The Application event log as the service uses it: its
// events written under the service's name, and that name registered as an
// event source with the launcher's message table. What is written is decided
// in service_events.h.

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/wstring.h"
#include "service/service_events.h"

namespace qel {

// Writes the event with the source's name; a log that cannot be written to is
// not reported (the service has nowhere else to say so).
void writeServiceEvent(const WString& source, const ServiceEvent& event);

// Creates or updates the source's key (eventSourceKeyPath) with the message
// file and the types. Returns 0 or the Windows error.
std::uint32_t registerEventSource(std::wstring_view serviceName, std::wstring_view messageFile);

// What the key of an event source of the name holds, when there is one.
struct EventSourceEntry {
    bool exists = false;
    // EventMessageFile; none when the key has no such string or cannot be read.
    std::optional<WString> messageFile;
};
EventSourceEntry readEventSource(std::wstring_view serviceName);

// Removes the source's key; 0 also when there is none (a service installed
// before the launcher registered sources). Returns 0 or the Windows error.
std::uint32_t removeEventSource(std::wstring_view serviceName);

}  // namespace qel
