#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "base/errors.h"
#include "base/messages.h"
#include "javasoft_fixture.h"
#include "support/failures.h"
#include "support/test_files.h"
#include "vm/registry_key.h"

using namespace qel;
using namespace qel::test;

namespace {

using RegistryKeyTest = JavaSoftRegistry;

const WString kScratch = kScratchKey;

// The KeyException a call throws; fails the test when it throws none.
template <typename Call> KeyException keyFailure(Call call)
{
    return test::thrownBy<KeyException>(call).value_or(KeyException(L"", L""));
}

}  // namespace

TEST_F(RegistryKeyTest, OpensKeysOfEitherView)
{
    for (const RegistryView view : {RegistryView::Native, RegistryView::Wow32}) {
        removeJavaSoftKeys();
        setRegistryString(kScratch, L"JavaHome", view == RegistryView::Native ? L"native" : L"wow32", REG_SZ, view);
        const RegistryKey key(HKEY_LOCAL_MACHINE, kScratch);
        EXPECT_TRUE(key.isOpen());
        EXPECT_EQ(key.path(), kScratch);
        EXPECT_EQ(key.stringValue(L"JavaHome"), view == RegistryView::Native ? L"native" : L"wow32");
    }
}

TEST_F(RegistryKeyTest, MissingKeyThrowsTheSystemTextWithThePath)
{
    const KeyException failure = keyFailure([] { RegistryKey(HKEY_LOCAL_MACHINE, kScratch + L"\\absent"); });
    EXPECT_EQ(failure.name, kScratch + L"\\absent");
    EXPECT_EQ(failure.message, systemErrorText(ERROR_FILE_NOT_FOUND)) << narrow(failure.message);
    EXPECT_FALSE(failure.message.empty());
}

TEST_F(RegistryKeyTest, ReadsStringValuesWithNullsDropped)
{
    struct Case {
        const char* what;
        WString stored;
        DWORD type;
        WString read;
    };
    const Case cases[] = {
        {"plain string", L"C:\\Program Files\\Java\\jre", REG_SZ, L"C:\\Program Files\\Java\\jre"},
        {"empty string", L"", REG_SZ, L""},
        {"expandable, not expanded", L"%SystemRoot%\\java", REG_EXPAND_SZ, L"%SystemRoot%\\java"},
        {"several strings, run together",
         WString(L"1.4\0"
                 L"2\0",
                 6),
         REG_MULTI_SZ, L"1.42"},
        {"a null inside a string", WString(L"ab\0cd", 5), REG_SZ, L"abcd"},
        {"255 units, 512 bytes with the null", WString(255, L'x'), REG_SZ, WString(255, L'x')},
        {"non-ASCII", L"C:\\Programme\\J\u00E4va \u30C6", REG_SZ, L"C:\\Programme\\J\u00E4va \u30C6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setRegistryString(kScratch, L"value", c.stored, c.type);
        const RegistryKey key(HKEY_LOCAL_MACHINE, kScratch);
        EXPECT_EQ(key.stringValue(L"value"), c.read);
    }
}

TEST_F(RegistryKeyTest, ValueFailuresNameTheKey)
{
    setRegistryString(kScratch, L"long", WString(256, L'x'));  // 514 bytes with the null
    setRegistryString(kScratch, L"huge", WString(16000, L'y'));
    setRegistryDword(kScratch, L"number", 2);
    setRegistryString(kScratch, L"binary", L"ab", REG_BINARY);
    const RegistryKey key(HKEY_LOCAL_MACHINE, kScratch);

    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"absent", L"key query failed"},   {L"long", L"key query failed"},     {L"huge", L"key query failed"},
        {L"number", L"value not a string"}, {L"binary", L"value not a string"},
    };
    for (const auto& [value, message] : cases) {
        const KeyException failure = keyFailure([&] { key.stringValue(value); });
        EXPECT_EQ(failure.message, message) << narrow(value);
        EXPECT_EQ(failure.name, kScratch) << narrow(value);
    }
}

TEST_F(RegistryKeyTest, ClosedKeyIsNotOpen)
{
    setRegistryString(kScratch, L"JavaHome", L"x");
    RegistryKey key(HKEY_LOCAL_MACHINE, kScratch);
    key.close();
    key.close();  // closing twice does nothing
    EXPECT_FALSE(key.isOpen());
    for (const KeyException& failure :
         {keyFailure([&] { key.stringValue(L"JavaHome"); }), keyFailure([&] { key.subkeyNames(); })}) {
        EXPECT_EQ(failure.message, L"key not open");
        EXPECT_EQ(failure.name, L"");
    }
}

TEST_F(RegistryKeyTest, ReopeningReplacesTheKey)
{
    setRegistryString(kScratch + L"\\a", L"v", L"first");
    setRegistryString(kScratch + L"\\b", L"v", L"second");
    RegistryKey key(HKEY_LOCAL_MACHINE, kScratch + L"\\a");
    key.open(HKEY_LOCAL_MACHINE, kScratch + L"\\b");
    EXPECT_EQ(key.stringValue(L"v"), L"second");
    // A failed open leaves the key closed.
    keyFailure([&] { key.open(HKEY_LOCAL_MACHINE, kScratch + L"\\c"); });
    EXPECT_FALSE(key.isOpen());
}

TEST_F(RegistryKeyTest, ListsSubkeysAndOpensChildren)
{
    const WString longName(255, L'n');
    for (const WString& name : {WString(L"1.4"), WString(L"1.4.2_05"), WString(L"1.3"), longName}) {
        setRegistryString(kScratch + L"\\" + name, L"JavaHome", L"home of " + name.substr(0, 10));
    }
    createRegistryKey(kScratch + L"\\1.3\\grandchild");
    const RegistryKey key(HKEY_LOCAL_MACHINE, kScratch);
    std::vector<WString> names = key.subkeyNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<WString>{L"1.3", L"1.4", L"1.4.2_05", longName}));

    const RegistryKey child = key.child(longName);
    EXPECT_EQ(child.path(), kScratch + L"\\" + longName);
    EXPECT_EQ(child.stringValue(L"JavaHome"), L"home of " + longName.substr(0, 10));

    const KeyException failure = keyFailure([&] { key.child(L"1.5"); });
    EXPECT_EQ(failure.name, kScratch + L"\\1.5");
    EXPECT_EQ(failure.message, systemErrorText(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryKeyTest, KeyWithoutSubkeysListsNothing)
{
    setRegistryString(kScratch, L"JavaHome", L"x");
    EXPECT_TRUE(RegistryKey(HKEY_LOCAL_MACHINE, kScratch).subkeyNames().empty());
}

TEST_F(RegistryKeyTest, ListingAKeyDeletedMeanwhileEnds)
{
    setRegistryString(kScratch + L"\\1.4", L"JavaHome", L"x");
    const RegistryKey key(HKEY_LOCAL_MACHINE, kScratch);
    removeJavaSoftKeys();
    EXPECT_TRUE(key.subkeyNames().empty());
}
