#pragma once

// The console decision and the line ends of the diagnostics, as rules.

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/wstring.h"
#include "launch/frontend.h"
#include "settings/property_table.h"

namespace qel {

// Whether a run uses a console window: Ctrl held at start or "-i console" on the
// command line decide at once; otherwise a redirect setting whose whole value is
// "console" in any case.
bool consoleWanted(bool controlKeyAtStart, bool consoleRequested, std::wstring_view stdoutRedirect,
                   std::wstring_view stderrRedirect);

// The console a run uses.
enum class ConsoleUse {
    // None: the VM's windowed program starts.
    None,
    // The windowed launcher opens a console window of its own, titled with the
    // application's name, and the VM's console program starts in it.
    OwnWindow,
    // The console twin stays in the console it was started in (none when its
    // caller gave it none): nothing is opened, titled or rebound, and the VM's
    // console program starts in the same console.
    Callers,
};

// What setting up the console does for a run: the console it uses, the title of
// a window of its own, and the lines the hand-off file gets first (the Ctrl-key
// lines when Ctrl was held at start).
struct ConsolePlan {
    ConsoleUse use = ConsoleUse::None;
    WString title;
    std::vector<WString> handoffLines;
};

// The windowed launcher opens a console window when consoleWanted says so; the
// console twin always uses its caller's console.
ConsolePlan planConsole(Frontend frontend, bool controlKeyAtStart, bool consoleRequested,
                        const PropertyTable& properties);

// The console events the console twin lives through while its VM runs: Ctrl+C
// and Ctrl+Break, which reach the VM in the same console, so that the launcher
// still waits for the VM and ends with its exit code. Every other event (the
// console closing, log-off, shutdown) goes on to the next handler.
bool outlivesConsoleEvent(std::uint32_t event);

// The console events after which the system ends the launcher whatever its
// handlers answer: the console window closing, log-off and shutdown. Before
// that, the launcher deletes its hand-off file (see instance/session_end.h).
bool endsConsoleSession(std::uint32_t event);

// The text with each line feed that has no carriage return before it written as
// CR LF, as the launcher's diagnostics have always ended their lines.
WString withCrLf(std::wstring_view text);

}  // namespace qel
