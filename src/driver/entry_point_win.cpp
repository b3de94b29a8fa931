#include "driver/entry_point.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "base/errors.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/system_library.h"
#include "base/system_text.h"
#include "base/text.h"
#include "base/trace.h"
#include "base/web_address.h"
#include "driver/error_report.h"
#include "driver/fault_report.h"
#include "instance/instance_relay.h"
#include "instance/session_end.h"
#include "instance/single_instance_win.h"
#include "launch/command_line.h"
#include "launch/console.h"
#include "launch/launcher.h"
#include "service/service_command_win.h"
#include "service/service_host_win.h"
#include "settings/settings.h"
#include "vm/executable_info.h"
#include "version.h"

#if defined(__GLIBCXX__)
// GNU's default terminate handler names the exception's type, and for that links
// its whole demangler (about 50 KB, a tenth of the launcher). The launcher
// catches every exception of a run and reports it; a terminate is a fault of its
// own, which its own handler reports (FaultReport) from the run's start on;
// before that, ending at once says as much.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx
#endif

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
    // RtlGetVersion is declared only in the driver kit's headers; every process
    // has ntdll loaded already.
    static SystemLibrary ntdll(L"ntdll.dll");
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = ntdll.function<RtlGetVersion>("RtlGetVersion");
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

// The caption of every error box: message 110, with the program's own name in
// place of ours when the packager branded it. Read once, when the first box is
// shown.
const WString& errorCaption()
{
    static const WString caption = [] {
        const ProgramNames names = programNames(runningModulePath());
        return errorBoxCaption(MessageTable::instance().text(MSG_ERROR_CAPTION),
                               brandedProgramName(names.productName, names.fileDescription));
    }();
    return caption;
}

// The box or the line on standard error; the exit code the report gives. When
// the shell cannot open the page the user asked for, a second box says why, and
// so does the trace.
int deliver(const ErrorReport& report, Trace& trace)
{
    if (report.target == ErrorTarget::Box && !report.openOnYes.empty()) {
        if (askInErrorBox(report.text, errorCaption())) {
            if (const unsigned long error = openWebAddress(report.openOnYes)) {
                const WString text = downloadPageFailureText(report.openOnYes, error, systemErrorText(error));
                trace.line(text);
                showErrorBox(text, errorCaption());
            }
        }
    } else if (report.target == ErrorTarget::Box) {
        showErrorBox(report.text, errorCaption());
    } else {
        writeErrorText(report.text);
    }
    return report.exitCode;
}

int reportError(const CommandLine& commandLine, Trace& trace, const WString& text, int messageId,
                const ErrorReport& report);

// The end of a second start of a single-instance application, its VM's windows
// brought to the front: the windowed launcher hands its arguments to the first
// launcher, for the application's listener (0 when the first launcher has
// them, kAlreadyRunningExitCode when they were not run); the console twin,
// whose caller waits for the work to be done, says on standard error that it
// ran nothing and ends with kAlreadyRunningExitCode.
int endSecondStart(const SingleInstance& instance, const Launcher& launcher, Trace& trace, Frontend frontend)
{
    const std::vector<WString> arguments(launcher.commandLine.arguments.begin() +
                                             (launcher.commandLine.arguments.empty() ? 0 : 1),
                                         launcher.commandLine.arguments.end());
    if (frontend == Frontend::Console) {
        const WString text = alreadyRunningText(applicationName(launcher.properties),
                                                fullPath(launcher.propertiesPath, ShortNames::Expand), arguments);
        trace.line(L"console twin: " + text);
        ErrorReport report = errorReport(frontend, text, 0);
        report.exitCode = kAlreadyRunningExitCode;
        return deliver(report, trace);
    }
    const HandOverResult result = instance.handArgumentsOver(arguments);
    trace.line(handOverText(result, arguments));
    return handOverExitCode(result);
}

// "-kwqelinstall NAME", "-kwqeluninstall NAME", "-kwqelstart NAME" and the
// other service commands: the console twin says what it did on standard
// output, the windowed launcher nothing; a failure is reported as an error and
// the exit code is its Windows error. "-kwqelstatus NAME" is no error whatever
// its code: the console twin prints the state line on standard output.
int runServiceCommandReported(const ServiceCommand& command, const CommandLine& commandLine, Trace& trace,
                              Frontend frontend)
{
    const ServiceCommandOutcome outcome = runServiceCommand(command, commandLine, trace, frontend);
    trace.line(L"service command: " + outcome.text);
    if (outcome.stateReport) {
        if (frontend == Frontend::Console) {
            writeStandardText(StandardStream::Output, outcome.text);
        }
        return static_cast<int>(outcome.error);
    }
    if (outcome.error == 0) {
        if (frontend == Frontend::Console) {
            writeStandardText(StandardStream::Output, outcome.text);
        }
        return 0;
    }
    ErrorReport report = errorReport(frontend, outcome.text, 0);
    report.exitCode = static_cast<int>(outcome.error);
    return deliver(report, trace);
}

int reportError(const CommandLine& commandLine, Trace& trace, Frontend frontend, const WString& text, int messageId);

int runGuarded(const CommandLine& commandLine, Trace& trace, Frontend frontend)
{
    if (const auto command = serviceCommandFrom(commandLine.arguments)) {
        return runServiceCommandReported(*command, commandLine, trace, frontend);
    }
    if (commandLine.serviceRequested) {
        // Returns when the service has stopped, or at once with 0 when the process
        // was started from a shell; a VM that ends on its own with another code
        // ends the process itself.
        return static_cast<int>(ServiceQEL::instance(commandLine, trace, frontend).serve());
    }
    trace.phase(L"settings");
    // The VM may run for hours: a log-off, shutdown or console close meanwhile
    // deletes the hand-off file too.
    Launcher launcher(commandLine, trace, frontend, {}, session_end::watch());
    // One instance at a time: a second start of the application starts no VM,
    // brings the first one's windows to the front and hands its arguments over
    // (endSecondStart). The run keeps its claim to its end: the first holds the
    // lock, and serves second starts, until it has ended and reported.
    if (singleInstance(launcher.properties)) {
        const SingleInstance& instance = SingleInstance::claim(launcher);
        if (!instance.isFirst()) {
            return endSecondStart(instance, launcher, trace, frontend);
        }
    }
    try {
        launcher.runToEnd();
    } catch (const TerminalError& error) {
        const WString downloadUrl = vmDownloadUrl(launcher.properties);
        if (error.messageId != MSG_NO_VM || downloadUrl.empty()) {
            // Reported here, while the single-instance lock is held: a second
            // start meanwhile brings this box to the front instead of starting anew.
            return reportError(commandLine, trace, frontend, error.message, error.messageId);
        }
        // The user without Java is offered the way to it; no VM will read the
        // hand-off file.
        launcher.discardHandoffFile();
        return reportError(
            commandLine, trace, error.message, MSG_NO_VM,
            noVmReport(frontend, error.message, MessageTable::instance().text(MSG_OFFER_DOWNLOAD), downloadUrl));
    } catch (const std::exception& error) {
        // Also reported while the lock is held.
        return reportError(commandLine, trace, frontend, unknownExceptionText(error.what()), 0);
    }
    trace.phase(L"end");
    if (trace.enabled()) {
        trace.line(L"exit code of the VM: " + std::to_wstring(launcher.exitCode));
    }
    pauseIfAsked(launcher);
    return static_cast<int>(launcher.exitCode);
}

// The one place where errors meet the user: a box or standard error (the
// report, made for the frontend), or, for a service the service manager
// started, its failure status and the event log. The run that failed has
// deleted its hand-off file: no VM runs that would read it.
int reportError(const CommandLine& commandLine, Trace& trace, const WString& text, int messageId,
                const ErrorReport& report)
{
    trace.line(L"error: " + text);
    trace.finish();
    if (commandLine.serviceRequested) {
        if (const auto exitCode =
                reportFailureToServiceManager(commandLine.serviceName, text, static_cast<std::uint32_t>(messageId))) {
            return static_cast<int>(*exitCode);
        }
    }
    return deliver(report, trace);
}

int reportError(const CommandLine& commandLine, Trace& trace, Frontend frontend, const WString& text, int messageId)
{
    return reportError(commandLine, trace, text, messageId, errorReport(frontend, text, messageId));
}

}  // namespace

int launcherMain(Frontend frontend)
{
    // The trace of this process's run: it records the command line before the
    // run begins and the error after it ended.
    Trace trace;
    startTraceFromEnvironment(trace);
    // A fault of the process (an exception that nothing handles, a crash in the
    // launcher or a library it called) ends it with a failure code, never 0,
    // and the trace says so.
    const FaultReport faults(trace);
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
