#include "vm/selection.h"

#include <algorithm>

#include "base/errors.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/text.h"
#include "driver/launcher.h"
#include "settings/settings.h"
#include "vm/executable_info.h"
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

VmRequest VmRequest::from(const Launcher& launcher)
{
    return VmRequest{launcher.commandLine.valueAfter(L"QEL_VM"), qel::currentVm(launcher.properties),
                     qel::validVmList(launcher.properties), launcher.propertiesPath};
}

WString namedProgram(const VmRequest& request)
{
    const WString fromCommandLine = normalizePath(request.commandLineVm);
    const bool commandLineExists = !fromCommandLine.empty() && fileExists(fromCommandLine);
    if (request.settingVm.empty() && !commandLineExists) {
        return {};
    }
    WString program;
    // An empty file after QEL_VM gives way to the setting. A directory's size
    // cannot be read, so it does not, and the search follows below.
    if (commandLineExists && fileSize(fromCommandLine) != 0) {
        program = fromCommandLine;
    } else {
        program = normalizePath(request.settingVm);
        if (!isAbsolutePath(program)) {
            program = normalizePath(fullPath(parentDir(request.propertiesPath, L"."), true) + L"\\" + program);
        }
    }
    if (!fileExists(program) || isDirectory(program)) {
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

JavaVm* selectVm(const VmRequest& request, const std::function<const VmInventory&()>& inventory)
{
    const WString program = namedProgram(request);
    if (!program.empty()) {
        std::unique_ptr<JavaVm> vm = javaVmFromExecutable(program);
        // For a named VM, commas separate tokens as well as spaces.
        for (const WString& token : Tokenizer(request.validVmList, L", ")) {
            if (matchesToken(*vm, token)) {
                namedVms().push_back(std::move(vm));
                return namedVms().back().get();
            }
        }
        // The user asked for this VM: another one is not tried instead.
        throw TerminalError(MessageTable::instance().text(MSG_NO_VM));
    }
    const std::vector<JavaVm*> accepted = filterByList(Tokenizer(request.validVmList, L" ").tokens(),
                                                      inventory().entries());
    return accepted.empty() ? nullptr : accepted.back();
}

JavaVm* selectVm(const Launcher& launcher)
{
    return selectVm(VmRequest::from(launcher), []() -> const VmInventory& { return VmInventory::instance(); });
}

}  // namespace qel
