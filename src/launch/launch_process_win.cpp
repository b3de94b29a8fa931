// Starting the VM process and waiting for it.

#include <windows.h>

#include "base/errors.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/system_text.h"
#include "base/trace.h"
#include "launch/console.h"
#include "launch/console_rules.h"
#include "launch/process_texts.h"
#include "launch/launch_process.h"
#include "launch/launch_request.h"
#include "vm/executable_info.h"

namespace qel {

namespace {

// The absolute form of a working directory, whatever its length; the text as
// given when the system cannot make one.
WString fullWorkingDirectory(const WString& path)
{
    return readGrowingText([&](wchar_t* buffer, DWORD capacity) {
               return GetFullPathNameW(path.c_str(), capacity, buffer, nullptr);
           })
        .value_or(path);
}

}  // namespace

void* startVmProcess(const LaunchRequest& request, const WString& commandLine)
{
    // The VM inherits the launcher's show-window state, desktop and title.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    // The C runtime's private table of inherited descriptors belongs to the
    // launcher's own start; the VM's runtime must not adopt it.
    startup.cbReserved2 = 0;
    startup.lpReserved2 = nullptr;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    // Read now: after a console was allocated these are the console's.
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);

    const WString workingDirectory = fullWorkingDirectory(request.workingDir);
    writeDiagnostic(workingDirectoryLine(workingDirectory));
    writeDiagnostic(commandLineLine(commandLine));
    Trace& trace = Trace::instance();
    if (trace.enabled()) {
        trace.line(L"working directory: " + workingDirectory);
        trace.line(L"command line: " + commandLine);
    }

    // A directory the system cannot hold whole is refused with the error Windows
    // gives for it, before anything starts: handed over anyway, it may be cut and
    // the VM started somewhere else.
    if (!fitsProcessDirectory(workingDirectory)) {
        throw TerminalError(formatStartFailure(MessageTable::instance().text(MSG_VM_START_FAILED), ERROR_DIRECTORY),
                            MSG_VM_START_FAILED);
    }

    // Longer, it would reach the VM cut short: without its main class or the
    // application's arguments.
    if (!fitsCommandLine(commandLine)) {
        trace.line(commandLineTooLongText(commandLine.size()));
        throw TerminalError(
            formatStartFailure(MessageTable::instance().text(MSG_VM_START_FAILED), ERROR_FILENAME_EXCED_RANGE) +
                L"\n\n" + commandLineTooLongText(commandLine.size()),
            MSG_VM_START_FAILED);
    }

    WString line = commandLine;  // CreateProcessW may write into it
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &info)) {
        const DWORD error = GetLastError();
        trace.line(L"the VM process cannot be created: Windows error " + std::to_wstring(error));
        throw TerminalError(formatStartFailure(MessageTable::instance().text(MSG_VM_START_FAILED), error),
                            MSG_VM_START_FAILED);
    }
    const UniqueHandle thread(info.hThread);
    // The process handle stays open for the rest of the launcher's life: the wait
    // and the service host use it.
    return info.hProcess;
}

void* launchVm(const JavaVm& vm, const WString& executable, LaunchRequest request)
{
    if (vm.family == VmFamily::Msj) {
        if (!msvmBuildAccepted(msvmBuildNumber(vm.home), request.msvmMinVersion)) {
            throw TerminalError(MessageTable::instance().text(MSG_NO_VM), MSG_NO_VM);
        }
        // The Microsoft VM also reads its class path from the environment it
        // inherits: without it, it would start without the application.
        if (!SetEnvironmentVariableW(L"CLASSPATH", request.classPath.join().c_str())) {
            const DWORD error = GetLastError();
            Trace::instance().line(L"CLASSPATH cannot be set: Windows error " + std::to_wstring(error));
            throw TerminalError(formatStartFailure(MessageTable::instance().text(MSG_VM_START_FAILED), error),
                                MSG_VM_START_FAILED);
        }
    }
    for (const WString& warning : leaveOutRefusedOptions(vm, request)) {
        writeDiagnostic(warning);
    }
    const WString commandLine = renderCommandLine(vm.family, executable, vm.home, request);
    return startVmProcess(request, commandLine);
}

std::uint32_t waitForExit(void* process)
{
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    // A failed read keeps 0.
    if (!GetExitCodeProcess(process, &code)) {
        return 0;
    }
    return code;
}

}  // namespace qel
