#pragma once

#include <functional>

#include "base/wstring.h"

namespace qel {

// Whether the launcher opened a console window of its own for this run. The
// console decides which VM program starts (console or windowed) and whether the
// run may end with the "press enter" pause.
class Console {
public:
    static Console& instance();

    bool isAllocated() const { return allocated_; }

    // Allocates a console the first time and binds the standard streams to it;
    // later calls do nothing.
    void allocate();

    // The console window's title.
    void setTitle(const WString& title);

private:
    Console() = default;
    bool allocated_ = false;
};

// The end-of-run pause: only in a console the launcher opened, then when the
// pause setting asks for it or the Ctrl key is down at this moment (asked last,
// and only when the setting does not decide).
bool pauseAtEnd(bool consoleAllocated, bool pauseSetting, const std::function<bool()>& controlKeyDown);

}  // namespace qel
