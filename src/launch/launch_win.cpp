// Starting the VM: the hand-off file, the console, and the process itself.

#include <windows.h>

#include <cstdio>

#include "base/errors.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/system_text.h"
#include "base/trace.h"
#include "launch/console.h"
#include "launch/console_rules.h"
#include "launch/handoff_file.h"
#include "launch/launch_process.h"
#include "launch/launch_request.h"
#include "launch/handoff_text.h"
#include "vm/executable_info.h"

namespace qel {

namespace {

// GetTempPathW is asked for at most this many units, so that the file name the
// system adds still fits a 260-unit path.
constexpr DWORD kTempPathUnits = 246;

WString withoutLineEnd(WString text)
{
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) {
        text.pop_back();
    }
    return text;
}

[[noreturn]] void throwTempDirectoryError(const WString& directory, DWORD error)
{
    throw TerminalError(L"The hand-off file for the Java program cannot be created in the temporary directory \"" +
                        directory + L"\": " + withoutLineEnd(systemErrorText(error)));
}

// The directory the temporary folder's variables name, TMP before TEMP, as the
// system reads them; empty when neither is set.
WString temporaryDirectoryVariable()
{
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
        const auto value = readGrowingText(
            [name](wchar_t* buffer, DWORD capacity) { return GetEnvironmentVariableW(name, buffer, capacity); });
        if (value && !value->empty()) {
            return *value;
        }
    }
    return WString();
}

// The absolute form of a working directory, whatever its length; the text as
// given when the system cannot make one.
WString fullWorkingDirectory(const WString& path)
{
    return readGrowingText([&](wchar_t* buffer, DWORD capacity) {
               return GetFullPathNameW(path.c_str(), capacity, buffer, nullptr);
           })
        .value_or(path);
}

HandoffFile* theHandoffFile = nullptr;

}  // namespace

HandoffFile* HandoffFile::made()
{
    return theHandoffFile;
}

void discardHandoffFile()
{
    HandoffFile* file = HandoffFile::made();
    if (file == nullptr) {
        return;
    }
    Trace& trace = Trace::instance();
    if (trace.enabled()) {
        trace.line(L"hand-off file kept: " + file->path());
        return;
    }
    DeleteFileW(file->path().c_str());  // a file that is gone already is no failure
}

HandoffFile& HandoffFile::instance()
{
    static HandoffFile* file = [] {
        wchar_t directory[kTempPathUnits + 1] = {};
        const DWORD length = GetTempPathW(kTempPathUnits, directory);
        if (length == 0) {
            // The system takes no directory from TMP or TEMP (one longer than a
            // path may be, for example): its own reason, and the variable.
            const DWORD error = GetLastError();
            throwTempDirectoryError(temporaryDirectoryVariable(), error);
        }
        if (length > kTempPathUnits) {
            // The reason is the length; the last error belongs to some earlier call.
            const WString whole = readGrowingText([](wchar_t* buffer, DWORD capacity) {
                                      return GetTempPathW(capacity, buffer);
                                  }).value_or(WString());
            throwTempDirectoryError(whole, ERROR_FILENAME_EXCED_RANGE);
        }
        wchar_t name[kPathBufferUnits] = {};
        // The system creates a new, empty file qel<hex>.tmp and gives its name.
        if (GetTempFileNameW(directory, L"qel", 0, name) == 0) {
            throwTempDirectoryError(directory, GetLastError());
        }
        theHandoffFile = new HandoffFile(normalizePath(name));  // never destroyed
        return theHandoffFile;
    }();
    return *file;
}

void HandoffFile::append(const std::vector<WString>& lines)
{
    UniqueFile file(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!file) {
        throw FileException(L"windows could not open the file specified", path_);
    }
    LARGE_INTEGER end{};
    LARGE_INTEGER zero{};
    SetFilePointerEx(file.get(), zero, &end, FILE_END);
    const std::string bytes = handoffBytes(lines);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        const DWORD error = GetLastError();
        // No half-written lines: the file goes back to what it held.
        SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
        SetEndOfFile(file.get());
        throw TerminalError(L"The hand-off file \"" + path_ + L"\" cannot be written: " +
                            withoutLineEnd(systemErrorText(error)));
    }
}

void Console::allocate()
{
    if (allocated_) {
        return;
    }
    // A process that has a console keeps it; the result does not matter.
    AllocConsole();
    // The console's handles are the process's standard handles from now on: the
    // launcher writes its own lines and reads the pause's Enter through them
    // (writeStandardText, waitForEnter). The C runtime's streams keep their old
    // handles until they are bound again; where a stream had no handle before
    // (a launcher started from Explorer), some runtimes refuse to bind it and
    // it stays unusable, which the launcher's own lines no longer depend on.
    std::FILE* ignored = nullptr;
    ignored = std::freopen("CONIN$", "r", stdin);
    ignored = std::freopen("CONOUT$", "w", stdout);
    ignored = std::freopen("CONOUT$", "w", stderr);
    (void)ignored;
    allocated_ = true;
}

namespace {

BOOL WINAPI interruptHandler(DWORD event)
{
    return outlivesConsoleEvent(event) ? TRUE : FALSE;
}

}  // namespace

void Console::outliveInterrupts()
{
    // A handler, not SetConsoleCtrlHandler(NULL, TRUE): that flag would be
    // inherited by the VM, which would then ignore Ctrl+C itself.
    SetConsoleCtrlHandler(interruptHandler, TRUE);
}

void Console::setTitle(const WString& title)
{
    SetConsoleTitleW(title.c_str());
}

bool controlKeyDownNow()
{
    return GetKeyState(VK_CONTROL) < 0;
}

void writeDiagnostic(const WString& text)
{
    writeStandardText(StandardStream::Error, withCrLf(text));
}

void waitForEnter()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD mode = 0;
    DWORD read = 0;
    if (GetConsoleMode(input, &mode)) {
        // A console delivers its input a line at a time: the read returns on
        // Enter, and what was typed before it is left unread.
        wchar_t unit = 0;
        ReadConsoleW(input, &unit, 1, &read, nullptr);
        return;
    }
    char byte = 0;
    ReadFile(input, &byte, 1, &read, nullptr);
}

void* startVmProcess(const LaunchRequest& request, const WString& commandLine)
{
    // The VM inherits the launcher's show-window state, desktop and title.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    // The C runtime's private table of inherited descriptors belongs to the
    // launcher's own start; the VM's runtime must not adopt it.
    startup.cbReserved2 = 0;
    startup.lpReserved2 = nullptr;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    // Read now: after a console was allocated these are the console's.
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);

    const WString workingDirectory = fullWorkingDirectory(request.workingDir);
    writeDiagnostic(workingDirectoryLine(workingDirectory));
    writeDiagnostic(commandLineLine(commandLine));
    Trace& trace = Trace::instance();
    if (trace.enabled()) {
        trace.line(L"working directory: " + workingDirectory);
        trace.line(L"command line: " + commandLine);
    }

    // A directory the system cannot hold whole is refused with the error Windows
    // gives for it, before anything starts: handed over anyway, it may be cut and
    // the VM started somewhere else.
    if (!fitsProcessDirectory(workingDirectory)) {
        throw TerminalError(formatStartFailure(MessageTable::instance().text(MSG_VM_START_FAILED), ERROR_DIRECTORY),
                            MSG_VM_START_FAILED);
    }

    // Longer, it would reach the VM cut short: without its main class or the
    // application's arguments.
    if (!fitsCommandLine(commandLine)) {
        trace.line(commandLineTooLongText(commandLine.size()));
        throw TerminalError(
            formatStartFailure(MessageTable::instance().text(MSG_VM_START_FAILED), ERROR_FILENAME_EXCED_RANGE) +
                L"\n\n" + commandLineTooLongText(commandLine.size()),
            MSG_VM_START_FAILED);
    }

    WString line = commandLine;  // CreateProcessW may write into it
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &info)) {
        const DWORD error = GetLastError();
        trace.line(L"the VM process cannot be created: Windows error " + std::to_wstring(error));
        throw TerminalError(formatStartFailure(MessageTable::instance().text(MSG_VM_START_FAILED), error),
                            MSG_VM_START_FAILED);
    }
    const UniqueHandle thread(info.hThread);
    // The process handle stays open for the rest of the launcher's life: the wait
    // and the service host use it.
    return info.hProcess;
}

void* launchVm(const JavaVm& vm, const WString& executable, LaunchRequest request)
{
    if (vm.family == VmFamily::Msj) {
        if (!msvmBuildAccepted(msvmBuildNumber(vm.home), request.msvmMinVersion)) {
            throw TerminalError(MessageTable::instance().text(MSG_NO_VM), MSG_NO_VM);
        }
        // The Microsoft VM also reads its class path from the environment it
        // inherits: without it, it would start without the application.
        if (!SetEnvironmentVariableW(L"CLASSPATH", request.classPath.join().c_str())) {
            const DWORD error = GetLastError();
            Trace::instance().line(L"CLASSPATH cannot be set: Windows error " + std::to_wstring(error));
            throw TerminalError(formatStartFailure(MessageTable::instance().text(MSG_VM_START_FAILED), error),
                                MSG_VM_START_FAILED);
        }
    }
    for (const WString& warning : leaveOutRefusedOptions(vm, request)) {
        writeDiagnostic(warning);
    }
    const WString commandLine = renderCommandLine(vm.family, executable, vm.home, request);
    return startVmProcess(request, commandLine);
}

std::uint32_t waitForExit(void* process)
{
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    // A failed read keeps 0.
    if (!GetExitCodeProcess(process, &code)) {
        return 0;
    }
    return code;
}

}  // namespace qel
