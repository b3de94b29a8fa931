#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "service/service_command.h"
#include "settings/properties.h"
#include "settings/settings.h"
#include "support/shared_cases.h"

using namespace qel;

// The key table that the settings reference page and the packager's check are held to
// (tests/cases/settings_keys.txt) lists the launcher's keys, in the order of
// keys::all and with their defaults, and nothing else the launcher reads.
TEST(SettingsKeyTable, ListsEveryKeyOfTheLauncherWithItsDefault)
{
    const auto cases = test::readSharedCases("settings_keys.txt");
    ASSERT_EQ(cases.size(), 1u);
    std::vector<WString> tableKeys;
    std::map<WString, WString> tableDefaults;
    for (const auto& row : cases[0].all("key")) {
        ASSERT_EQ(row.size(), 4u) << toUtf8(row[0]);
        if (row[3] == L"launcher") {
            tableKeys.push_back(row[0]);
            tableDefaults[row[0]] = row[2];
        } else {
            EXPECT_EQ(row[3], L"java") << toUtf8(row[0]);
        }
    }
    std::vector<WString> launcherKeys;
    for (const SettingKey& key : keys::all) {
        launcherKeys.emplace_back(key.name);
        EXPECT_EQ(tableDefaults[key.name], key.defaultValue) << toUtf8(key.name);
    }
    EXPECT_EQ(tableKeys, launcherKeys);
}

namespace {

WString trueFalse(bool value)
{
    return value ? L"true" : L"false";
}

WString startName(std::wstring_view text)
{
    const auto start = parseServiceStart(text);
    if (!start) {
        return L"refused";
    }
    switch (*start) {
    case ServiceStart::Auto:
        return L"auto";
    case ServiceStart::Delayed:
        return L"delayed";
    case ServiceStart::Demand:
        break;
    }
    return L"demand";
}

// The service's name of the shared cases: the packager's check, which runs them
// too, does not know the name a service is installed under.
constexpr std::wstring_view kCaseServiceName = L"Shop";

WString accountName(std::wstring_view text)
{
    const auto account = parseServiceAccount(text, kCaseServiceName);
    if (!account) {
        return L"refused";
    }
    return account->startName.empty() ? L"LocalSystem" : account->startName;
}

WString dependencyList(std::wstring_view text)
{
    const auto dependencies = parseServiceDependencies(text, kCaseServiceName);
    if (!dependencies) {
        return L"refused";
    }
    WString list;
    for (const WString& name : *dependencies) {
        list += (list.empty() ? L"" : L";") + name;
    }
    return list.empty() ? L"none" : list;
}

// What the launcher makes of each typed key's value, in the words of
// tests/cases/setting_values.txt.
const std::map<WString, std::function<WString(const PropertyTable&)>>& readers()
{
    static const std::map<WString, std::function<WString(const PropertyTable&)>> kReaders = {
        {keys::heapInitial.name, [](const PropertyTable& t) { return std::to_wstring(heapInitial(t)); }},
        {keys::heapMax.name, [](const PropertyTable& t) { return std::to_wstring(heapMax(t)); }},
        {keys::singleInstance.name, [](const PropertyTable& t) { return trueFalse(singleInstance(t)); }},
        {keys::debugging.name, [](const PropertyTable& t) { return trueFalse(debugging(t)); }},
        {keys::consolePause.name, [](const PropertyTable& t) { return trueFalse(consolePause(t)); }},
        {keys::serviceRestartDelay.name,
         [](const PropertyTable& t) {
             const auto delayMs = serviceRestartDelayMs(t);
             return delayMs ? std::to_wstring(*delayMs) : WString(L"refused");
         }},
        {keys::serviceLogSize.name,
         [](const PropertyTable& t) {
             const auto size = serviceLogSize(t);
             return size ? std::to_wstring(*size) : WString(L"refused");
         }},
        {keys::serviceLogKeep.name,
         [](const PropertyTable& t) {
             const auto keep = serviceLogKeep(t);
             return keep ? std::to_wstring(*keep) : WString(L"refused");
         }},
        {keys::serviceStopTimeout.name, [](const PropertyTable& t) { return std::to_wstring(serviceStopTimeoutMs(t)); }},
        {keys::msvmMinVersion.name, [](const PropertyTable& t) { return std::to_wstring(msvmMinVersion(t)); }},
        {keys::serviceStart.name, [](const PropertyTable& t) { return startName(setting(t, keys::serviceStart)); }},
        {keys::serviceAccount.name, [](const PropertyTable& t) { return accountName(setting(t, keys::serviceAccount)); }},
        {keys::serviceDependencies.name,
         [](const PropertyTable& t) { return dependencyList(setting(t, keys::serviceDependencies)); }},
        {keys::vmDownloadUrl.name,
         [](const PropertyTable& t) { return WString(vmDownloadUrlAcceptable(t) ? L"accepted" : L"refused"); }},
    };
    return kReaders;
}

}  // namespace

// The cases the packager's settings check runs too: what the launcher reads
// from sizes, switches, seconds, integers, the service's start and the download
// page.
TEST(SettingValues, SharedCases)
{
    const auto cases = test::readSharedCases("setting_values.txt");
    ASSERT_GT(cases.size(), 40u);
    for (const auto& c : cases) {
        const WString key = c.one("key");
        const auto reader = readers().find(key);
        ASSERT_NE(reader, readers().end()) << c.name << ": no reader for " << toUtf8(key);
        PropertyTable table;
        table.set(key, c.one("value"));
        EXPECT_EQ(toUtf8(reader->second(table)), toUtf8(c.one("read"))) << c.name;
    }
}

// The files the packager writes for its entries (SettingsFileTest runs the same
// cases): the launcher reads each back to exactly those entries.
TEST(WrittenSettings, ReadBackToTheirEntries)
{
    const auto cases = test::readSharedCases("properties_written.txt");
    ASSERT_GT(cases.size(), 5u);
    for (const auto& c : cases) {
        PropertyTable expected;
        for (const auto& entry : c.all("entry")) {
            expected.set(entry.at(0), entry.at(1));
        }
        PropertyTable read;
        parseProperties(read, test::bytesOf(c.one("bytes")));
        EXPECT_EQ(read.entries(), expected.entries()) << c.name;
    }
}
