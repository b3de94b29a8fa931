#include "vm/java_vm.h"

#include "base/path_text.h"

namespace qel {

namespace {

WString inHome(std::wstring_view home, std::wstring_view relative)
{
    return collapseSeparators(WString(home) + WString(relative));
}

// The preferred program when it exists, otherwise the fallback, untested.
WString preferring(const WString& preferred, const WString& fallback, const ExistsProbe& exists)
{
    return exists(preferred) ? preferred : fallback;
}

}  // namespace

JavaVm microsoftVm()
{
    JavaVm vm(VmFamily::Msj);
    vm.vendor = L"Microsoft";
    vm.version = kVersion1_1_4;
    return vm;
}

bool isMicrosoftVmProgram(std::wstring_view lowerFileName)
{
    return lowerFileName == L"jview.exe" || lowerFileName == L"wjview.exe";
}

bool isJ1RuntimeProgram(std::wstring_view lowerFileName)
{
    return lowerFileName == L"jre.exe" || lowerFileName == L"jrew.exe";
}

WString vmProgramPath(VmFamily family, std::wstring_view home, bool console, const ExistsProbe& exists)
{
    switch (family) {
    case VmFamily::J1:
        return console ? preferring(inHome(home, L"\\bin\\jre.exe"), inHome(home, L"\\bin\\java.exe"), exists)
                       : preferring(inHome(home, L"\\bin\\jrew.exe"), inHome(home, L"\\bin\\javaw.exe"), exists);
    case VmFamily::J2: {
        // A Java 2 runtime copied into the system directory has no "bin" of its own.
        const std::wstring_view bin = fileName(home, LetterCase::Lower) == L"system32" ? L"" : L"\\bin";
        const WString consoleProgram = inHome(home, WString(bin) + L"\\java.exe");
        if (console) {
            return consoleProgram;
        }
        return preferring(inHome(home, WString(bin) + L"\\javaw.exe"), consoleProgram, exists);
    }
    case VmFamily::Msj:
        return inHome(home, console ? L"\\jview.exe" : L"\\wjview.exe");
    }
    return {};
}

WString JavaVm::executablePath(bool console, const ExistsProbe& exists) const
{
    return vmProgramPath(family, home, console, exists);
}

bool matchesToken(const JavaVm& vm, std::wstring_view token)
{
    return matchesToken(vm.kind, vm.version, token);
}

}  // namespace qel
