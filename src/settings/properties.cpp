#include "settings/properties.h"

namespace qel {

namespace {

// Lines of the text as the C runtime's text mode delivers them, one unit per byte.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\x1A'))) {}

    bool atEnd() const { return position_ >= bytes_.size(); }

    // The units before the next line feed (or the end); a carriage return directly
    // before a line feed is not part of the text.
    WString readLine()
    {
        const std::size_t feed = bytes_.find('\n', position_);
        const std::size_t end = feed == std::string_view::npos ? bytes_.size() : feed;
        std::size_t lineEnd = end;
        if (feed != std::string_view::npos && lineEnd > position_ && bytes_[lineEnd - 1] == '\r') {
            --lineEnd;
        }
        WString line;
        line.reserve(lineEnd - position_);
        for (std::size_t i = position_; i < lineEnd; ++i) {
            line.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes_[i])));
        }
        position_ = feed == std::string_view::npos ? bytes_.size() : feed + 1;
        return line;
    }

private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};

bool endsWithBackslash(const WString& text)
{
    return !text.empty() && text.back() == L'\\';
}

int hexDigitValue(wchar_t unit)
{
    if (unit >= L'0' && unit <= L'9') return unit - L'0';
    if (unit >= L'a' && unit <= L'f') return unit - L'a' + 10;
    if (unit >= L'A' && unit <= L'F') return unit - L'A' + 10;
    return -1;
}

}  // namespace

std::wstring_view trimControl(std::wstring_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned>(text[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned>(text[end - 1]) <= 0x20) --end;
    return text.substr(begin, end - begin);
}

WString unescapeProperty(std::wstring_view text)
{
    WString result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            result.push_back(text[i]);
            continue;
        }
        if (text[i + 1] != L'u') {
            // Both units stay, so the second backslash of a pair escapes nothing.
            result.push_back(text[i]);
            result.push_back(text[i + 1]);
            ++i;
            continue;
        }
        unsigned value = 0;
        std::size_t next = i + 2;
        for (int digits = 0; digits < 4 && next < text.size() && hexDigitValue(text[next]) >= 0; ++digits, ++next) {
            value = value * 16 + static_cast<unsigned>(hexDigitValue(text[next]));
        }
        result.push_back(static_cast<wchar_t>(value));
        i = next - 1;
    }
    return result;
}

void parseProperties(PropertyTable& table, std::string_view bytes)
{
    LineReader reader(bytes);
    while (!reader.atEnd()) {
        const WString line = reader.readLine();
        if (!line.empty() && line.front() == L'#') {
            continue;
        }
        if (trimControl(line).empty()) {
            continue;
        }
        const auto separator = line.find(L'=');
        if (separator == WString::npos) {
            continue;
        }
        const std::wstring_view view(line);
        const auto key = trimControl(view.substr(0, separator));
        WString value(trimControl(view.substr(separator + 1)));
        // Only the backslash that ends the first line becomes a space; one that ends
        // a later line stays and just joins the next line too. Joined lines have no
        // comments and need no "=".
        if (endsWithBackslash(value)) {
            value.back() = L' ';
            while (!reader.atEnd()) {
                value += trimControl(reader.readLine());
                if (!endsWithBackslash(value)) {
                    break;
                }
            }
        }
        table.set(unescapeProperty(key), unescapeProperty(value));
    }
}

}  // namespace qel
