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

VmRequest vmRequestFor(const Launcher& launcher)
{
    return VmRequest{launcher.commandLine.valueAfter(L"QEL_VM"), currentVm(launcher.properties),
                     validVmList(launcher.properties), launcher.propertiesPath};
}

}  // namespace qel
