#pragma once

// What a stand-in VM program (tests/fixtures/standin_vm.cpp) saw of its start,
// read back from the record file it appends to, and its settings file written
// beside an installed copy.
//
// A stand-in takes these settings, from its environment or else from the file
// <its path without ".exe">.standin (lines "NAME=value", UTF-8):
//   QEL_STANDIN_RECORD    the record file (no record without it)
//   QEL_STANDIN_EXIT      its exit code, decimal (may be negative) or "0x" hex
//   QEL_STANDIN_SLEEP_MS  how long it stays alive after the record; "infinite"
//   QEL_STANDIN_PRINT     a line it writes to its standard output
//   QEL_STANDIN_CTRL_C    the exit code it ends with on Ctrl+C or Ctrl+Break
//   QEL_STANDIN_STOP_LINE "exit:<code>": read standard input and end with <code>
//                         on the line "ravelin-stop"; "ignore": read it all, then
//                         stay until killed
//   QEL_STANDIN_HANDOFF_COPY a file it copies its hand-off file to (the argument
//                         after the one ending in ".qel"), before the record

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/wstring.h"

namespace qel::test {

struct StandinRecord {
    unsigned long processId = 0;
    // The process's creation time: 100 ns units since 1601 (a FILETIME as one count).
    unsigned long long creationTime = 0;
    WString modulePath;
    WString commandLine;
    WString workingDirectory;
    // argv as the C runtime split the command line; args[0] is the program.
    std::vector<WString> args;
    // CLASSPATH; std::nullopt when the variable is not set at all.
    std::optional<WString> classPath;
    // Attached to a console (with a window or not), and whether it has a window.
    bool hasConsole = false;
    bool hasConsoleWindow = false;
    WString consoleTitle;
    // Kinds of the standard input, output and error handles, in that order:
    // "none", "invalid", "console", "file", "pipe", "char" or "unknown".
    std::array<WString, 3> standardHandles;
};

// Every complete record in the file, oldest first. A missing file has none; a
// record cut short at the end of the file (its writer still running or killed)
// is left out. A damaged record elsewhere throws std::runtime_error.
std::vector<StandinRecord> readStandinRecords(const WString& file);

// What stand-ins with QEL_STANDIN_STOP_LINE read from their standard input: the
// lines (each with its line end) in the order read, and how the input ended
// ("eof" or "error <n>"; none while it has not).
struct StandinInput {
    std::vector<WString> lines;
    std::optional<WString> end;
};

// The input lines the record file holds beside its records; a missing file has
// none.
StandinInput readStandinInput(const WString& file);

// The settings file of the stand-in installed at programPath: the path with
// ".standin" in place of ".exe".
WString standinSettingsPath(const WString& programPath);

// Writes the settings file beside the stand-in, one "NAME=value" line per pair
// (UTF-8 bytes as given), replacing an earlier one.
void writeStandinSettings(const WString& programPath, const std::vector<std::pair<std::string, std::string>>& settings);

}  // namespace qel::test
