#pragma once

// What the launcher asks of the Java VM: the settings read into one request, and
// the command line each VM family makes of it. Pure rules: anything that needs
// the system (the absolute form of a path) comes in as a function.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/probes.h"
#include "base/wstring.h"
#include "settings/property_table.h"
#include "vm/java_vm.h"

namespace qel {

// The class-path entries in order; the joined text ends every entry with ";".
class ClassPathList {
public:
    void add(WString entry) { entries_.push_back(std::move(entry)); }
    const std::vector<WString>& entries() const { return entries_; }
    // Empty for an empty list.
    WString join() const;

private:
    std::vector<WString> entries_;
};

struct LaunchRequest {
    WString mainClass;
    WString gcExtent;
    WString additionalOptions;
    WString verboseDetail;
    WString workingDir = L".";
    ClassPathList classPath;
    std::vector<WString> appArgs;
    std::vector<WString> launcherArgs;
    std::int32_t msvmMinVersion = 0;
    // Byte counts; 0 or less means not given.
    std::int64_t heapInitial = 0;
    std::int64_t heapMax = 0;
    bool verbose = false;
    bool debugging = false;
    bool gcBackgroundThread = false;
    bool compiler = false;
    // The class-data archive the VM makes and maps (classDataArchivePath); empty
    // for none.
    WString classDataArchive;
};

struct Verbosity {
    bool verbose = false;
    // "gc" or "class" when the VM is to report only that; empty otherwise.
    WString detail;
    // The line for standard error when the selection is not known.
    std::optional<WString> warning;
};

// The verbosity setting, compared whole after lower-casing: "normal" and "all"
// turn it on, "gc" and "class" turn it on for that detail, empty and "none" leave
// it off, and any other text leaves it off with a warning.
Verbosity classifyVerbosity(std::wstring_view value);

// The text after the main class: each launcher argument quoted with its
// backslashes turned into slashes and a space after it, then the application's
// arguments separated by one space, each written so that the VM's C runtime
// splits it back as one argument with its backslashes doubled: quoted when it
// is empty or holds a blank or a tab, a double quote inside as \".
WString buildArgumentTail(const LaunchRequest& request);

struct LaunchInputs {
    explicit LaunchInputs(const PropertyTable& properties) : properties(properties) {}

    const PropertyTable& properties;
    // The class-path setting with $ENV_CLASSPATH$ already replaced.
    WString classPathText;
    // The properties file's name; its directory is the current directory.
    WString propertiesName;
    // The file that hands the properties to the Java side.
    WString handoffPath;
    // The launcher's arguments; the first is its own path.
    std::vector<WString> arguments;
    bool isService = false;
    // The system's absolute form of a path, short names expanded on request; the
    // text unchanged when that fails (as it does for an empty text).
    std::function<WString(const WString& path, ShortNames shortNames)> fullPath;
    // Makes a path's separators uniform; collapseSeparators when not set.
    std::function<WString(std::wstring_view path)> normalize;
};

struct FilledRequest {
    LaunchRequest request;
    // Lines for standard error, each with its line end.
    std::vector<WString> warnings;
};

// The request as the settings, the class path and the command line make it.
FilledRequest fillLaunchRequest(const LaunchInputs& in);

// Leaves out of the request what the VM would refuse to start with: a Java 2 VM
// of release 9 or later stops at -Xnoasyncgc ("Unrecognized option"), so the
// background-thread setting is dropped for it. Returns a line for standard error,
// with its line end, for each option left out; every other request is kept.
std::vector<WString> leaveOutRefusedOptions(const JavaVm& vm, LaunchRequest& request);

// The VM release from which the VM makes its class-data archive itself
// (-XX:+AutoCreateSharedArchive), and makes it anew when the class path's jars
// or the VM change.
inline constexpr int kAutoArchiveRelease = 19;

// The per-user class-data archive of the application on this VM, when the
// setting asks for one and the VM makes its own (a Java 2 VM of release
// kAutoArchiveRelease or later): in the user's local application data,
// Ravelin\class-data\NAME-HASH.jsa, NAME the properties file's base name and
// HASH 16 hexadecimal digits of its full path and the VM's home (lower-cased),
// so that each application on each VM has its own. Empty when the setting is
// off, the VM does not make one or the local application data is not known.
WString classDataArchivePath(const PropertyTable& properties, const JavaVm& vm, std::wstring_view localAppData,
                             std::wstring_view propertiesFullPath);

// The VM's command line. The family decides the option syntax; the request is a
// copy because the Java 1 family adds its own classes to the class path.
WString renderCommandLine(VmFamily family, std::wstring_view executable, std::wstring_view home, LaunchRequest request);

// Whether a process can be started in this absolute directory. The system keeps
// a process's current directory with a closing backslash and a terminator in
// 260 units: a longer directory cannot be given whole, and one that is cut would
// start the VM somewhere else.
bool fitsProcessDirectory(std::wstring_view directory);

// Windows starts a program with a command line of at most this many UTF-16
// units, its terminating null included; a longer one reaches the VM cut short.
inline constexpr std::size_t kCommandLineUnits = 32767;

// Whether Windows can give the VM this command line whole.
bool fitsCommandLine(std::wstring_view commandLine);

// The line that follows message 103 for a command line too long: its length and
// the limit.
WString commandLineTooLongText(std::size_t length);

// Whether the Microsoft VM's build number satisfies the lowest acceptable build;
// the numbers compare as signed values, so a minimum of 0 or less takes any build.
bool msvmBuildAccepted(std::uint32_t build, std::int32_t minVersion);

}  // namespace qel
