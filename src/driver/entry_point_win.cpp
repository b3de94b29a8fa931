#include "driver/entry_point.h"

#include <windows.h>

#include <cstdio>
#include <exception>

#include "base/errors.h"
#include "base/messages.h"
#include "base/system_text.h"
#include "base/text.h"
#include "base/trace.h"
#include "driver/error_report.h"
#include "launch/command_line.h"
#include "launch/console.h"
#include "launch/launcher.h"
#include "service/service_launcher.h"
#include "settings/settings.h"
#include "version.h"

namespace qel {

namespace {

// The first lines of a trace: when the run began, which launcher ran, on which
// Windows, and from which file.
void traceHeader(Trace& trace, Frontend frontend)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t when[32];
    std::swprintf(when, sizeof when / sizeof when[0], L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    const bool launcher64 = sizeof(void*) == 8;
    trace.line(WString(L"ravelin ") + (frontend == Frontend::Windowed ? L"launcher" : L"console twin") +
               L" " QEL_VERSION_TEXT L" (" + (launcher64 ? L"64" : L"32") + L"-bit), started " + when + L" local time");

    // GetVersionExW answers what the manifest declares support for;
    // RtlGetVersion always tells the real version.
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = reinterpret_cast<RtlGetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    BOOL wow64 = FALSE;
    const bool windows64 = launcher64 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    if (getVersion != nullptr && getVersion(&version) == 0) {
        trace.line(L"Windows " + std::to_wstring(version.dwMajorVersion) + L"." +
                   std::to_wstring(version.dwMinorVersion) + L" build " + std::to_wstring(version.dwBuildNumber) +
                   (windows64 ? L", 64-bit" : L", 32-bit"));
    } else {
        trace.line(WString(L"Windows of unknown version") + (windows64 ? L", 64-bit" : L", 32-bit"));
    }
    trace.line(L"executable file: " + runningModulePath());
}

// At the end of a run in a console the launcher opened, the window stays until
// Enter when the settings ask for it or Ctrl is held down at this moment. The
// console twin opens none, so it never pauses.
void pauseIfAsked(const Launcher& launcher)
{
    if (pauseAtEnd(launcher.console.isAllocated(), consolePause(launcher.properties), controlKeyDownNow)) {
        writeStandardText(StandardStream::Output, L"[press enter to close this window]\r\n");
        waitForEnter();
    }
}

int runGuarded(const CommandLine& commandLine, Trace& trace, Frontend frontend)
{
    if (commandLine.serviceRequested) {
        // Returns when the service has stopped, or at once with 0 when the process
        // was started from a shell; a VM that ends on its own with another code
        // ends the process itself.
        return static_cast<int>(ServiceQEL::instance(commandLine, trace, frontend).serve());
    }
    trace.phase(L"settings");
    Launcher launcher(commandLine, trace, frontend);
    launcher.runToEnd();
    trace.phase(L"end");
    if (trace.enabled()) {
        trace.line(L"exit code of the VM: " + std::to_wstring(launcher.exitCode));
    }
    pauseIfAsked(launcher);
    return static_cast<int>(launcher.exitCode);
}

// The one place where errors meet the user: a box or standard error, or, for a
// service the service manager started, its failure status and the event log.
int reportError(const CommandLine& commandLine, Trace& trace, Frontend frontend, const WString& text, int messageId)
{
    // The run that failed has deleted its hand-off file: no VM runs that would
    // read it.
    trace.line(L"error: " + text);
    trace.finish();
    if (commandLine.serviceRequested) {
        if (const auto exitCode =
                reportFailureToServiceManager(commandLine.serviceName, text, static_cast<std::uint32_t>(messageId))) {
            return static_cast<int>(*exitCode);
        }
    }
    const ErrorReport report = errorReport(frontend, text, messageId);
    if (report.target == ErrorTarget::Box) {
        showErrorBox(report.text);
    } else {
        writeErrorText(report.text);
    }
    return report.exitCode;
}

}  // namespace

int launcherMain(Frontend frontend)
{
    // The trace of this process's run: it records the command line before the
    // run begins and the error after it ended.
    Trace trace;
    startTraceFromEnvironment(trace);
    const CommandLine commandLine = CommandLine::parse();
    if (trace.enabled()) {
        traceHeader(trace, frontend);
        trace.line(L"command line: " + WString(GetCommandLineW()));
    }
    try {
        const int exitCode = runGuarded(commandLine, trace, frontend);
        trace.finish();
        return exitCode;
    } catch (const TerminalError& error) {
        return reportError(commandLine, trace, frontend, error.message, error.messageId);
    } catch (const std::exception& error) {
        return reportError(commandLine, trace, frontend, unknownExceptionText(error.what()), 0);
    }
}

}  // namespace qel
