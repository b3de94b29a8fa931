#include "settings/properties.h"

#include <type_traits>

namespace qel {

namespace {

// Lines of the text as the C runtime's text mode delivers them. Each byte is one
// unit (ISO 8859-1), so the lines stay views of the bytes until a key or value
// is made of them.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\x1A'))) {}

    bool atEnd() const { return position_ >= bytes_.size(); }

    // The units before the next line feed (or the end); a carriage return directly
    // before a line feed is not part of the text.
    std::string_view readLine()
    {
        const std::size_t feed = bytes_.find('\n', position_);
        const std::size_t end = feed == std::string_view::npos ? bytes_.size() : feed;
        std::size_t lineEnd = end;
        if (feed != std::string_view::npos && lineEnd > position_ && bytes_[lineEnd - 1] == '\r') {
            --lineEnd;
        }
        const std::string_view line = bytes_.substr(position_, lineEnd - position_);
        position_ = feed == std::string_view::npos ? bytes_.size() : feed + 1;
        return line;
    }

private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};

// The value of a unit: a byte of the file or a UTF-16 unit.
template <typename Unit> unsigned unitValue(Unit unit)
{
    return static_cast<std::make_unsigned_t<Unit>>(unit);
}

template <typename Unit> std::basic_string_view<Unit> trimUnits(std::basic_string_view<Unit> text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && unitValue(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && unitValue(text[end - 1]) <= 0x20)
        --end;
    return text.substr(begin, end - begin);
}

int hexDigitValue(unsigned unit)
{
    if (unit >= '0' && unit <= '9') return static_cast<int>(unit - '0');
    if (unit >= 'a' && unit <= 'f') return static_cast<int>(unit - 'a' + 10);
    if (unit >= 'A' && unit <= 'F') return static_cast<int>(unit - 'A' + 10);
    return -1;
}

template <typename Unit> void appendUnits(WString& result, std::basic_string_view<Unit> units)
{
    const std::size_t start = result.size();
    result.resize(start + units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        result[start + i] = static_cast<wchar_t>(unitValue(units[i]));
    }
}

// Unescapes into result, which is cleared first; the reader reuses one buffer for
// every key and one for every value.
template <typename Unit> void unescapeUnits(std::basic_string_view<Unit> text, WString& result)
{
    result.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t backslash = text.find(static_cast<Unit>('\\'), i);
        if (backslash == std::basic_string_view<Unit>::npos) {
            appendUnits(result, text.substr(i));
            break;
        }
        appendUnits(result, text.substr(i, backslash - i));
        i = backslash;
        if (i + 1 == text.size()) {
            result.push_back(L'\\');
            break;
        }
        if (unitValue(text[i + 1]) != 'u') {
            // Both units stay, so the second backslash of a pair escapes nothing.
            result.push_back(L'\\');
            result.push_back(static_cast<wchar_t>(unitValue(text[i + 1])));
            i += 2;
            continue;
        }
        unsigned value = 0;
        std::size_t next = i + 2;
        for (int digits = 0; digits < 4 && next < text.size() && hexDigitValue(unitValue(text[next])) >= 0;
             ++digits, ++next) {
            value = value * 16 + static_cast<unsigned>(hexDigitValue(unitValue(text[next])));
        }
        result.push_back(static_cast<wchar_t>(value));
        i = next;
    }
}

}  // namespace

std::wstring_view trimControl(std::wstring_view text)
{
    return trimUnits(text);
}

WString unescapeProperty(std::wstring_view text)
{
    WString result;
    unescapeUnits(text, result);
    return result;
}

void parseProperties(PropertyTable& table, std::string_view bytes)
{
    // An editor may save the file with a UTF-8 byte-order mark; it is no part of
    // the first line. The bytes are still read as ISO 8859-1, and a mark anywhere
    // else stays text.
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (bytes.substr(0, byteOrderMark.size()) == byteOrderMark) {
        bytes.remove_prefix(byteOrderMark.size());
    }
    LineReader reader(bytes);
    // The joined lines of a continued entry; kept across entries for its capacity.
    std::string continued;
    WString keyText;
    WString valueText;
    while (!reader.atEnd()) {
        const std::string_view line = reader.readLine();
        if (!line.empty() && line.front() == '#') {
            continue;
        }
        if (trimUnits(line).empty()) {
            continue;
        }
        const auto separator = line.find('=');
        if (separator == std::string_view::npos) {
            continue;
        }
        const auto key = trimUnits(line.substr(0, separator));
        std::string_view value = trimUnits(line.substr(separator + 1));
        // Only the backslash that ends the first line becomes a space; one that ends
        // a later line stays and just joins the next line too. Joined lines have no
        // comments and need no "=".
        if (!value.empty() && value.back() == '\\') {
            continued.assign(value.data(), value.size() - 1);
            continued += ' ';
            while (!reader.atEnd()) {
                continued += trimUnits(reader.readLine());
                if (continued.back() != '\\') {
                    break;
                }
            }
            value = continued;
        }
        unescapeUnits(key, keyText);
        unescapeUnits(value, valueText);
        table.set(keyText, valueText);
    }
}

}  // namespace qel
