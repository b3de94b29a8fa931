#include "vm/selection.h"

#include <algorithm>

#include "base/path_text.h"
#include "base/text.h"
#include "base/trace.h"
#include "vm/inventory.h"
#include "vm/search_trace.h"

namespace qel {

namespace {

void traceUnusualToken(Trace& trace, const WString& token)
{
    if (const auto reading = unusualTokenReading(token)) {
        trace.line(L"token " + token + L": " + *reading);
    }
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

bool isOwnRuntime(std::wstring_view program, std::wstring_view fullDirectory)
{
    WString folder = collapseSeparators(fullDirectory);
    if (folder.empty()) {
        return false;
    }
    if (folder.back() != L'\\') {
        folder += L'\\';
    }
    const WString path = collapseSeparators(program);
    return path.size() > folder.size() && toLowerAscii(path.substr(0, folder.size())) == toLowerAscii(folder);
}

std::vector<JavaVm*> filterByList(const std::vector<WString>& tokens,
                                  const std::vector<std::unique_ptr<JavaVm>>& entries, Trace* trace)
{
    std::vector<JavaVm*> accepted;
    trace = writtenTrace(trace);
    for (const WString& token : tokens) {
        if (trace != nullptr) {
            for (const WString& line : tokenVerdictLines(token, entries)) {
                trace->line(line);
            }
        }
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
    Trace* const trace = writtenTrace(sources.trace);
    const bool named = !request.commandLineVm.empty() || !request.settingVm.empty();
    if (trace != nullptr) {
        trace->line(L"acceptable-VM list: \"" + request.validVmList + L"\"");
        if (named) {
            trace->line(L"named after QEL_VM: \"" + request.commandLineVm + L"\"; qel.nl.current.vm: \"" +
                        request.settingVm + L"\"");
        }
    }
    const WString program = namedProgram(request, sources.files);
    if (!program.empty()) {
        std::unique_ptr<JavaVm> vm = sources.identify(program);
        if (trace != nullptr) {
            trace->line(L"named program " + program + L": " + describeVm(*vm));
        }
        // For a named VM, commas separate tokens as well as spaces.
        for (const WString& token : Tokenizer(request.validVmList, L", ")) {
            const bool matches = matchesToken(*vm, token);
            if (trace != nullptr) {
                traceUnusualToken(*trace, token);
                trace->line(L"token " + token + (matches ? L" accepts " : L" rejects ") + L"the named program" +
                            (matches ? WString() : L": " + tokenRejection(vm->kind, vm->version, token)));
            }
            if (matches) {
                if (trace != nullptr) {
                    const bool own = isOwnRuntime(
                        program, sources.files.fullPath(directoryOf(request.propertiesPath), ShortNames::Expand));
                    trace->line(L"chosen: the named program " + program +
                                (own ? L", the program's own runtime (in its folder)" : L""));
                }
                return VmChoice{std::move(*vm)};
            }
        }
        if (trace != nullptr) {
            trace->line(L"chosen: none; no token accepts the named program, and a named VM is not replaced by another");
        }
        return VmChoice{};
    }
    if (!request.settingVm.empty() && !request.fallback) {
        if (trace != nullptr) {
            trace->line(L"chosen: none; the program qel.nl.current.vm names is missing, and "
                        L"qel.nl.current.vm.fallback is off: no installed VM is searched");
        }
        return VmChoice{};
    }
    if (trace != nullptr) {
        trace->line(named ? L"no named program exists: searching the installed VMs"
                          : L"no VM named after QEL_VM or in qel.nl.current.vm: searching the installed VMs");
    }
    const std::vector<WString> tokens = Tokenizer(request.validVmList, L" ").tokens();
    if (trace != nullptr) {
        for (const WString& token : tokens) {
            traceUnusualToken(*trace, token);
        }
    }
    const std::vector<JavaVm*> accepted = filterByList(tokens, sources.inventory().entries(), trace);
    if (trace != nullptr) {
        trace->line(chosenLine(accepted));
    }
    if (accepted.empty()) {
        return VmChoice{};
    }
    return VmChoice{*accepted.back()};
}

}  // namespace qel
