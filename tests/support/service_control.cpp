#include "service_control.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "test_files.h"

namespace qel::test {

namespace {

std::runtime_error failure(const std::string& what, DWORD error)
{
    return std::runtime_error(what + ", error " + std::to_string(error));
}

bool sameStatus(const ServiceStatus& a, const ServiceStatus& b)
{
    return a.dwServiceType == b.dwServiceType && a.dwCurrentState == b.dwCurrentState &&
           a.dwControlsAccepted == b.dwControlsAccepted && a.dwWin32ExitCode == b.dwWin32ExitCode &&
           a.dwServiceSpecificExitCode == b.dwServiceSpecificExitCode && a.dwCheckPoint == b.dwCheckPoint &&
           a.dwWaitHint == b.dwWaitHint && a.dwProcessId == b.dwProcessId && a.dwServiceFlags == b.dwServiceFlags;
}

std::optional<ServiceStatus> queryStatus(SC_HANDLE service)
{
    ServiceStatus status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                              &needed)) {
        return std::nullopt;
    }
    return status;
}

// Whether the service has reached STOPPED or its process has ended (which
// Wine's manager does not notice: the status then stays as it was).
bool stoppedOrGone(SC_HANDLE service, HANDLE process)
{
    const auto status = queryStatus(service);
    return !status || status->dwCurrentState == SERVICE_STOPPED ||
           (process != nullptr && WaitForSingleObject(process, 0) == WAIT_OBJECT_0);
}

bool stoppedOrGoneWithin(SC_HANDLE service, HANDLE process, ULONGLONG milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (!stoppedOrGone(service, process)) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(5);
    }
    return true;
}

// Stops the service when it is not stopped: the stop control, then, when the
// service does not stop, its process terminated. A process that has ended
// already is left at that.
void stopService(SC_HANDLE service)
{
    const auto status = queryStatus(service);
    if (!status || status->dwCurrentState == SERVICE_STOPPED) {
        return;
    }
    UniqueHandle process(
        status->dwProcessId == 0 ? nullptr : OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status->dwProcessId));
    if (status->dwProcessId != 0 && (!process || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0)) {
        return;
    }
    SERVICE_STATUS controlStatus{};
    const bool stopping = ControlService(service, SERVICE_CONTROL_STOP, &controlStatus) != FALSE;
    if (!process || (stopping && stoppedOrGoneWithin(service, process.get(), kServiceWaitMs / 3))) {
        return;
    }
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), kServiceWaitMs / 3);
}

// Stops and deletes the service, closes the handle and waits until the manager
// has let the service go: a stopped service's process may still hold it a moment.
// A service that someone else deleted already is left to them.
void stopAndDelete(SC_HANDLE manager, UniqueServiceHandle service, const WString& name)
{
    stopService(service.get());
    if (!DeleteService(service.get())) {
        if (GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE) {
            return;
        }
        throw failure("cannot delete the service " + narrow(name), GetLastError());
    }
    service.reset();
    const ULONGLONG deadline = GetTickCount64() + kServiceWaitMs / 3;
    for (;;) {
        UniqueServiceHandle left(OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS));
        if (!left && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            return;
        }
        if (GetTickCount64() >= deadline) {
            throw failure("the deleted service " + narrow(name) + " is still there", GetLastError());
        }
        Sleep(5);
    }
}

}  // namespace

WString uniqueServiceName(const WString& base)
{
    static unsigned counter = 0;
    return base + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(GetTickCount64() % 1000000) + L"x" +
           std::to_wstring(++counter);
}

std::string serviceStateName(unsigned long state)
{
    switch (state) {
    case SERVICE_STOPPED:
        return "STOPPED";
    case SERVICE_START_PENDING:
        return "START_PENDING";
    case SERVICE_STOP_PENDING:
        return "STOP_PENDING";
    case SERVICE_RUNNING:
        return "RUNNING";
    case SERVICE_CONTINUE_PENDING:
        return "CONTINUE_PENDING";
    case SERVICE_PAUSE_PENDING:
        return "PAUSE_PENDING";
    case SERVICE_PAUSED:
        return "PAUSED";
    default:
        return std::to_string(state);
    }
}

std::string serviceStateNames(const std::vector<unsigned long>& states)
{
    std::string text;
    for (const unsigned long state : states) {
        text += (text.empty() ? "" : " -> ") + serviceStateName(state);
    }
    return text;
}

TestService::TestService()
{
    // A test that must not change the machine skips before it uses the manager;
    // on a contributor's Windows without elevation it could not be opened.
    if (!machineMayChange()) {
        return;
    }
    manager_.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager_) {
        throw failure("cannot open the service control manager", GetLastError());
    }
}

TestService::~TestService()
{
    try {
        remove();
    } catch (const std::exception& error) {
        ADD_FAILURE() << error.what();
    }
}

unsigned long TestService::create(const WString& name, const WString& binaryPathName)
{
    requireMachineMayChange("register a service");
    remove();
    removeServiceIfPresent(manager_.get(), name);
    service_.reset(CreateServiceW(manager_.get(), name.c_str(), nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                  SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, binaryPathName.c_str(), nullptr, nullptr,
                                  nullptr, nullptr, nullptr));
    if (!service_) {
        return GetLastError();
    }
    query_.reset(OpenServiceW(manager_.get(), name.c_str(), SERVICE_QUERY_STATUS));
    if (!query_) {
        const DWORD error = GetLastError();
        DeleteService(service_.get());
        service_.reset();
        return error;
    }
    name_ = name;
    return ERROR_SUCCESS;
}

unsigned long TestService::open(const WString& name)
{
    requireMachineMayChange("take over a service");
    remove();
    service_.reset(OpenServiceW(manager_.get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!service_) {
        return GetLastError();
    }
    query_.reset(OpenServiceW(manager_.get(), name.c_str(), SERVICE_QUERY_STATUS));
    if (!query_) {
        service_.reset();
        return GetLastError();
    }
    name_ = name;
    return ERROR_SUCCESS;
}

void TestService::release()
{
    query_.reset();
    service_.reset();
    name_.clear();
}

unsigned long TestService::start(const std::vector<WString>& arguments)
{
    std::vector<const wchar_t*> pointers;
    for (const WString& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    startCalledAt_ = preciseNow();
    const BOOL started = StartServiceW(service_.get(), static_cast<DWORD>(pointers.size()),
                                       pointers.empty() ? nullptr : pointers.data());
    const DWORD error = started ? ERROR_SUCCESS : GetLastError();
    startReturnedAt_ = preciseNow();
    return error;
}

ServiceStatus TestService::status()
{
    const auto status = queryStatus(query_.get());
    if (!status) {
        throw failure("cannot query the service " + narrow(name_), GetLastError());
    }
    note(*status);
    return *status;
}

ControlResult TestService::control(unsigned long code)
{
    ControlResult result;
    result.success = ControlService(service_.get(), code, &result.status) != FALSE;
    result.error = result.success ? ERROR_SUCCESS : GetLastError();
    return result;
}

bool TestService::waitFor(const std::function<bool(const ServiceStatus&)>& condition, unsigned long timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition(status())) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(1);
    }
}

bool TestService::waitForState(unsigned long state, unsigned long timeoutMs)
{
    return waitFor([state](const ServiceStatus& status) { return status.dwCurrentState == state; }, timeoutMs);
}

std::vector<unsigned long> TestService::observedStates() const
{
    std::vector<unsigned long> states;
    for (const ServiceStatus& status : observed_) {
        if (states.empty() || states.back() != status.dwCurrentState) {
            states.push_back(status.dwCurrentState);
        }
    }
    return states;
}

UniqueHandle TestService::openProcess()
{
    const ServiceStatus now = status();
    return now.dwProcessId == 0 ? UniqueHandle() : openProcessToWatch(now.dwProcessId);
}

void TestService::remove()
{
    if (!service_) {
        return;
    }
    query_.reset();
    stopAndDelete(manager_.get(), std::move(service_), name_);
}

void TestService::note(const ServiceStatus& status)
{
    last_ = status;
    if (observed_.empty() || !sameStatus(observed_.back(), status)) {
        observed_.push_back(status);
    }
}

void removeServiceIfPresent(SC_HANDLE manager, const WString& name)
{
    requireMachineMayChange("remove a service");
    UniqueServiceHandle service(OpenServiceW(manager, name.c_str(), SERVICE_ALL_ACCESS));
    if (service) {
        stopAndDelete(manager, std::move(service), name);
    }
}

UniqueHandle openProcessToWatch(unsigned long processId)
{
    return UniqueHandle(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
}

std::optional<unsigned long> waitForExitCode(HANDLE process, unsigned long timeoutMs)
{
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) {
        throw failure("cannot read the exit code of a process", GetLastError());
    }
    return code;
}

unsigned long long preciseNow()
{
    FILETIME time{};
    GetSystemTimePreciseAsFileTime(&time);
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

unsigned long long processCreationTime(HANDLE process)
{
    FILETIME creation{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &creation, &exited, &kernel, &user)) {
        return 0;
    }
    return (static_cast<unsigned long long>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
}

// --- The Application event log ------------------------------------------------

std::vector<EventLogRecord> parseEventLogRecords(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    // The text of the record that starts at offset and ends before end: UTF-16
    // units up to a terminator.
    const auto textAt = [bytes](std::size_t offset, std::size_t end, std::size_t& next) {
        WString text;
        for (std::size_t at = offset;; at += sizeof(wchar_t)) {
            if (at + sizeof(wchar_t) > end) {
                throw std::runtime_error("event log record: a text without its terminator");
            }
            wchar_t unit = 0;
            std::memcpy(&unit, bytes + at, sizeof unit);
            if (unit == L'\0') {
                next = at + sizeof(wchar_t);
                return text;
            }
            text.push_back(unit);
        }
    };
    std::vector<EventLogRecord> records;
    std::size_t offset = 0;
    while (offset < size) {
        EVENTLOGRECORD header;
        if (size - offset < sizeof header) {
            throw std::runtime_error("event log record: a header cut short");
        }
        std::memcpy(&header, bytes + offset, sizeof header);
        if (header.Length < sizeof header || header.Length > size - offset || header.Reserved != 0x654c664c) {
            throw std::runtime_error("event log record: a bad length or signature");
        }
        const std::size_t end = offset + header.Length;
        EventLogRecord record;
        record.recordNumber = header.RecordNumber;
        record.timeWritten = header.TimeWritten;
        record.eventId = header.EventID;
        record.type = header.EventType;
        record.category = header.EventCategory;
        std::size_t next = 0;
        record.source = textAt(offset + sizeof header, end, next);
        record.computer = textAt(next, end, next);
        if (header.NumStrings > 0 && (header.StringOffset < sizeof header || header.StringOffset >= header.Length)) {
            throw std::runtime_error("event log record: strings outside the record");
        }
        next = offset + header.StringOffset;
        for (WORD i = 0; i < header.NumStrings; ++i) {
            record.strings.push_back(textAt(next, end, next));
        }
        records.push_back(std::move(record));
        offset = end;
    }
    return records;
}

EventLogReading newestEventLogRecords(const WString& source, std::size_t count)
{
    EventLogReading reading;
    HANDLE log = OpenEventLogW(nullptr, L"Application");
    if (log == nullptr) {
        reading.openError = GetLastError();
        return reading;
    }
    DWORD total = 0;
    if (GetNumberOfEventLogRecords(log, &total)) {
        reading.recordCount = total;
    }
    std::vector<unsigned char> buffer(64 * 1024);
    while (reading.records.size() < count) {
        DWORD read = 0;
        DWORD needed = 0;
        if (!ReadEventLogW(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ, 0, buffer.data(),
                           static_cast<DWORD>(buffer.size()), &read, &needed)) {
            const DWORD error = GetLastError();
            if (error == ERROR_INSUFFICIENT_BUFFER && needed > buffer.size()) {
                buffer.resize(needed);
                continue;
            }
            reading.readError = error;
            break;
        }
        for (EventLogRecord& record : parseEventLogRecords(buffer.data(), read)) {
            if (reading.records.size() < count &&
                CompareStringOrdinal(record.source.c_str(), -1, source.c_str(), -1, TRUE) == CSTR_EQUAL) {
                reading.records.push_back(std::move(record));
            }
        }
    }
    CloseEventLog(log);
    return reading;
}

}  // namespace qel::test
