// Starting the VM process when it cannot start: the failure carries message 103,
// so that a service reports the number of the message a normal run shows.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/errors.h"
#include "launch/launch_process.h"
#include "launch/launch_request.h"
#include "support/failures.h"
#include "support/test_files.h"

using namespace qel;

TEST(VmStart, FailuresCarryMessage103)
{
    test::TempDir dir;
    struct Case {
        const char* label;
        WString workingDir;
        WString program;
        unsigned long windowsError;
    };
    const Case cases[] = {
        // Refused before anything starts: longer than a process's directory.
        {"working directory too long", dir / WString(300 - dir.path().size() - 1, L'd'), dir / L"vm.exe",
         ERROR_DIRECTORY},
        {"no such program", dir.path(), dir / L"missing.exe", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        LaunchRequest request;
        request.workingDir = c.workingDir;
        const auto error = test::thrownBy<TerminalError>(
            [&] { startVmProcess(request, L"\"" + c.program + L"\" -version"); }, c.label);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->messageId, 103);
        EXPECT_EQ(error->message,
                  L"Windows error " + std::to_wstring(c.windowsError) + L" occured while loading the Java VM")
            << test::narrow(error->message);
    }
}
