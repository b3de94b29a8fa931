#pragma once

// Carries out "-kwqelinstall NAME", "-kwqeluninstall NAME", "-kwqelstart NAME",
// "-kwqelstop NAME", "-kwqelrestart NAME" and "-kwqelstatus NAME" with the
// service manager: the one place that opens, queries, creates, configures,
// starts, stops and deletes services (the rules are in service_command.h).

#include "base/trace.h"
#include "launch/command_line.h"
#include "launch/frontend.h"
#include "service/service_command.h"

namespace qel {

// Installing reads and checks the settings first, as a run does (errors of the
// properties file are thrown as in a run); starting, stopping, restarting and
// removing read them for the stop timeout, and go on without them; the state
// needs none. A user account's password is asked for on the console twin's
// console.
ServiceCommandOutcome runServiceCommand(const ServiceCommand& command, const CommandLine& commandLine, Trace& trace,
                                        Frontend frontend);

}  // namespace qel
