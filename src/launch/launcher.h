#pragma once

// One run of the launcher: the settings, the chosen VM and the started process.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/handles.h"
#include "base/trace.h"
#include "base/wstring.h"
#include "launch/command_line.h"
#include "launch/console.h"
#include "launch/frontend.h"
#include "launch/handoff_file.h"
#include "launch/launch_plan.h"
#include "settings/environment.h"
#include "settings/property_table.h"
#include "vm/inventory.h"
#include "vm/java_vm.h"

namespace qel {

// A part of the run that a folder after this one adds and the run keeps to its
// end, after its error is reported: the single-instance lock and its relay
// (instance/single_instance_win.h).
class RunPart {
public:
    virtual ~RunPart() = default;
};

// A run owns its state: the environment it started with, its console, its
// hand-off file, the machine's inventory once searched, the chosen VM and its
// process. Only the message table is the process's.
class Launcher {
public:
    // Tells whether the Ctrl key is held down at this moment.
    using ControlKeyProbe = std::function<bool()>;

    // Takes the environment, finds and reads the properties file, rejects
    // incomplete settings, makes the properties file's directory current, keeps
    // only the file's name and sets up the console as the frontend has it.
    // Without a probe the Ctrl key is read from the keyboard. The run writes
    // what it does into the trace, and with a session-end watch deletes its
    // hand-off file when the console or the session ends while the VM runs.
    Launcher(CommandLine commandLine, Trace& trace, Frontend frontend = Frontend::Windowed,
             const ControlKeyProbe& controlKey = {}, SessionEndWatch sessionEnd = {});
    virtual ~Launcher() = default;

    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // Selects the VM and starts it as planned; with wait, also waits for it,
    // keeps its exit code and deletes the hand-off file.
    virtual void run(bool wait);

    // A normal run: starts the VM, waits for it and keeps its exit code.
    void runToEnd() { run(true); }
    // The service host's run: starts the VM and returns while it runs.
    void start() { run(false); }

    // The service host answers true, so that the VM learns to ignore log-off signals.
    virtual bool isService() const { return false; }

    // The run's hand-off file, created on first use.
    HandoffFile& handoffFile();
    // Once the VM has ended, or no VM will start (see ~HandoffFile).
    void discardHandoffFile() { handoff_.reset(); }

    // This machine's inventory, built the first time the search needs it.
    const VmInventory& inventory();

    // The environment the launcher was started with.
    const Environment environment;
    // The trace of the process's run: it begins before the Launcher and ends
    // after the run's error.
    Trace& trace;
    PropertyTable properties;
    CommandLine commandLine;
    Frontend frontend;
    Console console;
    std::optional<JavaVm> selectedVm;
    bool useConsole = false;
    // After construction only the file's name: its directory is then current.
    WString propertiesPath;
    // The started VM process; the service host and the wait read it until the
    // process ends.
    UniqueHandle process;
    std::uint32_t exitCode = 0;
    // A service with a stop timeout: the VM reads its standard input from the
    // stop pipe's read end, and the hand-off file gets these lines last.
    HANDLE stopPipe = nullptr;
    // A service that writes its logs: the write ends of the pipes the VM gets as
    // its standard output and error.
    HANDLE outputPipe = nullptr;
    HANDLE errorPipe = nullptr;
    std::vector<WString> extraHandoffLines;
    const SessionEndWatch sessionEnd;
    // With qel.single.instance, the run's claim on its application.
    std::unique_ptr<RunPart> instancePart;

private:
    void loadProperties();
    void locatePropertiesFile();
    // Decides on the console; opens and titles a window of its own when the run
    // asks for one, or stays in the caller's console in the console twin; with
    // Ctrl held at start, the hand-off file learns of it first.
    void setupConsole(bool controlKeyAtStart);

    std::optional<HandoffFile> handoff_;
    std::optional<VmInventory> inventory_;
};

// Throws TerminalError with message 104 when the settings are not complete,
// (with nulSettingText) when a launcher's key holds U+0000, or (with
// invalidDownloadUrlText) when the download page is no web address.
void validateSettings(const PropertyTable& properties, std::wstring_view classPathVariable);

}  // namespace qel
