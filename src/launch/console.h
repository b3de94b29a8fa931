#pragma once

namespace qel {

// Whether the launcher opened a console window of its own for this run. The
// console decides which VM program starts (console or windowed) and whether the
// run may end with the "press enter" pause.
class Console {
public:
    static Console& instance();

    bool isAllocated() const { return allocated_; }

private:
    Console() = default;
    bool allocated_ = false;
};

}  // namespace qel
