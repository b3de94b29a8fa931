// The application's arguments as the VM receives them: the argument tail split
// back by Windows' own rules (CommandLineToArgvW, which the C runtime and the
// Java launcher follow) gives each argument with its backslashes doubled, and
// undoubling gives the argument as it was.

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <iterator>
#include <random>
#include <vector>

#include "launch/launch_request.h"
#include "support/test_files.h"
#include "support/typed_arguments.h"

using namespace qel;
using qel::test::narrow;

namespace {

using Lines = std::vector<WString>;

Lines splitBack(const WString& tail)
{
    const WString line = L"java.exe " + tail;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    Lines arguments;
    if (argv == nullptr) {
        ADD_FAILURE() << "CommandLineToArgvW failed with " << GetLastError();
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.emplace_back(argv[i]);
    }
    LocalFree(argv);
    return arguments;
}

// What the Java side does with an argument: each pair of backslashes becomes one.
WString undoubled(const WString& argument)
{
    WString text;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        text.push_back(argument[i]);
        if (argument[i] == L'\\' && i + 1 < argument.size() && argument[i + 1] == L'\\') {
            ++i;
        }
    }
    return text;
}

void expectReadBack(const Lines& arguments)
{
    LaunchRequest request;
    request.appArgs = arguments;
    const WString tail = buildArgumentTail(request);
    const Lines read = splitBack(tail);
    Lines expected;
    Lines restored;
    for (const WString& argument : arguments) {
        expected.push_back(test::doubledBackslashes(argument));
    }
    for (const WString& argument : read) {
        restored.push_back(undoubled(argument));
    }
    EXPECT_EQ(read, expected) << narrow(tail);
    EXPECT_EQ(restored, arguments) << narrow(tail);
}

}  // namespace

TEST(ArgumentTail, ReadsBackAsGivenByWindowsRules)
{
    const Lines rows[] = {
        {L"a", L"", L"b"},
        {L""},
        {L"", L""},
        {L"tab\there"},
        {L"\t"},
        {L"say \"hi\"", L"\"q\"", L"\""},
        {L"a\\\"b", L"\\\\\"", L"x\\\\\\\"y"},
        {L"C:\\My Files\\a.txt", L"\\\\server\\share\\x", L"-open"},
        {L"caf\u00e9", L"\U0001F600", L"two  words"},
        // Backslashes before the closing quote of an argument that needs quotes.
        {L"C:\\my dir\\", L"C:\\my dir\\\\", L"a b\\\\\\", L"next"},
        {L" \\", L"\t\\\\", L" \\\"", L"\\"},
    };
    for (const auto& row : rows) {
        expectReadBack(row);
    }
}

// Random argument lists of blanks, tabs, quotes, backslashes, letters and
// characters beyond ASCII, the units that the C runtime's rules treat apart,
// every combination included.
TEST(ArgumentTail, RandomArgumentsReadBackWhole)
{
    std::mt19937 random(15);
    const WString units[] = {L"a", L" ", L"\t", L"\"", L"\\", L"\\", L"b", L"\u00e9", L"\U0001F600"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(units) - 1);
    std::uniform_int_distribution<int> length(0, 7);
    std::uniform_int_distribution<int> count(1, 4);
    for (int tried = 0; tried < 3000; ++tried) {
        Lines arguments;
        for (int i = count(random); i > 0; --i) {
            WString argument;
            for (int j = length(random); j > 0; --j) {
                argument += units[pick(random)];
            }
            arguments.push_back(argument);
        }
        expectReadBack(arguments);
        if (HasFailure()) {
            return;
        }
    }
}
