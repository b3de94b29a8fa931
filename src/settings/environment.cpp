#include "settings/environment.h"

#include "base/text.h"

namespace qel {

Environment Environment::fromBlock(const wchar_t* block, Expander expand)
{
    Environment result;
    result.expand_ = std::move(expand);
    if (block == nullptr) {
        return result;
    }
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wstring_view(entry).size() + 1) {
        const std::wstring_view text(entry);
        // An entry that begins with "=" is one of the hidden per-drive entries:
        // its name is empty and the rest is its value.
        const auto equals = text.find(L'=');
        if (equals == std::wstring_view::npos) {
            result.variables_[WString(text)] = WString();
            continue;
        }
        result.variables_[WString(text.substr(0, equals))] = WString(text.substr(equals + 1));
    }
    return result;
}

Environment::Variables::const_iterator Environment::lookUp(std::wstring_view name) const
{
    const auto exact = variables_.find(name);
    if (exact != variables_.end()) {
        return exact;
    }
    const WString lowered = toLowerAscii(name);
    for (auto it = variables_.begin(); it != variables_.end(); ++it) {
        if (it->first.size() == lowered.size() && toLowerAscii(it->first) == lowered) {
            return it;
        }
    }
    return variables_.end();
}

WString Environment::expandedValue(std::wstring_view name) const
{
    const auto found = lookUp(name);
    if (found == variables_.end()) {
        return {};
    }
    return expand_ ? expand_(found->second) : found->second;
}

std::vector<WString> Environment::pathEntries() const
{
    WString value;
    for (const auto& [name, raw] : variables_) {
        if (toLowerAscii(name) == L"path") {
            value = expandedValue(name);
            break;
        }
    }
    std::vector<WString> entries;
    for (const WString& entry : Tokenizer(value, L";")) {
        // cmd searches "C:\Program Files\Java\jdk-21\bin" as the directory inside
        // the quotes; so does the launcher.
        const std::wstring_view directory = withoutSurroundingQuotes(entry);
        if (!directory.empty()) {
            entries.emplace_back(directory);
        }
    }
    return entries;
}

}  // namespace qel
