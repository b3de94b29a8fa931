// Checks the translated messages linked into this executable exactly as
// Windows stores them: every language block is read on its own, without the
// loader's fallback to a neutral or English block, so a missing or broken
// translation cannot hide behind another language.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/message_ids.h"
#include "base/messages.h"
#include "base/handles.h"
#include "support/expected_texts.h"
#include "support/test_files.h"
#include "vm/executable_info.h"

namespace {

// String tables are stored in blocks of 16: block n holds ids (n-1)*16 .. n*16-1.
constexpr WORD kMessageBlock = 7;
// RT_STRING spelled wide, whether or not UNICODE is defined for this file.
const LPCWSTR kStringTableType = MAKEINTRESOURCEW(6);
constexpr UINT kFirstIdInBlock = (kMessageBlock - 1) * 16;
constexpr size_t kStringsPerBlock = 16;

// Every text must fit the buffer the launcher loads it into, terminator included.
constexpr size_t kMessageBufferChars = qel::kMessageBufferUnits;

constexpr UINT kMessageIds[] = {
    MSG_NO_VM,         MSG_PROPERTIES_MISSING, MSG_VM_START_FAILED, MSG_PROPERTIES_INVALID,
    MSG_ERROR_CAPTION, MSG_OFFER_DOWNLOAD,
};

// Every language the launcher ships; the LANGID equals the LCID for all of them.
constexpr LANGID kLanguages[] = {
    10,   1027, 1028, 1029, 1030, 1031, 1032, 1033, 1035, 1036, 1038, 1040, 1041, 1042, 1043,
    1044, 1045, 1046, 1049, 1051, 1053, 1054, 1055, 1057, 1060, 1069, 2052, 2070, 3084,
};

constexpr LANGID kEnglish = 1033;

HMODULE Self()
{
    return GetModuleHandleW(nullptr);
}

using MessageBlock = std::array<std::wstring, kStringsPerBlock>;

// Reads block 7 of exactly `language`. A string-table block is 16 entries,
// each a 16-bit length followed by that many UTF-16 units, no terminator.
std::optional<MessageBlock> LoadMessageBlock(LANGID language)
{
    HRSRC info = FindResourceExW(Self(), kStringTableType, MAKEINTRESOURCEW(kMessageBlock), language);
    if (info == nullptr) return std::nullopt;
    const DWORD size = SizeofResource(Self(), info);
    HGLOBAL loaded = LoadResource(Self(), info);
    if (loaded == nullptr) return std::nullopt;
    const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    if (bytes == nullptr) return std::nullopt;

    MessageBlock block;
    size_t offset = 0;
    for (auto& text : block) {
        WORD length = 0;
        if (offset + sizeof length > size) return std::nullopt;
        std::memcpy(&length, bytes + offset, sizeof length);
        offset += sizeof length;
        if (offset + length * sizeof(wchar_t) > size) return std::nullopt;
        text.resize(length);
        std::memcpy(text.data(), bytes + offset, length * sizeof(wchar_t));
        offset += length * sizeof(wchar_t);
    }
    return block;
}

const std::wstring& Text(const MessageBlock& block, UINT id)
{
    return block[id - kFirstIdInBlock];
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::vector<LANGID>*>(found)->push_back(language);
    return TRUE;
}

std::vector<LANGID> LanguagesOf(LPCWSTR type, LPCWSTR name)
{
    std::vector<LANGID> found;
    EnumResourceLanguagesW(Self(), type, name, CollectLanguage, reinterpret_cast<LONG_PTR>(&found));
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<LANGID> ShippedLanguages()
{
    return {std::begin(kLanguages), std::end(kLanguages)};
}

size_t Count(const std::wstring& text, const std::wstring& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool IsMessageId(UINT id)
{
    return std::find(std::begin(kMessageIds), std::end(kMessageIds), id) != std::end(kMessageIds);
}

TEST(MessageResources, StringBlockExistsInExactlyTheShippedLanguages)
{
    const auto found = LanguagesOf(kStringTableType, MAKEINTRESOURCEW(kMessageBlock));
    EXPECT_EQ(found.size(), 29u);
    EXPECT_EQ(found, ShippedLanguages());
}

TEST(MessageResources, LanguageIdResourceExistsInExactlyTheShippedLanguages)
{
    EXPECT_EQ(LanguagesOf(MAKEINTRESOURCEW(RT_LANGUAGE_ID), MAKEINTRESOURCEW(1)), ShippedLanguages());
}

// Each shipped language, checked in one process (a test per language would
// start the test program 29 times under Wine for each check).
TEST(EachLanguage, BlockHoldsTheMessagesAndNothingElse)
{
    for (const LANGID language : kLanguages) {
        SCOPED_TRACE("lcid " + std::to_string(language));
        const auto block = LoadMessageBlock(language);
        if (!block.has_value()) {
            ADD_FAILURE() << "no well-formed block 7";
            continue;
        }
        for (UINT id = kFirstIdInBlock; id < kFirstIdInBlock + kStringsPerBlock; ++id) {
            const auto& text = Text(*block, id);
            if (IsMessageId(id)) {
                EXPECT_FALSE(text.empty()) << "id " << id;
                EXPECT_LT(text.size(), kMessageBufferChars) << "id " << id;
            } else {
                EXPECT_TRUE(text.empty()) << "id " << id;
            }
        }
    }
}

TEST(EachLanguage, PlaceholdersAndProductNamesAreKept)
{
    struct NameRow {
        UINT id;
        const wchar_t* name;
    };
    const NameRow names[] = {
        {MSG_PROPERTIES_MISSING, L"Ravelin"},
        {MSG_PROPERTIES_INVALID, L"Corvane"},
        {MSG_ERROR_CAPTION, L"Ravelin"},
    };
    for (const LANGID language : kLanguages) {
        SCOPED_TRACE("lcid " + std::to_string(language));
        const auto block = LoadMessageBlock(language);
        if (!block.has_value()) {
            ADD_FAILURE() << "no well-formed block 7";
            continue;
        }
        // The launcher formats MSG_VM_START_FAILED with one error number; any
        // other '%' would read an argument that is not there.
        for (UINT id : kMessageIds) {
            const auto& text = Text(*block, id);
            const size_t expected_percents = id == MSG_VM_START_FAILED ? 1 : 0;
            EXPECT_EQ(Count(text, L"%"), expected_percents) << "id " << id;
        }
        EXPECT_EQ(Count(Text(*block, MSG_VM_START_FAILED), L"%d"), 1u);
        EXPECT_NE(Text(*block, MSG_NO_VM).find(L"\n\n"), std::wstring::npos);
        for (const auto& row : names) {
            EXPECT_NE(Text(*block, row.id).find(row.name), std::wstring::npos) << "id " << row.id;
        }
    }
}

TEST(MessageResources, OtherLanguagesAreTranslatedRatherThanCopiedFromEnglish)
{
    const auto english = LoadMessageBlock(kEnglish);
    ASSERT_TRUE(english.has_value());
    for (LANGID language : kLanguages) {
        if (language == kEnglish) continue;
        const auto block = LoadMessageBlock(language);
        ASSERT_TRUE(block.has_value()) << "language " << language;
        for (UINT id : kMessageIds) {
            EXPECT_NE(Text(*block, id), Text(*english, id)) << "language " << language << ", id " << id;
        }
    }
}

TEST(EachLanguage, LanguageIdResourceIsTheLcidInFourBytes)
{
    for (const LANGID language : kLanguages) {
        SCOPED_TRACE("lcid " + std::to_string(language));
        HRSRC info = FindResourceExW(Self(), MAKEINTRESOURCEW(RT_LANGUAGE_ID), MAKEINTRESOURCEW(1), language);
        if (info == nullptr || SizeofResource(Self(), info) != 4u) {
            ADD_FAILURE() << "no language id resource of 4 bytes";
            continue;
        }
        const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(Self(), info)));
        ASSERT_NE(bytes, nullptr);
        const DWORD lcid = MAKELCID(language, SORT_DEFAULT);
        const unsigned char little_endian[4] = {static_cast<unsigned char>(lcid), static_cast<unsigned char>(lcid >> 8),
                                                static_cast<unsigned char>(lcid >> 16),
                                                static_cast<unsigned char>(lcid >> 24)};
        EXPECT_EQ(std::memcmp(bytes, little_endian, 4), 0);
    }
}

struct TextRow {
    LANGID language;
    UINT id;
    const wchar_t* text;
};

// The English texts are the wording the product has always shown, spelling included.
// The other rows prove that text outside Latin-1 survives the resource compiler.
const TextRow kExactTexts[] = {
    {kEnglish, MSG_NO_VM, expected::kEnglishNoVm},
    {kEnglish, MSG_PROPERTIES_MISSING, expected::kEnglishMissing},
    {kEnglish, MSG_VM_START_FAILED, expected::kEnglishStartFailed},
    {kEnglish, MSG_PROPERTIES_INVALID, expected::kEnglishInvalid},
    {kEnglish, MSG_ERROR_CAPTION, expected::kEnglishCaption},
    {kEnglish, MSG_OFFER_DOWNLOAD, expected::kEnglishOfferDownload},
    {1031, MSG_PROPERTIES_MISSING, expected::kGermanPropertiesMissing},
    {1031, MSG_ERROR_CAPTION, expected::kGermanErrorCaption},
    {1041, MSG_PROPERTIES_MISSING, expected::kJapanesePropertiesMissing},
    {1041, MSG_ERROR_CAPTION, expected::kJapaneseErrorCaption},
    {1049, MSG_ERROR_CAPTION, L"\u041E\u0448\u0438\u0431\u043A\u0430 Ravelin"},
    {1032, MSG_ERROR_CAPTION, L"\u03A3\u03C6\u03AC\u03BB\u03BC\u03B1 Ravelin"},
    {1054, MSG_ERROR_CAPTION,
     L"\u0E02\u0E49\u0E2D\u0E1C\u0E34\u0E14\u0E1E\u0E25\u0E32\u0E14\u0E02\u0E2D\u0E07 Ravelin"},
    {2052, MSG_ERROR_CAPTION, L"Ravelin \u9519\u8BEF"},
};

TEST(MessageResources, TextsAreExact)
{
    for (const auto& row : kExactTexts) {
        const auto block = LoadMessageBlock(row.language);
        ASSERT_TRUE(block.has_value()) << "language " << row.language;
        EXPECT_EQ(Text(*block, row.id), std::wstring(row.text)) << "language " << row.language << ", id " << row.id;
    }
}

// LoadStringW picks the block of the thread's locale; the launcher relies on
// that instead of choosing a language itself.
TEST(MessageResources, LoadStringFollowsTheThreadLocale)
{
    const struct {
        LANGID language;
        const wchar_t* caption;
    } rows[] = {
        {1041, expected::kJapaneseErrorCaption},
        {1031, expected::kGermanErrorCaption},
    };
    const LCID saved = GetThreadLocale();
    for (const auto& row : rows) {
        ASSERT_TRUE(SetThreadLocale(MAKELCID(row.language, SORT_DEFAULT)));
        wchar_t buffer[kMessageBufferChars] = {};
        const int length = LoadStringW(Self(), MSG_ERROR_CAPTION, buffer, static_cast<int>(kMessageBufferChars));
        SetThreadLocale(saved);
        EXPECT_EQ(std::wstring(buffer, length > 0 ? length : 0), std::wstring(row.caption))
            << "language " << row.language;
    }
    EXPECT_EQ(GetThreadLocale(), saved);
}

}  // namespace

// The shipped executable carries one application manifest (id 1) and a version
// record with the project's version.
// A value of the version record's US English string block; empty when missing.
std::wstring versionString(const std::wstring& file, const wchar_t* name)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<unsigned char> data(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
        return {};
    }
    void* value = nullptr;
    UINT units = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(data.data(), path.c_str(), &value, &units) || units == 0) {
        return {};
    }
    return static_cast<const wchar_t*>(value);
}

// The windowed launcher and its console twin carry the same resources; only
// the file names of the version record differ.
TEST(ShippedExecutable, ManifestAndVersionRecord)
{
    const std::pair<const wchar_t*, const wchar_t*> executables[] = {{L"ravelin.exe", L"ravelin"},
                                                                     {L"ravelinc.exe", L"ravelinc"}};
    for (const auto& [file, internalName] : executables) {
        SCOPED_TRACE(qel::test::narrow(file));
        const std::wstring launcher = qel::test::binaryDir() + L"\\" + file;
        const qel::UniqueModule module(LoadLibraryExW(launcher.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_NE(module, nullptr);
        const LPCWSTR kManifestType = MAKEINTRESOURCEW(24);
        EXPECT_NE(FindResourceW(module.get(), MAKEINTRESOURCEW(1), kManifestType), nullptr);
        EXPECT_EQ(FindResourceW(module.get(), MAKEINTRESOURCEW(2), kManifestType), nullptr);
        // The messages are the executable's own.
        wchar_t text[qel::kMessageBufferUnits] = {};
        EXPECT_GT(LoadStringW(module.get(), MSG_PROPERTIES_MISSING, text, qel::kMessageBufferUnits), 0);

        const auto version = qel::readFileVersion(launcher);
        ASSERT_TRUE(version.has_value());
        EXPECT_EQ(std::to_string(version->f1) + "." + std::to_string(version->f2) + "." + std::to_string(version->f3),
                  QEL_PROJECT_VERSION);
        EXPECT_EQ(version->f4, 0);
        EXPECT_EQ(versionString(launcher, L"OriginalFilename"), file);
        EXPECT_EQ(versionString(launcher, L"InternalName"), internalName);
    }
}
