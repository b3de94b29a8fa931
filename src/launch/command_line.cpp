#include "launch/command_line.h"

#include <algorithm>
#include <initializer_list>

#include "base/errors.h"
#include "base/path_text.h"
#include "base/text.h"

namespace qel {

namespace {

constexpr std::wstring_view kInteractiveSwitch = L"-i";
constexpr std::wstring_view kConsoleWord = L"console";

// The arguments of the text, each as the user typed it: blanks separate
// arguments; an argument that opens with a double quote runs to the first later
// double quote that ends a word (a blank or the end of the text follows it),
// blanks and all, and loses both quotes; without such a quote it takes the rest
// of the text. There is no escape character, and a double quote anywhere else
// is an ordinary character.
std::vector<WString> wholeArguments(std::wstring_view text)
{
    std::vector<WString> result;
    std::size_t at = 0;
    while (true) {
        at = text.find_first_not_of(L' ', at);
        if (at == std::wstring_view::npos) {
            return result;
        }
        if (text[at] != L'"') {
            const std::size_t end = std::min(text.find(L' ', at), text.size());
            result.emplace_back(text.substr(at, end - at));
            at = end;
            continue;
        }
        std::size_t close = at;
        do {
            close = text.find(L'"', close + 1);
        } while (close != std::wstring_view::npos && close + 1 < text.size() && text[close + 1] != L' ');
        if (close == std::wstring_view::npos) {
            // An unmatched quote takes the rest of the line, without the blanks
            // that end it.
            const std::wstring_view rest = text.substr(at + 1);
            result.emplace_back(rest.substr(0, rest.find_last_not_of(L' ') + 1));
            return result;
        }
        result.emplace_back(text.substr(at + 1, close - at - 1));
        at = close + 1;
    }
}

}  // namespace

CommandLine CommandLine::split(std::wstring_view text)
{
    CommandLine result;
    // A switch is a whole argument of its own: a switch word inside a quoted
    // argument is part of the application's text.
    const std::vector<WString> all = wholeArguments(text);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] == kServiceSwitch) {
            if (i + 1 < all.size()) {
                result.serviceName = all[i + 1];
                result.serviceRequested = true;
                ++i;
            }
            continue;
        }
        result.arguments.push_back(all[i]);
        if (all[i] == kInteractiveSwitch && i + 1 < all.size()) {
            ++i;
            result.arguments.push_back(all[i]);
            if (all[i] == kConsoleWord) {
                result.consoleRequested = true;
            }
        }
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

bool isServiceSwitch(std::wstring_view argument)
{
    for (const std::wstring_view word :
         {kServiceSwitch, kInstallSwitch, kUninstallSwitch, kStartSwitch, kStopSwitch, kRestartSwitch, kStatusSwitch}) {
        if (argument == word) {
            return true;
        }
    }
    return false;
}

void makeFileArgumentsAbsolute(CommandLine& commandLine, const FileSystemProbes& files)
{
    std::vector<WString>& arguments = commandLine.arguments;
    std::vector<bool> asTyped(arguments.size(), false);
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (!isServiceSwitch(arguments[i])) {
            continue;
        }
        asTyped[i + 1] = true;
        if (arguments[i] == kInstallSwitch && i + 3 < arguments.size() && arguments[i + 2] == kPasswordEnvSwitch) {
            asTyped[i + 3] = true;
        }
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        WString& argument = arguments[i];
        // "nul" or "con" names a device wherever the user stands, not a file of
        // the current directory.
        if (asTyped[i] || isDeviceName(argument)) {
            continue;
        }
        if (files.exists(collapseSeparators(argument))) {
            argument = files.fullPath(argument, ShortNames::Expand);
        }
    }
}

WString launcherArgumentText(std::wstring_view argument)
{
    if (!argument.empty() && argument.find(L' ') == std::wstring_view::npos && argument.front() != L'"') {
        return WString(argument);
    }
    return L"\"" + WString(argument) + L"\"";
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
