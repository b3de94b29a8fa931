#include "launch/console_rules.h"

#include "base/text.h"
#include "launch/handoff_text.h"
#include "settings/settings.h"

namespace qel {

namespace {

constexpr std::size_t kMessageUnits = 512;

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

ConsolePlan planConsole(bool controlKeyAtStart, bool consoleRequested, const PropertyTable& properties)
{
    ConsolePlan plan;
    // The redirect settings are read only when neither Ctrl nor the command line
    // decided.
    plan.useConsole = controlKeyAtStart || consoleRequested ||
                      consoleWanted(false, false, stdoutRedirect(properties), stderrRedirect(properties));
    if (!plan.useConsole) {
        return plan;
    }
    plan.title = applicationName(properties);
    if (controlKeyAtStart) {
        plan.handoffLines = controlKeyLines();
    }
    return plan;
}

WString formatStartFailure(std::wstring_view format, unsigned long errorCode)
{
    WString text(format);
    const auto placeholder = text.find(L"%d");
    if (placeholder != WString::npos) {
        text.replace(placeholder, 2, std::to_wstring(errorCode));
    }
    if (text.size() > kMessageUnits - 1) {
        text.resize(kMessageUnits - 1);
    }
    return text;
}

WString workingDirectoryLine(std::wstring_view workingDirectory)
{
    return L"cwd: " + WString(workingDirectory) + L"\n";
}

WString commandLineLine(std::wstring_view commandLine)
{
    return L"cmd: " + WString(commandLine) + L"\n";
}

}  // namespace qel
