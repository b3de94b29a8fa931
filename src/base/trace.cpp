#include "base/trace.h"

#include <cstdio>

namespace qel {

namespace {

void appendUtf8(std::string& out, unsigned long point)
{
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

std::string milliseconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds * 1000.0);
    return text;
}

}  // namespace

std::string toUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Each unit is one UTF-16 unit on Windows; elsewhere a wider unit is a
        // code point of its own.
        const auto unit = static_cast<unsigned long>(text[i]) & (sizeof(wchar_t) == 2 ? 0xFFFFul : 0x1FFFFFul);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
            const auto low = static_cast<unsigned long>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        const bool unpaired = unit >= 0xD800 && unit <= 0xDFFF;
        appendUtf8(out, unpaired || unit > 0x10FFFF ? 0xFFFD : unit);
    }
    return out;
}

Trace& Trace::instance()
{
    static Trace* trace = new Trace();  // never destroyed
    return *trace;
}

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
    sink_("[" + milliseconds(now - started_) + " ms] " + toUtf8(text) + "\n");
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
