#pragma once

// Application arguments as a user types them in cmd, and what the application's
// main method must receive: the table the end-to-end tests of the windowed
// launcher (through a stand-in VM) and of the real JVM share. The launcher is
// started in a directory that holds notes.txt (kTypedArgumentsFile).

#include <utility>
#include <vector>

#include "base/wstring.h"

namespace qel::test {

inline constexpr const wchar_t* kTypedArgumentsFile = L"notes.txt";

struct TypedArgument {
    // As typed, quotes and all.
    const wchar_t* typed;
    // What main receives; nullptr: the typed file made absolute in the start
    // directory.
    const wchar_t* received;
};

inline const std::vector<TypedArgument>& typedArguments()
{
    static const std::vector<TypedArgument> rows = {
        // Backslashes before a closing quote.
        {LR"("C:\my dir\\")", LR"(C:\my dir\\)"},
        {LR"("C:\my dir\\\")", LR"(C:\my dir\\\)"},
        {LR"("a b\\")", LR"(a b\\)"},
        {L"next", L"next"},
        {LR"("C:\my dir\")", LR"(C:\my dir\)"},  // one trailing backslash, as shortcuts hold it
        {LR"(C:\plain\)", LR"(C:\plain\)"},
        // Quoted groups that open with a blank or hold blanks only; runs of blanks.
        {LR"(" a")", L" a"},
        {LR"(" ")", L" "},
        {LR"("   ")", L"   "},
        {LR"("a  b")", L"a  b"},
        {LR"("")", L""},
        // Devices are no files of the start directory.
        {L"con", L"con"},
        {L"nul", L"nul"},
        {L"aux", L"aux"},
        {L"nul.txt", L"nul.txt"},
        {L"COM1", L"COM1"},
        // A switch inside a quoted argument is the application's text.
        {LR"("x -kwqelservice y")", L"x -kwqelservice y"},
        {LR"("-i console")", L"-i console"},
        // Quotes inside a word, tabs, characters beyond ASCII.
        {LR"(say"hi)", LR"(say"hi)"},
        {LR"(a\"b)", LR"(a\"b)"},
        {L"tab\there", L"tab\there"},
        {L"\u00e9\u4e2d\U0001F600", L"\u00e9\u4e2d\U0001F600"},
        // A file of the start directory, made absolute.
        {kTypedArgumentsFile, nullptr},
    };
    return rows;
}

// The whole typed tail: the rows separated by one blank.
inline WString typedArgumentsLine()
{
    WString line;
    for (const auto& row : typedArguments()) {
        line += (line.empty() ? L"" : L" ") + WString(row.typed);
    }
    return line;
}

// The argument as the VM's C runtime gives it: the launcher doubles every
// backslash of an application's argument, which the Java side halves again.
inline WString doubledBackslashes(const WString& argument)
{
    WString text;
    for (const wchar_t unit : argument) {
        text += unit == L'\\' ? WString(L"\\\\") : WString(1, unit);
    }
    return text;
}

// What main receives for the rows, the file made absolute in startDirectory.
inline std::vector<WString> receivedArguments(const WString& startDirectory)
{
    std::vector<WString> received;
    for (const auto& row : typedArguments()) {
        received.push_back(row.received != nullptr ? WString(row.received) : startDirectory + L"\\" + row.typed);
    }
    return received;
}

}  // namespace qel::test
