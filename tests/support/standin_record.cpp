#include "standin_record.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "test_files.h"

namespace qel::test {

namespace {

WString widen(const std::string& bytes)
{
    if (bytes.empty()) {
        return {};
    }
    const int units =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (units <= 0) {
        throw std::runtime_error("stand-in record: a line that is not UTF-8");
    }
    WString text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
    return text;
}

int hexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
}

// Undoes the stand-in's escapes: \\ \n \r \t and \uXXXX.
WString unescape(const WString& value)
{
    WString text;
    text.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != L'\\') {
            text.push_back(value[i]);
            continue;
        }
        const wchar_t kind = i + 1 < value.size() ? value[i + 1] : L'\0';
        ++i;
        switch (kind) {
        case L'\\':
            text.push_back(L'\\');
            break;
        case L'n':
            text.push_back(L'\n');
            break;
        case L'r':
            text.push_back(L'\r');
            break;
        case L't':
            text.push_back(L'\t');
            break;
        case L'u': {
            unsigned unit = 0;
            for (int d = 1; d <= 4; ++d) {
                const int digit = i + d < value.size() ? hexDigit(value[i + d]) : -1;
                if (digit < 0) {
                    throw std::runtime_error("stand-in record: a bad \\u escape in " + narrow(value));
                }
                unit = unit * 16 + static_cast<unsigned>(digit);
            }
            text.push_back(static_cast<wchar_t>(unit));
            i += 4;
            break;
        }
        default:
            throw std::runtime_error("stand-in record: a bad escape in " + narrow(value));
        }
    }
    return text;
}

unsigned long long number(const WString& name, const WString& value)
{
    if (value.empty() || value.find_first_not_of(L"0123456789") != WString::npos) {
        throw std::runtime_error("stand-in record: " + narrow(name) + " is not a number: " + narrow(value));
    }
    return std::stoull(value);
}

bool yesNo(const WString& name, const WString& value)
{
    if (value != L"yes" && value != L"no") {
        throw std::runtime_error("stand-in record: " + narrow(name) + " is neither yes nor no: " + narrow(value));
    }
    return value == L"yes";
}

// One record being read: its fields, then checks that they agree.
struct Reader {
    StandinRecord record;
    std::optional<std::size_t> argc;
    std::vector<bool> argSeen;
    bool classPathSet = false;

    void field(const WString& name, const WString& value)
    {
        if (name == L"processId") {
            record.processId = static_cast<unsigned long>(number(name, value));
        } else if (name == L"creationTime") {
            record.creationTime = number(name, value);
        } else if (name == L"modulePath") {
            record.modulePath = value;
        } else if (name == L"commandLine") {
            record.commandLine = value;
        } else if (name == L"workingDirectory") {
            record.workingDirectory = value;
        } else if (name == L"argc") {
            argc = static_cast<std::size_t>(number(name, value));
        } else if (name.compare(0, 4, L"arg.") == 0) {
            const auto index = static_cast<std::size_t>(number(name, name.substr(4)));
            if (index >= record.args.size()) {
                record.args.resize(index + 1);
                argSeen.resize(index + 1);
            }
            record.args[index] = value;
            argSeen[index] = true;
        } else if (name == L"classPath.set") {
            classPathSet = yesNo(name, value);
        } else if (name == L"classPath") {
            record.classPath = value;
        } else if (name == L"console") {
            record.hasConsole = yesNo(name, value);
        } else if (name == L"consoleWindow") {
            record.hasConsoleWindow = yesNo(name, value);
        } else if (name == L"consoleTitle") {
            record.consoleTitle = value;
        } else if (name == L"stdin") {
            record.standardHandles[0] = value;
        } else if (name == L"stdout") {
            record.standardHandles[1] = value;
        } else if (name == L"stderr") {
            record.standardHandles[2] = value;
        }
        // Other names are fields this reader does not know yet.
    }

    StandinRecord finish()
    {
        if (!argc || *argc != record.args.size() || std::find(argSeen.begin(), argSeen.end(), false) != argSeen.end()) {
            throw std::runtime_error("stand-in record: the arguments do not match argc");
        }
        if (classPathSet != record.classPath.has_value()) {
            throw std::runtime_error("stand-in record: classPath and classPath.set disagree");
        }
        return std::move(record);
    }
};

}  // namespace

std::vector<StandinRecord> readStandinRecords(const WString& file)
{
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return {};
    }
    const std::string bytes = readFile(file);
    std::vector<StandinRecord> records;
    std::optional<Reader> open;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            break;  // a last line still being written
        }
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == "record.begin") {
            open.emplace();  // an unfinished record before it is dropped
        } else if (line == "record.end") {
            if (open) {
                records.push_back(open->finish());
                open.reset();
            }
        } else if (open) {
            const WString text = widen(line);
            const auto equals = text.find(L'=');
            if (equals == WString::npos) {
                throw std::runtime_error("stand-in record: a line without '=': " + line);
            }
            open->field(text.substr(0, equals), unescape(text.substr(equals + 1)));
        }
    }
    return records;
}

StandinInput readStandinInput(const WString& file)
{
    StandinInput input;
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return input;
    }
    const std::string bytes = readFile(file);
    const std::string lineKey = "input.line=";
    const std::string endKey = "input.end=";
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            break;  // a last line still being written
        }
        const std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (line.compare(0, lineKey.size(), lineKey) == 0) {
            input.lines.push_back(unescape(widen(line.substr(lineKey.size()))));
        } else if (line.compare(0, endKey.size(), endKey) == 0) {
            input.end = unescape(widen(line.substr(endKey.size())));
        }
    }
    return input;
}

WString standinSettingsPath(const WString& programPath)
{
    WString stem = programPath;
    if (stem.size() >= 4 && CompareStringOrdinal(stem.c_str() + stem.size() - 4, 4, L".exe", 4, TRUE) == CSTR_EQUAL) {
        stem.resize(stem.size() - 4);
    }
    return stem + L".standin";
}

void writeStandinSettings(const WString& programPath, const std::vector<std::pair<std::string, std::string>>& settings)
{
    std::string text;
    for (const auto& [name, value] : settings) {
        text += name + "=" + value + "\n";
    }
    writeFile(standinSettingsPath(programPath), text);
}

}  // namespace qel::test
