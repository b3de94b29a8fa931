// A user without an acceptable Java VM is offered the page of
// qel.vm.download.url: the windowed launcher's box asks whether to open it, Yes
// opens it in the default browser, No opens nothing; the console twin names it
// in its error line; any address but an https:// or http:// one is refused as
// invalid settings. The browser is a stand-in program that records the address
// it was given: under Wine the shell opens web addresses with the command of the
// prefix's https and http classes, which the test points at the stand-in for
// its run and puts back after. Without a program for the scheme (its class's
// shell commands moved aside for the run), Yes shows the system's reason.

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/text.h"
#include "base/web_address.h"
#include "driver/error_report.h"
#include "support/launcher_fixture.h"
#include "support/machine_guard.h"
#include "support/standin_record.h"
#include "support/vm_fixtures.h"

using namespace qel;
using namespace qel::test;

namespace {

// The open command of a URL scheme's class, set for the life of the object and
// then put back as it was.
class OpenCommand {
public:
    OpenCommand(const wchar_t* scheme, const WString& command) : key_(WString(scheme) + L"\\shell\\open\\command")
    {
        requireMachineMayChange("replace the web browser");
        wchar_t value[2048];
        DWORD size = sizeof value;
        if (RegGetValueW(HKEY_CLASSES_ROOT, key_.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) ==
            ERROR_SUCCESS) {
            saved_ = WString(value);
        }
        set(command);
    }
    ~OpenCommand()
    {
        if (saved_) {
            set(*saved_);
        } else {
            RegDeleteKeyValueW(HKEY_CLASSES_ROOT, key_.c_str(), nullptr);
        }
    }
    OpenCommand(const OpenCommand&) = delete;
    OpenCommand& operator=(const OpenCommand&) = delete;

private:
    void set(const WString& command)
    {
        const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
        const LSTATUS status =
            RegSetKeyValueW(HKEY_CLASSES_ROOT, key_.c_str(), nullptr, REG_SZ, command.c_str(), bytes);
        if (status != ERROR_SUCCESS) {
            throw std::runtime_error("cannot set the open command of " + narrow(key_));
        }
    }

    WString key_;
    std::optional<WString> saved_;
};

// A URL scheme's class without its shell commands for the life of the object:
// no program is registered to open the scheme's addresses. The commands are
// kept in a key of the tests' own and copied back after; one an interrupted run
// left there is copied back first.
class WithoutOpenCommands {
public:
    explicit WithoutOpenCommands(const wchar_t* scheme) : shell_(WString(scheme) + L"\\shell")
    {
        requireMachineMayChange("remove the web browser");
        restore();
        HKEY backup = nullptr;
        HKEY shell = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kBackup, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup, nullptr) !=
                ERROR_SUCCESS ||
            RegOpenKeyExW(HKEY_CLASSES_ROOT, shell_.c_str(), 0, KEY_READ, &shell) != ERROR_SUCCESS) {
            closeKeys(backup, shell);
            throw std::runtime_error("cannot keep the shell commands of " + narrow(shell_));
        }
        const LSTATUS copied = RegCopyTreeW(shell, nullptr, backup);
        closeKeys(backup, shell);
        if (copied != ERROR_SUCCESS || RegDeleteTreeW(HKEY_CLASSES_ROOT, shell_.c_str()) != ERROR_SUCCESS) {
            restore();
            throw std::runtime_error("cannot remove the shell commands of " + narrow(shell_));
        }
    }
    ~WithoutOpenCommands() { restore(); }
    WithoutOpenCommands(const WithoutOpenCommands&) = delete;
    WithoutOpenCommands& operator=(const WithoutOpenCommands&) = delete;

private:
    static constexpr const wchar_t* kBackup = L"Software\\Ravelin tests\\shell commands";

    static void closeKeys(HKEY backup, HKEY shell)
    {
        if (backup != nullptr) {
            RegCloseKey(backup);
        }
        if (shell != nullptr) {
            RegCloseKey(shell);
        }
    }

    // The kept commands back in the class, and the copy gone.
    void restore()
    {
        HKEY backup = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kBackup, 0, KEY_READ, &backup) != ERROR_SUCCESS) {
            return;
        }
        HKEY shell = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, shell_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &shell,
                            nullptr) == ERROR_SUCCESS &&
            RegCopyTreeW(backup, nullptr, shell) == ERROR_SUCCESS) {
            closeKeys(backup, shell);
            RegDeleteTreeW(HKEY_CURRENT_USER, kBackup);
            return;
        }
        closeKeys(backup, shell);
    }

    WString shell_;
};

constexpr const char* kWithoutVm = "qel.nl.java.launcher.main.class=app.Main\r\n"
                                   "qel.class.path=lib\\app.jar\r\n"
                                   "qel.nl.valid.vm.list=J2\r\n";

class DownloadOffer : public LauncherFixture {
protected:
    void SetUp() override
    {
        // The browser is replaced through Wine's classes; on Windows the user's
        // own choice of browser would win.
        if (!runningUnderWine()) {
            GTEST_SKIP() << "the default browser is replaced through the classes of Wine's prefix";
        }
        skipUnlessMachineMayChange();
        if (IsSkipped()) {
            return;
        }
        installStandIn(standin::kSun1_4_20_5, browser);
        writeStandinSettings(browser, {{"QEL_STANDIN_RECORD", narrow(browserRecord)}});
        https.emplace(L"https", L"\"" + browser + L"\" \"%1\"");
        http.emplace(L"http", L"\"" + browser + L"\" \"%1\"");
    }

    void TearDown() override
    {
        http.reset();
        https.reset();
    }

    ProgramRun startAnswering(int answer, const WString& program)
    {
        RunOptions options;
        options.boxAnswer = answer;
        options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"JAVA_HOME", L""}};
        return runProgram(program, options);
    }

    // The addresses the browser was started with, once count of them came (a
    // safety net of 30 s: the shell starts the browser as the launcher ends).
    std::vector<WString> openedAddresses(std::size_t count)
    {
        const ULONGLONG deadline = GetTickCount64() + 30000;
        auto records = readStandinRecords(browserRecord);
        while (records.size() < count && GetTickCount64() < deadline) {
            Sleep(10);
            records = readStandinRecords(browserRecord);
        }
        std::vector<WString> addresses;
        for (const StandinRecord& record : records) {
            addresses.push_back(record.args.size() == 2 ? record.args[1] : L"(arguments: " + record.commandLine + L")");
        }
        return addresses;
    }

    WString browser = dir / L"browser\\browser.exe";
    WString browserRecord = dir / L"browser.txt";
    std::optional<OpenCommand> https;
    std::optional<OpenCommand> http;
};

WString offerText(const WString& url)
{
    return WString(kEnglishNoVm) + L"\n\n" + expected::kEnglishOfferDownload + L"\n" + url;
}

}  // namespace

// No first, then Yes with another address: only the second is opened.
TEST_F(DownloadOffer, TheBoxAsksAndOnlyYesOpensThePage)
{
    const struct {
        int answer;
        WString url;
    } rows[] = {
        {IDNO, L"https://example.com/no"},
        {IDYES, L"https://example.com/java?from=shop&lang=de"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(narrow(row.url));
        writeFile(properties, kWithoutVm + ("qel.vm.download.url=" + narrow(row.url) + "\r\n"));
        const ProgramRun run = startAnswering(row.answer, launcher);
        expectOneBox(run, kEnglishCaption, offerText(row.url), 101);
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_TRUE(run.boxes[0].asksYesNo);
    }
    EXPECT_EQ(openedAddresses(1), std::vector<WString>{L"https://example.com/java?from=shop&lang=de"});
}

// The longest address taken reaches the browser whole.
TEST_F(DownloadOffer, TheLongestAddressOpensWhole)
{
    const std::string start = "https://example.com/java?from=shop&page=";
    const WString url = widenSignExtended(start + std::string(900 - start.size(), 'x'));
    writeFile(properties, kWithoutVm + ("qel.vm.download.url=" + narrow(url) + "\r\n"));
    const ProgramRun run = startAnswering(IDYES, launcher);
    expectOneBox(run, kEnglishCaption, offerText(url), 101);
    EXPECT_EQ(openedAddresses(1), std::vector<WString>{url});
}

// With no program registered for the address's scheme, Yes shows the system's
// reason in a second box and writes it to the trace; the exit code stays 101.
TEST_F(DownloadOffer, WithoutABrowserYesShowsWhy)
{
    https.reset();
    const WithoutOpenCommands noBrowser(L"https");
    const WString url = L"https://example.com/java";
    writeFile(properties, kWithoutVm + ("qel.vm.download.url=" + narrow(url) + "\r\n"));
    const WString traceFile = dir / L"trace.txt";
    RunOptions options;
    options.boxAnswer = IDYES;
    options.environment = {
        {L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"JAVA_HOME", L""}, {L"QEL_TRACE", traceFile}};
    const ProgramRun run = runProgram(launcher, options);

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 101u);
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].text, offerText(url));
    EXPECT_TRUE(run.boxes[0].asksYesNo);
    const WString reason(withoutLineEnd(systemErrorText(1155)));
    ASSERT_FALSE(reason.empty());
    const WString failure =
        L"The download page could not be opened in a web browser:\n" + url + L"\n\nWindows error 1155 (" + reason + L")";
    EXPECT_EQ(run.boxes[1].caption, kEnglishCaption);
    EXPECT_EQ(run.boxes[1].text, failure) << narrow(run.boxes[1].text);
    EXPECT_FALSE(run.boxes[1].asksYesNo);
    const std::string trace = readFile(traceFile);
    EXPECT_NE(trace.find("] " + toUtf8(singleLine(failure)) + "\n"), std::string::npos) << trace;
    EXPECT_TRUE(readStandinRecords(browserRecord).empty());
}

// The console twin shows no box and opens nothing: its error line ends with the
// address.
TEST_F(DownloadOffer, TheConsoleTwinNamesThePageInItsErrorLine)
{
    const WString twin = installLauncher(dir / L"app", L"Shop.exe", kConsoleTwin);
    writeFile(properties, kWithoutVm + std::string("qel.vm.download.url=http://example.com/java\r\n"));
    const ProgramRun run = startAnswering(IDYES, twin);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.exitCode, 101u);
    EXPECT_EQ(run.standardError, narrow(singleLine(kEnglishNoVm) + L" http://example.com/java\n"));
    EXPECT_TRUE(readStandinRecords(browserRecord).empty());
}

// Only web addresses: anything else is refused before a VM is looked for, so
// the setting can never start a program; the box has OK only.
TEST_F(DownloadOffer, OtherAddressesAreInvalidSettings)
{
    // 140 times %PATH%: 860 units as written, far more once a shell expanded it.
    std::string pathAddress = "https://example.com/";
    for (int i = 0; i < 140; ++i) {
        pathAddress += "%PATH%";
    }
    const std::string refused[] = {
        "file:///C:/windows/system32/notepad.exe",
        "C:\\\\windows\\\\notepad.exe",
        "\\\\\\\\server\\\\share\\\\setup.exe",
        "javascript:alert(1)",
        "ftp://example.com/java",
        "https://",
        "https:///C:/x",
        "https://example.com/a b",
        "mailto:java@example.com",
        // Wine's shell overflows a buffer for an address of about 1,000 units.
        "https://example.com/" + std::string(980, 'a'),
        "https://example.com/" + std::string(881, 'a'),
        // The browser would get another address than the box shows.
        "https://example.com/x\"--evil\"y",
        "https://example.com/<x>",
        "https://example.com/a^b|c`d{e}",
        "https://java.com@evil.example/",
        "https://?x",
        "https://:80",
        "https://example.com/a\\u00a0b",
        "https://example.com/a\\u3000b",
        "https://example.com/\\u202eexe.txt",
        "https://example.com/a\\u0085b",
        // A shell would replace a %NAME% by the user's environment; the box
        // would not show an invisible character; no port is above 65535.
        "https://example.com/?u=%USERNAME%&h=%USERPROFILE%",
        pathAddress,
        "https://example.com/100%",
        "https://example.com/a\\u00adb",
        "https://exa\\u200bmple.com/",
        "https://example.com/\\ufeff",
        "https://example.com:65536/java",
    };
    for (const std::string& url : refused) {
        SCOPED_TRACE(url);
        writeFile(properties, kWithoutVm + ("qel.vm.download.url=" + url + "\r\n"));
        const ProgramRun run = startAnswering(IDYES, launcher);
        expectOneBox(run, kEnglishCaption,
                     WString(kEnglishInvalid) +
                         L"\n\nqel.vm.download.url must be an https:// or http:// address with a host, a port of at "
                         L"most 65535 or none, and without a user name, of at most 900 characters, without blanks, "
                         L"control or invisible characters or any of \" < > \\ ^ ` { | }, and with % only before two "
                         L"hexadecimal digits.",
                     104);
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_FALSE(run.boxes[0].asksYesNo);
    }
    EXPECT_TRUE(readStandinRecords(browserRecord).empty());
}

// The browser gets the address as the box shows it: no %NAME% in it is
// replaced by an environment variable's value, also where valid escapes
// enclose a variable's name (%CAFE% between "%CA" and "FE%20"), and where the
// replaced text would be far longer than the address (Wine's shell ended the
// launcher inside it for such an address, with exit code 0).
TEST_F(DownloadOffer, NoVariableIsExpandedInTheAddress)
{
    WString longAddress = L"https://example.com/";
    while (longAddress.size() + 8 <= kMaxWebAddressUnits) {
        longAddress += L"%CAFE%20";
    }
    const WString rows[] = {L"http://example.com/%CAFE%20x?u=%ABC%DE", longAddress};
    for (const WString& url : rows) {
        SCOPED_TRACE(narrow(url));
        writeFile(properties, kWithoutVm + ("qel.vm.download.url=" + narrow(url) + "\r\n"));
        DeleteFileW(browserRecord.c_str());
        RunOptions options;
        options.boxAnswer = IDYES;
        options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"},
                               {L"JAVA_HOME", L""},
                               {L"CAFE", WString(200, L'c')},
                               {L"ABC", L"private"}};
        const ProgramRun run = runProgram(launcher, options);
        expectOneBox(run, kEnglishCaption, offerText(url), 101);
        EXPECT_EQ(openedAddresses(1), std::vector<WString>{url});
    }
}
