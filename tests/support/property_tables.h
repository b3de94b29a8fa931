#pragma once

// Settings for tests of the rules, written as a table in the test. Header only:
// the rules' tests also build natively, without the support library.

#include <initializer_list>
#include <utility>

#include "settings/property_table.h"

namespace qel::test {

inline PropertyTable tableOf(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> entries)
{
    PropertyTable table;
    for (const auto& [key, value] : entries) {
        table.set(key, value);
    }
    return table;
}

}  // namespace qel::test
