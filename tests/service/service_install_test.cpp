// Installing and removing the launcher's service with the launcher itself
// ("-kwqelinstall NAME", "-kwqeluninstall NAME"), against the prefix's real
// service control manager: the launcher copied as "Shop.exe" into a folder with
// a blank in its name beside Shop.qel, started the way an administrator starts
// it, and the service it created read back, started, stopped and removed.
//
// What Wine's manager cannot show, and what covers it instead:
// - A user without the right to create services (every Wine process may): the
//   text and exit code of access denied are the unit tests'
//   (ServiceInstall.WhatTheUserIsTold).
// - The password of a user account: Wine's manager takes it without keeping it
//   anywhere it can be read back, so the tests show that the variable of
//   "--password-env" is read (installing fails when it is not set) and the
//   source of the password is the unit tests' (ServiceInstall.WhereThePasswordComesFrom).
// - The dependencies: Wine 8 stores them (DependOnService and DependOnGroup of
//   the service's registry key) but QueryServiceConfigW gives none back, so
//   they are read from that key where the manager does not give them.
// - The delayed start and the restarts after a failure: Wine 8 takes both
//   (ChangeServiceConfig2W succeeds) but answers their queries with
//   ERROR_INVALID_LEVEL, so they are compared only where the manager gives them
//   back (Windows); the actions are the unit tests' (ServiceInstall.RestartsAfterAFailure).

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "service/service_events.h"
#include "service_test_fixture.h"
#include "support/launcher_run.h"
#include "support/standin_launch.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr const char* kProperties = "qel.nl.java.launcher.main.class=app.Start\r\n"
                                    "qel.class.path=lib\\a.jar\r\n";

// What the service manager keeps of a service: its configuration, description,
// delayed start and failure actions.
struct StoredService {
    QUERY_SERVICE_CONFIGW config{};
    WString commandLine;
    WString displayName;
    WString account;
    // The names of the double-NUL-terminated list.
    std::vector<WString> dependencies;
    WString description;
    // None where the manager does not give them back.
    std::optional<bool> delayed;
    std::optional<DWORD> resetPeriod;
    std::vector<SC_ACTION> actions;
};

// Empty when the manager does not keep that level (ERROR_INVALID_LEVEL, Wine).
std::vector<unsigned char> queryConfig2(SC_HANDLE service, DWORD level)
{
    DWORD needed = 0;
    if (!QueryServiceConfig2W(service, level, nullptr, 0, &needed) && GetLastError() == ERROR_INVALID_LEVEL) {
        return {};
    }
    std::vector<unsigned char> buffer(needed > 0 ? needed : 1);
    if (!QueryServiceConfig2W(service, level, buffer.data(), needed, &needed)) {
        ADD_FAILURE() << "QueryServiceConfig2W(" << level << ") failed: " << GetLastError();
        return {};
    }
    return buffer;
}

StoredService readStored(SC_HANDLE service)
{
    StoredService stored;
    DWORD needed = 0;
    QueryServiceConfigW(service, nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed > 0 ? needed : 1);
    const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()), needed, &needed)) {
        ADD_FAILURE() << "QueryServiceConfigW failed: " << GetLastError();
        return stored;
    }
    stored.config = *config;
    stored.commandLine = config->lpBinaryPathName != nullptr ? config->lpBinaryPathName : L"";
    stored.displayName = config->lpDisplayName != nullptr ? config->lpDisplayName : L"";
    stored.account = config->lpServiceStartName != nullptr ? config->lpServiceStartName : L"";
    for (const wchar_t* entry = config->lpDependencies; entry != nullptr && *entry != L'\0';
         entry += wcslen(entry) + 1) {
        stored.dependencies.emplace_back(entry);
    }
    const auto description = queryConfig2(service, SERVICE_CONFIG_DESCRIPTION);
    if (!description.empty()) {
        const auto* info = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(description.data());
        stored.description = info->lpDescription != nullptr ? info->lpDescription : L"";
    }
    const auto delayed = queryConfig2(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO);
    if (!delayed.empty()) {
        stored.delayed =
            reinterpret_cast<const SERVICE_DELAYED_AUTO_START_INFO*>(delayed.data())->fDelayedAutostart != FALSE;
    }
    const auto failure = queryConfig2(service, SERVICE_CONFIG_FAILURE_ACTIONS);
    if (!failure.empty()) {
        const auto* info = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(failure.data());
        stored.resetPeriod = info->dwResetPeriod;
        stored.actions.assign(info->lpsaActions, info->lpsaActions + info->cActions);
    }
    return stored;
}

// The event source key of the service and its two values, as Event Viewer reads
// them; opened says whether the key exists.
struct EventSourceKey {
    bool opened = false;
    DWORD fileType = 0;
    WString messageFile;
    DWORD typesType = 0;
    DWORD types = 0;
};

EventSourceKey readEventSource(const WString& serviceName)
{
    EventSourceKey read;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, eventSourceKeyPath(serviceName).c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return read;
    }
    const UniqueKey key(opened);
    read.opened = true;
    wchar_t file[1024] = {};
    DWORD size = sizeof file - sizeof(wchar_t);
    EXPECT_EQ(RegQueryValueExW(key.get(), L"EventMessageFile", nullptr, &read.fileType,
                               reinterpret_cast<BYTE*>(file), &size),
              ERROR_SUCCESS);
    read.messageFile = file;
    size = sizeof read.types;
    EXPECT_EQ(RegQueryValueExW(key.get(), L"TypesSupported", nullptr, &read.typesType,
                               reinterpret_cast<BYTE*>(&read.types), &size),
              ERROR_SUCCESS);
    return read;
}


// The console twin's error line: line breaks become one space each.
WString singleLineOf(WString text)
{
    for (std::size_t at = text.find(L"\n\n"); at != WString::npos; at = text.find(L"\n\n")) {
        text.replace(at, 2, L" ");
    }
    for (auto& unit : text) {
        unit = unit == L'\n' ? L' ' : unit;
    }
    return text;
}

}  // namespace

class ServiceInstall : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        // A name of this test's own, free before the test.
        removeServiceIfPresent(service.manager(), name);
    }

    void TearDown() override
    {
        if (!IsSkipped()) {
            removeServiceIfPresent(service.manager(), name);
            // The event source an install registered.
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, eventSourceKeyPath(name).c_str());
        }
    }

    // Shop.qel: a J2 stand-in that stays until it is ended, then the lines.
    void writeProperties(const std::string& lines, const WString& folder = {})
    {
        vms.program(L"jre\\bin\\javaw.exe", standin::kSun1_4_20_5);
        writeStandinSettings(vms / L"jre\\bin\\javaw.exe",
                             {{"QEL_STANDIN_RECORD", narrow(recordFile)}, {"QEL_STANDIN_SLEEP_MS", "infinite"}});
        const std::string properties = kProperties + ("qel.nl.current.vm=" + escaped(vms / L"jre\\bin\\javaw.exe") +
                                                      "\r\nqel.nl.valid.vm.list=J2\r\n" + lines);
        writeFile((folder.empty() ? app : folder) + L"\\Shop.qel", properties);
        writeFile((folder.empty() ? app : folder) + L"\\ShopCtl.qel", properties);
    }

    // Starts the installed service and gives the application's arguments its
    // VM received (after the main class and the launcher's two).
    std::vector<WString> applicationArgumentsOfService()
    {
        if (service.open(name) != 0) {
            ADD_FAILURE() << "the service cannot be opened";
            return {};
        }
        EXPECT_EQ(service.start(), 0u);
        if (!service.waitForState(SERVICE_RUNNING)) {
            ADD_FAILURE() << serviceStateName(service.lastStatus().dwCurrentState);
            return {};
        }
        const ULONGLONG deadline = GetTickCount64() + kServiceWaitMs;
        while (readStandinRecords(recordFile).empty() && GetTickCount64() < deadline) {
            Sleep(10);
        }
        const auto records = readStandinRecords(recordFile);
        if (records.size() != 1) {
            ADD_FAILURE() << records.size() << " VMs started";
            return {};
        }
        const std::vector<WString>& vmArguments = records.front().args;
        const auto mainClass = std::find(vmArguments.begin(), vmArguments.end(), L"app.Start");
        if (vmArguments.end() - mainClass < 3) {
            ADD_FAILURE() << narrow(records.front().commandLine);
            return {};
        }
        return std::vector<WString>(mainClass + 3, vmArguments.end());
    }

    ProgramRun command(const WString& program, const WString& switchWord, const WString& serviceName,
                       const std::vector<std::pair<WString, WString>>& environment = {})
    {
        RunOptions options;
        options.arguments = switchWord + L" " + serviceName;
        options.environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
        options.environment.insert(options.environment.end(), environment.begin(), environment.end());
        return runProgram(program, options);
    }

    UniqueServiceHandle openStored()
    {
        return UniqueServiceHandle(OpenServiceW(service.manager(), name.c_str(), SERVICE_QUERY_CONFIG));
    }

    WString app = dir / L"Shop Floor";
    WString launcher = installLauncher(app, L"Shop.exe");
    WString twin = installLauncher(app, L"ShopCtl.exe", kConsoleTwin);
    WString recordFile = dir / L"record.txt";
    VmTree vms{dir / L"vms"};
};

TEST_F(ServiceInstall, InstallsStartsStopsAndRemovesTheService)
{
    writeProperties("qel.service.display.name=Shop \\u00e9 Server\r\n"
                    "qel.service.description=Serves the shop.\r\n");
    const ProgramRun installed = command(launcher, L"-kwqelinstall", name);
    ASSERT_FALSE(installed.timedOut);
    EXPECT_TRUE(installed.boxes.empty()) << narrow(installed.boxes[0].text);
    ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;

    {
        const UniqueServiceHandle stored = openStored();
        ASSERT_TRUE(stored) << GetLastError();
        const StoredService service = readStored(stored.get());
        // The full path in quotes: "Shop Floor" has a blank.
        EXPECT_EQ(service.commandLine, L"\"" + launcher + L"\" -kwqelservice " + name) << narrow(service.commandLine);
        EXPECT_EQ(service.config.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
        EXPECT_EQ(service.config.dwStartType, static_cast<DWORD>(SERVICE_DEMAND_START));
        EXPECT_EQ(service.displayName, L"Shop \u00e9 Server");
        EXPECT_EQ(service.description, L"Serves the shop.");
    }

    // The stored command line starts the launcher as the service, which starts the VM.
    ASSERT_EQ(service.open(name), 0u);
    EXPECT_EQ(service.start(), 0u);
    ASSERT_TRUE(service.waitForState(SERVICE_RUNNING)) << serviceStateName(service.lastStatus().dwCurrentState);
    const ULONGLONG deadline = GetTickCount64() + kServiceWaitMs;
    while (readStandinRecords(recordFile).empty() && GetTickCount64() < deadline) {
        Sleep(10);
    }
    const auto records = readStandinRecords(recordFile);
    ASSERT_EQ(records.size(), 1u);
    const auto& vmArguments = records.front().args;
    EXPECT_NE(std::find(vmArguments.begin(), vmArguments.end(), L"-Xrs"), vmArguments.end())
        << "the VM was not started as a service's";

    // Removing it stops it first: the launcher's process ends, and so does the VM.
    const UniqueHandle process = service.openProcess();
    ASSERT_TRUE(process);
    service.release();
    const ProgramRun removed = command(launcher, L"-kwqeluninstall", name);
    ASSERT_FALSE(removed.timedOut);
    EXPECT_TRUE(removed.boxes.empty()) << narrow(removed.boxes[0].text);
    EXPECT_EQ(removed.exitCode, 0u);
    EXPECT_EQ(waitForExitCode(process.get()), 0ul);
    const UniqueHandle vm(OpenProcess(SYNCHRONIZE, FALSE, records.front().processId));
    EXPECT_TRUE(!vm || WaitForSingleObject(vm.get(), kServiceWaitMs) == WAIT_OBJECT_0);
    EXPECT_FALSE(openStored()) << "the service is still there";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

// The console twin says what it did; the start type, the delayed start and the
// restarts after a failure come from the settings.
TEST_F(ServiceInstall, StartTypeAndRestartFromTheSettings)
{
    struct Row {
        const char* settings;
        DWORD startType;
        bool delayed;
        DWORD restartDelayMs;
    };
    const Row rows[] = {
        {"", SERVICE_DEMAND_START, false, 0},
        {"qel.service.start=auto\r\nqel.service.restart.delay=30\r\n", SERVICE_AUTO_START, false, 30000},
        {"qel.service.start=Delayed\r\nqel.service.restart.delay=5\r\n", SERVICE_AUTO_START, true, 5000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings);
        writeProperties(row.settings);
        const ProgramRun installed = command(twin, L"-kwqelinstall", name);
        ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;
        EXPECT_EQ(installed.standardOutput,
                  narrow(L"Installed the service " + name + L": \"" + twin + L"\" -kwqelservice " + name + L"\n"));
        {
            const UniqueServiceHandle stored = openStored();
            ASSERT_TRUE(stored) << GetLastError();
            const StoredService service = readStored(stored.get());
            EXPECT_EQ(service.commandLine, L"\"" + twin + L"\" -kwqelservice " + name);
            EXPECT_EQ(service.config.dwStartType, row.startType);
            EXPECT_EQ(service.displayName, name);
            EXPECT_EQ(service.description, L"");
            if (service.delayed) {
                EXPECT_EQ(*service.delayed, row.delayed);
            }
            if (service.resetPeriod && row.restartDelayMs == 0) {
                EXPECT_TRUE(service.actions.empty());
            } else if (service.resetPeriod) {
                EXPECT_EQ(*service.resetPeriod, 86400u);
                ASSERT_EQ(service.actions.size(), 3u);
                for (const SC_ACTION& action : service.actions) {
                    EXPECT_EQ(action.Type, SC_ACTION_RESTART);
                    EXPECT_EQ(action.Delay, row.restartDelayMs);
                }
            }
        }
        const ProgramRun removed = command(twin, L"-kwqeluninstall", name);
        EXPECT_EQ(removed.exitCode, 0u) << removed.standardError;
        EXPECT_EQ(removed.standardOutput, narrow(L"Removed the service " + name + L".\n"));
        EXPECT_FALSE(openStored());
    }
}

// Each failure in a box of the windowed launcher and on the console twin's
// standard error, with the Windows error as the exit code (104 for a setting).
TEST_F(ServiceInstall, Failures)
{
    writeProperties("");
    ASSERT_EQ(command(launcher, L"-kwqelinstall", name).exitCode, 0u);
    struct Row {
        const char* what;
        const char* settings;
        const wchar_t* switchWord;
        WString serviceName;
        unsigned long exitCode;
        WString text;
        // The text is the whole message, not the start of it before the reason.
        bool whole = false;
    };
    const WString missing = name + L"Missing";
    // Another program's service: a mistyped name must not remove it.
    const WString other = name + L"Other";
    const UniqueServiceHandle foreign(CreateServiceW(service.manager(), other.c_str(), other.c_str(), DELETE,
                                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                     SERVICE_ERROR_NORMAL, L"C:\\windows\\system32\\notepad.exe",
                                                     nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(foreign) << GetLastError();
    const Row rows[] = {
        {"the service exists", "", L"-kwqelinstall", name, ERROR_SERVICE_EXISTS,
         L"Installing the service " + name + L" failed: "},
        {"it does not exist", "", L"-kwqeluninstall", missing, ERROR_SERVICE_DOES_NOT_EXIST,
         L"Removing the service " + missing + L" failed: "},
        {"a name with a blank", "", L"-kwqelinstall", L"\"Shop Service\"", ERROR_INVALID_NAME,
         L"Installing the service Shop Service failed: "},
        {"another program's service", "", L"-kwqeluninstall", other, ERROR_SERVICE_DOES_NOT_EXIST,
         L"Removing the service " + other + L" failed: it does not run a launcher as " + other +
             L" (its command line is C:\\windows\\system32\\notepad.exe), so it is left as it is.",
         true},
        {"an unknown start type", "qel.service.start=manual\r\n", L"-kwqelinstall", missing, 104,
         WString(expected::kEnglishInvalid) + L"\n\nqel.service.start must be auto, delayed or demand.", true},
        {"a restart delay that is no number", "qel.service.restart.delay=soon\r\n", L"-kwqelinstall", missing, 104,
         WString(expected::kEnglishInvalid) + L"\n\nqel.service.restart.delay must be a whole number of seconds.",
         true},
        // It would install, but never start: its logs would be the device.
        {"a device's name with logs", "qel.service.log.directory=logs\r\n", L"-kwqelinstall", L"CON",
         ERROR_INVALID_NAME,
         L"Installing the service CON failed: CON is the name of a device, so the service's logs CON.out.log and "
         L"CON.err.log cannot be files in its log directory (qel.service.log.directory): give the service another "
         L"name.",
         true},
        {"a name beyond the limit", "", L"-kwqelinstall", WString(257, L'Q'), ERROR_INVALID_NAME,
         L"Installing the service " + WString(257, L'Q') +
             L" failed: the name has 257 characters, and a service name has at most 256.",
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        writeProperties(row.settings);
        const ProgramRun windowed = command(launcher, row.switchWord, row.serviceName);
        ASSERT_FALSE(windowed.timedOut);
        ASSERT_EQ(windowed.boxes.size(), 1u);
        EXPECT_EQ(windowed.boxes[0].caption, expected::kEnglishCaption);
        EXPECT_EQ(windowed.boxes[0].text.rfind(row.text, 0), 0u) << narrow(windowed.boxes[0].text);
        EXPECT_EQ(windowed.boxes[0].text.size() == row.text.size(), row.whole) << "the reason";
        EXPECT_EQ(windowed.exitCode, row.exitCode);

        const ProgramRun console = command(twin, row.switchWord, row.serviceName);
        EXPECT_TRUE(console.boxes.empty());
        EXPECT_EQ(console.standardError.rfind(narrow(singleLineOf(row.text)), 0), 0u) << console.standardError;
        EXPECT_EQ(console.standardError.back(), '\n');
        EXPECT_EQ(console.standardOutput, "");
        EXPECT_EQ(console.exitCode, row.exitCode);
    }
    EXPECT_FALSE(UniqueServiceHandle(OpenServiceW(service.manager(), missing.c_str(), SERVICE_QUERY_CONFIG)));
    EXPECT_FALSE(UniqueServiceHandle(OpenServiceW(service.manager(), L"CON", SERVICE_QUERY_CONFIG)));
    // Left as it was, then removed by the test.
    EXPECT_TRUE(UniqueServiceHandle(OpenServiceW(service.manager(), other.c_str(), SERVICE_QUERY_CONFIG)));
    EXPECT_TRUE(DeleteService(foreign.get())) << GetLastError();
}

// Another service has the display name: the failure names it and its key.
TEST_F(ServiceInstall, ADisplayNameAnotherServiceHas)
{
    const WString other = name + L"Other";
    const UniqueServiceHandle foreign(CreateServiceW(
        service.manager(), other.c_str(), other.c_str(), DELETE, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
        SERVICE_ERROR_NORMAL, L"C:\\windows\\system32\\notepad.exe", nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(foreign) << GetLastError();
    writeProperties("qel.service.display.name=" + narrow(other) + "\r\n");
    const WString line = L"\nAnother service already has the display name " + other +
                         L" (qel.service.display.name): give this service another one there.";
    const ProgramRun windowed = command(launcher, L"-kwqelinstall", name);
    ASSERT_EQ(windowed.boxes.size(), 1u);
    const WString& box = windowed.boxes[0].text;
    EXPECT_EQ(box.rfind(L"Installing the service " + name + L" failed: ", 0), 0u) << narrow(box);
    EXPECT_TRUE(box.size() > line.size() && box.compare(box.size() - line.size(), line.size(), line) == 0)
        << narrow(box);
    EXPECT_EQ(windowed.exitCode, static_cast<unsigned long>(ERROR_DUPLICATE_SERVICE_NAME));

    const ProgramRun console = command(twin, L"-kwqelinstall", name);
    const std::string ending = narrow(singleLineOf(line)) + "\n";
    EXPECT_TRUE(console.standardError.size() > ending.size() &&
                console.standardError.compare(console.standardError.size() - ending.size(), ending.size(), ending) == 0)
        << console.standardError;
    EXPECT_EQ(console.exitCode, static_cast<unsigned long>(ERROR_DUPLICATE_SERVICE_NAME));
    EXPECT_FALSE(openStored());
    EXPECT_TRUE(DeleteService(foreign.get())) << GetLastError();
}

// A service's name is no file: a name that is a device, the current directory
// or a file in it (the folder an administrator's prompt opens in holds
// "drivers") is installed and removed under that very name.
TEST_F(ServiceInstall, NamesThatNameFilesStayNames)
{
    writeProperties("");
    writeFile(app + L"\\" + name, "");
    struct Row {
        WString serviceName;
        WString currentDirectory;
    };
    const Row rows[] = {
        {name, app},
        {L"CON", app},
        {L".", app},
        {L"drivers", L"C:\\windows\\system32"},
    };
    // The names of the rows are the test's while it runs.
    struct RemoveAtEnd {
        ~RemoveAtEnd()
        {
            for (const wchar_t* fixed : {L"CON", L".", L"drivers"}) {
                removeServiceIfPresent(manager, fixed);
            }
        }
        SC_HANDLE manager;
    } removeAtEnd{service.manager()};
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.serviceName));
        ASSERT_TRUE(row.serviceName == name || !UniqueServiceHandle(OpenServiceW(
                                                   service.manager(), row.serviceName.c_str(), SERVICE_QUERY_CONFIG)))
            << "a service of that name exists before the test";
        for (const WString& program : {twin, launcher}) {
            RunOptions options;
            options.arguments = L"-kwqelinstall " + row.serviceName;
            options.currentDirectory = row.currentDirectory;
            const ProgramRun installed = runProgram(program, options);
            ASSERT_FALSE(installed.timedOut);
            EXPECT_TRUE(installed.boxes.empty()) << narrow(installed.boxes[0].text);
            ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;
            {
                const UniqueServiceHandle stored(
                    OpenServiceW(service.manager(), row.serviceName.c_str(), SERVICE_QUERY_CONFIG));
                ASSERT_TRUE(stored) << GetLastError();
                EXPECT_EQ(readStored(stored.get()).commandLine,
                          L"\"" + program + L"\" -kwqelservice " + row.serviceName);
            }
            options.arguments = L"-kwqeluninstall " + row.serviceName;
            const ProgramRun removed = runProgram(program, options);
            EXPECT_TRUE(removed.boxes.empty()) << narrow(removed.boxes[0].text);
            EXPECT_EQ(removed.exitCode, 0u) << removed.standardError;
            EXPECT_FALSE(
                UniqueServiceHandle(OpenServiceW(service.manager(), row.serviceName.c_str(), SERVICE_QUERY_CONFIG)));
        }
    }
}

namespace {

// The arguments the install stored in the service's own key; none without the value.
std::optional<WString> storedArgumentsOf(const WString& serviceName)
{
    const WString path = L"SYSTEM\\CurrentControlSet\\Services\\" + serviceName + L"\\Parameters";
    wchar_t text[2048] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"Arguments", RRF_RT_REG_SZ, nullptr, text, &size) != 0) {
        return std::nullopt;
    }
    return WString(text);
}

}  // namespace

// The arguments after the name ("--password-env VAR" aside) are stored in the
// service's own key, where the service manager expands nothing, and reach the
// application after the launcher's two when the service runs, as typed, as a
// normal run's would: %NAME% included.
TEST_F(ServiceInstall, ArgumentsAfterTheNameReachTheApplication)
{
    writeProperties("");
    const WString arguments = LR"(-port 8080 "two words" say"hi ""q"" back\slash "" %PATH% x%windir%y "%TEMP% %")";
    const ProgramRun installed = command(launcher, L"-kwqelinstall", name + L" --password-env SHOP_PW " + arguments);
    ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;
    const WString commandLine = L"\"" + launcher + L"\" -kwqelservice " + name;
    EXPECT_TRUE(installed.boxes.empty()) << narrow(installed.boxes[0].text);
    {
        const UniqueServiceHandle handle = openStored();
        ASSERT_TRUE(handle) << GetLastError();
        EXPECT_EQ(readStored(handle.get()).commandLine, commandLine);
    }
    EXPECT_EQ(storedArgumentsOf(name), std::optional<WString>(arguments));

    // With their backslashes doubled for the Java side.
    EXPECT_EQ(applicationArgumentsOfService(),
              (std::vector<WString>{L"-port", L"8080", L"two words", L"say\"hi", L"\"q\"", L"back\\\\slash", L"",
                                    L"%PATH%", L"x%windir%y", L"%TEMP% %"}));
    // Stopped and removed before the fixture's handle closes; the key goes with it.
    service.remove();
    EXPECT_FALSE(storedArgumentsOf(name).has_value());
}

// A launcher in a folder whose path holds % signs starts as a service: the
// service manager's expansion of its command line leaves the path as it is.
TEST_F(ServiceInstall, AFolderWithPercentSigns)
{
    for (const WString& folderName : {WString(L"Shop 100%"), WString(L"x%windir%y %TEMP%z"), WString(L"%PATH%")}) {
        SCOPED_TRACE(narrow(folderName));
        const WString folder = dir / folderName;
        const WString program = installLauncher(folder, L"Shop.exe");
        writeProperties("", folder);
        DeleteFileW(recordFile.c_str());
        const ProgramRun installed = command(program, L"-kwqelinstall", name + L" %windir%");
        EXPECT_TRUE(installed.boxes.empty()) << narrow(installed.boxes[0].text);
        ASSERT_EQ(installed.exitCode, 0u);
        EXPECT_EQ(applicationArgumentsOfService(), std::vector<WString>{L"%windir%"});
        const UniqueHandle process = service.openProcess();
        ASSERT_TRUE(process);
        service.release();
        const ProgramRun removed = command(program, L"-kwqeluninstall", name);
        EXPECT_TRUE(removed.boxes.empty()) << narrow(removed.boxes[0].text);
        EXPECT_EQ(removed.exitCode, 0u);
        EXPECT_EQ(waitForExitCode(process.get()), 0ul);
        EXPECT_FALSE(openStored()) << "the service is still there";
        EXPECT_FALSE(readEventSource(name).opened) << "its event source is still there";
    }
}

// A switch of the launcher's among them would make the service's run another
// command: nothing is installed.
TEST_F(ServiceInstall, ASwitchOfTheLauncherIsNoArgumentOfTheService)
{
    writeProperties("");
    for (const wchar_t* switchWord : {L"-kwqelservice", L"-kwqeluninstall"}) {
        const ProgramRun installed = command(twin, L"-kwqelinstall", name + L" -x " + switchWord + L" Other");
        EXPECT_EQ(installed.exitCode, static_cast<unsigned long>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(installed.standardError,
                  narrow(L"Installing the service " + name + L" failed: " + switchWord +
                         L" cannot be an argument of the application, because the service's launcher would take it "
                         L"as its own switch.\n"));
        EXPECT_FALSE(openStored());
    }
}

namespace {

// The names of a REG_MULTI_SZ value of the service's key, each after the prefix.
std::vector<WString> registryList(const WString& serviceName, const wchar_t* value, const WString& prefix)
{
    std::vector<WString> names;
    const WString path = L"System\\CurrentControlSet\\Services\\" + serviceName;
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), value, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size) != 0) {
        return names;
    }
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), value, RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &size),
              0);
    for (const wchar_t* entry = data.data(); *entry != L'\0'; entry += wcslen(entry) + 1) {
        names.push_back(prefix + entry);
    }
    return names;
}

WString computerName()
{
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    EXPECT_TRUE(GetComputerNameW(buffer, &size)) << GetLastError();
    return WString(buffer, size);
}

WString userName()
{
    wchar_t buffer[256] = {};
    DWORD size = 256;
    EXPECT_TRUE(GetUserNameW(buffer, &size)) << GetLastError();
    return buffer;
}

}  // namespace

// Each kind of account the manager takes is stored as the name Windows takes,
// with the services it needs; a user account's password comes from the
// variable that "--password-env" names.
TEST_F(ServiceInstall, AccountAndDependenciesFromTheSettings)
{
    const WString user = computerName() + L"\\" + userName();
    struct Row {
        WString account;
        const char* dependencies;
        WString stored;
        std::vector<WString> storedDependencies;
    };
    const Row rows[] = {
        {L"", "", L"LocalSystem", {}},
        {L"LocalService", "Tcpip;MSSQLSERVER", L"NT AUTHORITY\\LocalService", {L"Tcpip", L"MSSQLSERVER"}},
        {L"networkservice", " Tcpip ; +NetworkProvider ", L"NT AUTHORITY\\NetworkService",
         {L"Tcpip", L"+NetworkProvider"}},
        {L"NT SERVICE\\" + name, "", L"NT SERVICE\\" + name, {}},
        {user, "Tcpip", user, {L"Tcpip"}},
        {L".\\" + userName(), "", L".\\" + userName(), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.account));
        writeProperties((row.account.empty() ? std::string() : "qel.service.account=" + narrow(row.account) + "\r\n") +
                        "qel.service.dependencies=" + row.dependencies + "\r\n");
        const ProgramRun installed =
            command(twin, L"-kwqelinstall", name + L" --password-env SHOP_PW", {{L"SHOP_PW", L"s3cret pw"}});
        ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;
        {
            const UniqueServiceHandle stored = openStored();
            ASSERT_TRUE(stored) << GetLastError();
            const StoredService service = readStored(stored.get());
            EXPECT_EQ(service.account, row.stored) << narrow(service.account);
            std::vector<WString> dependencies = service.dependencies;
            if (dependencies.empty()) {
                dependencies = registryList(name, L"DependOnService", L"");
                const auto groups = registryList(name, L"DependOnGroup", L"+");
                dependencies.insert(dependencies.end(), groups.begin(), groups.end());
            }
            EXPECT_EQ(dependencies, row.storedDependencies);
        }
        ASSERT_EQ(command(twin, L"-kwqeluninstall", name).exitCode, 0u);
    }
}

// The console twin asks for a user account's password on standard error and
// reads it from standard input, here a pipe with the line (a UTF-8 password),
// as a script gives it; the service is installed with the account. Standard
// input that ends before a line installs nothing.
TEST_F(ServiceInstall, ConsoleTwinAsksForThePassword)
{
    const WString user = L".\\" + userName();
    writeProperties("qel.service.account=" + narrow(user) + "\r\n");
    RunOptions options;
    options.arguments = L"-kwqelinstall " + name;
    options.standardInput = "s3cret p\xc3\xa9\r\n";
    const ProgramRun installed = runProgram(twin, options);
    ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;
    EXPECT_EQ(installed.standardError, "Password of " + narrow(user) + ": \n");
    {
        const UniqueServiceHandle stored = openStored();
        ASSERT_TRUE(stored) << GetLastError();
        EXPECT_EQ(readStored(stored.get()).account, user);
    }
    ASSERT_EQ(command(twin, L"-kwqeluninstall", name).exitCode, 0u);

    options.standardInput = "";
    const ProgramRun nothingTyped = runProgram(twin, options);
    EXPECT_EQ(nothingTyped.exitCode, static_cast<unsigned long>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(nothingTyped.standardError, "Password of " + narrow(user) + ": \nInstalling the service " +
                                              narrow(name) + " failed: no password of " + narrow(user) +
                                              " was typed: standard input ended before a line.\n");
    EXPECT_FALSE(openStored());
}

// The account and the password are checked before anything is installed.
TEST_F(ServiceInstall, AccountFailures)
{
    const WString user = L".\\" + userName();
    const WString missing = name + L"Missing";
    struct Row {
        WString account;
        WString arguments;
        std::vector<std::pair<WString, WString>> environment;
        unsigned long exitCode;
        WString text;
    };
    const Row rows[] = {
        {L"NOWHERE\\nobody" + name, missing, {}, 104,
         WString(expected::kEnglishInvalid) + L"\n\nqel.service.account names the account NOWHERE\\nobody" + name +
             L", which Windows does not know."},
        {L"nobody", missing, {}, 104,
         WString(expected::kEnglishInvalid) +
             L"\n\nqel.service.account must be LocalSystem, LocalService, NetworkService, NT SERVICE\\ and the "
             L"service's name, or a user as DOMAIN\\user or .\\user."},
        {user, missing + L" --password-env SHOP_PW", {{L"SHOP_PW", L""}}, ERROR_ENVVAR_NOT_FOUND,
         L"Installing the service " + missing + L" failed: the environment variable SHOP_PW, which holds the "
                                                L"password of " + user + L", is not set."},
        {user, missing + L" --password-env", {}, ERROR_INVALID_PARAMETER,
         L"Installing the service " + missing + L" failed: --password-env needs the name of an environment variable."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.account + L" " + row.arguments));
        writeProperties("qel.service.account=" + narrow(row.account) + "\r\n");
        const ProgramRun windowed = command(launcher, L"-kwqelinstall", row.arguments, row.environment);
        ASSERT_FALSE(windowed.timedOut);
        ASSERT_EQ(windowed.boxes.size(), 1u);
        EXPECT_EQ(windowed.boxes[0].text, row.text) << narrow(windowed.boxes[0].text);
        EXPECT_EQ(windowed.exitCode, row.exitCode);

        const ProgramRun console = command(twin, L"-kwqelinstall", row.arguments, row.environment);
        EXPECT_EQ(console.standardError, narrow(singleLineOf(row.text)) + "\n");
        EXPECT_EQ(console.exitCode, row.exitCode);
        EXPECT_FALSE(UniqueServiceHandle(OpenServiceW(service.manager(), missing.c_str(), SERVICE_QUERY_CONFIG)));
    }
    // The windowed launcher cannot ask for the password.
    writeProperties("qel.service.account=" + narrow(user) + "\r\n");
    const ProgramRun windowed = command(launcher, L"-kwqelinstall", missing);
    ASSERT_EQ(windowed.boxes.size(), 1u);
    EXPECT_EQ(windowed.boxes[0].text, L"Installing the service " + missing + L" failed: the password of " + user +
                                          L" is needed: give --password-env VAR, or install with the console twin, "
                                          L"which asks for it.");
    EXPECT_EQ(windowed.exitCode, static_cast<unsigned long>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(UniqueServiceHandle(OpenServiceW(service.manager(), missing.c_str(), SERVICE_QUERY_CONFIG)));
}


// Installing registers the service's name as an event source of the
// Application log, with the launcher that installed it (the windowed launcher
// or the console twin, each carrying the message table) as its message file;
// removing the service removes the source.
TEST_F(ServiceInstall, RegistersAndRemovesTheEventSource)
{
    writeProperties("");
    for (const WString& program : {launcher, twin}) {
        SCOPED_TRACE(narrow(program));
        ASSERT_FALSE(readEventSource(name).opened) << "left from before";
        const ProgramRun installed = command(program, L"-kwqelinstall", name);
        ASSERT_EQ(installed.exitCode, 0u) << installed.standardError;
        const EventSourceKey source = readEventSource(name);
        ASSERT_TRUE(source.opened);
        EXPECT_EQ(source.fileType, static_cast<DWORD>(REG_EXPAND_SZ));
        EXPECT_EQ(source.messageFile, program) << narrow(source.messageFile);
        EXPECT_EQ(source.typesType, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(source.types, 7u);

        const ProgramRun removed = command(program, L"-kwqeluninstall", name);
        ASSERT_EQ(removed.exitCode, 0u) << removed.standardError;
        EXPECT_FALSE(readEventSource(name).opened) << "the source is still registered";
    }
}

namespace {

// Another program's event source of the name: its message file and types.
void writeForeignEventSource(const WString& serviceName, const WString& messageFile)
{
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, eventSourceKeyPath(serviceName).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    const UniqueKey key(opened);
    ASSERT_EQ(RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                             reinterpret_cast<const BYTE*>(messageFile.c_str()),
                             static_cast<DWORD>((messageFile.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    const DWORD types = 3;
    ASSERT_EQ(RegSetValueExW(key.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                             sizeof types),
              ERROR_SUCCESS);
}

}  // namespace

// Another program's event source of the name is never the launcher's to
// change: installing refuses, naming the key, and installs nothing; removing
// a service whose source another program took over leaves the source.
TEST_F(ServiceInstall, AnotherProgramsEventSourceIsLeftAlone)
{
    writeProperties("");
    const WString other = L"C:\\Program Files\\Other\\other.dll";
    writeForeignEventSource(name, other);
    const WString refusal = L"Installing the service " + name + L" failed: the event source HKEY_LOCAL_MACHINE\\" +
                            eventSourceKeyPath(name) + L" is another program's (its message file is " + other +
                            L"), so it is left as it is: give the service another name.";
    const ProgramRun windowed = command(launcher, L"-kwqelinstall", name);
    ASSERT_EQ(windowed.boxes.size(), 1u);
    EXPECT_EQ(windowed.boxes[0].text, refusal);
    EXPECT_EQ(windowed.exitCode, static_cast<unsigned long>(ERROR_ALREADY_EXISTS));
    const ProgramRun console = command(twin, L"-kwqelinstall", name);
    EXPECT_EQ(console.standardError, narrow(refusal) + "\n");
    EXPECT_EQ(console.exitCode, static_cast<unsigned long>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(openStored());
    EventSourceKey source = readEventSource(name);
    EXPECT_EQ(source.messageFile, other);
    EXPECT_EQ(source.types, 3u);

    // The launcher's own source, left by an earlier install, is taken over.
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, eventSourceKeyPath(name).c_str());
    writeForeignEventSource(name, twin);
    ASSERT_EQ(command(twin, L"-kwqelinstall", name).exitCode, 0u);
    EXPECT_EQ(readEventSource(name).types, 7u);

    // Another program's by the time the service is removed: it stays.
    writeForeignEventSource(name, other);
    const ProgramRun removed = command(twin, L"-kwqeluninstall", name);
    EXPECT_EQ(removed.exitCode, 0u) << removed.standardError;
    EXPECT_EQ(removed.standardOutput, narrow(L"Removed the service " + name +
                                             L"; the event source HKEY_LOCAL_MACHINE\\" + eventSourceKeyPath(name) +
                                             L" is another program's and was left as it is.\n"));
    EXPECT_FALSE(openStored());
    source = readEventSource(name);
    EXPECT_EQ(source.messageFile, other);
    EXPECT_EQ(source.types, 3u);
}

// Removing stops the service as -kwqelstop stops it: a service that refuses
// the stop is not removed, and the command fails with the stop's error.
TEST_F(ServiceInstall, AServiceThatDoesNotStopIsNotRemoved)
{
    writeProperties("");
    startRunning({{"running_accepts", "0"}});
    ASSERT_FALSE(HasFatalFailure());
    const ProgramRun removed = command(twin, L"-kwqeluninstall", name);
    EXPECT_EQ(removed.exitCode, static_cast<unsigned long>(ERROR_INVALID_SERVICE_CONTROL)) << removed.standardError;
    EXPECT_EQ(removed.standardError.rfind(narrow(L"Removing the service " + name + L" failed: "), 0), 0u)
        << removed.standardError;
    EXPECT_EQ(removed.standardOutput, "");
    EXPECT_TRUE(openStored()) << "removed all the same";
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    // Ended and removed by the test, before the fixture's handle closes.
    service.remove();
}
