// The rules of a second start's arguments (instance_relay.h): the frames both
// sides exchange, the address the first launcher publishes, what it makes of a
// connection's first message, and the texts of a start that ran nothing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "instance/instance_relay.h"

using namespace qel;

namespace {

const WString kToken = L"0123456789abcdef0123456789abcdef";

std::vector<WString> roundTrip(const std::vector<WString>& fields)
{
    const std::string frame = relayFrame(fields);
    const auto length = relayFrameLength(reinterpret_cast<const unsigned char*>(frame.data()));
    EXPECT_TRUE(length.has_value());
    EXPECT_EQ(length.value_or(0) + 4, frame.size());
    const auto back = relayFields(std::string_view(frame).substr(4));
    EXPECT_TRUE(back.has_value());
    return back.value_or(std::vector<WString>{});
}

}  // namespace

TEST(InstanceRelay, FramesCarryEveryArgumentBack)
{
    const std::vector<std::vector<WString>> cases = {
        {L"arguments"},
        {L"arguments", kToken, L""},
        {L"arguments", kToken, L"", L"", L"a b"},
        {L"arguments", kToken, L"C:\\My Files\\a.txt", L"say\"hi\"", L"\t\r\n"},
        {L"arguments", kToken, L"\u00e9\u4e2d\u2192", L"\U0001F600 emoji"},
    };
    for (const auto& fields : cases) {
        EXPECT_EQ(roundTrip(fields), fields) << toUtf8(quotedArguments(fields));
    }
    // Most significant byte first, the text in UTF-8 with 0 between fields.
    EXPECT_EQ(relayFrame({L"ab", L"\u00e9"}), std::string("\0\0\0\5ab\0\xc3\xa9", 9));
}

TEST(InstanceRelay, FrameLengthsBeyondTheLimitAndBrokenTextAreRefused)
{
    const struct {
        unsigned char header[4];
        bool accepted;
    } lengths[] = {
        {{0, 0, 0, 0}, true}, {{0, 0x10, 0, 0}, true}, {{0, 0x10, 0, 1}, false}, {{0xFF, 0xFF, 0xFF, 0xFF}, false}};
    for (const auto& row : lengths) {
        EXPECT_EQ(relayFrameLength(row.header).has_value(), row.accepted) << int(row.header[1]);
    }
    for (const std::string& broken :
         {std::string("\xc3"), std::string("a\xff"), std::string("\xc0\xaf"), std::string("\xed\xa0\x80"),
          std::string("\xf4\x90\x80\x80"), std::string("\xe2\x82")}) {
        EXPECT_FALSE(relayFields(broken).has_value()) << broken.size();
    }
}

TEST(InstanceRelay, TheAddressIsReadBackAndNothingElse)
{
    const std::uint8_t random[16] = {0x00, 0x01, 0xab, 0xff, 0x10, 0x20, 0x30, 0x40,
                                     0x50, 0x60, 0x70, 0x80, 0x90, 0xa0, 0xb0, 0xc0};
    const WString token = relayToken(random);
    EXPECT_EQ(token, L"0001abff102030405060708090a0b0c0");
    const auto address = parseRelayAddress(relayAddressText({51234, token}));
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->port, 51234);
    EXPECT_EQ(address->token, token);
    for (const wchar_t* text :
         {L"", L" ", L"0 ", L"65536 0001abff102030405060708090a0b0c0", L"0 0001abff102030405060708090a0b0c0",
          L"123 0001ABFF102030405060708090a0b0c0", L"123 0001abff102030405060708090a0b0c",
          L"12a 0001abff102030405060708090a0b0c0", L"123456 0001abff102030405060708090a0b0c0"}) {
        EXPECT_FALSE(parseRelayAddress(text).has_value()) << toUtf8(text);
    }
    EXPECT_EQ(relayHandoffLines({8080, token}),
              (std::vector<WString>{L"qel.single.instance.port=8080", L"qel.single.instance.token=" + token}));
}

TEST(InstanceRelay, OnlyTheTokenOpensTheRelay)
{
    const struct {
        std::vector<WString> fields;
        RelayPeer peer;
        std::vector<WString> arguments;
    } rows[] = {
        {{L"listen", kToken}, RelayPeer::Listener, {}},
        {secondStartMessage(kToken, {}), RelayPeer::SecondStart, {}},
        {secondStartMessage(kToken, {L"-open", L"", L"C:\\a b.txt"}),
         RelayPeer::SecondStart,
         {L"-open", L"", L"C:\\a b.txt"}},
        {{L"listen", L"0123456789abcdef0123456789abcdee"}, RelayPeer::Refused, {}},
        {secondStartMessage(L"", {L"x"}), RelayPeer::Refused, {}},
        {{L"listen"}, RelayPeer::Refused, {}},
        {{L"listen", kToken, L"extra"}, RelayPeer::Refused, {}},
        {{L"delivered", kToken}, RelayPeer::Refused, {}},
        {{L""}, RelayPeer::Refused, {}},
    };
    for (const auto& row : rows) {
        const RelayRequest request = relayRequest(row.fields, kToken);
        EXPECT_EQ(request.peer, row.peer) << toUtf8(quotedArguments(row.fields));
        EXPECT_EQ(request.arguments, row.arguments);
    }
    // A relay without a token opens to nobody.
    EXPECT_EQ(relayRequest({L"listen", L""}, L"").peer, RelayPeer::Refused);
}

TEST(InstanceRelay, TheTextsSayWhichApplicationRunsAndWhatWasNotRun)
{
    EXPECT_EQ(alreadyRunningText(L"Shop", L"C:\\Tools\\shop.qel", {L"list", L"a b"}),
              L"Shop (C:\\Tools\\shop.qel) already runs, and only one instance may run: the arguments of this "
              L"start were not run (\"list\" \"a b\").");
    EXPECT_EQ(alreadyRunningText(L"", L"C:\\Tools\\shop.qel", {}),
              L"The application of C:\\Tools\\shop.qel already runs, and only one instance may run: the arguments "
              L"of this start were not run (none).");
    EXPECT_NE(undeliveredArgumentsText({L"-open", L"x.txt"}).find(L"registered no listener"), WString::npos);
    EXPECT_NE(undeliveredArgumentsText({L"-open", L"x.txt"}).find(L"\"-open\" \"x.txt\""), WString::npos);
}
