// watch PROGRAM [ARGUMENTS...]: starts a program as a user would, prints the
// caption and text of every message box it shows (answering each with OK), then
// what it wrote to its standard streams and its exit code. For trying the
// launcher on a machine without a desktop.

#include <windows.h>

#include <cstdio>
#include <iostream>

#include "support/launcher_run.h"
#include "support/test_files.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fputs("usage: watch PROGRAM [ARGUMENTS...]\n", stderr);
        return 2;
    }
    qel::test::RunOptions options;
    for (int i = 2; i < argc; ++i) {
        options.arguments += (i > 2 ? L" " : L"") + qel::WString(argv[i]);
    }
    wchar_t full[MAX_PATH];
    GetFullPathNameW(argv[1], MAX_PATH, full, nullptr);
    options.currentDirectory = qel::WString(full).substr(0, qel::WString(full).rfind(L'\\'));
    const auto run = qel::test::runProgram(full, options);
    for (const auto& box : run.boxes) {
        std::cout << "message box \"" << qel::test::narrow(box.caption) << "\":\n"
                  << qel::test::narrow(box.text) << "\n";
    }
    if (!run.standardOutput.empty()) {
        std::cout << "standard output:\n" << run.standardOutput << "\n";
    }
    if (!run.standardError.empty()) {
        std::cout << "standard error:\n" << run.standardError << "\n";
    }
    std::cout << (run.timedOut ? "timed out" : "exit code: " + std::to_string(run.exitCode)) << std::endl;
    return 0;
}
