// The rules of one instance at a time: the names of the kernel objects of a
// properties file, and which windows a second start brings to the front.

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "launch/single_instance.h"

using namespace qel;

TEST(SingleInstance, NamesFollowThePropertiesFileNotItsSpelling)
{
    const SingleInstanceNames names = singleInstanceNames(L"C:\\Program Files\\Shop\\Shop.qel");
    // In the session's own namespace, with no further backslash, short enough
    // for any Windows.
    for (const WString& name : {names.mutex, names.launcherId}) {
        ASSERT_EQ(name.rfind(L"Local\\", 0), 0u);
        EXPECT_EQ(name.find(L'\\', 6), WString::npos);
        EXPECT_LT(name.size(), 100u);
    }
    EXPECT_NE(names.mutex, names.launcherId);

    const struct {
        const wchar_t* path;
        bool same;
    } rows[] = {
        {L"C:\\Program Files\\Shop\\Shop.qel", true},      {L"c:\\program files\\SHOP\\shop.QEL", true},
        {L"C:/Program Files/Shop/Shop.qel", true},         {L"C:\\Program Files\\Shop\\Shop2.qel", false},
        {L"C:\\Program Files\\Shop 2\\Shop.qel", false},   {L"D:\\Program Files\\Shop\\Shop.qel", false},
        {L"C:\\Program Files\\Shop\\Shop.qel.qel", false},
    };
    for (const auto& row : rows) {
        const SingleInstanceNames other = singleInstanceNames(row.path);
        EXPECT_EQ(other.mutex == names.mutex, row.same) << std::string(row.path, row.path + wcslen(row.path));
        EXPECT_EQ(other.launcherId == names.launcherId, row.same);
    }
    // A path longer than any object name still gives a name of the same size.
    const WString longPath = L"C:\\" + WString(5000, L'a') + L"\\Shop.qel";
    EXPECT_EQ(singleInstanceNames(longPath).mutex.size(), names.mutex.size());
}

TEST(SingleInstance, TheWindowsOfTheFirstLaunchersVm)
{
    constexpr std::uint32_t kFirstLauncher = 100;
    const std::vector<ProcessEntry> processes = {
        {100, 4, {}},  // the first launcher
        {200, 100, {}},  // its VM
        {300, 200, {}},  // a process the VM started
        {400, 7, {}},  // another program
        {500, 100, {}},  // a second process of the launcher's (a console host, say)
    };
    const std::vector<TopLevelWindow> windows = {
        {1, 400, true, false},  // another program's window, topmost
        {2, 200, true, true},  // the VM's dialog, owned by its main window
        {3, 200, true, false},  // the VM's main window
        {4, 200, false, false},  // a hidden window of the VM
        {5, 300, true, false},  // the grandchild's window
        {6, 100, true, false},  // the launcher's own (console) window
        {7, 500, true, false},  // the other child's window
    };
    EXPECT_EQ(windowsOfFirstInstance(windows, processes, kFirstLauncher), (std::vector<std::uintptr_t>{3, 7}));
    // Unknown or unpublished launcher: nothing.
    EXPECT_TRUE(windowsOfFirstInstance(windows, processes, 0).empty());
    EXPECT_TRUE(windowsOfFirstInstance(windows, processes, 999).empty());
    EXPECT_TRUE(windowsOfFirstInstance({}, processes, kFirstLauncher).empty());
}
