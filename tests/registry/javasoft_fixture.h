#pragma once

// Tests that write HKLM\SOFTWARE\JavaSoft in the test prefix start and end with
// no JavaSoft key in either registry view. CTest runs them one at a time.

#include <gtest/gtest.h>

#include "support/machine_guard.h"
#include "support/vm_fixtures.h"

namespace qel::test {

// Keys the launcher itself never reads, for the registry layer's own tests.
inline constexpr const wchar_t* kScratchKey = L"SOFTWARE\\JavaSoft\\Ravelin Tests";

// Tests that write the JavaSoft keys start and end with none, in either view.
using JavaSoftRegistry = ClearedKeys<::testing::Test, removeJavaSoftKeys>;

// Tests that write any key the VM inventory reads, in either hive, start and end
// with none of them.
using InstallationKeys = ClearedKeys<::testing::Test, removeJavaKeys>;

}  // namespace qel::test
