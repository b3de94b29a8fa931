// Runs with Wine's user-interface language set by the test's registration
// (LC_ALL for the whole Wine process tree); QEL_E2E_LANGUAGE names the texts
// expected in that language.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/expected_texts.h"
#include "support/launcher_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

struct LanguageTexts {
    const char* name;
    const wchar_t* caption;
    const wchar_t* missing;
    const wchar_t* invalid;
    const wchar_t* offerDownload;
};

const LanguageTexts kLanguages[] = {
    {"de", expected::kGermanErrorCaption, expected::kGermanPropertiesMissing, expected::kGermanPropertiesInvalid,
     expected::kGermanOfferDownload},
    {"ja", expected::kJapaneseErrorCaption, expected::kJapanesePropertiesMissing, expected::kJapanesePropertiesInvalid,
     expected::kJapaneseOfferDownload},
};

const LanguageTexts& languageUnderTest()
{
    const char* name = std::getenv("QEL_E2E_LANGUAGE");
    for (const auto& language : kLanguages) {
        if (name != nullptr && std::string(name) == language.name) {
            return language;
        }
    }
    throw std::runtime_error("QEL_E2E_LANGUAGE must name one of the languages of this test");
}

using TranslatedBox = LauncherFixture;

}  // namespace

TEST_F(TranslatedBox, MissingPropertiesFile)
{
    const auto& language = languageUnderTest();
    expectOneBox(start(), language.caption, language.missing, 102);
}

TEST_F(TranslatedBox, InvalidPropertiesFile)
{
    const auto& language = languageUnderTest();
    writeFile(properties, kPropertiesWithoutVm);
    expectOneBox(start(), language.caption, invalidWithoutVm(language.invalid), 104);
}

// The question below the no-VM message when the settings name a download
// page; answered No, so that nothing is opened.
TEST_F(TranslatedBox, DownloadOffer)
{
    const auto& language = languageUnderTest();
    writeFile(properties, std::string(kPropertiesWithoutVm) + "qel.nl.valid.vm.list=J2\r\n"
                                                              "qel.vm.download.url=https://example.com/java\r\n");
    RunOptions options;
    options.boxAnswer = 7;  // IDNO
    options.environment = {{L"PATH", L"C:\\windows\\system32;C:\\windows"}, {L"JAVA_HOME", L""}};
    const ProgramRun run = runProgram(launcher, options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, language.caption);
    EXPECT_TRUE(run.boxes[0].asksYesNo);
    const WString question = WString(L"\n\n") + language.offerDownload + L"\nhttps://example.com/java";
    const WString& text = run.boxes[0].text;
    EXPECT_TRUE(text.size() > question.size() &&
                text.compare(text.size() - question.size(), WString::npos, question) == 0)
        << narrow(text);
    EXPECT_EQ(run.exitCode, 101u);
}

// The console twin, started without a console, writes the same texts to its
// standard error file: one line in UTF-8, and the message number as exit code.
TEST(TranslatedLine, ConsoleTwinWritesTheTextsAsUtf8)
{
    const auto& language = languageUnderTest();
    TempDir dir;
    const WString twin = installLauncher(dir / L"app", L"Shop.exe", kConsoleTwin);
    RunOptions options;
    options.environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
    const struct {
        const char* properties;  // none: no properties file
        WString text;
        unsigned long exitCode;
    } cases[] = {{nullptr, language.missing, 102}, {kPropertiesWithoutVm, singleLine(invalidWithoutVm(language.invalid)), 104}};
    for (const auto& c : cases) {
        if (c.properties != nullptr) {
            writeFile(dir / L"app\\Shop.qel", c.properties);
        }
        const ProgramRun run = runProgram(twin, options);
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(run.standardError, narrow(c.text) + "\n");
        EXPECT_EQ(run.exitCode, c.exitCode);
    }
}
