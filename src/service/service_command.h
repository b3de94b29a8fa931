#pragma once

// Carries out "-kwqelinstall NAME" and "-kwqeluninstall NAME" with the service
// manager (service_install_win.cpp; the rules are in service_install.h).

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
};

// Installing reads and checks the settings first, as a run does (errors of the
// properties file are thrown as in a run); removing needs none.
// A user account's password is asked for on the console twin's console.
ServiceCommandOutcome runServiceCommand(const ServiceCommand& command, const CommandLine& commandLine, Trace& trace,
                                        Frontend frontend);

}  // namespace qel
