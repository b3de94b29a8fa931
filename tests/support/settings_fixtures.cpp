#include "settings_fixtures.h"

#include <windows.h>

#include "settings/environment.h"

namespace qel::test {

WString currentDirectory()
{
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    WString buffer(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, buffer.data());
    buffer.resize(length < size ? length : 0);
    return buffer;
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
    const DWORD size = GetEnvironmentVariableW(key.c_str(), nullptr, 0);
    if (size == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return std::nullopt;
        }
        return WString();
    }
    WString value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(key.c_str(), value.data(), size);
    value.resize(length < size ? length : 0);
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

bool snapshotHolds(std::wstring_view name, const std::optional<WString>& value)
{
    const auto& variables = Environment::instance().variables();
    const auto found = variables.find(name);
    if (!value) {
        return found == variables.end();
    }
    return found != variables.end() && found->second == *value;
}

}  // namespace qel::test
