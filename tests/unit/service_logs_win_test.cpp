#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/handles.h"
#include "service/log_rotation.h"
#include "service/service_logs_win.h"
#include "support/test_files.h"

using namespace qel;

namespace {

// A copy of a write end, as the VM (or a process it started) inherits it.
UniqueHandle copyOf(HANDLE handle)
{
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return UniqueHandle(copy);
}

void writeAll(HANDLE handle, const std::string& bytes)
{
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

// The files of one log, the oldest first: the older ones by number, then
// BASE.log.
std::string logged(const test::TempDir& dir, const WString& base)
{
    std::string all;
    std::vector<std::pair<std::uint64_t, WString>> older;
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileW((dir / (base + L".*.log")).c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (const auto number = olderLogNumber(base, found.cFileName)) {
                older.emplace_back(*number, found.cFileName);
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    std::sort(older.begin(), older.end());
    for (const auto& file : older) {
        all += test::readFile(dir / file.second);
    }
    return all + test::readFile(dir / (base + L".log"));
}

std::string numberedLines(const char* prefix, int count)
{
    std::string lines;
    for (int i = 0; i < count; ++i) {
        lines += std::string(prefix) + " line " + std::to_string(i) + " " + std::string(i % 37, 'x') + "\n";
    }
    return lines;
}

}  // namespace

// The VM's end may come long before the readers have rotated through what it
// wrote: finish returns only once every byte that came through the pipes is in
// the files, in order, the last line without its end too, whatever the wait.
TEST(ServiceLogs, EveryByteIsInTheFilesWhenFinishReturns)
{
    test::TempDir dir;
    const std::string out = numberedLines("out", 2000) + "out's last line without its end";
    const std::string err = numberedLines("err", 2000) + "err's last";
    {
        ServiceLogs logs(dir.path(), L"Shop", 100, 999, [](const WString& text) {
            ADD_FAILURE() << test::narrow(text);
        });
        UniqueHandle vmOutput = copyOf(logs.outputForVm());
        UniqueHandle vmError = copyOf(logs.errorForVm());
        logs.vmStarted();
        writeAll(vmOutput.get(), out);
        writeAll(vmError.get(), err);
        vmOutput.reset();
        vmError.reset();
        // No wait at all for the streams to end.
        logs.finish(0);
        EXPECT_EQ(logged(dir, L"Shop.out"), out);
        EXPECT_EQ(logged(dir, L"Shop.err"), err);
    }
}

// A process the VM started may keep a write end open: after the wait the
// readers take what the pipes hold and end, and what was written is logged.
TEST(ServiceLogs, AWriteEndLeftOpenEndsTheReadersAfterTheWait)
{
    test::TempDir dir;
    ServiceLogs logs(dir.path(), L"Shop", 1000, 5, [](const WString& text) { ADD_FAILURE() << test::narrow(text); });
    UniqueHandle vmOutput = copyOf(logs.outputForVm());
    const UniqueHandle keptOutput = copyOf(logs.outputForVm());
    UniqueHandle vmError = copyOf(logs.errorForVm());
    logs.vmStarted();
    writeAll(vmOutput.get(), "one\ntwo without its end");
    writeAll(vmError.get(), "error\n");
    vmOutput.reset();
    vmError.reset();
    logs.finish(100);
    EXPECT_EQ(logged(dir, L"Shop.out"), "one\ntwo without its end");
    EXPECT_EQ(logged(dir, L"Shop.err"), "error\n");
    // The readers have ended: what comes later is not read.
    writeAll(keptOutput.get(), "later\n");
    EXPECT_EQ(logged(dir, L"Shop.out"), "one\ntwo without its end");
}
