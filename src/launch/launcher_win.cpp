#include <windows.h>

#include <optional>

#include "base/errors.h"
#include "base/files.h"
#include "base/messages.h"
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
    wchar_t buffer[kPathBufferUnits];
    const DWORD length = GetCurrentDirectoryW(kPathBufferUnits, buffer);
    if (length == 0 || length >= kPathBufferUnits) {
        return std::nullopt;
    }
    return WString(buffer, length);
}

// CLASSPATH under any spelling of its name, as Windows programs see it.
WString classPathVariable()
{
    return Environment::instance().expandedValue(L"CLASSPATH");
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
}

Launcher::Launcher(CommandLine commandLine, Frontend frontend, const ControlKeyProbe& controlKey)
    : commandLine(std::move(commandLine)), frontend(frontend)
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
        Console::instance().allocate();
        Console::instance().setTitle(plan.title);
    } else {
        Console::instance().useCallers();
    }
    if (!plan.handoffLines.empty()) {
        HandoffFile::instance().append(plan.handoffLines);
    }
}

void Launcher::loadProperties()
{
    locatePropertiesFile();
    readProperties(properties, propertiesPath);
    validateSettings(properties, classPathVariable());
}

void Launcher::locatePropertiesFile()
{
    // The current directory is the one the launcher was started in: the move into
    // the properties file's directory comes only after the file was read.
    Trace& trace = Trace::instance();
    const WString executable = commandLine.locateExecutable();
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

void Launcher::run(bool wait)
{
    Trace& trace = Trace::instance();
    trace.phase(L"selection");
    const SelectionSources sources{
        diskFileSystem(),
        [](const WString& program) { return javaVmFromExecutable(program); },
        []() -> const VmInventory& { return VmInventory::instance(); },
    };
    const VmChoice choice = selectVm(vmRequestFor(*this), sources);
    if (choice.vm == nullptr) {
        throw TerminalError(MessageTable::instance().text(MSG_NO_VM), MSG_NO_VM);
    }
    selectedVm = choice.vm;
    const WString executable =
        normalizePath(selectedVm->executablePath(Console::instance().isInUse(), diskFileSystem().exists));
    trace.phase(L"launch");
    if (trace.enabled()) {
        trace.line(L"program of the chosen VM: " + executable);
        if (!diskFileSystem().exists(executable)) {
            trace.line(L"the program " + executable +
                       L" does not exist: the chosen installation lacks it, and starting the VM will fail");
        }
    }

    // The Java side learns which VM was chosen, then the environment and how the
    // VM runs, before the VM starts.
    HandoffFile& handoff = HandoffFile::instance();
    if (trace.enabled()) {
        trace.line(L"hand-off file: " + handoff.path());
    }
    handoff.append({currentVmLine(executable)});
    const Environment& environment = Environment::instance();
    handoff.append(environmentLines(environment.variables(),
                                    [&](std::wstring_view name) { return environment.expandedValue(name); }));
    handoff.append(runLines(Console::instance().isInUse(), isService()));
    if (!extraHandoffLines.empty()) {
        handoff.append(extraHandoffLines);
    }

    LaunchInputs inputs(properties);
    inputs.classPathText = classPath(properties, classPathVariable());
    inputs.propertiesName = propertiesPath;
    inputs.handoffPath = handoff.path();
    inputs.arguments = commandLine.arguments;
    inputs.isService = isService();
    inputs.fullPath = diskFileSystem().fullPath;
    inputs.normalize = [](std::wstring_view path) { return normalizePath(path); };
    const FilledRequest filled = fillLaunchRequest(inputs);
    for (const WString& warning : filled.warnings) {
        writeDiagnostic(warning);
        trace.line(L"warning: " + warning);
    }

    // In the caller's console, Ctrl+C and Ctrl+Break are the VM's from here on:
    // the launcher waits for it and ends with its exit code.
    if (Console::instance().isCallers()) {
        Console::instance().outliveInterrupts();
    }
    process = launchVm(*selectedVm, executable, filled.request);
    if (wait) {
        trace.phase(L"wait");
        exitCode = waitForExit(process);
        discardHandoffFile();
    }
}

}  // namespace qel
