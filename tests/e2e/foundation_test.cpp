// The launcher started the way a user starts it: copied under another name,
// beside (or without) its properties file, with the message box read back.

#include <gtest/gtest.h>

#include "support/launcher_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr const wchar_t* kUnknownException = L"an unknown exception has occurrred.\nUnknown exception";

using LauncherRun = LauncherFixture;

}  // namespace

TEST_F(LauncherRun, WithoutPropertiesFileShowsMissingMessage)
{
    expectOneBox(start(), kEnglishCaption, kEnglishMissing);
}

TEST_F(LauncherRun, WithoutVmSettingShowsInvalidMessage)
{
    writeFile(properties, kPropertiesWithoutVm);
    expectOneBox(start(), kEnglishCaption, kEnglishInvalid);
}

TEST_F(LauncherRun, DirectoryNamedLikeThePropertiesFileIsAnUnknownException)
{
    makeDirectories(properties);
    expectOneBox(start(), kEnglishCaption, kUnknownException);
}

TEST_F(LauncherRun, ValidSettingsWithoutAnyVmShowNoVmMessage)
{
    writeFile(properties,
              "# a shop\r\n"
              "qel.nl.java.launcher.main.class=app.Main\r\n"
              "qel.class.path=lib\\app.jar\r\n"
              "qel.nl.valid.vm.list=J2\r\n");
    expectOneBox(start(), kEnglishCaption, kEnglishNoVm);
}

TEST_F(LauncherRun, PropertiesFileInTheStartDirectoryIsFound)
{
    // The launcher lies elsewhere; only the start directory holds Shop.qel.
    TempDir work;
    writeFile(work / L"Shop.qel", kPropertiesWithoutVm);
    RunOptions options;
    options.currentDirectory = work.path();
    options.environment = {{L"PATH", L"C:\\windows\\system32"}};
    expectOneBox(runProgram(launcher, options), kEnglishCaption, kEnglishInvalid);
}

TEST_F(LauncherRun, ServiceSwitchFromAShellStillChecksTheSettings)
{
    writeFile(properties, kPropertiesWithoutVm);
    RunOptions options;
    options.arguments = L"-kwqelservice ShopService";
    options.environment = {{L"PATH", L"C:\\windows\\system32"}};
    expectOneBox(runProgram(launcher, options), kEnglishCaption, kEnglishInvalid);
}
