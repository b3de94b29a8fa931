#pragma once

// One Java VM installation the launcher could start, in one of three families:
// Java 1.x (J1Vm), Java 2 and later (J2Vm) and the Microsoft VM (MsjVm).

#include <cstdint>
#include <functional>
#include <string_view>

#include "base/wstring.h"
#include "vm/version.h"

namespace qel {

// Answers whether a file system object exists. The rules that look around an
// installation take one, so that they can be tried on invented layouts.
using ExistsProbe = std::function<bool(const WString& path)>;

enum class VmFamily { J1, J2, Msj };

class JavaVm {
public:
    // The inventory and the selection own VMs through this base.
    virtual ~JavaVm() = default;
    // Starting the VM is the family's first operation, added with the process launch.
    // The full path of the VM program this family starts.
    virtual WString executablePath() const = 0;

    VmVersion version = 0;
    // The directory above "bin"; a "system32" directory itself.
    WString home;
    // "Sun", "Tav" or "Microsoft".
    WString vendor;
    VmKind kind = VmKind::JDK;

protected:
    JavaVm() = default;
    JavaVm(const JavaVm&) = default;
    JavaVm& operator=(const JavaVm&) = default;
};

class J1Vm : public JavaVm {
public:
    WString executablePath() const override;
};

class J2Vm : public JavaVm {
public:
    WString executablePath() const override;
};

class MsjVm : public JavaVm {
public:
    // The Microsoft VM is always reported as 1.1.4.
    MsjVm();
    WString executablePath() const override;

    // The third field of jview.exe's file version; 0 when it cannot be read.
    std::uint32_t buildNumber() const;
};

// The program a family starts from an installation: the console program when the
// launcher has a console, the windowed one otherwise, each from "bin" below the
// home (for a Java 2 VM in "system32", from that directory itself). Where the
// preferred program is missing, the other one is returned without testing it.
WString vmProgramPath(VmFamily family, std::wstring_view home, bool console, const ExistsProbe& exists);

// Whether the VM satisfies one token of the acceptable-VM list.
bool matchesToken(const JavaVm& vm, std::wstring_view token);

}  // namespace qel
