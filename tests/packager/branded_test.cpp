// The launcher and its console twin as the packager brands them at build time
// (tests/CMakeLists.txt: icon of four sizes, texts, version, manifest settings),
// read back the way Windows reads them, and run in German: the message string
// tables must come through the branding unchanged.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/expected_texts.h"
#include "support/launcher_run.h"
#include "support/test_files.h"

using namespace qel;
using namespace qel::test;

namespace {

const wchar_t* const kBrandedLauncher = L"branded\\DemoApp.exe";
const wchar_t* const kBrandedTwin = L"branded\\DemoAppc.exe";

WString built(const wchar_t* name)
{
    return binaryDir() + L"\\" + name;
}

std::vector<unsigned char> versionInfo(const WString& file)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<unsigned char> data(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
        ADD_FAILURE() << "no version information in " << narrow(file);
        return {};
    }
    return data;
}

WString versionString(std::vector<unsigned char>& data, const WString& key)
{
    wchar_t* text = nullptr;
    UINT length = 0;
    const WString path = L"\\StringFileInfo\\040904b0\\" + key;
    if (data.empty() || !VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) {
        return L"(missing)";
    }
    return WString(text, length > 0 && text[length - 1] == 0 ? length - 1 : length);
}

// A module loaded for its resources only, freed at the end of the scope.
struct ResourceModule {
    explicit ResourceModule(const WString& file)
        : module(LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE))
    {
    }
    ~ResourceModule()
    {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;
    HMODULE module;
};

std::string manifestOf(const WString& file)
{
    const ResourceModule loaded(file);
    if (loaded.module == nullptr) {
        return "(not loaded)";
    }
    HRSRC found = FindResourceW(loaded.module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (found == nullptr) {
        return "(no manifest)";
    }
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(loaded.module, found)));
    return std::string(bytes, SizeofResource(loaded.module, found));
}

}  // namespace

TEST(BrandedLauncher, VersionInformationAsWindowsReadsIt)
{
    const struct {
        const wchar_t* file;
        const wchar_t* internalName;
        const wchar_t* originalName;
    } cases[] = {{kBrandedLauncher, L"DemoApp", L"DemoApp.exe"}, {kBrandedTwin, L"DemoAppc", L"DemoAppc.exe"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.file));
        auto data = versionInfo(built(c.file));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, (2024u << 16) | 5u);
        EXPECT_EQ(fixed->dwFileVersionLS, 1u << 16);
        EXPECT_EQ(fixed->dwProductVersionMS, (2024u << 16) | 5u);
        EXPECT_EQ(fixed->dwProductVersionLS, 1u << 16);
        const std::pair<const wchar_t*, WString> strings[] = {
            {L"ProductName", L"Demo Product"},        {L"FileDescription", L"Demo application"},
            {L"CompanyName", L"Demo Company"},        {L"LegalCopyright", L"Copyright 2024 Demo Company"},
            {L"FileVersion", L"2024.05.1-rc2"},       {L"ProductVersion", L"2024.05.1-rc2"},
            {L"InternalName", c.internalName},        {L"OriginalFilename", c.originalName}};
        for (const auto& [key, value] : strings) {
            EXPECT_EQ(versionString(data, key), value) << narrow(key);
        }
    }
}

// Each size is a solid colour of its own (TestIcons in the packager's tests):
// the image Windows loads for a size must be that size's, the 256-pixel one a
// PNG inside the icon resource.
TEST(BrandedLauncher, IconImagesAsLoadImageLoadsThem)
{
    const ResourceModule loaded(built(kBrandedLauncher));
    ASSERT_NE(loaded.module, nullptr);
    const struct {
        int size;
        COLORREF rgb;  // 0xRRGGBB
    } cases[] = {{16, 0x00C000}, {32, 0x0000C0}, {48, 0xC0C000}, {256, 0xC00000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        HICON icon = static_cast<HICON>(LoadImageW(loaded.module, MAKEINTRESOURCEW(1), IMAGE_ICON, c.size, c.size, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        ASSERT_NE(GetObjectW(info.hbmColor, sizeof bitmap, &bitmap), 0);
        EXPECT_EQ(bitmap.bmWidth, c.size);
        EXPECT_EQ(bitmap.bmHeight, c.size);
        BITMAPINFO request{};
        request.bmiHeader.biSize = sizeof request.bmiHeader;
        request.bmiHeader.biWidth = c.size;
        request.bmiHeader.biHeight = -c.size;
        request.bmiHeader.biPlanes = 1;
        request.bmiHeader.biBitCount = 32;
        request.bmiHeader.biCompression = BI_RGB;
        std::vector<DWORD> pixels(static_cast<size_t>(c.size) * c.size);
        HDC screen = GetDC(nullptr);
        const int rows = GetDIBits(screen, info.hbmColor, 0, c.size, pixels.data(), &request, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
        ASSERT_EQ(rows, c.size);
        EXPECT_EQ(pixels[pixels.size() / 2] & 0xFFFFFFu, c.rgb);
    }
}

TEST(BrandedLauncher, ManifestCarriesTheSettings)
{
    const std::string windowed = manifestOf(built(kBrandedLauncher));
    EXPECT_NE(windowed.find("level=\"highestAvailable\""), std::string::npos) << windowed;
    EXPECT_NE(windowed.find(">false</dpiAware>"), std::string::npos) << windowed;
    EXPECT_NE(windowed.find(">true</longPathAware>"), std::string::npos) << windowed;
    EXPECT_NE(windowed.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"), std::string::npos);
    // Its identity and description are the program's own.
    EXPECT_NE(windowed.find("name=\"Demo.Company.Demo.Product\""), std::string::npos) << windowed;
    EXPECT_NE(windowed.find("<description>Demo application</description>"), std::string::npos) << windowed;
    const std::string twin = manifestOf(built(kBrandedTwin));
    EXPECT_NE(twin.find("level=\"asInvoker\""), std::string::npos) << twin;
    EXPECT_NE(twin.find(">true</dpiAware>"), std::string::npos) << twin;
}

// Run with LC_ALL=de_DE.UTF-8 (tests/CMakeLists.txt): the branded launcher
// still finds its German texts, and its box is titled with its own product name
// before the German word for error, where ours stands in the caption.
TEST(BrandedLauncher, ShowsItsErrorBoxInGerman)
{
    TempDir dir;
    const WString launcher = installLauncher(dir / L"app", L"Shop.exe", kBrandedLauncher);
    RunOptions options;
    options.environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
    const ProgramRun run = runProgram(launcher, options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, L"Demo Product-Fehler") << narrow(run.boxes[0].caption);
    EXPECT_EQ(run.boxes[0].text, expected::kGermanPropertiesMissing) << narrow(run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 102u);
}

// A program branded with a file description alone is titled with it; one with
// invalid settings shows the same title.
TEST(BrandedLauncher, WithoutAProductNameItsBoxCarriesItsFileDescription)
{
    TempDir dir;
    const WString launcher = installLauncher(dir / L"app", L"Tool.exe", L"branded\\Described.exe");
    writeFile(dir / L"app\\Tool.qel", "qel.class.path=lib/a.jar\r\n");
    RunOptions options;
    options.environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
    const ProgramRun run = runProgram(launcher, options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, L"Described tool-Fehler") << narrow(run.boxes[0].caption);
    // Message 104 in the user's language, and the line that names the missing setting.
    EXPECT_EQ(run.boxes[0].text, WString(expected::kGermanPropertiesInvalid) +
                                     L"\n\nqel.nl.java.launcher.main.class is missing or empty: it names the Java class "
                                     L"the VM starts.")
        << narrow(run.boxes[0].text);
    EXPECT_EQ(run.exitCode, 104u);
}

// Our own launcher, unbranded, keeps its caption.
TEST(UnbrandedLauncher, KeepsItsErrorCaption)
{
    TempDir dir;
    const WString launcher = installLauncher(dir / L"app", L"Shop.exe");
    RunOptions options;
    options.environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
    const ProgramRun run = runProgram(launcher, options);
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, expected::kGermanErrorCaption) << narrow(run.boxes[0].caption);
    EXPECT_EQ(run.exitCode, 102u);
}

TEST(BrandedConsoleTwin, RunsAndWritesItsGermanText)
{
    TempDir dir;
    const WString twin = installLauncher(dir / L"app", L"Shop.exe", kBrandedTwin);
    RunOptions options;
    options.environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
    const ProgramRun run = runProgram(twin, options);
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.standardError, narrow(expected::kGermanPropertiesMissing) + "\n");
    EXPECT_EQ(run.exitCode, 102u);
}
