#include "vm/executable_info.h"

#include <algorithm>
#include <initializer_list>

#include "base/path_text.h"
#include "base/text.h"

namespace qel {

namespace {

// Home, kind and vendor of a VM found as this program; the family and version
// come from the caller's own rules.
void describeFromProgram(JavaVm& vm, std::wstring_view path, VmKind kind, const ProgramProbes& probes)
{
    vm.home = homeOf(path);
    vm.kind = kind;
    vm.vendor = probes.vendor();
    if (probes.company) {
        vm.company = probes.company();
    }
}

}  // namespace

WString vendorFrom(std::wstring_view lowerFileName, std::wstring_view company)
{
    if (isMicrosoftVmProgram(lowerFileName)) {
        return L"Microsoft";
    }
    if (toLowerAscii(company).find(L"tav") != WString::npos) {
        return L"Tav";
    }
    return L"Sun";
}

WString versionBlockText(const unsigned char* block, std::size_t blockBytes, std::size_t textOffset,
                         std::size_t claimedUnits)
{
    if (textOffset >= blockBytes) {
        return {};
    }
    const std::size_t units = std::min(claimedUnits, (blockBytes - textOffset) / 2);
    WString text;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned char* unit = block + textOffset + 2 * i;
        const auto value = static_cast<wchar_t>(unit[0] | (unit[1] << 8));
        if (value == L'\0') {
            break;
        }
        text.push_back(value);
    }
    return text;
}

VmKind classifyExecutable(std::wstring_view path, const ExistsProbe& exists)
{
    const WString name = fileName(path, LetterCase::Lower);
    if (isMicrosoftVmProgram(name)) {
        return VmKind::MSJ;
    }
    if (isJ1RuntimeProgram(name)) {
        return VmKind::JRE;
    }
    // Only a kit carries the compiler beside its programs.
    return exists(parentDir(path, L".") + L"\\javac.exe") ? VmKind::JDK : VmKind::JRE;
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

VmVersion versionFromFileVersion(std::wstring_view vendor, const FileVersion& file)
{
    const std::uint32_t f1 = file.f1, f2 = file.f2, f3 = file.f3, f4 = file.f4;
    // From release 9 on, programs of every vendor are numbered
    // release.maintenance.update.patch: 17.0.12.0 is 17.0.12.
    if (f1 >= kModernRelease) {
        return VmVersion::of(f1, f2, f3, f4);
    }
    if (vendor == L"Sun") {
        // 1.4.20.5 is 1.4.2_05, 5.0.60.5 is 5.0.6 and 8.0.4010.9 is 1.8.0_401: the
        // third field counts tenths.
        if (f1 == 1) {
            return VmVersion::of(f2, f3 / 10, f4);
        }
        return VmVersion::of(f1, f2, f3 / 10);
    }
    return VmVersion::of(f2, f3, f4);
}

std::optional<VmVersion> versionFromLayout(std::wstring_view path, const ExistsProbe& exists)
{
    const WString dir = parentDir(path, L".");
    const auto any = [&](std::initializer_list<const wchar_t*> suffixes) {
        for (const wchar_t* suffix : suffixes) {
            if (exists(collapseSeparators(dir + suffix))) {
                return true;
            }
        }
        return false;
    };
    // The newest marker first: each release kept the directories of the ones before.
    if (any({L"\\pack200.exe"})) {
        return kVersion5;
    }
    if (any({L"\\client", L"\\..\\jre\\bin\\client", L"\\server", L"\\..\\jre\\bin\\server"})) {
        return kVersion1_4;
    }
    if (any({L"\\hotspot", L"\\..\\jre\\bin\\hotspot"})) {
        return kVersion1_3;
    }
    if (any({L"\\classic"})) {
        return kVersion1_2;
    }
    return std::nullopt;
}

bool besideJ1Runtime(std::wstring_view path, const ExistsProbe& exists)
{
    const WString dir = parentDir(path, L".");
    return isJ1RuntimeProgram(fileName(path, LetterCase::Lower)) || exists(dir + L"\\jre.exe") ||
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
    return VmVersion::of(f2, f3, f2 >= 4 ? f4 / 10 : f4);
}

VmVersion registeredRuntimeVersion(std::wstring_view currentVersion, std::wstring_view microVersion)
{
    return parseVersion(WString(currentVersion) + L"." + WString(microVersion) + L"_0");
}

void refineFromPluginLibrary(std::wstring_view path, VmKind kind, const ProgramProbes& probes, VmVersion& version)
{
    const WString library = pluginLibraryPath(path, kind);
    if (!probes.exists(library)) {
        return;
    }
    if (const auto fields = probes.versionOf(library)) {
        version = versionFromPluginLibrary(*fields);
    }
}

VmVersion detectVersion(std::wstring_view path, const ProgramProbes& probes)
{
    const VmKind kind = classifyExecutable(path, probes.exists);
    if (kind == VmKind::MSJ) {
        return kVersion1_1_4;
    }
    if (const auto fields = probes.fileVersion()) {
        return versionFromFileVersion(probes.vendor(), *fields);
    }
    // A runtime copied into the system directory is known only to the registry.
    if (fileName(homeOf(path), LetterCase::Lower) == L"system32") {
        return probes.registeredRuntimeVersion();
    }
    if (auto version = versionFromLayout(path, probes.exists)) {
        refineFromPluginLibrary(path, kind, probes, *version);
        return *version;
    }
    if (besideJ1Runtime(path, probes.exists)) {
        return kVersion1_1;
    }
    return VmVersion();
}

JavaVm namedProgramVm(std::wstring_view path, const ProgramProbes& probes)
{
    const VmVersion version = detectVersion(path, probes);
    const VmKind kind = classifyExecutable(path, probes.exists);
    JavaVm vm = isJava2Release(version) ? JavaVm(VmFamily::J2)
                : kind == VmKind::MSJ   ? microsoftVm()
                                        : JavaVm(VmFamily::J1);
    vm.version = version;
    describeFromProgram(vm, path, kind, probes);
    vm.source = L"named program";
    return vm;
}

JavaVm pathProgramVm(std::wstring_view path, const ProgramProbes& probes)
{
    const VmKind kind = classifyExecutable(path, probes.exists);
    JavaVm vm = microsoftVm();
    if (kind != VmKind::MSJ) {
        const VmVersion version = detectVersion(path, probes);
        vm = JavaVm(isJava2Release(version) ? VmFamily::J2 : VmFamily::J1);
        vm.version = version;
    }
    describeFromProgram(vm, path, kind, probes);
    return vm;
}

std::vector<WString> companyNameBlocks(const std::vector<Translation>& translations)
{
    std::vector<WString> blocks;
    const auto add = [&](WString name) {
        if (std::find(blocks.begin(), blocks.end(), name) == blocks.end()) {
            blocks.push_back(std::move(name));
        }
    };
    for (const Translation& translation : translations) {
        if (translation.language == kNeutralLanguage) {
            add(hex4(translation.language) + hex4(translation.codePage));
        }
    }
    add(L"040904b0");
    return blocks;
}

std::vector<WString> programNameBlocks(const std::vector<Translation>& translations)
{
    std::vector<WString> blocks;
    const auto add = [&](WString name) {
        if (std::find(blocks.begin(), blocks.end(), name) == blocks.end()) {
            blocks.push_back(std::move(name));
        }
    };
    for (const Translation& translation : translations) {
        add(hex4(translation.language) + hex4(translation.codePage));
    }
    add(L"040904b0");
    return blocks;
}

std::uint32_t buildNumberFrom(const std::optional<FileVersion>& jviewVersion)
{
    return jviewVersion ? jviewVersion->f3 : 0;
}

}  // namespace qel
