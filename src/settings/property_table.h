#pragma once

#include <map>
#include <string_view>

#include "base/wstring.h"

namespace qel {

// The settings as read from the properties file: keys are unique, compared unit
// by unit (case-sensitive) and ordered by their UTF-16 units.
class PropertyTable {
public:
    // The stored value when the key is present, even when it is empty.
    WString get(std::wstring_view key, std::wstring_view defaultValue) const
    {
        const auto found = entries_.find(key);
        return found == entries_.end() ? WString(defaultValue) : found->second;
    }

    // A later value for the same key replaces the earlier one.
    void set(WString key, WString value) { entries_[std::move(key)] = std::move(value); }

    const std::map<WString, WString, std::less<>>& entries() const { return entries_; }

private:
    std::map<WString, WString, std::less<>> entries_;
};

}  // namespace qel
