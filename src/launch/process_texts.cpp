#include "launch/process_texts.h"

#include <cstddef>
#include <string>

#include "base/text.h"
#include "settings/properties.h"

namespace qel {

namespace {

// A message is read into this many units, its terminator included.
constexpr std::size_t kMessageUnits = 512;

}  // namespace

WString formatStartFailure(std::wstring_view format, unsigned long errorCode)
{
    WString text(format);
    const auto placeholder = text.find(L"%d");
    if (placeholder != WString::npos) {
        text.replace(placeholder, 2, std::to_wstring(errorCode));
    }
    if (text.size() > kMessageUnits - 1) {
        text.resize(kMessageUnits - 1);
    }
    return text;
}

WString windowsErrorText(unsigned long errorCode, std::wstring_view systemText)
{
    const WString line = singleLine(systemText);
    const std::wstring_view text = trimControl(line);
    const WString number = L"Windows error " + std::to_wstring(errorCode);
    return text.empty() ? number : number + L" (" + WString(text) + L")";
}

WString workingDirectoryLine(std::wstring_view workingDirectory)
{
    return L"cwd: " + WString(workingDirectory) + L"\n";
}

WString commandLineLine(std::wstring_view commandLine)
{
    return L"cmd: " + WString(commandLine) + L"\n";
}

}  // namespace qel
