#pragma once

// Telling what installation a Java program file belongs to: its kind, home,
// vendor and version, guessed from its version information, the files around
// it and, for a program in "system32", the runtime's registry key.
//
// The rules take what they look at as arguments (ProgramProbes); the functions
// at the end of this header answer them from the real files and registry.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/probes.h"
#include "base/wstring.h"
#include "vm/java_vm.h"
#include "vm/version.h"

namespace qel {

// A fixed file version f1.f2.f3.f4.
struct FileVersion {
    std::uint16_t f1 = 0;
    std::uint16_t f2 = 0;
    std::uint16_t f3 = 0;
    std::uint16_t f4 = 0;
};

// What identifying one program asks of the world. Each question is asked only
// when a rule needs its answer, in the order the rules are tried.
struct ProgramProbes {
    // The program's fixed file version; none when it has none or cannot be read.
    std::function<std::optional<FileVersion>()> fileVersion;
    // "Microsoft", "Tav" or "Sun" (see vendorFrom).
    std::function<WString()> vendor;
    // The company name the vendor was decided from; empty when none was read.
    // Asked only after vendor.
    std::function<WString()> company;
    // Files and directories around the program.
    ExistsProbe exists;
    // The fixed file version of another file (the browser plug-in library).
    std::function<std::optional<FileVersion>(const WString& path)> versionOf;
    // The version of the runtime registered under the JavaSoft key; 0 without one.
    std::function<VmVersion()> registeredRuntimeVersion;
};

// One entry of a version resource's translation table: a language and a code
// page, which together name a block of version strings ("000004b0").
struct Translation {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
};

// The language of version strings that are meant for every language.
inline constexpr std::uint16_t kNeutralLanguage = 0x0000;

// The string blocks the company name is looked for in, in order: each block the
// translation table names in the neutral language (today's Java programs keep
// their strings in "000004b0"), then the US English strings in Unicode,
// "040904b0". A block in any other language is not read.
std::vector<WString> companyNameBlocks(const std::vector<Translation>& translations);

// The string blocks a program's own names are read from, in order: each block
// its translation table names, in any language (the packager brands the first
// one), then the US English strings in Unicode, "040904b0".
std::vector<WString> programNameBlocks(const std::vector<Translation>& translations);

// The vendor from the program's lower-case file name and its company name.
WString vendorFrom(std::wstring_view lowerFileName, std::wstring_view company);

// The text of a string value in a version block of blockBytes bytes, read as
// little-endian UTF-16 units from textOffset: no more units than the length the
// value's header claims, none beyond the end of the block (a claim comes from
// the file and may be anything), and nothing from the first NUL on. Empty when
// the text does not start inside the block.
WString versionBlockText(const unsigned char* block, std::size_t blockBytes, std::size_t textOffset,
                         std::size_t claimedUnits);

VmKind classifyExecutable(std::wstring_view path, const ExistsProbe& exists);

// The installation's home: the parent of a "bin" directory, else the program's
// own directory.
WString homeOf(std::wstring_view path);

// The version a program's fixed file version stands for. Before release 9 vendors
// numbered their files differently ("Sun": 1.4.20.5 is 1.4.2_05, 8.0.4010.9 is
// 1.8.0_401; others: 1.4.2.0 is 1.4.2); from release 9 on every file is
// release.maintenance.update.patch (17.0.12.0 is 17.0.12).
VmVersion versionFromFileVersion(std::wstring_view vendor, const FileVersion& file);

// The version guessed from directories and files beside the program (pack200,
// client, server, hotspot, classic); none when no marker is there.
std::optional<VmVersion> versionFromLayout(std::wstring_view path, const ExistsProbe& exists);

// Whether the program is, or sits beside, a Java 1.x runtime program.
bool besideJ1Runtime(std::wstring_view path, const ExistsProbe& exists);

// Where the browser plug-in library of the program's installation would be.
WString pluginLibraryPath(std::wstring_view path, VmKind kind);

// The version the plug-in library's file version stands for.
VmVersion versionFromPluginLibrary(const FileVersion& library);

// The registered runtime version: CurrentVersion "1.4" and MicroVersion "2" give
// 1.4.2_0.
VmVersion registeredRuntimeVersion(std::wstring_view currentVersion, std::wstring_view microVersion);

// Replaces the version by the plug-in library's, when that library has a version.
void refineFromPluginLibrary(std::wstring_view path, VmKind kind, const ProgramProbes& probes, VmVersion& version);

// The version of the program (a normalised path), from the first rule that
// applies; 0 when none does.
VmVersion detectVersion(std::wstring_view path, const ProgramProbes& probes);

// A VM for a program the user named: Java 2 from release 2 on, else the
// Microsoft VM by its kind, else Java 1.x.
JavaVm namedProgramVm(std::wstring_view path, const ProgramProbes& probes);

// A VM for a program found through Path: the Microsoft VM by its kind, else the
// family of its release.
JavaVm pathProgramVm(std::wstring_view path, const ProgramProbes& probes);

// The build number of the Microsoft VM: the third field of its file version.
std::uint32_t buildNumberFrom(const std::optional<FileVersion>& jviewVersion);

// ---- From the real files and registry -------------------------------------

// Reads the fixed file version of any file; none when it has no version resource.
std::optional<FileVersion> readFileVersion(std::wstring_view path);

// The version block of a file; empty when the file has none or cannot be read.
// The first read uses a buffer of this many bytes, which most blocks fit.
inline constexpr unsigned long kVersionBlockFirstBytes = 8192;
std::vector<unsigned char> versionBlock(std::wstring_view path, unsigned long firstBufferBytes = kVersionBlockFirstBytes);

// The CompanyName of the file's version strings, from the first block of
// companyNameBlocks that has one, or empty. Each name read is also written to
// standard output as "company: <name>".
WString companyName(std::wstring_view path);

// The CompanyName of the US English strings in a version block of blockBytes
// bytes, as GetFileVersionInfoW fills it; none when the block holds no such value.
std::optional<WString> companyNameIn(const void* block, std::size_t blockBytes);

// The names a program's version strings give it, from the first block of
// programNameBlocks that has each; empty where none has it.
struct ProgramNames {
    WString productName;
    WString fileDescription;
};
ProgramNames programNames(std::wstring_view path);

// The version of the runtime registered under the JavaSoft key; 0 when the keys
// or values are missing.
VmVersion registeredRuntimeVersion();

// One program file being examined; its version and vendor are read once.
class ExecutableInfo {
public:
    explicit ExecutableInfo(std::wstring_view path);

    // The file's path, normalised.
    const WString& path() const { return path_; }

    // The fixed file version. A file whose version block cannot be read is asked
    // again next time; one whose block has no fixed version is not.
    std::optional<FileVersion> fileVersion();

    // "Microsoft", "Tav" or "Sun".
    const WString& vendor();

    // The company name vendor() read; empty before, and when there was none.
    const WString& company() const { return company_; }

    // The rules' questions, answered for this file from the disk and registry.
    ProgramProbes probes();

private:
    // The file's version block, read once it could be read.
    const std::vector<unsigned char>& block();

    WString path_;
    std::vector<unsigned char> block_;
    FileVersion version_;
    bool versionKnown_ = false;
    bool versionUnavailable_ = false;
    WString vendor_;
    WString company_;
};

// The VM for a program the user named, with every field set.
std::unique_ptr<JavaVm> javaVmFromExecutable(std::wstring_view path);

// The VM for a program found through Path.
std::unique_ptr<JavaVm> vmFromPathProgram(std::wstring_view path);

// The build number of the Microsoft VM installed in home (its jview.exe); 0 when
// the version cannot be read.
std::uint32_t msvmBuildNumber(std::wstring_view home);

}  // namespace qel
