// The key of a properties file as Windows gives it: the system's upper case, and
// one key for every spelling of the path to one file; the security of the
// lock's objects.

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <utility>

#include "base/handles.h"
#include "base/processes.h"
#include "base/trace.h"
#include "instance/instance_relay_win.h"
#include "instance/single_instance.h"
#include "instance/single_instance_win.h"
#include "support/test_files.h"

using namespace qel;
using namespace qel::test;

TEST(SingleInstanceLock, UpperCaseIsTheSystemsTable)
{
    const struct {
        const wchar_t* text;
        const wchar_t* upper;
    } rows[] = {
        {L"", L""},
        {L"c:\\shop\\shop.qel", L"C:\\SHOP\\SHOP.QEL"},
        {L"caf\u00e9", L"CAF\u00c9"},
        {L"\u03c3\u03bf\u03c6\u03af\u03b1", L"\u03a3\u039f\u03a6\u038a\u0391"},
        {L"\u043c\u0430\u0433\u0430\u0437\u0438\u043d", L"\u041c\u0410\u0413\u0410\u0417\u0418\u041d"},
        // One unit for one: no letter becomes two (as "ss" would for the sharp s).
        {L"stra\u00dfe", L"STRA\u00dfE"},
        {L"\u65e5\u672c", L"\u65e5\u672c"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(systemUpperCase(row.text), WString(row.upper)) << narrow(row.text);
    }
}

TEST(SingleInstanceLock, EverySpellingOfThePathGivesOneKey)
{
    const TempDir dir;
    if (!CreateDirectoryW((dir / L"Caf\u00e9").c_str(), nullptr)) {
        // Wine names files in the Unix locale's encoding: C has no "é".
        GTEST_SKIP() << "no non-ASCII file names in this Unix locale (the registration "
                        "unit.SingleInstanceLock.utf8 runs this test with LC_ALL=C.UTF-8)";
    }
    const WString file = dir / L"Caf\u00e9\\Shop.qel";
    writeFile(file, "x");
    writeFile(dir / L"Caf\u00e9\\Other.qel", "x");
    const WString key = propertiesFileKey(file);
    for (const WString& spelling : {dir / L"CAF\u00c9\\SHOP.QEL", dir / L"caf\u00e9\\shop.qel",
                                    dir / L"Caf\u00e9\\..\\Caf\u00e9\\Shop.qel", dir / L"Caf\u00e9\\.\\Shop.qel"}) {
        EXPECT_EQ(propertiesFileKey(spelling), key) << narrow(spelling);
    }
    EXPECT_NE(propertiesFileKey(dir / L"Caf\u00e9\\Other.qel"), key);
    // A file that is not there keeps the path it was given, upper-cased.
    EXPECT_EQ(propertiesFileKey(dir / L"caf\u00e9\\gone.qel"), systemUpperCase(dir / L"caf\u00e9\\gone.qel"));
}

namespace {

// The access list of a kernel object as a descriptor's text.
std::wstring accessListOf(HANDLE object)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
        return L"(unreadable)";
    }
    wchar_t* text = nullptr;
    std::wstring result = L"(not convertible)";
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr)) {
        result = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return result;
}

}  // namespace

// Made with the default descriptor, another process read the relay's port and
// token under Wine. The lock, the shared memory with the first launcher's id
// and the relay's address are the user's and SYSTEM's only, and nothing is
// inherited (the descriptor reads back as given).
TEST(SingleInstanceLock, ItsObjectsAreTheUsersAndSystemsOnly)
{
    const TempDir dir;
    const WString file = dir / L"Shop.qel";
    writeFile(file, "x");
    Trace trace;
    const SingleInstanceLock lock(file, trace);
    ASSERT_TRUE(lock.isFirst());
    const InstanceRelay relay(lock.relayName(), trace);
    ASSERT_FALSE(relay.handoffLines().empty());

    const WString expected = instanceObjectDescriptor(processUserSid());
    const SingleInstanceNames names = singleInstanceNames(propertiesFileKey(file));
    const UniqueHandle mutex(OpenMutexW(READ_CONTROL, FALSE, names.mutex.c_str()));
    const UniqueHandle launcherId(OpenFileMappingW(READ_CONTROL, FALSE, names.launcherId.c_str()));
    const UniqueHandle published(OpenFileMappingW(READ_CONTROL, FALSE, lock.relayName().c_str()));
    for (const auto& [what, object] : {std::pair<const char*, HANDLE>{"the lock", mutex.get()},
                                       {"the first launcher's id", launcherId.get()},
                                       {"the relay's address", published.get()}}) {
        ASSERT_NE(object, nullptr) << what;
        EXPECT_EQ(accessListOf(object), expected) << what;
    }
    EXPECT_NE(expected.find(L"(A;;GA;;;SY)"), WString::npos);
    EXPECT_EQ(expected.find(L"WD"), WString::npos);
}
