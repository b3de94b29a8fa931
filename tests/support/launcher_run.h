#pragma once

// Runs a program the way a user starts it and watches it: the message box it
// shows is read and dismissed, its standard output and error are captured, and
// its exit code is returned.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/wstring.h"

namespace qel::test {

struct MessageBoxText {
    WString caption;
    WString text;
    // The box has the buttons Yes and No (MB_YESNO) rather than OK.
    bool asksYesNo = false;
};

struct ProgramRun {
    unsigned long exitCode = 0;
    // Every message box the program showed, in order; each was answered as
    // RunOptions::boxAnswer says.
    std::vector<MessageBoxText> boxes;
    // Standard output and standard error, each captured apart, as bytes.
    std::string standardOutput;
    std::string standardError;
    bool timedOut = false;
};

struct RunOptions {
    // Appended after the quoted program path, separated by one space when not empty.
    WString arguments;
    // The whole command line exactly as given, in place of the quoted program
    // path and the arguments; the program is still started from its path.
    std::optional<WString> commandLine;
    // Empty: the directory of the program.
    WString currentDirectory;
    // Variables set (or, with an empty value, removed) for the program only.
    std::vector<std::pair<WString, WString>> environment;
    unsigned long timeoutMs = 60000;
    // Started without the test's console, as Explorer starts a program: a
    // windowed program then has no console until it allocates one.
    bool detached = true;
    // Started without any standard handles, as Explorer starts a program (and
    // detached): nothing of its output is captured.
    bool noStandardHandles = false;
    // Started with a console of its own, as a shell window gives one to the
    // programs it starts (its standard handles are still the test's files and
    // pipes); detached is then not looked at.
    bool newConsole = false;
    // Standard output is a pipe, read by the test while the program runs and
    // until every writer (the program and what it started) has closed it.
    bool outputThroughPipe = false;
    // Standard input is a pipe that stays open and empty until the program ends,
    // so a program that reads it waits until the timeout.
    bool silentStandardInput = false;
    // Standard input is a pipe that holds these bytes and then ends.
    std::optional<std::string> standardInput;
    // The button every message box is answered with: IDOK (1), IDYES (6), IDNO (7).
    int boxAnswer = 1;
};

// Starts the program with the given command line tail and waits for it to end,
// dismissing its message boxes on the way.
ProgramRun runProgram(const WString& program, const RunOptions& options = {});

// This process's environment with the changes applied (an empty value removes
// the variable, in any spelling of its name), as a sorted block.
std::wstring environmentBlock(const std::vector<std::pair<WString, WString>>& changes);

// The command line text runProgram passes: the quoted program, then the arguments.
WString commandLineFor(const WString& program, const WString& arguments);

// The built executables installLauncher copies.
inline constexpr const wchar_t* kWindowedLauncher = L"ravelin.exe";
inline constexpr const wchar_t* kConsoleTwin = L"ravelinc.exe";

// Copies the built launcher (or its console twin) into dir under the given file
// name; returns its path.
WString installLauncher(const WString& dir, const WString& name, const wchar_t* built = kWindowedLauncher);

// The error code Windows gives for starting this program (0 when it starts; it
// is then ended at once).
unsigned long startError(const WString& program);

// The first message box of a run, for assertions; std::nullopt when none showed.
std::optional<MessageBoxText> firstBox(const ProgramRun& run);

}  // namespace qel::test
