#include "launch/launch_plan.h"

#include "base/message_ids.h"
#include "base/path_text.h"
#include "launch/handoff_text.h"
#include "launch/launch_request.h"
#include "launch/process_texts.h"
#include "settings/settings.h"

namespace qel {

namespace {

// The Windows errors a start is refused with before anything starts: the
// directory name is invalid (ERROR_DIRECTORY), the file name is too long
// (ERROR_FILENAME_EXCED_RANGE).
constexpr std::uint32_t kDirectoryInvalid = 267;
constexpr std::uint32_t kNameTooLong = 206;

}  // namespace

WString vmProgram(const JavaVm& vm, bool console, const ExistsProbe& exists,
                  const std::function<WString(std::wstring_view path)>& normalize)
{
    const WString program = vm.executablePath(console, exists);
    return normalize ? normalize(program) : collapseSeparators(program);
}

LaunchPlan planLaunch(const LaunchPlanInputs& in)
{
    const JavaVm& vm = *in.vm;
    LaunchPlan plan;
    plan.input = in.input;
    plan.program = vmProgram(vm, in.console, in.exists, in.request.normalize);

    // The Java side learns which VM was chosen, then the environment and how the
    // VM runs, before the VM starts.
    plan.handoffLines.push_back(currentVmLine(plan.program));
    const Environment& environment = in.environment;
    for (WString& line : environmentLines(environment.variables(),
                                          [&](std::wstring_view name) { return environment.expandedValue(name); })) {
        plan.handoffLines.push_back(std::move(line));
    }
    for (WString& line : runLines(in.console, in.request.isService)) {
        plan.handoffLines.push_back(std::move(line));
    }
    plan.handoffLines.insert(plan.handoffLines.end(), in.extraHandoffLines.begin(), in.extraHandoffLines.end());

    FilledRequest filled = fillLaunchRequest(in.request);
    plan.warnings = std::move(filled.warnings);

    if (vm.family == VmFamily::Msj) {
        if (!msvmBuildAccepted(in.msvmBuild(vm.home), filled.request.msvmMinVersion)) {
            plan.refusal = LaunchRefusal{MSG_NO_VM, 0, {}};
            return plan;
        }
        // The Microsoft VM also reads its class path from the environment it
        // inherits: without it, it would start without the application.
        plan.environment.push_back({L"CLASSPATH", filled.request.classPath.join()});
    }
    filled.request.classDataArchive = in.classDataArchive;
    for (WString& warning : leaveOutRefusedOptions(vm, filled.request)) {
        plan.warnings.push_back(std::move(warning));
    }
    plan.commandLine = renderCommandLine(vm.family, plan.program, vm.home, filled.request);
    plan.workingDirectory =
        in.absoluteDirectory ? in.absoluteDirectory(filled.request.workingDir) : filled.request.workingDir;

    // A directory the system cannot hold whole is refused with the error Windows
    // gives for it: handed over anyway, it may be cut and the VM started
    // somewhere else. A longer command line would reach the VM cut short:
    // without its main class or the application's arguments.
    if (!fitsProcessDirectory(plan.workingDirectory)) {
        plan.refusal = LaunchRefusal{MSG_VM_START_FAILED, kDirectoryInvalid, {}};
    } else if (!fitsCommandLine(plan.commandLine)) {
        plan.refusal =
            LaunchRefusal{MSG_VM_START_FAILED, kNameTooLong, commandLineTooLongText(plan.commandLine.size())};
    }
    return plan;
}

WString refusalText(const LaunchRefusal& refusal, std::wstring_view messageText)
{
    if (refusal.windowsError == 0) {
        return WString(messageText);
    }
    WString text = formatStartFailure(messageText, refusal.windowsError);
    if (!refusal.detail.empty()) {
        text += L"\n\n" + refusal.detail;
    }
    return text;
}

VmRequest vmRequestFor(const CommandLine& commandLine, const PropertyTable& properties, const WString& propertiesPath)
{
    return VmRequest{commandLine.valueAfter(L"QEL_VM"), currentVm(properties), validVmList(properties), propertiesPath};
}

}  // namespace qel
