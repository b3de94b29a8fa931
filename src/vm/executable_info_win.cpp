#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/errors.h"
#include "base/files.h"
#include "base/path_text.h"
#include "vm/executable_info.h"
#include "vm/javasoft.h"
#include "vm/registry_key.h"

namespace qel {

namespace {

std::optional<FileVersion> fixedVersion(const std::vector<unsigned char>& block)
{
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    return FileVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                       LOWORD(fixed->dwFileVersionLS)};
}

// The bytes of the block from a value's position to the block's end; 0 when the
// value lies outside the block. A value's length comes from a header inside the
// block, which the system does not check: the block bounds every read.
std::size_t bytesLeftInBlock(const void* block, std::size_t blockBytes, const void* value)
{
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const auto at = reinterpret_cast<std::uintptr_t>(value);
    return at >= start && at - start <= blockBytes ? blockBytes - (at - start) : 0;
}

// The translation table of a version block; empty when it has none.
std::vector<Translation> translationsOf(const void* block, std::size_t blockBytes)
{
    void* table = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block, L"\\VarFileInfo\\Translation", &table, &length) || table == nullptr) {
        return {};
    }
    const std::size_t bytes = std::min<std::size_t>(length, bytesLeftInBlock(block, blockBytes, table));
    const auto* entries = static_cast<const WORD*>(table);
    std::vector<Translation> translations;
    for (std::size_t i = 0; i + 1 < bytes / sizeof(WORD); i += 2) {
        translations.push_back(Translation{entries[i], entries[i + 1]});
    }
    return translations;
}

// Narrow text for the standard output, in the code page narrow Windows text uses.
std::string narrowForOutput(const WString& text)
{
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

}  // namespace

std::vector<unsigned char> versionBlock(std::wstring_view path, DWORD firstBufferBytes)
{
    const WString name(path);
    // Most blocks fit the first buffer: then the file is read once. The block's
    // first unit is its length; a longer block was cut to the buffer and is read
    // again at the size the system gives.
    std::vector<unsigned char> block(firstBufferBytes);
    if (GetFileVersionInfoW(name.c_str(), 0, firstBufferBytes, block.data())) {
        WORD length = 0;
        if (firstBufferBytes >= sizeof length) {
            std::memcpy(&length, block.data(), sizeof length);
        }
        if (length != 0 && length <= firstBufferBytes) {
            return block;
        }
    } else if (GetLastError() == ERROR_RESOURCE_DATA_NOT_FOUND || GetLastError() == ERROR_RESOURCE_TYPE_NOT_FOUND) {
        return {};  // no version resource
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(name.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    block.assign(size, 0);
    if (!GetFileVersionInfoW(name.c_str(), 0, size, block.data())) {
        return {};
    }
    return block;
}

std::optional<FileVersion> readFileVersion(std::wstring_view path)
{
    std::vector<unsigned char> block = versionBlock(path);
    if (block.empty()) {
        return std::nullopt;
    }
    return fixedVersion(block);
}

namespace {

// Whether the system's queries may walk the block: they follow the lengths its
// headers claim, and a block shorter than its root header says is not walked
// at all.
bool walkable(const void* block, std::size_t blockBytes)
{
    WORD rootLength = 0;
    if (blockBytes < sizeof rootLength) {
        return false;
    }
    std::memcpy(&rootLength, block, sizeof rootLength);
    return rootLength <= blockBytes;
}

// A string value of a walkable version block of blockBytes bytes, from the
// first of the string blocks that has it.
std::optional<WString> stringValueIn(const void* block, std::size_t blockBytes, const std::vector<WString>& blocks,
                                     std::wstring_view valueName)
{
    for (const WString& name : blocks) {
        const WString query = L"\\StringFileInfo\\" + name + L"\\" + WString(valueName);
        void* text = nullptr;
        UINT claimed = 0;
        if (!VerQueryValueW(block, query.c_str(), &text, &claimed) || text == nullptr) {
            continue;
        }
        // The length is the one the value's header claims; it counts the
        // terminating null when there is one.
        const std::size_t offset = blockBytes - bytesLeftInBlock(block, blockBytes, text);
        return versionBlockText(static_cast<const unsigned char*>(block), blockBytes, offset, claimed);
    }
    return std::nullopt;
}

}  // namespace

std::optional<WString> companyNameIn(const void* block, std::size_t blockBytes)
{
    if (!walkable(block, blockBytes)) {
        return std::nullopt;
    }
    // The neutral block the translation table names, else the US English strings.
    return stringValueIn(block, blockBytes, companyNameBlocks(translationsOf(block, blockBytes)), L"CompanyName");
}

ProgramNames programNames(std::wstring_view path)
{
    const std::vector<unsigned char> block = versionBlock(path);
    if (block.empty() || !walkable(block.data(), block.size())) {
        return {};
    }
    const std::vector<WString> blocks = programNameBlocks(translationsOf(block.data(), block.size()));
    return ProgramNames{stringValueIn(block.data(), block.size(), blocks, L"ProductName").value_or(WString()),
                        stringValueIn(block.data(), block.size(), blocks, L"FileDescription").value_or(WString())};
}

namespace {

// The company name of a version block, written to standard output when there is one.
WString reportCompanyName(const std::vector<unsigned char>& block)
{
    if (block.empty()) {
        return {};
    }
    const std::optional<WString> company = companyNameIn(block.data(), block.size());
    if (!company) {
        return {};
    }
    std::printf("company: %s\n", narrowForOutput(*company).c_str());
    // The VM started later shares this stream: what is written here comes first.
    std::fflush(stdout);
    return *company;
}

}  // namespace

WString companyName(std::wstring_view path)
{
    return reportCompanyName(versionBlock(path));
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

ExecutableInfo::ExecutableInfo(std::wstring_view path) : path_(normalizePath(path)) {}

const std::vector<unsigned char>& ExecutableInfo::block()
{
    // A block that could not be read is not remembered: the file may become
    // readable. One that was read serves the version and the company name.
    if (block_.empty()) {
        block_ = versionBlock(path_);
    }
    return block_;
}

std::optional<FileVersion> ExecutableInfo::fileVersion()
{
    if (versionUnavailable_) {
        return std::nullopt;
    }
    if (versionKnown_) {
        return version_;
    }
    const std::vector<unsigned char>& block = this->block();
    if (block.empty()) {
        return std::nullopt;
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
        const WString name = fileName(path_, LetterCase::Lower);
        company_ = isMicrosoftVmProgram(name) ? WString() : reportCompanyName(block());
        vendor_ = vendorFrom(name, company_);
    }
    return vendor_;
}

ProgramProbes ExecutableInfo::probes()
{
    return ProgramProbes{
        [this] { return fileVersion(); },
        [this] { return vendor(); },
        [this] { return company(); },
        diskFileSystem().exists,
        [](const WString& path) { return readFileVersion(path); },
        [] { return registeredRuntimeVersion(); },
    };
}

std::unique_ptr<JavaVm> javaVmFromExecutable(std::wstring_view path)
{
    ExecutableInfo info(path);
    return std::make_unique<JavaVm>(namedProgramVm(info.path(), info.probes()));
}

std::unique_ptr<JavaVm> vmFromPathProgram(std::wstring_view path)
{
    ExecutableInfo info(path);
    return std::make_unique<JavaVm>(pathProgramVm(info.path(), info.probes()));
}

std::uint32_t msvmBuildNumber(std::wstring_view home)
{
    ExecutableInfo jview(WString(home) + L"\\jview.exe");
    return buildNumberFrom(jview.fileVersion());
}

}  // namespace qel
