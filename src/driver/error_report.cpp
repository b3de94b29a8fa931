#include "driver/error_report.h"

#include "base/message_ids.h"
#include "base/product_names.h"
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

namespace {

// The text without blanks and control characters at either end.
std::wstring_view trimmed(std::wstring_view text)
{
    while (!text.empty() && text.front() <= L' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() <= L' ') {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

WString brandedProgramName(std::wstring_view productName, std::wstring_view fileDescription)
{
    const std::wstring_view product = trimmed(productName);
    if (!product.empty() && product != L"" QEL_PRODUCT_NAME) {
        return WString(product);
    }
    const std::wstring_view description = trimmed(fileDescription);
    if (!description.empty() && description != L"" QEL_FILE_DESCRIPTION) {
        return WString(description);
    }
    return {};
}

WString errorBoxCaption(std::wstring_view caption, std::wstring_view programName)
{
    if (programName.empty()) {
        return WString(caption);
    }
    constexpr std::wstring_view ours = L"" QEL_PRODUCT_NAME;
    const auto at = caption.find(ours);
    if (at == std::wstring_view::npos) {
        // A translation without our name: the program's name before it.
        return WString(programName) + L" " + WString(caption);
    }
    return WString(caption.substr(0, at)) + WString(programName) + WString(caption.substr(at + ours.size()));
}

}  // namespace qel
