#pragma once

// The lines the VM search and the selection write into the trace. A VM is
// described once, when it is found, under the number the search gave it
// ("VM 3"); every later line names it by that number. Pure rules: nothing here
// touches Windows.

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "base/wstring.h"
#include "vm/java_vm.h"

namespace qel {

// "VM 3"; "the named program" for a VM the search did not number.
WString vmName(const JavaVm& vm);

// What a VM is: "home C:\jdk-17, version 17.0.12, family J2, kind JDK, vendor
// class Sun (company "Eclipse Adoptium")". The vendor class is the rules' own
// ("Sun", "Tav" or "Microsoft"), the company the name its program gives. A VM
// without a version says so in place of the version and the family it counts
// as. The note follows the version: "(its program's; the key says 1.8.0)".
WString describeVm(const JavaVm& vm, std::wstring_view versionNote = {});

// "found VM 3 in C:\Tools\java.exe: home ...": where the search found the VM,
// and what it is.
WString foundLine(const JavaVm& vm, std::wstring_view where, std::wstring_view versionNote = {});

// "found VM 4 in C:\jdk\bin\javaw.exe: the same home and version as VM 3": a
// VM the duplicate check will remove, not described again.
WString foundAgainLine(const JavaVm& vm, std::wstring_view where, const JavaVm& earlier);

// "duplicate removed: VM 4, the same home and version as VM 3, which is kept".
WString duplicateLine(const JavaVm& removed, const JavaVm& kept);

// A directory of Path and the Java programs found in it: "directory C:\Tools:
// java.exe, javaw.exe"; without programs, "no Java program" or, for a
// directory that is not there, "does not exist".
WString pathDirectoryLine(std::wstring_view directory, const std::vector<WString>& programs, bool exists);

// "1 home", "2 homes", or for 0 the text for none ("no home"): a count with
// its noun.
WString countOf(std::size_t count, std::wstring_view one, std::wstring_view many, std::wstring_view none);

// A key the search read that lacks a value its layout needs, for example a
// JavaSoft release without MicroVersion: "left out registry HKLM\...\17: it
// lacks MicroVersion".
WString leftOutLine(std::wstring_view key, std::wstring_view lacks);

// "inventory, lowest version first: VM 2 (no version information), VM 1
// (1.8.0_401)"; "inventory: no VM" when empty.
WString inventoryLine(const std::vector<std::unique_ptr<JavaVm>>& entries);

// One token's verdicts on the VMs, in their order: "token JRE_17+ accepts VM 5,
// VM 6" (or "accepts none"), then a line for each VM it rejects, with the
// reason: "token JRE_17+ rejects VM 3: kind JDK, the token asks for JRE".
std::vector<WString> tokenVerdictLines(std::wstring_view token, const std::vector<std::unique_ptr<JavaVm>>& entries);

// "chosen: VM 6 (C:\jre-25, version 25.0.1): the highest version a token
// accepts"; of several accepted VMs with that version, the line says that the
// one found last was taken. accepted holds the VMs some token accepts, lowest
// version first, the chosen one last.
WString chosenLine(const std::vector<JavaVm*>& accepted);

}  // namespace qel
