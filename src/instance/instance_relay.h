#pragma once

// What a second start of a single-instance application does with its arguments
// (qel.single.instance): the first launcher listens on a loopback TCP port for
// as long as it runs and tells its VM the port and a random token in the
// hand-off file; the Java side library connects when the application registers
// a listener for second starts. A second start of the windowed launcher finds
// the port in the first launcher's shared memory and hands its arguments over;
// the first launcher passes them to the application's listener or, before the
// application registered one, keeps them for it (a bounded number), and tells
// the second start which of these it did. The console twin's second start hands
// nothing over: it says on standard error that its arguments were not run and
// ends with kAlreadyRunningExitCode.
//
// Every local process can reach the port: no connection may hold another up.
// The relay serves every connection at once, drops one whose bytes can no
// longer be a message with the token at the first such byte, and one whose
// message is not whole within kRelayFrameDeadlineMs of its coming, however it
// trickles; at most kRelayWaitingLimit connections wait for their message.
//
// Every message is one frame: its length as four bytes, most significant first,
// then that many bytes of UTF-8 text, fields separated by the byte 0 (no
// argument of a Windows command line holds U+0000). The messages:
//   "listen" token                 the library, for its listener
//   "listening"                    the first launcher's answer to it
//   "arguments" token arg...       a second start, with its arguments
//   "delivered" / "kept" / "not-delivered"
//                                  the first launcher's answer to it
//   "arguments" arg...             the first launcher to the library, for each second start
// The rules here decide; instance_relay_win.cpp holds the sockets.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

// The exit code of a start that ran nothing because another instance of the
// application runs (the console twin always; the windowed launcher when it
// could not hand its arguments over).
inline constexpr int kAlreadyRunningExitCode = 105;

// The hand-off file's keys for the library.
inline constexpr std::wstring_view kRelayPortKey = L"qel.single.instance.port";
inline constexpr std::wstring_view kRelayTokenKey = L"qel.single.instance.token";

// The largest frame either side accepts: a command line of 32767 UTF-16 units
// is at most about 96 KiB of UTF-8.
inline constexpr std::uint32_t kRelayFrameLimit = 1u << 20;

// How long a connection may take from its coming to the end of its first
// message.
inline constexpr std::uint32_t kRelayFrameDeadlineMs = 5000;

// How many connections may wait for their first message at once: one more
// makes one of them give way (relayConnectionToDrop).
inline constexpr std::size_t kRelayWaitingLimit = 32;

// How long the relay tries to send one message (to the application's listener,
// or an answer) before it gives up on that connection.
inline constexpr std::uint32_t kRelaySendDeadlineMs = 2000;

// How long a second start waits for the first launcher's answer: longer than
// the relay may take for a message and its passing on, so that a start is never
// told "not run" for arguments the first launcher then runs.
inline constexpr std::uint32_t kHandOverWaitMs = 4 * (kRelayFrameDeadlineMs + kRelaySendDeadlineMs);

// How many second starts, and how many bytes of their frames, the first
// launcher keeps for a listener to come.
inline constexpr std::size_t kKeptStartsLimit = 16;
inline constexpr std::size_t kKeptBytesLimit = kRelayFrameLimit;

// The frame of these fields: header and text.
std::string relayFrame(const std::vector<WString>& fields);

// The length a frame's four header bytes announce; none beyond kRelayFrameLimit.
std::optional<std::uint32_t> relayFrameLength(const unsigned char* header);

// The fields of a frame's text; none when it is not well-formed UTF-8.
std::optional<std::vector<WString>> relayFields(std::string_view text);

// The token: 32 lower-case hex digits of 16 random bytes.
WString relayToken(const std::uint8_t (&random)[16]);

// Where the first launcher listens, as it publishes it to second starts.
struct RelayAddress {
    std::uint16_t port = 0;
    WString token;
};
WString relayAddressText(const RelayAddress& address);
std::optional<RelayAddress> parseRelayAddress(std::wstring_view text);

// The hand-off file's lines that tell the library the same.
std::vector<WString> relayHandoffLines(const RelayAddress& address);

// A connection's first message, as the first launcher understands it.
enum class RelayPeer {
    // A wrong token, or a message of no known kind: the connection is closed.
    Refused,
    // The library, for the application's listener.
    Listener,
    // A second start with its arguments.
    SecondStart,
};
struct RelayRequest {
    RelayPeer peer = RelayPeer::Refused;
    std::vector<WString> arguments;
};
RelayRequest relayRequest(const std::vector<WString>& fields, std::wstring_view token);

// The first message of a connection, read as its bytes come: refused at the
// first byte that no message of the library or of a second start with this
// token could have (without the token a peer gets no further than the bytes it
// guesses right), complete once the frame is whole. Bytes after the frame are
// not read.
class RelayFrameReader {
public:
    enum class State { Incomplete, Refused, Complete };

    explicit RelayFrameReader(std::wstring_view token);

    // Takes the next bytes the connection sent; the state after them.
    State take(std::string_view bytes);
    State state() const { return state_; }
    // The connection has sent at least one byte.
    bool started() const { return received_ > 0; }
    // Once complete: what the message asks for.
    const RelayRequest& request() const { return request_; }

private:
    bool couldBeMessage() const;

    std::wstring token_;
    std::string listenStart_;
    std::string argumentsStart_;
    unsigned char header_[4] = {};
    std::size_t received_ = 0;
    std::uint32_t length_ = 0;
    std::string text_;
    State state_ = State::Incomplete;
    RelayRequest request_;
};

// Which waiting connection gives way when a new one comes and
// kRelayWaitingLimit wait already, given for each in the order they came
// whether it has sent anything: the first that has sent nothing (a connection
// that sent bytes has shown the token's start), else the first.
std::size_t relayConnectionToDrop(const std::vector<bool>& started);

// The arguments of second starts that came before the application registered
// its listener, kept for it in their order: at most kKeptStartsLimit starts and
// kKeptBytesLimit bytes of frames.
class KeptSecondStarts {
public:
    // Keeps them; false, keeping nothing, when they do not fit.
    bool keep(const std::vector<WString>& arguments);
    // Every start kept, in order; none are kept after.
    std::vector<std::vector<WString>> takeAll();
    bool empty() const { return starts_.empty(); }

private:
    std::vector<std::vector<WString>> starts_;
    std::size_t bytes_ = 0;
};

// The first launcher's frame to the library with a second start's arguments.
std::string argumentsFrame(const std::vector<WString>& arguments);

// The second start's message.
std::vector<WString> secondStartMessage(std::wstring_view token, const std::vector<WString>& arguments);

// What became of a second start's arguments, as the first launcher answers
// and the second start learns it.
enum class HandOverResult {
    // The application's listener has them.
    Delivered,
    // The first launcher keeps them until its application registers a listener.
    Kept,
    // The first launcher could not pass them on nor keep them: they were not run.
    NotKept,
    // The first launcher could not be reached, or did not answer: it has not
    // taken them.
    Unreachable,
};

// The first launcher's answer (one field) for a result; and the result an
// answer's fields give the second start (none of ours: Unreachable).
WString relayAnswer(HandOverResult result);
HandOverResult handOverResult(const std::vector<WString>& answer);

// The arguments as one text for a trace line: each in double quotes.
WString quotedArguments(const std::vector<WString>& arguments);

// The first launcher's trace line for a second start whose arguments reached no
// listener: the run ended before the application registered one.
WString undeliveredArgumentsText(const std::vector<WString>& arguments);

// The first launcher's trace lines for arguments kept for the listener to come,
// passed to it once it registered, and not kept (kKeptStartsLimit starts or
// kKeptBytesLimit bytes wait already, or the application's listener is gone).
WString keptArgumentsText(const std::vector<WString>& arguments);
WString keptArgumentsDeliveredText(const std::vector<WString>& arguments);
WString notKeptArgumentsText(const std::vector<WString>& arguments, bool listenerGone);

// The second start's trace line for what became of its arguments; its exit
// code: 0 when the first launcher has them, kAlreadyRunningExitCode when they
// were not run.
WString handOverText(HandOverResult result, const std::vector<WString>& arguments);
int handOverExitCode(HandOverResult result);

// The console twin's line on standard error: which application already runs
// (its qel.application.name, else its properties file) and that this start's
// arguments were not run.
WString alreadyRunningText(std::wstring_view applicationName, std::wstring_view propertiesPath,
                           const std::vector<WString>& arguments);

}  // namespace qel
