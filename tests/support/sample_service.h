#pragma once

// The sample service (tests/fixtures/sample_service.cpp) installed for one test:
// a copy in the test's directory with its settings file beside it, the command
// line a service of it is created with, and its record read back.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/wstring.h"

namespace qel::test {

struct SampleService {
    WString program;  // dir\sample_service.exe
    WString recordFile;  // dir\record.txt, named by the "record" setting
    WString gateDir;  // dir\gates, named by the "gate_dir" setting when gated
};

enum class Gates { Open, Closed };

// Copies the built sample service into dir and writes its settings file: the
// "record" setting, with Gates::Closed the "gate_dir" setting (the service then
// waits at each gate until the test opens it), then the given ones ("name",
// "value"; UTF-8).
SampleService installSampleService(const WString& dir,
                                   const std::vector<std::pair<std::string, std::string>>& settings = {},
                                   Gates gates = Gates::Open);

// Lets a gated sample service go on past the gate: "connect", "main",
// "start.<n>" or "stop".
void openGate(const SampleService& service, const WString& gate);

// A command line like the launcher's in service mode: the quoted program,
// "-kwqelservice", the service name, then the arguments when not empty.
WString serviceCommandLine(const WString& program, const WString& serviceName, const WString& arguments = {});

// The sample service's record: its lines "key=value" in the order written.
class SampleRecord {
public:
    // A missing file gives an empty record.
    static SampleRecord read(const WString& file);

    const std::vector<std::pair<std::string, WString>>& lines() const { return lines_; }
    bool has(const std::string& key) const { return indexOf(key) != npos; }
    // The value of the first line with the key; none when there is none.
    std::optional<WString> first(const std::string& key) const;
    // The values of every line with the key, in order.
    std::vector<WString> values(const std::string& key) const;
    // The values as numbers (decimal), for keys whose values are numbers.
    std::vector<unsigned long long> numbers(const std::string& key) const;
    // The position of the first line with the key (and the value, when given);
    // npos when there is none.
    std::size_t indexOf(const std::string& key, const std::optional<WString>& value = std::nullopt) const;
    // "<prefix>argc" lines of arguments "<prefix>arg.<i>": "main." gives the
    // arguments of ServiceMain, "process." the split command line.
    std::vector<WString> arguments(const std::string& prefix) const;
    // The whole record as text, for messages.
    std::string text() const;

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    std::vector<std::pair<std::string, WString>> lines_;
};

// Reads the record until a line with the key (and the value, when given)
// appears, or timeoutMs (a safety net) passes; returns the last reading either
// way.
SampleRecord waitForRecordLine(const WString& file, const std::string& key,
                               const std::optional<WString>& value = std::nullopt, unsigned long timeoutMs = 30000);

}  // namespace qel::test
