#pragma once

// One run of the launcher: the settings, the chosen VM and the started process.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "base/wstring.h"
#include "launch/command_line.h"
#include "launch/frontend.h"
#include "settings/property_table.h"
#include "settings/settings.h"
#include "vm/selection.h"

namespace qel {

class JavaVm;

class Launcher {
public:
    // Tells whether the Ctrl key is held down at this moment.
    using ControlKeyProbe = std::function<bool()>;

    // Finds and reads the properties file, rejects incomplete settings, makes the
    // properties file's directory current, keeps only the file's name and sets up
    // the console as the frontend has it. Without a probe the Ctrl key is read
    // from the keyboard.
    explicit Launcher(CommandLine commandLine, Frontend frontend = Frontend::Windowed,
                      const ControlKeyProbe& controlKey = {});
    virtual ~Launcher() = default;

    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // Selects the VM and starts it; with wait, also waits for it and keeps its
    // exit code.
    virtual void run(bool wait);

    // The service host answers true, so that the VM learns to ignore log-off signals.
    virtual bool isService() const { return false; }

    PropertyTable properties;
    CommandLine commandLine;
    Frontend frontend;
    // Owned by the VM selection; lives until the process ends.
    JavaVm* selectedVm = nullptr;
    bool useConsole = false;
    // After construction only the file's name: its directory is then current.
    WString propertiesPath;
    // The started VM process. The launcher never closes it: the service host and
    // the wait read it until the process ends.
    void* process = nullptr;
    std::uint32_t exitCode = 0;
    // Lines the hand-off file gets after the environment, before the VM starts.
    std::vector<WString> extraHandoffLines;

private:
    void loadProperties();
    void locatePropertiesFile();
    // Decides on the console; opens and titles a window of its own when the run
    // asks for one, or stays in the caller's console in the console twin; with
    // Ctrl held at start, the hand-off file learns of it first.
    void setupConsole(bool controlKeyAtStart);
};

// Throws TerminalError with message 104 when the settings are not complete, or
// (with nulSettingText) when a launcher's key holds U+0000.
void validateSettings(const PropertyTable& properties, std::wstring_view classPathVariable);

// What the VM selection decides on for this run.
VmRequest vmRequestFor(const Launcher& launcher);

}  // namespace qel
