#include "vm/selection.h"

#include <algorithm>

#include "base/path_text.h"
#include "base/text.h"
#include "vm/inventory.h"

namespace qel {

namespace {

// VMs built for a program the user named; like the inventory's, they live until
// the process ends.
std::vector<std::unique_ptr<JavaVm>>& namedVms()
{
    static auto* vms = new std::vector<std::unique_ptr<JavaVm>>();  // never destroyed
    return *vms;
}

}  // namespace

WString namedProgram(const VmRequest& request, const FileSystemProbes& files)
{
    const WString fromCommandLine = collapseSeparators(request.commandLineVm);
    const bool commandLineExists = !fromCommandLine.empty() && files.exists(fromCommandLine);
    if (request.settingVm.empty() && !commandLineExists) {
        return {};
    }
    WString program;
    // An empty file after QEL_VM gives way to the setting. A directory's size
    // cannot be read, so it does not, and the search follows below.
    if (commandLineExists && files.size(fromCommandLine) != 0) {
        program = fromCommandLine;
    } else {
        program = collapseSeparators(request.settingVm);
        if (!isAbsolutePath(program)) {
            program = collapseSeparators(files.fullPath(directoryOf(request.propertiesPath), ShortNames::Expand) +
                                         L"\\" + program);
        }
    }
    if (!files.exists(program) || files.isDirectory(program)) {
        return {};
    }
    return program;
}

std::vector<JavaVm*> filterByList(const std::vector<WString>& tokens,
                                  const std::vector<std::unique_ptr<JavaVm>>& entries)
{
    std::vector<JavaVm*> accepted;
    for (const WString& token : tokens) {
        for (const auto& entry : entries) {
            if (matchesToken(*entry, token) &&
                std::find(accepted.begin(), accepted.end(), entry.get()) == accepted.end()) {
                accepted.push_back(entry.get());
            }
        }
    }
    std::stable_sort(accepted.begin(), accepted.end(),
                     [](const JavaVm* left, const JavaVm* right) { return left->version < right->version; });
    return accepted;
}

VmChoice selectVm(const VmRequest& request, const SelectionSources& sources)
{
    const WString program = namedProgram(request, sources.files);
    if (!program.empty()) {
        std::unique_ptr<JavaVm> vm = sources.identify(program);
        // For a named VM, commas separate tokens as well as spaces.
        for (const WString& token : Tokenizer(request.validVmList, L", ")) {
            if (matchesToken(*vm, token)) {
                namedVms().push_back(std::move(vm));
                return VmChoice{namedVms().back().get(), false};
            }
        }
        return VmChoice{nullptr, true};
    }
    const std::vector<JavaVm*> accepted =
        filterByList(Tokenizer(request.validVmList, L" ").tokens(), sources.inventory().entries());
    return VmChoice{accepted.empty() ? nullptr : accepted.back(), false};
}

}  // namespace qel
