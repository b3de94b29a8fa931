#pragma once

// A fault inside the launcher's own process: an exception that no part of the
// run handles (the C++ runtime then terminates), or a Windows exception that
// nothing handled (an access violation, a stack overflow), in the launcher's
// code or in a library it called. The process never ends with 0 then, which
// would read as success: it ends with kFaultExitCode, the exit code of any
// other failure, and the trace says what happened while it can still be
// written.

#include <cstdint>
#include <string_view>

#include "base/wstring.h"

namespace qel {

class Trace;

inline constexpr int kFaultExitCode = 1;

// The trace's line for a Windows exception that nothing handled: its code and
// address in hexadecimal ("Windows exception 0xC0000005 at 0x...").
WString unhandledExceptionText(std::uint32_t code, std::uintptr_t address);

// The trace's line for a C++ exception that nothing handled; what is the
// exception's what() text, empty when it has none.
WString unhandledCppExceptionText(std::string_view what);

// From its construction on, a fault ends the process with kFaultExitCode,
// after writing its line to the trace while the object lives (a trace that is
// not written gets none). After it, faults still end the process so.
class FaultReport {
public:
    explicit FaultReport(Trace& trace);
    ~FaultReport();
    FaultReport(const FaultReport&) = delete;
    FaultReport& operator=(const FaultReport&) = delete;
};

}  // namespace qel
