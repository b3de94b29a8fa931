#pragma once

#include <cstddef>
#include <map>
#include <string_view>

#include "base/wstring.h"

namespace qel {

// The settings as read from the properties file: keys are unique and compared
// unit by unit (case-sensitive), ordered by their UTF-16 units. The table is
// filled once from a file and then only read.
class PropertyTable {
public:
    using Entries = std::map<WString, WString, std::less<>>;

    // The stored value when the key is present, even when it is empty.
    WString get(std::wstring_view key, std::wstring_view defaultValue) const;

    // A later value for the same key replaces the earlier one.
    void set(std::wstring_view key, std::wstring_view value);

    std::size_t size() const { return entries_.size(); }

    // Every entry, ordered by key.
    const Entries& entries() const { return entries_; }

private:
    Entries entries_;
};

}  // namespace qel
