#include <gtest/gtest.h>

#include "base/message_ids.h"
#include "driver/error_report.h"
#include "support/expected_texts.h"
#include "support/test_files.h"

using namespace qel;
using qel::test::narrow;

TEST(ErrorReport, BoxOrOneLineOnStandardError)
{
    struct Row {
        Frontend frontend;
        const wchar_t* text;
        int messageId;
        ErrorTarget target;
        const wchar_t* shown;
        int exitCode;
    };
    constexpr Frontend kWindowed = Frontend::Windowed;
    constexpr Frontend kTwin = Frontend::Console;
    constexpr ErrorTarget kBox = ErrorTarget::Box;
    constexpr ErrorTarget kStderr = ErrorTarget::StandardError;
    const Row rows[] = {
        // The windowed launcher: the text as it is in a box; the message number,
        // else 1, as in the console twin.
        {kWindowed, expected::kEnglishNoVm, MSG_NO_VM, kBox, expected::kEnglishNoVm, 101},
        {kWindowed, expected::kEnglishMissing, MSG_PROPERTIES_MISSING, kBox, expected::kEnglishMissing, 102},
        {kWindowed, L"Windows error 2 occured while loading the Java VM", MSG_VM_START_FAILED, kBox,
         L"Windows error 2 occured while loading the Java VM", 103},
        {kWindowed, expected::kEnglishInvalid, MSG_PROPERTIES_INVALID, kBox, expected::kEnglishInvalid, 104},
        {kWindowed, L"an unknown exception has occurrred.\nUnknown exception", 0, kBox,
         L"an unknown exception has occurrred.\nUnknown exception", 1},
        {kWindowed, L"x", MSG_ERROR_CAPTION, kBox, L"x", 1},
        // The console twin: one line; the message number, else 1.
        {kTwin, expected::kEnglishNoVm, MSG_NO_VM, kStderr,
         L"Could not find a valid Java virtual machine to load. You may need to reinstall a supported Java virtual "
         L"machine.\n",
         101},
        {kTwin, expected::kEnglishMissing, MSG_PROPERTIES_MISSING, kStderr, L"The Ravelin properties file is missing\n",
         102},
        {kTwin, L"Windows error 2 occured while loading the Java VM", MSG_VM_START_FAILED, kStderr,
         L"Windows error 2 occured while loading the Java VM\n", 103},
        {kTwin, expected::kEnglishInvalid, MSG_PROPERTIES_INVALID, kStderr,
         L"The Corvane properties file contains invalid information\n", 104},
        {kTwin, L"an unknown exception has occurrred.\nUnknown exception", 0, kStderr,
         L"an unknown exception has occurrred. Unknown exception\n", 1},
        {kTwin, L"unable to locate executable", 0, kStderr, L"unable to locate executable\n", 1},
        // The caption is a message, but no failure of its own.
        {kTwin, L"x", MSG_ERROR_CAPTION, kStderr, L"x\n", 1},
        {kTwin, L"", 0, kStderr, L"\n", 1},
    };
    for (const auto& row : rows) {
        const ErrorReport report = errorReport(row.frontend, row.text, row.messageId);
        EXPECT_EQ(report.target, row.target) << row.messageId;
        EXPECT_EQ(report.text, row.shown) << row.messageId;
        EXPECT_EQ(report.exitCode, row.exitCode) << row.messageId;
    }
}

TEST(ErrorReport, SingleLine)
{
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"one line", L"one line"},
        {L"a\nb", L"a b"},
        {L"a\r\n\r\nb\rc", L"a b c"},
        {L"\r\n a \n", L" a "},  // breaks at the ends go, blanks stay
        {L"\n\n", L""},
        {L"", L""},
    };
    for (const auto& [text, line] : rows) {
        EXPECT_EQ(singleLine(text), line);
    }
}

// With a download page, the box asks below the message and Yes opens the page;
// the console twin ends its line with the address; 101 either way.
TEST(ErrorReport, NoVmWithADownloadPage)
{
    const WString url = L"https://example.com/java";
    const ErrorReport box =
        noVmReport(Frontend::Windowed, expected::kEnglishNoVm, expected::kEnglishOfferDownload, url);
    EXPECT_EQ(box.target, ErrorTarget::Box);
    EXPECT_EQ(box.text, WString(expected::kEnglishNoVm) + L"\n\n" + expected::kEnglishOfferDownload + L"\n" + url);
    EXPECT_EQ(box.openOnYes, url);
    EXPECT_EQ(box.exitCode, 101);

    const ErrorReport line =
        noVmReport(Frontend::Console, expected::kEnglishNoVm, expected::kEnglishOfferDownload, url);
    EXPECT_EQ(line.target, ErrorTarget::StandardError);
    EXPECT_EQ(line.text, singleLine(expected::kEnglishNoVm) + L" " + url + L"\n");
    EXPECT_EQ(line.openOnYes, L"");
    EXPECT_EQ(line.exitCode, 101);

    // Every other report opens nothing.
    EXPECT_EQ(errorReport(Frontend::Windowed, expected::kEnglishNoVm, MSG_NO_VM).openOnYes, L"");
}

// After Yes, a page the shell could not open: the address and the system's
// reason, as the system words it (its line end dropped), or the number alone.
TEST(ErrorReport, DownloadPageFailure)
{
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"No application is associated with the specified file for this operation.\r\n",
         L"Windows error 1155 (No application is associated with the specified file for this operation.)"},
        {L"", L"Windows error 1155"},
    };
    for (const auto& [systemText, reason] : rows) {
        EXPECT_EQ(downloadPageFailureText(L"https://example.com/java", 1155, systemText),
                  WString(L"The download page could not be opened in a web browser:\nhttps://example.com/java\n\n") +
                      reason);
    }
}

// A branded program's boxes carry its own name where ours stands in each
// language's caption; our own launcher keeps its caption.
TEST(ErrorReport, ABrandedProgramsCaptionCarriesItsName)
{
    struct Row {
        const wchar_t* productName;
        const wchar_t* fileDescription;
        const wchar_t* name;
    };
    const Row names[] = {
        {L"Shop", L"Shop application", L"Shop"},
        {L"  Shop  ", L"", L"Shop"},
        {L"", L"Shop application", L"Shop application"},
        {L"Ravelin", L"Shop application", L"Shop application"},  // our product name, branded description
        {L"Ravelin", L"Ravelin Java application launcher", L""},
        {L"", L"", L""},
        {L" ", L"Ravelin Java application launcher", L""},
        {L"Ravelin Tools", L"", L"Ravelin Tools"},
    };
    for (const auto& row : names) {
        EXPECT_EQ(brandedProgramName(row.productName, row.fileDescription), row.name) << narrow(row.productName);
    }
    struct Caption {
        const wchar_t* caption;
        const wchar_t* name;
        const wchar_t* branded;
    };
    const Caption captions[] = {
        {L"Ravelin Error", L"Shop", L"Shop Error"},
        {L"Ravelin-Fehler", L"Shop", L"Shop-Fehler"},
        {L"Erreur Ravelin", L"Shop", L"Erreur Shop"},
        {L"B\u0142\u0105d programu Ravelin", L"Shop", L"B\u0142\u0105d programu Shop"},
        {L"Ravelin \u30A8\u30E9\u30FC", L"\u30B7\u30E7\u30C3\u30D7", L"\u30B7\u30E7\u30C3\u30D7 \u30A8\u30E9\u30FC"},
        {L"Ravelin Error", L"", L"Ravelin Error"},
        {L"Error", L"Shop", L"Shop Error"},  // a caption without our name: the program's name before it
    };
    for (const auto& row : captions) {
        EXPECT_EQ(errorBoxCaption(row.caption, row.name), row.branded) << narrow(row.caption);
    }
}
