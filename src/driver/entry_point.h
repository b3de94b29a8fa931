#pragma once

#include "launch/frontend.h"

namespace qel {

// The whole run of the executable: parse the command line, run the launch, report
// any escaping error as the frontend has it (see errorReport), and give the
// process exit code (the VM's, or the error's).
int launcherMain(Frontend frontend);

}  // namespace qel
