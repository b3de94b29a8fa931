#include "support/shared_cases.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qel::test {

namespace {

// The file of the cases, as this program reaches it: under Wine a Unix path is
// reached through drive Z:.
std::string casesFile(std::string_view fileName)
{
    std::string path = QEL_SHARED_CASES_DIR;
    path += '/';
    path += fileName;
#ifdef _WIN32
    if (path.front() == '/') {
        path.insert(0, "Z:");
    }
#endif
    return path;
}

int hexValue(std::string_view digits)
{
    int value = 0;
    for (const char digit : digits) {
        const int next = digit >= '0' && digit <= '9'   ? digit - '0'
                         : digit >= 'a' && digit <= 'f' ? digit - 'a' + 10
                         : digit >= 'A' && digit <= 'F' ? digit - 'A' + 10
                                                        : -1;
        if (next < 0) {
            return -1;
        }
        value = value * 16 + next;
    }
    return value;
}

WString decode(std::string_view text, const std::string& where)
{
    WString result;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '{') {
            if (static_cast<unsigned char>(text[i]) > 0x7F) {
                throw std::runtime_error(where + ": write a character beyond ASCII as {uHHHH}");
            }
            result.push_back(static_cast<wchar_t>(text[i]));
            ++i;
            continue;
        }
        const std::size_t end = text.find('}', i);
        if (end == std::string_view::npos) {
            throw std::runtime_error(where + ": a brace without its end");
        }
        const std::string_view escape = text.substr(i + 1, end - i - 1);
        if (escape == "LF") {
            result.push_back(L'\n');
        } else if (escape == "CR") {
            result.push_back(L'\r');
        } else if (escape == "TAB") {
            result.push_back(L'\t');
        } else if (escape == "SP") {
            result.push_back(L' ');
        } else if (escape == "LB") {
            result.push_back(L'{');
        } else {
            // {xHH} or {uHHHH}, and with "*N" the unit N times.
            const std::size_t star = escape.find('*');
            const std::string_view unit = escape.substr(0, star);
            const std::size_t digits = !unit.empty() && unit[0] == 'x'   ? 2
                                       : !unit.empty() && unit[0] == 'u' ? 4
                                                                         : 0;
            const int value = digits == 0 || unit.size() != digits + 1 ? -1 : hexValue(unit.substr(1));
            std::size_t count = 1;
            if (star != std::string_view::npos) {
                const std::string_view number = escape.substr(star + 1);
                count = 0;
                for (const char digit : number) {
                    count = digit >= '0' && digit <= '9' && count < 100000 ? count * 10 + (digit - '0') : 0;
                }
                if (number.empty() || number.size() > 5) {
                    count = 0;
                }
            }
            if (value < 0 || count == 0) {
                throw std::runtime_error(where + ": unknown escape {" + std::string(escape) + "}");
            }
            result.append(count, static_cast<wchar_t>(value));
        }
        i = end + 1;
    }
    return result;
}

}  // namespace

std::vector<std::vector<WString>> SharedCase::all(std::string_view field) const
{
    std::vector<std::vector<WString>> found;
    for (const auto& line : fields) {
        if (line.first == field) {
            found.push_back(line.second);
        }
    }
    return found;
}

WString SharedCase::one(std::string_view field) const
{
    const auto found = all(field);
    if (found.size() != 1 || found[0].size() != 1) {
        throw std::runtime_error("case \"" + name + "\" needs one " + std::string(field) + " line with one text");
    }
    return found[0][0];
}

std::string caseFileText(std::string_view fileName)
{
    std::ifstream stream(casesFile(fileName), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (!stream) {
        throw std::runtime_error("cannot read " + casesFile(fileName));
    }
    return text;
}

std::vector<SharedCase> readSharedCases(std::string_view fileName)
{
    const std::string text = caseFileText(fileName);
    if (text.empty()) {
        throw std::runtime_error("no cases in " + casesFile(fileName));
    }
    std::vector<SharedCase> cases;
    std::size_t position = 0;
    int number = 0;
    while (position < text.size()) {
        std::size_t end = text.find('\n', position);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line(text.data() + position, end - position);
        position = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::string where = std::string(fileName) + ":" + std::to_string(number);
        std::vector<std::string_view> parts;
        for (std::size_t start = 0;;) {
            const std::size_t tab = line.find('\t', start);
            parts.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
            if (tab == std::string_view::npos) {
                break;
            }
            start = tab + 1;
        }
        if (parts.size() < 2) {
            throw std::runtime_error(where + ": a field name and a tab come first");
        }
        if (parts[0] == "case") {
            cases.push_back(SharedCase{std::string(parts[1]), {}});
            continue;
        }
        if (cases.empty()) {
            throw std::runtime_error(where + ": a field before the first case");
        }
        std::vector<WString> texts;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            texts.push_back(decode(parts[i], where));
        }
        cases.back().fields.emplace_back(std::string(parts[0]), std::move(texts));
    }
    return cases;
}

std::string bytesOf(std::wstring_view units)
{
    std::string bytes;
    for (const wchar_t unit : units) {
        if (static_cast<unsigned>(unit) > 0xFF) {
            throw std::runtime_error("not a byte: " + std::to_string(static_cast<unsigned>(unit)));
        }
        bytes.push_back(static_cast<char>(static_cast<unsigned char>(unit)));
    }
    return bytes;
}

}  // namespace qel::test
