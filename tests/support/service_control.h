#pragma once

// Tests that drive the real service control manager: a service created for one
// test and removed after it, its status polled often with every change kept, its
// process and exit code, and the Application event log.
//
// How long a service lives under Wine: while the test program runs, nothing else
// is needed. When the last ordinary Wine process ends, a wineserver that is not
// persistent shuts down the service manager and kills the service process
// without a stop control; the persistent server that tools/with-wine.sh starts
// keeps both running after the test, so a service must be removed by the test
// (TestService does it) or it stays until the server is stopped.
//
// Wine's manager does not notice a service process that ends without reporting
// STOPPED: the service keeps its last status, and a deleted one keeps its name
// taken until its last handle is closed. Give each test's service a name of its
// own (uniqueServiceName).
//
// Wine carries out the calls on one service handle one at a time: a query on the
// handle that StartServiceW is using waits until StartServiceW returns. So the
// status is read through a handle of its own, and a test may poll while start()
// runs on another thread.

#include <windows.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "base/wstring.h"
#include "support/machine_guard.h"

namespace qel::test {

// A status as QueryServiceStatusEx reports it: current state, controls accepted,
// Win32 and service-specific exit codes, check point, wait hint, process id.
using ServiceStatus = SERVICE_STATUS_PROCESS;

// What ControlService did: whether it succeeded, GetLastError when it did not
// (0 when it did), and the status it filled in. After a failure the status means
// something only for some errors: under Wine, ERROR_SERVICE_CANNOT_ACCEPT_CTRL
// comes with the current status, ERROR_INVALID_SERVICE_CONTROL with garbage.
struct ControlResult {
    bool success = false;
    unsigned long error = 0;
    SERVICE_STATUS status{};
};

// base followed by a number unique to this test process and moment, so that a
// name left blocked by an earlier test is not reused.
WString uniqueServiceName(const WString& base);

// "STOPPED", "START_PENDING", ... for messages; the number for other values.
std::string serviceStateName(unsigned long state);
// The states joined with " -> ", for messages.
std::string serviceStateNames(const std::vector<unsigned long>& states);

// Safety net of the waits: long enough for a slow machine, short enough that a
// hanging service ends the test instead of the test runner's timeout.
inline constexpr unsigned long kServiceWaitMs = 30000;

// A service of the test: an own-process, demand-start service with the given
// command line. The destructor removes it, after stopping it when it runs.
class TestService {
public:
    // Opens the service control manager; throws std::runtime_error when it cannot.
    TestService();
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    // Creates the service: SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
    // binaryPathName as its command line (the quoted program and its arguments).
    // A service of that name left behind by an earlier run is removed first.
    // Returns 0, or CreateServiceW's error.
    [[nodiscard]] unsigned long create(const WString& name, const WString& binaryPathName);
    // Takes over the existing service name (one a program under test created):
    // the test drives it as its own, and the destructor removes it. Returns 0, or
    // OpenServiceW's error.
    [[nodiscard]] unsigned long open(const WString& name);
    // Lets go of the service without removing it, for a program under test that
    // removes it (a service is gone only once its last handle is closed).
    void release();

    // StartServiceW with these arguments (the manager puts the service name in
    // front of them). Returns 0, or StartServiceW's error.
    [[nodiscard]] unsigned long start(const std::vector<WString>& arguments = {});
    // When start() called StartServiceW and when it returned: FILETIME counts
    // (100 ns since 1601, GetSystemTimePreciseAsFileTime), for latency checks.
    unsigned long long startCalledAt() const { return startCalledAt_; }
    unsigned long long startReturnedAt() const { return startReturnedAt_; }

    // One QueryServiceStatusEx (on the query handle); throws std::runtime_error
    // when it fails.
    ServiceStatus status();
    // ControlService with the control code.
    ControlResult control(unsigned long code);

    // Polls the status every millisecond or so until condition holds for it;
    // false when timeoutMs (a safety net) passes first.
    bool waitFor(const std::function<bool(const ServiceStatus&)>& condition, unsigned long timeoutMs = kServiceWaitMs);
    bool waitForState(unsigned long state, unsigned long timeoutMs = kServiceWaitMs);
    // The status last read by status() or a wait.
    const ServiceStatus& lastStatus() const { return last_; }

    // Every distinct status that status() and the waits read, in order; a status
    // equal in every field to the one before is not repeated.
    const std::vector<ServiceStatus>& observed() const { return observed_; }
    // The current states of observed(), a state repeated in a row kept once.
    std::vector<unsigned long> observedStates() const;
    void clearObserved() { observed_.clear(); }

    // The service's process, opened with SYNCHRONIZE and
    // PROCESS_QUERY_LIMITED_INFORMATION from the process id of a fresh status;
    // empty when the status names no process or the process cannot be opened.
    UniqueHandle openProcess();

    // Stops the service when it is not stopped (ControlService; a process that
    // does not stop within the safety net is terminated; a process that has
    // already ended is left at that), deletes it, closes it and waits until the
    // manager no longer knows the name (a stopped service's process may hold the
    // service a moment longer). Does nothing when there is no service. Throws
    // std::runtime_error when DeleteService fails or the name stays.
    void remove();

    const WString& name() const { return name_; }
    SC_HANDLE manager() const { return manager_.get(); }
    SC_HANDLE handle() const { return service_.get(); }
    SC_HANDLE queryHandle() const { return query_.get(); }

private:
    void note(const ServiceStatus& status);

    UniqueServiceHandle manager_;
    UniqueServiceHandle service_;
    UniqueServiceHandle query_;
    WString name_;
    ServiceStatus last_{};
    std::vector<ServiceStatus> observed_;
    unsigned long long startCalledAt_ = 0;
    unsigned long long startReturnedAt_ = 0;
};

// Removes the named service when it exists, stopping it first (see remove()).
void removeServiceIfPresent(SC_HANDLE manager, const WString& name);

// A process opened with SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, enough
// to wait for it and read its exit code; empty when it cannot be opened.
UniqueHandle openProcessToWatch(unsigned long processId);
// Waits for the process to end and returns its exit code; none when it still
// runs after timeoutMs.
std::optional<unsigned long> waitForExitCode(HANDLE process, unsigned long timeoutMs = kServiceWaitMs);

// The FILETIME count of the present moment (GetSystemTimePreciseAsFileTime) and
// of a process's creation (GetProcessTimes; 0 when unreadable).
unsigned long long preciseNow();
unsigned long long processCreationTime(HANDLE process);

// --- The Application event log ------------------------------------------------

struct EventLogRecord {
    unsigned long recordNumber = 0;
    unsigned long timeWritten = 0;  // seconds since 1970
    unsigned long eventId = 0;
    unsigned short type = 0;  // EVENTLOG_ERROR_TYPE, ...
    unsigned short category = 0;
    WString source;
    WString computer;
    std::vector<WString> strings;
};

// What reading the log gave: 0 or OpenEventLogW's error; ReadEventLogW's error
// that ended the reading (ERROR_HANDLE_EOF at the end of the log, which is also
// what an empty log gives); GetNumberOfEventLogRecords' count (none when it
// failed); and the records found.
struct EventLogReading {
    unsigned long openError = 0;
    unsigned long readError = 0;
    std::optional<unsigned long> recordCount;
    std::vector<EventLogRecord> records;
};

// The newest records (at most count, newest first) of the Application log whose
// source is the given one (compared without regard to case), read backwards with
// OpenEventLogW(NULL, "Application") and ReadEventLogW.
EventLogReading newestEventLogRecords(const WString& source, std::size_t count);

// The records in a buffer that ReadEventLogW filled (EVENTLOGRECORD after
// EVENTLOGRECORD); a record that does not fit the buffer or whose offsets point
// outside it throws std::runtime_error.
std::vector<EventLogRecord> parseEventLogRecords(const void* data, std::size_t size);

}  // namespace qel::test
