#pragma once

// The sockets of a second start's arguments (see instance_relay.h): the first
// launcher's relay, and the second start's hand-over.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/handles.h"
#include "base/trace.h"
#include "base/wstring.h"
#include "instance/instance_relay.h"

namespace qel {

// The first launcher's end: listens on 127.0.0.1 on a port Windows chooses,
// publishes the port and a random token in shared memory of this name (in the
// session's namespace, beside the single-instance mutex), and serves on a
// thread of its own until the object goes: a second start's arguments go to
// the application's listener, or the trace says that none was registered. A
// relay that cannot listen serves nothing and says why in the trace.
class InstanceRelay {
public:
    InstanceRelay(const WString& sharedName, Trace& trace);
    ~InstanceRelay();
    InstanceRelay(const InstanceRelay&) = delete;
    InstanceRelay& operator=(const InstanceRelay&) = delete;

    // The hand-off file's lines for the library; none when it does not listen.
    std::vector<WString> handoffLines() const;

private:
    static DWORD WINAPI serveThread(void* relay);
    void serve();
    void serveConnection(std::uintptr_t client);

    Trace& trace_;
    RelayAddress address_;
    bool socketsStarted_ = false;
    std::uintptr_t listening_;
    // The library's connection, once the application registered a listener.
    std::uintptr_t listener_;
    UniqueHandle acceptEvent_;
    UniqueHandle stopEvent_;
    UniqueHandle published_;
    UniqueHandle thread_;
};

enum class HandOverResult {
    // The application's listener has them.
    Delivered,
    // The first launcher has them, but its application registered no listener.
    NoListener,
    // The first launcher could not be reached (not published yet, or no relay).
    Unreachable,
};

// The second start's end: hands the arguments to the first launcher that
// published its address under this name; waits for its answer (at most ten
// seconds).
HandOverResult handArgumentsOver(const WString& sharedName, const std::vector<WString>& arguments);

}  // namespace qel
