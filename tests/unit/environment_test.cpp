#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <vector>

#include "settings/environment.h"
#include "support/settings_fixtures.h"
#include "support/test_files.h"

using namespace qel;
using namespace std::string_view_literals;

namespace {

using Variables = std::map<WString, WString, std::less<>>;

// An environment block from its entries: each ended by a NUL, the whole by one more.
Environment snapshotOf(std::initializer_list<std::wstring_view> entries)
{
    WString block;
    for (const auto entry : entries) {
        block += entry;
        block += L'\0';
    }
    block += L'\0';
    return Environment::fromBlock(block.c_str(), expandEnvironmentReferences);
}

}  // namespace

TEST(Environment, SnapshotFromABlock)
{
    const Environment environment = snapshotOf({
        L"=C:=C:\\first",
        L"Path=C:\\a;C:\\b",
        L"JAVA_OPTS=-Da=b -Dc=d",
        L"=D:=D:\\second",
        L"Temp=one",
        L"Temp=two",
        L"TEMP=upper",
        L"EMPTY=",
    });
    EXPECT_EQ(environment.variables(), (Variables{
                                           {L"", L"D:=D:\\second"},  // the per-drive entries: the last one remains
                                           {L"EMPTY", L""},
                                           {L"JAVA_OPTS", L"-Da=b -Dc=d"},
                                           {L"Path", L"C:\\a;C:\\b"},
                                           {L"TEMP", L"upper"},
                                           {L"Temp", L"two"},
                                       }));
    // Names are ordered by code unit: upper case before lower case.
    std::vector<WString> names;
    for (const auto& [name, value] : environment.variables())
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<WString>{L"", L"EMPTY", L"JAVA_OPTS", L"Path", L"TEMP", L"Temp"}));

    EXPECT_TRUE(snapshotOf({}).variables().empty());
}

TEST(Environment, ExpandedValues)
{
    const auto systemRoot = test::environmentVariable(L"SystemRoot");
    ASSERT_TRUE(systemRoot.has_value());
    const Environment environment = snapshotOf({
        L"JAVA=%SystemRoot%\\java",
        L"RAW=%QEL_TEST_NOT_DEFINED%\\x",
        L"PERCENT=100%",
        L"lower=value",
    });
    EXPECT_EQ(environment.expandedValue(L"JAVA"), *systemRoot + L"\\java");
    EXPECT_EQ(environment.expandedValue(L"RAW"), L"%QEL_TEST_NOT_DEFINED%\\x");
    EXPECT_EQ(environment.expandedValue(L"PERCENT"), L"100%");
    EXPECT_EQ(environment.expandedValue(L"lower"), L"value");
    EXPECT_EQ(environment.expandedValue(L"UNKNOWN"), L"");
}

// Names are found as Windows finds them, without regard to case: the exact name
// when the snapshot holds it, else the first name in the snapshot's order that
// matches once lower-cased.
TEST(Environment, NamesIgnoreCase)
{
    const auto systemRoot = test::environmentVariable(L"SystemRoot");
    ASSERT_TRUE(systemRoot.has_value());
    struct Row {
        const char* rule;
        std::vector<std::wstring_view> block;
        const wchar_t* name;
        WString value;
    };
    const Row rows[] = {
        {"a lower-case name", {L"classpath=C:\\lib\\x.jar"}, L"CLASSPATH", L"C:\\lib\\x.jar"},
        {"a mixed-case name", {L"ClassPath=C:\\lib\\x.jar"}, L"CLASSPATH", L"C:\\lib\\x.jar"},
        {"the exact name first", {L"ClassPath=mixed", L"classpath=lower", L"CLASSPATH=upper"}, L"classpath", L"lower"},
        {"else the first in code-unit order", {L"classpath=lower", L"ClassPath=mixed"}, L"CLASSPATH", L"mixed"},
        {"expanded all the same", {L"classpath=%SystemRoot%\\lib"}, L"CLASSPATH", *systemRoot + L"\\lib"},
        {"only the whole name", {L"CLASSPATHX=x", L"xclasspath=y"}, L"CLASSPATH", L""},
        {"an empty value is a value", {L"classpath=", L"CLASSPATHX=x"}, L"CLASSPATH", L""},
    };
    for (const auto& row : rows) {
        WString block;
        for (const auto entry : row.block) {
            block += entry;
            block += L'\0';
        }
        block += L'\0';
        const Environment environment = Environment::fromBlock(block.c_str(), expandEnvironmentReferences);
        EXPECT_EQ(environment.expandedValue(row.name), row.value) << row.rule;
        // The names themselves stay as the block spells them.
        EXPECT_EQ(environment.variables().size(), row.block.size()) << row.rule;
    }
}

// The first 2048 units of expansion are no limit: the whole value comes back.
TEST(Environment, LongExpansionsAreNotCut)
{
    for (const std::size_t length : {2046u, 2047u, 2048u, 2049u, 5000u}) {
        WString value;
        for (std::size_t i = 0; i < length; ++i) {
            value += static_cast<wchar_t>(L'a' + i % 26);
        }
        const Environment literal = snapshotOf({L"LONG=" + value});
        EXPECT_EQ(literal.expandedValue(L"LONG"), value) << length;

        // A short value whose expansion is long.
        const test::ScopedVariable long_(L"QEL_TEST_LONG", value);
        const Environment reference = snapshotOf({L"REF=<%QEL_TEST_LONG%>"});
        EXPECT_EQ(reference.expandedValue(L"REF"), L"<" + value + L">") << length;
    }

    // Beyond what the system can expand (32,767 units) the value stays as written
    // instead of coming back cut.
    const test::ScopedVariable big(L"QEL_TEST_BIG", WString(20000, L'b'));
    const Environment twice = snapshotOf({L"TWICE=%QEL_TEST_BIG%;%QEL_TEST_BIG%", L"ONCE=%QEL_TEST_BIG%;x"});
    EXPECT_EQ(twice.expandedValue(L"TWICE"), L"%QEL_TEST_BIG%;%QEL_TEST_BIG%");
    EXPECT_EQ(twice.expandedValue(L"ONCE"), WString(20000, L'b') + L";x");
}

TEST(Environment, PathEntries)
{
    struct Row {
        const char* rule;
        std::vector<std::wstring_view> block;
        std::vector<WString> entries;
    };
    const Row rows[] = {
        {"entries in order, kept exactly", {L"Path=C:\\a; C:\\b \\;C:/c"}, {L"C:\\a", L" C:\\b \\", L"C:/c"}},
        {"no empty entry between two semicolons", {L"PATH=C:\\a;;C:\\b"}, {L"C:\\a", L"C:\\b"}},
        {"no empty last entry", {L"PATH=C:\\a;"}, {L"C:\\a"}},
        {"a leading semicolon stays with the first entry", {L"PATH=;C:\\a;C:\\b"}, {L";C:\\a", L"C:\\b"}},
        {"the first name in map order that lower-cases to path",
         {L"path=lower", L"Path=mixed", L"PATH=upper"},
         {L"upper"}},
        {"the first name in map order that lower-cases to path", {L"path=lower", L"Path=mixed"}, {L"mixed"}},
        {"no path variable", {L"PATHEXT=.EXE", L"XPATH=C:\\x"}, {}},
        {"an empty path variable", {L"Path="}, {}},
        {"a directory in double quotes, as cmd takes it",
         {L"Path=\"C:\\Program Files\\Java\\jdk-21\\bin\";C:\\b;\"C:\\c\""},
         {L"C:\\Program Files\\Java\\jdk-21\\bin", L"C:\\b", L"C:\\c"}},
        {"quotes around part of an entry stay", {L"Path=C:\\\"a b\"\\bin;\"C:\\c;C:\\d\" "},
         {L"C:\\\"a b\"\\bin", L"\"C:\\c", L"C:\\d\" "}},
        {"a pair of quotes alone is no entry, one quote alone stays", {L"Path=\"\";\";C:\\a"}, {L"\"", L"C:\\a"}},
    };
    for (const auto& row : rows) {
        WString block;
        for (const auto entry : row.block) {
            block += entry;
            block += L'\0';
        }
        block += L'\0';
        EXPECT_EQ(Environment::fromBlock(block.c_str()).pathEntries(), row.entries) << row.rule;
    }

    const auto systemRoot = test::environmentVariable(L"SystemRoot");
    ASSERT_TRUE(systemRoot.has_value());
    EXPECT_EQ(snapshotOf({L"Path=%SystemRoot%\\bin;D:\\x"}).pathEntries(),
              (std::vector<WString>{*systemRoot + L"\\bin", L"D:\\x"}));
}

// A run's snapshot keeps the environment it was taken from: later changes of
// the process environment do not reach it, and a new snapshot sees them.
TEST(Environment, ASnapshotIsNotRefreshed)
{
    const Environment snapshot = Environment::ofProcess();
    const Environment::Variables taken = snapshot.variables();
    ASSERT_FALSE(taken.empty());
    const WString existing = taken.rbegin()->first;

    const test::ScopedVariable added(L"QEL_TEST_ADDED_LATER", WString(L"new"));
    const test::ScopedVariable changed(existing, WString(L"changed later"));

    EXPECT_EQ(snapshot.variables(), taken);
    EXPECT_EQ(snapshot.expandedValue(L"QEL_TEST_ADDED_LATER"), L"");
    const Environment now = Environment::ofProcess();
    EXPECT_EQ(now.expandedValue(L"QEL_TEST_ADDED_LATER"), L"new");
    EXPECT_EQ(now.expandedValue(existing), L"changed later");
}
