// The texts Event Viewer shows for the service's events, read from each built
// launcher as Event Viewer reads them from the registered source's message
// file: the executable loaded as data, and FormatMessageW with the event's id
// and insertion strings.

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "base/handles.h"
#include "service/service_events.h"
#include "support/test_files.h"

using namespace qel;

namespace {

struct Formatted {
    DWORD error = 0;
    WString text;
};

Formatted formatEvent(HMODULE module, const ServiceEvent& event)
{
    std::vector<DWORD_PTR> arguments;
    for (const WString& text : event.strings) {
        arguments.push_back(reinterpret_cast<DWORD_PTR>(text.c_str()));
    }
    wchar_t* buffer = nullptr;
    const DWORD units = FormatMessageW(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER, module, event.id,
        0, reinterpret_cast<wchar_t*>(&buffer), 0, reinterpret_cast<va_list*>(arguments.data()));
    if (units == 0) {
        return Formatted{GetLastError(), WString()};
    }
    Formatted formatted{0, WString(buffer, units)};
    LocalFree(buffer);
    return formatted;
}

}  // namespace

TEST(EventMessages, EachEventsTextWithItsStrings)
{
    struct Row {
        ServiceEvent event;
        WString text;
    };
    const Row rows[] = {
        {serviceStartedEvent(4242), L"The service has started: its Java VM runs as process 4242."},
        {serviceEndedEvent(ServiceEnd{false, 0}), L"The service was stopped, and its Java VM has ended."},
        {serviceEndedEvent(ServiceEnd{true, 0}),
         L"The Java VM ended by itself with exit code 0; the service has stopped."},
        {serviceEndedEvent(ServiceEnd{true, 7}),
         L"The Java VM ended by itself with exit code 7; the service ended with that code."},
        {startFailedEvent(102, L"Le fichier de propri\u00e9t\u00e9s est absent.\n\nSecond line."),
         L"The service could not start (message 102 of the launcher):\r\n"
         L"Le fichier de propri\u00e9t\u00e9s est absent.\n\nSecond line."},
        // An insertion string is not read for inserts of its own.
        {warningEvent(L"100% of %1 and %n"), L"100% of %1 and %n"},
    };
    for (const wchar_t* launcher : {L"ravelin.exe", L"ravelinc.exe"}) {
        SCOPED_TRACE(test::narrow(launcher));
        const UniqueModule module(
            LoadLibraryExW((test::binaryDir() + L"\\" + launcher).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module) << GetLastError();
        for (const Row& row : rows) {
            SCOPED_TRACE(row.event.id & 0xFFFF);
            const Formatted formatted = formatEvent(module.get(), row.event);
            EXPECT_EQ(formatted.error, 0u);
            EXPECT_EQ(formatted.text, row.text) << test::narrow(formatted.text);
        }
    }
}
