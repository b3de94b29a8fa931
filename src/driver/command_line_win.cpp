#include <windows.h>

#include "base/errors.h"
#include "base/files.h"
#include "driver/command_line.h"
#include "settings/environment.h"

namespace qel {

CommandLine CommandLine::parse()
{
    CommandLine result = split(GetCommandLineW());
    // Relative names resolve against the directory the launcher was started in,
    // which is still the current directory while the command line is parsed.
    makeFileArgumentsAbsolute(result);
    return result;
}

void makeFileArgumentsAbsolute(CommandLine& commandLine)
{
    for (auto& argument : commandLine.arguments) {
        if (fileExists(normalizePath(argument))) {
            argument = fullPath(argument, true);
        }
    }
}

WString CommandLine::locateExecutable() const
{
    // Reading Path takes the environment snapshot at the very start of the run, so
    // it holds the environment the launcher was started with.
    return locateExecutable(Environment::instance().pathEntries());
}

WString CommandLine::locateExecutable(const std::vector<WString>& searchPath) const
{
    // An empty command line names no executable at all.
    if (arguments.empty()) {
        throw TerminalError(L"unable to locate executable");
    }
    WString path = normalizePath(arguments.front());
    if (!hasExtension(path)) {
        path = normalizePath(path + L".exe");
    }
    if (fileExists(path)) {
        return path;
    }
    // Started by a bare name: the whole of it, not only its file name, is looked
    // for below each directory of Path.
    for (const auto& directory : searchPath) {
        WString candidate = normalizePath(directory + L"\\" + path);
        if (fileExists(candidate)) {
            return candidate;
        }
    }
    throw TerminalError(L"unable to locate executable");
}

}  // namespace qel
