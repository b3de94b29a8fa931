#include <gtest/gtest.h>

#include "base/message_ids.h"
#include "driver/error_report.h"
#include "support/expected_texts.h"

using namespace qel;

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
