#pragma once

// Invented Java installations for the VM discovery tests: stand-in VM programs
// (built by tests/fixtures, each with its own version resource) copied into
// directory trees, JavaSoft registry keys written into the test prefix, and the
// standard output of the test process captured.

#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>

#include "base/wstring.h"
#include "vm/java_vm.h"

namespace qel::test {

// The stand-in programs, by their version resource.
namespace standin {
inline constexpr const wchar_t* kSun1_4_20_5 = L"standin_sun_1_4_20_5.exe";  // company "Example Java Works"
inline constexpr const wchar_t* kSun5_0_60_5 = L"standin_sun_5_0_60_5.exe";
inline constexpr const wchar_t* kSun1_1_8_0 = L"standin_sun_1_1_8_0.exe";
inline constexpr const wchar_t* kSun1_3_10_0 = L"standin_sun_1_3_10_0.exe";
inline constexpr const wchar_t* kTav1_4_2_0 = L"standin_tav_1_4_2_0.exe";  // company "tAV Systems Corporation"
inline constexpr const wchar_t* kTavGerman1_4_2_0 = L"standin_tav_german_1_4_2_0.exe";  // company only in 040704b0
inline constexpr const wchar_t* kMsj5_0_3810_0 = L"standin_msj_5_0_3810_0.exe";  // company "Example Windows Maker"
inline constexpr const wchar_t* kMax65535 = L"standin_max_65535.exe";  // 65535.65535.65535.65535
inline constexpr const wchar_t* kPlugin6_0_20_5 = L"standin_plugin_6_0_20_5.exe";
inline constexpr const wchar_t* kPlugin1_4_2_0 = L"standin_plugin_1_4_2_0.exe";
inline constexpr const wchar_t* kUnversioned = L"standin_unversioned.exe";  // no version resource
// Programs of today, their strings in the language-neutral block 000004b0 that
// their translation table names.
inline constexpr const wchar_t* kJava8_0_4010_9 = L"standin_java_8_0_4010_9.exe";  // 1.8.0_401
inline constexpr const wchar_t* kJava17_0_12_0 = L"standin_java_17_0_12_0.exe";
inline constexpr const wchar_t* kJava21_0_4_0 = L"standin_java_21_0_4_0.exe";  // "Example Runtime Builders"
inline constexpr const wchar_t* kJava25_0_1_0 = L"standin_java_25_0_1_0.exe";
inline constexpr const wchar_t* kTavNeutral1_4_2_0 = L"standin_tav_neutral_1_4_2_0.exe";  // "tAV Systems Corporation"
inline constexpr const wchar_t* kTav17_0_12_0 = L"standin_tav_17_0_12_0.exe";
}  // namespace standin

// Copies a stand-in program to target, creating its directories.
void installStandIn(const wchar_t* standIn, const WString& target);

// Patches a copied program so that the String structure of its CompanyName
// claims a value of the given number of units (its wValueLength), while the
// structure and the block around it stay as they were. Throws unless the file
// holds exactly one UTF-16 "CompanyName" key.
void claimCompanyNameLength(const WString& program, std::uint16_t units);

// An installation tree below a root directory, built step by step.
class VmTree {
public:
    explicit VmTree(WString root) : root_(std::move(root)) {}

    // root\relative is a copy of the stand-in.
    VmTree& program(const WString& relative, const wchar_t* standIn);
    // root\relative is a file with these bytes (empty by default).
    VmTree& file(const WString& relative, const std::string& bytes = {});
    VmTree& directory(const WString& relative);

    const WString& root() const { return root_; }
    WString operator/(const WString& relative) const { return root_ + L"\\" + relative; }

private:
    WString root_;
};

// An exists probe that knows exactly these paths (compared exactly).
ExistsProbe existsOnly(std::initializer_list<WString> paths);

// Everything the C runtime writes to standard output while the object lives goes
// to a file instead; text() reads it back.
class CapturedStdout {
public:
    CapturedStdout();
    ~CapturedStdout();
    CapturedStdout(const CapturedStdout&) = delete;
    CapturedStdout& operator=(const CapturedStdout&) = delete;

    // What was written so far.
    std::string text();

private:
    WString file_;
    int saved_ = -1;
};

// The number of lines of text that begin with prefix.
int countLines(const std::string& text, const std::string& prefix);

// Which registry view a test writes: the one a 64-bit program uses by default, or
// the 32-bit one.
enum class RegistryView { Native, Wow32 };

// Writes below HKEY_LOCAL_MACHINE in the test prefix, creating keys on the way.
void setRegistryString(const WString& keyPath, const WString& name, const WString& value,
                       unsigned long type = 1 /* REG_SZ */, RegistryView view = RegistryView::Native);
void setRegistryDword(const WString& keyPath, const WString& name, unsigned long value);
void createRegistryKey(const WString& keyPath, RegistryView view = RegistryView::Native);
// Removes HKLM\SOFTWARE\JavaSoft with everything below it, from both views.
void removeJavaSoftKeys();

// The machine's keys or the user's.
enum class RegistryHive { LocalMachine, CurrentUser };

// Writes a string value below either hive in the test prefix, in one view,
// creating keys on the way.
void setRegistryString(RegistryHive hive, RegistryView view, const WString& keyPath, const WString& name,
                       const WString& value);

// Removes every key the VM inventory reads (the JavaSoft keys and the base key
// of each installKeyLayouts entry, and parent keys left empty) from both hives
// and both views.
void removeJavaKeys();

}  // namespace qel::test
