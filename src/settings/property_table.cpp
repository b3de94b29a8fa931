#include "settings/property_table.h"

namespace qel {

namespace {

std::size_t hashOf(std::wstring_view key)
{
    // FNV-1a over the units.
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t unit : key) {
        hash = (hash ^ static_cast<std::uint64_t>(unit)) * 1099511628211ull;
    }
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

}  // namespace

std::size_t PropertyTable::slotOf(std::wstring_view key) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hashOf(key) & mask;; slot = (slot + 1) & mask) {
        if (slots_[slot] == 0 || keyOf(entries_[slots_[slot] - 1]) == key) {
            return slot;
        }
    }
}

void PropertyTable::growIndex()
{
    slots_.assign(slots_.empty() ? 16 : slots_.size() * 2, 0);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        slots_[slotOf(keyOf(entries_[i]))] = static_cast<std::uint32_t>(i + 1);
    }
}

void PropertyTable::set(std::wstring_view key, std::wstring_view value)
{
    // At most half full, so that every probe sequence soon meets an empty slot.
    if ((entries_.size() + 1) * 2 > slots_.size()) {
        growIndex();
    }
    const std::size_t slot = slotOf(key);
    const std::size_t valueOffset = texts_.size();
    texts_.append(value);
    if (slots_[slot] != 0) {
        Entry& entry = entries_[slots_[slot] - 1];
        entry.valueOffset = valueOffset;
        entry.valueLength = value.size();
        return;
    }
    const std::size_t keyOffset = texts_.size();
    texts_.append(key);
    entries_.push_back(Entry{keyOffset, key.size(), valueOffset, value.size()});
    slots_[slot] = static_cast<std::uint32_t>(entries_.size());
}

WString PropertyTable::get(std::wstring_view key, std::wstring_view defaultValue) const
{
    if (entries_.empty()) {
        return WString(defaultValue);
    }
    const std::uint32_t index = slots_[slotOf(key)];
    return index == 0 ? WString(defaultValue) : WString(valueOf(entries_[index - 1]));
}

std::map<WString, WString, std::less<>> PropertyTable::entries() const
{
    std::map<WString, WString, std::less<>> ordered;
    for (const Entry& entry : entries_) {
        ordered.emplace(keyOf(entry), valueOf(entry));
    }
    return ordered;
}

}  // namespace qel
