#include "settings/properties_location.h"

#include "base/path_text.h"

namespace qel {

std::vector<WString> propertiesFileCandidates(std::wstring_view executable,
                                              const std::optional<WString>& currentDirectory)
{
    std::vector<WString> candidates;
    if (hasExtension(executable) && extension(executable, LetterCase::Lower) == L"exe") {
        // The comparison ignores case; the name keeps its own.
        candidates.push_back(WString(executable.substr(0, executable.rfind(L'.'))) + WString(kPropertiesExtension));
    }
    candidates.push_back(WString(executable) + WString(kPropertiesExtension));
    if (currentDirectory) {
        const auto slash = executable.rfind(L'\\');
        const std::size_t start = slash == std::wstring_view::npos ? 0 : slash;
        auto dot = executable.rfind(L'.');
        if (dot == std::wstring_view::npos || dot < start) {
            dot = executable.size();
        }
        candidates.push_back(*currentDirectory + L"\\" + WString(executable.substr(start, dot - start)) +
                             WString(kPropertiesExtension));
    }
    return candidates;
}

}  // namespace qel
