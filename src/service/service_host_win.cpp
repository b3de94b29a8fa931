#include <windows.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "base/errors.h"
#include "base/handles.h"
#include "base/message_ids.h"
#include "base/messages.h"
#include "base/processes.h"
#include "base/text.h"
#include "base/trace.h"
#include "launch/launch_plan.h"
#include "settings/settings.h"
#include "service/service_command.h"
#include "service/service_events_win.h"
#include "service/service_host_win.h"
#include "service/service_logs_win.h"

namespace qel {

namespace {

// The one service object; the callbacks Windows calls reach it through this.
ServiceQEL* theService = nullptr;

SERVICE_STATUS toWindows(const ServiceStatus& status)
{
    return SERVICE_STATUS{status.serviceType,
                          status.currentState,
                          status.controlsAccepted,
                          status.win32ExitCode,
                          status.serviceSpecificExitCode,
                          status.checkPoint,
                          status.waitHint};
}

// Reports a status to the service manager; its answer is not checked.
void reportStatus(SERVICE_STATUS_HANDLE handle, const ServiceStatus& status)
{
    SERVICE_STATUS windows = toWindows(status);
    SetServiceStatus(handle, &windows);
}

// Milliseconds on the performance counter: the stop timeout is counted from the
// stop to the millisecond, where the tick count may lag by a tick (up to 16 ms).
std::uint64_t nowMs()
{
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    const auto count = static_cast<std::uint64_t>(counter.QuadPart);
    return count / perSecond * 1000 + count % perSecond * 1000 / perSecond;
}

DWORD WINAPI serviceControlHandler(DWORD control, DWORD, void*, void*)
{
    return theService->lifecycle.control(control, nowMs()).result;
}

BOOL WINAPI consoleControlHandler(DWORD event)
{
    return ignoreConsoleEvent(event) ? TRUE : FALSE;
}

// The runner thread: starts the VM without waiting, then waits for it.
// With a stop timeout, the VM's standard input is a pipe whose write end the
// service keeps: the stop line goes there.
UniqueHandle prepareStopInput(ServiceQEL& service)
{
    const std::uint32_t timeout = serviceStopTimeoutMs(service.properties);
    service.lifecycle.setStopTimeout(timeout);
    if (timeout == 0) {
        return UniqueHandle();
    }
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inheritable, 0)) {
        service.lifecycle.stopInputUnavailable(GetLastError());
        return UniqueHandle();
    }
    SetHandleInformation(write, HANDLE_FLAG_INHERIT, 0);
    service.stopInput = write;  // closed when the stop line is written
    // The VM gets the read end as its standard input.
    service.stopPipe = read;
    service.extraHandoffLines = gracefulStopHandoffLines();
    return UniqueHandle(read);
}

void askVmToStop(ServiceQEL& service)
{
    HANDLE input = service.stopInput;
    service.stopInput = nullptr;
    if (input == nullptr) {
        return;
    }
    const std::string line = std::string(kStopLine) + "\r\n";
    DWORD written = 0;
    WriteFile(input, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(input);
}

// With a log directory, the VM's standard output and error go through pipes
// into the service's logs; a directory that cannot be written fails the start,
// and so does a size or count of the logs that the service does not take, as
// installing it does.
void prepareLogs(ServiceQEL& service)
{
    if (const auto key = refusedServiceLogKey(service.properties)) {
        throw TerminalError(invalidServiceLogText(MessageTable::instance().text(MSG_PROPERTIES_INVALID), *key),
                            MSG_PROPERTIES_INVALID);
    }
    const WString directory = serviceLogDirectory(service.properties);
    if (directory.empty()) {
        return;
    }
    const WString serviceName = service.commandLine.serviceName;
    service.logs = std::make_unique<ServiceLogs>(
        directory, serviceName, static_cast<std::uint64_t>(*serviceLogSize(service.properties)),
        *serviceLogKeep(service.properties),
        [serviceName](const WString& text) { writeServiceEvent(serviceName, warningEvent(text)); });
    service.outputPipe = service.logs->outputForVm();
    service.errorPipe = service.logs->errorForVm();
    if (service.trace.enabled()) {
        service.trace.line(L"service logs: " + service.logs->directory());
    }
}

// How long the logs wait for the VM's streams to end after the VM has ended: a
// process the VM started may hold them open.
constexpr std::uint32_t kLogDrainMs = 5000;

void runService(ServiceQEL& service)
{
    try {
        // The VM has its copy of the read end once it runs.
        const UniqueHandle stopInputReadEnd = prepareStopInput(service);
        prepareLogs(service);
        service.start();
        service.stopPipe = nullptr;
        if (service.logs) {
            service.outputPipe = nullptr;
            service.errorPipe = nullptr;
            service.logs->vmStarted();
        }
    } catch (const TerminalError& error) {
        service.discardHandoffFile();
        writeServiceEvent(service.commandLine.serviceName,
                          startFailedEvent(static_cast<std::uint32_t>(error.messageId), error.message));
        service.lifecycle.launchFailed(static_cast<std::uint32_t>(error.messageId));
        return;
    } catch (const std::exception& error) {
        service.discardHandoffFile();
        writeServiceEvent(service.commandLine.serviceName, startFailedEvent(0, unknownExceptionText(error.what())));
        service.lifecycle.launchFailed(0);
        return;
    }
    // The handle stays open until the process ends.
    HANDLE vm = service.process.get();
    writeServiceEvent(service.commandLine.serviceName, serviceStartedEvent(GetProcessId(vm)));
    service.lifecycle.vmStarted();
    // After a stop the waits end at the stop's own report times and timeout.
    while (WaitForSingleObject(vm, service.lifecycle.nextWaitMs(nowMs())) == WAIT_TIMEOUT) {
        service.lifecycle.stopWaited(nowMs());
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(vm, &exitCode);
    // Everything the VM wrote is in its logs before the service ends.
    if (service.logs) {
        service.logs->finish(kLogDrainMs);
    }
    // Before the end is decided: the process may end as soon as it is.
    service.discardHandoffFile();
    service.lifecycle.vmEnded(exitCode);
}

void WINAPI serviceMain(DWORD, LPWSTR*)
{
    ServiceQEL& service = *theService;
    SetConsoleCtrlHandler(consoleControlHandler, TRUE);
    SetLastError(0);
    // The extended handler answers each control with a result, so a control the
    // service does not implement is answered as such.
    service.statusHandle =
        RegisterServiceCtrlHandlerExW(service.commandLine.serviceName.c_str(), serviceControlHandler, nullptr);
    service.lifecycle.starting();
    std::thread runner(runService, std::ref(service));
    const ServiceEnd end = service.lifecycle.awaitEnd();
    // The runner returns as soon as it has decided the end.
    runner.join();
    if (end.endProcess) {
        ExitProcess(end.exitCode);
    }
    // Stopped by the service manager: the dispatcher returns in the main thread.
}

// A service whose start failed before it ran: it reports STOPPED with the
// failure's code through the same lifecycle as a running service.
struct FailedStart {
    FailedStart(WString serviceName, WString text) : serviceName(std::move(serviceName)), text(std::move(text)) {}

    WString serviceName;
    WString text;
    SERVICE_STATUS_HANDLE handle = nullptr;
    std::uint32_t messageId = 0;
    ServiceLifecycle lifecycle{ServiceLifecycle::Effects{
        [this](const ServiceStatus& status) { reportStatus(handle, status); }, [] {},  // no VM was started
        [] {}, [](const WString&) {},  // its failure is logged already
        [](const ServiceEnd&) {},  // no VM ended
    }};
};
FailedStart* failedStart = nullptr;

DWORD WINAPI failedControlHandler(DWORD control, DWORD, void*, void*)
{
    return failedStart->lifecycle.control(control).result;
}

void WINAPI failedServiceMain(DWORD, LPWSTR*)
{
    failedStart->handle = RegisterServiceCtrlHandlerExW(failedStart->serviceName.c_str(), failedControlHandler, nullptr);
    writeServiceEvent(failedStart->serviceName, startFailedEvent(failedStart->messageId, failedStart->text));
    failedStart->lifecycle.launchFailed(failedStart->messageId);
}

// Whether the service manager started this process: its parent is the service
// manager's program. Asked before connecting, because a process started from a
// shell may wait a long time for a connection that never comes.
bool startedByServiceManager()
{
    const std::vector<ProcessEntry> processes = runningProcesses();
    const auto byId = [&](std::uint32_t id) {
        return std::find_if(processes.begin(), processes.end(),
                            [id](const ProcessEntry& process) { return process.processId == id; });
    };
    const auto self = byId(GetCurrentProcessId());
    if (self == processes.end() || self->parentId == 0) {
        return false;
    }
    const auto parent = byId(self->parentId);
    return parent != processes.end() && isServiceManagerImage(parent->image);
}

// The arguments for the application that installing stored in the service's
// own key; empty when it stored none. A key that is there but cannot be read
// fails the start: the application never runs without the arguments it was
// installed with.
WString storedArguments(const WString& serviceName)
{
    const WString path = serviceParametersKeyPath(serviceName);
    const WString value(kArgumentsValue);
    std::vector<wchar_t> text(1, L'\0');
    LSTATUS status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) {
        DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(),
                              &bytes);
        if (status == ERROR_MORE_DATA) {
            text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        }
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        return WString();
    }
    if (status != ERROR_SUCCESS) {
        const LaunchRefusal refusal{MSG_VM_START_FAILED, static_cast<std::uint32_t>(status),
                                    L"The service's arguments for the application cannot be read from "
                                    L"HKEY_LOCAL_MACHINE\\" +
                                        path + L" (" + value + L")"};
        throw TerminalError(refusalText(refusal, MessageTable::instance().text(MSG_VM_START_FAILED)),
                            MSG_VM_START_FAILED);
    }
    return WString(text.data());
}

}  // namespace

ServiceQEL::ServiceQEL(const CommandLine& commandLine, Trace& trace, Frontend frontend)
    : Launcher(commandLine, trace, frontend), lifecycle(ServiceLifecycle::Effects{
                                           [this](const ServiceStatus& status) {
                                               reportStatus(static_cast<SERVICE_STATUS_HANDLE>(statusHandle), status);
                                           },
                                           [this] {
                                               if (process) {
                                                   TerminateProcess(process.get(), 0);
                                               }
                                           },
                                           [this] { askVmToStop(*this); },
                                           [this](const WString& text) {
                                               writeServiceEvent(this->commandLine.serviceName, warningEvent(text));
                                               this->trace.line(L"warning: " + text);
                                           },
                                           [this](const ServiceEnd& end) {
                                               writeServiceEvent(this->commandLine.serviceName,
                                                                 serviceEndedEvent(end));
                                           },
                                       })
{}

ServiceQEL::~ServiceQEL() = default;

ServiceQEL& ServiceQEL::instance(const CommandLine& commandLine, Trace& trace, Frontend frontend)
{
    if (theService == nullptr) {
        const WString arguments = storedArguments(commandLine.serviceName);
        if (!arguments.empty()) {
            trace.line(L"the arguments stored for the application: " + arguments);
        }
        // never destroyed
        theService = new ServiceQEL(withStoredArguments(commandLine, arguments), trace, frontend);
    }
    return *theService;
}

std::uint32_t ServiceQEL::serve()
{
    // From a shell there is no service manager to connect to: nothing starts.
    if (!startedByServiceManager()) {
        return 0;
    }
    WString name = dispatchTableName(commandLine.serviceName);
    const SERVICE_TABLE_ENTRYW table[] = {{name.data(), serviceMain}, {nullptr, nullptr}};
    StartServiceCtrlDispatcherW(table);
    // The dispatcher returns once STOPPED is reported, also when a failed launch
    // reported it and is about to end the process with its code on another
    // thread: the process ends here with that same code.
    return lifecycle.awaitEnd().exitCode;
}

std::optional<std::uint32_t> reportFailureToServiceManager(const WString& serviceName, const WString& text,
                                                           std::uint32_t messageId)
{
    if (!startedByServiceManager()) {
        return std::nullopt;
    }
    failedStart = new FailedStart(serviceName, text);  // lives until the process ends
    failedStart->messageId = messageId;
    WString name = dispatchTableName(serviceName);
    const SERVICE_TABLE_ENTRYW table[] = {{name.data(), failedServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        return std::nullopt;
    }
    return failureCode(messageId);
}

}  // namespace qel
