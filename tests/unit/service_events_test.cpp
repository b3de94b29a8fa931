// Which event the service writes at each moment, with which id, type and
// insertion strings, and where its event source is registered. The texts the
// ids stand for are read from the launchers themselves in
// event_messages_test.cpp.

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "service/service_events.h"

using namespace qel;

TEST(ServiceEvents, EachMomentAndItsEvent)
{
    struct Row {
        const char* what;
        ServiceEvent event;
        std::uint32_t shownId;  // what Event Viewer shows: the low 16 bits
        EventType type;
        std::vector<WString> strings;
    };
    const Row rows[] = {
        {"the VM started", serviceStartedEvent(4242), 1000, EventType::Information, {L"4242"}},
        {"stopped by the service manager", serviceEndedEvent(ServiceEnd{false, 0}), 1001, EventType::Information, {}},
        {"the VM ended by itself with 0", serviceEndedEvent(ServiceEnd{true, 0}), 1002, EventType::Information, {L"0"}},
        {"the VM ended by itself with 7", serviceEndedEvent(ServiceEnd{true, 7}), 1003, EventType::Error, {L"7"}},
        {"an exit code above 2^31 in decimal",
         serviceEndedEvent(ServiceEnd{true, 0xC0000005u}),
         1003,
         EventType::Error,
         {L"3221225477"}},
        {"a start failed with message 101",
         startFailedEvent(101, L"No VM.\n\nInstall one."),
         1004,
         EventType::Error,
         {L"101", L"No VM.\n\nInstall one."}},
        {"a start failed without a message: 1066, the code it reports",
         startFailedEvent(0, L"Unknown"),
         1004,
         EventType::Error,
         {L"1066", L"Unknown"}},
        {"a warning",
         warningEvent(L"The pipe cannot be created."),
         1005,
         EventType::Warning,
         {L"The pipe cannot be created."}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.event.id & 0xFFFF, row.shownId);
        EXPECT_EQ(row.event.type(), row.type);
        EXPECT_EQ(row.event.strings, row.strings);
    }
}

// Each id stands for one text: the ids Event Viewer shows are distinct.
TEST(ServiceEvents, IdsAreDistinct)
{
    const std::uint32_t ids[] = {service_event::kStarted,  service_event::kStopped,     service_event::kVmExited,
                                 service_event::kVmFailed, service_event::kStartFailed, service_event::kWarning};
    std::set<std::uint32_t> shown;
    for (const std::uint32_t id : ids) {
        shown.insert(id & 0xFFFF);
    }
    EXPECT_EQ(shown.size(), std::size(ids));
}

// The type is the severity in the id's two top bits; success is written as
// information, as ReportEventW has no type for it.
TEST(ServiceEvents, TypeFromTheSeverity)
{
    const std::pair<std::uint32_t, EventType> cases[] = {
        {0x000003E8u, EventType::Information}, {0x400003E8u, EventType::Information}, {0x800003E8u, EventType::Warning},
        {0xC00003E8u, EventType::Error},       {0xC0000000u, EventType::Error},       {0xBFFFFFFFu, EventType::Warning},
    };
    for (const auto& [id, type] : cases) {
        EXPECT_EQ(eventTypeOf(id), type) << std::hex << id;
    }
    EXPECT_EQ(static_cast<int>(EventType::Error), 1);
    EXPECT_EQ(static_cast<int>(EventType::Warning), 2);
    EXPECT_EQ(static_cast<int>(EventType::Information), 4);
}

TEST(ServiceEvents, EventSourceKey)
{
    EXPECT_EQ(eventSourceKeyPath(L"ShopService"),
              L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ShopService");
    EXPECT_EQ(kEventTypesSupported, 7u);
}

TEST(ServiceEvents, EventSourceFailureTexts)
{
    const WString key = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Shop";
    EXPECT_EQ(eventSourceFailureText(ServiceCommandKind::Install, L"Shop", 5, L"Access is denied.\r\n"),
              L"Installing the service Shop failed: its event source " + key +
                  L" cannot be registered: Access is denied.");
    EXPECT_EQ(eventSourceFailureText(ServiceCommandKind::Install, L"Shop", 1009, L""),
              L"Installing the service Shop failed: its event source " + key +
                  L" cannot be registered: Windows error 1009");
    EXPECT_EQ(eventSourceFailureText(ServiceCommandKind::Uninstall, L"Shop", 5, L"Access is denied.\r\n"),
              L"Removed the service Shop, but not its event source " + key + L": Access is denied.");
}
