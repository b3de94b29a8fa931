#pragma once

// One Java VM installation the launcher could start. Its family decides the
// option syntax of its command line and which program of the installation
// starts: Java 1.x (J1), Java 2 and later (J2) or the Microsoft VM (Msj).

#include <string_view>

#include "base/probes.h"
#include "base/wstring.h"
#include "vm/version.h"

namespace qel {

enum class VmFamily { J1, J2, Msj };

class JavaVm {
public:
    explicit JavaVm(VmFamily family) : family(family) {}

    // The program to start: see vmProgramPath.
    WString executablePath(bool console, const ExistsProbe& exists) const;

    VmFamily family;
    VmVersion version;
    // The directory above "bin"; a "system32" directory itself.
    WString home;
    // "Sun", "Tav" or "Microsoft".
    WString vendor;
    // The company name the vendor was decided from, as the program's version
    // strings give it; empty when none was read. For reports only.
    WString company;
    VmKind kind = VmKind::JDK;
    // Where the VM was found, for reports: "registry HKLM\SOFTWARE\JavaSoft\JDK\17
    // (64-bit view)", "Path", "JAVA_HOME", "named program"; empty when not known.
    WString source;
    // Its number in the trace ("VM 3"): the search numbers the VMs it finds
    // from 1, in the order it finds them; 0 for a VM it did not find (a named
    // program).
    unsigned number = 0;
};

// The Microsoft VM: vendor "Microsoft", always reported as 1.1.4.
JavaVm microsoftVm();

// The program a family starts from an installation: the console program when the
// launcher has a console, the windowed one otherwise, each from "bin" below the
// home (for a Java 2 VM in "system32", from that directory itself). Where the
// preferred program is missing, the other one is returned without testing it.
// Separators are made uniform; short names are left to the caller.
WString vmProgramPath(VmFamily family, std::wstring_view home, bool console, const ExistsProbe& exists);

// The names of the Microsoft VM's two programs, lower-case: "jview.exe" (console)
// and "wjview.exe" (windowed).
bool isMicrosoftVmProgram(std::wstring_view lowerFileName);

// The names of a Java 1.x runtime's own programs, lower-case: "jre.exe" and
// "jrew.exe".
bool isJ1RuntimeProgram(std::wstring_view lowerFileName);

// Whether the VM satisfies one token of the acceptable-VM list.
bool matchesToken(const JavaVm& vm, std::wstring_view token);

}  // namespace qel
