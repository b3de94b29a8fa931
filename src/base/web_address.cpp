#include "base/web_address.h"

#include "base/text.h"

namespace qel {

namespace {

bool isHexDigit(wchar_t unit)
{
    return (unit >= L'0' && unit <= L'9') || (unit >= L'a' && unit <= L'f') || (unit >= L'A' && unit <= L'F');
}

// A port: digits (any number of leading zeros) of a value up to 65535, or none.
bool isPort(std::wstring_view digits)
{
    unsigned long value = 0;
    for (const wchar_t unit : digits) {
        if (unit < L'0' || unit > L'9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned long>(unit - L'0');
        if (value > 65535) {
            return false;
        }
    }
    return true;
}

// Every "%" begins an escape of two hexadecimal digits. No other "%" can then
// close a "%NAME%" that a shell would replace by an environment variable's
// value, and no browser reads the text otherwise than the box shows it.
bool escapesWellFormed(std::wstring_view text)
{
    for (std::size_t at = text.find(L'%'); at != std::wstring_view::npos; at = text.find(L'%', at + 3)) {
        if (text.size() - at < 3 || !isHexDigit(text[at + 1]) || !isHexDigit(text[at + 2])) {
            return false;
        }
    }
    return true;
}

// A host, then nothing or a port: "example.com", "example.com:8443",
// "[::1]:8443". A user name before the host ("user@example.com") makes the
// address read as another host than it names first.
bool isHostAndPort(std::wstring_view authority)
{
    if (authority.find(L'@') != std::wstring_view::npos) {
        return false;
    }
    std::wstring_view host;
    std::wstring_view port;
    if (!authority.empty() && authority.front() == L'[') {
        const std::size_t close = authority.find(L']');
        if (close == std::wstring_view::npos) {
            return false;
        }
        host = authority.substr(1, close - 1);
        port = authority.substr(close + 1);
    } else {
        const std::size_t colon = authority.find(L':');
        host = authority.substr(0, colon);
        port = colon == std::wstring_view::npos ? std::wstring_view() : authority.substr(colon);
    }
    if (host.empty()) {
        return false;
    }
    return port.empty() || (port.front() == L':' && isPort(port.substr(1)));
}

}  // namespace

bool mayAppearInWebAddress(wchar_t unit)
{
    const auto u = static_cast<unsigned>(unit);
    // Blanks, C0 controls, DEL and C1 controls.
    if (u <= 0x20 || (u >= 0x7F && u <= 0xA0)) {
        return false;
    }
    switch (u) {
    case L'"':
    case L'<':
    case L'>':
    case L'\\':
    case L'^':
    case L'`':
    case L'{':
    case L'|':
    case L'}':
    // Unicode's other spaces and separators.
    case 0x1680:
    case 0x202F:
    case 0x205F:
    case 0x2028:
    case 0x2029:
    case 0x3000:
    // Bidirectional controls: the box would show the address in another order.
    case 0x061C:
    // Invisible format characters (the soft hyphen, the zero-width space, joiners
    // and no-break, the word joiner, the byte order mark): the box does not
    // show them, the browser gets them.
    case 0x00AD:
    case 0x2060:
    case 0xFEFF:
        return false;
    default:
        break;
    }
    // U+2000 to U+200A are spaces, U+200B to U+200D invisible, U+200E and U+200F
    // bidirectional marks.
    return !(u >= 0x2000 && u <= 0x200F) && !(u >= 0x202A && u <= 0x202E) && !(u >= 0x2066 && u <= 0x2069);
}

WString webAddressClass(std::wstring_view address)
{
    const WString lowered = toLowerAscii(address.substr(0, 8));
    if (lowered.rfind(L"https://", 0) == 0) {
        return L"https";
    }
    if (lowered.rfind(L"http://", 0) == 0) {
        return L"http";
    }
    return WString();
}

bool isWebAddress(std::wstring_view text)
{
    if (text.size() > kMaxWebAddressUnits) {
        return false;
    }
    for (const wchar_t unit : text) {
        if (!mayAppearInWebAddress(unit)) {
            return false;
        }
    }
    if (!escapesWellFormed(text)) {
        return false;
    }
    const WString scheme = webAddressClass(text);
    if (scheme.empty()) {
        return false;
    }
    const std::wstring_view rest = text.substr(scheme.size() + 3);
    return isHostAndPort(rest.substr(0, rest.find_first_of(L"/?#")));
}

unsigned long shellExecuteError(unsigned long lastError, std::ptrdiff_t instanceValue)
{
    // A missing association is the shell's own verdict, whatever last error its
    // search left behind (Wine's leaves 3, "path not found"). Wine's shell,
    // asked to open a document of a class that has no open command, fails
    // with neither an SE_ERR_ code nor a last error.
    if (instanceValue == 27 || instanceValue == 31 ||  // SE_ERR_ASSOCINCOMPLETE, SE_ERR_NOASSOC
        (instanceValue == 0 && lastError == 0)) {
        return 1155;  // ERROR_NO_ASSOCIATION
    }
    if (lastError != 0) {
        return lastError;
    }
    // The other SE_ERR_ codes of shellapi.h and the Windows errors they stand for.
    switch (instanceValue) {
    case 2:   // SE_ERR_FNF
    case 3:   // SE_ERR_PNF
    case 5:   // SE_ERR_ACCESSDENIED
    case 8:   // SE_ERR_OOM
        return static_cast<unsigned long>(instanceValue);
    case 26:  // SE_ERR_SHARE
        return 32;  // ERROR_SHARING_VIOLATION
    case 28:  // SE_ERR_DDETIMEOUT
    case 29:  // SE_ERR_DDEFAIL
    case 30:  // SE_ERR_DDEBUSY
        return 1156;  // ERROR_DDE_FAIL
    case 32:  // SE_ERR_DLLNOTFOUND
        return 1157;  // ERROR_DLL_NOT_FOUND
    default:
        return 1627;  // ERROR_FUNCTION_FAILED
    }
}

}  // namespace qel
