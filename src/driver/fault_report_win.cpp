#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <string>

#include "base/trace.h"
#include "driver/fault_report.h"

namespace qel {

namespace {

// The run's trace, for the handlers: they run where no caller can lend it.
std::atomic<Trace*> faultTrace{nullptr};

// Writes the line where the trace is written, then ends the process at once:
// after a fault no destructor, library detach or exit handler is trusted to
// run (a lock the failed thread held would hold them up for ever), and the
// trace's lines are in its file as soon as they are written.
[[noreturn]] void endOnFault(const WString& text)
{
    if (Trace* trace = faultTrace.load()) {
        if (trace->enabled()) {
            trace->line(text);
        }
    }
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kFaultExitCode));
    // TerminateProcess does not return for the calling process itself.
    std::abort();
}

LONG WINAPI unhandledException(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
    endOnFault(unhandledExceptionText(record != nullptr ? record->ExceptionCode : 0,
                                      record != nullptr ? reinterpret_cast<std::uintptr_t>(record->ExceptionAddress)
                                                        : 0));
}

void terminated()
{
    std::string what;
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& error) {
            what = error.what();
        } catch (...) {
            // An exception of no standard type: nothing to name.
        }
    }
    endOnFault(unhandledCppExceptionText(what));
}

}  // namespace

FaultReport::FaultReport(Trace& trace)
{
    faultTrace.store(&trace);
    std::set_terminate(terminated);
    SetUnhandledExceptionFilter(unhandledException);
}

FaultReport::~FaultReport()
{
    faultTrace.store(nullptr);
}

}  // namespace qel
