#include "base/web_address.h"

#include "base/text.h"

namespace qel {

bool isWebAddress(std::wstring_view text)
{
    for (const wchar_t unit : text) {
        if (unit <= L' ' || unit == 0x7F) {
            return false;
        }
    }
    const WString lowered = toLowerAscii(text.substr(0, 8));
    std::wstring_view rest;
    if (lowered.rfind(L"https://", 0) == 0) {
        rest = text.substr(8);
    } else if (lowered.rfind(L"http://", 0) == 0) {
        rest = text.substr(7);
    } else {
        return false;
    }
    return !rest.empty() && rest.front() != L'/';
}

}  // namespace qel
