#include "settings/environment.h"

#include <windows.h>

#include "base/text.h"

namespace qel {

namespace {

// The first buffer of the expansion; a longer result is expanded again into a
// buffer of the size Windows asks for, so that no value is cut.
constexpr DWORD kExpansionUnits = 2048;

struct EnvironmentBlock {
    wchar_t* block = GetEnvironmentStringsW();
    ~EnvironmentBlock()
    {
        if (block != nullptr) {
            FreeEnvironmentStringsW(block);
        }
    }
};

}  // namespace

Environment& Environment::instance()
{
    static Environment* snapshot = [] {
        const EnvironmentBlock environment;
        return new Environment(fromBlock(environment.block));  // never destroyed
    }();
    return *snapshot;
}

Environment Environment::fromBlock(const wchar_t* block)
{
    Environment result;
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

WString expandEnvironmentReferences(std::wstring_view text)
{
    const WString source(text);
    WString buffer(kExpansionUnits, L'\0');
    // ExpandEnvironmentStringsW returns the size it needs, terminator included,
    // whether or not that fits; 0 on failure.
    DWORD needed = ExpandEnvironmentStringsW(source.c_str(), buffer.data(), kExpansionUnits);
    while (needed > buffer.size()) {
        buffer.assign(needed, L'\0');
        needed = ExpandEnvironmentStringsW(source.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    buffer.resize(needed > 0 ? needed - 1 : 0);
    // An expansion beyond the system's limit of 32,767 units is reported with the
    // size it would need, but only part of the buffer is filled. The text is then
    // kept as written, like a reference to an undefined variable, rather than cut.
    if (needed == 0 || buffer.find(L'\0') != WString::npos) {
        return source;
    }
    return buffer;
}

WString Environment::expandedValue(std::wstring_view name) const
{
    const auto found = variables_.find(name);
    return found == variables_.end() ? WString() : expandEnvironmentReferences(found->second);
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
    return Tokenizer(value, L";").tokens();
}

}  // namespace qel
