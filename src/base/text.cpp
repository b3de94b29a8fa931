#include "base/text.h"

#include <cstdint>

namespace qel {

WString toLowerAscii(std::wstring_view text)
{
    WString result(text);
    for (auto& unit : result) {
        if (unit >= L'A' && unit <= L'Z') {
            unit = static_cast<wchar_t>(unit - L'A' + L'a');
        }
    }
    return result;
}

WString toUpperAscii(std::wstring_view text)
{
    WString result(text);
    for (auto& unit : result) {
        if (unit >= L'a' && unit <= L'z') {
            unit = static_cast<wchar_t>(unit - L'a' + L'A');
        }
    }
    return result;
}

WString widenSignExtended(std::string_view bytes)
{
    WString result;
    result.reserve(bytes.size());
    for (char byte : bytes) {
        auto extended = static_cast<std::int16_t>(static_cast<signed char>(byte));
        result.push_back(static_cast<wchar_t>(static_cast<std::uint16_t>(extended)));
    }
    return result;
}

Tokenizer::Tokenizer(std::wstring_view text, std::wstring_view delimiters)
{
    auto isDelimiter = [delimiters](wchar_t unit) {
        return delimiters.find(unit) != std::wstring_view::npos;
    };
    std::size_t position = 0;
    while (position < text.size()) {
        // The first unit of a token belongs to it even when it is a delimiter;
        // that can only happen at the very start of the text.
        std::size_t end = position + 1;
        while (end < text.size() && !isDelimiter(text[end])) {
            ++end;
        }
        tokens_.emplace_back(text.substr(position, end - position));
        position = end;
        while (position < text.size() && isDelimiter(text[position])) {
            ++position;
        }
    }
}

}  // namespace qel
