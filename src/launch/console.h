#pragma once

#include <functional>

#include "base/wstring.h"

namespace qel {

// The console of a run: one the launcher opened for it, or, in the console twin,
// the console of the program that started the launcher. The console decides
// which VM program starts (console or windowed) and whether the run may end with
// the "press enter" pause.
class Console {
public:
    // The launcher opened a console window of its own.
    bool isAllocated() const { return allocated_; }

    // The run uses a console, its own or its caller's: the VM's console program
    // starts.
    bool isInUse() const { return allocated_ || callers_; }

    // The run stays in its caller's console.
    bool isCallers() const { return callers_; }

    // Allocates a console the first time and binds the standard streams to it;
    // later calls do nothing.
    void allocate();

    // The run stays in the console it was started in: nothing is opened, and the
    // standard streams and handles stay as the caller gave them.
    void useCallers() { callers_ = true; }

    // From now on Ctrl+C and Ctrl+Break do not end the launcher (see
    // outlivesConsoleEvent); they reach the VM, which shares the console, and
    // the launcher goes on waiting for it. The VM inherits no setting from this:
    // the events are taken by a handler, not ignored for the process.
    void outliveInterrupts();

    // The console window's title.
    void setTitle(const WString& title);

private:
    bool allocated_ = false;
    bool callers_ = false;
};

// The end-of-run pause: only in a console the launcher opened, then when the
// pause setting asks for it or the Ctrl key is down at this moment (asked last,
// and only when the setting does not decide).
bool pauseAtEnd(bool consoleAllocated, bool pauseSetting, const std::function<bool()>& controlKeyDown);

// Whether the Ctrl key is held down at this moment.
bool controlKeyDownNow();

// Writes a diagnostic line to the launcher's standard error handle, whole: to a
// console as Unicode, to a file or pipe as UTF-8, each line ended by CR LF.
void writeDiagnostic(const WString& text);

// Reads from the launcher's standard input until the user presses Enter (one
// character of a file or pipe); returns at once without standard input.
void waitForEnter();

}  // namespace qel
