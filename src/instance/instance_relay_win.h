#pragma once

// The sockets of a second start's arguments (see instance_relay.h): the first
// launcher's relay, and the second start's hand-over.

#include <windows.h>

#include <memory>
#include <vector>

#include "base/handles.h"
#include "base/trace.h"
#include "base/wstring.h"
#include "instance/instance_relay.h"

namespace qel {

// The first launcher's end: listens on 127.0.0.1 on a port Windows chooses,
// publishes the port and a random token in shared memory of this name (in the
// session's namespace, beside the single-instance mutex, open to the user and
// SYSTEM only), and serves every connection at once on a thread of its own
// until the object goes: a second start's arguments go to the application's
// listener, or are kept for it until it registers. A relay that cannot be set
// up serves nothing and says why in the trace; when it goes, the trace names
// the arguments it kept that no listener took.
class InstanceRelay {
public:
    InstanceRelay(const WString& sharedName, Trace& trace);
    ~InstanceRelay();
    InstanceRelay(const InstanceRelay&) = delete;
    InstanceRelay& operator=(const InstanceRelay&) = delete;

    // The hand-off file's lines for the library; none when it does not listen.
    std::vector<WString> handoffLines() const;

private:
    // The sockets and what the serving thread knows of them.
    struct Connections;

    static DWORD WINAPI serveThread(void* relay);
    void serve();

    Trace& trace_;
    RelayAddress address_;
    std::unique_ptr<Connections> connections_;
    UniqueHandle stopEvent_;
    UniqueHandle published_;
    UniqueHandle thread_;
};

// The second start's end: hands the arguments to the first launcher that
// published its address under this name; waits for its answer (at most
// kHandOverWaitMs).
HandOverResult handArgumentsOver(const WString& sharedName, const std::vector<WString>& arguments);

}  // namespace qel
