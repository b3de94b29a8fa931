// Starting the VM process when it cannot start: the failure carries message 103,
// so that a service reports the number of the message a normal run shows.

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "base/errors.h"
#include "launch/launch_process.h"
#include "support/failures.h"
#include "support/test_files.h"

using namespace qel;

TEST(VmStart, FailuresCarryMessage103)
{
    test::TempDir dir;
    struct Case {
        const char* label;
        std::optional<LaunchRefusal> refusal;
        WString program;
        unsigned long windowsError;
    };
    const Case cases[] = {
        // Refused before anything starts, as the plan says.
        {"working directory too long", LaunchRefusal{103, ERROR_DIRECTORY, {}}, dir / L"vm.exe", ERROR_DIRECTORY},
        {"no such program", std::nullopt, dir / L"missing.exe", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        LaunchPlan plan;
        plan.workingDirectory = dir.path();
        plan.commandLine = L"\"" + c.program + L"\" -version";
        plan.refusal = c.refusal;
        Trace trace;
        const auto error = test::thrownBy<TerminalError>([&] { startPlannedVm(plan, trace); }, c.label);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->messageId, 103);
        EXPECT_EQ(error->message,
                  L"Windows error " + std::to_wstring(c.windowsError) + L" occured while loading the Java VM")
            << test::narrow(error->message);
    }
}
