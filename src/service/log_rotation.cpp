#include "service/log_rotation.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "base/text.h"

namespace qel {

WString logFileName(std::wstring_view base, std::uint64_t number)
{
    WString name(base);
    if (number > 0) {
        name += L'.';
        name += std::to_wstring(number);
    }
    name += L".log";
    return name;
}

std::optional<std::uint64_t> olderLogNumber(std::wstring_view base, std::wstring_view name)
{
    static constexpr std::wstring_view extension = L".log";
    const WString lowered = toLowerAscii(name);
    const WString prefix = toLowerAscii(base) + L'.';
    if (lowered.size() <= prefix.size() + extension.size() || lowered.compare(0, prefix.size(), prefix) != 0 ||
        lowered.compare(lowered.size() - extension.size(), extension.size(), extension) != 0) {
        return std::nullopt;
    }
    const std::wstring_view digits =
        std::wstring_view(lowered).substr(prefix.size(), lowered.size() - prefix.size() - extension.size());
    if (digits.front() == L'0') {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    for (const wchar_t unit : digits) {
        if (unit < L'0' || unit > L'9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uint64_t>(unit - L'0');
        if (number > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
            return std::nullopt;
        }
        number = number * 10 + digit;
    }
    return number;
}

LogRotation::LogRotation(LogFiles& files, WString base, std::uint64_t maxSize, int keep)
    : files_(files), base_(std::move(base)), maxSize_(maxSize < 1 ? 1 : maxSize),
      keep_(keep < 0 ? 0 : static_cast<std::size_t>(keep)), used_(files.size(logFileName(base_, 0)))
{
    for (const WString& name : files_.namesStartingWith(base_ + L'.')) {
        if (const auto number = olderLogNumber(base_, name)) {
            older_.push_back(*number);
        }
    }
    std::sort(older_.begin(), older_.end());
    // The highest number possible ends the numbering: the next rotations fail
    // and the current file takes the bytes.
    next_ = older_.empty() ? 1 : older_.back() == std::numeric_limits<std::uint64_t>::max() ? 0 : older_.back() + 1;
}

void LogRotation::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t feed = bytes.find('\n');
        const bool lineEnds = feed != std::string_view::npos;
        const std::string_view part = bytes.substr(0, lineEnds ? feed + 1 : bytes.size());
        bytes.remove_prefix(part.size());
        if (inLongLine_) {
            // Longer than the size: it is split anyway, so it is written as it comes.
            writeSplit(part);
            inLongLine_ = !lineEnds;
        } else if (lineEnds) {
            if (pending_.empty()) {
                writeLine(part);
            } else {
                pending_ += part;
                writeLine(pending_);
                pending_.clear();
            }
        } else {
            pending_ += part;
            if (pending_.size() > maxSize_) {
                inLongLine_ = true;
                writeSplit(pending_);
                pending_.clear();
            }
        }
    }
}

void LogRotation::finish()
{
    if (!pending_.empty()) {
        writeLine(pending_);
        pending_.clear();
    }
    inLongLine_ = false;
}

// A whole line, into the current file when it fits there, else into a new one;
// only a line longer than the size is split.
void LogRotation::writeLine(std::string_view line)
{
    if (line.size() > maxSize_) {
        writeSplit(line);
        return;
    }
    if (used_ > 0 && used_ + line.size() > maxSize_) {
        rotate();
    }
    append(line);
}

// Bytes that may be split: each file is filled up to the size.
void LogRotation::writeSplit(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (used_ >= maxSize_) {
            rotate();
        }
        const std::uint64_t room = used_ < maxSize_ ? maxSize_ - used_ : bytes.size();
        const std::string_view piece = bytes.substr(0, room < bytes.size() ? static_cast<std::size_t>(room) : bytes.size());
        append(piece);
        bytes.remove_prefix(piece.size());
    }
}

void LogRotation::append(std::string_view bytes)
{
    if (!files_.append(logFileName(base_, 0), bytes)) {
        failed_ = true;
    }
    used_ += bytes.size();
}

// One rename (or, keeping none, one deletion) and the deletion of the oldest
// file beyond the count kept: no older file changes its name.
void LogRotation::rotate()
{
    bool rotated = false;
    if (keep_ == 0) {
        rotated = files_.remove(logFileName(base_, 0));
    } else if (next_ != 0) {
        // A file that took the new name meanwhile is not replaced: the next try
        // takes the number after it.
        const std::uint64_t number = next_;
        next_ = number == std::numeric_limits<std::uint64_t>::max() ? 0 : number + 1;
        rotated = files_.rename(logFileName(base_, 0), logFileName(base_, number));
        if (rotated) {
            older_.push_back(number);
        }
    }
    if (rotated) {
        // Those beyond the count when it was lowered go at the first rotation.
        // An older file that cannot be deleted stays; the next start finds it.
        while (older_.size() > keep_) {
            files_.remove(logFileName(base_, older_.front()));
            older_.pop_front();
        }
    } else {
        failed_ = true;
    }
    // A current file that could not be rotated takes the next bytes too, and
    // the next try comes after another maxSize bytes.
    used_ = 0;
}

}  // namespace qel
