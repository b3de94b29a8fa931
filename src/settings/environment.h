#pragma once

// The process environment, read into a snapshot that a run keeps.

#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

class Environment {
public:
    // Expands %NAME% references in a text; the snapshot of the process uses the
    // system's expansion against the process environment.
    using Expander = std::function<WString(std::wstring_view text)>;
    using Variables = std::map<WString, WString, std::less<>>;

    // A snapshot of this process's environment as it is now.
    static Environment ofProcess();

    // A snapshot of an environment block: entries each ended by a NUL, the whole
    // ended by an empty entry. The name is the text before the first equals sign;
    // the block's hidden per-drive entries ("=C:=C:\dir") give the empty name.
    // Without an expander, values are given back as stored.
    static Environment fromBlock(const wchar_t* block, Expander expand = {});

    // The value with %NAME% references expanded (references to undefined variables
    // stay as written); empty when there is no such variable. Windows names
    // ignore case: the variable with exactly this name when there is one, else the
    // first in the snapshot's order whose name lower-cases to the same text.
    WString expandedValue(std::wstring_view name) const;

    // The entries of the first variable whose name lower-cases to "path", split at
    // ";" without empty entries and without trimming; an entry in a pair of
    // double quotes stands for the directory inside them.
    std::vector<WString> pathEntries() const;

    // Raw values by exact name, in code-unit order of the names.
    const Variables& variables() const { return variables_; }

private:
    // The variable that name means, as expandedValue finds it; end() for none.
    Variables::const_iterator lookUp(std::wstring_view name) const;

    Variables variables_;
    Expander expand_;
};

// Expands %NAME% references against the current process environment. The whole
// expansion is returned: a result beyond the first 2048-unit buffer is not cut,
// and a text whose expansion the system cannot make at all (beyond 32,767 units)
// is returned as written.
WString expandEnvironmentReferences(std::wstring_view text);

}  // namespace qel
