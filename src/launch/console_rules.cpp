#include "launch/console_rules.h"

#include "base/text.h"
#include "launch/handoff_text.h"
#include "settings/settings.h"

namespace qel {

namespace {

// The console event numbers of Windows.
constexpr std::uint32_t kCtrlCEvent = 0;
constexpr std::uint32_t kCtrlBreakEvent = 1;
constexpr std::uint32_t kCloseEvent = 2;
constexpr std::uint32_t kLogoffEvent = 5;
constexpr std::uint32_t kShutdownEvent = 6;

}  // namespace

bool consoleWanted(bool controlKeyAtStart, bool consoleRequested, std::wstring_view stdoutRedirect,
                   std::wstring_view stderrRedirect)
{
    if (controlKeyAtStart || consoleRequested) {
        return true;
    }
    // The whole value, nothing trimmed: " console" or "console.log" is a file name
    // for the Java side.
    return toLowerAscii(stdoutRedirect) == L"console" || toLowerAscii(stderrRedirect) == L"console";
}

ConsolePlan planConsole(Frontend frontend, bool controlKeyAtStart, bool consoleRequested,
                        const PropertyTable& properties)
{
    ConsolePlan plan;
    if (frontend == Frontend::Console) {
        plan.use = ConsoleUse::Callers;
    } else if (controlKeyAtStart || consoleRequested ||
               // The redirect settings are read only when neither Ctrl nor the
               // command line decided.
               consoleWanted(false, false, stdoutRedirect(properties), stderrRedirect(properties))) {
        plan.use = ConsoleUse::OwnWindow;
        plan.title = applicationName(properties);
    } else {
        return plan;
    }
    if (controlKeyAtStart) {
        plan.handoffLines = controlKeyLines();
    }
    return plan;
}

bool outlivesConsoleEvent(std::uint32_t event)
{
    return event == kCtrlCEvent || event == kCtrlBreakEvent;
}

bool endsConsoleSession(std::uint32_t event)
{
    return event == kCloseEvent || event == kLogoffEvent || event == kShutdownEvent;
}

WString withCrLf(std::wstring_view text)
{
    WString result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) {
            result += L'\r';
        }
        result += text[i];
    }
    return result;
}

}  // namespace qel
