#include "driver/launcher.h"

#include <windows.h>

#include <optional>

#include "base/errors.h"
#include "base/files.h"
#include "base/messages.h"
#include "settings/properties.h"
#include "settings/properties_location.h"
#include "settings/settings.h"
#include "vm/selection.h"

namespace qel {

namespace {

std::optional<WString> currentDirectory()
{
    wchar_t buffer[kPathBufferUnits];
    const DWORD length = GetCurrentDirectoryW(kPathBufferUnits, buffer);
    if (length == 0 || length >= kPathBufferUnits) {
        return std::nullopt;
    }
    return WString(buffer, length);
}

}  // namespace

void validateSettings(const PropertyTable& properties)
{
    // The list is read only when no VM is named, and the class path only after
    // the VM choice passed, as the checks are ordered.
    const bool invalid = mainClass(properties).empty() ||
                         (currentVm(properties).empty() && validVmList(properties).empty()) ||
                         classPath(properties).empty();
    if (invalid) {
        throw TerminalError(MessageTable::instance().text(MSG_PROPERTIES_INVALID));
    }
}

Launcher::Launcher(CommandLine commandLine) : commandLine(std::move(commandLine))
{
    loadProperties();
    SetCurrentDirectoryW(parentDir(normalizePath(propertiesPath), L".").c_str());  // failure is not an error
    propertiesPath = fileName(normalizePath(propertiesPath), false);
}

void Launcher::loadProperties()
{
    locatePropertiesFile();
    readProperties(properties, propertiesPath);
    validateSettings(properties);
}

void Launcher::locatePropertiesFile()
{
    WString executable = commandLine.locateExecutable();
    for (auto& unit : executable) {
        if (unit == L'/') {
            unit = L'\\';
        }
    }
    // The current directory is the one the launcher was started in: the move into
    // the properties file's directory comes only after the file was read.
    for (auto& candidate : propertiesFileCandidates(executable, currentDirectory())) {
        if (fileExists(normalizePath(candidate))) {
            propertiesPath = std::move(candidate);
            return;
        }
    }
    throw TerminalError(MessageTable::instance().text(MSG_PROPERTIES_MISSING));
}

void Launcher::run(bool /*wait*/)
{
    selectedVm = selectVm(*this);
    if (selectedVm == nullptr) {
        throw TerminalError(MessageTable::instance().text(MSG_NO_VM));
    }
    // Starting the selected VM comes with the process launch; until then the run
    // ends here with exit code 0.
}

}  // namespace qel
