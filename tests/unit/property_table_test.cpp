#include <gtest/gtest.h>

#include <string>

#include "settings/property_table.h"

using namespace qel;

TEST(PropertyTable, PresentEmptyValueIsNotTheDefault)
{
    PropertyTable table;
    EXPECT_EQ(table.get(L"k", L"default"), L"default");  // nothing stored yet
    table.set(L"k", L"");
    table.set(L"", L"empty key");
    EXPECT_EQ(table.get(L"k", L"default"), L"");
    EXPECT_EQ(table.get(L"K", L"default"), L"default");  // keys are case-sensitive
    EXPECT_EQ(table.get(L"", L"default"), L"empty key");
    EXPECT_EQ(table.size(), 2u);
}

TEST(PropertyTable, LaterValuesReplaceAndEntriesAreOrderedByUnits)
{
    PropertyTable table;
    table.set(L"b", L"1");
    table.set(L"\u00e9", L"2");
    table.set(L"a", L"3");
    table.set(L"B", L"4");
    table.set(L"b", L"5");
    EXPECT_EQ(table.entries(),
              (std::map<WString, WString, std::less<>>{{L"B", L"4"}, {L"a", L"3"}, {L"b", L"5"}, {L"\u00e9", L"2"}}));
    EXPECT_EQ(table.size(), 4u);
}
