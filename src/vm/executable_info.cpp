#include "vm/executable_info.h"

#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <vector>

#include "base/errors.h"
#include "base/files.h"
#include "base/path_text.h"
#include "base/text.h"
#include "vm/javasoft.h"
#include "vm/registry_key.h"

namespace qel {

namespace {

// The version block of a file, or empty when the file has none or cannot be read.
std::vector<unsigned char> versionBlock(std::wstring_view path)
{
    const WString name(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(name.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(name.c_str(), 0, size, block.data())) {
        return {};
    }
    return block;
}

std::optional<FileVersion> fixedVersion(std::vector<unsigned char>& block)
{
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    return FileVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                       HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
}

// Narrow text for the standard output, in the code page narrow Windows text uses.
std::string narrowForOutput(const WString& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
    return result;
}

bool existsOnDisk(const WString& path) { return fileExists(path); }

bool isOneOf(const WString& name, std::wstring_view first, std::wstring_view second)
{
    return name == first || name == second;
}

}  // namespace

std::optional<FileVersion> readFileVersion(std::wstring_view path)
{
    std::vector<unsigned char> block = versionBlock(path);
    if (block.empty()) {
        return std::nullopt;
    }
    return fixedVersion(block);
}

ExecutableInfo::ExecutableInfo(std::wstring_view path) : path_(normalizePath(path)) {}

std::optional<FileVersion> ExecutableInfo::fileVersion()
{
    if (versionUnavailable_) {
        return std::nullopt;
    }
    if (versionKnown_) {
        return version_;
    }
    std::vector<unsigned char> block = versionBlock(path_);
    if (block.empty()) {
        return std::nullopt;  // not remembered: the file may become readable
    }
    const auto fields = fixedVersion(block);
    if (!fields) {
        versionUnavailable_ = true;
        return std::nullopt;
    }
    version_ = *fields;
    versionKnown_ = true;
    return version_;
}

const WString& ExecutableInfo::vendor()
{
    if (vendor_.empty()) {
        // The Microsoft VM is known by its name alone; its company is not read.
        const WString name = fileName(path_, true);
        const bool microsoftVm = isOneOf(name, L"jview.exe", L"wjview.exe");
        vendor_ = vendorFrom(name, microsoftVm ? WString() : companyName(path_));
    }
    return vendor_;
}

WString companyName(std::wstring_view path)
{
    std::vector<unsigned char> block = versionBlock(path);
    if (block.empty()) {
        return {};
    }
    // Only the US English strings in Unicode are looked at.
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\CompanyName", reinterpret_cast<void**>(&text),
                        &length) ||
        text == nullptr) {
        return {};
    }
    // The length counts the terminating null when there is one.
    WString company(text, length);
    company.resize(std::wstring_view(company.c_str()).size());
    std::printf("company: %s\n", narrowForOutput(company).c_str());
    // The VM started later shares this stream: what is written here comes first.
    std::fflush(stdout);
    return company;
}

WString vendorFrom(std::wstring_view lowerFileName, std::wstring_view company)
{
    if (isOneOf(WString(lowerFileName), L"jview.exe", L"wjview.exe")) {
        return L"Microsoft";
    }
    if (toLowerAscii(company).find(L"tav") != WString::npos) {
        return L"Tav";
    }
    return L"Sun";
}

VmKind classifyExecutable(std::wstring_view path, const ExistsProbe& exists)
{
    const WString name = fileName(path, true);
    if (isOneOf(name, L"jview.exe", L"wjview.exe")) {
        return VmKind::MSJ;
    }
    if (isOneOf(name, L"jre.exe", L"jrew.exe")) {
        return VmKind::JRE;
    }
    // Only a kit carries the compiler beside its programs.
    return exists(parentDir(path, L".") + L"\\javac.exe") ? VmKind::JDK : VmKind::JRE;
}

VmKind classifyExecutable(const ExecutableInfo& info)
{
    return classifyExecutable(info.path(), existsOnDisk);
}

WString homeOf(std::wstring_view path)
{
    const WString dir = parentDir(path, L".");
    // "bin" anywhere in the last component, case-sensitive; a directory without a
    // backslash is never a "bin".
    const auto lastSeparator = dir.rfind(L'\\');
    if (lastSeparator != WString::npos && dir.find(L"bin", lastSeparator) != WString::npos) {
        return parentDir(dir, L".");
    }
    return dir;
}

WString homeOf(const ExecutableInfo& info)
{
    return homeOf(info.path());
}

VmVersion versionFromFileVersion(std::wstring_view vendor, const FileVersion& file)
{
    const std::uint32_t f1 = file.f1, f2 = file.f2, f3 = file.f3, f4 = file.f4;
    if (vendor == L"Sun") {
        // 1.4.20.5 is 1.4.2_05 and 5.0.60.5 is 5.0.6: the third field counts tenths.
        if (f1 == 1) {
            return packVersion((f2 << 8) | ((f3 / 10) << 4) | f4);
        }
        return packVersion((f1 << 8) | (f2 << 4) | (f3 / 10));
    }
    return packVersion((f2 << 8) | (f3 << 4) | f4);
}

std::optional<VmVersion> versionFromLayout(std::wstring_view path, const ExistsProbe& exists)
{
    const WString dir = parentDir(path, L".");
    const auto any = [&](std::initializer_list<const wchar_t*> suffixes) {
        for (const wchar_t* suffix : suffixes) {
            if (exists(normalizePath(dir + suffix))) {
                return true;
            }
        }
        return false;
    };
    // The newest marker first: each release kept the directories of the ones before.
    if (any({L"\\pack200.exe"})) {
        return VmVersion{0x500};
    }
    if (any({L"\\client", L"\\..\\jre\\bin\\client", L"\\server", L"\\..\\jre\\bin\\server"})) {
        return VmVersion{0x400};
    }
    if (any({L"\\hotspot", L"\\..\\jre\\bin\\hotspot"})) {
        return VmVersion{0x300};
    }
    if (any({L"\\classic"})) {
        return VmVersion{0x200};
    }
    return std::nullopt;
}

bool besideJ1Runtime(std::wstring_view path, const ExistsProbe& exists)
{
    const WString dir = parentDir(path, L".");
    return isOneOf(fileName(path, true), L"jre.exe", L"jrew.exe") || exists(dir + L"\\jre.exe") ||
           exists(dir + L"\\jrew.exe");
}

WString pluginLibraryPath(std::wstring_view path, VmKind kind)
{
    // A kit keeps its runtime, and the plug-in, in "jre\bin" beside its own "bin".
    const WString dir = parentDir(path, L".");
    return (kind == VmKind::JRE ? dir : dir + L"\\..\\jre\\bin") + L"\\NPJava32.dll";
}

VmVersion versionFromPluginLibrary(const FileVersion& library)
{
    const std::uint32_t f2 = library.f2, f3 = library.f3, f4 = library.f4;
    const std::uint32_t releaseAndMaintenance = (((f2 & 0xF) << 8) | (f3 << 4)) & 0x0FF0;
    return packVersion(releaseAndMaintenance | (f2 >= 4 ? f4 / 10 : f4));
}

void refineFromPluginLibrary(const ExecutableInfo& info, VmVersion& version)
{
    const WString library = pluginLibraryPath(info.path(), classifyExecutable(info));
    if (!fileExists(library)) {
        return;
    }
    if (const auto fields = readFileVersion(library)) {
        version = versionFromPluginLibrary(*fields);
    }
}

VmVersion registeredRuntimeVersion(std::wstring_view currentVersion, std::wstring_view microVersion)
{
    return parseVersion(WString(currentVersion) + L"." + WString(microVersion) + L"_0");
}

VmVersion registeredRuntimeVersion()
{
    try {
        const RegistryKey runtimes(HKEY_LOCAL_MACHINE, javasoft::kRuntimeKey);
        const WString current = runtimes.stringValue(javasoft::kCurrentVersion);
        const RegistryKey release(HKEY_LOCAL_MACHINE, WString(javasoft::kRuntimeKey) + L"\\" + current);
        const WString micro = release.stringValue(javasoft::kMicroVersion);
        return registeredRuntimeVersion(current, micro);
    } catch (const KeyException&) {
        return parseVersion(L"0.0.0.0");
    }
}

VmVersion detectVersion(ExecutableInfo& info)
{
    const VmKind kind = classifyExecutable(info);
    if (kind != VmKind::MSJ) {
        if (const auto fields = info.fileVersion()) {
            return versionFromFileVersion(info.vendor(), *fields);
        }
    }
    if (kind == VmKind::MSJ) {
        return 0x140;
    }
    // A runtime copied into the system directory is known only to the registry.
    if (fileName(homeOf(info), true) == L"system32") {
        return registeredRuntimeVersion();
    }
    if (auto version = versionFromLayout(info.path(), existsOnDisk)) {
        refineFromPluginLibrary(info, *version);
        return *version;
    }
    if (besideJ1Runtime(info.path(), existsOnDisk)) {
        return 0x100;
    }
    return 0;
}

void describeFromProgram(JavaVm& vm, ExecutableInfo& info, VmKind kind)
{
    vm.home = homeOf(info);
    vm.kind = kind;
    vm.vendor = info.vendor();
}

std::unique_ptr<JavaVm> javaVmFromExecutable(std::wstring_view path)
{
    ExecutableInfo info(path);
    const VmVersion version = detectVersion(info);
    const VmKind kind = classifyExecutable(info);
    std::unique_ptr<JavaVm> vm;
    if (version >= 0x200) {
        vm = std::make_unique<J2Vm>();
    } else if (kind == VmKind::MSJ) {
        vm = std::make_unique<MsjVm>();
    } else {
        vm = std::make_unique<J1Vm>();
    }
    vm->version = version;
    describeFromProgram(*vm, info, kind);
    return vm;
}

}  // namespace qel
