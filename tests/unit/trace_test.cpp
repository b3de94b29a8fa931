#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/trace.h"

using namespace qel;

TEST(Trace, Utf8OfEveryKindOfUnit)
{
    EXPECT_EQ(toUtf8(L"C:\\Java"), "C:\\Java");
    EXPECT_EQ(toUtf8(L"caf\u00e9"), "caf\xc3\xa9");
    EXPECT_EQ(toUtf8(L"\u65e5"), "\xe6\x97\xa5");
    EXPECT_EQ(toUtf8(std::wstring{static_cast<wchar_t>(0xD834), static_cast<wchar_t>(0xDD1E)}), "\xf0\x9d\x84\x9e");
    EXPECT_EQ(toUtf8(std::wstring{static_cast<wchar_t>(0xD834), L'x'}), "\xef\xbf\xbdx");  // unpaired
}

TEST(Trace, LinesAndPhasesOnlyWithASink)
{
    Trace trace;
    trace.line(L"nothing written");
    trace.phase(L"settings");
    EXPECT_FALSE(trace.enabled());

    std::vector<std::string> written;
    double now = 1.0;
    trace.start([&](const std::string& text) { written.push_back(text); }, [&] { return now; });
    EXPECT_TRUE(trace.enabled());
    trace.phase(L"settings");
    now = 1.0125;
    trace.line(L"caf\u00e9");
    trace.phase(L"selection");
    now = 1.5;
    trace.finish();
    trace.finish();  // nothing more: no phase runs
    EXPECT_EQ(written, (std::vector<std::string>{
                           "[0.0 ms] phase settings begins\n",
                           "[12.5 ms] caf\xc3\xa9\n",
                           "[12.5 ms] phase settings took 12.5 ms\n",
                           "[12.5 ms] phase selection begins\n",
                           "[500.0 ms] phase selection took 487.5 ms\n",
                       }));
}
