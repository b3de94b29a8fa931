// Provokes a fault of its own process after it set up the launcher's fault
// report as the launcher's entry point does, for the tests that show what such
// a fault ends with (tests/e2e/fault_test.cpp):
//   fault access-violation | stack-overflow | thread-exception | noexcept-exception
// With no fault it ends with 0. The trace goes where QEL_TRACE names.

#include <stdexcept>
#include <string>
#include <thread>

#include "base/trace.h"
#include "driver/fault_report.h"

namespace {

// Never false; the compiler cannot know that.
volatile bool deeper = true;

// Each call takes a frame that the compiler cannot fold away.
int descend(int depth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    return deeper ? descend(depth + 1) + frame[0] : frame[0];
}

void throwing()
{
    throw std::runtime_error("out of a function that throws nothing");
}

// Called through a pointer the compiler cannot see through.
void (*volatile callee)() = throwing;

void throwsOutOfNoexcept() noexcept
{
    callee();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    qel::Trace trace;
    qel::startTraceFromEnvironment(trace);
    const qel::FaultReport faults(trace);
    const std::wstring fault = argc > 1 ? argv[1] : L"";
    if (fault == L"access-violation") {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    } else if (fault == L"stack-overflow") {
        return descend(0);
    } else if (fault == L"thread-exception") {
        std::thread([] { throw std::runtime_error("escaped its thread"); }).join();
    } else if (fault == L"noexcept-exception") {
        throwsOutOfNoexcept();
    }
    trace.line(L"no fault");
    return 0;
}
