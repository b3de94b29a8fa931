#pragma once

// How an error that ends a run reaches the user, as the frontend has it.

#include <string_view>

#include "base/text.h"
#include "base/wstring.h"
#include "launch/frontend.h"

namespace qel {

enum class ErrorTarget {
    // A message box with the error caption.
    Box,
    // The launcher's standard error.
    StandardError,
};

struct ErrorReport {
    ErrorTarget target = ErrorTarget::Box;
    // What is shown or written, exactly.
    WString text;
    // The process's exit code after the report.
    int exitCode = 0;
    // Not empty: the box asks Yes or No, and Yes opens this web address.
    WString openOnYes;
};

// The windowed launcher shows the text in a box; the console twin writes it as
// one line ending in a line feed (singleLine of base/text.h) to standard error. Both end
// with the number of the string-table message (101 no VM, 102 properties file
// missing, 103 VM not started, 104 invalid settings), or 1 for every other
// failure.
ErrorReport errorReport(Frontend frontend, std::wstring_view text, int messageId);

// No acceptable VM, with a page to download one from: the windowed launcher's
// box asks below the message whether to open the page (question, then the
// address on a line of its own), the console twin's line ends with the address.
// 101 either way.
ErrorReport noVmReport(Frontend frontend, std::wstring_view noVmText, std::wstring_view question,
                       std::wstring_view downloadUrl);

// What the windowed launcher shows (and traces) when the user chose Yes and the
// shell could not open the download page: the address and the system's reason
// (windowsErrorText of launch/process_texts.h).
WString downloadPageFailureText(std::wstring_view downloadUrl, unsigned long error, std::wstring_view systemText);

// The program's own name for its error boxes: the ProductName of its version
// record, else its FileDescription, when the packager branded it with a name
// other than ours (blanks around it aside); empty for our own launcher.
WString brandedProgramName(std::wstring_view productName, std::wstring_view fileDescription);

// The error box's caption, message 110 as loaded, with the program's own name in
// place of ours: "Ravelin Error" becomes "Shop Error", "Ravelin-Fehler"
// "Shop-Fehler", so each language keeps its word for error where it stands.
// Unchanged for no name.
WString errorBoxCaption(std::wstring_view caption, std::wstring_view programName);

}  // namespace qel
