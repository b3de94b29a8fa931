#pragma once

// What a second start of a single-instance application does with its arguments
// (qel.single.instance): the first launcher listens on a loopback TCP port for
// as long as it runs and tells its VM the port and a random token in the
// hand-off file; the Java side library connects when the application registers
// a listener for second starts. A second start of the windowed launcher finds
// the port in the first launcher's shared memory and hands its arguments over;
// the first launcher passes them to the application's listener, or writes in
// its trace that none was registered. The console twin's second start hands
// nothing over: it says on standard error that its arguments were not run and
// ends with kAlreadyRunningExitCode.
//
// Every message is one frame: its length as four bytes, most significant first,
// then that many bytes of UTF-8 text, fields separated by the byte 0 (no
// argument of a Windows command line holds U+0000). The messages:
//   "listen" token                 the library, for its listener
//   "listening"                    the first launcher's answer to it
//   "arguments" token arg...       a second start, with its arguments
//   "delivered" / "not-delivered"  the first launcher's answer to it
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

// The second start's message.
std::vector<WString> secondStartMessage(std::wstring_view token, const std::vector<WString>& arguments);

// The arguments as one text for a trace line: each in double quotes.
WString quotedArguments(const std::vector<WString>& arguments);

// The first launcher's trace line for a second start whose arguments reached no
// listener.
WString undeliveredArgumentsText(const std::vector<WString>& arguments);

// The console twin's line on standard error: which application already runs
// (its qel.application.name, else its properties file) and that this start's
// arguments were not run.
WString alreadyRunningText(std::wstring_view applicationName, std::wstring_view propertiesPath,
                           const std::vector<WString>& arguments);

}  // namespace qel
