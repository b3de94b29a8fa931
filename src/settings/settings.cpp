#include "settings/settings.h"

#include <limits>

#include "base/text.h"
#include "base/web_address.h"
#include "settings/properties.h"

namespace qel {

WString setting(const PropertyTable& table, const SettingKey& key)
{
    return table.get(key.name, key.defaultValue);
}

std::int64_t parseByteSize(std::wstring_view text)
{
    WString lowered = toLowerAscii(text);
    std::int64_t multiplier = 1;
    if (!lowered.empty() && lowered.back() == L'k') {
        multiplier = 1024;
    } else if (!lowered.empty() && lowered.back() == L'm') {
        multiplier = 1024 * 1024;
    }
    if (multiplier != 1) {
        lowered.pop_back();
    }
    // Sizes of 2 GiB and more keep their full count; beyond 64 bits the count
    // stays at the limit on its side.
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t smallest = std::numeric_limits<std::int64_t>::min();
    const std::int64_t number = parseDecimal64(lowered);
    if (number > largest / multiplier) {
        return largest;
    }
    if (number < smallest / multiplier) {
        return smallest;
    }
    return number * multiplier;
}

bool parseSwitch(std::wstring_view text)
{
    const WString lowered = toLowerAscii(text);
    return lowered == L"true" || lowered == L"on" || lowered == L"t";
}

WString substituteClassPath(std::wstring_view text, std::wstring_view classPathVariable)
{
    static constexpr std::wstring_view marker = L"$ENV_CLASSPATH$";
    WString result(text);
    const auto position = result.find(marker);
    if (position != WString::npos) {
        result.replace(position, marker.size(), classPathVariable);
    }
    return result;
}

WString classPath(const PropertyTable& table, std::wstring_view classPathVariable)
{
    return substituteClassPath(setting(table, keys::classPath), classPathVariable);
}

// clang-format off
WString currentVm(const PropertyTable& table) { return setting(table, keys::currentVm); }
WString validVmList(const PropertyTable& table) { return setting(table, keys::validVmList); }
WString mainClass(const PropertyTable& table) { return setting(table, keys::mainClass); }
WString userDir(const PropertyTable& table) { return setting(table, keys::userDir); }
WString applicationName(const PropertyTable& table) { return setting(table, keys::applicationName); }
WString stdoutRedirect(const PropertyTable& table) { return setting(table, keys::stdoutRedirect); }
WString stderrRedirect(const PropertyTable& table) { return setting(table, keys::stderrRedirect); }
bool verifyMode(const PropertyTable& table) { return parseSwitch(setting(table, keys::verifyMode)); }
WString verbose(const PropertyTable& table) { return setting(table, keys::verbose); }
WString gcExtent(const PropertyTable& table) { return setting(table, keys::gcExtent); }
bool gcBackgroundThread(const PropertyTable& table) { return parseSwitch(setting(table, keys::gcBackgroundThread)); }
bool debugging(const PropertyTable& table) { return parseSwitch(setting(table, keys::debugging)); }
bool compiler(const PropertyTable& table) { return parseSwitch(setting(table, keys::compiler)); }
bool singleInstance(const PropertyTable& table) { return parseSwitch(setting(table, keys::singleInstance)); }
WString additionalOptions(const PropertyTable& table) { return setting(table, keys::additionalOptions); }
std::int64_t heapInitial(const PropertyTable& table) { return parseByteSize(setting(table, keys::heapInitial)); }
std::int64_t heapMax(const PropertyTable& table) { return parseByteSize(setting(table, keys::heapMax)); }
std::int32_t msvmMinVersion(const PropertyTable& table) { return parseDecimal(setting(table, keys::msvmMinVersion)); }
// clang-format on

std::uint32_t secondsSettingMs(const PropertyTable& table, const SettingKey& key)
{
    constexpr std::int64_t kDaySeconds = 24 * 60 * 60;
    const std::int64_t seconds = parseDecimal64(setting(table, key));
    return static_cast<std::uint32_t>((seconds < 0 ? 0 : seconds > kDaySeconds ? kDaySeconds : seconds) * 1000);
}

std::uint32_t serviceStopTimeoutMs(const PropertyTable& table)
{
    return secondsSettingMs(table, keys::serviceStopTimeout);
}

std::optional<std::uint32_t> serviceRestartDelayMs(const PropertyTable& table)
{
    const WString value = setting(table, keys::serviceRestartDelay);
    std::wstring_view text = trimControl(value);
    if (!text.empty() && (text.front() == L'+' || text.front() == L'-')) {
        text.remove_prefix(1);
        if (text.empty()) {
            return std::nullopt;
        }
    }
    for (const wchar_t unit : text) {
        if (unit < L'0' || unit > L'9') {
            return std::nullopt;
        }
    }
    return secondsSettingMs(table, keys::serviceRestartDelay);
}

WString serviceLogDirectory(const PropertyTable& table)
{
    return setting(table, keys::serviceLogDirectory);
}

namespace {

// The digits of a count, blanks around aside; none when there are none or
// anything else is there.
std::optional<std::wstring_view> countDigits(std::wstring_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    for (const wchar_t unit : text) {
        if (unit < L'0' || unit > L'9') {
            return std::nullopt;
        }
    }
    return text;
}

}  // namespace

std::optional<std::int64_t> serviceLogSize(const PropertyTable& table)
{
    const WString value = setting(table, keys::serviceLogSize);
    std::wstring_view text = trimControl(value);
    if (text.empty()) {
        return parseByteSize(keys::serviceLogSize.defaultValue);
    }
    std::int64_t multiplier = 1;
    switch (text.back()) {
    case L'k':
    case L'K':
        multiplier = std::int64_t{1} << 10;
        break;
    case L'm':
    case L'M':
        multiplier = std::int64_t{1} << 20;
        break;
    case L'g':
    case L'G':
        multiplier = std::int64_t{1} << 30;
        break;
    default:
        break;
    }
    const auto digits = countDigits(multiplier == 1 ? text : text.substr(0, text.size() - 1));
    if (!digits) {
        return std::nullopt;
    }
    // A count beyond 64 bits stays at the limit: files that never rotate.
    const std::int64_t number = parseDecimal64(*digits);
    const std::int64_t size = number > std::numeric_limits<std::int64_t>::max() / multiplier
                                  ? std::numeric_limits<std::int64_t>::max()
                                  : number * multiplier;
    return size > 0 ? size : parseByteSize(keys::serviceLogSize.defaultValue);
}

std::optional<std::int32_t> serviceLogKeep(const PropertyTable& table)
{
    const WString value = setting(table, keys::serviceLogKeep);
    const std::wstring_view text = trimControl(value);
    if (text.empty()) {
        return parseDecimal(keys::serviceLogKeep.defaultValue);
    }
    const auto digits = countDigits(text);
    if (!digits) {
        return std::nullopt;
    }
    const std::int64_t keep = parseDecimal64(*digits);
    if (keep > kMaxServiceLogKeep) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(keep);
}

std::optional<WString> refusedServiceLogKey(const PropertyTable& table)
{
    if (!serviceLogSize(table)) {
        return WString(keys::serviceLogSize.name);
    }
    if (!serviceLogKeep(table)) {
        return WString(keys::serviceLogKeep.name);
    }
    return std::nullopt;
}

WString invalidServiceLogText(std::wstring_view invalidMessage, std::wstring_view key)
{
    const WString rule = key == keys::serviceLogSize.name
                             ? L" must be a count of bytes with an optional k, m or g, such as 10m."
                             : L" must be a count of older files from 0 to " + std::to_wstring(kMaxServiceLogKeep) + L".";
    return WString(invalidMessage) + L"\n\n" + WString(key) + rule;
}

WString vmDownloadUrl(const PropertyTable& table)
{
    return setting(table, keys::vmDownloadUrl);
}

bool vmDownloadUrlAcceptable(const PropertyTable& table)
{
    const WString url = vmDownloadUrl(table);
    return url.empty() || isWebAddress(url);
}

WString invalidDownloadUrlText(std::wstring_view invalidMessage)
{
    return WString(invalidMessage) + L"\n\n" + keys::vmDownloadUrl.name +
           L" must be an https:// or http:// address with a host and without a user name, of at most " +
           std::to_wstring(kMaxWebAddressUnits) +
           L" characters, without blanks, control characters or any of \" < > \\ ^ ` { | }.";
}

bool consolePause(const PropertyTable& table)
{
    const WString lowered = toLowerAscii(setting(table, keys::consolePause));
    return lowered == L"true" || lowered == L"yes" || lowered == L"on";
}

bool settingsComplete(const PropertyTable& properties, std::wstring_view classPathVariable)
{
    // The list is read only when no VM is named, and the class path only after
    // the VM choice passed, as the checks are ordered.
    return !mainClass(properties).empty() && !(currentVm(properties).empty() && validVmList(properties).empty()) &&
           !classPath(properties, classPathVariable).empty();
}

std::optional<WString> keyHoldingNul(const PropertyTable& properties)
{
    for (const SettingKey& key : keys::all) {
        if (setting(properties, key).find(L'\0') != WString::npos) {
            return WString(key.name);
        }
    }
    return std::nullopt;
}

WString nulSettingText(std::wstring_view invalidMessage, std::wstring_view key)
{
    return WString(invalidMessage) + L"\n\n" + WString(key) +
           L" holds the character U+0000 (\\u0000, or \\u without digits), which the Java VM cannot be given.";
}

}  // namespace qel
