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

namespace {

// The reader's state after each byte of the bytes, one at a time.
std::vector<RelayFrameReader::State> statesByteByByte(const std::string& bytes, const WString& token = kToken)
{
    RelayFrameReader reader(token);
    std::vector<RelayFrameReader::State> states;
    for (const char byte : bytes) {
        states.push_back(reader.take(std::string_view(&byte, 1)));
    }
    return states;
}

// The index of the first byte after which the reader refused; the size when it never did.
std::size_t refusedAt(const std::string& bytes, const WString& token = kToken)
{
    const auto states = statesByteByByte(bytes, token);
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (states[i] == RelayFrameReader::State::Refused) {
            return i;
        }
    }
    return states.size();
}

}  // namespace

TEST(InstanceRelay, AMessageIsReadAsItsBytesComeAndIsWholeOnlyAtItsEnd)
{
    const struct {
        std::vector<WString> fields;
        RelayPeer peer;
        std::vector<WString> arguments;
    } rows[] = {
        {{L"listen", kToken}, RelayPeer::Listener, {}},
        {secondStartMessage(kToken, {}), RelayPeer::SecondStart, {}},
        {secondStartMessage(kToken, {L"-open", L"", L"C:\\a b.txt", L"\u00e9"}),
         RelayPeer::SecondStart,
         {L"-open", L"", L"C:\\a b.txt", L"\u00e9"}},
    };
    for (const auto& row : rows) {
        const std::string frame = relayFrame(row.fields);
        // Bytes after the frame are not its.
        const auto states = statesByteByByte(frame + "trailing");
        for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
            EXPECT_EQ(states[i], RelayFrameReader::State::Incomplete) << i;
        }
        for (std::size_t i = frame.size() - 1; i < states.size(); ++i) {
            EXPECT_EQ(states[i], RelayFrameReader::State::Complete) << i;
        }
        // All at once, the same.
        RelayFrameReader whole(kToken);
        EXPECT_EQ(whole.take(frame), RelayFrameReader::State::Complete);
        EXPECT_EQ(whole.request().peer, row.peer);
        EXPECT_EQ(whole.request().arguments, row.arguments);
    }
}

// A peer without the token is refused at the first byte it guessed wrong, not
// at the end of the frame it announced, however slowly it sends.
TEST(InstanceRelay, APeerWithoutTheTokenIsRefusedAtItsFirstWrongByte)
{
    const std::string listen = relayFrame({L"listen", kToken});
    const std::string arguments = relayFrame(secondStartMessage(kToken, {L"x"}));
    std::string wrongToken = arguments;
    const std::size_t tokenStart = 4 + std::string("arguments").size() + 1;
    wrongToken[tokenStart + 5] = 'x';
    std::string noSeparator = arguments;
    noSeparator[tokenStart + 32] = 'y';
    std::string listenMore = relayFrame({L"listen", kToken, L""});
    const struct {
        const char* name;
        std::string bytes;
        std::size_t refusedAt;
    } rows[] = {
        {"a frame beyond the limit", std::string("\x00\x10\x00\x01", 4) + "listen", 3},
        {"a frame too short for the token", std::string("\x00\x00\x00\x05", 4) + "liste", 3},
        {"an HTTP request", "GET / HTTP/1.1\r\n\r\n", 3},
        {"another kind", relayFrame({L"delivered", kToken}), 4},
        {"a wrong token", wrongToken, tokenStart + 5},
        {"the token, then no separator", noSeparator, tokenStart + 32},
        {"listen with more", listenMore, 3},
        {"the listen frame of another token", relayFrame({L"listen", L"0123456789abcdef0123456789abcdee"}),
         listen.size() - 1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(refusedAt(row.bytes), row.refusedAt) << row.name;
    }
    // A relay without a token opens to nobody.
    EXPECT_EQ(refusedAt(listen, L""), 0u);
    RelayFrameReader reader(kToken);
    EXPECT_FALSE(reader.started());
    reader.take(std::string_view(listen.data(), 1));
    EXPECT_TRUE(reader.started());
}

TEST(InstanceRelay, TheFirstSilentConnectionGivesWay)
{
    const struct {
        std::vector<bool> started;
        std::size_t dropped;
    } rows[] = {
        {{false, false, false}, 0},
        {{true, false, false}, 1},
        {{true, true, false}, 2},
        {{true, true, true}, 0},
        {{false}, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(relayConnectionToDrop(row.started), row.dropped);
    }
}

TEST(InstanceRelay, KeptStartsAreBoundedAndComeBackInOrder)
{
    KeptSecondStarts kept;
    EXPECT_TRUE(kept.empty());
    for (std::size_t i = 0; i < kKeptStartsLimit; ++i) {
        EXPECT_TRUE(kept.keep({L"start", std::to_wstring(i)})) << i;
    }
    EXPECT_FALSE(kept.keep({L"one", L"more"}));
    const auto all = kept.takeAll();
    ASSERT_EQ(all.size(), kKeptStartsLimit);
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i], (std::vector<WString>{L"start", std::to_wstring(i)}));
    }
    EXPECT_TRUE(kept.empty());
    EXPECT_TRUE(kept.takeAll().empty());

    // The bytes are bounded too: a start that does not fit beside the kept ones
    // is not kept, a smaller one still is.
    const WString half(kKeptBytesLimit / 2, L'a');
    EXPECT_TRUE(kept.keep({half}));
    EXPECT_FALSE(kept.keep({half}));
    EXPECT_TRUE(kept.keep({L"small"}));
    EXPECT_EQ(kept.takeAll().size(), 2u);
    EXPECT_FALSE(kept.keep({WString(kKeptBytesLimit, L'a')}));
}

TEST(InstanceRelay, WhatTheSecondStartIsToldIsWhatBecameOfItsArguments)
{
    const struct {
        HandOverResult result;
        int exitCode;
        const wchar_t* says;
    } rows[] = {
        {HandOverResult::Delivered, 0, L"whose application's listener has them"},
        {HandOverResult::Kept, 0, L"which keeps them until its application registers a listener"},
        {HandOverResult::NotKept, kAlreadyRunningExitCode, L"they were not run"},
        {HandOverResult::Unreachable, kAlreadyRunningExitCode, L"could not be reached: these arguments were not run"},
    };
    for (const auto& row : rows) {
        if (row.result != HandOverResult::Unreachable) {
            EXPECT_EQ(handOverResult({relayAnswer(row.result)}), row.result) << toUtf8(relayAnswer(row.result));
        }
        EXPECT_EQ(handOverExitCode(row.result), row.exitCode);
        const WString text = handOverText(row.result, {L"-open", L"a b"});
        EXPECT_NE(text.find(row.says), WString::npos) << toUtf8(text);
        EXPECT_NE(text.find(L"\"-open\" \"a b\""), WString::npos) << toUtf8(text);
    }
    for (const std::vector<WString>& answer : std::vector<std::vector<WString>>{
             {}, {L"listening"}, {L"delivered", L""}, {L"Delivered"}, {L""}}) {
        EXPECT_EQ(handOverResult(answer), HandOverResult::Unreachable) << answer.size();
    }
    // The second start waits longer than the first launcher may take to answer.
    EXPECT_GT(kHandOverWaitMs, kRelayFrameDeadlineMs + kRelaySendDeadlineMs);
}
