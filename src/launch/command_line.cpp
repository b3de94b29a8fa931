#include "launch/command_line.h"

#include "base/errors.h"
#include "base/path_text.h"
#include "base/text.h"

namespace qel {

namespace {

constexpr std::wstring_view kInteractiveSwitch = L"-i";
constexpr std::wstring_view kConsoleWord = L"console";

}  // namespace

CommandLine CommandLine::split(std::wstring_view text)
{
    CommandLine result;

    // Switches are recognised on the space-separated tokens, before quoted groups
    // are joined: a switch word inside quotes is still a switch, and a service
    // name is always a single token.
    const Tokenizer tokenizer(text, L" ");
    const auto& tokens = tokenizer.tokens();
    std::vector<WString> kept;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == kServiceSwitch) {
            if (i + 1 < tokens.size()) {
                result.serviceName = tokens[i + 1];
                result.serviceRequested = true;
                ++i;
            }
            continue;
        }
        kept.push_back(tokens[i]);
        if (tokens[i] == kInteractiveSwitch && i + 1 < tokens.size()) {
            ++i;
            kept.push_back(tokens[i]);
            if (tokens[i] == kConsoleWord) {
                result.consoleRequested = true;
            }
        }
    }

    // A token that opens with a double quote gathers the following tokens, each
    // after one space, up to the first one that ends with a double quote; then the
    // opening quote and a closing quote are stripped. There is no escape character.
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i].front() != L'"') {
            result.arguments.push_back(kept[i]);
            continue;
        }
        WString gathered = kept[i];
        const bool closedAlready = gathered.size() == 1 || gathered.back() == L'"';
        if (!closedAlready) {
            while (i + 1 < kept.size()) {
                ++i;
                gathered += L' ';
                gathered += kept[i];
                if (kept[i].back() == L'"') {
                    break;
                }
            }
        }
        gathered.erase(0, 1);
        if (!gathered.empty() && gathered.back() == L'"') {
            gathered.pop_back();
        }
        result.arguments.push_back(std::move(gathered));
    }
    return result;
}

WString CommandLine::valueAfter(std::wstring_view text) const
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == text) {
            return i + 1 < arguments.size() ? arguments[i + 1] : WString();
        }
    }
    return {};
}

void makeFileArgumentsAbsolute(CommandLine& commandLine, const FileSystemProbes& files)
{
    for (auto& argument : commandLine.arguments) {
        if (files.exists(collapseSeparators(argument))) {
            argument = files.fullPath(argument, ShortNames::Expand);
        }
    }
}

WString CommandLine::locateExecutable(const std::vector<WString>& searchPath, const ExistsProbe& exists,
                                      const WString& modulePath) const
{
    if (!arguments.empty()) {
        WString path = collapseSeparators(arguments.front());
        if (!hasExtension(path)) {
            path = collapseSeparators(path + L".exe");
        }
        if (exists(path)) {
            return path;
        }
        // Started by a bare name: the whole of it, not only its file name, is looked
        // for below each directory of Path.
        for (const auto& directory : searchPath) {
            WString candidate = collapseSeparators(directory + L"\\" + path);
            if (exists(candidate)) {
                return candidate;
            }
        }
    }
    // The command line named no file: the executable is the running module.
    if (modulePath.empty()) {
        throw TerminalError(kUnableToLocateExecutable);
    }
    return modulePath;
}

}  // namespace qel
