#pragma once

// Starting the VM process as its plan says, and waiting for it (Windows).

#include <windows.h>

#include <cstdint>

#include "base/handles.h"
#include "base/trace.h"
#include "launch/launch_plan.h"

namespace qel {

// Carries out the rest of the plan once its hand-off lines and warnings are
// written: sets its environment, writes the "cwd:" and "cmd:" lines to standard
// error (and the trace), and starts the command line in its working directory with the
// launcher's standard handles (standard input the stop pipe where the plan says
// so, standard output and error the given pipes when there are) and environment. A refusal is thrown as TerminalError with its message;
// so is a process that cannot be created (message 103 with the Windows error).
UniqueHandle startPlannedVm(const LaunchPlan& plan, Trace& trace, HANDLE stopPipe = nullptr, HANDLE outputPipe = nullptr,
                           HANDLE errorPipe = nullptr);

// The absolute form of a working directory, whatever its length; the text as
// given when the system cannot make one.
WString fullWorkingDirectory(const WString& path);

// Waits for the process to end and gives its exit code (0 when it cannot be read).
std::uint32_t waitForExit(HANDLE process);

}  // namespace qel
