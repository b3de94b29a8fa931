// The installations today's installers register, read from the registry of the
// test prefix in both views and both hives.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "javasoft_fixture.h"
#include "support/test_files.h"
#include "support/version_printer.h"
#include "vm/inventory.h"
#include "vm/javasoft.h"

using namespace qel;
using namespace qel::test;

namespace {

using InstalledVms = InstallationKeys;

constexpr RegistryHive LM = RegistryHive::LocalMachine;
constexpr RegistryHive CU = RegistryHive::CurrentUser;
constexpr RegistryView B64 = RegistryView::Native;
constexpr RegistryView B32 = RegistryView::Wow32;

std::vector<std::pair<WString, WString>> homesAndSources(const std::vector<InstalledHome>& homes)
{
    std::vector<std::pair<WString, WString>> pairs;
    for (const auto& home : homes) {
        pairs.emplace_back(home.home, home.source);
    }
    return pairs;
}

}  // namespace

TEST_F(InstalledVms, EachLayoutIsReadInEachPlace)
{
    struct Case {
        RegistryHive hive;
        RegistryView view;
        const wchar_t* key;
        const wchar_t* value;
        const wchar_t* source;  // nullptr: the key names no installation
    };
    const Case cases[] = {
        {LM, B64, L"SOFTWARE\\JavaSoft\\Java Development Kit\\1.8", L"JavaHome",
         L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit\\1.8 (64-bit view)"},
        {LM, B32, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8.0_401", L"JavaHome",
         L"registry HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8.0_401 (32-bit view)"},
        {LM, B64, L"SOFTWARE\\JavaSoft\\JDK\\17", L"JavaHome",
         L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\17 (64-bit view)"},
        {LM, B32, L"SOFTWARE\\JavaSoft\\JRE\\9.0.4", L"JavaHome",
         L"registry HKLM\\SOFTWARE\\JavaSoft\\JRE\\9.0.4 (32-bit view)"},
        {LM, B64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI (64-bit view)"},
        {LM, B64, L"SOFTWARE\\Eclipse Adoptium\\JRE\\21.0.4.7\\hotspot\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\Eclipse Adoptium\\JRE\\21.0.4.7\\hotspot\\MSI (64-bit view)"},
        {LM, B32, L"SOFTWARE\\Eclipse Foundation\\JDK\\16.0.2.7\\hotspot\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\Eclipse Foundation\\JDK\\16.0.2.7\\hotspot\\MSI (32-bit view)"},
        {LM, B64, L"SOFTWARE\\AdoptOpenJDK\\JDK\\11.0.11.9\\openj9\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\AdoptOpenJDK\\JDK\\11.0.11.9\\openj9\\MSI (64-bit view)"},
        {LM, B32, L"SOFTWARE\\AdoptOpenJDK\\JRE\\8.0.292.10\\hotspot\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\AdoptOpenJDK\\JRE\\8.0.292.10\\hotspot\\MSI (32-bit view)"},
        {LM, B64, L"SOFTWARE\\Microsoft\\JDK\\17.0.12.7\\hotspot\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\Microsoft\\JDK\\17.0.12.7\\hotspot\\MSI (64-bit view)"},
        {LM, B64, L"SOFTWARE\\Azul Systems\\Zulu\\zulu-17", L"InstallationPath",
         L"registry HKLM\\SOFTWARE\\Azul Systems\\Zulu\\zulu-17 (64-bit view)"},
        {LM, B64, L"SOFTWARE\\AdoptOpenJDK\\JDK\\8.0.202.08\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\AdoptOpenJDK\\JDK\\8.0.202.08\\MSI (64-bit view)"},
        {LM, B32, L"SOFTWARE\\AdoptOpenJDK\\JRE\\8.0.202.08\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\AdoptOpenJDK\\JRE\\8.0.202.08\\MSI (32-bit view)"},
        {LM, B64, L"SOFTWARE\\Semeru\\JDK\\17.0.12.7\\openj9\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\Semeru\\JDK\\17.0.12.7\\openj9\\MSI (64-bit view)"},
        {LM, B32, L"SOFTWARE\\Semeru\\JRE\\8.0.382.5\\openj9\\MSI", L"Path",
         L"registry HKLM\\SOFTWARE\\Semeru\\JRE\\8.0.382.5\\openj9\\MSI (32-bit view)"},
        {LM, B32, L"SOFTWARE\\Azul Systems\\Zulu 32-bit\\zulu-8", L"InstallationPath",
         L"registry HKLM\\SOFTWARE\\Azul Systems\\Zulu 32-bit\\zulu-8 (32-bit view)"},
        {LM, B64, L"SOFTWARE\\BellSoft\\Liberica\\jdk-17", L"InstallationPath",
         L"registry HKLM\\SOFTWARE\\BellSoft\\Liberica\\jdk-17 (64-bit view)"},
        {LM, B32, L"SOFTWARE\\BellSoft\\Liberica\\jre-8", L"InstallationPath",
         L"registry HKLM\\SOFTWARE\\BellSoft\\Liberica\\jre-8 (32-bit view)"},
        {CU, B64, L"SOFTWARE\\BellSoft\\Liberica\\jdk-21", L"InstallationPath",
         L"registry HKCU\\SOFTWARE\\BellSoft\\Liberica\\jdk-21"},
        {CU, B64, L"SOFTWARE\\Semeru\\JDK\\21.0.4.7\\openj9\\MSI", L"Path",
         L"registry HKCU\\SOFTWARE\\Semeru\\JDK\\21.0.4.7\\openj9\\MSI"},
        // Per-user installations; the user's SOFTWARE key is one in both views.
        {CU, B64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.4.7\\hotspot\\MSI", L"Path",
         L"registry HKCU\\SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.4.7\\hotspot\\MSI"},
        {CU, B64, L"SOFTWARE\\Azul Systems\\Zulu\\zulu-21", L"InstallationPath",
         L"registry HKCU\\SOFTWARE\\Azul Systems\\Zulu\\zulu-21"},
        {CU, B32, L"SOFTWARE\\JavaSoft\\JDK\\25", L"JavaHome", L"registry HKCU\\SOFTWARE\\JavaSoft\\JDK\\25"},
        // Keys that name no installation: another value, a level missing, the
        // value on the layout's base key.
        {LM, B64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI", L"INSTALLDIR", nullptr},
        {LM, B64, L"SOFTWARE\\Microsoft\\JDK\\17.0.12.7\\MSI", L"Path", nullptr},
        {LM, B64, L"SOFTWARE\\JavaSoft\\JDK", L"JavaHome", nullptr},
        {CU, B64, L"SOFTWARE\\Azul Systems\\Zulu", L"InstallationPath", nullptr},
        {LM, B64, L"SOFTWARE\\Semeru\\JDK\\17.0.12.7\\hotspot\\MSI", L"Path", nullptr},
        {LM, B64, L"SOFTWARE\\BellSoft\\Liberica\\jdk-17\\MSI", L"Path", nullptr},
    };
    const WString home = L"C:\\Program Files\\Example\\jdk-17.0.12.7-hotspot\\";
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.key));
        removeJavaKeys();
        setRegistryString(c.hive, c.view, c.key, c.value, home);
        std::vector<std::pair<WString, WString>> expected;
        if (c.source != nullptr) {
            expected.emplace_back(home, c.source);
        }
        EXPECT_EQ(homesAndSources(readInstalledHomes(installKeyLayouts())), expected);
    }
}

TEST_F(InstalledVms, PlacesThenLayoutsInOrder)
{
    setRegistryString(CU, B64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI", L"Path", L"C:\\c");
    setRegistryString(LM, B64, L"SOFTWARE\\Microsoft\\JDK\\17.0.12.7\\hotspot\\MSI", L"Path", L"C:\\d");
    setRegistryString(LM, B32, L"SOFTWARE\\Azul Systems\\Zulu\\zulu-8", L"InstallationPath", L"C:\\b");
    setRegistryString(LM, B64, L"SOFTWARE\\JavaSoft\\JDK\\17", L"JavaHome", L"C:\\a");
    setRegistryString(LM, B32, L"SOFTWARE\\JavaSoft\\JRE\\1.8", L"JavaHome", L"C:\\e");
    std::vector<WString> homes;
    for (const auto& installed : readInstalledHomes(installKeyLayouts())) {
        homes.push_back(installed.home);
    }
    // The machine's 32-bit view, its 64-bit view, the user's keys; in each, the
    // layouts in their order.
    EXPECT_EQ(homes, (std::vector<WString>{L"C:\\e", L"C:\\b", L"C:\\a", L"C:\\d", L"C:\\c"}));
}

TEST_F(InstalledVms, EveryPlaceSearchedIsListedWithWhatItHeld)
{
    setRegistryString(LM, B32, L"SOFTWARE\\BellSoft\\Liberica\\jdk-17", L"InstallationPath", L"C:\\a");
    setRegistryString(LM, B32, L"SOFTWARE\\BellSoft\\Liberica\\jre-17", L"InstallationPath", L"C:\\b");
    std::vector<SearchedPlace> searched;
    readInstalledHomes(installKeyLayouts(), &searched);
    // Each layout in each place, the empty ones too.
    ASSERT_EQ(searched.size(), installKeyLayouts().size() * installKeyPlaces().size());
    std::size_t homes = 0;
    for (const auto& place : searched) {
        homes += place.homes;
    }
    EXPECT_EQ(homes, 2u);
    const auto liberica = std::find_if(searched.begin(), searched.end(), [](const SearchedPlace& place) {
        return place.place == L"registry HKLM\\SOFTWARE\\BellSoft\\Liberica\\* (32-bit view), value InstallationPath";
    });
    ASSERT_NE(liberica, searched.end());
    EXPECT_EQ(liberica->homes, 2u);
    EXPECT_EQ(searched.back().place, L"registry HKCU\\SOFTWARE\\BellSoft\\Liberica\\*, value InstallationPath");
    EXPECT_EQ(searched.back().homes, 0u);
}

TEST_F(InstalledVms, AMachineOfToday)
{
    TempDir dir;
    const VmTree tree = VmTree(dir.path())
                            .program(L"jre142\\bin\\java.exe", standin::kSun1_4_20_5)
                            .program(L"jre8\\bin\\java.exe", standin::kJava8_0_4010_9)
                            .program(L"jdk17\\bin\\java.exe", standin::kJava17_0_12_0)
                            .file(L"jdk17\\bin\\javac.exe")
                            .program(L"jre21\\bin\\java.exe", standin::kJava21_0_4_0)
                            .program(L"jdk25\\bin\\java.exe", standin::kJava25_0_1_0)
                            .file(L"jdk25\\bin\\javac.exe")
                            .directory(L"empty");
    const WString runtimes = javasoft::kRuntimeKey;
    // The old runtime key in both views: the first sources open it with both view
    // flags and (under Wine) see only the 32-bit view's 1.4.
    setRegistryString(LM, B32, runtimes + L"\\1.4", javasoft::kMicroVersion, L"2");
    setRegistryString(LM, B32, runtimes + L"\\1.4", javasoft::kJavaHome, tree / L"jre142");
    setRegistryString(LM, B64, runtimes + L"\\1.8", javasoft::kMicroVersion, L"0");
    setRegistryString(LM, B64, runtimes + L"\\1.8", javasoft::kJavaHome, tree / L"jre8");
    setRegistryString(LM, B64, L"SOFTWARE\\JavaSoft\\JDK\\17", javasoft::kJavaHome, tree / L"jdk17");
    // The same kit once more, in other letters and with a trailing backslash.
    WString upper = tree / L"JDK17\\";
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](wchar_t unit) { return unit >= L'a' && unit <= L'z' ? unit - L'a' + L'A' : unit; });
    setRegistryString(LM, B64, L"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.12.7\\hotspot\\MSI", L"Path", upper);
    setRegistryString(CU, B64, L"SOFTWARE\\Azul Systems\\Zulu\\zulu-21", L"InstallationPath", tree / L"jre21\\");
    setRegistryString(LM, B32, L"SOFTWARE\\Microsoft\\JDK\\11.0.24.8\\hotspot\\MSI", L"Path", tree / L"empty");

    CapturedStdout output;
    const VmInventory inventory = VmInventory::build(
        InventorySources{javasoft::kKitKey, javasoft::kRuntimeKey, {}, installKeyLayouts(), tree / L"jdk25"}.read());

    struct Found {
        WString home;
        VmVersion version;
        VmKind kind;
        WString source;
    };
    const Found expected[] = {
        // The key says 1.4 with MicroVersion 2; the program says 1.4.2_05.
        {tree / L"jre142", packed(0x425), VmKind::JRE, L"registry HKLM\\" + runtimes + L"\\1.4"},
        {tree / L"jre8", VmVersion::of(8, 0, 401), VmKind::JRE, L"registry HKLM\\" + runtimes + L"\\1.8 (64-bit view)"},
        {tree / L"jdk17", VmVersion::of(17, 0, 12), VmKind::JDK,
         L"registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\17 (64-bit view)"},
        {tree / L"jre21", VmVersion::of(21, 0, 4), VmKind::JRE,
         L"registry HKCU\\SOFTWARE\\Azul Systems\\Zulu\\zulu-21"},
        {tree / L"jdk25", VmVersion::of(25, 0, 1), VmKind::JDK, L"JAVA_HOME"},
    };
    const auto& entries = inventory.entries();
    ASSERT_EQ(entries.size(), std::size(expected));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(narrow(expected[i].home));
        EXPECT_EQ(entries[i]->home, expected[i].home);
        EXPECT_EQ(entries[i]->version, expected[i].version);
        EXPECT_EQ(entries[i]->kind, expected[i].kind);
        EXPECT_EQ(entries[i]->family, VmFamily::J2);
        EXPECT_EQ(entries[i]->source, expected[i].source);
    }
    // Each program was examined once; the repeated kit was not.
    EXPECT_EQ(output.text(), "company: Example Java Works\n"
                             "company: Example Java Works\n"
                             "company: Example Java Works\n"
                             "company: Example Runtime Builders\n"
                             "company: Example Java Works\n");
}
