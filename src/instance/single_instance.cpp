#include "instance/single_instance.h"

#include <algorithm>

#include "base/text.h"

namespace qel {

namespace {

// 64-bit FNV-1a over the UTF-16 units, each as two bytes, low byte first.
std::uint64_t fnv1a64(std::wstring_view text)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const wchar_t unit : text) {
        for (const unsigned byte : {static_cast<unsigned>(unit) & 0xFFu, (static_cast<unsigned>(unit) >> 8) & 0xFFu}) {
            hash ^= byte;
            hash *= 0x100000001b3ull;
        }
    }
    return hash;
}

}  // namespace

SingleInstanceNames singleInstanceNames(std::wstring_view propertiesFullPath)
{
    WString path = toLowerAscii(propertiesFullPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    const std::uint64_t hash = fnv1a64(path);
    const WString digits = hex4(static_cast<std::uint16_t>(hash >> 48)) + hex4(static_cast<std::uint16_t>(hash >> 32)) +
                           hex4(static_cast<std::uint16_t>(hash >> 16)) + hex4(static_cast<std::uint16_t>(hash));
    const WString base = L"Local\\ravelin.single-instance." + digits;
    return SingleInstanceNames{base, base + L".launcher"};
}

WString instanceObjectDescriptor(std::wstring_view userSid)
{
    return L"D:P(A;;GA;;;" + WString(userSid) + L")(A;;GA;;;SY)";
}

WString singleInstanceKey(std::wstring_view finalPath, const std::function<WString(std::wstring_view)>& upperCase)
{
    WString path(finalPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    const std::wstring_view verbatim = L"\\\\?\\";
    const std::wstring_view unc = L"UNC\\";
    if (path.rfind(verbatim, 0) == 0) {
        path.erase(0, verbatim.size());
        // "UNC\server\share" in any case of "UNC".
        if (path.size() > unc.size() && toLowerAscii(std::wstring_view(path).substr(0, unc.size())) == L"unc\\") {
            path.replace(0, unc.size(), L"\\\\");
        }
    }
    return upperCase(path);
}

std::vector<std::uintptr_t> windowsOfFirstInstance(const std::vector<TopLevelWindow>& windows,
                                                   const std::vector<ProcessEntry>& processes,
                                                   std::uint32_t firstLauncherId)
{
    std::vector<std::uint32_t> started;
    for (const ProcessEntry& process : processes) {
        if (firstLauncherId != 0 && process.parentId == firstLauncherId && process.processId != firstLauncherId) {
            started.push_back(process.processId);
        }
    }
    std::vector<std::uintptr_t> chosen;
    for (const TopLevelWindow& window : windows) {
        if (firstLauncherId != 0 && window.processId == firstLauncherId && window.visible && window.dialog) {
            chosen.push_back(window.handle);
        }
    }
    for (const TopLevelWindow& window : windows) {
        if (window.visible && !window.owned &&
            std::find(started.begin(), started.end(), window.processId) != started.end()) {
            chosen.push_back(window.handle);
        }
    }
    return chosen;
}

}  // namespace qel
