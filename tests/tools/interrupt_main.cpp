// interrupt READY_FILE PROGRAM: for a test that runs it in a console of its own.
// Starts PROGRAM (no arguments) in that console with this program's standard
// handles, waits until READY_FILE holds a complete stand-in record (the
// stand-in VM writes it once its Ctrl+C handler is in place), then sends Ctrl+C
// to every process of the console, and ends with PROGRAM's exit code once
// PROGRAM has ended. This program itself takes the event with a handler and goes
// on. (Wine 8 sends no Ctrl+Break this way: GenerateConsoleCtrlEvent fails with
// error 6 for it.)
//
// A step that fails is written to standard error as "interrupt: ..." and the
// exit code is then 0xB0 and up (the program was not ready in 30 s, or ended
// first; the event could not be sent; the program did not end in 30 s). PROGRAM
// and everything it started run in a job that ends with this program, so that
// nothing is left behind.

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/handles.h"

namespace {

constexpr ULONGLONG kStepMs = 30000;

BOOL WINAPI takeEvent(DWORD)
{
    return TRUE;
}

int fail(int code, const char* what)
{
    std::fprintf(stderr, "interrupt: %s (error %lu)\n", what, GetLastError());
    return code;
}

bool recordComplete(const wchar_t* file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str().find("record.end\n") != std::string::npos;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fputs("usage: interrupt READY_FILE PROGRAM\n", stderr);
        return 2;
    }
    SetConsoleCtrlHandler(takeEvent, TRUE);

    const qel::UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job || !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        return fail(0xB0, "cannot make the job");
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    std::wstring line = L"\"" + std::wstring(argv[2]) + L"\"";
    if (!CreateProcessW(argv[2], line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &info)) {
        return fail(0xB0, "cannot start the program");
    }
    const qel::UniqueHandle process(info.hProcess);
    const qel::UniqueHandle thread(info.hThread);
    if (!AssignProcessToJobObject(job.get(), process.get())) {
        TerminateProcess(process.get(), 0);
        return fail(0xB0, "cannot put the program into the job");
    }
    ResumeThread(thread.get());

    const ULONGLONG readyBy = GetTickCount64() + kStepMs;
    while (!recordComplete(argv[1])) {
        if (WaitForSingleObject(process.get(), 50) == WAIT_OBJECT_0) {
            return fail(0xB1, "the program ended before the stand-in was ready");
        }
        if (GetTickCount64() > readyBy) {
            return fail(0xB2, "the stand-in was not ready");
        }
    }
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        return fail(0xB3, "cannot send Ctrl+C");
    }
    if (WaitForSingleObject(process.get(), static_cast<DWORD>(kStepMs)) != WAIT_OBJECT_0) {
        return fail(0xB4, "the program did not end after Ctrl+C");
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    return static_cast<int>(exitCode);
}
