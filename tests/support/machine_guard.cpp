#include "machine_guard.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qel::test {

namespace {

constexpr const char* kVariable = "QEL_TESTS_MAY_CHANGE_MACHINE";

}  // namespace

bool runningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool machineMayChange(bool underWine, const char* variable)
{
    if (variable != nullptr && std::strcmp(variable, "1") == 0) {
        return true;
    }
    if (variable != nullptr && std::strcmp(variable, "0") == 0) {
        return false;
    }
    return underWine;
}

bool machineMayChange()
{
    return machineMayChange(runningUnderWine(), std::getenv(kVariable));
}

void skipUnlessMachineMayChange()
{
    if (!machineMayChange()) {
        GTEST_SKIP() << "this test changes the machine's registry, services or drives: it runs only under Wine, "
                        "or where QEL_TESTS_MAY_CHANGE_MACHINE=1 says this machine may be changed";
    }
}

void requireMachineMayChange(const char* change)
{
    if (!machineMayChange()) {
        throw std::logic_error(std::string("refused to ") + change +
                               ": tests change the machine only under Wine or with QEL_TESTS_MAY_CHANGE_MACHINE=1");
    }
}

}  // namespace qel::test
