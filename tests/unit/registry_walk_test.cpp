// The VM search's walks over the registry, on invented registries: which keys
// and values name an installation, in which order, and what a report lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "vm/install_keys.h"
#include "vm/inventory.h"
#include "vm/javasoft.h"

using namespace qel;

namespace {

constexpr RegistryPlace kMachine32{RegistryRoot::LocalMachine, RegistryBits::Bits32};
constexpr RegistryPlace kMachine64{RegistryRoot::LocalMachine, RegistryBits::Bits64};
constexpr RegistryPlace kUser{RegistryRoot::CurrentUser, std::nullopt};

// A registry of keys with string values, each key in one place; a key's
// subkeys are the keys one level below it, in the order they were added.
class InventedRegistry {
public:
    void set(const RegistryPlace& place, const WString& keyPath, const WString& name, const WString& value)
    {
        values_[{id(place), keyPath, name}] = value;
        // Every key on the way exists, and lists its child once.
        WString path = keyPath;
        for (auto slash = path.rfind(L'\\'); slash != WString::npos; slash = path.rfind(L'\\')) {
            const WString parent = path.substr(0, slash);
            auto& children = subkeys_[{id(place), parent}];
            const WString child = path.substr(slash + 1);
            if (std::find(children.begin(), children.end(), child) == children.end()) {
                children.push_back(child);
            }
            path = parent;
        }
        subkeys_[{id(place), keyPath}];
    }

    RegistryProbe probe() const
    {
        return RegistryProbe{
            [this](const RegistryPlace& place, const WString& keyPath) -> std::optional<std::vector<WString>> {
                asked_.push_back(keyPath);
                const auto found = subkeys_.find({id(place), keyPath});
                if (found == subkeys_.end()) {
                    return std::nullopt;
                }
                return found->second;
            },
            [this](const RegistryPlace& place, const WString& keyPath, const WString& name) -> std::optional<WString> {
                asked_.push_back(keyPath);
                const auto found = values_.find({id(place), keyPath, name});
                if (found == values_.end()) {
                    return std::nullopt;
                }
                return found->second;
            },
            [this](const RegistryPlace& place, const WString& keyPath) { return exists(place, keyPath); },
        };
    }

    bool exists(const RegistryPlace& place, const WString& keyPath) const
    {
        return subkeys_.count({id(place), keyPath}) > 0;
    }

    // The keys whose subkeys or values a walk asked for, in order.
    const std::vector<WString>& asked() const { return asked_; }

private:
    static int id(const RegistryPlace& place)
    {
        return place.anyView ? 9
                             : static_cast<int>(place.root) * 3 + (place.view ? static_cast<int>(*place.view) + 1 : 0);
    }

    std::map<std::pair<int, WString>, std::vector<WString>> subkeys_;
    std::map<std::tuple<int, WString, WString>, WString> values_;
    mutable std::vector<WString> asked_;
};

std::vector<std::pair<WString, WString>> homesAndSources(const std::vector<InstalledHome>& homes)
{
    std::vector<std::pair<WString, WString>> pairs;
    for (const auto& home : homes) {
        pairs.emplace_back(home.home, home.source);
    }
    return pairs;
}

}  // namespace

TEST(RegistryWalk, EachLayoutNamesItsHomesInEachPlace)
{
    struct Case {
        RegistryPlace place;
        const wchar_t* key;
        const wchar_t* value;
        const wchar_t* source;  // nullptr: the key names no installation
    };
    const Case cases[] = {
        {kMachine64, L"SOFTWARE\\JavaSoft\\JDK\\17", L"JavaHome",
         L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\17 (64-bit view)"},
        {kMachine32, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8", L"JavaHome",
         L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8 (32-bit view)"},
        {kMachine64, L"SOFTWARE\\Eclipse Adoptium\\JRE\\21.0.4.7\\hotspot\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JRE\\21.0.4.7\\hotspot\\MSI (64-bit view)"},
        {kMachine32, L"SOFTWARE\\AdoptOpenJDK\\JDK\\8.0.202.08\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\AdoptOpenJDK\\JDK\\8.0.202.08\\MSI (32-bit view)"},
        {kUser, L"SOFTWARE\\Semeru\\JRE\\8.0.382.5\\openj9\\MSI", L"Path",
         L"registry HKCU\\SOFTWARE\\Semeru\\JRE\\8.0.382.5\\openj9\\MSI"},
        {kMachine32, L"SOFTWARE\\Azul Systems\\Zulu 32-bit\\zulu-8", L"InstallationPath",
         L"registry HKLM\\SOFTWARE\\Azul Systems\\Zulu 32-bit\\zulu-8 (32-bit view)"},
        {kMachine64, L"SOFTWARE\\BellSoft\\Liberica\\jdk-17", L"InstallationPath",
         L"registry HKLM\\SOFTWARE\\BellSoft\\Liberica\\jdk-17 (64-bit view)"},
        // Another value, a level missing or one too many, the value on the base key.
        {kMachine64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI", L"INSTALLDIR", nullptr},
        {kMachine64, L"SOFTWARE\\Microsoft\\JDK\\17.0.12.7\\MSI", L"Path", nullptr},
        {kMachine64, L"SOFTWARE\\Semeru\\JDK\\17.0.12.7\\hotspot\\MSI", L"Path", nullptr},
        {kMachine64, L"SOFTWARE\\BellSoft\\Liberica\\jdk-17\\MSI", L"InstallationPath", nullptr},
        {kMachine64, L"SOFTWARE\\JavaSoft\\JDK", L"JavaHome", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key, c.key + std::wcslen(c.key)));
        InventedRegistry registry;
        registry.set(c.place, c.key, c.value, L"C:\\Java\\home");
        std::vector<std::pair<WString, WString>> expected;
        if (c.source != nullptr) {
            expected.emplace_back(L"C:\\Java\\home", c.source);
        }
        EXPECT_EQ(homesAndSources(installedHomes(installKeyLayouts(), registry.probe())), expected);
    }
}

TEST(RegistryWalk, PlacesThenLayoutsThenSubkeysInOrder)
{
    InventedRegistry registry;
    registry.set(kUser, L"SOFTWARE\\Azul Systems\\Zulu\\zulu-21", L"InstallationPath", L"C:\\e");
    registry.set(kMachine64, L"SOFTWARE\\JavaSoft\\JDK\\21", L"JavaHome", L"C:\\c");
    registry.set(kMachine64, L"SOFTWARE\\JavaSoft\\JDK\\17", L"JavaHome", L"C:\\d");
    registry.set(kMachine64, L"SOFTWARE\\JavaSoft\\JDK\\11", L"Other", L"C:\\x");
    registry.set(kMachine32, L"SOFTWARE\\BellSoft\\Liberica\\jre-8", L"InstallationPath", L"C:\\b");
    registry.set(kMachine32, L"SOFTWARE\\JavaSoft\\JRE\\1.8", L"JavaHome", L"C:\\a");
    std::vector<SearchedPlace> searched;
    std::vector<WString> homes;
    for (const auto& installed : installedHomes(installKeyLayouts(), registry.probe(), &searched)) {
        homes.push_back(installed.home);
    }
    EXPECT_EQ(homes, (std::vector<WString>{L"C:\\a", L"C:\\b", L"C:\\c", L"C:\\d", L"C:\\e"}));
    // Every layout in every place is reported, with what it held.
    ASSERT_EQ(searched.size(), installKeyLayouts().size() * installKeyPlaces().size());
    std::size_t named = 0;
    for (const auto& place : searched) {
        named += place.homes;
        if (place.place == L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\* (64-bit view), value JavaHome") {
            EXPECT_EQ(place.homes, 2u);
        }
    }
    EXPECT_EQ(named, 5u);
}

TEST(RegistryWalk, RegisteredReleasesNeedBothValues)
{
    InventedRegistry registry;
    const WString kits = javasoft::kKitKey;
    registry.set(kJavaSoftPlace, kits + L"\\1.3", L"MicroVersion", L"1");
    registry.set(kJavaSoftPlace, kits + L"\\1.3", L"JavaHome", L"C:\\jdk1.3.1");
    registry.set(kJavaSoftPlace, kits + L"\\1.4", L"MicroVersion", L"2");  // no JavaHome
    registry.set(kJavaSoftPlace, kits + L"\\1.2", L"JavaHome", L"C:\\jdk1.2");  // no MicroVersion
    registry.set(kJavaSoftPlace, kits + L"\\1.4.2_05", L"MicroVersion", L"2");
    registry.set(kJavaSoftPlace, kits + L"\\1.4.2_05", L"JavaHome", L"C:\\jdk1.4.2_05");
    registry.set(kJavaSoftPlace, kits + L"\\1.1", L"Other", L"C:\\jdk1.1");  // neither value
    // The same key in another view is not one of the first sources'.
    registry.set(kMachine64, kits + L"\\1.5.0", L"MicroVersion", L"0");
    registry.set(kMachine64, kits + L"\\1.5.0", L"JavaHome", L"C:\\jdk1.5.0");

    std::vector<IncompleteKey> incomplete;
    const auto releases = registeredReleases(registry.probe(), kits, &incomplete);
    // A subkey left out is named with what it lacks, in enumeration order.
    std::vector<std::pair<WString, WString>> leftOut;
    for (const IncompleteKey& key : incomplete) {
        leftOut.emplace_back(key.key, key.lacks);
    }
    EXPECT_EQ(leftOut, (std::vector<std::pair<WString, WString>>{
                           {L"registry HKLM\\" + kits + L"\\1.4", L"JavaHome"},
                           {L"registry HKLM\\" + kits + L"\\1.2", L"MicroVersion"},
                           {L"registry HKLM\\" + kits + L"\\1.1", L"MicroVersion and JavaHome"},
                       }));
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(releases[0].subkeyName, L"1.3");
    EXPECT_EQ(releases[0].microVersion, L"1");
    EXPECT_EQ(releases[0].javaHome, L"C:\\jdk1.3.1");
    EXPECT_EQ(releases[0].source, L"registry HKLM\\" + kits + L"\\1.3");
    EXPECT_EQ(releases[1].subkeyName, L"1.4.2_05");
    EXPECT_TRUE(registeredReleases(registry.probe(), L"SOFTWARE\\JavaSoft\\Missing").empty());
}

// A key at the end of a layout's pattern without the home value names no home,
// and is named in the report with the value it lacks; a key that does not fit
// the pattern is not.
TEST(RegistryWalk, AKeyThatLacksTheHomeValueIsNamed)
{
    InventedRegistry registry;
    registry.set(kMachine64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI", L"INSTALLDIR", L"C:\\a");
    registry.set(kMachine64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.4.7\\hotspot\\MSI", L"Path", L"C:\\b");
    registry.set(kUser, L"SOFTWARE\\BellSoft\\Liberica\\jdk-17\\MSI", L"InstallationPath", L"C:\\c");
    std::vector<SearchedPlace> searched;
    const std::vector<InstalledHome> homes = installedHomes(installKeyLayouts(), registry.probe(), &searched);
    ASSERT_EQ(homes.size(), 1u);
    EXPECT_EQ(homes[0].home, L"C:\\b");
    std::vector<std::pair<WString, WString>> incomplete;
    for (const SearchedPlace& place : searched) {
        for (const IncompleteKey& key : place.incomplete) {
            incomplete.emplace_back(place.place, key.key + L": " + key.lacks);
        }
    }
    // jdk-17 of the user's Liberica key lacks InstallationPath; its MSI subkey
    // is below the pattern and not looked at.
    EXPECT_EQ(incomplete,
              (std::vector<std::pair<WString, WString>>{
                  {L"registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\*\\*\\MSI (64-bit view), value Path",
                   L"registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI (64-bit view): Path"},
                  {L"registry HKCU\\SOFTWARE\\BellSoft\\Liberica\\*, value InstallationPath",
                   L"registry HKCU\\SOFTWARE\\BellSoft\\Liberica\\jdk-17: InstallationPath"},
              }));
}

// The layouts of a maker whose key is missing cost one question per place: the
// walk lists subkeys and reads values only of keys that are there.
TEST(RegistryWalk, NothingIsAskedBelowAKeyThatIsMissing)
{
    InventedRegistry registry;
    registry.set(kMachine64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI", L"Path",
                 L"C:\\Adoptium\\jdk-17");
    const std::vector<InstalledHome> homes = installedHomes(installKeyLayouts(), registry.probe());
    ASSERT_EQ(homes.size(), 1u);
    EXPECT_EQ(homes[0].home, L"C:\\Adoptium\\jdk-17");
    ASSERT_FALSE(registry.asked().empty());
    for (const WString& key : registry.asked()) {
        EXPECT_TRUE(registry.exists(kMachine64, key)) << std::string(key.begin(), key.end());
    }
}
