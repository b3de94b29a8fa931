#pragma once

// A test with a sample service of its own: the sample installed in a temporary
// directory and a service of it under a name no other test uses.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/machine_guard.h"
#include "support/sample_service.h"
#include "support/service_control.h"
#include "support/test_files.h"

namespace qel::test {

class ServiceTest : public ::testing::Test {
protected:
    // Services are registered with the machine's service manager.
    void SetUp() override { skipUnlessMachineMayChange(); }

    using Settings = std::vector<std::pair<std::string, std::string>>;

    SampleService install(const Settings& settings = {}, Gates gates = Gates::Open)
    {
        return installSampleService(dir / L"svc", settings, gates);
    }

    // Creates the service with a command line like the launcher's; the command
    // line's service name is name unless given.
    void create(const SampleService& sample, const WString& arguments = {}, const WString& nameOnCommandLine = {})
    {
        ASSERT_EQ(
            service.create(name, serviceCommandLine(sample.program,
                                                    nameOnCommandLine.empty() ? name : nameOnCommandLine, arguments)),
            0u);
    }

    // Installs, creates and starts the sample, and waits for RUNNING.
    SampleService startRunning(const Settings& settings = {})
    {
        SampleService sample = install(settings);
        create(sample);
        if (HasFatalFailure()) {
            return sample;
        }
        EXPECT_EQ(service.start(), 0u);
        EXPECT_TRUE(service.waitForState(SERVICE_RUNNING)) << serviceStateName(service.lastStatus().dwCurrentState);
        return sample;
    }

    SampleRecord record(const SampleService& sample) const { return SampleRecord::read(sample.recordFile); }

    // Declared before the service, so that the service is removed (and its
    // process ended) before the directory goes.
    TempDir dir;
    WString name = uniqueServiceName(L"QelTest");
    TestService service;
};

}  // namespace qel::test
