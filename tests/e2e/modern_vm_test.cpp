// The launcher finding and starting the Java VMs of today: stand-in programs
// with today's file versions and language-neutral version strings, registered
// the way today's installers register them (both registry views, per user) or
// named by JAVA_HOME, started with the Java 2 syntax. The stand-in records the
// command line it received.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/files.h"
#include "support/launcher_fixture.h"
#include "support/machine_guard.h"
#include "support/standin_record.h"
#include "support/vm_fixtures.h"
#include "vm/javasoft.h"

using namespace qel;
using namespace qel::test;

namespace {

std::string escaped(const WString& path)
{
    std::string result;
    for (const char unit : narrow(path)) {
        result += unit == '\\' ? std::string("\\\\") : std::string(1, unit);
    }
    return result;
}

WString forwardSlashes(WString path)
{
    for (auto& unit : path) {
        if (unit == L'\\') {
            unit = L'/';
        }
    }
    return path;
}

constexpr RegistryHive LM = RegistryHive::LocalMachine;
constexpr RegistryHive CU = RegistryHive::CurrentUser;
constexpr RegistryView B64 = RegistryView::Native;
constexpr RegistryView B32 = RegistryView::Wow32;

// One registry value to write; a value that starts with "@" is a directory below
// the test's installations, the rest as written.
struct KeyValue {
    RegistryHive hive;
    RegistryView view;
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* value;
};

class ModernVm : public ClearedKeys<::testing::Test, removeJavaKeys> {
protected:
    // A Java 2 installation: bin\java.exe and bin\javaw.exe, and javac.exe for a kit.
    void install(const WString& home, const wchar_t* standIn, bool kit = false)
    {
        vms.program(home + L"\\bin\\java.exe", standIn).program(home + L"\\bin\\javaw.exe", standIn);
        if (kit) {
            vms.file(home + L"\\bin\\javac.exe");
        }
    }

    void write(const KeyValue& entry)
    {
        const WString value = entry.value;
        setRegistryString(entry.hive, entry.view, entry.key, entry.name,
                          value.rfind(L"@", 0) == 0 ? vms / value.substr(1) : value);
    }

    void writeProperties(const std::string& lines)
    {
        writeFile(app + L"\\Tool.qel", "qel.nl.java.launcher.main.class=app.Start\r\n"
                                       "qel.class.path=lib\\a.jar\r\n" +
                                           lines);
    }

    // Starts the launcher with the stand-in's record file, JAVA_HOME as given
    // (none when empty) and a Path as given.
    ProgramRun start(const WString& javaHome, const WString& path = L"C:\\windows\\system32;C:\\windows")
    {
        DeleteFileW(recordFile.c_str());
        RunOptions options;
        options.environment = {
            {L"PATH", path}, {L"QEL_STANDIN_RECORD", recordFile}, {L"CLASSPATH", L""}, {L"JAVA_HOME", javaHome}};
        return runProgram(launcher, options);
    }

    StandinRecord onlyRecord(const ProgramRun& run)
    {
        const auto records = readStandinRecords(recordFile);
        EXPECT_EQ(records.size(), 1u) << run.standardError;
        return records.empty() ? StandinRecord{} : records.front();
    }

    TempDir dir;
    WString app = dir / L"Tool";
    WString launcher = installLauncher(app, L"Tool.exe");
    WString recordFile = dir / L"record.txt";
    VmTree vms{dir / L"vms"};
};

}  // namespace

TEST_F(ModernVm, EachKindOfRegistrationIsFoundAndStartedWithTheJava2Syntax)
{
    struct Case {
        const char* what;
        const wchar_t* home;  // below the installations
        const wchar_t* standIn;
        std::vector<KeyValue> keys;
        bool javaHome;  // JAVA_HOME names the home
        bool named;  // qel.nl.current.vm names its java.exe
        bool keepsNoAsyncGc;  // a VM before release 9 still receives -Xnoasyncgc
    };
    const Case cases[] = {
        {"JavaSoft JDK key, 64-bit view",
         L"jdk-17",
         standin::kJava17_0_12_0,
         {{LM, B64, L"SOFTWARE\\JavaSoft\\JDK\\17", L"JavaHome", L"@jdk-17"}},
         false,
         false,
         false},
        {"JavaSoft JRE key, 32-bit view",
         L"jre-21",
         standin::kJava21_0_4_0,
         {{LM, B32, L"SOFTWARE\\JavaSoft\\JRE\\21", L"JavaHome", L"@jre-21"}},
         false,
         false,
         false},
        {"Eclipse Adoptium, its home with a trailing backslash",
         L"jdk-17.0.12.7-hotspot",
         standin::kJava17_0_12_0,
         {{LM, B64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI", L"Path", L"@jdk-17.0.12.7-hotspot\\"}},
         false,
         false,
         false},
        {"AdoptOpenJDK runtime 8, 32-bit view",
         L"jre-8",
         standin::kJava8_0_4010_9,
         {{LM, B32, L"SOFTWARE\\AdoptOpenJDK\\JRE\\8.0.401.9\\hotspot\\MSI", L"Path", L"@jre-8"}},
         false,
         false,
         true},
        {"Microsoft, per user",
         L"ms-21",
         standin::kJava21_0_4_0,
         {{CU, B64, L"SOFTWARE\\Microsoft\\JDK\\21.0.4.7\\hotspot\\MSI", L"Path", L"@ms-21"}},
         false,
         false,
         false},
        {"Azul Zulu, per user",
         L"zulu-25",
         standin::kJava25_0_1_0,
         {{CU, B64, L"SOFTWARE\\Azul Systems\\Zulu\\zulu-25", L"InstallationPath", L"@zulu-25"}},
         false,
         false,
         false},
        {"Azul Zulu, machine",
         L"zulu-17",
         standin::kJava17_0_12_0,
         {{LM, B64, L"SOFTWARE\\Azul Systems\\Zulu\\zulu-17", L"InstallationPath", L"@zulu-17"}},
         false,
         false,
         false},
        {"BellSoft Liberica, 32-bit view",
         L"liberica-17",
         standin::kJava17_0_12_0,
         {{LM, B32, L"SOFTWARE\\BellSoft\\Liberica\\jdk-17", L"InstallationPath", L"@liberica-17"}},
         false,
         false,
         false},
        {"IBM Semeru, its home with a trailing backslash",
         L"semeru-21",
         standin::kJava21_0_4_0,
         {{LM, B64, L"SOFTWARE\\Semeru\\JDK\\21.0.4.7\\openj9\\MSI", L"Path", L"@semeru-21\\"}},
         false,
         false,
         false},
        {"Azul Zulu 32-bit",
         L"zulu32-8",
         standin::kJava8_0_4010_9,
         {{LM, B32, L"SOFTWARE\\Azul Systems\\Zulu 32-bit\\zulu-8", L"InstallationPath", L"@zulu32-8"}},
         false,
         false,
         true},
        {"the earliest AdoptOpenJDK installer, no VM level",
         L"adopt-17",
         standin::kJava17_0_12_0,
         {{LM, B64, L"SOFTWARE\\AdoptOpenJDK\\JDK\\17.0.12.7\\MSI", L"Path", L"@adopt-17"}},
         false,
         false,
         false},
        // The first sources open the old runtime key with both view flags and see
        // only the 32-bit view's Java 1.1, which "J2" does not accept.
        {"old runtime key in the 64-bit view, behind a 32-bit one",
         L"jre1.8.0_401",
         standin::kJava8_0_4010_9,
         {{LM, B32, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.1", L"MicroVersion", L"8"},
          {LM, B32, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.1", L"JavaHome", L"@old"},
          {LM, B64, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8", L"MicroVersion", L"0"},
          {LM, B64, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8", L"JavaHome", L"@jre1.8.0_401"}},
         false,
         false,
         true},
        {"JAVA_HOME alone", L"jdk-25", standin::kJava25_0_1_0, {}, true, false, false},
        {"a named Java 17", L"named-17", standin::kJava17_0_12_0, {}, false, true, false},
        {"a named Java 1.4.2", L"named-142", standin::kSun1_4_20_5, {}, false, true, true},
    };
    vms.program(L"old\\bin\\jre.exe", standin::kSun1_1_8_0);
    const WString jar = app + L"\\lib\\a.jar";
    const WString properties = forwardSlashes(app + L"\\Tool.qel");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        removeJavaKeys();
        install(c.home, c.standIn);
        for (const KeyValue& entry : c.keys) {
            write(entry);
        }
        const WString home = vms / c.home;
        std::string lines = "qel.nl.valid.vm.list=J2\r\n"
                            "qel.nl.java.option.java.heap.size.max=64m\r\n"
                            "qel.nl.java.option.verbose=gc\r\n"
                            "qel.nl.java.option.garbage.collection.background.thread=true\r\n"
                            "qel.nl.java.option.additional=-Dx=1\r\n";
        if (c.named) {
            lines += "qel.nl.current.vm=" + escaped(home + L"\\bin\\java.exe") + "\r\n";
        }
        writeProperties(lines);

        const ProgramRun run = start(c.javaHome ? home : WString());
        ASSERT_FALSE(run.timedOut);
        ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text) << run.standardError;
        const StandinRecord record = onlyRecord(run);
        const WString program = home + L"\\bin\\javaw.exe";
        EXPECT_EQ(record.modulePath, program);
        ASSERT_FALSE(record.args.empty());
        const WString expected = L"\"" + program + L"\" -Xmx67108864 -verbose:gc" +
                                 (c.keepsNoAsyncGc ? L" -Xnoasyncgc" : L"") + L" -Dx=1 -classpath \"" + jar +
                                 L";\" app.Start \"" + properties + L"\" \"" + forwardSlashes(record.args.back()) +
                                 L"\" ";  // each launcher argument ends with a space
        EXPECT_EQ(record.commandLine, expected) << narrow(record.commandLine);
        const bool warned =
            run.standardError.find("option -Xnoasyncgc (qel.nl.java.option.garbage.collection.background.thread) "
                                   "left out: Java ") != std::string::npos;
        EXPECT_EQ(warned, !c.keepsNoAsyncGc) << run.standardError;
    }
}

TEST_F(ModernVm, TheHighestVersionTheListAccepts)
{
    install(L"jre-8", standin::kJava8_0_4010_9);
    install(L"jdk-17", standin::kJava17_0_12_0, true);
    install(L"jre-21", standin::kJava21_0_4_0);
    install(L"jdk-25", standin::kJava25_0_1_0, true);
    install(L"old142", standin::kSun1_4_20_5);
    write({LM, B64, L"SOFTWARE\\AdoptOpenJDK\\JRE\\8.0.401.9\\hotspot\\MSI", L"Path", L"@jre-8\\"});
    write({LM, B32, L"SOFTWARE\\JavaSoft\\JDK\\17", L"JavaHome", L"@jdk-17"});
    write({CU, B64, L"SOFTWARE\\Azul Systems\\Zulu\\zulu-21", L"InstallationPath", L"@jre-21"});
    struct Case {
        const char* list;
        const wchar_t* selected;  // nullptr: the no-VM box
    };
    const Case cases[] = {
        {"J2", L"jdk-25"},      {"1.4+", L"jdk-25"}, {"17", L"jdk-17"},
        {"JRE_17+", L"jre-21"}, {"21*", L"jre-21"},  {"JDK_11+ JRE_1.8*", L"jdk-25"},
        {"1.8*", L"jre-8"},     {"8", L"jre-8"},     {"J1 1.4.2", L"old142"},
        {"11*", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        writeProperties(std::string("qel.nl.valid.vm.list=") + c.list + "\r\n");
        const ProgramRun run = start(vms / L"jdk-25", vms / L"old142\\bin");
        ASSERT_FALSE(run.timedOut);
        if (c.selected == nullptr) {
            ASSERT_EQ(run.boxes.size(), 1u);
            EXPECT_EQ(run.boxes[0].text, kEnglishNoVm);
            EXPECT_TRUE(readStandinRecords(recordFile).empty());
            continue;
        }
        ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
        EXPECT_EQ(onlyRecord(run).modulePath, vms / c.selected + L"\\bin\\javaw.exe");
    }
}

TEST_F(ModernVm, JavaHomeAsPeopleWriteIt)
{
    install(L"Java Home 25", standin::kJava25_0_1_0, true);
    const WString home = vms / L"Java Home 25";
    writeProperties("qel.nl.valid.vm.list=J2\r\n");
    for (const WString& value :
         {L"\"" + home + L"\"", L"  " + home + L"\\ ", L"\"" + home + L"\\bin\"", home + L"\\bin\\"}) {
        SCOPED_TRACE(narrow(value));
        const ProgramRun run = start(value);
        ASSERT_FALSE(run.timedOut);
        ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
        EXPECT_EQ(onlyRecord(run).modulePath, home + L"\\bin\\javaw.exe");
    }
}

TEST_F(ModernVm, AJavapathFolderOfLinksLeadsToTheRuntimeItself)
{
    // What the installers of Oracle's Java 8 leave: the runtime registered under
    // the old key, and a folder of links to its programs first on Path.
    install(L"jre1.8.0_401", standin::kJava8_0_4010_9);
    const WString home = vms / L"jre1.8.0_401";
    write({LM, B32, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8", L"MicroVersion", L"0"});
    write({LM, B32, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8", L"JavaHome", L"@jre1.8.0_401"});
    const WString javapath = vms / L"javapath";
    makeDirectories(javapath);
    for (const wchar_t* name : {L"java.exe", L"javaw.exe"}) {
        if (!makeSymbolicLink(javapath + L"\\" + name, home + L"\\bin\\" + name)) {
            GTEST_SKIP() << "no symbolic link can be made here";
        }
    }
    // A link whose runtime was removed since.
    const WString broken = vms / L"broken";
    makeDirectories(broken);
    vms.program(L"gone\\bin\\java.exe", standin::kJava25_0_1_0);
    ASSERT_TRUE(makeSymbolicLink(broken + L"\\java.exe", vms / L"gone\\bin\\java.exe"));
    removeTree(vms / L"gone");
    writeProperties("qel.nl.valid.vm.list=J2\r\n");
    const WString traceFile = dir / L"trace.txt";
    DeleteFileW(recordFile.c_str());
    RunOptions options;
    options.environment = {{L"PATH", broken + L";" + javapath + L";C:\\windows\\system32"},
                           {L"QEL_STANDIN_RECORD", recordFile},
                           {L"CLASSPATH", L""},
                           {L"QEL_TRACE", traceFile}};
    const ProgramRun run = runProgram(launcher, options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    EXPECT_EQ(onlyRecord(run).modulePath, home + L"\\bin\\javaw.exe");
    const std::string trace = readFile(traceFile);
    // The link's runtime is the one the registry named first.
    EXPECT_NE(trace.find("found VM 2 in " + narrow(javapath) + "\\java.exe, a link to " + narrow(home) +
                         "\\bin\\java.exe: the same home and version as VM 1\n"),
              std::string::npos)
        << trace;
    // A link whose target is gone adds nothing (Wine does not even list it;
    // Windows lists it and the resolution leaves it out).
    EXPECT_EQ(trace.find(" in " + narrow(broken)), std::string::npos) << trace;
}

TEST_F(ModernVm, TheProgramsOwnVersionWinsOverWhatItsKeySays)
{
    // A key "17.0" with MicroVersion 12 reads as 17.12.0; the program is 17.0.12.
    install(L"jdk-17", standin::kJava17_0_12_0, true);
    write({LM, B32, L"SOFTWARE\\JavaSoft\\Java Development Kit\\17.0", L"MicroVersion", L"12"});
    write({LM, B32, L"SOFTWARE\\JavaSoft\\Java Development Kit\\17.0", L"JavaHome", L"@jdk-17"});
    writeProperties("qel.nl.valid.vm.list=17.0.12\r\n");
    const ProgramRun run = start(L"");
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    EXPECT_EQ(onlyRecord(run).modulePath, vms / L"jdk-17\\bin\\javaw.exe");
}

// The class-data archive setting: a Java 25 VM gets the archive's options, its
// folder in the local application data made first; a Java 17 VM gets none; and
// where the folder cannot be made (a file has its name) the VM starts without
// it, and the launcher says why.
TEST_F(ModernVm, TheClassDataArchiveForAVmThatMakesIt)
{
    install(L"jdk-25", standin::kJava25_0_1_0);
    install(L"jdk-17", standin::kJava17_0_12_0);
    const WString local = dir / L"Local App Data";
    writeFile(dir / L"a file", "");
    struct Case {
        const char* what;
        const wchar_t* home;
        WString localAppData;
        bool archive;
    };
    const Case cases[] = {
        {"Java 25", L"jdk-25", local, true},
        {"Java 17", L"jdk-17", local, false},
        {"Java 25, the folder cannot be made", L"jdk-25", dir / L"a file", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeProperties("qel.nl.java.option.class.data.archive=true\r\nqel.nl.valid.vm.list=J2\r\nqel.nl.current.vm=" +
                        escaped(vms / c.home + L"\\bin\\java.exe") + "\r\n");
        DeleteFileW(recordFile.c_str());
        RunOptions options;
        options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"},
                               {L"QEL_STANDIN_RECORD", recordFile},
                               {L"CLASSPATH", L""},
                               {L"LOCALAPPDATA", c.localAppData}};
        const ProgramRun run = runProgram(launcher, options);
        ASSERT_FALSE(run.timedOut);
        ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
        const WString commandLine = onlyRecord(run).commandLine;
        const auto option = commandLine.find(L" \"-XX:SharedArchiveFile=" + local + L"\\Ravelin\\class-data\\Tool-");
        EXPECT_EQ(option != WString::npos, c.archive) << narrow(commandLine);
        EXPECT_EQ(commandLine.find(L".jsa\" -XX:+AutoCreateSharedArchive -classpath ") != WString::npos, c.archive)
            << narrow(commandLine);
        if (c.archive) {
            EXPECT_TRUE(qel::isDirectory(local + L"\\Ravelin\\class-data"));
        }
        if (c.localAppData != local) {
            EXPECT_NE(run.standardError.find("class-data archive left out: its folder "), std::string::npos)
                << run.standardError;
        }
    }
}
