// One instance at a time (qel.single.instance): the launcher started twice with
// the same properties file, as a user double-clicks it twice, with a VM that
// shows a window and runs until the window is closed (the window stand-in).
// The second start starts no VM and brings the first VM's window to the front;
// the windowed launcher hands its arguments to the first launcher (which, with
// a VM that registered no listener, keeps them and says so in its trace), the console twin
// says on standard error that it ran nothing and ends with 105. Without the
// setting both start a VM.

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "support/launcher_run.h"
#include "support/machine_guard.h"
#include "support/mapped_drive.h"
#include "support/process_start.h"
#include "support/standin_launch.h"
#include "support/top_windows.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr unsigned long kSafetyNetMs = 30000;
constexpr const wchar_t* kWindowStandin = L"standin_window_1_4_20_5.exe";

// A window of this test, in front before the second start.
class OwnWindow {
public:
    OwnWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"QelTestForeground";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"test window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                                  50, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    ~OwnWindow() { DestroyWindow(window_); }
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;

    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

class SingleInstance : public StandinLaunch {
protected:
    void SetUp() override
    {
        installStandIn(kWindowStandin, vm);
        writeStandinSettings(vm, {{"QEL_STANDIN_RECORD", narrow(recordFile)}});
    }

    void TearDown() override { endAll(); }

    // Whatever still runs: its window closed, its launcher gone.
    void endAll()
    {
        for (const StandinRecord& record : readStandinRecords(recordFile)) {
            if (const HWND window = visibleTopWindow(record.processId)) {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
        }
        for (const UniqueHandle& launcherProcess : started) {
            if (WaitForSingleObject(launcherProcess.get(), kSafetyNetMs) == WAIT_TIMEOUT) {
                TerminateProcess(launcherProcess.get(), 1);
                ADD_FAILURE() << "a launcher still ran at the end";
            }
        }
        started.clear();
    }

    void writeSettings(const std::string& lines)
    {
        writeProperties("qel.nl.current.vm=" + escaped(vm) + "\r\nqel.nl.valid.vm.list=J2\r\n" + lines);
    }

    // Starts the launcher as Explorer does and leaves it running.
    HANDLE startInBackground(const WString& traceFile = L"") { return startFrom(launcher, traceFile); }

    // The same by another path to it (a link, another drive, another case).
    HANDLE startFrom(const WString& program, const WString& traceFile = L"")
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::vector<std::pair<std::wstring, std::wstring>> variables{{L"PATH", L"C:\\windows\\system32;C:\\windows"},
                                                                      {L"JAVA_HOME", L""}};
        if (!traceFile.empty()) {
            variables.emplace_back(L"QEL_TRACE", traceFile);
        }
        std::wstring block = environmentBlock(variables);
        const WString directory = program.substr(0, program.rfind(L'\\'));
        const DWORD error =
            startProcess(program.c_str(), commandLineFor(program, L""), FALSE,
                         CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, block.data(), directory.c_str(), startup, info);
        EXPECT_EQ(error, 0u);
        CloseHandle(info.hThread);
        started.emplace_back(info.hProcess);
        return info.hProcess;
    }

    // The records once there are count of them, and the window of the newest
    // (safety net kSafetyNetMs).
    std::vector<StandinRecord> awaitVms(std::size_t count, HWND* newestWindow = nullptr)
    {
        const ULONGLONG deadline = GetTickCount64() + kSafetyNetMs;
        std::vector<StandinRecord> records = readStandinRecords(recordFile);
        while (records.size() < count && GetTickCount64() < deadline) {
            Sleep(10);
            records = readStandinRecords(recordFile);
        }
        if (newestWindow != nullptr) {
            *newestWindow = records.empty() ? nullptr : visibleTopWindow(records.back().processId);
        }
        return records;
    }

    WString vm = dir / L"vms\\jre\\bin\\javaw.exe";
    std::vector<UniqueHandle> started;
};

}  // namespace

namespace {

// The foreground window once it is the expected one, or whatever it is after the
// safety net: under Wine a change of the foreground goes through the X server's
// focus and reaches GetForegroundWindow a moment later (NULL meanwhile).
HWND foregroundOnceSettled(HWND expected)
{
    const ULONGLONG deadline = GetTickCount64() + 10000;
    HWND foreground = GetForegroundWindow();
    while (foreground != expected && GetTickCount64() < deadline) {
        Sleep(10);
        foreground = GetForegroundWindow();
    }
    return foreground;
}

}  // namespace

TEST_F(SingleInstance, TheSecondStartBringsTheFirstToTheFrontAndStartsNoVm)
{
    writeSettings("qel.single.instance=true\r\n");
    const HANDLE first = startInBackground();
    HWND vmWindow = nullptr;
    ASSERT_EQ(awaitVms(1, &vmWindow).size(), 1u);
    ASSERT_NE(vmWindow, nullptr);

    // Another window is in front when the user starts the application again.
    const OwnWindow other;
    SetForegroundWindow(other.get());
    ASSERT_EQ(foregroundOnceSettled(other.get()), other.get());

    const ProgramRun second = start();
    ASSERT_FALSE(second.timedOut);
    EXPECT_TRUE(second.boxes.empty()) << narrow(second.boxes[0].text);
    EXPECT_EQ(second.exitCode, 0u) << second.standardError;
    EXPECT_EQ(readStandinRecords(recordFile).size(), 1u) << "a second VM started";
    EXPECT_EQ(foregroundOnceSettled(vmWindow), vmWindow);
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the first launcher ended";

    // Once the first has ended, the next start is the first again.
    PostMessageW(vmWindow, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(first, kSafetyNetMs), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD exitCode = 1;
    GetExitCodeProcess(first, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    startInBackground();
    EXPECT_EQ(awaitVms(2).size(), 2u);
}

TEST_F(SingleInstance, WithoutTheSettingEachStartHasItsVm)
{
    for (const char* setting : {"", "qel.single.instance=false\r\n"}) {
        SCOPED_TRACE(setting);
        writeSettings(setting);
        const std::size_t before = readStandinRecords(recordFile).size();
        startInBackground();
        startInBackground();
        EXPECT_EQ(awaitVms(before + 2).size(), before + 2);
        endAll();
    }
}

// A VM that is not the Java side library's registers no listener: the second
// start still hands its arguments over, the first launcher keeps them for a
// listener to come and says so, and the second start, told so, ends with 0.
// When the first launcher's run ends with them still kept, its trace says
// that they were not run. The first launcher writes its line before it
// answers, so it is there once the second has ended.
TEST_F(SingleInstance, TheSecondStartsArgumentsAreKeptForAListenerAndNamedWhenNoneCame)
{
    writeSettings("qel.single.instance=true\r\n");
    const WString firstTrace = dir / L"first-trace.txt";
    const WString secondTrace = dir / L"second-trace.txt";
    const HANDLE first = startInBackground(firstTrace);
    HWND vmWindow = nullptr;
    ASSERT_EQ(awaitVms(1, &vmWindow).size(), 1u);
    // The VM learns where second starts come in.
    const StandinRecord firstVm = readStandinRecords(recordFile).at(0);
    const std::string handoff = readFile(handoffOf(firstVm, firstVm.args.size() - 1));
    EXPECT_NE(handoff.find("qel.single.instance.port="), std::string::npos) << handoff;
    EXPECT_NE(handoff.find("qel.single.instance.token="), std::string::npos) << handoff;

    RunOptions options;
    options.environment.emplace_back(L"QEL_TRACE", secondTrace);
    const ProgramRun second = start(L"-open \"two words\"", L"0", options);
    ASSERT_FALSE(second.timedOut);
    EXPECT_TRUE(second.boxes.empty()) << narrow(second.boxes[0].text);
    EXPECT_EQ(second.exitCode, 0u) << second.standardError;
    EXPECT_EQ(readStandinRecords(recordFile).size(), 1u) << "a second VM started";
    const std::string secondLines = readFile(secondTrace);
    EXPECT_NE(secondLines.find("arguments handed over to the first launcher, which keeps them until its application "
                               "registers a listener: \"-open\" \"two words\""),
              std::string::npos)
        << secondLines;
    EXPECT_NE(readFile(firstTrace).find("a second start's arguments are kept until the application registers its "
                                        "listener for them (LaunchContext.addSecondStartListener): \"-open\" \"two "
                                        "words\""),
              std::string::npos)
        << readFile(firstTrace);

    ASSERT_NE(vmWindow, nullptr);
    PostMessageW(vmWindow, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(first, kSafetyNetMs), static_cast<DWORD>(WAIT_OBJECT_0));
    const std::string firstLines = readFile(firstTrace);
    EXPECT_NE(firstLines.find("a second start's arguments were not run: the application registered no listener for "
                              "them (LaunchContext.addSecondStartListener); arguments: \"-open\" \"two words\""),
              std::string::npos)
        << firstLines;
}

// The console twin's caller waits for the work to be done: a second start that
// ran nothing says so on standard error and ends with 105.
TEST_F(SingleInstance, TheConsoleTwinsSecondStartSaysItRanNothing)
{
    launcher = installLauncher(app, L"Tool.exe", kConsoleTwin);
    // The twin starts the VM's console program.
    vm = dir / L"vms\\jre\\bin\\java.exe";
    installStandIn(kWindowStandin, vm);
    writeStandinSettings(vm, {{"QEL_STANDIN_RECORD", narrow(recordFile)}});
    writeSettings("qel.single.instance=true\r\nqel.application.name=Shop\r\n");
    startInBackground();
    ASSERT_EQ(awaitVms(1).size(), 1u);

    const ProgramRun second = start(L"list \"a b\"");
    ASSERT_FALSE(second.timedOut);
    EXPECT_EQ(second.exitCode, 105u) << second.standardError;
    EXPECT_EQ(second.standardError, "Shop (" + narrow(app) +
                                        "\\Tool.qel) already runs, and only one instance may run: the arguments of "
                                        "this start were not run (\"list\" \"a b\").\n");
    EXPECT_EQ(readStandinRecords(recordFile).size(), 1u) << "a second VM started";
}

namespace {

// The first launcher's message box once it shows (safety net kSafetyNetMs).
HWND awaitBox(HANDLE launcherProcess)
{
    const DWORD processId = GetProcessId(launcherProcess);
    const ULONGLONG deadline = GetTickCount64() + kSafetyNetMs;
    HWND box = visibleTopWindow(processId, L"#32770");
    while (box == nullptr && GetTickCount64() < deadline &&
           WaitForSingleObject(launcherProcess, 10) == WAIT_TIMEOUT) {
        box = visibleTopWindow(processId, L"#32770");
    }
    return box;
}

}  // namespace

// The first launcher shows a message box instead of a VM (it found none): a
// second start shows no box of its own, brings the first one's box to the front
// and ends with 0, and the first ends when its box is answered.
TEST_F(SingleInstance, TheSecondStartBringsTheFirstsBoxToTheFront)
{
    const struct {
        const char* name;
        const char* settings;
        int answer;
    } rows[] = {
        {"the error box", "", IDOK},
        {"the download offer", "qel.vm.download.url=https://example.com/java\r\n", IDNO},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeProperties(std::string("qel.nl.valid.vm.list=J2\r\nqel.single.instance=true\r\n") + row.settings);
        const HANDLE first = startInBackground();
        const HWND box = awaitBox(first);
        ASSERT_NE(box, nullptr) << "the first launcher showed no box";

        const OwnWindow other;
        SetForegroundWindow(other.get());
        ASSERT_EQ(foregroundOnceSettled(other.get()), other.get());

        RunOptions options;
        options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"JAVA_HOME", L""}};
        const ProgramRun second = runProgram(launcher, options);
        ASSERT_FALSE(second.timedOut);
        EXPECT_TRUE(second.boxes.empty()) << narrow(second.boxes[0].text);
        EXPECT_EQ(second.exitCode, 0u) << second.standardError;
        EXPECT_EQ(foregroundOnceSettled(box), box);
        EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the first launcher ended";

        PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(row.answer), 0);
        EXPECT_EQ(WaitForSingleObject(first, kSafetyNetMs), static_cast<DWORD>(WAIT_OBJECT_0));
        endAll();
    }
}

namespace {

// The upper case of a folder name as the launcher would not make it: "É" for
// "é", which Windows takes as the same letter in a name.
constexpr const wchar_t* kFolder = L"Caf\u00e9";
constexpr const wchar_t* kFolderUpper = L"CAF\u00c9";

}  // namespace

// Two starts of one properties file by different paths to it are one
// application: through a symbolic link to the file, by another drive letter for
// its folder, and by its folder's name in another case beyond A to Z. The
// second start starts no VM.
TEST_F(SingleInstance, EveryPathToThePropertiesFileIsOneInstance)
{
    enum class Way { Link, Drive, Case };
    const struct {
        const char* name;
        Way way;
    } rows[] = {{"a symbolic link to the file", Way::Link},
                {"a second drive letter", Way::Drive},
                {"the folder's name in upper case", Way::Case}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir home;
        // The link is made by a Unix program where its path must be ASCII.
        const WString folder = home / (row.way == Way::Case ? kFolder : L"Tool");
        if (row.way == Way::Case && !CreateDirectoryW(folder.c_str(), nullptr)) {
            // Wine names files in the Unix locale's encoding: C has no "é".
            GTEST_SKIP() << "no non-ASCII file names in this Unix locale (the registration "
                            "e2e.SingleInstance.utf8 runs this test with LC_ALL=C.UTF-8)";
        }
        const WString program = installLauncher(folder, L"Tool.exe");
        writeFile(folder + L"\\Tool.qel", "qel.nl.java.launcher.main.class=app.Start\r\nqel.class.path=lib\\a.jar\r\n"
                                          "qel.nl.current.vm=" + escaped(vm) +
                                              "\r\nqel.nl.valid.vm.list=J2\r\nqel.single.instance=true\r\n");
        std::optional<MappedDrive> drive;
        WString other;
        switch (row.way) {
        case Way::Link:
            // A launcher of its own beside a link to the one properties file.
            other = installLauncher(home / L"linked", L"Tool.exe");
            ASSERT_TRUE(makeSymbolicLink(home / L"linked\\Tool.qel", folder + L"\\Tool.qel"));
            break;
        case Way::Drive:
            skipUnlessMachineMayChange();
            if (IsSkipped()) {
                return;
            }
            drive.emplace(folder);
            other = *drive / L"Tool.exe";
            break;
        case Way::Case:
            other = home / kFolderUpper + L"\\Tool.exe";
            ASSERT_NE(GetFileAttributesW(other.c_str()), INVALID_FILE_ATTRIBUTES) << "the file system tells the case";
            break;
        }

        const std::size_t before = readStandinRecords(recordFile).size();
        const HANDLE first = startFrom(program);
        HWND vmWindow = nullptr;
        ASSERT_EQ(awaitVms(before + 1, &vmWindow).size(), before + 1);
        // The second ends, or starts a VM and runs on with it (safety net
        // kSafetyNetMs).
        const HANDLE second = startFrom(other);
        const ULONGLONG deadline = GetTickCount64() + kSafetyNetMs;
        while (WaitForSingleObject(second, 10) == WAIT_TIMEOUT &&
               readStandinRecords(recordFile).size() == before + 1 && GetTickCount64() < deadline) {
        }
        EXPECT_EQ(readStandinRecords(recordFile).size(), before + 1) << "a second VM started";
        EXPECT_EQ(WaitForSingleObject(second, 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "the second launcher runs on";
        DWORD exitCode = 1;
        GetExitCodeProcess(second, &exitCode);
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the first launcher ended";
        endAll();
    }
}
