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
};

const LanguageTexts kLanguages[] = {
    {"de", expected::kGermanErrorCaption, expected::kGermanPropertiesMissing, expected::kGermanPropertiesInvalid},
    {"ja", expected::kJapaneseErrorCaption, expected::kJapanesePropertiesMissing, expected::kJapanesePropertiesInvalid},
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
    expectOneBox(start(), language.caption, language.missing);
}

TEST_F(TranslatedBox, InvalidPropertiesFile)
{
    const auto& language = languageUnderTest();
    writeFile(properties, kPropertiesWithoutVm);
    expectOneBox(start(), language.caption, language.invalid);
}
