#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "base/path_text.h"
#include "launch/command_line.h"
#include "launch/handoff_text.h"
#include "launch/launch_plan.h"
#include "launch/launch_request.h"
#include "settings/settings.h"
#include "settings/property_table.h"
#include "support/property_tables.h"
#include "support/shared_cases.h"
#include "support/test_files.h"
#include "support/version_printer.h"

using namespace qel;
using qel::test::packed;
using qel::test::narrow;
using qel::test::tableOf;

namespace {

using Lines = std::vector<WString>;
using Variables = std::map<WString, WString, std::less<>>;

// The system's absolute form as if the current directory were C:\Apps\Tool: a
// relative path is joined to it and its "." steps dropped; the short name
// LONGNA~1 expands to "Long Name" only on request. An empty text, and one with
// a "|" (no valid path), fail and come back unchanged.
WString fakeFullPath(const WString& path, ShortNames shortNames)
{
    if (path.empty() || path.find(L'|') != std::wstring_view::npos) {
        return WString(path);
    }
    WString full = isAbsolutePath(path) ? WString(path) : L"C:\\Apps\\Tool\\" + WString(path);
    for (auto at = full.find(L"\\.\\"); at != WString::npos; at = full.find(L"\\.\\")) {
        full.erase(at, 2);
    }
    if (full.size() >= 2 && full.compare(full.size() - 2, 2, L"\\.") == 0) {
        full.resize(full.size() - 2);
    }
    if (shortNames == ShortNames::Expand) {
        for (auto at = full.find(L"LONGNA~1"); at != WString::npos; at = full.find(L"LONGNA~1")) {
            full.replace(at, 8, L"Long Name");
        }
    }
    return full;
}

// The inputs of a run of C:\Apps\Tool\Tool.exe with its properties file Tool.qel
// and the hand-off file C:\Temp\qel3F.tmp.
LaunchInputs toolInputs(const PropertyTable& table)
{
    LaunchInputs in(table);
    in.classPathText = L"C:\\Apps\\Tool\\lib\\a.jar";
    in.propertiesName = L"Tool.qel";
    in.handoffPath = L"C:\\Temp\\qel3F.tmp";
    in.arguments = {L"C:\\Apps\\Tool\\Tool.exe"};
    in.fullPath = fakeFullPath;
    return in;
}

// The settings of the documented command lines: main class app.Start, maximum
// heap 64m, verbosity gc, additional options -Dx=1.
LaunchRequest exampleRequest(bool isService, const wchar_t* additionalOptions = L"-Dx=1")
{
    const PropertyTable table = tableOf({
        {L"qel.nl.java.launcher.main.class", L"app.Start"},
        {L"qel.nl.java.option.java.heap.size.max", L"64m"},
        {L"qel.nl.java.option.verbose", L"gc"},
        {L"qel.nl.java.option.additional", additionalOptions},
    });
    LaunchInputs in = toolInputs(table);
    in.isService = isService;
    return fillLaunchRequest(in).request;
}

// Every option setting turned on, with sizes beyond 32 bits.
LaunchRequest everyOption()
{
    LaunchRequest request;
    request.mainClass = L"M";
    request.gcExtent = L"x";
    request.additionalOptions = L"-Da=b";
    request.verboseDetail = L"class";
    request.classPath.add(L"a.jar");
    request.launcherArgs = {L"L"};
    request.appArgs = {L"x"};
    request.heapInitial = 1048576;
    request.heapMax = parseByteSize(L"4096m");
    request.verbose = true;
    request.debugging = true;
    request.gcBackgroundThread = true;
    request.compiler = true;
    return request;
}

const wchar_t* const kJ2Program = L"C:\\Java\\jre\\bin\\javaw.exe";
const wchar_t* const kJ1Program = L"C:\\Java11\\bin\\jrew.exe";
const wchar_t* const kMsjProgram = L"C:\\WINDOWS\\system32\\wjview.exe";
const wchar_t* const kToolTail = L"app.Start \"C:/Apps/Tool/Tool.qel\" \"C:/Temp/qel3F.tmp\" ";

}  // namespace

// --- The launcher's own command line -----------------------------------------

// Arguments that name files become absolute, but a service's name is no file:
// "drivers" in C:\Windows\System32, "." or a file of the current directory
// named after a service switch stays as typed, and so does the variable of an
// install's "--password-env". Every argument but a switch names a file here.
TEST(FileArguments, AServicesNameStaysAsTyped)
{
    const FileSystemProbes files{
        [](const WString& path) { return path.empty() || path.front() != L'-'; },
        [](const WString&) { return false; },
        [](const WString&) { return 0; },
        fakeFullPath,
    };
    struct Row {
        Lines arguments;
        Lines made;
    };
    const WString tool = L"C:\\Apps\\Tool\\";
    const Row rows[] = {
        {{L"-kwqelinstall", L"drivers", L"data"}, {L"-kwqelinstall", L"drivers", tool + L"data"}},
        {{L"-kwqeluninstall", L"."}, {L"-kwqeluninstall", L"."}},
        {{L"-kwqelservice", L"Tool.qel", L"x"}, {L"-kwqelservice", L"Tool.qel", tool + L"x"}},
        {{L"-kwqelstart", L"S"}, {L"-kwqelstart", L"S"}},
        {{L"-kwqelstop", L"S"}, {L"-kwqelstop", L"S"}},
        {{L"-kwqelrestart", L"S"}, {L"-kwqelrestart", L"S"}},
        {{L"-kwqelstatus", L"S", L"S"}, {L"-kwqelstatus", L"S", tool + L"S"}},
        {{L"-kwqelinstall", L"S", L"--password-env", L"PW", L"PW"},
         {L"-kwqelinstall", L"S", L"--password-env", L"PW", tool + L"PW"}},
        // "--password-env" counts right after the name of an install only.
        {{L"-kwqelinstall", L"S", L"x", L"--password-env", L"PW"},
         {L"-kwqelinstall", L"S", tool + L"x", L"--password-env", tool + L"PW"}},
        {{L"-kwqeluninstall", L"S", L"--password-env", L"PW"},
         {L"-kwqeluninstall", L"S", L"--password-env", tool + L"PW"}},
        // A switch is only the whole word in its case.
        {{L"-KWQELINSTALL", L"S"}, {L"-KWQELINSTALL", tool + L"S"}},
        {{L"S", L"-kwqelinstall"}, {tool + L"S", L"-kwqelinstall"}},
    };
    for (const Row& row : rows) {
        CommandLine line;
        line.arguments = {L"C:\\Apps\\Tool\\Tool.exe"};
        line.arguments.insert(line.arguments.end(), row.arguments.begin(), row.arguments.end());
        makeFileArgumentsAbsolute(line, files);
        Lines made = {L"C:\\Apps\\Tool\\Tool.exe"};
        made.insert(made.end(), row.made.begin(), row.made.end());
        EXPECT_EQ(line.arguments, made) << narrow(row.arguments.front());
    }
}

// What the launcher writes for an argument of a command line it splits again
// reads back as that argument.
TEST(FileArguments, ArgumentTextReadsBackWhole)
{
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {LR"(-port)", LR"(-port)"},
        {LR"(C:\My Files\a.txt)", LR"("C:\My Files\a.txt")"},
        {LR"(C:\dir\)", LR"(C:\dir\)"},
        // No escape character: the backslash before the closing quote stays.
        {LR"(C:\My Dir\)", LR"("C:\My Dir\")"},
        {LR"()", LR"("")"},
        {LR"( )", LR"(" ")"},
        {LR"(say"hi)", LR"(say"hi)"},
        {LR"(say")", LR"(say")"},
        // A word that begins with a quote would lose it.
        {LR"("q")", LR"(""q"")"},
        {LR"(")", LR"(""")"},
        {L"tab\there", L"tab\there"},
        {LR"(a"b c)", LR"("a"b c")"},
    };
    for (const auto& [argument, text] : rows) {
        EXPECT_EQ(launcherArgumentText(argument), text) << narrow(argument);
        EXPECT_EQ(CommandLine::split(L"x.exe " + launcherArgumentText(argument) + L" y").arguments,
                  (Lines{L"x.exe", argument, L"y"}))
            << narrow(argument);
    }
}

// --- The hand-off file -------------------------------------------------------

// The table of cases whose lines the Java side's tests read back.
TEST(EscapeProperty, OneLineThatReadsBackUnitForUnit)
{
    const auto cases = test::readSharedCases("handoff.txt");
    ASSERT_GT(cases.size(), 10u);
    for (const auto& c : cases) {
        const WString text = c.one("text");
        EXPECT_EQ(escapeProperty(text, PropertyPart::Key), c.one("key")) << c.name;
        EXPECT_EQ(escapeProperty(text, PropertyPart::Value), c.one("value")) << c.name;
    }
}

TEST(HandoffLines, ThreeEnvironmentLinesPerVariable)
{
    struct Row {
        Variables variables;
        Lines lines;
    };
    // The value comes from expand, never from the map.
    const auto expand = [](std::wstring_view name) {
        return name == L"Path" ? WString(L"C:\\Program Files;D:\\caf\u00e9") : L"<" + WString(name) + L">";
    };
    const Row rows[] = {
        {{{L"Path", L"%unexpanded%"}},
         {L"qel.nl.env.path=C:\\\\Program Files;D:\\\\caf\\u00e9",
          L"qel.nl.env.PATH=C:\\\\Program Files;D:\\\\caf\\u00e9",
          L"qel.nl.env.exact_case.Path=C:\\\\Program Files;D:\\\\caf\\u00e9"}},
        // The case changes before the escapes: they keep their lower case, and
        // only ASCII letters change.
        {{{L"Caf\u00e9_\u00c9x", L""}},
         {L"qel.nl.env.caf\\u00e9_\\u00c9x=<Caf\\u00e9_\\u00c9x>",
          L"qel.nl.env.CAF\\u00e9_\\u00c9X=<Caf\\u00e9_\\u00c9x>",
          L"qel.nl.env.exact_case.Caf\\u00e9_\\u00c9x=<Caf\\u00e9_\\u00c9x>"}},
        // A line break in a value or a name gives no line of its own, and a name
        // with a blank, ":" or "=" keeps them in its key.
        {{{L"t\tn:a me=", L""}},
         {L"qel.nl.env.t\\tn\\:a\\ me\\==<t\\tn:a me=>", L"qel.nl.env.T\\tN\\:A\\ ME\\==<t\\tn:a me=>",
          L"qel.nl.env.exact_case.t\\tn\\:a\\ me\\==<t\\tn:a me=>"}},
        {{{L"", L"D:=D:\\x"}}, {L"qel.nl.env.=<>", L"qel.nl.env.=<>", L"qel.nl.env.exact_case.=<>"}},
        // Names in the order of their units: upper case first.
        {{{L"b", L""}, {L"a", L""}, {L"B", L""}},
         {L"qel.nl.env.b=<B>", L"qel.nl.env.B=<B>", L"qel.nl.env.exact_case.B=<B>", L"qel.nl.env.a=<a>",
          L"qel.nl.env.A=<a>", L"qel.nl.env.exact_case.a=<a>", L"qel.nl.env.b=<b>", L"qel.nl.env.B=<b>",
          L"qel.nl.env.exact_case.b=<b>"}},
        {{}, {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(environmentLines(row.variables, expand), row.lines);
    }
}

TEST(HandoffLines, HowTheVmRuns)
{
    struct Row {
        bool console;
        bool service;
        Lines lines;
    };
    const Row rows[] = {
        {false, false, {L"qel.console=false"}},
        {true, false, {L"qel.console=true"}},
        {false, true, {L"qel.console=false", L"qel.service=true"}},
        {true, true, {L"qel.console=true", L"qel.service=true"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(runLines(row.console, row.service), row.lines) << row.console << row.service;
    }
}

TEST(HandoffLines, FileBytesEndEachLineWithCrLf)
{
    Lines lines = {currentVmLine(L"C:\\J\u00e9\\bin\\java.exe")};
    for (const auto& line : controlKeyLines()) {
        lines.push_back(line);
    }
    EXPECT_EQ(handoffBytes(lines), "qel.nl.current.vm=C:\\\\J\\u00e9\\\\bin\\\\java.exe\r\n"
                                   "qel.control-key=true\r\n"
                                   "qel.stderr.redirect=console\r\n"
                                   "qel.stdout.redirect=console\r\n");
    EXPECT_EQ(handoffBytes({L"", L"a=b"}), "\r\na=b\r\n");
    EXPECT_EQ(handoffBytes({}), "");
}

// --- Settings into the request -----------------------------------------------

TEST(Verbosity, SelectionComparedWholeAfterLowerCasing)
{
    struct Row {
        const wchar_t* value;
        bool verbose;
        const wchar_t* detail;
        std::optional<WString> warning;
    };
    const Row rows[] = {
        {L"", false, L"", std::nullopt},
        {L"None", false, L"", std::nullopt},
        {L"normal", true, L"", std::nullopt},
        {L"ALL", true, L"", std::nullopt},
        {L"GC", true, L"gc", std::nullopt},
        {L"Class", true, L"class", std::nullopt},
        {L"Loud", false, L"", L"invalid verbosity selection 'loud', disabling verbosity.\n"},
        {L" gc", false, L"", L"invalid verbosity selection ' gc', disabling verbosity.\n"},  // nothing is trimmed
        {L"gc,class", false, L"", L"invalid verbosity selection 'gc,class', disabling verbosity.\n"},
    };
    for (const auto& row : rows) {
        const Verbosity verbosity = classifyVerbosity(row.value);
        EXPECT_EQ(verbosity.verbose, row.verbose) << row.value;
        EXPECT_EQ(verbosity.detail, row.detail) << row.value;
        EXPECT_EQ(verbosity.warning, row.warning) << row.value;
    }
}

TEST(ArgumentTail, LauncherArgumentsThenApplicationArguments)
{
    struct Row {
        Lines launcherArgs;
        Lines appArgs;
        const wchar_t* tail;
    };
    const Lines tool = {L"C:\\Apps\\Tool\\Tool.qel", L"C:\\Temp\\qel3F.tmp"};
    const Row rows[] = {
        {tool,
         {L"-open", L"C:\\My Files\\a.txt"},
         L"\"C:/Apps/Tool/Tool.qel\" \"C:/Temp/qel3F.tmp\" -open \"C:\\\\My Files\\\\a.txt\""},
        {tool, {}, L"\"C:/Apps/Tool/Tool.qel\" \"C:/Temp/qel3F.tmp\" "},
        // An empty argument is kept as "", a tab is quoted as a blank is, and a
        // double quote is written \" so that it reads back as itself.
        {{L"C:\\My Apps\\T.qel"}, {L"a", L"", L"b"}, L"\"C:/My Apps/T.qel\" a \"\" b"},
        {{}, {L""}, L"\"\""},
        {{}, {L"tab\there"}, L"\"tab\there\""},
        {{}, {L"\"q\"", L"say \"hi\""}, L"\\\"q\\\" \"say \\\"hi\\\"\""},
        // The doubled backslashes before a quote are doubled once more, so they
        // still read back doubled.
        {{}, {L"a\\\"b", L"\\\\\""}, L"a\\\\\\\\\\\"b \\\\\\\\\\\\\\\\\\\""},
        // So are those before the closing quote of an argument with a blank.
        {{}, {L"\\\\server\\share\\", L"C:\\My Dir\\"}, L"\\\\\\\\server\\\\share\\\\ \"C:\\\\My Dir\\\\\\\\\""},
        {{}, {LR"(a b\\)"}, LR"("a b\\\\\\\\")"},
        {{L"a/b\\c"}, {L"a/b"}, L"\"a/b/c\" a/b"},
        {{}, {}, L""},
    };
    for (const auto& row : rows) {
        LaunchRequest request;
        request.launcherArgs = row.launcherArgs;
        request.appArgs = row.appArgs;
        EXPECT_EQ(buildArgumentTail(request), row.tail);
    }
}

TEST(ClassPathList, EveryEntryEndsWithASemicolon)
{
    ClassPathList list;
    EXPECT_EQ(list.join(), L"");
    list.add(L"a.jar");
    EXPECT_EQ(list.join(), L"a.jar;");
    list.add(L"C:\\b c\\d.zip");
    EXPECT_EQ(list.join(), L"a.jar;C:\\b c\\d.zip;");
    EXPECT_EQ(list.entries(), (Lines{L"a.jar", L"C:\\b c\\d.zip"}));
}

TEST(LaunchRequestFill, WorkingDirectory)
{
    struct Row {
        const wchar_t* propertiesName;
        std::optional<const wchar_t*> userDir;
        const wchar_t* workingDir;
    };
    const Row rows[] = {
        {L"Tool.qel", std::nullopt, L".\\"},  // an empty text cannot be made absolute
        {L"Tool.qel", L"", L".\\"},
        {L"Tool.qel", L"work", L"C:\\Apps\\Tool\\work"},
        {L"Tool.qel", L"work/logs", L"C:\\Apps\\Tool\\work\\logs"},
        {L"Tool.qel", L"D:\\\\Data\\x", L"D:\\Data\\x"},
        {L"Tool.qel", L"LONGNA~1\\logs", L"C:\\Apps\\Tool\\Long Name\\logs"},  // short names expanded
        {L"Tool.qel", L"bad|dir/x", L".\\bad|dir\\x"},  // counted from the file's directory
        {L"sub\\Tool.qel", L"bad|dir", L"sub\\bad|dir"},
        {L"Q:\\Tool.qel", L"", L"Q:\\"},  // a file at a drive's root: the root, not "Q:"
        {L"Q:\\Tool.qel", L"bad|dir", L"Q:\\bad|dir"},
    };
    for (const auto& row : rows) {
        PropertyTable table;
        if (row.userDir) {
            table.set(L"qel.user.dir", *row.userDir);
        }
        LaunchInputs in = toolInputs(table);
        in.propertiesName = row.propertiesName;
        EXPECT_EQ(fillLaunchRequest(in).request.workingDir, row.workingDir) << row.userDir.value_or(L"(absent)");
    }
}

TEST(LaunchRequestFill, ClassPathEntries)
{
    struct Row {
        const wchar_t* text;
        Lines entries;
    };
    const Row rows[] = {
        {L"lib/a.jar", {L"C:\\Apps\\Tool\\lib\\a.jar"}},
        {L"lib\\\\b.jar", {L"C:\\Apps\\Tool\\lib\\b.jar"}},
        {L"D:\\Java\\x.zip;/shared/c.jar", {L"D:\\Java\\x.zip", L"\\shared\\c.jar"}},
        {L"a.jar;;b.jar;", {L"C:\\Apps\\Tool\\a.jar", L"C:\\Apps\\Tool\\b.jar"}},  // no empty pieces
        // $ENV_CLASSPATH$ of an unset variable leaves a leading ";": no empty
        // piece, and nothing stays on the first one.
        {L";lib/a.jar", {L"C:\\Apps\\Tool\\lib\\a.jar"}},
        {L";;C:\\x.jar;;", {L"C:\\x.jar"}},
        {L";", {}},
        {L"LONGNA~1\\d.jar", {L"C:\\Apps\\Tool\\LONGNA~1\\d.jar"}},  // short names stay
        {L"classes;D:\\x y\\z.jar", {L"C:\\Apps\\Tool\\classes", L"D:\\x y\\z.jar"}},
        {L"", {}},
    };
    const PropertyTable table;
    for (const auto& row : rows) {
        LaunchInputs in = toolInputs(table);
        in.classPathText = row.text;
        EXPECT_EQ(fillLaunchRequest(in).request.classPath.entries(), row.entries) << row.text;
    }

    // Beside a properties file at a drive's root, relative entries lie in the root.
    LaunchInputs in = toolInputs(table);
    in.propertiesName = L"Q:\\Tool.qel";
    in.classPathText = L"lib/a.jar;b.jar";
    EXPECT_EQ(fillLaunchRequest(in).request.classPath.entries(), (Lines{L"Q:\\lib\\a.jar", L"Q:\\b.jar"}));
}

TEST(LaunchRequestFill, GivenNormalizeTakesEveryPath)
{
    // The system's normalization also expands short names with a tilde.
    const auto normalize = [](std::wstring_view path) {
        WString text = collapseSeparators(path);
        for (auto at = text.find(L"LONGNA~1"); at != WString::npos; at = text.find(L"LONGNA~1")) {
            text.replace(at, 8, L"Long Name");
        }
        return text;
    };
    const PropertyTable table = tableOf({{L"qel.user.dir", L"bad|LONGNA~1"}});
    LaunchInputs in = toolInputs(table);
    in.classPathText = L"LONGNA~1/d.jar;D:\\LONGNA~1\\e.jar";
    in.normalize = normalize;
    const LaunchRequest request = fillLaunchRequest(in).request;
    EXPECT_EQ(request.classPath.entries(), (Lines{L"C:\\Apps\\Tool\\Long Name\\d.jar", L"D:\\Long Name\\e.jar"}));
    EXPECT_EQ(request.workingDir, L".\\bad|Long Name");
}

TEST(LaunchRequestFill, Switches)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"On", true}, {L"T", true},        {L"TRUE", true}, {L"t", true}, {L"yes", false},
        {L"1", false}, {L"enabled", false}, {L" on", false}, {L"", false},
    };
    for (const auto& [text, on] : cases) {
        const PropertyTable table = tableOf({
            {L"qel.nl.java.option.garbage.collection.background.thread", text},
            {L"qel.nl.java.option.debugging", text},
            {L"qel.nl.java.option.compiler", text},
        });
        const LaunchRequest request = fillLaunchRequest(toolInputs(table)).request;
        EXPECT_EQ(request.gcBackgroundThread, on) << text;
        EXPECT_EQ(request.debugging, on) << text;
        EXPECT_EQ(request.compiler, on) << text;
    }
}

TEST(LaunchRequestFill, SettingsArgumentsAndWarning)
{
    const PropertyTable table = tableOf({
        {L"qel.nl.java.launcher.main.class", L" app.Start "},
        {L"qel.nl.java.option.additional", L"-Da=b  -Dc"},
        {L"qel.nl.java.option.java.heap.size.initial", L"512K"},
        {L"qel.nl.java.option.java.heap.size.max", L"2048m"},
        {L"qel.nl.java.option.garbage.collection.extent", L"full"},
        {L"qel.nl.win32.microsoftvm.min.version", L"3167abc"},
        {L"qel.nl.java.option.verbose", L"Class"},
    });
    LaunchInputs in = toolInputs(table);
    in.arguments = {L"Tool", L"-open", L"C:\\My Files\\a.txt"};
    const FilledRequest filled = fillLaunchRequest(in);
    const LaunchRequest& request = filled.request;
    EXPECT_EQ(request.mainClass, L" app.Start ");  // texts as written
    EXPECT_EQ(request.additionalOptions, L"-Da=b  -Dc");
    EXPECT_EQ(request.gcExtent, L"full");
    EXPECT_EQ(request.heapInitial, 524288);
    EXPECT_EQ(request.heapMax, 2147483648LL);
    EXPECT_EQ(request.msvmMinVersion, 3167);
    EXPECT_TRUE(request.verbose);
    EXPECT_EQ(request.verboseDetail, L"class");
    EXPECT_EQ(request.launcherArgs, (Lines{L"C:\\Apps\\Tool\\Tool.qel", L"C:\\Temp\\qel3F.tmp"}));
    EXPECT_EQ(request.appArgs, (Lines{L"-open", L"C:\\My Files\\a.txt"}));
    EXPECT_TRUE(filled.warnings.empty());

    const PropertyTable loud = tableOf({{L"qel.nl.java.option.verbose", L"LOUD"}});
    LaunchInputs bare = toolInputs(loud);
    bare.arguments.clear();
    const FilledRequest warned = fillLaunchRequest(bare);
    EXPECT_FALSE(warned.request.verbose);
    EXPECT_EQ(warned.warnings, (Lines{L"invalid verbosity selection 'loud', disabling verbosity.\n"}));
    EXPECT_TRUE(warned.request.appArgs.empty());
    // Absent sizes and the absent minimum build are 0.
    EXPECT_EQ(warned.request.heapInitial, 0);
    EXPECT_EQ(warned.request.heapMax, 0);
    EXPECT_EQ(warned.request.msvmMinVersion, 0);
}

TEST(LaunchRequestFill, ServiceKeepsTheVmThroughLogoff)
{
    const std::tuple<const wchar_t*, bool, const wchar_t*> cases[] = {
        {L"", true, L" -Xrs"},
        {L"-Dx=1", true, L"-Dx=1 -Xrs"},
        {L"-Dx=1", false, L"-Dx=1"},
        {L"", false, L""},
    };
    for (const auto& [options, isService, expected] : cases) {
        const PropertyTable table = tableOf({{L"qel.nl.java.option.additional", options}});
        LaunchInputs in = toolInputs(table);
        in.isService = isService;
        EXPECT_EQ(fillLaunchRequest(in).request.additionalOptions, expected) << options << isService;
    }
}

// --- The VM's command line -----------------------------------------------------

TEST(CommandForVm, DocumentedExamples)
{
    struct Row {
        VmFamily family;
        const wchar_t* program;
        const wchar_t* home;
        bool isService;
        const wchar_t* additionalOptions;
        WString line;
    };
    const WString j2 = L"\"C:\\Java\\jre\\bin\\javaw.exe\" -Xmx67108864 -verbose:gc";
    const WString j1 = L"\"C:\\Java11\\bin\\jrew.exe\" -mx67108864 -verbose";
    const WString j2Path = L" -classpath \"C:\\Apps\\Tool\\lib\\a.jar;\" ";
    const WString j1Path = L" -cp \"C:\\Apps\\Tool\\lib\\a.jar;C:\\Java11\\lib\\classes.zip;\" ";
    const WString msj = L"\"C:\\WINDOWS\\system32\\wjview.exe\" /cp \"C:\\Apps\\Tool\\lib\\a.jar;\" ";
    const Row rows[] = {
        {VmFamily::J2, kJ2Program, L"C:\\Java\\jre", false, L"-Dx=1", j2 + L" -Dx=1" + j2Path + kToolTail},
        {VmFamily::J1, kJ1Program, L"C:\\Java11", false, L"-Dx=1", j1 + L" -Dx=1" + j1Path + kToolTail},
        {VmFamily::Msj, kMsjProgram, L"C:\\WINDOWS\\system32", false, L"-Dx=1", msj + kToolTail},
        // A service's VM gets -Xrs after the additional options.
        {VmFamily::J2, kJ2Program, L"C:\\Java\\jre", true, L"-Dx=1", j2 + L" -Dx=1 -Xrs" + j2Path + kToolTail},
        {VmFamily::J1, kJ1Program, L"C:\\Java11", true, L"-Dx=1", j1 + L" -Dx=1 -Xrs" + j1Path + kToolTail},
        {VmFamily::Msj, kMsjProgram, L"C:\\WINDOWS\\system32", true, L"-Dx=1", msj + kToolTail},
        {VmFamily::J2, kJ2Program, L"C:\\Java\\jre", true, L"", j2 + L"  -Xrs" + j2Path + kToolTail},
        {VmFamily::J1, kJ1Program, L"C:\\Java11", true, L"", j1 + L"  -Xrs" + j1Path + kToolTail},
        {VmFamily::Msj, kMsjProgram, L"C:\\WINDOWS\\system32", true, L"", msj + kToolTail},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(
            renderCommandLine(row.family, row.program, row.home, exampleRequest(row.isService, row.additionalOptions)),
            row.line);
    }
    // The documented lines in full, as one text each.
    EXPECT_EQ(renderCommandLine(VmFamily::J2, kJ2Program, L"C:\\Java\\jre", exampleRequest(false)),
              L"\"C:\\Java\\jre\\bin\\javaw.exe\" -Xmx67108864 -verbose:gc -Dx=1 -classpath "
              L"\"C:\\Apps\\Tool\\lib\\a.jar;\" app.Start \"C:/Apps/Tool/Tool.qel\" \"C:/Temp/qel3F.tmp\" ");
    EXPECT_EQ(renderCommandLine(VmFamily::J1, kJ1Program, L"C:\\Java11", exampleRequest(false)),
              L"\"C:\\Java11\\bin\\jrew.exe\" -mx67108864 -verbose -Dx=1 -cp "
              L"\"C:\\Apps\\Tool\\lib\\a.jar;C:\\Java11\\lib\\classes.zip;\" app.Start \"C:/Apps/Tool/Tool.qel\" "
              L"\"C:/Temp/qel3F.tmp\" ");
    EXPECT_EQ(renderCommandLine(VmFamily::Msj, kMsjProgram, L"C:\\WINDOWS\\system32", exampleRequest(false)),
              L"\"C:\\WINDOWS\\system32\\wjview.exe\" /cp \"C:\\Apps\\Tool\\lib\\a.jar;\" app.Start "
              L"\"C:/Apps/Tool/Tool.qel\" \"C:/Temp/qel3F.tmp\" ");
}

TEST(CommandForVm, EveryOptionInTheFamilysSyntax)
{
    const LaunchRequest request = everyOption();
    EXPECT_EQ(renderCommandLine(VmFamily::J2, L"C:\\j\\bin\\java.exe", L"C:\\j", request),
              L"\"C:\\j\\bin\\java.exe\" -Xms1048576 -Xmx4294967296 -verbose:class -Xdebug -Xnoasyncgc "
              L"-Djava.compiler=off -Xnoclassgc -Da=b -classpath \"a.jar;\" M \"L\" x");
    EXPECT_EQ(renderCommandLine(VmFamily::J1, L"C:\\j\\bin\\java.exe", L"C:\\j", request),
              L"\"C:\\j\\bin\\java.exe\" -ms1048576 -mx4294967296 -verbose -debug -noasyncgc -nojit -noclassgc "
              L"-Da=b -classpath \"a.jar;C:\\j\\lib\\classes.zip;\" M \"L\" x");
    EXPECT_EQ(renderCommandLine(VmFamily::Msj, L"C:\\W\\wjview.exe", L"C:\\W", request),
              L"\"C:\\W\\wjview.exe\" /cp \"a.jar;\" M \"L\" x");
    // The Java 1 VM's own classes join only the rendered class path.
    EXPECT_EQ(request.classPath.entries(), (Lines{L"a.jar"}));
}

TEST(CommandForVm, HeapSizesAndEmptyOptions)
{
    struct Row {
        VmFamily family;
        const wchar_t* initial;
        const wchar_t* max;
        const wchar_t* line;
    };
    const Row rows[] = {
        {VmFamily::J2, L"2048m", L"4096m", L"\"P\" -Xms2147483648 -Xmx4294967296 -classpath \"\" M "},
        {VmFamily::J1, L"2048m", L"4096m", L"\"P\" -ms2147483648 -mx4294967296 -classpath \"H\\lib\\classes.zip;\" M "},
        {VmFamily::J2, L"0", L"-1m", L"\"P\" -classpath \"\" M "},  // 0 or less: not given
        {VmFamily::J2, L"3000000000", L"", L"\"P\" -Xms3000000000 -classpath \"\" M "},
        {VmFamily::Msj, L"2048m", L"4096m", L"\"P\" /cp \"\" M "},
    };
    for (const auto& row : rows) {
        LaunchRequest request;
        request.mainClass = L"M";
        request.heapInitial = parseByteSize(row.initial);
        request.heapMax = parseByteSize(row.max);
        EXPECT_EQ(renderCommandLine(row.family, L"P", L"H", request), row.line);
    }
}

TEST(CommandForVm, Java1ClassPathFlagByProgramName)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\j\\bin\\JRE.EXE", L"-cp"},
        {L"C:\\j\\bin\\Jrew.exe", L"-cp"},
        {L"jre.exe", L"-cp"},
        {L"C:\\j\\bin\\java.exe", L"-classpath"},
        {L"C:\\j\\bin\\javaw.exe", L"-classpath"},
        {L"C:\\jre.exe\\bin\\jre", L"-classpath"},
    };
    LaunchRequest request;
    request.mainClass = L"M";
    for (const auto& [program, flag] : cases) {
        EXPECT_EQ(renderCommandLine(VmFamily::J1, program, L"C:\\j", request),
                  L"\"" + WString(program) + L"\" " + flag + L" \"C:\\j\\lib\\classes.zip;\" M ");
        // The Java 2 family always writes the long flag.
        EXPECT_EQ(renderCommandLine(VmFamily::J2, program, L"C:\\j", request),
                  L"\"" + WString(program) + L"\" -classpath \"\" M ");
    }
}

TEST(CommandForVm, OptionsAVmOfTodayRefusesAreLeftOut)
{
    // Every option set; the line as rendered after the refused ones are left out.
    const WString allJ2 = L"\"P\" -Xms1048576 -Xmx4294967296 -verbose:class -Xdebug -Xnoasyncgc "
                          L"-Djava.compiler=off -Xnoclassgc -Da=b -classpath \"a.jar;\" M \"L\" x";
    const WString withoutNoAsyncGc = L"\"P\" -Xms1048576 -Xmx4294967296 -verbose:class -Xdebug "
                                     L"-Djava.compiler=off -Xnoclassgc -Da=b -classpath \"a.jar;\" M \"L\" x";
    struct Row {
        VmFamily family;
        VmVersion version;
        const WString& line;
        const wchar_t* warning;  // nullptr: none
    };
    const Row rows[] = {
        {VmFamily::J2, packed(0x425), allJ2, nullptr},
        {VmFamily::J2, VmVersion::of(8, 0, 401), allJ2, nullptr},
        {VmFamily::J2, VmVersion::of(9, 0, 4), withoutNoAsyncGc,
         L"option -Xnoasyncgc (qel.nl.java.option.garbage.collection.background.thread) left out: Java 9 does not "
         L"start with it.\n"},
        {VmFamily::J2, VmVersion::of(17, 0, 12), withoutNoAsyncGc,
         L"option -Xnoasyncgc (qel.nl.java.option.garbage.collection.background.thread) left out: Java 17 does "
         L"not start with it.\n"},
        {VmFamily::J2, VmVersion::of(25, 0, 1), withoutNoAsyncGc,
         L"option -Xnoasyncgc (qel.nl.java.option.garbage.collection.background.thread) left out: Java 25 does "
         L"not start with it.\n"},
    };
    for (const auto& row : rows) {
        JavaVm vm(row.family);
        vm.version = row.version;
        LaunchRequest request = everyOption();
        const std::vector<WString> warnings = leaveOutRefusedOptions(vm, request);
        EXPECT_EQ(renderCommandLine(row.family, L"P", L"H", request), row.line) << testing::PrintToString(row.version);
        EXPECT_EQ(warnings, row.warning ? Lines{row.warning} : Lines{}) << testing::PrintToString(row.version);
    }
    // Without the setting nothing is left out and nothing is said.
    JavaVm java17(VmFamily::J2);
    java17.version = VmVersion::of(17, 0, 12);
    LaunchRequest request = everyOption();
    request.gcBackgroundThread = false;
    EXPECT_TRUE(leaveOutRefusedOptions(java17, request).empty());
    EXPECT_EQ(renderCommandLine(VmFamily::J2, L"P", L"H", request), withoutNoAsyncGc);
    // The Java 1 family's -noasyncgc stays: no release of it is 9 or later.
    JavaVm java1(VmFamily::J1);
    java1.version = packed(0x180);
    request = everyOption();
    EXPECT_TRUE(leaveOutRefusedOptions(java1, request).empty());
    EXPECT_TRUE(request.gcBackgroundThread);
}

TEST(LaunchMsvmBuild, BuildBelowTheMinimumIsRejected)
{
    const std::tuple<std::uint32_t, std::int32_t, bool> cases[] = {
        {3167, 3167, true},
        {3166, 3167, false},
        {3188, 3167, true},
        {0, 0, true},
        {0xFFFFFFFFu, 0, true},
        {0, -1, true},
        {0, 1, false},
        {0xFFFFFFFFu, std::numeric_limits<std::int32_t>::max(), true},
        {65535, std::numeric_limits<std::int32_t>::max(), false},
    };
    for (const auto& [build, minimum, accepted] : cases) {
        EXPECT_EQ(msvmBuildAccepted(build, minimum), accepted) << build << " / " << minimum;
    }
}

TEST(LaunchDirectory, LongestDirectoryAProcessCanStartIn)
{
    const WString base = L"C:\\" + WString(250, L'd');  // 253 units
    const std::pair<WString, bool> cases[] = {
        {base + L"\\abcd", true},  // 258 units and the closing backslash the system adds
        {base + L"\\abcd\\", true},  // 259 units, closed already
        {base + L"\\abcde", false},
        {base + L"\\abcde\\", false},
        {base + L"\\" + WString(300, L'e'), false},
        {L"C:\\", true},
        {L"", true},
    };
    for (const auto& [directory, fits] : cases) {
        EXPECT_EQ(fitsProcessDirectory(directory), fits) << directory.size();
    }
}

// Windows hands a program at most 32766 units and the terminating null.
TEST(LaunchCommandLine, LongestCommandLineWindowsHandsOverWhole)
{
    EXPECT_TRUE(fitsCommandLine(WString(32766, L'x')));
    EXPECT_FALSE(fitsCommandLine(WString(32767, L'x')));
    EXPECT_FALSE(fitsCommandLine(WString(40000, L'x')));
    EXPECT_TRUE(fitsCommandLine(L""));
    EXPECT_EQ(commandLineTooLongText(40000), L"The command line of the Java VM has 40000 characters; Windows starts a "
                                             L"program with at most 32766 (32767 with the terminating null).");
}

// --- The plan of the start -----------------------------------------------------

namespace {

// A run of Tool.exe (see toolInputs) with a Java 17 runtime in C:\Java\jre, in
// the environment A=1.
struct PlanRun {
    explicit PlanRun(PropertyTable settings) : table(std::move(settings)), in(toolInputs(table), environment)
    {
        vm.home = L"C:\\Java\\jre";
        vm.version = VmVersion::of(17, 0, 12);
        in.vm = &vm;
        in.exists = [](const WString&) { return true; };
        in.absoluteDirectory = [](const WString& directory) { return fakeFullPath(directory, ShortNames::Keep); };
        in.msvmBuild = [](const WString&) { return 3167u; };
    }

    PropertyTable table;
    Environment environment = Environment::fromBlock(L"A=1\0");
    JavaVm vm{VmFamily::J2};
    LaunchPlanInputs in;
};

}  // namespace

TEST(LaunchPlan, EverythingTheStartNeedsInTheOrderItHappens)
{
    PlanRun run(tableOf({
        {L"qel.nl.java.launcher.main.class", L"app.Start"},
        {L"qel.nl.java.option.verbose", L"LOUD"},
        {L"qel.nl.java.option.garbage.collection.background.thread", L"true"},
    }));
    run.in.input = VmInput::StopPipe;
    run.in.extraHandoffLines = {L"qel.stop=x"};
    run.in.request.isService = true;
    const LaunchPlan plan = planLaunch(run.in);

    EXPECT_EQ(plan.program, L"C:\\Java\\jre\\bin\\javaw.exe");
    EXPECT_EQ(plan.handoffLines, (Lines{L"qel.nl.current.vm=C:\\\\Java\\\\jre\\\\bin\\\\javaw.exe", L"qel.nl.env.a=1",
                                        L"qel.nl.env.A=1", L"qel.nl.env.exact_case.A=1", L"qel.console=false", L"qel.service=true", L"qel.stop=x"}));
    ASSERT_EQ(plan.warnings.size(), 2u);
    EXPECT_NE(plan.warnings[0].find(L"'loud'"), WString::npos) << narrow(plan.warnings[0]);
    EXPECT_EQ(plan.warnings[1].rfind(L"option -Xnoasyncgc", 0), 0u) << narrow(plan.warnings[1]);
    EXPECT_EQ(plan.commandLine.rfind(L"\"C:\\Java\\jre\\bin\\javaw.exe\"  -Xrs ", 0), 0u) << narrow(plan.commandLine);
    EXPECT_EQ(plan.commandLine.find(L"noasyncgc"), WString::npos) << narrow(plan.commandLine);
    EXPECT_NE(plan.commandLine.find(L" app.Start \"C:/Apps/Tool/Tool.qel\" \"C:/Temp/qel3F.tmp\""), WString::npos)
        << narrow(plan.commandLine);
    EXPECT_EQ(plan.workingDirectory, L"C:\\Apps\\Tool\\");
    EXPECT_EQ(plan.input, VmInput::StopPipe);
    EXPECT_TRUE(plan.environment.empty());
    EXPECT_FALSE(plan.refusal.has_value());
}

TEST(LaunchPlan, RefusalsComeWithWhatPrecedesThem)
{
    struct Row {
        const char* label;
        VmFamily family;
        std::int32_t msvmMinimum;
        WString userDir;
        WString additional;
        int messageId;  // 0: none
        std::uint32_t windowsError;
        bool commandLine;
    };
    const Row rows[] = {
        {"Microsoft VM below the minimum build", VmFamily::Msj, 3168, L"", L"", 101, 0, false},
        {"Microsoft VM at the minimum build", VmFamily::Msj, 3167, L"", L"", 0, 0, true},
        {"working directory the system cannot hold", VmFamily::J2, 0, L"C:\\" + WString(257, L'd'), L"", 103, 267,
         true},
        {"longest working directory", VmFamily::J2, 0, L"C:\\" + WString(255, L'd'), L"", 0, 0, true},
        {"command line longer than Windows takes", VmFamily::J2, 0, L"", L"-Dx=" + WString(32767, L'x'), 103, 206,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        PlanRun run(tableOf({{L"qel.nl.java.launcher.main.class", L"app.Start"}}));
        run.table.set(L"qel.nl.win32.microsoftvm.min.version", std::to_wstring(row.msvmMinimum));
        if (!row.userDir.empty()) {
            run.table.set(L"qel.user.dir", row.userDir);
        }
        run.table.set(L"qel.nl.java.option.additional", row.additional);
        run.vm = JavaVm(row.family);
        run.vm.home = row.family == VmFamily::Msj ? L"C:\\WINDOWS\\system32" : L"C:\\Java\\jre";
        run.vm.version = row.family == VmFamily::Msj ? VmVersion(0x114) : VmVersion::of(17, 0, 12);
        const LaunchPlan plan = planLaunch(run.in);
        // The Java side and the user learn of the run whether or not it starts.
        EXPECT_EQ(plan.handoffLines.front().rfind(L"qel.nl.current.vm=", 0), 0u);
        EXPECT_EQ(!plan.commandLine.empty(), row.commandLine);
        EXPECT_EQ(plan.refusal ? plan.refusal->messageId : 0, row.messageId);
        if (plan.refusal) {
            EXPECT_EQ(plan.refusal->windowsError, row.windowsError);
            EXPECT_EQ(plan.refusal->detail,
                      row.windowsError == 206 ? commandLineTooLongText(plan.commandLine.size()) : WString());
        }
        // The Microsoft VM reads its class path from CLASSPATH.
        const bool classPathSet = row.family == VmFamily::Msj && row.commandLine;
        ASSERT_EQ(plan.environment.size(), classPathSet ? 1u : 0u);
        if (classPathSet) {
            EXPECT_EQ(plan.environment[0].name, L"CLASSPATH");
            EXPECT_EQ(plan.environment[0].value, L"C:\\Apps\\Tool\\lib\\a.jar;");
        }
    }
}

TEST(LaunchPlan, RefusalTexts)
{
    const WString startFailed = L"Windows error %d occured while loading the Java VM";
    EXPECT_EQ(refusalText(LaunchRefusal{101, 0, {}}, L"no VM"), L"no VM");
    EXPECT_EQ(refusalText(LaunchRefusal{103, 267, {}}, startFailed),
              L"Windows error 267 occured while loading the Java VM");
    EXPECT_EQ(refusalText(LaunchRefusal{103, 206, L"too long"}, startFailed),
              L"Windows error 206 occured while loading the Java VM\n\ntoo long");
}

// --- The class-data archive ----------------------------------------------------

// The setting gives a Java 2 VM of 19 and later an archive in the user's local
// application data, one per application and VM; nothing otherwise.
TEST(ClassDataArchive, PathForTheApplicationAndTheVm)
{
    const WString local = L"C:\\Users\\Ann Lee\\AppData\\Local";
    const WString properties = L"C:\\Apps\\Shop\\Shop.qel";
    struct Row {
        const char* label;
        WString value;
        VmFamily family;
        int release;
        WString localAppData;
        bool archive;
    };
    const Row rows[] = {
        {"on, Java 19", L"true", VmFamily::J2, 19, local, true},
        {"T, Java 25", L"T", VmFamily::J2, 25, local, true},
        {"Java 18 makes none itself", L"on", VmFamily::J2, 18, local, false},
        {"Java 17", L"true", VmFamily::J2, 17, local, false},
        {"a Java 1 VM", L"true", VmFamily::J1, 1, local, false},
        {"the Microsoft VM", L"true", VmFamily::Msj, 0, local, false},
        {"off", L"false", VmFamily::J2, 25, local, false},
        {"yes is no switch value", L"yes", VmFamily::J2, 25, local, false},
        {"no local application data", L"true", VmFamily::J2, 25, L"", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        JavaVm vm(row.family);
        vm.home = L"C:\\Java\\jdk";
        vm.version = VmVersion::of(static_cast<std::uint32_t>(row.release), 0, 1);
        const PropertyTable table = tableOf({{L"qel.nl.java.option.class.data.archive", row.value.c_str()}});
        const WString path = classDataArchivePath(table, vm, row.localAppData, properties);
        if (!row.archive) {
            EXPECT_EQ(path, L"");
            continue;
        }
        const WString folder = local + L"\\Ravelin\\class-data\\";
        ASSERT_EQ(path.rfind(folder + L"Shop-", 0), 0u) << narrow(path);
        EXPECT_EQ(path.size(), folder.size() + std::wstring_view(L"Shop-0123456789abcdef.jsa").size()) << narrow(path);
        EXPECT_EQ(path.substr(path.size() - 4), L".jsa");
        EXPECT_EQ(path.find_first_not_of(L"0123456789abcdef", folder.size() + 5), path.size() - 4) << narrow(path);
    }
    EXPECT_EQ(classDataArchivePath(tableOf({}), JavaVm(VmFamily::J2), local, properties), L"");
}

TEST(ClassDataArchive, OnePerApplicationAndVmWhateverTheLetterCase)
{
    const PropertyTable table = tableOf({{L"qel.nl.java.option.class.data.archive", L"on"}});
    JavaVm vm(VmFamily::J2);
    vm.home = L"C:\\Java\\jdk-21";
    vm.version = VmVersion::of(21, 0, 4);
    JavaVm other = vm;
    other.home = L"C:\\Java\\jdk-25";
    const WString local = L"C:\\Local\\";
    const WString shop = classDataArchivePath(table, vm, local, L"C:\\Apps\\Shop\\Shop.qel");
    EXPECT_EQ(shop.rfind(L"C:\\Local\\Ravelin\\class-data\\Shop-", 0), 0u) << narrow(shop);
    EXPECT_EQ(classDataArchivePath(table, vm, local, L"c:\\apps\\shop\\SHOP.qel").substr(shop.size() - 20),
              shop.substr(shop.size() - 20));
    EXPECT_NE(classDataArchivePath(table, vm, local, L"C:\\Apps\\Shop2\\Shop.qel"), shop);
    EXPECT_NE(classDataArchivePath(table, other, local, L"C:\\Apps\\Shop\\Shop.qel"), shop);
}

// The archive's options come before the additional options, whose own then win;
// its path is quoted whole.
TEST(ClassDataArchive, OptionsOnTheCommandLine)
{
    PlanRun run(tableOf({{L"qel.nl.java.launcher.main.class", L"app.Start"},
                         {L"qel.nl.java.option.additional", L"-Xshare:auto"}}));
    run.in.classDataArchive = L"C:\\Users\\Ann Lee\\AppData\\Local\\Ravelin\\class-data\\Tool-00.jsa";
    const LaunchPlan plan = planLaunch(run.in);
    EXPECT_NE(plan.commandLine.find(L" \"-XX:SharedArchiveFile=C:\\Users\\Ann Lee\\AppData\\Local\\Ravelin\\class-data"
                                    L"\\Tool-00.jsa\" -XX:+AutoCreateSharedArchive -Xshare:auto -classpath "),
              WString::npos)
        << narrow(plan.commandLine);
    run.in.classDataArchive.clear();
    EXPECT_EQ(planLaunch(run.in).commandLine.find(L"SharedArchiveFile"), WString::npos);
}
