#include "driver/fault_report.h"

#include <cwchar>

#include "base/text.h"

namespace qel {

namespace {

WString faultText(const WString& what)
{
    return L"the launcher failed inside its own process: " + what + L"; it ends with exit code " +
           std::to_wstring(kFaultExitCode);
}

}  // namespace

WString unhandledExceptionText(std::uint32_t code, std::uintptr_t address)
{
    wchar_t text[80];
    std::swprintf(text, sizeof text / sizeof text[0], L"Windows exception 0x%08lX at 0x%llX",
                  static_cast<unsigned long>(code), static_cast<unsigned long long>(address));
    return faultText(text);
}

WString unhandledCppExceptionText(std::string_view what)
{
    WString text = L"an exception that nothing handled";
    if (!what.empty()) {
        text += L" (" + widenSignExtended(what) + L")";
    }
    return faultText(text);
}

}  // namespace qel
