#include "service/log_rotation.h"

#include <utility>

namespace qel {

WString logFileName(std::wstring_view base, int generation)
{
    WString name(base);
    if (generation > 0) {
        name += L'.';
        name += std::to_wstring(generation);
    }
    name += L".log";
    return name;
}

LogRotation::LogRotation(LogFiles& files, WString base, std::uint64_t maxSize, int keep)
    : files_(files), base_(std::move(base)), maxSize_(maxSize < 1 ? 1 : maxSize), keep_(keep < 0 ? 0 : keep),
      used_(files.size(logFileName(base_, 0)))
{
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

void LogRotation::rotate()
{
    bool rotated;
    if (keep_ == 0) {
        rotated = files_.remove(logFileName(base_, 0));
    } else {
        // Each rename's new name was freed just before it; an older file that
        // stays (a rename failed) is never replaced, and the current file is
        // then kept too.
        files_.remove(logFileName(base_, keep_));
        for (int generation = keep_ - 1; generation >= 1; --generation) {
            files_.rename(logFileName(base_, generation), logFileName(base_, generation + 1));
        }
        rotated = files_.rename(logFileName(base_, 0), logFileName(base_, 1));
    }
    if (!rotated) {
        failed_ = true;
    }
    // A current file that could not be rotated takes the next bytes too, and
    // the next try comes after another maxSize bytes.
    used_ = 0;
}

}  // namespace qel
