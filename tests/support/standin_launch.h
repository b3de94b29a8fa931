#pragma once

// The launcher installed as Tool.exe beside its properties file Tool.qel, with
// stand-in VM programs that record what they received: the settings written,
// the launcher started the way a user starts it, and the one record read back.

#include <gtest/gtest.h>

#include <string>

#include "support/launcher_fixture.h"
#include "support/standin_record.h"
#include "support/vm_fixtures.h"

namespace qel::test {

// A path as the properties file needs it: a backslash before "u" would start an
// escape, so every backslash is doubled.
inline std::string escaped(const WString& path)
{
    std::string result;
    for (const char unit : narrow(path)) {
        result += unit == '\\' ? std::string("\\\\") : std::string(1, unit);
    }
    return result;
}

inline WString forwardSlashes(WString path)
{
    for (auto& unit : path) {
        if (unit == L'\\') {
            unit = L'/';
        }
    }
    return path;
}

class StandinLaunch : public ::testing::Test {
protected:
    // The settings of the example lines: 64m heap, gc verbosity, one option.
    static constexpr const char* kExampleOptions = "qel.nl.java.option.java.heap.size.max=64m\r\n"
                                                   "qel.nl.java.option.verbose=gc\r\n"
                                                   "qel.nl.java.option.additional=-Dx=1\r\n";

    void writeProperties(const std::string& lines)
    {
        writeFile(app + L"\\Tool.qel", "qel.nl.java.launcher.main.class=app.Start\r\n"
                                       "qel.class.path=lib\\a.jar\r\n" +
                                           lines);
    }

    // Starts the launcher with the stand-in's record file and exit code, and a
    // Path without Java.
    ProgramRun start(const WString& arguments = L"", const WString& exitCode = L"0", RunOptions options = {})
    {
        options.arguments = arguments;
        return runProgram(launcher, withStandinEnvironment(exitCode, std::move(options)));
    }

    // The variables of a run: the stand-in's record file and exit code, a Path
    // without Java and no CLASSPATH, after those of the options.
    RunOptions withStandinEnvironment(const WString& exitCode, RunOptions options) const
    {
        options.environment.emplace_back(L"PATH", L"C:\\windows\\system32;C:\\windows");
        options.environment.emplace_back(L"QEL_STANDIN_RECORD", recordFile);
        options.environment.emplace_back(L"QEL_STANDIN_EXIT", exitCode);
        options.environment.emplace_back(L"CLASSPATH", L"");
        return options;
    }

    // The one record of the run; fails the test when there is not exactly one.
    StandinRecord onlyRecord(const ProgramRun& run)
    {
        const auto records = readStandinRecords(recordFile);
        EXPECT_EQ(records.size(), 1u) << run.standardError;
        return records.empty() ? StandinRecord{} : records.front();
    }

    // The hand-off file is the last launcher argument before the application's.
    static WString handoffOf(const StandinRecord& record, std::size_t position)
    {
        return position < record.args.size() ? record.args[position] : WString();
    }

    TempDir dir;
    WString app = dir / L"Tool";
    WString launcher = installLauncher(app, L"Tool.exe");
    WString recordFile = dir / L"record.txt";
    VmTree vms{dir / L"vms"};
};

}  // namespace qel::test
