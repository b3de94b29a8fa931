// Windows Installer packages of a program (installer.packages builds them),
// installed as a user installs them, with msiexec /qn under Wine: the files land
// in Program Files, the shortcuts point at the program, Programs and Features
// holds one entry, the installed program runs on its own runtime, the next
// version replaces the older one, an older one over a newer is refused, and
// removing leaves nothing the package installed; a per-user package installs into
// the user's own folder; a service package installs, starts, stops and removes the
// launcher's service with its event source.

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "support/launcher_run.h"
#include "support/machine_guard.h"
#include "support/test_files.h"

using namespace qel;
using namespace qel::test;

namespace {

const WString kWork = onDriveZ(QEL_INSTALLER_WORK);
const wchar_t* const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

unsigned long msiexec(const WString& arguments)
{
    RunOptions options;
    options.arguments = arguments;
    options.timeoutMs = 180000;
    const ProgramRun run = runProgram(L"C:\\windows\\system32\\msiexec.exe", options);
    EXPECT_FALSE(run.timedOut) << "msiexec " << narrow(arguments);
    return run.exitCode;
}

unsigned long install(const WString& package) { return msiexec(L"/i \"" + kWork + L"\\" + package + L"\" /qn"); }
unsigned long uninstall(const WString& package) { return msiexec(L"/x \"" + kWork + L"\\" + package + L"\" /qn"); }

WString knownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK) << csidl;
    return path;
}

bool exists(const WString& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The program a shortcut starts.
WString shortcutTarget(const WString& link)
{
    IShellLinkW* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell)))) {
        return L"(no shell link object)";
    }
    WString target = L"(unreadable)";
    IPersistFile* file = nullptr;
    HRESULT result = shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) {
        result = file->Load(link.c_str(), STGM_READ);
        if (SUCCEEDED(result)) {
            wchar_t path[MAX_PATH] = {};
            result = shell->GetPath(path, MAX_PATH, nullptr, 0);
            if (result == S_OK) {
                target = path;
            }
        }
        file->Release();
    }
    if (target == L"(unreadable)") {
        target += L" " + std::to_wstring(static_cast<unsigned long>(result)) + L" " + link;
    }
    shell->Release();
    return target;
}

WString readString(HKEY key, const wchar_t* name)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return L"";
    }
    return value;
}

struct UninstallEntry {
    WString key;
    WString version;
    WString publisher;
    WString uninstall;
};

// The entries of Programs and Features named `name`, below HKLM or HKCU.
std::vector<UninstallEntry> uninstallEntries(HKEY root, const WString& name)
{
    std::vector<UninstallEntry> found;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, kUninstallKey, 0, KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS) {
        return found;
    }
    const UniqueKey entries(opened);
    wchar_t sub[256];
    for (DWORD i = 0;; i++) {
        DWORD length = 256;
        if (RegEnumKeyExW(entries.get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        HKEY entryKey = nullptr;
        if (RegOpenKeyExW(entries.get(), sub, 0, KEY_READ, &entryKey) != ERROR_SUCCESS) {
            continue;
        }
        const UniqueKey entry(entryKey);
        if (readString(entry.get(), L"DisplayName") == name) {
            found.push_back({sub, readString(entry.get(), L"DisplayVersion"), readString(entry.get(), L"Publisher"),
                             readString(entry.get(), L"UninstallString")});
        }
    }
    return found;
}

bool keyExists(HKEY root, const WString& path)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

class InstallerUnderWine : public ::testing::Test {
protected:
    void SetUp() override
    {
        skipUnlessMachineMayChange();
        if (IsSkipped()) {
            return;
        }
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        // What an earlier run left installed goes first (nothing, after a run that passed).
        for (const wchar_t* package : {L"Shop-1.1.0.msi", L"Shop-1.0.0.msi", L"Shop-user-1.0.0.msi", L"ShopSvc-2.0.0.msi"}) {
            uninstall(package);
        }
        removeTree(programFiles + L"\\Shop");
        removeTree(userPrograms + L"\\Shop");
    }

    void TearDown() override
    {
        if (!IsSkipped()) {
            CoUninitialize();
        }
    }

    const WString programFiles = knownFolder(CSIDL_PROGRAM_FILES);
    const WString userPrograms = knownFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs";
};

TEST_F(InstallerUnderWine, PerMachineInstallsRunsUpgradesRefusesADowngradeAndRemovesWhatItInstalled)
{
    const WString folder = programFiles + L"\\Shop";
    ASSERT_EQ(install(L"Shop-1.0.0.msi"), 0u);
    for (const wchar_t* file : {L"Shop.exe", L"Shop.qel", L"lib\\ravelin-java.jar", L"lib\\hello.jar",
                                L"runtime\\bin\\javaw.exe", L"runtime\\bin\\java.exe", L"logs"}) {
        EXPECT_TRUE(exists(folder + L"\\" + file)) << narrow(file);
    }
    // The Start menu of all users, where Windows Installer puts a per-machine shortcut; Wine's puts it into the
    // installing user's.
    WString menuLink = knownFolder(CSIDL_COMMON_PROGRAMS) + L"\\Shop.lnk";
    if (!exists(menuLink)) {
        menuLink = knownFolder(CSIDL_PROGRAMS) + L"\\Shop.lnk";
    }
    EXPECT_EQ(shortcutTarget(menuLink), folder + L"\\Shop.exe");
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, L".shopdoc"), L"");  // the key's default value holds the program id
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L"Shop.shopdoc\\shell\\open\\command"));

    std::vector<UninstallEntry> entries = uninstallEntries(HKEY_LOCAL_MACHINE, L"Shop");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, L"1.0.0");
    EXPECT_EQ(entries[0].publisher, L"Example Shops Ltd");
    EXPECT_NE(entries[0].uninstall.find(L"MsiExec.exe /X"), WString::npos) << narrow(entries[0].uninstall);

    // The installed program runs the example application on its own runtime.
    RunOptions options;
    options.arguments = L"--from-the-start-menu";
    options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"CLASSPATH", L""}};
    const ProgramRun run = runProgram(folder + L"\\Shop.exe", options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_TRUE(run.boxes.empty()) << narrow(run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 3u) << run.standardOutput << run.standardError;
    EXPECT_NE(run.standardOutput.find("my arguments: [--from-the-start-menu]"), std::string::npos)
        << run.standardOutput;
    EXPECT_NE(run.standardOutput.find("the Java VM the launcher chose: " + narrow(folder) + "\\runtime\\bin\\javaw.exe"),
              std::string::npos)
        << run.standardOutput;
    EXPECT_TRUE(exists(folder + L"\\logs\\hello.log"));

    // The next version replaces this one: one entry, the new files.
    ASSERT_EQ(install(L"Shop-1.1.0.msi"), 0u);
    entries = uninstallEntries(HKEY_LOCAL_MACHINE, L"Shop");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, L"1.1.0");
    EXPECT_TRUE(exists(folder + L"\\whats-new-1.1.txt"));
    EXPECT_TRUE(exists(folder + L"\\Shop.exe"));

    // An older version over a newer one is refused, and the newer one stays.
    EXPECT_NE(install(L"Shop-1.0.0.msi"), 0u);
    entries = uninstallEntries(HKEY_LOCAL_MACHINE, L"Shop");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, L"1.1.0");

    // Removing it takes every file and key it installed; what the application wrote stays.
    ASSERT_EQ(uninstall(L"Shop-1.1.0.msi"), 0u);
    for (const wchar_t* file : {L"Shop.exe", L"Shop.qel", L"lib", L"runtime", L"whats-new-1.1.txt"}) {
        EXPECT_FALSE(exists(folder + L"\\" + file)) << narrow(file);
    }
    EXPECT_TRUE(exists(folder + L"\\logs\\hello.log"));
    EXPECT_FALSE(exists(menuLink));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L".shopdoc"));
    EXPECT_TRUE(uninstallEntries(HKEY_LOCAL_MACHINE, L"Shop").empty());
    removeTree(folder);
}

TEST_F(InstallerUnderWine, PerUserInstallsIntoTheUsersOwnFolder)
{
    const WString folder = userPrograms + L"\\Shop";
    ASSERT_EQ(install(L"Shop-user-1.0.0.msi"), 0u);
    EXPECT_TRUE(exists(folder + L"\\Shop.exe"));
    EXPECT_TRUE(exists(folder + L"\\runtime\\bin\\javaw.exe"));
    EXPECT_FALSE(exists(programFiles + L"\\Shop\\Shop.exe"));
    EXPECT_EQ(shortcutTarget(knownFolder(CSIDL_PROGRAMS) + L"\\Shop.lnk"), folder + L"\\Shop.exe");
    ASSERT_EQ(uninstall(L"Shop-user-1.0.0.msi"), 0u);
    EXPECT_FALSE(exists(folder + L"\\Shop.exe"));
    EXPECT_FALSE(exists(knownFolder(CSIDL_PROGRAMS) + L"\\Shop.lnk"));
}

// The service's state, or 0 when there is no such service.
DWORD serviceState(SC_HANDLE manager, const wchar_t* name, DWORD* openError)
{
    const UniqueServiceHandle service(OpenServiceW(manager, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service) {
        *openError = GetLastError();
        return 0;
    }
    *openError = 0;
    SERVICE_STATUS status{};
    return QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

TEST_F(InstallerUnderWine, AServicePackageInstallsStartsStopsAndRemovesTheService)
{
    const WString folder = programFiles + L"\\ShopSvc";
    ASSERT_EQ(install(L"ShopSvc-2.0.0.msi"), 0u);
    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ASSERT_TRUE(manager);
    DWORD openError = 0;
    // Installed and started at install, as its start is auto: the package waits for the start.
    EXPECT_EQ(serviceState(manager.get(), L"ShopSvc", &openError), static_cast<DWORD>(SERVICE_RUNNING)) << openError;
    {
        const UniqueServiceHandle service(OpenServiceW(manager.get(), L"ShopSvc", SERVICE_QUERY_CONFIG));
        ASSERT_TRUE(service);
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0;
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        ASSERT_TRUE(QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &needed));
        EXPECT_STREQ(config->lpDisplayName, L"Example Shop Service");
        EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
        // Windows Installer quotes the program's path; Wine's leaves it as it is.
        const WString command = config->lpBinaryPathName;
        EXPECT_TRUE(command == L"\"" + folder + L"\\ShopSvc.exe\" -kwqelservice ShopSvc" ||
                    command == folder + L"\\ShopSvc.exe -kwqelservice ShopSvc")
            << narrow(command);
    }
    const WString source = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ShopSvc";
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, source.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened), ERROR_SUCCESS);
    {
        const UniqueKey key(opened);
        EXPECT_EQ(readString(key.get(), L"EventMessageFile"), folder + L"\\ShopSvc.exe");
    }

    // Removing the package stops the service and removes it with its event source.
    ASSERT_EQ(uninstall(L"ShopSvc-2.0.0.msi"), 0u);
    EXPECT_EQ(serviceState(manager.get(), L"ShopSvc", &openError), 0u);
    EXPECT_EQ(openError, static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, source));
    EXPECT_FALSE(exists(folder + L"\\ShopSvc.exe"));
    removeTree(folder);
}

}  // namespace
