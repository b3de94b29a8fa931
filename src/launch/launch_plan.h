#pragma once

// The launch as one plan: everything the VM's start needs, decided from the
// run's inputs before anything happens. The shell (executeLaunchPlan) only
// carries it out: it writes the hand-off lines and the warnings, changes the
// environment, and starts the command line with the standard handles the plan
// names, or throws the refusal.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/probes.h"
#include "base/wstring.h"
#include "launch/command_line.h"
#include "launch/launch_request.h"
#include "settings/environment.h"
#include "settings/property_table.h"
#include "vm/java_vm.h"
#include "vm/selection.h"

namespace qel {

// What the VM gets as its standard input.
enum class VmInput {
    // The launcher's own standard input.
    Launchers,
    // The read end of the pipe on which a service writes its stop line.
    StopPipe,
};

// Why nothing starts: a message of the string table, with the Windows error its
// "%d" names (103) and a line that follows it, when it has them.
struct LaunchRefusal {
    int messageId = 0;
    std::uint32_t windowsError = 0;
    WString detail;
};

struct EnvironmentChange {
    WString name;
    WString value;
};

struct LaunchPlan {
    // The program of the chosen VM.
    WString program;
    // Lines the hand-off file gets before the VM starts, in order.
    std::vector<WString> handoffLines;
    // Lines for standard error, each with its line end, in the order they are
    // written; the trace gets them too.
    std::vector<WString> warnings;
    // Variables set in the launcher's environment, which the VM inherits.
    std::vector<EnvironmentChange> environment;
    // Empty when the refusal came before the command line was made.
    WString commandLine;
    // Absolute, whatever its length.
    WString workingDirectory;
    VmInput input = VmInput::Launchers;
    // When set, nothing starts.
    std::optional<LaunchRefusal> refusal;
};

struct LaunchPlanInputs {
    LaunchPlanInputs(LaunchInputs request, const Environment& environment)
        : request(std::move(request)), environment(environment)
    {}

    // What the launch request is filled from: the settings, the class path, the
    // file names, the arguments, whether the run is a service, and the path
    // functions (its normalize also makes the program's path uniform).
    LaunchInputs request;
    // The environment the launcher was started with.
    const Environment& environment;
    const JavaVm* vm = nullptr;
    // The run uses a console: the VM's console program starts.
    bool console = false;
    VmInput input = VmInput::Launchers;
    // Lines the hand-off file gets last (a service's graceful stop).
    std::vector<WString> extraHandoffLines;
    ExistsProbe exists;
    // The absolute form of a working directory, whatever its length; the
    // directory as the settings give it when not set.
    std::function<WString(const WString& directory)> absoluteDirectory;
    // The class-data archive the VM gets (classDataArchivePath), its folder
    // made; empty for none.
    WString classDataArchive;
    // The Microsoft VM's build number in this home.
    std::function<std::uint32_t(const WString& home)> msvmBuild;
};

// The program the VM's family and the console choose, with separators uniform.
WString vmProgram(const JavaVm& vm, bool console, const ExistsProbe& exists,
                  const std::function<WString(std::wstring_view path)>& normalize);

// The plan of the start:
// - the hand-off lines: the VM program, the environment, how the VM runs, then
//   the extra lines;
// - the warnings of the settings, then those of options the VM would refuse;
// - the Microsoft VM below the minimum build is refused with message 101 before
//   a command line is made; it gets the class path in CLASSPATH, which it reads;
// - a working directory the system cannot hold whole (Windows error 267) and a
//   command line longer than Windows takes (Windows error 206, with the length
//   and the limit as detail) are refused with message 103.
LaunchPlan planLaunch(const LaunchPlanInputs& in);

// The user's text of a refusal, made from its message's text.
WString refusalText(const LaunchRefusal& refusal, std::wstring_view messageText);

// What the selection decides on for this run.
VmRequest vmRequestFor(const CommandLine& commandLine, const PropertyTable& properties, const WString& propertiesPath);

}  // namespace qel
