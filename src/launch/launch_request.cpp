#include "launch/launch_request.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/path_text.h"
#include "base/text.h"
#include "settings/settings.h"

namespace qel {

namespace {

WString quoted(std::wstring_view text)
{
    WString result = L"\"";
    result += text;
    result += L'"';
    return result;
}

// The path relative to the current directory, which is the properties file's own.
// The joining backslash also stands for a root: beside Q:\App.qel lies Q:\path.
WString besideProperties(std::wstring_view propertiesName, std::wstring_view path)
{
    return parentDir(propertiesName, L".") + L"\\" + WString(path);
}

// The pieces between the semicolons, without the empty ones wherever they come
// from: a leading, doubled or trailing ";", or a $ENV_CLASSPATH$ that stood for
// an unset variable. An empty piece would become the properties file's directory
// and a leading ";" would stay on the first piece.
std::vector<WString> classPathPieces(std::wstring_view text)
{
    std::vector<WString> pieces;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t end = std::min(text.find(L';', begin), text.size());
        if (end > begin) {
            pieces.emplace_back(text.substr(begin, end - begin));
        }
        begin = end + 1;
    }
    return pieces;
}

// One application argument as the VM's C runtime must split it back: every
// backslash doubled (the Java side undoes that), a double quote written as \"
// with the doubled backslashes before it doubled once more (a run of 2n
// backslashes and \" reads back as n backslashes and the quote), and quotes
// around an argument that is empty or holds a blank or a tab, which would
// otherwise vanish or split. The closing quote is a quote too: the doubled
// backslashes before it are doubled once more.
WString applicationArgument(std::wstring_view argument)
{
    WString text;
    std::size_t backslashes = 0;
    for (const wchar_t unit : argument) {
        if (unit == L'\\') {
            text += L"\\\\";
            backslashes += 2;
            continue;
        }
        if (unit == L'"') {
            text.append(backslashes, L'\\');
            text += L"\\\"";
        } else {
            text.push_back(unit);
        }
        backslashes = 0;
    }
    const bool needsQuotes = argument.empty() || argument.find_first_of(L" \t") != std::wstring_view::npos;
    if (!needsQuotes) {
        return text;
    }
    text.append(backslashes, L'\\');
    return quoted(text);
}

// The options one family writes for the request's settings.
struct OptionSyntax {
    const wchar_t* heapInitial;
    const wchar_t* heapMax;
    bool verboseDetail;
    const wchar_t* debugging;
    const wchar_t* gcBackgroundThread;
    const wchar_t* compiler;
    const wchar_t* gcExtent;
};

constexpr OptionSyntax kJ2Options{L"-Xms",       L"-Xmx", true, L"-Xdebug", L"-Xnoasyncgc", L"-Djava.compiler=off",
                                  L"-Xnoclassgc"};
constexpr OptionSyntax kJ1Options{L"-ms", L"-mx", false, L"-debug", L"-noasyncgc", L"-nojit", L"-noclassgc"};

void appendOptions(WString& line, const OptionSyntax& syntax, const LaunchRequest& request)
{
    if (request.heapInitial > 0) {
        line += L' ' + WString(syntax.heapInitial) + std::to_wstring(request.heapInitial);
    }
    if (request.heapMax > 0) {
        line += L' ' + WString(syntax.heapMax) + std::to_wstring(request.heapMax);
    }
    if (request.verbose) {
        line += L" -verbose";
        if (syntax.verboseDetail && !request.verboseDetail.empty()) {
            line += L':' + request.verboseDetail;
        }
    }
    if (request.debugging) {
        line += L' ' + WString(syntax.debugging);
    }
    if (request.gcBackgroundThread) {
        line += L' ' + WString(syntax.gcBackgroundThread);
    }
    if (request.compiler) {
        line += L' ' + WString(syntax.compiler);
    }
    if (!request.gcExtent.empty()) {
        line += L' ' + WString(syntax.gcExtent);
    }
    // Before the additional options, whose own archive options then win.
    if (!request.classDataArchive.empty()) {
        line += L' ' + quoted(L"-XX:SharedArchiveFile=" + request.classDataArchive) + L" -XX:+AutoCreateSharedArchive";
    }
    if (!request.additionalOptions.empty()) {
        line += L' ' + request.additionalOptions;
    }
}

// The class path, the main class and the arguments, after the class-path flag.
WString classPathAndTail(std::wstring_view flag, const LaunchRequest& request)
{
    WString text = L" ";
    text += flag;
    text += L' ' + quoted(request.classPath.join()) + L' ' + request.mainClass + L' ';
    text += buildArgumentTail(request);
    return text;
}

}  // namespace

WString ClassPathList::join() const
{
    WString text;
    for (const WString& entry : entries_) {
        text += entry;
        text += L';';
    }
    return text;
}

Verbosity classifyVerbosity(std::wstring_view value)
{
    Verbosity result;
    if (value.empty()) {
        return result;
    }
    const WString lowered = toLowerAscii(value);
    if (lowered == L"normal" || lowered == L"all") {
        result.verbose = true;
    } else if (lowered == L"gc" || lowered == L"class") {
        result.verbose = true;
        result.detail = lowered;
    } else if (lowered != L"none") {
        result.warning = L"invalid verbosity selection '" + lowered + L"', disabling verbosity.\n";
    }
    return result;
}

WString buildArgumentTail(const LaunchRequest& request)
{
    WString tail;
    for (const WString& argument : request.launcherArgs) {
        WString forward = argument;
        for (auto& unit : forward) {
            if (unit == L'\\') {
                unit = L'/';
            }
        }
        tail += quoted(forward) + L' ';
    }
    const std::size_t count = request.appArgs.size();
    for (std::size_t i = 0; i < count; ++i) {
        tail += applicationArgument(request.appArgs[i]);
        if (i + 1 < count) {
            tail += L' ';
        }
    }
    return tail;
}

FilledRequest fillLaunchRequest(const LaunchInputs& in)
{
    const auto normalize = [&in](std::wstring_view path) {
        return in.normalize ? in.normalize(path) : collapseSeparators(path);
    };
    const PropertyTable& table = in.properties;
    FilledRequest filled;
    LaunchRequest& request = filled.request;

    // A working directory the system cannot make absolute counts from the
    // properties file's directory.
    const WString userDir = setting(table, keys::userDir);
    const WString resolved = in.fullPath(userDir, ShortNames::Expand);
    request.workingDir = normalize(isAbsolutePath(resolved) ? resolved : besideProperties(in.propertiesName, userDir));

    request.mainClass = setting(table, keys::mainClass);
    request.additionalOptions = setting(table, keys::additionalOptions);
    request.heapInitial = heapInitial(table);
    request.heapMax = heapMax(table);
    request.gcExtent = setting(table, keys::gcExtent);
    request.gcBackgroundThread = parseSwitch(setting(table, keys::gcBackgroundThread));
    request.debugging = parseSwitch(setting(table, keys::debugging));
    request.compiler = parseSwitch(setting(table, keys::compiler));
    request.msvmMinVersion = parseDecimal(setting(table, keys::msvmMinVersion));

    request.launcherArgs.push_back(in.fullPath(in.propertiesName, ShortNames::Expand));
    request.launcherArgs.push_back(in.handoffPath);

    Verbosity verbosity = classifyVerbosity(setting(table, keys::verbose));
    request.verbose = verbosity.verbose;
    request.verboseDetail = std::move(verbosity.detail);
    if (verbosity.warning) {
        filled.warnings.push_back(std::move(*verbosity.warning));
    }

    // A service's VM must outlive the user's logoff.
    if (in.isService) {
        request.additionalOptions += L" -Xrs";
    }

    for (const WString& piece : classPathPieces(in.classPathText)) {
        const WString entry = normalize(piece);
        request.classPath.add(isAbsolutePath(entry)
                                  ? in.fullPath(entry, ShortNames::Keep)
                                  : in.fullPath(besideProperties(in.propertiesName, entry), ShortNames::Keep));
    }

    if (!in.arguments.empty()) {
        request.appArgs.assign(in.arguments.begin() + 1, in.arguments.end());
    }
    return filled;
}

std::vector<WString> leaveOutRefusedOptions(const JavaVm& vm, LaunchRequest& request)
{
    std::vector<WString> warnings;
    if (vm.family == VmFamily::J2 && vm.version.release() >= kModernRelease && request.gcBackgroundThread) {
        request.gcBackgroundThread = false;
        warnings.push_back(L"option " + WString(kJ2Options.gcBackgroundThread) + L" (" +
                           WString(keys::gcBackgroundThread.name) + L") left out: Java " +
                           std::to_wstring(vm.version.release()) + L" does not start with it.\n");
    }
    return warnings;
}

WString classDataArchivePath(const PropertyTable& properties, const JavaVm& vm, std::wstring_view localAppData,
                             std::wstring_view propertiesFullPath)
{
    if (!parseSwitch(setting(properties, keys::classDataArchive)) || vm.family != VmFamily::J2 ||
        vm.version.release() < kAutoArchiveRelease || localAppData.empty()) {
        return {};
    }
    // FNV-1a over the UTF-16 units: stable across runs and builds.
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t unit : toLowerAscii(WString(propertiesFullPath) + L'|' + vm.home)) {
        hash = (hash ^ static_cast<std::uint16_t>(unit)) * 1099511628211ull;
    }
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    WString digits(16, L'0');
    for (int i = 15; i >= 0; --i, hash >>= 4) {
        digits[static_cast<std::size_t>(i)] = kDigits[hash & 0xF];
    }
    WString name = fileName(propertiesFullPath);
    if (hasExtension(name)) {
        name.erase(name.rfind(L'.'));
    }
    WString folder(localAppData);
    if (folder.back() != L'\\') {
        folder += L'\\';
    }
    return folder + L"Ravelin\\class-data\\" + name + L'-' + digits + L".jsa";
}

WString renderCommandLine(VmFamily family, std::wstring_view executable, std::wstring_view home, LaunchRequest request)
{
    WString line = quoted(executable);
    switch (family) {
    case VmFamily::J2:
        appendOptions(line, kJ2Options, request);
        line += classPathAndTail(L"-classpath", request);
        break;
    case VmFamily::J1: {
        // A Java 1 VM finds its own classes only through the class path.
        request.classPath.add(WString(home) + L"\\lib\\classes.zip");
        appendOptions(line, kJ1Options, request);
        const WString program = fileName(executable, LetterCase::Lower);
        const bool runtimeProgram = isJ1RuntimeProgram(program);
        line += classPathAndTail(runtimeProgram ? L"-cp" : L"-classpath", request);
        break;
    }
    case VmFamily::Msj:
        // The Microsoft VM takes none of the option settings.
        line += classPathAndTail(L"/cp", request);
        break;
    }
    return line;
}

bool msvmBuildAccepted(std::uint32_t build, std::int32_t minVersion)
{
    return static_cast<std::int64_t>(build) >= static_cast<std::int64_t>(minVersion);
}

bool fitsCommandLine(std::wstring_view commandLine)
{
    return commandLine.size() + 1 <= kCommandLineUnits;
}

WString commandLineTooLongText(std::size_t length)
{
    return L"The command line of the Java VM has " + std::to_wstring(length) +
           L" characters; Windows starts a program with at most " + std::to_wstring(kCommandLineUnits - 1) + L" (" +
           std::to_wstring(kCommandLineUnits) + L" with the terminating null).";
}

bool fitsProcessDirectory(std::wstring_view directory)
{
    constexpr std::size_t kDirectoryUnits = 260;
    const bool closed = !directory.empty() && directory.back() == L'\\';
    return directory.size() + (closed ? 0 : 1) + 1 <= kDirectoryUnits;
}

}  // namespace qel
