#include "launcher_run.h"

#include <windows.h>

#include <map>
#include <stdexcept>

#include "base/handles.h"
#include "support/process_start.h"
#include "support/top_windows.h"
#include "test_files.h"

namespace qel::test {

namespace {

// A message box of the process: caption from the window, text from its static
// control (id 0xFFFF), whether it has Yes and No buttons; answered with the
// button given.
std::optional<MessageBoxText> readAndDismissBox(DWORD processId, int answer)
{
    const HWND box = visibleTopWindow(processId, L"#32770");
    if (box == nullptr) {
        return std::nullopt;
    }
    wchar_t caption[1024] = {};
    wchar_t text[4096] = {};
    GetWindowTextW(box, caption, 1024);
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    const bool asksYesNo = GetDlgItem(box, IDYES) != nullptr && GetDlgItem(box, IDNO) != nullptr;
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
    return MessageBoxText{caption, text, asksYesNo};
}

// Appends what the pipe holds now, without waiting for more.
void readAvailable(HANDLE pipe, std::string& text)
{
    DWORD available = 0;
    while (pipe != nullptr && PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!ReadFile(pipe, chunk.data(), available, &read, nullptr) || read == 0) {
            return;
        }
        text.append(chunk.data(), read);
    }
}

// Appends everything until the last writer has closed the pipe.
void readToEnd(HANDLE pipe, std::string& text)
{
    char chunk[4096];
    DWORD read = 0;
    while (pipe != nullptr && ReadFile(pipe, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        text.append(chunk, read);
    }
}

}  // namespace

// The current environment with the changes applied, as a sorted block.
std::wstring environmentBlock(const std::vector<std::pair<WString, WString>>& changes)
{
    std::map<WString, WString> variables;
    const UniqueEnvironmentBlock block(GetEnvironmentStringsW());
    for (const wchar_t* entry = block.get(); *entry != L'\0'; entry += wcslen(entry) + 1) {
        const WString text(entry);
        const auto equals = text.find(L'=', 1);
        if (equals != WString::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    for (const auto& [name, value] : changes) {
        // Names are case-insensitive in Windows: drop every spelling of the name.
        for (auto it = variables.begin(); it != variables.end();) {
            it = CompareStringOrdinal(it->first.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL ? variables.erase(it)
                                                                                                   : std::next(it);
        }
        if (!value.empty()) {
            variables[name] = value;
        }
    }
    std::wstring result;
    for (const auto& [name, value] : variables) {
        result += name + L"=" + value;
        result.push_back(L'\0');
    }
    result.push_back(L'\0');
    return result;
}

WString commandLineFor(const WString& program, const WString& arguments)
{
    WString line = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        line += L" " + arguments;
    }
    return line;
}

ProgramRun runProgram(const WString& program, const RunOptions& options)
{
    TempDir outputDir;
    const WString outputPath = outputDir / L"output.txt";
    const WString errorPath = outputDir / L"error.txt";
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const auto createCapture = [&](const WString& path) {
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            throw std::runtime_error("cannot create " + narrow(path));
        }
        return file;
    };
    UniqueFile output = createCapture(outputPath);
    UniqueFile error = createCapture(errorPath);
    // Through a pipe, the output file stays empty and the pipe's text is kept.
    HANDLE pipeRead = nullptr;
    HANDLE pipeWrite = nullptr;
    if (options.outputThroughPipe && !CreatePipe(&pipeRead, &pipeWrite, &inheritable, 0)) {
        throw std::runtime_error("cannot create the output pipe");
    }
    UniqueHandle outputReader(pipeRead);
    UniqueHandle outputWriter(pipeWrite);
    if (outputReader) {
        SetHandleInformation(outputReader.get(), HANDLE_FLAG_INHERIT, 0);
    }

    HANDLE inputRead = nullptr;
    HANDLE inputWrite = nullptr;
    if ((options.silentStandardInput || options.standardInput) && !CreatePipe(&inputRead, &inputWrite, &inheritable, 0)) {
        throw std::runtime_error("cannot create the input pipe");
    }
    UniqueHandle input(inputRead);
    UniqueHandle inputWriter(inputWrite);  // held open while the program runs
    if (inputWriter) {
        SetHandleInformation(inputWriter.get(), HANDLE_FLAG_INHERIT, 0);
    }
    if (options.standardInput) {
        // Small enough for the pipe's buffer: written whole before the start,
        // then the pipe ends.
        DWORD written = 0;
        if (!WriteFile(inputWriter.get(), options.standardInput->data(),
                       static_cast<DWORD>(options.standardInput->size()), &written, nullptr) ||
            written != options.standardInput->size()) {
            throw std::runtime_error("cannot write the standard input");
        }
        inputWriter.reset();
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!options.noStandardHandles) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = outputWriter ? outputWriter.get() : output.get();
        startup.hStdError = error.get();
    }
    PROCESS_INFORMATION info{};
    WString commandLine = options.commandLine.value_or(commandLineFor(program, options.arguments));
    std::wstring environment = environmentBlock(options.environment);
    WString directory =
        options.currentDirectory.empty() ? program.substr(0, program.rfind(L'\\')) : options.currentDirectory;
    const DWORD console = options.newConsole                              ? CREATE_NEW_CONSOLE
                          : options.detached || options.noStandardHandles ? DETACHED_PROCESS
                                                                          : 0;
    if (const DWORD error =
            startProcess(program.c_str(), commandLine, !options.noStandardHandles, CREATE_UNICODE_ENVIRONMENT | console,
                         environment.data(), directory.c_str(), startup, info)) {
        throw std::runtime_error("cannot start " + narrow(program) + ", error " + std::to_string(error));
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    output.reset();
    error.reset();
    input.reset();
    outputWriter.reset();

    ProgramRun run;
    std::string piped;
    const ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
    while (WaitForSingleObject(process.get(), 50) == WAIT_TIMEOUT) {
        // Read what is there, so that a full pipe does not hold the writer up.
        readAvailable(outputReader.get(), piped);
        if (auto box = readAndDismissBox(info.dwProcessId, options.boxAnswer)) {
            run.boxes.push_back(std::move(*box));
            // Give the box time to close before looking again.
            WaitForSingleObject(process.get(), 200);
        }
        if (GetTickCount64() > deadline) {
            TerminateProcess(process.get(), 0xDEAD);
            WaitForSingleObject(process.get(), INFINITE);
            run.timedOut = true;
            break;
        }
    }
    GetExitCodeProcess(process.get(), &run.exitCode);
    if (run.timedOut) {
        // What the program started may still hold the pipe open.
        readAvailable(outputReader.get(), piped);
    } else {
        readToEnd(outputReader.get(), piped);
    }
    run.standardOutput = outputReader ? piped : readFile(outputPath);
    run.standardError = readFile(errorPath);
    return run;
}

WString installLauncher(const WString& dir, const WString& name, const wchar_t* built)
{
    const WString target = dir + L"\\" + name;
    makeDirectories(dir);
    if (!CopyFileW((binaryDir() + L"\\" + built).c_str(), target.c_str(), FALSE)) {
        throw std::runtime_error("cannot copy the launcher to " + narrow(target));
    }
    return target;
}

unsigned long startError(const WString& program)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const DWORD error = startProcess(nullptr, L"\"" + program + L"\"", FALSE, 0, nullptr, nullptr, startup, info);
    if (error == 0) {
        const UniqueHandle process(info.hProcess);
        const UniqueHandle thread(info.hThread);
        TerminateProcess(process.get(), 0);
    }
    return error;
}

std::optional<MessageBoxText> firstBox(const ProgramRun& run)
{
    if (run.boxes.empty()) {
        return std::nullopt;
    }
    return run.boxes.front();
}

}  // namespace qel::test
