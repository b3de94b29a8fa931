#include "driver/error_report.h"

#include "base/message_ids.h"
#include "launch/process_texts.h"

namespace qel {

namespace {

// The exit code after a failure, in both frontends: a script that started the
// launcher can tell which failure it was.
int failureExitCode(int messageId)
{
    switch (messageId) {
    case MSG_NO_VM:
    case MSG_PROPERTIES_MISSING:
    case MSG_VM_START_FAILED:
    case MSG_PROPERTIES_INVALID:
        return messageId;
    default:
        return 1;
    }
}

}  // namespace

ErrorReport errorReport(Frontend frontend, std::wstring_view text, int messageId)
{
    if (frontend == Frontend::Windowed) {
        return ErrorReport{ErrorTarget::Box, WString(text), failureExitCode(messageId), {}};
    }
    return ErrorReport{ErrorTarget::StandardError, singleLine(text) + L"\n", failureExitCode(messageId), {}};
}

ErrorReport noVmReport(Frontend frontend, std::wstring_view noVmText, std::wstring_view question,
                       std::wstring_view downloadUrl)
{
    if (frontend == Frontend::Windowed) {
        return ErrorReport{ErrorTarget::Box,
                           WString(noVmText) + L"\n\n" + WString(question) + L"\n" + WString(downloadUrl),
                           failureExitCode(MSG_NO_VM), WString(downloadUrl)};
    }
    return errorReport(frontend, WString(noVmText) + L"\n" + WString(downloadUrl), MSG_NO_VM);
}

WString downloadPageFailureText(std::wstring_view downloadUrl, unsigned long error, std::wstring_view systemText)
{
    return L"The download page could not be opened in a web browser:\n" + WString(downloadUrl) + L"\n\n" +
           windowsErrorText(error, systemText);
}

}  // namespace qel
