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
    for (auto& argument : result.arguments) {
        if (fileExists(normalizePath(argument))) {
            argument = fullPath(argument, true);
        }
    }
    return result;
}

WString CommandLine::locateExecutable() const
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
    for (const auto& directory : Environment::instance().pathEntries()) {
        WString candidate = normalizePath(directory + L"\\" + path);
        if (fileExists(candidate)) {
            return candidate;
        }
    }
    throw TerminalError(L"unable to locate executable");
}

}  // namespace qel
