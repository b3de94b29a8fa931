#include <gtest/gtest.h>
#include <windows.h>

#include "base/errors.h"
#include "base/messages.h"
#include "support/expected_texts.h"
#include "support/failures.h"

using namespace qel;

TEST(MessageTable, LoadsCachesAndRejectsUnknownIds)
{
    auto& table = MessageTable::instance();
    EXPECT_EQ(&table, &MessageTable::instance());
    EXPECT_EQ(table.text(MSG_ERROR_CAPTION), expected::kEnglishCaption);
    EXPECT_EQ(table.text(MSG_ERROR_CAPTION), table.text(MSG_ERROR_CAPTION));
    EXPECT_EQ(table.text(MSG_VM_START_FAILED), L"Windows error %d occured while loading the Java VM");

    for (int id : {105, 96, 111, 1, 0}) {
        EXPECT_EQ(test::messageThrownBy<StringTableException>([&] { table.text(id); }, std::to_string(id)),
                  L"invalid key");
    }
    EXPECT_EQ(table.text(MSG_PROPERTIES_MISSING), expected::kEnglishMissing);
}

TEST(MessageTable, KeepsTheFirstLoadedText)
{
    // Once cached, a text does not follow a later change of the thread's language.
    auto& table = MessageTable::instance();
    const WString english = table.text(MSG_PROPERTIES_INVALID);
    const LCID previous = GetThreadLocale();
    SetThreadLocale(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT));
    const WString later = table.text(MSG_PROPERTIES_INVALID);
    SetThreadLocale(previous);
    EXPECT_EQ(later, english);
}

TEST(SystemErrorText, TextsOfTheSystem)
{
    const WString success = systemErrorText(0);
    ASSERT_GE(success.size(), 2u);
    EXPECT_EQ(success.substr(success.size() - 2), L"\r\n");
    EXPECT_NE(systemErrorText(ERROR_FILE_NOT_FOUND), success);
    EXPECT_EQ(systemErrorText(0xDEADBEEF), L"");  // no such code

    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(lastErrorText(), systemErrorText(ERROR_FILE_NOT_FOUND));
}
