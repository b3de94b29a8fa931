#pragma once

namespace qel {

// The whole run of the executable: parse the command line, run the launch, show
// any escaping error in the error box, and give the process exit code (the VM's,
// or 0 after an error box).
int launcherMain();

}  // namespace qel
