#include <windows.h>

#include "base/files.h"
#include "base/system_text.h"
#include "launch/command_line.h"
#include "settings/environment.h"

namespace qel {

CommandLine CommandLine::parse()
{
    CommandLine result = split(GetCommandLineW());
    // Relative names resolve against the directory the launcher was started in,
    // which is still the current directory while the command line is parsed.
    makeFileArgumentsAbsolute(result, diskFileSystem());
    return result;
}

WString CommandLine::locateExecutable(const Environment& environment) const
{
    return normalizePath(locateExecutable(environment.pathEntries(), diskFileSystem().exists, runningModulePath()));
}

}  // namespace qel
