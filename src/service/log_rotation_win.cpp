#include "service/log_rotation_win.h"

#include <utility>

#include "base/text.h"

namespace qel {

DirectoryLogFiles::DirectoryLogFiles(WString directory) : directory_(std::move(directory)) {}

WString DirectoryLogFiles::pathOf(const WString& name) const
{
    if (directory_.empty() || directory_.back() == L'\\' || directory_.back() == L'/') {
        return directory_ + name;
    }
    return directory_ + L'\\' + name;
}

void DirectoryLogFiles::closeIfOpen(const WString& name)
{
    if (open_ && openName_ == name) {
        open_.reset();
        openName_.clear();
    }
}

std::uint64_t DirectoryLogFiles::size(const WString& name)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(pathOf(name).c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool DirectoryLogFiles::append(const WString& name, std::string_view bytes)
{
    if (!open_ || openName_ != name) {
        open_.reset();
        open_ = UniqueFile(CreateFileW(pathOf(name).c_str(), FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!open_) {
            openName_.clear();
            return false;
        }
        openName_ = name;
    }
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(open_.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool DirectoryLogFiles::rename(const WString& from, const WString& to)
{
    closeIfOpen(from);
    closeIfOpen(to);
    // No MOVEFILE_REPLACE_EXISTING: a file of the new name stays as it is.
    return MoveFileExW(pathOf(from).c_str(), pathOf(to).c_str(), 0) != FALSE;
}

bool DirectoryLogFiles::remove(const WString& name)
{
    closeIfOpen(name);
    return DeleteFileW(pathOf(name).c_str()) != FALSE;
}

std::vector<WString> DirectoryLogFiles::namesStartingWith(const WString& prefix)
{
    std::vector<WString> names;
    WIN32_FIND_DATAW found{};
    const UniqueFind find(FindFirstFileExW(pathOf(prefix + L'*').c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0));
    if (!find) {
        return names;
    }
    do {
        // The pattern matches short names too: the long name must begin with the prefix.
        const std::wstring_view name(found.cFileName);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name.size() >= prefix.size() &&
            toLowerAscii(name.substr(0, prefix.size())) == toLowerAscii(prefix)) {
            names.emplace_back(name);
        }
    } while (FindNextFileW(find.get(), &found));
    return names;
}

}  // namespace qel
