#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

// The settings as read from the properties file: keys are unique and compared
// unit by unit (case-sensitive); entries() lists them in the order of their
// UTF-16 units.
//
// The table is filled once from a file and then only read. It keeps every text in
// one buffer and finds keys through a hash index, so a file of many thousand
// lines costs no allocation per line.
class PropertyTable {
public:
    // The stored value when the key is present, even when it is empty.
    WString get(std::wstring_view key, std::wstring_view defaultValue) const;

    // A later value for the same key replaces the earlier one.
    void set(std::wstring_view key, std::wstring_view value);

    // Room for this many units of keys and values, ahead of a large fill.
    void reserve(std::size_t units) { texts_.reserve(units); }

    std::size_t size() const { return entries_.size(); }

    // Every entry, ordered by key.
    std::map<WString, WString, std::less<>> entries() const;

private:
    struct Entry {
        std::size_t keyOffset;
        std::size_t keyLength;
        std::size_t valueOffset;
        std::size_t valueLength;
    };

    std::wstring_view keyOf(const Entry& entry) const { return {texts_.data() + entry.keyOffset, entry.keyLength}; }
    std::wstring_view valueOf(const Entry& entry) const
    {
        return {texts_.data() + entry.valueOffset, entry.valueLength};
    }
    // The slot that holds the key, or the empty slot where it would go.
    std::size_t slotOf(std::wstring_view key) const;
    void growIndex();

    // Keys and values, back to back; a replaced value stays behind unused.
    WString texts_;
    std::vector<Entry> entries_;
    // Open addressing: entry index + 1, or 0 for an empty slot; a power of two long.
    std::vector<std::uint32_t> slots_;
};

}  // namespace qel
