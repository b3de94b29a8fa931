#include "launch/launcher.h"

#include "settings/settings.h"

namespace qel {

VmRequest vmRequestFor(const Launcher& launcher)
{
    return VmRequest{launcher.commandLine.valueAfter(L"QEL_VM"), currentVm(launcher.properties),
                     validVmList(launcher.properties), launcher.propertiesPath};
}

}  // namespace qel
