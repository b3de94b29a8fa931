#pragma once

// The trace: what the launcher did and why, for a user who reports "no Java
// found". With the environment variable QEL_TRACE naming a file, the launcher
// writes there, in UTF-8 and in order, the properties file candidates, the VM
// sources and what they held, each token's verdict, the VM chosen, the hand-off
// file, the working directory and command line, the exit code, and the time
// each phase took. Without it nothing is written, and callers test enabled()
// before they compose a line, so nothing is slower. A trace that cannot be
// written never stops the launch.

#include <functional>
#include <string>
#include <string_view>

#include "base/text.h"
#include "base/wstring.h"

namespace qel {

class Trace {
public:
    // Writes one UTF-8 text; failures are the sink's own business. line() may
    // be called from a second thread of the run (the single-instance relay's),
    // so the sink writes one text at a time.
    using Sink = std::function<void(const std::string& utf8)>;
    // Seconds since some fixed moment.
    using Clock = std::function<double()>;

    bool enabled() const { return static_cast<bool>(sink_); }

    // From now on lines go to the sink; the clock times them and the phases.
    void start(Sink sink, Clock clock);

    // One line, after the milliseconds since start; line breaks in the text
    // become blanks (singleLine).
    void line(std::wstring_view text);

    // Ends the phase before (writing how long it took) and begins this one.
    void phase(std::wstring_view name);

    // Ends the last phase.
    void finish();

private:
    Sink sink_;
    Clock clock_;
    double started_ = 0;
    double phaseStarted_ = 0;
    WString phase_;
};

// The trace when it is written, else none: callers that were lent a trace
// compose their lines only for one that is written.
inline Trace* writtenTrace(Trace* trace)
{
    return trace != nullptr && trace->enabled() ? trace : nullptr;
}

// Starts the trace when QEL_TRACE names a file that can be created.
void startTraceFromEnvironment(Trace& trace);

}  // namespace qel
