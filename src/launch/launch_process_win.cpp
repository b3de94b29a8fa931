// Starting the VM process and waiting for it.

#include <windows.h>

#include "base/errors.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/system_text.h"
#include "base/trace.h"
#include "launch/console.h"
#include "launch/launch_process.h"
#include "launch/process_texts.h"

namespace qel {

namespace {

[[noreturn]] void refuse(const LaunchRefusal& refusal)
{
    throw TerminalError(refusalText(refusal, MessageTable::instance().text(refusal.messageId)), refusal.messageId);
}

[[noreturn]] void failStart(DWORD error)
{
    refuse(LaunchRefusal{MSG_VM_START_FAILED, error, {}});
}

}  // namespace

WString fullWorkingDirectory(const WString& path)
{
    return readGrowingText([&](wchar_t* buffer, DWORD capacity) {
               return GetFullPathNameW(path.c_str(), capacity, buffer, nullptr);
           })
        .value_or(path);
}

UniqueHandle startPlannedVm(const LaunchPlan& plan, Trace& trace, HANDLE stopPipe, HANDLE outputPipe, HANDLE errorPipe)
{
    if (plan.commandLine.empty()) {
        refuse(plan.refusal.value());
    }
    for (const EnvironmentChange& change : plan.environment) {
        if (!SetEnvironmentVariableW(change.name.c_str(), change.value.c_str())) {
            const DWORD error = GetLastError();
            trace.line(change.name + L" cannot be set: " + windowsErrorText(error, systemErrorText(error)));
            failStart(error);
        }
    }

    writeDiagnostic(workingDirectoryLine(plan.workingDirectory));
    writeDiagnostic(commandLineLine(plan.commandLine));
    if (trace.enabled()) {
        trace.line(L"working directory: " + plan.workingDirectory);
        trace.line(L"command line: " + plan.commandLine);
    }
    if (plan.refusal) {
        if (!plan.refusal->detail.empty()) {
            trace.line(plan.refusal->detail);
        }
        refuse(*plan.refusal);
    }

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
    startup.hStdInput = plan.input == VmInput::StopPipe ? stopPipe : GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outputPipe != nullptr ? outputPipe : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = errorPipe != nullptr ? errorPipe : GetStdHandle(STD_ERROR_HANDLE);

    WString line = plan.commandLine;  // CreateProcessW may write into it
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        plan.workingDirectory.empty() ? nullptr : plan.workingDirectory.c_str(), &startup, &info)) {
        const DWORD error = GetLastError();
        trace.line(L"the VM process cannot be created from " + plan.program + L": " +
                   windowsErrorText(error, systemErrorText(error)));
        failStart(error);
    }
    const UniqueHandle thread(info.hThread);
    return UniqueHandle(info.hProcess);
}

std::uint32_t waitForExit(HANDLE process)
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
