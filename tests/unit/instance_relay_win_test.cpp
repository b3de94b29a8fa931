// The first launcher's relay and a second start's hand-over (instance_relay_win.h)
// over real sockets: no connection holds another up, what a second start is told
// is what became of its arguments, arguments that come before the application's
// listener are kept for it, and every failure of the set-up is in the trace.

// winsock2.h comes before windows.h, which would bring the older winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "base/trace.h"
#include "instance/instance_relay.h"
#include "instance/instance_relay_win.h"

using namespace qel;

namespace {

// A bound that only a relay that hangs reaches.
constexpr int kSafetyNetSeconds = 60;

// The trace's lines, kept in memory (the relay writes from its own thread).
class MemoryTrace {
public:
    MemoryTrace()
    {
        trace.start(
            [this](const std::string& text) {
                const std::lock_guard<std::mutex> lock(mutex_);
                text_ += text;
            },
            [] { return 0.0; });
    }
    std::string text() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

    Trace trace;

private:
    mutable std::mutex mutex_;
    std::string text_;
};

class Sockets {
public:
    Sockets()
    {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~Sockets() { WSACleanup(); }
};

// A socket of the test, closed at the end of its scope.
class TestSocket {
public:
    TestSocket() : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
    ~TestSocket()
    {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
    }
    TestSocket(TestSocket&& other) noexcept : socket_(other.socket_), pending_(std::move(other.pending_))
    {
        other.socket_ = INVALID_SOCKET;
    }
    TestSocket(const TestSocket&) = delete;
    TestSocket& operator=(const TestSocket&) = delete;

    SOCKET get() const { return socket_; }

    bool connectTo(std::uint16_t port) const
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }

    bool sendBytes(const std::string& bytes) const
    {
        return send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
    }

    // The next frame's fields; none when the connection ends first, or after
    // the safety net. Bytes of the frames after it are kept for them.
    std::optional<std::vector<WString>> receiveFrame()
    {
        const DWORD timeout = kSafetyNetSeconds * 1000;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        std::optional<std::uint32_t> length;
        for (;;) {
            if (!length && pending_.size() >= 4) {
                length = relayFrameLength(reinterpret_cast<const unsigned char*>(pending_.data()));
                if (!length) {
                    return std::nullopt;
                }
            }
            if (length && pending_.size() >= 4 + *length) {
                const auto fields = relayFields(std::string_view(pending_).substr(4, *length));
                pending_.erase(0, 4 + *length);
                return fields;
            }
            char buffer[4096];
            const int received = recv(socket_, buffer, sizeof buffer, 0);
            if (received <= 0) {
                return std::nullopt;
            }
            pending_.append(buffer, static_cast<std::size_t>(received));
        }
    }

    // The peer has closed the connection (safety net kSafetyNetSeconds).
    bool closedByPeer() const
    {
        const DWORD timeout = kSafetyNetSeconds * 1000;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        char byte = 0;
        return recv(socket_, &byte, 1, 0) <= 0 && WSAGetLastError() != WSAETIMEDOUT;
    }

private:
    SOCKET socket_;
    std::string pending_;
};

// A name of the session's namespace for this test's relay alone.
WString relayName(const wchar_t* test)
{
    return L"Local\\ravelin.test-relay." + std::to_wstring(GetCurrentProcessId()) + L"." + test;
}

// The port and the token the relay tells its VM of.
RelayAddress addressOf(const InstanceRelay& relay)
{
    RelayAddress address;
    for (const WString& line : relay.handoffLines()) {
        const std::size_t equals = line.find(L'=');
        const WString key = line.substr(0, equals);
        const WString value = line.substr(equals + 1);
        if (key == kRelayPortKey) {
            address.port = static_cast<std::uint16_t>(std::stoul(value));
        } else if (key == kRelayTokenKey) {
            address.token = value;
        }
    }
    return address;
}

std::vector<WString> argumentsMessage(const std::vector<WString>& arguments)
{
    std::vector<WString> message{L"arguments"};
    message.insert(message.end(), arguments.begin(), arguments.end());
    return message;
}

}  // namespace

// Measured under Wine: one silent connection delayed a second start by 10 s,
// two made it end "not run" while the first launcher delivered its arguments
// later, and a peer dripping a byte every few seconds held the relay without
// bound. Now a second start behind 1,000 connections that send nothing and
// two that drip completes at once, its arguments kept for the listener to
// come; the listener then registers and gets them, and a later start's
// arguments go straight to it.
TEST(InstanceRelaySockets, ASecondStartBehindIdleAndDrippingConnectionsCompletes)
{
    const Sockets sockets;
    MemoryTrace trace;
    const WString name = relayName(L"crowd");
    const InstanceRelay relay(name, trace.trace);
    const RelayAddress address = addressOf(relay);
    ASSERT_NE(address.port, 0) << trace.text();

    std::vector<TestSocket> idle;
    for (int i = 0; i < 1000; ++i) {
        idle.emplace_back();
        ASSERT_TRUE(idle.back().connectTo(address.port)) << i << " " << WSAGetLastError();
    }
    // One drips the start of a message with the token, one byte after the
    // other; another drips bytes no message has.
    const std::string listenFrame = relayFrame({L"listen", address.token});
    const TestSocket dripWithToken;
    const TestSocket dripWithout;
    ASSERT_TRUE(dripWithToken.connectTo(address.port));
    ASSERT_TRUE(dripWithout.connectTo(address.port));
    std::atomic<bool> stop{false};
    std::thread drip([&] {
        for (std::size_t i = 0; i + 1 < listenFrame.size() && !stop; ++i) {
            dripWithToken.sendBytes(listenFrame.substr(i, 1));
            dripWithout.sendBytes(std::string(1, "\0\0\0\x27GET"[i % 7]));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });

    const auto started = std::chrono::steady_clock::now();
    const HandOverResult first = handArgumentsOver(name, {L"-open", L"first.txt"});
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(first, HandOverResult::Kept) << trace.text();
    const double seconds = std::chrono::duration<double>(took).count();
    RecordProperty("second_start_ms", static_cast<int>(seconds * 1000));
    std::printf("a second start behind 1,000 idle and 2 dripping connections took %.3f s\n", seconds);

    // The listener registers meanwhile, and gets the kept arguments first.
    TestSocket listener;
    ASSERT_TRUE(listener.connectTo(address.port));
    ASSERT_TRUE(listener.sendBytes(listenFrame));
    EXPECT_EQ(listener.receiveFrame(), std::optional<std::vector<WString>>({L"listening"})) << trace.text();
    EXPECT_EQ(listener.receiveFrame(), std::optional<std::vector<WString>>(argumentsMessage({L"-open", L"first.txt"})))
        << trace.text();

    EXPECT_EQ(handArgumentsOver(name, {L"second"}), HandOverResult::Delivered) << trace.text();
    EXPECT_EQ(listener.receiveFrame(), std::optional<std::vector<WString>>(argumentsMessage({L"second"})));

    // The peer without the token was dropped at its first wrong byte.
    EXPECT_TRUE(dripWithout.closedByPeer());
    stop = true;
    drip.join();
    const std::string lines = trace.text();
    EXPECT_NE(lines.find("a connection to the relay was refused"), std::string::npos) << lines;
    EXPECT_NE(lines.find("kept until the application registers its listener"), std::string::npos) << lines;
    EXPECT_NE(lines.find("kept until the application registered its listener, went to it: \"-open\" \"first.txt\""),
              std::string::npos)
        << lines;
}

// A connection that sends the start of a good message and no more is dropped
// once the time for the whole message is up, unanswered and its arguments not
// taken.
TEST(InstanceRelaySockets, AMessageMustBeWholeWithinItsTime)
{
    const Sockets sockets;
    MemoryTrace trace;
    const WString name = relayName(L"deadline");
    const InstanceRelay relay(name, trace.trace);
    const RelayAddress address = addressOf(relay);
    ASSERT_NE(address.port, 0) << trace.text();

    const TestSocket trickle;
    ASSERT_TRUE(trickle.connectTo(address.port));
    const std::string frame = relayFrame(secondStartMessage(address.token, {L"never"}));
    ASSERT_TRUE(trickle.sendBytes(frame.substr(0, 10)));
    // Dropped without an answer: the arguments were not taken.
    EXPECT_TRUE(trickle.closedByPeer());
    EXPECT_NE(trace.text().find("its message was not whole within"), std::string::npos) << trace.text();
    EXPECT_EQ(trace.text().find("never"), std::string::npos) << trace.text();
}

// Arguments kept for a listener that never came are named in the trace when
// the relay ends; a start after the listener has gone is not kept (its
// application is ending) and is told it was not run.
TEST(InstanceRelaySockets, WhatNoListenerTookIsNamedAndAStartAfterItIsNotRun)
{
    const Sockets sockets;
    MemoryTrace trace;
    const WString name = relayName(L"ends");
    {
        const InstanceRelay relay(name, trace.trace);
        ASSERT_NE(addressOf(relay).port, 0) << trace.text();
        EXPECT_EQ(handArgumentsOver(name, {L"kept"}), HandOverResult::Kept);
    }
    EXPECT_NE(trace.text().find("a second start's arguments were not run: the application registered no listener for "
                                "them (LaunchContext.addSecondStartListener); arguments: \"kept\""),
              std::string::npos)
        << trace.text();
    // Its address is gone with it.
    EXPECT_EQ(handArgumentsOver(name, {L"late"}), HandOverResult::Unreachable);

    MemoryTrace second;
    const InstanceRelay relay(name, second.trace);
    const RelayAddress address = addressOf(relay);
    {
        TestSocket listener;
        ASSERT_TRUE(listener.connectTo(address.port));
        ASSERT_TRUE(listener.sendBytes(relayFrame({L"listen", address.token})));
        ASSERT_EQ(listener.receiveFrame(), std::optional<std::vector<WString>>({L"listening"}));
    }
    // The relay hears of the end of the listener's connection on its own;
    // a start meanwhile may still find the connection and fail to send.
    const HandOverResult late = handArgumentsOver(name, {L"after"});
    EXPECT_EQ(late, HandOverResult::NotKept) << second.text();
    EXPECT_NE(second.text().find("the application's listener for them is gone"), std::string::npos) << second.text();
}

// Every way the set-up fails says so in the trace: here the name of its
// shared memory is taken by an object of another kind.
TEST(InstanceRelaySockets, ASetUpThatFailsSaysSoInTheTrace)
{
    const Sockets sockets;
    MemoryTrace trace;
    const WString name = relayName(L"taken");
    const HANDLE taken = CreateMutexW(nullptr, FALSE, name.c_str());
    ASSERT_NE(taken, nullptr);
    {
        const InstanceRelay relay(name, trace.trace);
        EXPECT_TRUE(relay.handoffLines().empty());
    }
    CloseHandle(taken);
    EXPECT_NE(trace.text().find("its address cannot be published in " + toUtf8(name)), std::string::npos)
        << trace.text();
    EXPECT_NE(trace.text().find("a second start cannot hand its arguments over"), std::string::npos) << trace.text();
}
