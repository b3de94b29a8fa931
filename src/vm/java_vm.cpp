#include "vm/java_vm.h"

#include "base/files.h"
#include "base/path_text.h"
#include "launch/console.h"
#include "vm/executable_info.h"

namespace qel {

namespace {

WString inHome(std::wstring_view home, std::wstring_view relative)
{
    return normalizePath(WString(home) + WString(relative));
}

// The preferred program when it exists, otherwise the fallback, untested.
WString preferring(const WString& preferred, const WString& fallback, const ExistsProbe& exists)
{
    return exists(preferred) ? preferred : fallback;
}

}  // namespace

WString vmProgramPath(VmFamily family, std::wstring_view home, bool console, const ExistsProbe& exists)
{
    switch (family) {
    case VmFamily::J1:
        return console ? preferring(inHome(home, L"\\bin\\jre.exe"), inHome(home, L"\\bin\\java.exe"), exists)
                       : preferring(inHome(home, L"\\bin\\jrew.exe"), inHome(home, L"\\bin\\javaw.exe"), exists);
    case VmFamily::J2: {
        // A Java 2 runtime copied into the system directory has no "bin" of its own.
        const std::wstring_view bin = fileName(home, true) == L"system32" ? L"" : L"\\bin";
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

bool matchesToken(const JavaVm& vm, std::wstring_view token)
{
    return matchesToken(vm.kind, vm.version, token);
}

namespace {

bool fileExistsProbe(const WString& path) { return fileExists(path); }

}  // namespace

WString J1Vm::executablePath() const
{
    return vmProgramPath(VmFamily::J1, home, Console::instance().isAllocated(), fileExistsProbe);
}

WString J2Vm::executablePath() const
{
    return vmProgramPath(VmFamily::J2, home, Console::instance().isAllocated(), fileExistsProbe);
}

MsjVm::MsjVm()
{
    vendor = L"Microsoft";
    version = 0x140;
}

WString MsjVm::executablePath() const
{
    return vmProgramPath(VmFamily::Msj, home, Console::instance().isAllocated(), fileExistsProbe);
}

std::uint32_t MsjVm::buildNumber() const
{
    ExecutableInfo jview(home + L"\\jview.exe");
    const auto fields = jview.fileVersion();
    return fields ? fields->f3 : 0;
}

}  // namespace qel
