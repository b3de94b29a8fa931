#include <gtest/gtest.h>

#include <windows.h>

#include "base/system_library.h"
#include "support/test_files.h"

using namespace qel;

namespace {

// The current directory changed for a test, and put back after it.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const WString& directory)
    {
        wchar_t previous[MAX_PATH];
        previous_.assign(previous, GetCurrentDirectoryW(MAX_PATH, previous));
        SetCurrentDirectoryW(directory.c_str());
    }
    ~CurrentDirectory() { SetCurrentDirectoryW(previous_.c_str()); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    WString previous_;
};

}  // namespace

// A function of a system DLL is found once the DLL is loaded from the system
// folder; a function or DLL that is missing gives none and says why.
TEST(SystemLibrary, FindsFunctionsOfSystemDlls)
{
    SystemLibrary version(L"version.dll");
    using GetSize = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    const auto getSize = version.function<GetSize>("GetFileVersionInfoSizeW");
    ASSERT_NE(getSize, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(getSize),
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"version.dll"), "GetFileVersionInfoSizeW")));
    EXPECT_EQ(version.function<GetSize>("NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

    SystemLibrary missing(L"qel-no-such-library.dll");
    EXPECT_EQ(missing.function<GetSize>("GetFileVersionInfoSizeW"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

// Only the system folder is searched: a file of the DLL's name beside the
// program or in the current directory is never loaded (it would fail to load
// as a program with error 193, and a planted DLL would run).
TEST(SystemLibrary, LooksOnlyInTheSystemFolder)
{
    test::TempDir dir;
    test::writeFile(dir / L"qelplanted.dll", "not a program");
    const CurrentDirectory here(dir.path());
    ASSERT_EQ(LoadLibraryW(L"qelplanted.dll"), nullptr);
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << "found in the current directory";
    SystemLibrary planted(L"qelplanted.dll");
    using Any = void(WINAPI*)();
    EXPECT_EQ(planted.function<Any>("Anything"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}
