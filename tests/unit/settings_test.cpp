#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "base/errors.h"
#include "settings/environment.h"
#include "settings/properties.h"
#include "settings/settings.h"
#include "support/settings_fixtures.h"
#include "support/test_files.h"

using namespace qel;

namespace {

WString yesNo(bool value)
{
    return value ? L"true" : L"false";
}

// Every key with its default, and what its accessor reads when the key is absent
// and when it holds a text that tells the types apart: a byte size takes the
// unit, the integer stops at it, the switches take "on".
struct KeyRow {
    const SettingKey& key;
    const wchar_t* name;
    const wchar_t* defaultText;
    std::function<WString(const PropertyTable&)> read;
    const wchar_t* readAbsent;
    const wchar_t* stored;
    const wchar_t* readStored;
};

const KeyRow kKeys[] = {
    {keys::currentVm, L"qel.nl.current.vm", L"", currentVm, L"", L"C:\\jdk\\bin\\java.exe", L"C:\\jdk\\bin\\java.exe"},
    {keys::validVmList, L"qel.nl.valid.vm.list", L"", validVmList, L"", L"JRE_J2 JDK_J2", L"JRE_J2 JDK_J2"},
    {keys::mainClass, L"qel.nl.java.launcher.main.class", L"", mainClass, L"", L"com.example.Main",
     L"com.example.Main"},
    {keys::classPath, L"qel.class.path", L"", [](auto& t) { return classPath(t, L"unused"); }, L"",
     L"lib\\a.jar;lib\\b.jar", L"lib\\a.jar;lib\\b.jar"},
    {keys::userDir, L"qel.user.dir", L"", userDir, L"", L"work", L"work"},
    {keys::applicationName, L"qel.application.name", L"Ravelin", applicationName, L"Ravelin", L"Tool", L"Tool"},
    {keys::stdoutRedirect, L"qel.stdout.redirect", L"", stdoutRedirect, L"", L"console", L"console"},
    {keys::stderrRedirect, L"qel.stderr.redirect", L"", stderrRedirect, L"", L"Console", L"Console"},
    {keys::verifyMode, L"qel.nl.java.option.verify.mode", L"", [](auto& t) { return yesNo(verifyMode(t)); }, L"false",
     L"on", L"true"},
    {keys::verbose, L"qel.nl.java.option.verbose", L"", verbose, L"", L"gc", L"gc"},
    {keys::gcExtent, L"qel.nl.java.option.garbage.collection.extent", L"", gcExtent, L"", L"x", L"x"},
    {keys::gcBackgroundThread, L"qel.nl.java.option.garbage.collection.background.thread", L"",
     [](auto& t) { return yesNo(gcBackgroundThread(t)); }, L"false", L"on", L"true"},
    {keys::debugging, L"qel.nl.java.option.debugging", L"", [](auto& t) { return yesNo(debugging(t)); }, L"false",
     L"on", L"true"},
    {keys::compiler, L"qel.nl.java.option.compiler", L"", [](auto& t) { return yesNo(compiler(t)); }, L"false", L"on",
     L"true"},
    {keys::additionalOptions, L"qel.nl.java.option.additional", L"", additionalOptions, L"", L"-Dx=1 -Dy=2",
     L"-Dx=1 -Dy=2"},
    {keys::heapInitial, L"qel.nl.java.option.java.heap.size.initial", L"0",
     [](auto& t) { return std::to_wstring(heapInitial(t)); }, L"0", L"2k", L"2048"},
    {keys::heapMax, L"qel.nl.java.option.java.heap.size.max", L"0", [](auto& t) { return std::to_wstring(heapMax(t)); },
     L"0", L"3m", L"3145728"},
    {keys::consolePause, L"qel.win32.console.pause", L"", [](auto& t) { return yesNo(consolePause(t)); }, L"false",
     L"on", L"true"},
    {keys::msvmMinVersion, L"qel.nl.win32.microsoftvm.min.version", L"0",
     [](auto& t) { return std::to_wstring(msvmMinVersion(t)); }, L"0", L"3167abc", L"3167"},
    {keys::serviceLogDirectory, L"qel.service.log.directory", L"", serviceLogDirectory, L"", L"logs", L"logs"},
    {keys::serviceLogSize, L"qel.service.log.size", L"10m",
     [](auto& t) { return std::to_wstring(serviceLogSize(t).value_or(-1)); }, L"10485760", L"64K", L"65536"},
    {keys::serviceLogKeep, L"qel.service.log.keep", L"5",
     [](auto& t) { return std::to_wstring(serviceLogKeep(t).value_or(-1)); }, L"5", L"12", L"12"},
};

}  // namespace

TEST(Settings, KeysDefaultsAndAccessors)
{
    const PropertyTable absent;
    for (const auto& row : kKeys) {
        SCOPED_TRACE(test::narrow(row.name));
        EXPECT_EQ(std::wstring_view(row.key.name), row.name);
        EXPECT_EQ(setting(absent, row.key), row.defaultText);
        EXPECT_EQ(row.read(absent), row.readAbsent);

        // Present but empty gives the empty text, not the default.
        PropertyTable empty;
        empty.set(row.name, L"");
        EXPECT_EQ(setting(empty, row.key), L"");

        PropertyTable stored;
        stored.set(row.name, row.stored);
        EXPECT_EQ(row.read(stored), row.readStored);

        // A key in another letter case is another key.
        PropertyTable otherCase;
        otherCase.set(L"Q" + WString(row.name + 1), row.stored);
        EXPECT_EQ(row.read(otherCase), row.readAbsent);
    }
    PropertyTable emptyName;
    emptyName.set(L"qel.application.name", L"");
    EXPECT_EQ(applicationName(emptyName), L"");
}

// The service logs' size and count of older files: digits (a size with an
// optional k, m or g), blanks around aside; empty or a size of 0 is the
// default; anything else is refused (none), and so is a count beyond 999.
TEST(Settings, ServiceLogSizeAndKeep)
{
    const struct {
        const wchar_t* size;
        std::optional<std::int64_t> readSize;
    } kSizes[] = {{L"1", 1},
                  {L"2m", 2097152},
                  {L"2G", 2147483648},
                  {L"0", 10485760},
                  {L"", 10485760},
                  {L" 5k ", 5120},
                  {L"99999999999999999999g", 9223372036854775807},
                  {L"-5k", std::nullopt},
                  {L"x", std::nullopt},
                  {L"10MB", std::nullopt},
                  {L"2kb", std::nullopt},
                  {L"10x", std::nullopt},
                  {L"k", std::nullopt},
                  {L"1.5m", std::nullopt},
                  {L"+5", std::nullopt},
                  {L"5 k", std::nullopt}};
    for (const auto& row : kSizes) {
        PropertyTable table;
        table.set(L"qel.service.log.size", row.size);
        EXPECT_EQ(serviceLogSize(table), row.readSize) << test::narrow(row.size);
        EXPECT_EQ(refusedServiceLogKey(table).has_value(), !row.readSize.has_value()) << test::narrow(row.size);
    }
    const struct {
        const wchar_t* keep;
        std::optional<std::int32_t> readKeep;
    } kKeeps[] = {{L"0", 0},           {L"1", 1},           {L"999", 999},        {L"007", 7},
                  {L"", 5},            {L" 3\t", 3},        {L"1000", std::nullopt}, {L"-1", std::nullopt},
                  {L"abc", std::nullopt}, {L"12x", std::nullopt}, {L"99999999999", std::nullopt}};
    for (const auto& row : kKeeps) {
        PropertyTable table;
        table.set(L"qel.service.log.keep", row.keep);
        EXPECT_EQ(serviceLogKeep(table), row.readKeep) << test::narrow(row.keep);
        EXPECT_EQ(refusedServiceLogKey(table), row.readKeep ? std::nullopt : std::optional<WString>(L"qel.service.log.keep"))
            << test::narrow(row.keep);
    }
}

TEST(Settings, TheTwoSwitchRules)
{
    struct Row {
        const wchar_t* text;
        bool isSwitch;
        bool isPause;
    };
    const Row rows[] = {
        {L"On", true, true},    {L"T", true, false},    {L"TRUE", true, true},     {L"true", true, true},
        {L"t", true, false},    {L"yes", false, true},  {L"Yes", false, true},     {L"YES", false, true},
        {L"1", false, false},   {L"", false, false},    {L"y", false, false},      {L"off", false, false},
        {L"tru", false, false}, {L"on ", false, false}, {L"\u0130", false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(test::narrow(row.text));
        EXPECT_EQ(parseSwitch(row.text), row.isSwitch);
        PropertyTable table;
        table.set(L"qel.win32.console.pause", row.text);
        EXPECT_EQ(consolePause(table), row.isPause);
        table.set(L"qel.nl.java.option.debugging", row.text);
        EXPECT_EQ(debugging(table), row.isSwitch);
    }
}

TEST(Settings, ByteSizes)
{
    // Sizes of 2 GiB and more keep their full count (they are not wrapped around
    // in 32 bits).
    const std::pair<const wchar_t*, std::int64_t> rows[] = {
        {L"64m", 67108864},
        {L"512K", 524288},
        {L"1000", 1000},
        {L"1g", 1},
        {L"m", 0},
        {L"-1m", -1048576},
        {L"4096m", 4294967296LL},
        {L"2048m", 2147483648LL},
        {L"", 0},
        {L" 12k", 12288},
        {L"+5", 5},
        {L"12 k", 12288},
        {L"k", 0},
        {L"5km", 5242880},
        {L"0x10", 0},
        {L"4194304k", 4294967296LL},
        {L"3000000000", 3000000000LL},
        {L"1.5M", 1048576},
        {L"12kb", 12},
        // Beyond 64 bits the count stays at the limit on its side instead of wrapping.
        {L"9223372036854775807", INT64_MAX},
        {L"9223372036854775808", INT64_MAX},
        {L"18446744073709551617", INT64_MAX},
        {L"-9223372036854775808", INT64_MIN},
        {L"9007199254740992k", INT64_MAX},
        {L"-9007199254740993k", INT64_MIN},
        {L"-99999999999999999999m", INT64_MIN},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(parseByteSize(text), expected) << test::narrow(text);
    }
}

TEST(Settings, DecimalParseWrapsAround)
{
    const std::pair<const wchar_t*, std::int32_t> rows[] = {
        {L"3167abc", 3167},
        {L"abc", 0},
        {L"", 0},
        {L"  -42", -42},
        {L"\t\r\n+7", 7},
        {L"--1", 0},
        {L"- 5", 0},
        {L"2147483647", INT32_MAX},
        {L"2147483648", INT32_MIN},
        {L"4294967297", 1},
        {L"-2147483648", INT32_MIN},
        {L"007", 7},
        {L"1.5", 1},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(parseDecimal(text), expected) << test::narrow(text);
    }
    PropertyTable table;
    table.set(L"qel.nl.win32.microsoftvm.min.version", L"3167abc");
    EXPECT_EQ(msvmMinVersion(table), 3167);
}

TEST(Settings, ClassPathMarker)
{
    struct Row {
        const wchar_t* stored;
        const wchar_t* variable;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"lib\\a.jar;$ENV_CLASSPATH$;lib\\b.jar", L"C:\\x;C:\\y", L"lib\\a.jar;C:\\x;C:\\y;lib\\b.jar"},
        {L"lib\\a.jar;$ENV_CLASSPATH$;lib\\b.jar", L"", L"lib\\a.jar;;lib\\b.jar"},
        {L"$ENV_CLASSPATH$", L"", L""},
        {L"$ENV_CLASSPATH$;$ENV_CLASSPATH$", L"v", L"v;$ENV_CLASSPATH$"},  // the first marker only
        {L"$ENV_CLASSPATH$", L"$ENV_CLASSPATH$;x", L"$ENV_CLASSPATH$;x"},  // inserted text is not searched
        {L"a;$env_classpath$", L"v", L"a;$env_classpath$"},  // exact case only
        {L"$ENV_CLASSPATH", L"v", L"$ENV_CLASSPATH"},
        {L"$$ENV_CLASSPATH$$", L"v", L"$v$"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(substituteClassPath(row.stored, row.variable), row.expected) << test::narrow(row.stored);
    }
}

// The marker takes the CLASSPATH variable as the environment gives it, with its
// references expanded.
TEST(Settings, ClassPathMarkerTakesTheExpandedVariable)
{
    const test::ScopedVariable base(L"QEL_TEST_BASE", WString(L"C:\\base"));
    const WString block = L"CLASSPATH=%QEL_TEST_BASE%\\lib;%QEL_TEST_UNDEFINED%" + WString(2, L'\0');
    const Environment environment = Environment::fromBlock(block.c_str(), expandEnvironmentReferences);
    PropertyTable table;
    table.set(L"qel.class.path", L"a.jar;$ENV_CLASSPATH$;$ENV_CLASSPATH$");
    EXPECT_EQ(classPath(table, environment.expandedValue(L"CLASSPATH")),
              L"a.jar;C:\\base\\lib;%QEL_TEST_UNDEFINED%;$ENV_CLASSPATH$");
    EXPECT_EQ(classPath(table, L""), L"a.jar;;$ENV_CLASSPATH$");
}
