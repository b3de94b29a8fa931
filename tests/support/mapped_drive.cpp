#include "mapped_drive.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/handles.h"
#include "machine_guard.h"
#include "test_files.h"

namespace qel::test {

namespace {

// Under Wine a drive letter is a symbolic link in the prefix's "dosdevices"
// folder; DefineDosDeviceW only makes an object-namespace link that file names
// do not pass through. Wine's mount manager makes (and removes) the real link, as
// its configuration tool does, when asked with this request.
constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDriveRequest {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;  // a NUL-terminated Unix path after the structure; 0 removes the drive
    USHORT deviceOffset;
    USHORT labelOffset;
};

void defineDrive(wchar_t letter, const std::string& unixPath)
{
    const UniqueFile manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!manager) {
        throw std::runtime_error("cannot open the mount manager, error " + std::to_string(GetLastError()));
    }
    std::vector<char> request(sizeof(UnixDriveRequest) + unixPath.size() + 1, '\0');
    UnixDriveRequest header{};
    header.size = static_cast<ULONG>(request.size());
    header.type = DRIVE_FIXED;
    header.letter = static_cast<WCHAR>(letter + (L'a' - L'A'));
    if (!unixPath.empty()) {
        header.mountPointOffset = sizeof(UnixDriveRequest);
        std::memcpy(request.data() + sizeof(UnixDriveRequest), unixPath.c_str(), unixPath.size() + 1);
    }
    std::memcpy(request.data(), &header, sizeof header);
    DWORD returned = 0;
    if (!DeviceIoControl(manager.get(), kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()), nullptr,
                         0, &returned, nullptr)) {
        throw std::runtime_error("the mount manager refused drive " + std::string(1, static_cast<char>(letter)) +
                                 ", error " + std::to_string(GetLastError()));
    }
}

// The mount manager also notes each drive's type as a value "q:" of this key, and
// leaves it when the drive goes.
constexpr const wchar_t* kDriveTypesKey = L"Software\\Wine\\Drives";

WString driveTypeValue(wchar_t letter)
{
    return WString(1, static_cast<wchar_t>(letter + (L'a' - L'A'))) + L":";
}

bool hasDriveType(wchar_t letter)
{
    return RegGetValueW(HKEY_LOCAL_MACHINE, kDriveTypesKey, driveTypeValue(letter).c_str(), RRF_RT_ANY, nullptr,
                        nullptr, nullptr) == ERROR_SUCCESS;
}

void removeDriveType(wchar_t letter)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDriveTypesKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        const UniqueKey owner(key);
        RegDeleteValueW(key, driveTypeValue(letter).c_str());
    }
}

}  // namespace

MappedDrive::MappedDrive(const WString& directory)
{
    requireMachineMayChange("map a drive letter");
    // A letter whose root leads nowhere. Wine's GetLogicalDrives goes on naming
    // a letter after the mount manager removed its drive, so a test that maps a
    // drive again and again would run out of letters by it.
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        if (GetFileAttributesW(root) == INVALID_FILE_ATTRIBUTES) {
            letter_ = letter;
            break;
        }
    }
    if (letter_ == 0) {
        throw std::runtime_error("no free drive letter from Q to Y");
    }
    hadDriveType_ = hasDriveType(letter_);
    defineDrive(letter_, unixPathOf(directory));
    // The mapping must show the directory's own content.
    const WString marker = directory + L"\\qel-mapped-drive.txt";
    writeFile(marker, "x");
    const bool visible = GetFileAttributesW((root() + L"qel-mapped-drive.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    DeleteFileW(marker.c_str());
    if (!visible) {
        release();
        throw std::runtime_error("drive " + narrow(root()) + " does not show " + narrow(directory));
    }
}

MappedDrive::~MappedDrive()
{
    release();
}

void MappedDrive::release() noexcept
{
    try {
        defineDrive(letter_, {});
    } catch (const std::exception&) {
        // A drive that cannot be removed stays in the test prefix only.
    }
    if (!hadDriveType_) {
        removeDriveType(letter_);
    }
}

WString MappedDrive::root() const
{
    return WString(1, letter_) + L":\\";
}

}  // namespace qel::test
