#include "settings/property_table.h"

namespace qel {

WString PropertyTable::get(std::wstring_view key, std::wstring_view defaultValue) const
{
    const auto found = entries_.find(key);
    return found == entries_.end() ? WString(defaultValue) : found->second;
}

void PropertyTable::set(std::wstring_view key, std::wstring_view value)
{
    const auto found = entries_.find(key);
    if (found == entries_.end()) {
        entries_.emplace(WString(key), WString(value));
    } else {
        found->second.assign(value);
    }
}

}  // namespace qel
