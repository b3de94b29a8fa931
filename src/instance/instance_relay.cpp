#include "instance/instance_relay.h"

#include <algorithm>

#include "base/text.h"

namespace qel {

namespace {

constexpr std::wstring_view kListen = L"listen";
constexpr std::wstring_view kArguments = L"arguments";

void appendUnit(WString& out, std::uint32_t codePoint)
{
    if (sizeof(wchar_t) == 2 && codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
        out += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
    } else {
        out += static_cast<wchar_t>(codePoint);
    }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
std::optional<WString> fromUtf8(std::string_view bytes)
{
    WString out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        std::uint32_t codePoint = 0;
        std::uint32_t least = 0;
        if (lead < 0x80) {
            length = 1;
            codePoint = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1Fu;
            least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0Fu;
            least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07u;
            least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (bytes.size() - i < length) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0u) != 0x80u) {
                return std::nullopt;
            }
            codePoint = (codePoint << 6) | (next & 0x3Fu);
        }
        if (codePoint < least || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return std::nullopt;
        }
        appendUnit(out, codePoint);
        i += length;
    }
    return out;
}

bool allHexDigits(std::wstring_view text)
{
    for (const wchar_t c : text) {
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string relayFrame(const std::vector<WString>& fields)
{
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            text += '\0';
        }
        text += toUtf8(fields[i]);
    }
    const auto length = static_cast<std::uint32_t>(text.size());
    std::string frame;
    frame += static_cast<char>((length >> 24) & 0xFFu);
    frame += static_cast<char>((length >> 16) & 0xFFu);
    frame += static_cast<char>((length >> 8) & 0xFFu);
    frame += static_cast<char>(length & 0xFFu);
    return frame + text;
}

std::optional<std::uint32_t> relayFrameLength(const unsigned char* header)
{
    const std::uint32_t length = (static_cast<std::uint32_t>(header[0]) << 24) |
                                 (static_cast<std::uint32_t>(header[1]) << 16) |
                                 (static_cast<std::uint32_t>(header[2]) << 8) | static_cast<std::uint32_t>(header[3]);
    if (length > kRelayFrameLimit) {
        return std::nullopt;
    }
    return length;
}

std::optional<std::vector<WString>> relayFields(std::string_view text)
{
    std::vector<WString> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\0', start);
        const auto field = fromUtf8(text.substr(start, end == std::string_view::npos ? text.npos : end - start));
        if (!field) {
            return std::nullopt;
        }
        fields.push_back(*field);
        if (end == std::string_view::npos) {
            return fields;
        }
        start = end + 1;
    }
}

WString relayToken(const std::uint8_t (&random)[16])
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    WString token;
    for (const std::uint8_t byte : random) {
        token += kDigits[byte >> 4];
        token += kDigits[byte & 0x0F];
    }
    return token;
}

WString relayAddressText(const RelayAddress& address)
{
    return std::to_wstring(address.port) + L" " + address.token;
}

std::optional<RelayAddress> parseRelayAddress(std::wstring_view text)
{
    const std::size_t blank = text.find(L' ');
    if (blank == std::wstring_view::npos || blank == 0 || blank > 5) {
        return std::nullopt;
    }
    std::uint32_t port = 0;
    for (const wchar_t c : text.substr(0, blank)) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        port = port * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    const std::wstring_view token = text.substr(blank + 1);
    if (port == 0 || port > 0xFFFF || token.size() != 32 || !allHexDigits(token)) {
        return std::nullopt;
    }
    return RelayAddress{static_cast<std::uint16_t>(port), WString(token)};
}

std::vector<WString> relayHandoffLines(const RelayAddress& address)
{
    return {WString(kRelayPortKey) + L"=" + std::to_wstring(address.port),
            WString(kRelayTokenKey) + L"=" + address.token};
}

RelayRequest relayRequest(const std::vector<WString>& fields, std::wstring_view token)
{
    RelayRequest request;
    if (fields.size() < 2 || token.empty() || fields[1] != token) {
        return request;
    }
    if (fields[0] == kListen && fields.size() == 2) {
        request.peer = RelayPeer::Listener;
    } else if (fields[0] == kArguments) {
        request.peer = RelayPeer::SecondStart;
        request.arguments.assign(fields.begin() + 2, fields.end());
    }
    return request;
}

RelayFrameReader::RelayFrameReader(std::wstring_view token)
    : token_(token), listenStart_(toUtf8(kListen) + '\0' + toUtf8(token)),
      argumentsStart_(toUtf8(kArguments) + '\0' + toUtf8(token))
{}

RelayFrameReader::State RelayFrameReader::take(std::string_view bytes)
{
    if (state_ != State::Incomplete || bytes.empty()) {
        return state_;
    }
    if (token_.empty()) {
        // A relay without a token opens to nobody.
        state_ = State::Refused;
        return state_;
    }
    std::size_t used = 0;
    while (received_ < sizeof header_ && used < bytes.size()) {
        header_[received_++] = static_cast<unsigned char>(bytes[used++]);
    }
    if (received_ < sizeof header_) {
        return state_;
    }
    if (received_ == sizeof header_) {
        const auto length = relayFrameLength(header_);
        if (!length) {
            state_ = State::Refused;
            return state_;
        }
        length_ = *length;
    }
    const std::size_t wanted = std::min<std::size_t>(length_ - text_.size(), bytes.size() - used);
    text_.append(bytes.substr(used, wanted));
    received_ += wanted;
    if (!couldBeMessage()) {
        state_ = State::Refused;
        return state_;
    }
    if (text_.size() == length_) {
        const auto fields = relayFields(text_);
        request_ = fields ? relayRequest(*fields, token_) : RelayRequest{};
        state_ = request_.peer == RelayPeer::Refused ? State::Refused : State::Complete;
    }
    return state_;
}

bool RelayFrameReader::couldBeMessage() const
{
    // "listen" and the token and nothing else; "arguments" and the token, then
    // the end or a field's separator.
    const auto fits = [this](const std::string& start, bool whole) {
        if (whole ? length_ != start.size() : length_ < start.size()) {
            return false;
        }
        const std::size_t compared = std::min(text_.size(), start.size());
        if (text_.compare(0, compared, start, 0, compared) != 0) {
            return false;
        }
        return whole || text_.size() <= start.size() || text_[start.size()] == '\0';
    };
    return fits(listenStart_, true) || fits(argumentsStart_, false);
}

std::size_t relayConnectionToDrop(const std::vector<bool>& started)
{
    const auto silent = std::find(started.begin(), started.end(), false);
    return silent == started.end() ? 0 : static_cast<std::size_t>(silent - started.begin());
}

bool KeptSecondStarts::keep(const std::vector<WString>& arguments)
{
    const std::size_t size = argumentsFrame(arguments).size();
    if (starts_.size() >= kKeptStartsLimit || size > kKeptBytesLimit - bytes_) {
        return false;
    }
    starts_.push_back(arguments);
    bytes_ += size;
    return true;
}

std::vector<std::vector<WString>> KeptSecondStarts::takeAll()
{
    std::vector<std::vector<WString>> taken;
    taken.swap(starts_);
    bytes_ = 0;
    return taken;
}

std::string argumentsFrame(const std::vector<WString>& arguments)
{
    std::vector<WString> message{WString(kArguments)};
    message.insert(message.end(), arguments.begin(), arguments.end());
    return relayFrame(message);
}

std::vector<WString> secondStartMessage(std::wstring_view token, const std::vector<WString>& arguments)
{
    std::vector<WString> fields{WString(kArguments), WString(token)};
    fields.insert(fields.end(), arguments.begin(), arguments.end());
    return fields;
}

WString relayAnswer(HandOverResult result)
{
    switch (result) {
    case HandOverResult::Delivered:
        return L"delivered";
    case HandOverResult::Kept:
        return L"kept";
    case HandOverResult::NotKept:
    case HandOverResult::Unreachable:
        break;
    }
    return L"not-delivered";
}

HandOverResult handOverResult(const std::vector<WString>& answer)
{
    if (answer.size() == 1) {
        for (const HandOverResult result : {HandOverResult::Delivered, HandOverResult::Kept, HandOverResult::NotKept}) {
            if (answer[0] == relayAnswer(result)) {
                return result;
            }
        }
    }
    return HandOverResult::Unreachable;
}

WString quotedArguments(const std::vector<WString>& arguments)
{
    if (arguments.empty()) {
        return L"none";
    }
    WString text;
    for (const WString& argument : arguments) {
        text += (text.empty() ? L"\"" : L" \"") + argument + L"\"";
    }
    return text;
}

WString undeliveredArgumentsText(const std::vector<WString>& arguments)
{
    return L"a second start's arguments were not run: the application registered no listener for them "
           L"(LaunchContext.addSecondStartListener); arguments: " +
           quotedArguments(arguments);
}

WString keptArgumentsText(const std::vector<WString>& arguments)
{
    return L"a second start's arguments are kept until the application registers its listener for them "
           L"(LaunchContext.addSecondStartListener): " +
           quotedArguments(arguments);
}

WString keptArgumentsDeliveredText(const std::vector<WString>& arguments)
{
    return L"a second start's arguments, kept until the application registered its listener, went to it: " +
           quotedArguments(arguments);
}

WString notKeptArgumentsText(const std::vector<WString>& arguments, bool listenerGone)
{
    if (listenerGone) {
        return L"a second start's arguments were not run: the application's listener for them is gone (its VM may "
               L"be ending); arguments: " +
               quotedArguments(arguments);
    }
    return L"a second start's arguments were not run: the application registered no listener for them yet, and the "
           L"launcher keeps no more than " +
           std::to_wstring(kKeptStartsLimit) + L" starts or " + std::to_wstring(kKeptBytesLimit) +
           L" bytes of them for it; arguments: " + quotedArguments(arguments);
}

WString handOverText(HandOverResult result, const std::vector<WString>& arguments)
{
    switch (result) {
    case HandOverResult::Delivered:
        return L"arguments handed over to the first launcher, whose application's listener has them: " +
               quotedArguments(arguments);
    case HandOverResult::Kept:
        return L"arguments handed over to the first launcher, which keeps them until its application registers a "
               L"listener: " +
               quotedArguments(arguments);
    case HandOverResult::NotKept:
        return L"the first launcher could neither pass these arguments to its application nor keep them: they were "
               L"not run: " +
               quotedArguments(arguments);
    case HandOverResult::Unreachable:
        break;
    }
    return L"the first launcher could not be reached: these arguments were not run: " + quotedArguments(arguments);
}

int handOverExitCode(HandOverResult result)
{
    return result == HandOverResult::Delivered || result == HandOverResult::Kept ? 0 : kAlreadyRunningExitCode;
}

WString alreadyRunningText(std::wstring_view applicationName, std::wstring_view propertiesPath,
                           const std::vector<WString>& arguments)
{
    const WString which = applicationName.empty() ? L"The application of " + WString(propertiesPath)
                                                  : WString(applicationName) + L" (" + WString(propertiesPath) + L")";
    return which + L" already runs, and only one instance may run: the arguments of this start were not run (" +
           quotedArguments(arguments) + L").";
}

}  // namespace qel
