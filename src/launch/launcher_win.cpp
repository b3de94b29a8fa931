#include <windows.h>

#include <optional>

#include "base/errors.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/system_text.h"
#include "base/trace.h"
#include "launch/console.h"
#include "launch/console_rules.h"
#include "launch/handoff_file.h"
#include "launch/handoff_text.h"
#include "launch/launch_process.h"
#include "launch/launch_request.h"
#include "launch/launcher.h"
#include "settings/environment.h"
#include "settings/properties.h"
#include "settings/properties_location.h"
#include "settings/settings.h"
#include "vm/executable_info.h"
#include "vm/inventory.h"

namespace qel {

namespace {

// The directory the launcher runs in; none when it does not fit the 260 units a
// properties file candidate may take from it.
std::optional<WString> currentDirectory()
{
    return readPathText([](wchar_t* buffer, DWORD capacity) { return GetCurrentDirectoryW(capacity, buffer); });
}

// CLASSPATH under any spelling of its name, as Windows programs see it.
WString classPathVariable(const Environment& environment)
{
    return environment.expandedValue(L"CLASSPATH");
}

}  // namespace

void validateSettings(const PropertyTable& properties, std::wstring_view classPathVariable)
{
    if (!settingsComplete(properties, classPathVariable)) {
        throw TerminalError(MessageTable::instance().text(MSG_PROPERTIES_INVALID), MSG_PROPERTIES_INVALID);
    }
    // Handed over, the text would end at the character without a word.
    if (const auto key = keyHoldingNul(properties)) {
        throw TerminalError(nulSettingText(MessageTable::instance().text(MSG_PROPERTIES_INVALID), *key),
                            MSG_PROPERTIES_INVALID);
    }
    // The download page is handed to the shell: only a web address, never a
    // program.
    if (!vmDownloadUrlAcceptable(properties)) {
        throw TerminalError(invalidDownloadUrlText(MessageTable::instance().text(MSG_PROPERTIES_INVALID)),
                            MSG_PROPERTIES_INVALID);
    }
}

Launcher::Launcher(CommandLine commandLine, Trace& trace, Frontend frontend, const ControlKeyProbe& controlKey,
                   SessionEndWatch sessionEnd)
    : environment(Environment::ofProcess()), trace(trace), commandLine(std::move(commandLine)), frontend(frontend),
      sessionEnd(std::move(sessionEnd))
{
    loadProperties();
    SetCurrentDirectoryW(directoryOf(normalizePath(propertiesPath)).c_str());  // failure is not an error
    propertiesPath = fileName(normalizePath(propertiesPath));
    setupConsole(controlKey ? controlKey() : controlKeyDownNow());
}

void Launcher::setupConsole(bool controlKeyAtStart)
{
    const ConsolePlan plan = planConsole(frontend, controlKeyAtStart, commandLine.consoleRequested, properties);
    useConsole = plan.use != ConsoleUse::None;
    if (!useConsole) {
        return;
    }
    if (plan.use == ConsoleUse::OwnWindow) {
        console.allocate();
        console.setTitle(plan.title);
    } else {
        console.useCallers();
    }
    if (!plan.handoffLines.empty()) {
        handoffFile().append(plan.handoffLines);
    }
}

void Launcher::loadProperties()
{
    locatePropertiesFile();
    readProperties(properties, propertiesPath);
    validateSettings(properties, classPathVariable(environment));
}

void Launcher::locatePropertiesFile()
{
    // The current directory is the one the launcher was started in: the move into
    // the properties file's directory comes only after the file was read.
    const WString executable = commandLine.locateExecutable(environment);
    if (trace.enabled()) {
        trace.line(L"executable: " + executable);
    }
    for (auto& candidate : propertiesFileCandidates(executable, currentDirectory())) {
        const bool exists = fileExists(normalizePath(candidate));
        if (trace.enabled()) {
            trace.line(L"properties file candidate " + candidate + (exists ? L": taken" : L": missing"));
        }
        if (exists) {
            if (trace.enabled()) {
                trace.line(L"properties file: " + fullPath(candidate, ShortNames::Keep));
            }
            propertiesPath = std::move(candidate);
            return;
        }
    }
    throw TerminalError(MessageTable::instance().text(MSG_PROPERTIES_MISSING), MSG_PROPERTIES_MISSING);
}

HandoffFile& Launcher::handoffFile()
{
    if (!handoff_) {
        handoff_.emplace(HandoffFile::create(trace, sessionEnd));
    }
    return *handoff_;
}

const VmInventory& Launcher::inventory()
{
    if (!inventory_) {
        InventoryInputs inputs = InventorySources::machine(environment).read();
        inputs.trace = &trace;
        inventory_.emplace(VmInventory::build(inputs));
    }
    return *inventory_;
}

void Launcher::run(bool wait)
{
    trace.phase(L"selection");
    const SelectionSources sources{
        diskFileSystem(),
        [](const WString& program) { return javaVmFromExecutable(program); },
        [this]() -> const VmInventory& { return inventory(); },
        &trace,
    };
    selectedVm = selectVm(vmRequestFor(commandLine, properties, propertiesPath), sources).vm;
    if (!selectedVm) {
        throw TerminalError(MessageTable::instance().text(MSG_NO_VM), MSG_NO_VM);
    }

    LaunchInputs request(properties);
    request.classPathText = classPath(properties, classPathVariable(environment));
    request.propertiesName = propertiesPath;
    request.handoffPath = handoffFile().path();
    request.arguments = commandLine.arguments;
    request.isService = isService();
    request.fullPath = diskFileSystem().fullPath;
    request.normalize = [](std::wstring_view path) { return normalizePath(path); };
    LaunchPlanInputs inputs(std::move(request), environment);
    inputs.vm = &*selectedVm;
    inputs.console = console.isInUse();
    inputs.input = stopPipe != nullptr ? VmInput::StopPipe : VmInput::Launchers;
    inputs.extraHandoffLines = extraHandoffLines;
    inputs.exists = diskFileSystem().exists;
    inputs.absoluteDirectory = fullWorkingDirectory;
    inputs.msvmBuild = msvmBuildNumber;
    // The VM cannot make its archive in a missing folder, and its start would then
    // end with an error: the folder is made here, or the archive is left out.
    const WString archive = classDataArchivePath(properties, *selectedVm, environment.expandedValue(L"LOCALAPPDATA"),
                                                 diskFileSystem().fullPath(propertiesPath, ShortNames::Expand));
    if (!archive.empty()) {
        const WString folder = archive.substr(0, archive.rfind(L'\\'));
        if (const std::uint32_t error = createDirectories(folder); error != 0) {
            const WString warning = L"class-data archive left out: its folder " + folder +
                                    L" cannot be made (Windows error " + std::to_wstring(error) + L").\n";
            writeDiagnostic(warning);
            trace.line(L"warning: " + warning);
        } else {
            inputs.classDataArchive = archive;
        }
    }
    trace.phase(L"launch");
    const LaunchPlan plan = planLaunch(inputs);

    if (trace.enabled()) {
        trace.line(L"program of the chosen VM: " + plan.program);
        if (!diskFileSystem().exists(plan.program)) {
            trace.line(L"the program " + plan.program +
                       L" does not exist: the chosen installation lacks it, and starting the VM will fail");
        }
        trace.line(L"hand-off file: " + handoffFile().path());
    }
    handoffFile().append(plan.handoffLines);
    handoffFile().close();
    for (const WString& warning : plan.warnings) {
        writeDiagnostic(warning);
        trace.line(L"warning: " + warning);
    }

    // In the caller's console, Ctrl+C and Ctrl+Break are the VM's from here on:
    // the launcher waits for it and ends with its exit code.
    if (console.isCallers()) {
        console.outliveInterrupts();
    }
    process = startPlannedVm(plan, trace, stopPipe, outputPipe, errorPipe);
    if (wait) {
        trace.phase(L"wait");
        // The VM may run for hours: a run that watches for the end of its
        // session deletes the hand-off file at a log-off or shutdown meanwhile.
        if (sessionEnd.waitForVm) {
            sessionEnd.waitForVm(process.get());
        }
        exitCode = waitForExit(process.get());
        discardHandoffFile();
    }
}

}  // namespace qel
