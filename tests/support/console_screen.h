#pragma once

// The console of another process, seen the way its user sees it: this test
// process attaches to it, reads the text on its screen and types into it.

#include <optional>

#include "base/wstring.h"

namespace qel::test {

class AttachedConsole {
public:
    // Leaves this process's own console, if any, and attaches to the console of
    // the process.
    explicit AttachedConsole(unsigned long processId);
    ~AttachedConsole();

    AttachedConsole(const AttachedConsole&) = delete;
    AttachedConsole& operator=(const AttachedConsole&) = delete;

    bool attached() const { return attached_; }

    // The rows of the screen up to the cursor's, each without its trailing
    // blanks and followed by a line feed (a long line fills several rows); none
    // when the screen cannot be read.
    std::optional<WString> screen() const;

    // Types the Enter key into the console's input.
    bool typeEnter() const;

private:
    bool attached_ = false;
};

// The process that started the process, as the system recorded it; 0 when it
// is not known.
unsigned long parentProcessId(unsigned long processId);

}  // namespace qel::test
