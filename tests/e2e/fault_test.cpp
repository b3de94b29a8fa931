// A fault inside the launcher's process never ends it with 0, which reads as
// success: an exception that nothing handles and a crash end it with exit code
// 1 (any other failure), and the trace says so. The faults are provoked by a
// small program that sets up the launcher's fault report as the entry point
// does (tests/tools/fault_main.cpp).

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/launcher_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr const char* kFailed = "the launcher failed inside its own process: ";
constexpr const char* kEnds = "; it ends with exit code 1\n";

using Fault = LauncherFixture;

}  // namespace

TEST_F(Fault, EachFaultEndsWithAFailureCodeAndATraceLine)
{
    const WString traceFile = dir / L"trace.txt";
    const struct {
        const wchar_t* fault;
        unsigned long exitCode;
        std::string line;
    } rows[] = {
        {L"none", 0, "no fault\n"},
        {L"access-violation", 1, std::string(kFailed) + "Windows exception 0xC0000005 at 0x"},
        {L"stack-overflow", 1, std::string(kFailed) + "Windows exception 0xC00000FD at 0x"},
        {L"thread-exception", 1,
         std::string(kFailed) + "an exception that nothing handled (escaped its thread)" + kEnds},
        {L"noexcept-exception", 1,
         std::string(kFailed) + "an exception that nothing handled (out of a function that throws nothing)" + kEnds},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(narrow(row.fault));
        DeleteFileW(traceFile.c_str());
        RunOptions options;
        options.arguments = row.fault;
        options.environment = {{L"QEL_TRACE", traceFile}};
        const ProgramRun run = runProgram(binaryDir() + L"\\fault.exe", options);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, row.exitCode);
        const std::string trace = readFile(traceFile);
        const std::size_t at = trace.find("] " + row.line);
        ASSERT_NE(at, std::string::npos) << trace;
        if (row.exitCode != 0) {
            EXPECT_NE(trace.find(kEnds, at), std::string::npos) << trace;
        }
    }
}
