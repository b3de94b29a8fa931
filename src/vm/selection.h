#pragma once

// Which Java VM starts the application: the program the user named (after
// QEL_VM on the command line, else in qel.nl.current.vm), which must satisfy the
// acceptable-VM list, or else the highest version of the inventory that the list
// allows.

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/probes.h"
#include "base/trace.h"
#include "base/wstring.h"
#include "vm/java_vm.h"

namespace qel {

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
    // The setting qel.nl.current.vm.fallback: whether the installed VMs are
    // searched when the program of qel.nl.current.vm is missing.
    bool fallback = true;
};

// The program the user named that exists and is not a directory; empty when the
// inventory has to be searched instead. Paths are compared as given, with
// separators made uniform.
WString namedProgram(const VmRequest& request, const FileSystemProbes& files);

// Whether a named program is the application's own runtime: a program below
// the properties file's directory (fullDirectory, a full path), compared
// without regard to case.
bool isOwnRuntime(std::wstring_view program, std::wstring_view fullDirectory);

// The outcome of a selection. A named VM that the list does not accept gives
// none: the user asked for this VM, so no other is tried.
struct VmChoice {
    // The chosen VM, or none.
    std::optional<JavaVm> vm;
};

// What the selection needs besides the request.
struct SelectionSources {
    FileSystemProbes files;
    // The VM a named program stands for.
    std::function<std::unique_ptr<JavaVm>(const WString& program)> identify;
    // The inventory, asked for only when the search runs.
    std::function<const VmInventory&()> inventory;
    // Where the selection explains itself; none for no report.
    Trace* trace = nullptr;
};

VmChoice selectVm(const VmRequest& request, const SelectionSources& sources);

// The entries that satisfy at least one token, sorted by version, lowest first;
// among equal versions, in the order the tokens and entries first matched.
std::vector<JavaVm*> filterByList(const std::vector<WString>& tokens,
                                  const std::vector<std::unique_ptr<JavaVm>>& entries, Trace* trace = nullptr);

}  // namespace qel
