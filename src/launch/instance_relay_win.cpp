// winsock2.h comes before windows.h, which would bring the older winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "base/system_library.h"
#include "launch/instance_relay_host.h"

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
    decltype(&::ioctlsocket) ioctlsocket = nullptr;
    decltype(&::setsockopt) setsockopt = nullptr;
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
            !load(module, "ioctlsocket", api.ioctlsocket) || !load(module, "setsockopt", api.setsockopt) ||
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

constexpr DWORD kSocketTimeoutMs = 10000;
// The published address: a text of at most this many units, ended by U+0000.
constexpr std::size_t kPublishedUnits = 64;

// A socket of this file, closed with closesocket; INVALID_SOCKET is empty
// (handles.h stays free of winsock2.h, which must come before windows.h).
class UniqueSocket {
public:
    explicit UniqueSocket(SOCKET socket = INVALID_SOCKET) : socket_(socket) {}
    ~UniqueSocket() { reset(); }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    SOCKET get() const { return socket_; }
    explicit operator bool() const { return socket_ != INVALID_SOCKET; }
    SOCKET release()
    {
        const SOCKET socket = socket_;
        socket_ = INVALID_SOCKET;
        return socket;
    }
    void reset(SOCKET socket = INVALID_SOCKET)
    {
        if (socket_ != INVALID_SOCKET) {
            ws().closesocket(socket_);
        }
        socket_ = socket;
    }

private:
    SOCKET socket_;
};

void setTimeouts(SOCKET socket)
{
    const DWORD timeout = kSocketTimeoutMs;
    ws().setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    ws().setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
}

bool sendAll(SOCKET socket, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int now = ws().send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (now <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(now);
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

// Closes the socket a member keeps, if any.
void closeKept(std::uintptr_t& socket)
{
    UniqueSocket closing(static_cast<SOCKET>(socket));
    socket = INVALID_SOCKET;
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

}  // namespace

InstanceRelay::InstanceRelay(const WString& sharedName, Trace& trace)
    : trace_(trace), listening_(INVALID_SOCKET), listener_(INVALID_SOCKET)
{
    WSADATA data{};
    if (winsock() == nullptr || ws().startup(MAKEWORD(2, 2), &data) != 0) {
        trace_.line(L"single instance: Windows sockets cannot be used: a second start cannot hand its arguments over");
        return;
    }
    socketsStarted_ = true;
    UniqueSocket listening(ws().socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (listening) {
        // The VM, started with inherited handles, does not get it.
        SetHandleInformation(reinterpret_cast<HANDLE>(listening.get()), HANDLE_FLAG_INHERIT, 0);
    }
    sockaddr_in address = loopback(0);
    int size = sizeof address;
    if (!listening || ws().bind(listening.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ws().listen(listening.get(), SOMAXCONN) != 0 ||
        ws().getsockname(listening.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        trace_.line(L"single instance: " + socketErrorText(L"listening on 127.0.0.1") +
                    L": a second start cannot hand its arguments over");
        return;
    }
    std::random_device device;
    std::uint8_t random[16];
    for (std::uint8_t& byte : random) {
        byte = static_cast<std::uint8_t>(device());
    }
    const auto* portBytes = reinterpret_cast<const unsigned char*>(&address.sin_port);
    const RelayAddress relayAddress{static_cast<std::uint16_t>((portBytes[0] << 8) | portBytes[1]), relayToken(random)};

    acceptEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    published_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        kPublishedUnits * sizeof(wchar_t), sharedName.c_str()));
    if (!acceptEvent_ || !stopEvent_ || !published_ ||
        ws().eventSelect(listening.get(), acceptEvent_.get(), FD_ACCEPT) != 0) {
        trace_.line(L"single instance: the relay for second starts cannot be set up");
        return;
    }
    {
        const UniqueView view(MapViewOfFile(published_.get(), FILE_MAP_WRITE, 0, 0, kPublishedUnits * sizeof(wchar_t)));
        if (!view) {
            return;
        }
        const WString text = relayAddressText(relayAddress);
        std::memcpy(view.get(), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    listening_ = listening.release();
    address_ = relayAddress;
    thread_.reset(CreateThread(nullptr, 0, serveThread, this, 0, nullptr));
    if (!thread_) {
        address_ = RelayAddress{};
        return;
    }
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
    closeKept(listener_);
    closeKept(listening_);
    if (socketsStarted_) {
        ws().cleanup();
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
    const HANDLE events[] = {stopEvent_.get(), acceptEvent_.get()};
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        ResetEvent(acceptEvent_.get());
        // Every connection waiting now, in the order they came.
        for (;;) {
            const SOCKET client = ws().accept(static_cast<SOCKET>(listening_), nullptr, nullptr);
            if (client == INVALID_SOCKET) {
                break;
            }
            serveConnection(client);
        }
    }
}

void InstanceRelay::serveConnection(std::uintptr_t accepted)
{
    UniqueSocket client(static_cast<SOCKET>(accepted));
    // An accepted socket inherits the listening one's event selection and so
    // does not block: make it an ordinary one again.
    ws().eventSelect(client.get(), nullptr, 0);
    u_long nonBlocking = 0;
    ws().ioctlsocket(client.get(), FIONBIO, &nonBlocking);
    setTimeouts(client.get());
    const auto fields = receiveFrame(client.get());
    const RelayRequest request = fields ? relayRequest(*fields, address_.token) : RelayRequest{};
    switch (request.peer) {
    case RelayPeer::Refused:
        trace_.line(L"single instance: a connection to the relay was refused (no token, or not a message of ours)");
        return;
    case RelayPeer::Listener:
        if (sendAll(client.get(), relayFrame({L"listening"}))) {
            closeKept(listener_);
            listener_ = client.release();
            trace_.line(L"single instance: the application registered a listener for second starts");
        }
        return;
    case RelayPeer::SecondStart:
        break;
    }
    std::vector<WString> message{L"arguments"};
    message.insert(message.end(), request.arguments.begin(), request.arguments.end());
    const bool delivered = listener_ != INVALID_SOCKET && sendAll(static_cast<SOCKET>(listener_), relayFrame(message));
    if (delivered) {
        trace_.line(L"single instance: a second start's arguments went to the application's listener: " +
                    quotedArguments(request.arguments));
    } else {
        if (listener_ != INVALID_SOCKET) {
            // The library's end is gone (its VM may be ending).
            closeKept(listener_);
        }
        trace_.line(L"single instance: " + undeliveredArgumentsText(request.arguments));
    }
    sendAll(client.get(), relayFrame({delivered ? L"delivered" : L"not-delivered"}));
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
        const UniqueSocket connection(ws().socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        const sockaddr_in target = loopback(address->port);
        if (connection) {
            setTimeouts(connection.get());
        }
        if (connection &&
            ws().connect(connection.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 &&
            sendAll(connection.get(), relayFrame(secondStartMessage(address->token, arguments)))) {
            const auto answer = receiveFrame(connection.get());
            if (answer && answer->size() == 1 && (*answer)[0] == L"delivered") {
                result = HandOverResult::Delivered;
            } else if (answer && answer->size() == 1 && (*answer)[0] == L"not-delivered") {
                result = HandOverResult::NoListener;
            }
        }
    }
    ws().cleanup();
    return result;
}

}  // namespace qel
