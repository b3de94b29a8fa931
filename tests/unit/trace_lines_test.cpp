// The trace's lines of the VM search, the selection and a failed start, as a
// user reads them: each VM described once under its number, the verdicts and
// the choice naming it by that number, each place that held something on a
// line of its own and the places that held nothing counted on one.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "base/trace.h"
#include "launch/process_texts.h"
#include "vm/inventory.h"
#include "vm/search_trace.h"

using namespace qel;

namespace {

JavaVm vmOf(VmFamily family, VmVersion version, const wchar_t* home, VmKind kind, const wchar_t* vendor,
            const wchar_t* company, unsigned number)
{
    JavaVm vm(family);
    vm.version = version;
    vm.home = home;
    vm.kind = kind;
    vm.vendor = vendor;
    vm.company = company;
    vm.number = number;
    return vm;
}

std::vector<std::unique_ptr<JavaVm>> entriesOf(const std::vector<JavaVm>& vms)
{
    std::vector<std::unique_ptr<JavaVm>> entries;
    for (const JavaVm& vm : vms) {
        entries.push_back(std::make_unique<JavaVm>(vm));
    }
    return entries;
}

std::string text(const WString& line)
{
    return toUtf8(line);
}

std::vector<std::string> texts(const std::vector<WString>& lines)
{
    std::vector<std::string> result;
    for (const WString& line : lines) {
        result.push_back(text(line));
    }
    return result;
}

const JavaVm kRuntime8 =
    vmOf(VmFamily::J2, VmVersion::of(8, 0, 401), L"C:\\Java\\jre8", VmKind::JRE, L"Sun", L"Example Java Works", 1);
const JavaVm kKit17 = vmOf(VmFamily::J2, VmVersion::of(17, 0, 12), L"C:\\Java\\jdk-17", VmKind::JDK, L"Sun",
                           L"Example Runtime Builders", 2);
const JavaVm kUnversioned = vmOf(VmFamily::J1, VmVersion(), L"C:\\Old", VmKind::JRE, L"Sun", L"", 3);

}  // namespace

TEST(TraceLines, AVmIsDescribedOnceWithItsVendorClassBesideItsCompany)
{
    JavaVm named = kKit17;
    named.number = 0;
    const JavaVm msvm = [] {
        JavaVm vm = microsoftVm();
        vm.home = L"C:\\WINDOWS";
        vm.kind = VmKind::MSJ;
        vm.number = 4;
        return vm;
    }();
    struct Case {
        JavaVm vm;
        const wchar_t* note;
        const char* name;
        const char* description;
    };
    const Case cases[] = {
        {kKit17, L"", "VM 2",
         "home C:\\Java\\jdk-17, version 17.0.12, family J2, kind JDK, vendor class Sun (company \"Example Runtime "
         "Builders\")"},
        {kRuntime8, L"(from its program; the key says 1.8.0)", "VM 1",
         "home C:\\Java\\jre8, version 1.8.0_401 (from its program; the key says 1.8.0), family J2, kind JRE, vendor "
         "class Sun (company \"Example Java Works\")"},
        // Without version information a VM has no version, and no family of its own.
        {kUnversioned, L"", "VM 3",
         "home C:\\Old, no version information, kind JRE, vendor class Sun (no company name read)"},
        {vmOf(VmFamily::J1, VmVersion::of(1, 8, 0), L"C:\\jdk1.1.8", VmKind::JDK, L"Sun", L"", 7), L"", "VM 7",
         "home C:\\jdk1.1.8, version 1.1.8, family J1, kind JDK, vendor class Sun (no company name read)"},
        {vmOf(VmFamily::J2, VmVersion::of(4, 2, 0), L"C:\\tav", VmKind::JRE, L"Tav", L"tAV Systems Corporation", 5),
         L"", "VM 5",
         "home C:\\tav, version 1.4.2, family J2, kind JRE, vendor class Tav (company \"tAV Systems Corporation\")"},
        {msvm, L"", "VM 4",
         "home C:\\WINDOWS, version 1.1.4, family Microsoft VM, kind MSJ, vendor class Microsoft (no company name "
         "read)"},
        {named, L"", "the named program",
         "home C:\\Java\\jdk-17, version 17.0.12, family J2, kind JDK, vendor class Sun (company \"Example Runtime "
         "Builders\")"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text(vmName(c.vm)), c.name);
        EXPECT_EQ(text(describeVm(c.vm, c.note)), c.description) << c.name;
    }
    EXPECT_EQ(text(foundLine(kKit17, L"C:\\Java\\jdk-17\\bin\\java.exe")),
              "found VM 2 in C:\\Java\\jdk-17\\bin\\java.exe: " + text(describeVm(kKit17)));
}

TEST(TraceLines, EachTokenAcceptsInOneLineAndRejectsWithAReason)
{
    const auto entries = entriesOf({kUnversioned, kRuntime8, kKit17});
    struct Case {
        const wchar_t* token;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {L"J2",
         {"token J2 accepts VM 1, VM 2",
          "token J2 rejects VM 3: family: no version information counts as Java 1.x, the token asks for Java 2 or "
          "later"}},
        {L"JRE_17+",
         {"token JRE_17+ accepts none",
          "token JRE_17+ rejects VM 3: no version information, the token asks for 17.0.0 or later",
          "token JRE_17+ rejects VM 1: version 1.8.0_401 is not 17.0.0 or later",
          "token JRE_17+ rejects VM 2: kind JDK, the token asks for JRE"}},
        {L"J1",
         {"token J1 accepts VM 3",
          "token J1 rejects VM 1: family: version 1.8.0_401 is Java 2 or later, the token asks for Java 1.x",
          "token J1 rejects VM 2: family: version 17.0.12 is Java 2 or later, the token asks for Java 1.x"}},
        {L"ALL", {"token ALL accepts VM 3, VM 1, VM 2"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(texts(tokenVerdictLines(c.token, entries)), c.lines) << text(c.token);
    }
    EXPECT_EQ(texts(tokenVerdictLines(L"J2", {})), std::vector<std::string>{"token J2 accepts none"});
}

TEST(TraceLines, TheChoiceAndTheInventoryNameTheVmsByNumber)
{
    JavaVm runtime8 = kRuntime8;
    JavaVm kit17 = kKit17;
    JavaVm unversioned = kUnversioned;
    JavaVm other17 = kKit17;
    other17.home = L"C:\\Java\\other-17";
    other17.number = 6;
    struct Case {
        std::vector<JavaVm*> accepted;
        const char* line;
    };
    const Case cases[] = {
        {{}, "chosen: none; no token accepts any installed VM"},
        {{&runtime8, &kit17}, "chosen: VM 2 (C:\\Java\\jdk-17, version 17.0.12): the highest version a token accepts"},
        {{&runtime8, &kit17, &other17},
         "chosen: VM 6 (C:\\Java\\other-17, version 17.0.12): the highest version a token accepts; of the 2 with that "
         "version, the last one accepted"},
        {{&unversioned}, "chosen: VM 3 (C:\\Old, no version information): the highest version a token accepts"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text(chosenLine(c.accepted)), c.line);
    }
    EXPECT_EQ(text(inventoryLine(entriesOf({kUnversioned, kRuntime8, kKit17}))),
              "inventory, lowest version first: VM 3 (no version information), VM 1 (1.8.0_401), VM 2 (17.0.12)");
    EXPECT_EQ(text(inventoryLine({})), "inventory: no VM");
}

TEST(TraceLines, PlacesAndCounts)
{
    EXPECT_EQ(text(pathDirectoryLine(L"C:\\Tools", {L"C:\\Tools\\java.exe", L"C:\\Tools\\javaw.exe"}, true)),
              "directory C:\\Tools: java.exe, javaw.exe");
    // An empty directory is not a missing one.
    EXPECT_EQ(text(pathDirectoryLine(L"C:\\Empty", {}, true)), "directory C:\\Empty: no Java program");
    EXPECT_EQ(text(pathDirectoryLine(L"C:\\Gone", {}, false)), "directory C:\\Gone: does not exist");

    const std::pair<std::size_t, const char*> counts[] = {{0, "no home"}, {1, "1 home"}, {54, "54 homes"}};
    for (const auto& [count, expected] : counts) {
        EXPECT_EQ(text(countOf(count, L"home", L"homes", L"no home")), expected);
    }
    EXPECT_EQ(text(leftOutLine(L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\17", L"MicroVersion")),
              "left out registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\17: it lacks MicroVersion");
}

TEST(TraceLines, AWindowsErrorWithItsMeaningOnOneLine)
{
    struct Case {
        unsigned long error;
        const wchar_t* systemText;
        const char* line;
    };
    const Case cases[] = {
        {2, L"The system cannot find the file specified.\r\n",
         "Windows error 2 (The system cannot find the file specified.)"},
        {193, L"%1 is not a valid Win32 application. \r\n", "Windows error 193 (%1 is not a valid Win32 application.)"},
        {1, L"First line.\r\nSecond line.\r\n", "Windows error 1 (First line. Second line.)"},
        {5, L"", "Windows error 5"},
        {87, L" \r\n", "Windows error 87"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text(windowsErrorText(c.error, c.systemText)), c.line);
    }
}

// The search of one invented machine, line by line: kits with a key that lacks
// its values, a runtime whose program is gone, Path directories that hold a
// program, nothing, or do not exist, a kit found twice, the installations'
// places that held something and those that held nothing, and JAVA_HOME.
TEST(TraceLines, TheSearchTellsEachPlaceOnceAndEachVmOnce)
{
    const WString kits = L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\";
    const WString runtimes = L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\";
    InventoryInputs inputs;
    inputs.kits = {{L"17.0", L"12", L"C:\\Java\\jdk-17", kits + L"17.0"}};
    inputs.incompleteKits = {{kits + L"1.4", L"MicroVersion and JavaHome"}};
    inputs.runtimes = {{L"1.8", L"0", L"C:\\Java\\gone", runtimes + L"1.8"}};
    inputs.pathEntries = {L"C:\\Tools", L"C:\\Empty", L"C:\\Missing", L"C:\\Java\\jdk-17\\bin"};
    inputs.installationPlaces = {
        {L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\* (32-bit view), value JavaHome", 0, {}},
        {L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\* (64-bit view), value JavaHome", 3, {}},
        {L"registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\*\\*\\MSI (64-bit view), value Path",
         0,
         {{L"registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.4.7\\hotspot\\MSI (64-bit view)", L"Path"}}},
        {L"registry HKCU\\SOFTWARE\\JavaSoft\\JDK\\*, value JavaHome", 0, {}},
    };
    inputs.installations = {
        {L"C:\\Java\\jdk-17\\", L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\17 (64-bit view)"},
        {L"C:\\Java\\jre-21", L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\21 (64-bit view)"},
        {L"jdk", L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\22 (64-bit view)"},
    };
    inputs.javaHome = L"\"C:\\Java\\jre-21\"";
    const std::set<WString> files = {L"C:\\Tools\\java.exe", L"C:\\Empty", L"C:\\Java\\jdk-17\\bin\\java.exe",
                                     L"C:\\Java\\jre-21\\bin\\java.exe"};
    inputs.exists = [&](const WString& path) { return files.count(path) > 0; };
    const std::map<WString, JavaVm> programs = {
        {L"C:\\Tools\\java.exe", vmOf(VmFamily::J1, VmVersion(), L"C:\\Tools", VmKind::JRE, L"Sun", L"", 0)},
        {L"C:\\Java\\jdk-17\\bin\\java.exe", kKit17},
        {L"C:\\Java\\jre-21\\bin\\java.exe", vmOf(VmFamily::J2, VmVersion::of(21, 0, 4), L"C:\\Java\\jre-21",
                                                  VmKind::JRE, L"Sun", L"Example Runtime Builders", 0)},
    };
    inputs.examine = [&](const WString& program) { return std::make_unique<JavaVm>(programs.at(program)); };
    inputs.programVersion = [](const WString& program) -> std::optional<ProgramVersion> {
        if (program == L"C:\\Java\\jdk-17\\bin\\java.exe") {
            return ProgramVersion{VmVersion::of(17, 0, 12), L"Sun", L"Example Runtime Builders"};
        }
        return std::nullopt;
    };
    std::vector<std::string> lines;
    Trace trace;
    trace.start(
        [&](const std::string& line) {
            // Without the milliseconds and the line feed.
            lines.push_back(line.substr(line.find("] ") + 2, line.size() - line.find("] ") - 3));
        },
        [] { return 0.0; });
    inputs.trace = &trace;
    const VmInventory inventory = VmInventory::build(inputs);

    const std::vector<std::string> expected = {
        "JavaSoft kits: 2 releases registered",
        "  found VM 1 in registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\17.0: home C:\\Java\\jdk-17, version "
        "17.0.12 (from its program; the key says 17.12.0), family J2, kind JDK, vendor class Sun (company \"Example "
        "Runtime Builders\")",
        "  left out registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\1.4: it lacks MicroVersion and JavaHome",
        "JavaSoft runtimes: 1 release registered",
        "  found VM 2 in registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8: home C:\\Java\\gone, "
        "version 1.8.0 (from its key: bin\\java.exe does not exist), family J2, kind JRE, vendor class Sun (no "
        "company name read)",
        "Path: 4 directories",
        "  directory C:\\Tools: java.exe",
        "    found VM 3 in C:\\Tools\\java.exe: home C:\\Tools, no version information, kind JRE, vendor class Sun (no "
        "company name read)",
        "  directory C:\\Empty: no Java program",
        "  directory C:\\Missing: does not exist",
        "  directory C:\\Java\\jdk-17\\bin: java.exe",
        "    found VM 4 in C:\\Java\\jdk-17\\bin\\java.exe: the same home and version as VM 1",
        "duplicate removed: VM 4, the same home and version as VM 1, which is kept",
        "installations of today's installers: 4 registry places searched (each layout in each hive and view)",
        "  registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\* (64-bit view), value JavaHome: 3 homes",
        "    skipped C:\\Java\\jdk-17\\ from registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\17 (64-bit view): listed already "
        "as VM 1",
        "    found VM 5 in registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\21 (64-bit view): home C:\\Java\\jre-21, version "
        "21.0.4, family J2, kind JRE, vendor class Sun (company \"Example Runtime Builders\")",
        "    skipped jdk from registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\22 (64-bit view): not an absolute path",
        "  registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\*\\*\\MSI (64-bit view), value Path: no home",
        "    left out registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.4.7\\hotspot\\MSI (64-bit view): it lacks "
        "Path",
        "  nothing in the other 2",
        "JAVA_HOME: \"\"C:\\Java\\jre-21\"\", read as C:\\Java\\jre-21",
        "  skipped C:\\Java\\jre-21 from JAVA_HOME: listed already as VM 5",
        "inventory, lowest version first: VM 3 (no version information), VM 2 (1.8.0), VM 1 (17.0.12), VM 5 (21.0.4)",
    };
    EXPECT_EQ(lines, expected);
    // The numbers stay with the VMs the selection gets.
    std::vector<unsigned> numbers;
    for (const auto& vm : inventory.entries()) {
        numbers.push_back(vm->number);
    }
    EXPECT_EQ(numbers, (std::vector<unsigned>{3, 2, 1, 5}));
}

TEST(TraceLines, ASearchOfNothingSaysSoOnce)
{
    // Every place looked in held nothing: one line for all of them.
    InventoryInputs inputs;
    inputs.installationPlaces = {{L"registry HKLM\\SOFTWARE\\BellSoft\\Liberica\\* (32-bit view)", 0, {}},
                                 {L"registry HKCU\\SOFTWARE\\BellSoft\\Liberica\\*", 0, {}}};
    inputs.exists = [](const WString&) { return false; };
    std::vector<std::string> lines;
    Trace trace;
    trace.start([&](const std::string& line) { lines.push_back(line.substr(line.find("] ") + 2)); },
                [] { return 0.0; });
    inputs.trace = &trace;
    VmInventory::build(inputs);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "JavaSoft kits: nothing registered\n",
                         "JavaSoft runtimes: nothing registered\n",
                         "Path: no directory\n",
                         "installations of today's installers: 2 registry places searched (each layout in each hive "
                         "and view)\n",
                         "  nothing in any of them\n",
                         "JAVA_HOME: not set\n",
                         "inventory: no VM\n",
                     }));
}
