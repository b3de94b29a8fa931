#pragma once

// Carries out "-kwqelinstall NAME", "-kwqeluninstall NAME" (service_install_win.cpp;
// the rules are in service_install.h), "-kwqelstart", "-kwqelstop",
// "-kwqelrestart" and "-kwqelstatus" (service_control_win.cpp; the rules are in
// service_control_rules.h) with the service manager.

#include <cstdint>

#include "base/trace.h"
#include "base/wstring.h"
#include "launch/command_line.h"
#include "launch/frontend.h"
#include "service/service_install.h"

namespace qel {

struct ServiceCommandOutcome {
    // 0, or the Windows error that made the command fail (also the exit code).
    std::uint32_t error = 0;
    // What the user is told: the failure, or the line saying what was done.
    WString text;
    // "-kwqelstatus": the text is the state line and error the status code
    // (service_status), not a failure; the console twin prints it on standard
    // output whatever the code, the windowed launcher shows nothing.
    bool stateReport = false;
};

// Installing reads and checks the settings first, as a run does (errors of the
// properties file are thrown as in a run); removing needs none.
// A user account's password is asked for on the console twin's console.
ServiceCommandOutcome runServiceCommand(const ServiceCommand& command, const CommandLine& commandLine, Trace& trace,
                                        Frontend frontend);

// Start, stop or restart of a launcher's service: waits for the state asked
// for. The stop timeout comes from the settings, read as installing reads them;
// settings that cannot be read give the longest wait (stopWaitMs).
ServiceCommandOutcome controlService(const ServiceCommand& command, const CommandLine& commandLine, Trace& trace);

// The state of a launcher's service: the status code and line.
ServiceCommandOutcome serviceStatus(const ServiceCommand& command);

}  // namespace qel
