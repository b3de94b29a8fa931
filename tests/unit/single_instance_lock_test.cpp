// The key of a properties file as Windows gives it: the system's upper case, and
// one key for every spelling of the path to one file.

#include <gtest/gtest.h>

#include <windows.h>

#include "instance/single_instance_win.h"
#include "support/test_files.h"

using namespace qel;
using namespace qel::test;

TEST(SingleInstanceLock, UpperCaseIsTheSystemsTable)
{
    const struct {
        const wchar_t* text;
        const wchar_t* upper;
    } rows[] = {
        {L"", L""},
        {L"c:\\shop\\shop.qel", L"C:\\SHOP\\SHOP.QEL"},
        {L"caf\u00e9", L"CAF\u00c9"},
        {L"\u03c3\u03bf\u03c6\u03af\u03b1", L"\u03a3\u039f\u03a6\u038a\u0391"},
        {L"\u043c\u0430\u0433\u0430\u0437\u0438\u043d", L"\u041c\u0410\u0413\u0410\u0417\u0418\u041d"},
        // One unit for one: no letter becomes two (as "ss" would for the sharp s).
        {L"stra\u00dfe", L"STRA\u00dfE"},
        {L"\u65e5\u672c", L"\u65e5\u672c"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(systemUpperCase(row.text), WString(row.upper)) << narrow(row.text);
    }
}

TEST(SingleInstanceLock, EverySpellingOfThePathGivesOneKey)
{
    const TempDir dir;
    if (!CreateDirectoryW((dir / L"Caf\u00e9").c_str(), nullptr)) {
        // Wine names files in the Unix locale's encoding: C has no "é".
        GTEST_SKIP() << "no non-ASCII file names in this Unix locale (the registration "
                        "unit.SingleInstanceLock.utf8 runs this test with LC_ALL=C.UTF-8)";
    }
    const WString file = dir / L"Caf\u00e9\\Shop.qel";
    writeFile(file, "x");
    writeFile(dir / L"Caf\u00e9\\Other.qel", "x");
    const WString key = propertiesFileKey(file);
    for (const WString& spelling : {dir / L"CAF\u00c9\\SHOP.QEL", dir / L"caf\u00e9\\shop.qel",
                                    dir / L"Caf\u00e9\\..\\Caf\u00e9\\Shop.qel", dir / L"Caf\u00e9\\.\\Shop.qel"}) {
        EXPECT_EQ(propertiesFileKey(spelling), key) << narrow(spelling);
    }
    EXPECT_NE(propertiesFileKey(dir / L"Caf\u00e9\\Other.qel"), key);
    // A file that is not there keeps the path it was given, upper-cased.
    EXPECT_EQ(propertiesFileKey(dir / L"caf\u00e9\\gone.qel"), systemUpperCase(dir / L"caf\u00e9\\gone.qel"));
}
