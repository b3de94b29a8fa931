#pragma once

// Tests that change the machine they run on (registry keys of the machine and of
// the user, services, drive letters) run only where that is safe: under Wine,
// whose prefix belongs to the build tree, or where QEL_TESTS_MAY_CHANGE_MACHINE=1
// says that this machine may be changed (a scratch virtual machine). Elsewhere, a
// contributor's own Windows for one, they skip with a message that says why;
// QEL_TESTS_MAY_CHANGE_MACHINE=0 makes them skip under Wine too.

#include <gtest/gtest.h>

#include <string>

namespace qel::test {

bool runningUnderWine();

// The rule: the variable's value decides ("1" yes, "0" no); without it, only
// Wine may be changed.
bool machineMayChange(bool underWine, const char* variable);

// The rule applied to this process.
bool machineMayChange();

// Skips the running test, with the reason, unless the machine may change. In a
// fixture's SetUp the test body is then skipped too; a test body or a SetUp
// returns when ::testing::Test::IsSkipped() says so.
void skipUnlessMachineMayChange();

// A fixture whose tests write the registry keys that clear() removes: they skip
// where the machine must not change, and otherwise start and end with none of
// those keys.
template <typename Base, void (*clear)()> class ClearedKeys : public Base {
protected:
    void SetUp() override
    {
        Base::SetUp();
        skipUnlessMachineMayChange();
        if (!::testing::Test::IsSkipped()) {
            clear();
        }
    }
    void TearDown() override
    {
        if (!::testing::Test::IsSkipped()) {
            clear();
        }
        Base::TearDown();
    }
};

// Throws std::logic_error unless the machine may change. Every helper that
// changes the machine calls it first, so that a test that forgot to skip fails
// instead of changing a contributor's machine.
void requireMachineMayChange(const char* change);

}  // namespace qel::test
