#include "sample_service.h"

#include <windows.h>

#include <stdexcept>

#include "test_files.h"

namespace qel::test {

namespace {

WString widen(const std::string& bytes)
{
    if (bytes.empty()) {
        return {};
    }
    const int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    WString text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
    return text;
}

// Undoes the sample service's escapes: \\ \n \r.
WString unescape(const WString& value)
{
    WString text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == L'\\' && i + 1 < value.size()) {
            const wchar_t kind = value[++i];
            text.push_back(kind == L'n' ? L'\n' : kind == L'r' ? L'\r' : kind);
        } else {
            text.push_back(value[i]);
        }
    }
    return text;
}

}  // namespace

SampleService installSampleService(const WString& dir, const std::vector<std::pair<std::string, std::string>>& settings,
                                   Gates gates)
{
    SampleService service{dir + L"\\sample_service.exe", dir + L"\\record.txt", dir + L"\\gates"};
    makeDirectories(service.gateDir);
    const WString source = binaryDir() + L"\\sample_service.exe";
    if (!CopyFileW(source.c_str(), service.program.c_str(), FALSE)) {
        throw std::runtime_error("cannot copy " + narrow(source) + ", error " + std::to_string(GetLastError()));
    }
    std::string text = "record=" + narrow(service.recordFile) + "\r\n";
    if (gates == Gates::Closed) {
        text += "gate_dir=" + narrow(service.gateDir) + "\r\n";
    }
    for (const auto& [name, value] : settings) {
        text += name + "=" + value + "\r\n";
    }
    writeFile(dir + L"\\sample_service.settings", text);
    return service;
}

void openGate(const SampleService& service, const WString& gate)
{
    writeFile(service.gateDir + L"\\" + gate, "");
}

WString serviceCommandLine(const WString& program, const WString& serviceName, const WString& arguments)
{
    WString line = L"\"" + program + L"\" -kwqelservice " + serviceName;
    if (!arguments.empty()) {
        line += L" " + arguments;
    }
    return line;
}

SampleRecord SampleRecord::read(const WString& file)
{
    SampleRecord record;
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return record;
    }
    const std::string bytes = readFile(file);
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            break;  // a line still being written
        }
        const std::string line = bytes.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            throw std::runtime_error("sample service record: a line without '=': " + line);
        }
        record.lines_.emplace_back(line.substr(0, equals), unescape(widen(line.substr(equals + 1))));
        start = end + 1;
    }
    return record;
}

std::optional<WString> SampleRecord::first(const std::string& key) const
{
    const std::size_t index = indexOf(key);
    return index == npos ? std::nullopt : std::optional<WString>(lines_[index].second);
}

std::vector<WString> SampleRecord::values(const std::string& key) const
{
    std::vector<WString> result;
    for (const auto& [name, value] : lines_) {
        if (name == key) {
            result.push_back(value);
        }
    }
    return result;
}

std::vector<unsigned long long> SampleRecord::numbers(const std::string& key) const
{
    std::vector<unsigned long long> result;
    for (const WString& value : values(key)) {
        result.push_back(std::stoull(value));
    }
    return result;
}

std::size_t SampleRecord::indexOf(const std::string& key, const std::optional<WString>& value) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].first == key && (!value || lines_[i].second == *value)) {
            return i;
        }
    }
    return npos;
}

std::vector<WString> SampleRecord::arguments(const std::string& prefix) const
{
    std::vector<WString> result;
    const auto count = first(prefix + "argc");
    for (unsigned long long i = 0; count && i < std::stoull(*count); ++i) {
        result.push_back(first(prefix + "arg." + std::to_string(i)).value_or(L"<missing>"));
    }
    return result;
}

std::string SampleRecord::text() const
{
    std::string text;
    for (const auto& [name, value] : lines_) {
        text += name + "=" + narrow(value) + "\n";
    }
    return text;
}

SampleRecord waitForRecordLine(const WString& file, const std::string& key, const std::optional<WString>& value,
                               unsigned long timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        SampleRecord record = SampleRecord::read(file);
        if (record.indexOf(key, value) != SampleRecord::npos || GetTickCount64() >= deadline) {
            return record;
        }
        Sleep(5);
    }
}

}  // namespace qel::test
