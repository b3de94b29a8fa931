#include <windows.h>

#include <optional>

#include "base/errors.h"
#include "base/files.h"
#include "base/messages.h"
#include "launch/launcher.h"
#include "settings/environment.h"
#include "settings/properties.h"
#include "settings/properties_location.h"
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
        throw TerminalError(MessageTable::instance().text(MSG_PROPERTIES_INVALID));
    }
}

Launcher::Launcher(CommandLine commandLine) : commandLine(std::move(commandLine))
{
    loadProperties();
    SetCurrentDirectoryW(directoryOf(normalizePath(propertiesPath)).c_str());  // failure is not an error
    propertiesPath = fileName(normalizePath(propertiesPath));
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
    for (auto& candidate : propertiesFileCandidates(commandLine.locateExecutable(), currentDirectory())) {
        if (fileExists(normalizePath(candidate))) {
            propertiesPath = std::move(candidate);
            return;
        }
    }
    throw TerminalError(MessageTable::instance().text(MSG_PROPERTIES_MISSING));
}

void Launcher::run(bool /*wait*/)
{
    const SelectionSources sources{
        diskFileSystem(),
        [](const WString& program) { return javaVmFromExecutable(program); },
        []() -> const VmInventory& { return VmInventory::instance(); },
    };
    const VmChoice choice = selectVm(vmRequestFor(*this), sources);
    if (choice.vm == nullptr) {
        throw TerminalError(MessageTable::instance().text(MSG_NO_VM));
    }
    selectedVm = choice.vm;
    // Starting the selected VM comes with the process launch; until then the run
    // ends here with exit code 0.
}

}  // namespace qel
