#pragma once

// The launcher's command line: split by the launcher itself from the one text
// Windows gives it, with the few switches it consumes or notices.

#include <string_view>
#include <vector>

#include "base/probes.h"
#include "base/wstring.h"
#include "settings/environment.h"

namespace qel {

// The switch that runs the launcher as the service named after it.
inline constexpr std::wstring_view kServiceSwitch = L"-kwqelservice";
// The switches that install, remove, start, stop, restart the service named
// after them, or tell its state.
inline constexpr std::wstring_view kInstallSwitch = L"-kwqelinstall";
inline constexpr std::wstring_view kUninstallSwitch = L"-kwqeluninstall";
inline constexpr std::wstring_view kStartSwitch = L"-kwqelstart";
inline constexpr std::wstring_view kStopSwitch = L"-kwqelstop";
inline constexpr std::wstring_view kRestartSwitch = L"-kwqelrestart";
inline constexpr std::wstring_view kStatusSwitch = L"-kwqelstatus";
// Right after the name of an install: the environment variable named after it
// holds a user account's password.
inline constexpr std::wstring_view kPasswordEnvSwitch = L"--password-env";

// The launcher cannot tell its own executable; not a text of the string table.
inline constexpr const wchar_t* kUnableToLocateExecutable = L"unable to locate executable";

struct CommandLine {
    // The kept arguments in order; the first is the launcher's own path as started.
    std::vector<WString> arguments;
    // "-kwqelservice" was given with a service name after it.
    bool serviceRequested = false;
    // "-i" was directly followed by "console".
    bool consoleRequested = false;
    // The token after the service switch, unchanged.
    WString serviceName;

    // Splits GetCommandLineW() and makes arguments that name existing files absolute.
    static CommandLine parse();

    // The split alone: the arguments as typed (see wholeArguments), then the
    // switches among them.
    static CommandLine split(std::wstring_view text);

    // The argument after the first argument equal to text; empty when there is
    // none or it is the last one.
    WString valueAfter(std::wstring_view text) const;

    // The full path of the launcher's own executable: the first argument, searched
    // through the entries of the environment's Path when it was started by a
    // bare name, else the running module's path. Throws TerminalError "unable to
    // locate executable" only when Windows gives no module path either.
    WString locateExecutable(const Environment& environment) const;
    // The same search through the given directories, asking exists. The first
    // argument need not name the executable: a parent may start the launcher with
    // any command line. When neither the argument nor the search finds a file,
    // the module path decides (an empty one finds nothing).
    WString locateExecutable(const std::vector<WString>& searchPath, const ExistsProbe& exists,
                             const WString& modulePath) const;
};

// kServiceSwitch or one of the switches beside it.
bool isServiceSwitch(std::wstring_view argument);

// Replaces every argument that names an existing file system object by its absolute
// path (short names expanded), resolved against the current directory. A
// service's name is no file: the argument after a service switch (kServiceSwitch
// and the switches beside it) stays as typed, and so does the variable after an
// install's "--password-env".
void makeFileArgumentsAbsolute(CommandLine& commandLine, const FileSystemProbes& files);

// The argument as written on a command line that the launcher splits (split),
// so that it reads back whole: as it is when it is not empty, holds no blank and
// does not begin with a double quote; else in double quotes. The split gives
// every argument it made back this way (none holds a double quote followed by a
// blank).
WString launcherArgumentText(std::wstring_view argument);

}  // namespace qel
