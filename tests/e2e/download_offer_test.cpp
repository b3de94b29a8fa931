// A user without an acceptable Java VM is offered the page of
// qel.vm.download.url: the windowed launcher's box asks whether to open it, Yes
// opens it in the default browser, No opens nothing; the console twin names it
// in its error line; any address but an https:// or http:// one is refused as
// invalid settings. The browser is a stand-in program that records the address
// it was given: under Wine the shell opens web addresses with the command of the
// prefix's https and http classes, which the test points at the stand-in for
// its run and puts back after.

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

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
    const char* const refused[] = {
        "file:///C:/windows/system32/notepad.exe",
        "C:\\\\windows\\\\notepad.exe",
        "\\\\\\\\server\\\\share\\\\setup.exe",
        "javascript:alert(1)",
        "ftp://example.com/java",
        "https://",
        "https:///C:/x",
        "https://example.com/a b",
        "mailto:java@example.com",
    };
    for (const char* url : refused) {
        SCOPED_TRACE(url);
        writeFile(properties, kWithoutVm + std::string("qel.vm.download.url=") + url + "\r\n");
        const ProgramRun run = startAnswering(IDYES, launcher);
        expectOneBox(run, kEnglishCaption,
                     WString(kEnglishInvalid) + L"\n\nqel.vm.download.url must be an https:// or http:// address.",
                     104);
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_FALSE(run.boxes[0].asksYesNo);
    }
    EXPECT_TRUE(readStandinRecords(browserRecord).empty());
}
