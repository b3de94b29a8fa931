#pragma once

// Which Java VM starts the application: the program the user named (after
// QEL_VM on the command line, else in qel.nl.current.vm), which must satisfy the
// acceptable-VM list, or else the highest version of the inventory that the list
// allows.

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "base/wstring.h"
#include "vm/java_vm.h"

namespace qel {

class Launcher;
class VmInventory;

// What the selection decides on, gathered from one run.
struct VmRequest {
    // The argument after QEL_VM; empty when there is none.
    WString commandLineVm;
    // The setting qel.nl.current.vm.
    WString settingVm;
    // The setting qel.nl.valid.vm.list.
    WString validVmList;
    // The properties file; a relative setting counts from its directory.
    WString propertiesPath;

    static VmRequest from(const Launcher& launcher);
};

// The program the user named that exists and is not a directory; empty when the
// inventory has to be searched instead.
WString namedProgram(const VmRequest& request);

// The selected VM, or none when the search finds no acceptable one. Throws
// TerminalError with message 101 when a named VM is not acceptable. The inventory
// is asked for only when the search runs. A VM built for a named program lives
// until the process ends.
JavaVm* selectVm(const VmRequest& request, const std::function<const VmInventory&()>& inventory);

// selectVm for a run, searching the machine's inventory.
JavaVm* selectVm(const Launcher& launcher);

// The entries that satisfy at least one token, sorted by version, lowest first;
// among equal versions, in the order the tokens and entries first matched.
std::vector<JavaVm*> filterByList(const std::vector<WString>& tokens,
                                  const std::vector<std::unique_ptr<JavaVm>>& entries);

}  // namespace qel
