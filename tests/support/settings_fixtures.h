#pragma once

// Fixtures for tests of the settings and the command line: the process's current
// directory and environment variables put back as they were, and the environment
// snapshot prepared before its first use.

#include <optional>
#include <string_view>

#include "base/wstring.h"

namespace qel::test {

// The current directory when constructed, made current again on destruction. A
// Launcher moves the process into its properties file's directory.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard();
    ~CurrentDirectoryGuard();
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

    const WString& original() const { return original_; }

private:
    WString original_;
};

// The process's current directory, and changing it (false when Windows refuses).
WString currentDirectory();
bool setCurrentDirectory(const WString& path);

// Sets (or, with no value, removes) a variable of the process environment and puts
// the earlier state back on destruction.
class ScopedVariable {
public:
    ScopedVariable(std::wstring_view name, std::optional<WString> value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    WString name_;
    std::optional<WString> previous_;
};

// The variable as the process environment holds it now; none when unset.
std::optional<WString> environmentVariable(std::wstring_view name);

}  // namespace qel::test
