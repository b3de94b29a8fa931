#include "launch/launcher.h"

#include "settings/settings.h"

namespace qel {

bool settingsComplete(const PropertyTable& properties, std::wstring_view classPathVariable)
{
    // The list is read only when no VM is named, and the class path only after
    // the VM choice passed, as the checks are ordered.
    return !mainClass(properties).empty() && !(currentVm(properties).empty() && validVmList(properties).empty()) &&
           !classPath(properties, classPathVariable).empty();
}

std::optional<WString> keyHoldingNul(const PropertyTable& properties)
{
    for (const SettingKey& key : keys::all) {
        if (setting(properties, key).find(L'\0') != WString::npos) {
            return WString(key.name);
        }
    }
    return std::nullopt;
}

WString nulSettingText(std::wstring_view invalidMessage, std::wstring_view key)
{
    return WString(invalidMessage) + L"\n\n" + WString(key) +
           L" holds the character U+0000 (\\u0000, or \\u without digits), which the Java VM cannot be given.";
}

VmRequest vmRequestFor(const Launcher& launcher)
{
    return VmRequest{launcher.commandLine.valueAfter(L"QEL_VM"), currentVm(launcher.properties),
                     validVmList(launcher.properties), launcher.propertiesPath};
}

}  // namespace qel
