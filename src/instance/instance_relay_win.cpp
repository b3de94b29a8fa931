// winsock2.h comes before windows.h, which would bring the older winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "base/messages.h"
#include "base/system_library.h"
#include "base/text.h"
#include "instance/instance_relay_win.h"
#include "instance/single_instance_win.h"

namespace qel {

namespace {

// Windows sockets, loaded from the system folder on first use (the DLL stays
// until the process ends): a run without qel.single.instance does not load
// ws2_32.dll, whose loading costs every start time and memory.
struct Winsock {
    decltype(&::WSAStartup) startup = nullptr;
    decltype(&::WSACleanup) cleanup = nullptr;
    decltype(&::WSAGetLastError) lastError = nullptr;
    decltype(&::WSAEventSelect) eventSelect = nullptr;
    decltype(&::socket) socket = nullptr;
    decltype(&::bind) bind = nullptr;
    decltype(&::listen) listen = nullptr;
    decltype(&::getsockname) getsockname = nullptr;
    decltype(&::accept) accept = nullptr;
    decltype(&::connect) connect = nullptr;
    decltype(&::setsockopt) setsockopt = nullptr;
    decltype(&::select) select = nullptr;
    decltype(&::send) send = nullptr;
    decltype(&::recv) recv = nullptr;
    decltype(&::closesocket) closesocket = nullptr;
};

template <typename Function> bool load(SystemLibrary& library, const char* name, Function& function)
{
    function = library.function<Function>(name);
    return function != nullptr;
}

// The functions, or none when the DLL or one of them is missing.
const Winsock* winsock()
{
    static const std::optional<Winsock> loaded = []() -> std::optional<Winsock> {
        static SystemLibrary module(L"ws2_32.dll");
        Winsock api;
        if (!load(module, "WSAStartup", api.startup) || !load(module, "WSACleanup", api.cleanup) ||
            !load(module, "WSAGetLastError", api.lastError) || !load(module, "WSAEventSelect", api.eventSelect) ||
            !load(module, "socket", api.socket) || !load(module, "bind", api.bind) ||
            !load(module, "listen", api.listen) || !load(module, "getsockname", api.getsockname) ||
            !load(module, "accept", api.accept) || !load(module, "connect", api.connect) ||
            !load(module, "select", api.select) || !load(module, "setsockopt", api.setsockopt) ||
            !load(module, "send", api.send) || !load(module, "recv", api.recv) ||
            !load(module, "closesocket", api.closesocket)) {
            return std::nullopt;
        }
        return api;
    }();
    return loaded ? &*loaded : nullptr;
}

// Only used once winsock() has loaded.
const Winsock& ws()
{
    return *winsock();
}

// The published address: a text of at most this many units, ended by U+0000.
constexpr std::size_t kPublishedUnits = 64;

// A socket of the loaded library, owned with its closesocket.
UniqueSocket ownedSocket(SOCKET socket)
{
    return UniqueSocket(socket, ws().closesocket);
}

// Sends every byte within the time given, on a socket that blocks or not: a
// peer that does not read holds the sender up no longer than that.
bool sendWithin(SOCKET socket, std::string_view bytes, DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int now = ws().send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (now > 0) {
            sent += static_cast<std::size_t>(now);
            continue;
        }
        const ULONGLONG at = GetTickCount64();
        if (now == 0 || ws().lastError() != WSAEWOULDBLOCK || at >= deadline) {
            return false;
        }
        // select answers the number of sockets ready, 0 when the time ran out.
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(socket, &writable);
        const ULONGLONG left = deadline - at;
        timeval timeout{static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
        if (ws().select(0, nullptr, &writable, nullptr, &timeout) <= 0) {
            return false;
        }
    }
    return true;
}

bool receiveAll(SOCKET socket, char* into, std::size_t size)
{
    std::size_t received = 0;
    while (received < size) {
        const int now = ws().recv(socket, into + received, static_cast<int>(size - received), 0);
        if (now <= 0) {
            return false;
        }
        received += static_cast<std::size_t>(now);
    }
    return true;
}

// The next frame of a blocking socket.
std::optional<std::vector<WString>> receiveFrame(SOCKET socket)
{
    unsigned char header[4];
    if (!receiveAll(socket, reinterpret_cast<char*>(header), sizeof header)) {
        return std::nullopt;
    }
    const auto length = relayFrameLength(header);
    if (!length) {
        return std::nullopt;
    }
    std::string text(*length, '\0');
    if (!text.empty() && !receiveAll(socket, text.data(), text.size())) {
        return std::nullopt;
    }
    return relayFields(text);
}

sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    // 127.0.0.1, and the port most significant byte first (the byte order
    // functions are ws2_32's too).
    address.sin_addr.S_un.S_un_b = {127, 0, 0, 1};
    reinterpret_cast<unsigned char*>(&address.sin_port)[0] = static_cast<unsigned char>(port >> 8);
    reinterpret_cast<unsigned char*>(&address.sin_port)[1] = static_cast<unsigned char>(port & 0xFF);
    return address;
}

WString socketErrorText(const wchar_t* what)
{
    return WString(what) + L" failed (Windows sockets error " + std::to_wstring(ws().lastError()) + L")";
}

// The last error's text without its line end, for a trace line.
WString lastErrorReason()
{
    return WString(withoutLineEnd(lastErrorText()));
}

}  // namespace

// Runs on the relay's thread only, but for its set-up before the thread starts
// and its end after the thread has ended.
struct InstanceRelay::Connections {
    // A connection whose first message is not whole yet.
    struct Waiting {
        UniqueSocket socket;
        RelayFrameReader reader;
        ULONGLONG deadline;
    };

    explicit Connections(Trace& trace) : trace(trace) {}
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    // The sockets go before Windows sockets are done with; what was kept for a
    // listener that never came is named in the trace.
    ~Connections()
    {
        for (const auto& arguments : kept.takeAll()) {
            trace.line(L"single instance: " + undeliveredArgumentsText(arguments));
        }
        waiting.clear();
        listener.reset();
        listening.reset();
        if (socketsStarted) {
            ws().cleanup();
        }
    }

    // The time to the first waiting connection's deadline.
    DWORD untilNextDeadline() const
    {
        if (waiting.empty()) {
            return INFINITE;
        }
        ULONGLONG first = waiting.front().deadline;
        for (const Waiting& connection : waiting) {
            first = std::min(first, connection.deadline);
        }
        const ULONGLONG now = GetTickCount64();
        return first <= now ? 0 : static_cast<DWORD>(first - now);
    }

    // Every connection that came, each read at once; the oldest silent one
    // gives way when too many wait.
    void acceptWaiting()
    {
        for (;;) {
            UniqueSocket client = ownedSocket(ws().accept(listening.get(), nullptr, nullptr));
            if (!client) {
                return;
            }
            // Read when its bytes come, and never held by the VM.
            SetHandleInformation(reinterpret_cast<HANDLE>(client.get()), HANDLE_FLAG_INHERIT, 0);
            if (ws().eventSelect(client.get(), network.get(), FD_READ | FD_CLOSE) != 0) {
                trace.line(L"single instance: " + socketErrorText(L"watching a connection to the relay"));
                continue;
            }
            if (waiting.size() >= kRelayWaitingLimit) {
                std::vector<bool> started;
                for (const Waiting& connection : waiting) {
                    started.push_back(connection.reader.started());
                }
                trace.line(L"single instance: a connection to the relay was dropped for a new one (" +
                           std::to_wstring(kRelayWaitingLimit) + L" may wait for their message)");
                waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(relayConnectionToDrop(started)));
            }
            waiting.push_back(Waiting{std::move(client), RelayFrameReader(token),
                                      GetTickCount64() + kRelayFrameDeadlineMs});
            if (readFrom(waiting.back())) {
                waiting.pop_back();
            }
        }
    }

    void readWaiting()
    {
        for (std::size_t i = 0; i < waiting.size();) {
            if (readFrom(waiting[i])) {
                waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }

    // Reads what the connection has sent; true when it is done with (its
    // message served, refused, or the connection gone).
    bool readFrom(Waiting& connection)
    {
        char buffer[4096];
        for (;;) {
            const int received = ws().recv(connection.socket.get(), buffer, sizeof buffer, 0);
            if (received > 0) {
                switch (connection.reader.take(std::string_view(buffer, static_cast<std::size_t>(received)))) {
                case RelayFrameReader::State::Incomplete:
                    continue;
                case RelayFrameReader::State::Refused:
                    trace.line(L"single instance: a connection to the relay was refused (no token, or not a "
                               L"message of ours)");
                    return true;
                case RelayFrameReader::State::Complete:
                    serveRequest(connection);
                    return true;
                }
            }
            // Nothing more now; or the connection ended or failed before its
            // message was whole.
            return received < 0 && ws().lastError() == WSAEWOULDBLOCK ? false : true;
        }
    }

    void serveRequest(Waiting& connection)
    {
        const RelayRequest& request = connection.reader.request();
        if (request.peer == RelayPeer::Listener) {
            registerListener(std::move(connection.socket));
            return;
        }
        const HandOverResult result = passOn(request.arguments);
        sendWithin(connection.socket.get(), relayFrame({relayAnswer(result)}), kRelaySendDeadlineMs);
    }

    // The library's connection: answered, then given what was kept for it.
    void registerListener(UniqueSocket socket)
    {
        if (!sendWithin(socket.get(), relayFrame({L"listening"}), kRelaySendDeadlineMs)) {
            trace.line(L"single instance: the application's listener for second starts could not be answered");
            return;
        }
        listener = std::move(socket);
        listenerGone = false;
        trace.line(L"single instance: the application registered a listener for second starts");
        for (const auto& arguments : kept.takeAll()) {
            if (listener && sendWithin(listener.get(), argumentsFrame(arguments), kRelaySendDeadlineMs)) {
                trace.line(L"single instance: " + keptArgumentsDeliveredText(arguments));
            } else {
                listener.reset();
                trace.line(L"single instance: " + notKeptArgumentsText(arguments, true));
            }
        }
    }

    HandOverResult passOn(const std::vector<WString>& arguments)
    {
        // A listener whose end has closed takes nothing more, though a send to
        // it may still succeed.
        watchListener();
        if (listener) {
            if (sendWithin(listener.get(), argumentsFrame(arguments), kRelaySendDeadlineMs)) {
                trace.line(L"single instance: a second start's arguments went to the application's listener: " +
                           quotedArguments(arguments));
                return HandOverResult::Delivered;
            }
            // The library's end is gone or does not read: the application is
            // ending, or will not take more.
            listener.reset();
            listenerGone = true;
        }
        if (!listenerGone && kept.keep(arguments)) {
            trace.line(L"single instance: " + keptArgumentsText(arguments));
            return HandOverResult::Kept;
        }
        trace.line(L"single instance: " + notKeptArgumentsText(arguments, listenerGone));
        return HandOverResult::NotKept;
    }

    // The library sends nothing after its first message: the end of its
    // connection means the application's listener is gone.
    void watchListener()
    {
        char buffer[256];
        while (listener) {
            const int received = ws().recv(listener.get(), buffer, sizeof buffer, 0);
            if (received > 0) {
                continue;
            }
            if (received < 0 && ws().lastError() == WSAEWOULDBLOCK) {
                return;
            }
            listener.reset();
            listenerGone = true;
            trace.line(L"single instance: the application's listener for second starts is gone");
        }
    }

    void dropLate()
    {
        const ULONGLONG now = GetTickCount64();
        for (std::size_t i = 0; i < waiting.size();) {
            if (waiting[i].deadline <= now) {
                // Said before it is closed, which its peer sees.
                trace.line(L"single instance: a connection to the relay was dropped: its message was not whole "
                           L"within " +
                           std::to_wstring(kRelayFrameDeadlineMs / 1000) + L" s");
                waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }

    Trace& trace;
    bool socketsStarted = false;
    WString token;
    UniqueSocket listening;
    // Set by every socket's events: a connection, bytes, an end.
    UniqueHandle network;
    std::vector<Waiting> waiting;
    // The library's connection, once the application registered a listener.
    UniqueSocket listener;
    bool listenerGone = false;
    KeptSecondStarts kept;
};

InstanceRelay::InstanceRelay(const WString& sharedName, Trace& trace)
    : trace_(trace), connections_(std::make_unique<Connections>(trace))
{
    const auto fail = [this](const WString& why) {
        trace_.line(L"single instance: " + why + L": a second start cannot hand its arguments over");
    };
    Connections& connections = *connections_;
    WSADATA data{};
    if (winsock() == nullptr) {
        fail(L"Windows sockets (ws2_32.dll) cannot be loaded");
        return;
    }
    if (const int error = ws().startup(MAKEWORD(2, 2), &data)) {
        fail(L"Windows sockets cannot be started (error " + std::to_wstring(error) + L")");
        return;
    }
    connections.socketsStarted = true;
    connections.listening = ownedSocket(ws().socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (connections.listening) {
        // The VM, started with inherited handles, does not get it.
        SetHandleInformation(reinterpret_cast<HANDLE>(connections.listening.get()), HANDLE_FLAG_INHERIT, 0);
    }
    sockaddr_in address = loopback(0);
    int size = sizeof address;
    const SOCKET listening = connections.listening.get();
    if (!connections.listening ||
        ws().bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ws().listen(listening, SOMAXCONN) != 0 ||
        ws().getsockname(listening, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        fail(socketErrorText(L"listening on 127.0.0.1"));
        return;
    }
    std::random_device device;
    std::uint8_t random[16];
    for (std::uint8_t& byte : random) {
        byte = static_cast<std::uint8_t>(device());
    }
    const auto* portBytes = reinterpret_cast<const unsigned char*>(&address.sin_port);
    const RelayAddress relayAddress{static_cast<std::uint16_t>((portBytes[0] << 8) | portBytes[1]), relayToken(random)};
    connections.token = relayAddress.token;

    connections.network.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!connections.network || !stopEvent_) {
        fail(L"its events cannot be made (" + lastErrorReason() + L")");
        return;
    }
    if (ws().eventSelect(listening, connections.network.get(), FD_ACCEPT) != 0) {
        fail(socketErrorText(L"watching the port"));
        return;
    }
    // Only the user and SYSTEM may read the token (InstanceObjectSecurity says
    // in the trace why it cannot be made).
    InstanceObjectSecurity security(trace_);
    if (!security) {
        fail(L"its address cannot be published to this user alone");
        return;
    }
    published_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security.get(), PAGE_READWRITE, 0,
                                        kPublishedUnits * sizeof(wchar_t), sharedName.c_str()));
    const UniqueView view(
        published_ ? MapViewOfFile(published_.get(), FILE_MAP_WRITE, 0, 0, kPublishedUnits * sizeof(wchar_t)) : nullptr);
    if (!view) {
        fail(L"its address cannot be published in " + sharedName + L" (" + lastErrorReason() + L")");
        published_.reset();
        return;
    }
    const WString text = relayAddressText(relayAddress);
    std::memcpy(view.get(), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    thread_.reset(CreateThread(nullptr, 0, serveThread, this, 0, nullptr));
    if (!thread_) {
        fail(L"its thread cannot be made (" + lastErrorReason() + L")");
        // Second starts then find no address and end at once.
        published_.reset();
        return;
    }
    address_ = relayAddress;
    if (trace_.enabled()) {
        trace_.line(L"single instance: second starts hand their arguments over on 127.0.0.1 port " +
                    std::to_wstring(address_.port));
    }
}

InstanceRelay::~InstanceRelay()
{
    if (thread_) {
        SetEvent(stopEvent_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
}

std::vector<WString> InstanceRelay::handoffLines() const
{
    if (address_.port == 0) {
        return {};
    }
    return relayHandoffLines(address_);
}

DWORD WINAPI InstanceRelay::serveThread(void* relay)
{
    static_cast<InstanceRelay*>(relay)->serve();
    return 0;
}

void InstanceRelay::serve()
{
    Connections& connections = *connections_;
    const HANDLE events[] = {stopEvent_.get(), connections.network.get()};
    for (;;) {
        const DWORD wait = WaitForMultipleObjects(2, events, FALSE, connections.untilNextDeadline());
        if (wait == WAIT_OBJECT_0) {
            return;
        }
        if (wait == WAIT_FAILED) {
            trace_.line(L"single instance: the relay stops, its wait failed (" + lastErrorReason() +
                        L"): later second starts cannot hand their arguments over");
            return;
        }
        ResetEvent(connections.network.get());
        connections.acceptWaiting();
        connections.readWaiting();
        connections.watchListener();
        connections.dropLate();
    }
}

HandOverResult handArgumentsOver(const WString& sharedName, const std::vector<WString>& arguments)
{
    std::optional<RelayAddress> address;
    {
        const UniqueHandle published(OpenFileMappingW(FILE_MAP_READ, FALSE, sharedName.c_str()));
        if (!published) {
            return HandOverResult::Unreachable;
        }
        const UniqueView view(MapViewOfFile(published.get(), FILE_MAP_READ, 0, 0, kPublishedUnits * sizeof(wchar_t)));
        if (!view) {
            return HandOverResult::Unreachable;
        }
        const auto* text = static_cast<const wchar_t*>(view.get());
        address = parseRelayAddress(WString(text, wcsnlen(text, kPublishedUnits)));
    }
    WSADATA data{};
    if (!address || winsock() == nullptr || ws().startup(MAKEWORD(2, 2), &data) != 0) {
        return HandOverResult::Unreachable;
    }
    HandOverResult result = HandOverResult::Unreachable;
    {
        const UniqueSocket connection = ownedSocket(ws().socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        const sockaddr_in target = loopback(address->port);
        if (connection) {
            // The first launcher answers within its own bounds, well inside this one.
            const DWORD timeout = kHandOverWaitMs;
            ws().setsockopt(connection.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                            sizeof timeout);
            ws().setsockopt(connection.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
                            sizeof timeout);
        }
        if (connection &&
            ws().connect(connection.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 &&
            sendWithin(connection.get(), relayFrame(secondStartMessage(address->token, arguments)), kHandOverWaitMs)) {
            if (const auto answer = receiveFrame(connection.get())) {
                result = handOverResult(*answer);
            }
        }
    }
    ws().cleanup();
    return result;
}

}  // namespace qel
