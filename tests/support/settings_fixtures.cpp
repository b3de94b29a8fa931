#include "settings_fixtures.h"

#include <windows.h>

#include "base/system_text.h"

namespace qel::test {

WString currentDirectory()
{
    return readGrowingText([](wchar_t* buffer, DWORD capacity) { return GetCurrentDirectoryW(capacity, buffer); })
        .value_or(WString());
}

bool setCurrentDirectory(const WString& path)
{
    return SetCurrentDirectoryW(path.c_str()) != 0;
}

CurrentDirectoryGuard::CurrentDirectoryGuard() : original_(currentDirectory()) {}

CurrentDirectoryGuard::~CurrentDirectoryGuard()
{
    SetCurrentDirectoryW(original_.c_str());
}

std::optional<WString> environmentVariable(std::wstring_view name)
{
    const WString key(name);
    SetLastError(0);
    const auto value = readGrowingText(
        [&](wchar_t* buffer, DWORD capacity) { return GetEnvironmentVariableW(key.c_str(), buffer, capacity); });
    if (!value && GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
        return WString();  // set, but empty
    }
    return value;
}

ScopedVariable::ScopedVariable(std::wstring_view name, std::optional<WString> value)
    : name_(name), previous_(environmentVariable(name))
{
    SetEnvironmentVariableW(name_.c_str(), value ? value->c_str() : nullptr);
}

ScopedVariable::~ScopedVariable()
{
    SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

}  // namespace qel::test
