// The rules of one instance at a time: the names of the kernel objects of a
// properties file, and which windows a second start brings to the front.

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "instance/single_instance.h"

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

namespace {

// Upper-cases A to Z and the Latin-1 letters, a stand-in for the system's table.
WString upperLatin1(std::wstring_view text)
{
    WString upper(text);
    for (wchar_t& unit : upper) {
        if ((unit >= L'a' && unit <= L'z') || (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7)) {
            unit = static_cast<wchar_t>(unit - 0x20);
        }
    }
    return upper;
}

}  // namespace

TEST(SingleInstance, TheKeyIsTheFinalPathInOneSpelling)
{
    const struct {
        const wchar_t* finalPath;
        const wchar_t* key;
    } rows[] = {
        {L"\\\\?\\C:\\Program Files\\Shop\\Shop.qel", L"C:\\PROGRAM FILES\\SHOP\\SHOP.QEL"},
        {L"C:\\Program Files\\Shop\\Shop.qel", L"C:\\PROGRAM FILES\\SHOP\\SHOP.QEL"},
        {L"\\\\?\\C:\\Caf\u00e9\\Shop.qel", L"C:\\CAF\u00c9\\SHOP.QEL"},
        {L"\\\\?\\C:\\CAF\u00c9\\Shop.qel", L"C:\\CAF\u00c9\\SHOP.QEL"},
        {L"\\\\?\\UNC\\server\\share\\Shop.qel", L"\\\\SERVER\\SHARE\\SHOP.QEL"},
        {L"\\\\?\\unc\\server\\share\\Shop.qel", L"\\\\SERVER\\SHARE\\SHOP.QEL"},
        {L"\\\\server\\share\\Shop.qel", L"\\\\SERVER\\SHARE\\SHOP.QEL"},
        {L"//?/C:/Shop/Shop.qel", L"C:\\SHOP\\SHOP.QEL"},
        {L"\\\\?\\Volume{0a1b}\\Shop.qel", L"VOLUME{0A1B}\\SHOP.QEL"},
        {L"\\Device\\HarddiskVolume2\\Shop.qel", L"\\DEVICE\\HARDDISKVOLUME2\\SHOP.QEL"},
        // A folder named "UNC" on a drive stays as it is.
        {L"\\\\?\\C:\\UNC\\Shop.qel", L"C:\\UNC\\SHOP.QEL"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(singleInstanceKey(row.finalPath, upperLatin1), WString(row.key))
            << std::string(row.finalPath, row.finalPath + wcslen(row.finalPath));
    }
    // Names that differ beyond A to Z name one lock once upper-cased.
    EXPECT_EQ(singleInstanceNames(singleInstanceKey(L"\\\\?\\C:\\Caf\u00e9\\Shop.qel", upperLatin1)).mutex,
              singleInstanceNames(singleInstanceKey(L"\\\\?\\C:\\CAF\u00c9\\shop.qel", upperLatin1)).mutex);
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

    // The launcher's own message box comes first, to end in front of its VM's
    // windows; its hidden dialogs and other programs' boxes stay where they are.
    std::vector<TopLevelWindow> withBoxes = windows;
    withBoxes.push_back({8, 400, true, false, true});  // another program's box
    withBoxes.push_back({9, 100, false, false, true});  // a hidden dialog of the launcher
    withBoxes.push_back({10, 100, true, false, true});  // the launcher's box
    withBoxes.push_back({11, 200, true, true, true});  // a dialog of the VM, owned by its window
    EXPECT_EQ(windowsOfFirstInstance(withBoxes, processes, kFirstLauncher),
              (std::vector<std::uintptr_t>{10, 3, 7}));
    EXPECT_TRUE(windowsOfFirstInstance(withBoxes, processes, 0).empty());
    // Unknown or unpublished launcher: nothing.
    EXPECT_TRUE(windowsOfFirstInstance(windows, processes, 0).empty());
    EXPECT_TRUE(windowsOfFirstInstance(windows, processes, 999).empty());
    EXPECT_TRUE(windowsOfFirstInstance({}, processes, kFirstLauncher).empty());
}
