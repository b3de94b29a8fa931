// The hand-off file as it is made: a new file of its own with an unpredictable
// name, open to its user, the system and the administrators only, written
// through the handle it was made with.

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/errors.h"
#include "base/handles.h"
#include "launch/handoff_file.h"
#include "launch/handoff_text.h"
#include "support/failures.h"
#include "support/test_files.h"

using namespace qel;
using namespace qel::test;

namespace {

// The file's access list in the system's descriptor language.
std::string accessOf(const WString& path)
{
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                              &list, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        return "error " + std::to_string(error);
    }
    const UniqueLocal ownedDescriptor(descriptor);
    wchar_t* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                         nullptr);
    const UniqueLocal ownedText(text);
    return text != nullptr ? narrow(text) : "unreadable";
}

// The entries of an access list in the descriptor language, without their
// parentheses: "D:P(A;;FA;;;SY)(A;;FA;;;BA)" has "A;;FA;;;SY" and "A;;FA;;;BA".
std::vector<std::string> entriesOf(const std::string& access)
{
    std::vector<std::string> entries;
    for (std::size_t open = access.find('('); open != std::string::npos; open = access.find('(', open + 1)) {
        entries.push_back(access.substr(open + 1, access.find(')', open) - open - 1));
    }
    return entries;
}

std::string processUser()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    const UniqueHandle owned(token);
    char buffer[256] = {};
    DWORD size = 0;
    wchar_t* text = nullptr;
    if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        return "unknown";
    }
    const UniqueLocal ownedText(text);
    return narrow(text);
}

// The temporary directory is the test's own while it runs.
class HandoffFileMaking : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            wchar_t value[MAX_PATH] = {};
            saved.push_back(GetEnvironmentVariableW(name, value, MAX_PATH) > 0 ? std::optional<WString>(value)
                                                                               : std::nullopt);
            SetEnvironmentVariableW(name, temp.path().c_str());
        }
    }
    void TearDown() override
    {
        const wchar_t* names[] = {L"TMP", L"TEMP"};
        for (std::size_t i = 0; i < saved.size(); ++i) {
            SetEnvironmentVariableW(names[i], saved[i] ? saved[i]->c_str() : nullptr);
        }
    }

    // The given numbers in turn, then the last one again and again.
    static HandoffFile::RandomSource numbers(std::vector<std::uint64_t> values)
    {
        return [values, next = std::size_t{0}]() mutable { return values[std::min(next++, values.size() - 1)]; };
    }

    TempDir temp;
    Trace trace;
    std::vector<std::optional<WString>> saved;
};

}  // namespace

TEST_F(HandoffFileMaking, OnlyItsUserTheSystemAndTheAdministratorsMayOpenIt)
{
    std::optional<HandoffFile> file(HandoffFile::create(trace, SessionEndWatch{}));
    const WString name = file->path().substr(file->path().rfind(L'\\') + 1);
    EXPECT_EQ(file->path(), temp / name);
    ASSERT_EQ(name.size(), 19u) << narrow(name);
    EXPECT_EQ(name.rfind(L"qel", 0), 0u);
    EXPECT_EQ(name.find_first_not_of(L"0123456789abcdef", 3), 15u) << narrow(name);

    // Entries for the user, with full access, the system and the administrators
    // only. (Wine reads the list back from the file's Unix permissions: without
    // the protection flag, and without the administrators, whom it does not know.)
    const std::string user = processUser();
    const std::vector<std::string> entries = entriesOf(accessOf(file->path()));
    EXPECT_NE(std::find(entries.begin(), entries.end(), "A;;FA;;;" + user), entries.end()) << accessOf(file->path());
    for (const std::string& entry : entries) {
        const std::string who = entry.substr(entry.rfind(';') + 1);
        EXPECT_TRUE(who == user || who == "SY" || who == "BA") << entry;
    }
    // A file made with the folder's default access shows more: Everyone may read it.
    writeFile(temp / L"default.txt", "x");
    EXPECT_NE(accessOf(temp / L"default.txt").find(";;;WD)"), std::string::npos) << accessOf(temp / L"default.txt");

    file->append({L"a=1", L"b=2"});
    file->close();
    EXPECT_EQ(readFile(file->path()), "a=1\r\nb=2\r\n");
    EXPECT_EQ(messageThrownBy<TerminalError>([&] { file->append({L"c=3"}); }),
              L"The hand-off file \"" + file->path() + L"\" cannot be written: it is complete already");
    const WString path = file->path();
    file.reset();
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A name that is taken (a file someone made in the temporary directory, by
// chance or to be written into) is left as it is, and another name is tried.
TEST_F(HandoffFileMaking, ANameThatIsTakenIsNeverOpened)
{
    const WString taken = temp / handoffFileName(0x2a);
    writeFile(taken, "someone else's\r\n");
    std::optional<HandoffFile> file(
        HandoffFile::create(trace, SessionEndWatch{}, numbers({0x2a, 0x2a, 0xbeef})));
    EXPECT_EQ(file->path(), temp / L"qel00000000beef.tmp");
    file->append({L"a=1"});
    file.reset();
    EXPECT_EQ(readFile(taken), "someone else's\r\n");

    // Only names that are taken: the directory counts as unusable, and nothing
    // in it changed.
    EXPECT_EQ(messageThrownBy<TerminalError>(
                  [&] { HandoffFile::create(trace, SessionEndWatch{}, numbers({0x2a})); })
                  .rfind(L"The hand-off file for the Java program cannot be created in the temporary directory \"" +
                             temp.path(),
                         0),
              0u);
    EXPECT_EQ(readFile(taken), "someone else's\r\n");
}
