#include "base/trace.h"

#include <cstdio>

namespace qel {

namespace {

std::string milliseconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds * 1000.0);
    return text;
}

}  // namespace

void Trace::start(Sink sink, Clock clock)
{
    sink_ = std::move(sink);
    clock_ = std::move(clock);
    started_ = clock_ ? clock_() : 0;
    phaseStarted_ = started_;
}

void Trace::line(std::wstring_view text)
{
    if (!sink_) {
        return;
    }
    const double now = clock_ ? clock_() : 0;
    // One line per step, whatever the text holds (a message, a registry value).
    sink_("[" + milliseconds(now - started_) + " ms] " + toUtf8(singleLine(text)) + "\n");
}

void Trace::phase(std::wstring_view name)
{
    if (!sink_) {
        return;
    }
    finish();
    phase_ = WString(name);
    phaseStarted_ = clock_ ? clock_() : 0;
    line(L"phase " + phase_ + L" begins");
}

void Trace::finish()
{
    if (!sink_ || phase_.empty()) {
        return;
    }
    const double now = clock_ ? clock_() : 0;
    const std::string took = milliseconds(now - phaseStarted_);
    line(L"phase " + phase_ + L" took " + WString(took.begin(), took.end()) + L" ms");
    phase_.clear();
}

}  // namespace qel
