#pragma once

// Which of the launcher's two executables runs: both are built from the same
// sources and differ only in their entry point.

namespace qel {

enum class Frontend {
    // ravelin.exe, a windowed program: errors in a box, and a console window of
    // its own when a run asks for one.
    Windowed,
    // ravelinc.exe, its console twin for command-line applications: it runs in
    // the console of the program that started it, the VM's console program
    // shares that console and the launcher's standard handles, and errors go to
    // standard error with a nonzero exit code.
    Console,
};

}  // namespace qel
