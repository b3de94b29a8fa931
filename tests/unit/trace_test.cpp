#include <gtest/gtest.h>

#include <string>
#include <utility>
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

TEST(Trace, EveryTextIsOneLine)
{
    // A message box's text, a registry value with a line break: each stays one
    // line of the trace, its indentation kept.
    const std::pair<const wchar_t*, const char*> cases[] = {
        {L"error: Could not find a VM.\n\nYou may need to reinstall one.\n",
         "error: Could not find a VM. You may need to reinstall one."},
        {L"  home C:\\a\r\nb", "  home C:\\a b"},
        {L"\r\nfirst", "first"},
        {L"plain", "plain"},
    };
    std::string written;
    Trace trace;
    trace.start([&](const std::string& text) { written += text; }, [] { return 0.0; });
    std::string expected;
    for (const auto& [text, line] : cases) {
        trace.line(text);
        expected += "[0.0 ms] " + std::string(line) + "\n";
    }
    EXPECT_EQ(written, expected);
}
