#pragma once

// The run's watch on the end of the user's session (log-off, shutdown) and of
// the console window the launcher shares (see SessionEndWatch): the system
// tells of these events on threads of its own and with no context, so the file
// the watch deletes is process-wide.

#include <windows.h>

#include "base/wstring.h"
#include "launch/handoff_file.h"

namespace qel::session_end {

// From now on a console close, log-off or shutdown deletes this file (and, for
// a console close, lets the run end as after Ctrl+C: the launcher goes on
// waiting for its VM, which gets the same event, until the system ends it). The
// first call takes the console's events.
void deleteAtEnd(const WString& path);

// The file is deleted, or kept on purpose: the end deletes nothing.
void forget();

// Waits for the VM process to end. A program that has loaded the window
// manager's library gets no console events for log-off and shutdown, only the
// messages of its top-level windows: once the VM has run two seconds, the wait
// makes a hidden window and answers them, deleting the file on WM_ENDSESSION.
// No thread of its own: the launcher's main thread waits here.
void waitForVmWatchingSession(HANDLE vmProcess);

// The three above, for a run's Launcher.
SessionEndWatch watch();

}  // namespace qel::session_end
