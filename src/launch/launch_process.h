#pragma once

// Starting the VM process and waiting for it (Windows).

#include <cstdint>

#include "base/wstring.h"
#include "launch/launch_request.h"
#include "vm/java_vm.h"

namespace qel {

// Starts the command line with the request's working directory (its absolute
// form, whatever its length), the launcher's standard handles and environment,
// after writing the "cwd:" and "cmd:" lines to standard error. Returns the
// process handle; throws TerminalError with message 103 and the Windows error
// code when the process cannot be created.
void* startVmProcess(const LaunchRequest& request, const WString& commandLine);

// The family's command line from the request, then startVmProcess. The Microsoft
// VM is refused with message 101 when its build is below the request's minimum,
// and otherwise also gets the class path in the CLASSPATH variable. Options the
// VM would refuse are left out with a line on standard error
// (leaveOutRefusedOptions).
void* launchVm(const JavaVm& vm, const WString& executable, LaunchRequest request);

// Waits for the process to end and gives its exit code (0 when it cannot be read).
std::uint32_t waitForExit(void* process);

// Whether the Ctrl key is held down at this moment.
bool controlKeyDownNow();

// Writes a diagnostic line to the launcher's standard error handle, whole: to a
// console as Unicode, to a file or pipe as UTF-8, each line ended by CR LF.
void writeDiagnostic(const WString& text);

// Reads from the launcher's standard input until the user presses Enter (one
// character of a file or pipe); returns at once without standard input.
void waitForEnter();

}  // namespace qel
