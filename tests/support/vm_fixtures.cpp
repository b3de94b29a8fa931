#include "vm_fixtures.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "base/handles.h"
#include "machine_guard.h"
#include "test_files.h"
#include "vm/install_keys.h"

namespace qel::test {

void installStandIn(const wchar_t* standIn, const WString& target)
{
    const auto slash = target.rfind(L'\\');
    if (slash != WString::npos) {
        makeDirectories(target.substr(0, slash));
    }
    const WString source = binaryDir() + L"\\" + standIn;
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        throw std::runtime_error("cannot copy " + narrow(source) + " to " + narrow(target));
    }
}

void claimCompanyNameLength(const WString& program, std::uint16_t units)
{
    std::string bytes = readFile(program);
    std::string key;
    for (const char unit : std::string("CompanyName")) {
        key += unit;
        key += '\0';
    }
    const auto at = bytes.find(key);
    if (at == std::string::npos || at < 6 || bytes.find(key, at + 1) != std::string::npos) {
        throw std::runtime_error("no single CompanyName key in " + narrow(program));
    }
    // A String structure is wLength, wValueLength, wType, then the key, each
    // 16-bit field little-endian.
    bytes[at - 4] = static_cast<char>(units & 0xFF);
    bytes[at - 3] = static_cast<char>(units >> 8);
    writeFile(program, bytes);
}

VmTree& VmTree::program(const WString& relative, const wchar_t* standIn)
{
    installStandIn(standIn, *this / relative);
    return *this;
}

VmTree& VmTree::file(const WString& relative, const std::string& bytes)
{
    writeFile(*this / relative, bytes);
    return *this;
}

VmTree& VmTree::directory(const WString& relative)
{
    makeDirectories(*this / relative);
    return *this;
}

ExistsProbe existsOnly(std::initializer_list<WString> paths)
{
    return [known = std::set<WString>(paths)](const WString& path) { return known.count(path) > 0; };
}

CapturedStdout::CapturedStdout()
{
    static TempDir dir;
    static unsigned counter = 0;
    file_ = dir / (L"stdout-" + std::to_wstring(++counter) + L".txt");
    std::fflush(stdout);
    saved_ = _dup(_fileno(stdout));
    const int target = _wopen(file_.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
    if (saved_ == -1 || target == -1) {
        throw std::runtime_error("cannot capture the standard output");
    }
    _dup2(target, _fileno(stdout));
    _close(target);
}

CapturedStdout::~CapturedStdout()
{
    std::fflush(stdout);
    _dup2(saved_, _fileno(stdout));
    _close(saved_);
}

std::string CapturedStdout::text()
{
    std::fflush(stdout);
    return readFile(file_);
}

int countLines(const std::string& text, const std::string& prefix)
{
    int count = 0;
    for (std::size_t start = 0; start < text.size();) {
        if (text.compare(start, prefix.size(), prefix) == 0) {
            ++count;
        }
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return count;
}

namespace {

UniqueKey createKey(const WString& keyPath, RegistryView view, HKEY root = HKEY_LOCAL_MACHINE)
{
    HKEY key = nullptr;
    const REGSAM access = KEY_ALL_ACCESS | (view == RegistryView::Wow32 ? KEY_WOW64_32KEY : 0);
    const LONG result = RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, access, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) {
        throw std::runtime_error("cannot create " + std::string(root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU") + "\\" +
                                 narrow(keyPath) + ", error " + std::to_string(result));
    }
    return UniqueKey(key);
}

void setValue(const WString& keyPath, const WString& name, DWORD type, const void* data, DWORD size, RegistryView view)
{
    requireMachineMayChange("write the registry");
    const UniqueKey key = createKey(keyPath, view);
    const LONG result = RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    if (result != ERROR_SUCCESS) {
        throw std::runtime_error("cannot set " + narrow(name) + ", error " + std::to_string(result));
    }
}

}  // namespace

void setRegistryString(const WString& keyPath, const WString& name, const WString& value, unsigned long type,
                       RegistryView view)
{
    // The value as given, with one terminating null (a REG_MULTI_SZ value brings
    // its own separators and its final empty string).
    setValue(keyPath, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), view);
}

void setRegistryDword(const WString& keyPath, const WString& name, unsigned long value)
{
    const DWORD data = value;
    setValue(keyPath, name, REG_DWORD, &data, sizeof data, RegistryView::Native);
}

void createRegistryKey(const WString& keyPath, RegistryView view)
{
    requireMachineMayChange("write the registry");
    createKey(keyPath, view);
}

void setRegistryString(RegistryHive hive, RegistryView view, const WString& keyPath, const WString& name,
                       const WString& value)
{
    requireMachineMayChange("write the registry");
    const UniqueKey key =
        createKey(keyPath, view, hive == RegistryHive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
    const LONG result = RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (result != ERROR_SUCCESS) {
        throw std::runtime_error("cannot set " + narrow(name) + ", error " + std::to_string(result));
    }
}

void removeJavaKeys()
{
    requireMachineMayChange("delete the registry's Java keys");
    std::vector<WString> bases = {L"SOFTWARE\\JavaSoft"};
    for (const InstallKeyLayout& layout : installKeyLayouts()) {
        bases.push_back(layoutBase(layout));
    }
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            for (const WString& base : bases) {
                HKEY opened = nullptr;
                if (RegOpenKeyExW(root, base.c_str(), 0, KEY_ALL_ACCESS | view, &opened) == ERROR_SUCCESS) {
                    const UniqueKey key(opened);
                    RegDeleteTreeW(key.get(), nullptr);
                }
                // The key itself, then each maker's key below SOFTWARE that is left
                // without subkeys (deleting a key that has some fails); the
                // system's own Microsoft key is never touched.
                for (WString path = base; path.find(L'\\') != WString::npos; path.resize(path.rfind(L'\\'))) {
                    if (path == L"SOFTWARE\\Microsoft") {
                        break;
                    }
                    RegDeleteKeyExW(root, path.c_str(), view, 0);
                }
            }
        }
    }
}

void removeJavaSoftKeys()
{
    requireMachineMayChange("delete the registry's JavaSoft keys");
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY software = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) == ERROR_SUCCESS) {
            const UniqueKey owner(software);
            RegDeleteTreeW(software, L"JavaSoft");
            RegDeleteKeyExW(software, L"JavaSoft", view, 0);
        }
    }
}

}  // namespace qel::test
