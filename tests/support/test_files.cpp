#include "test_files.h"

#include <windows.h>

#include <stdexcept>

#include "base/handles.h"
#include "base/system_text.h"
#include "base/trace.h"
#include "process_start.h"

namespace qel::test {

TempDir::TempDir()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    for (unsigned attempt = 0;; ++attempt) {
        WString candidate = WString(base) + L"qeltest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            // The long form, so that tests compare paths as the launcher sees them.
            wchar_t full[MAX_PATH];
            const DWORD length = GetLongPathNameW(candidate.c_str(), full, MAX_PATH);
            path_ = length > 0 && length < MAX_PATH ? WString(full, length) : candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000) {
            throw std::runtime_error("cannot create a temporary directory");
        }
    }
}

TempDir::~TempDir()
{
    removeTree(path_);
}

WString TempDir::operator/(std::wstring_view relative) const
{
    return path_ + L"\\" + WString(relative);
}

void makeDirectories(const WString& path)
{
    for (std::size_t slash = path.find(L'\\', 3);; slash = path.find(L'\\', slash + 1)) {
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
        if (slash == WString::npos) {
            break;
        }
    }
}

void writeFile(const WString& path, std::string_view bytes)
{
    const auto slash = path.rfind(L'\\');
    if (slash != WString::npos) {
        makeDirectories(path.substr(0, slash));
    }
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        throw std::runtime_error("cannot create " + narrow(path));
    }
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - offset, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + offset, chunk, &written, nullptr) || written == 0) {
            throw std::runtime_error("cannot write " + narrow(path));
        }
        offset += written;
    }
}

std::string readFile(const WString& path)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr));
    if (!file) {
        throw std::runtime_error("cannot open " + narrow(path));
    }
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    return bytes;
}

void removeTree(const WString& path)
{
    WIN32_FIND_DATAW entry;
    UniqueFind find(FindFirstFileW((path + L"\\*").c_str(), &entry));
    if (find) {
        do {
            const WString name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const WString child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find.get(), &entry));
    }
    find.reset();
    RemoveDirectoryW(path.c_str());
}

WString binaryDir()
{
    const WString path = runningModulePath();
    return path.substr(0, path.rfind(L'\\'));
}

WString onDriveZ(std::string_view unixPath)
{
    WString path(static_cast<std::size_t>(
                     MultiByteToWideChar(CP_UTF8, 0, unixPath.data(), static_cast<int>(unixPath.size()), nullptr, 0)),
                 L'\0');
    MultiByteToWideChar(CP_UTF8, 0, unixPath.data(), static_cast<int>(unixPath.size()), path.data(),
                        static_cast<int>(path.size()));
    for (auto& unit : path) {
        unit = unit == L'/' ? L'\\' : unit;
    }
    return L"Z:" + path;
}

std::string unixPathOf(const WString& path)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    // Through a function type without parameters, which any function pointer may pass.
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(found));
    if (toUnix == nullptr) {
        throw std::runtime_error("a Unix path needs Wine (wine_get_unix_file_name)");
    }
    char* name = toUnix(path.c_str());
    if (name == nullptr) {
        throw std::runtime_error("no Unix path for " + narrow(path));
    }
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool makeSymbolicLink(const WString& link, const WString& target)
{
    if (GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name") == nullptr) {
        // Windows lets a user without the privilege create links in developer mode.
        constexpr DWORD kAllowUnprivileged = 0x2;
        return CreateSymbolicLinkW(link.c_str(), target.c_str(), kAllowUnprivileged) != 0;
    }
    // Wine starts a Unix program given by its path on drive Z:; its arguments
    // arrive as the Windows rules split the command line.
    const auto quoted = [](const std::string& text) { return L"\"" + WString(text.begin(), text.end()) + L"\""; };
    const WString commandLine = L"ln -s " + quoted(unixPathOf(target)) + L" " + quoted(unixPathOf(link));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (startProcess(L"Z:\\bin\\ln", commandLine, FALSE, 0, nullptr, nullptr, startup, info) != 0) {
        return false;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    // Wine passes on neither a Unix program's exit code nor, reliably, its end:
    // wait for the link itself.
    for (int waited = 0; waited < 5000; waited += 10) {
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

}  // namespace qel::test
