// Random input for the rules that need no Windows, under the address and
// undefined-behaviour sanitizers: any text must be taken without a crash, a hang
// or undefined behaviour, and the results must keep the properties that hold for
// every input. The seeds are fixed, so a failure repeats.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>

#include "base/path_text.h"
#include "base/text.h"
#include "launch/command_line.h"
#include "launch/handoff_text.h"
#include "launch/launch_request.h"
#include "settings/properties.h"
#include "settings/properties_location.h"
#include "settings/settings.h"
#include "support/version_printer.h"
#include "vm/executable_info.h"
#include "vm/version.h"

using namespace qel;

namespace {

constexpr int kRounds = 40000;

// Random text made mostly of the pieces the rules react to.
class RandomText {
public:
    explicit RandomText(unsigned seed) : engine_(seed) {}

    std::string bytes(const std::vector<std::string>& pieces, std::size_t maxPieces)
    {
        std::string text;
        const std::size_t count = pick(maxPieces + 1);
        for (std::size_t i = 0; i < count; ++i) {
            if (pick(8) == 0) {
                text.push_back(static_cast<char>(pick(256)));  // any byte at all
            } else {
                text += pieces[pick(pieces.size())];
            }
        }
        return text;
    }

    WString units(const std::vector<std::string>& pieces, std::size_t maxPieces)
    {
        WString text;
        for (const char byte : bytes(pieces, maxPieces)) {
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
        }
        if (!text.empty() && pick(4) == 0) {
            text[pick(text.size())] = static_cast<wchar_t>(0xD800 + pick(0x800));  // a lone surrogate
        }
        return text;
    }

    std::size_t pick(std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(engine_); }

private:
    std::mt19937 engine_;
};

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::map<WString, WString, std::less<>> parsed(const std::string& bytes)
{
    PropertyTable table;
    parseProperties(table, bytes);
    return table.entries();
}

}  // namespace

TEST(Robustness, PropertiesReaderTakesAnyBytes)
{
    RandomText random(1);
    const std::vector<std::string> pieces = {"k",    "=",     "\\", "\\u", "00e9", "41",   "#",
                                             " ",    "\t",    "\r", "\n",  "\r\n", "\x1A", std::string(1, '\0'),
                                             "\xE9", "value", "G"};
    for (int round = 0; round < kRounds; ++round) {
        const std::string bytes = random.bytes(pieces, 200);
        const auto entries = parsed(bytes);
        // A carriage return before a line feed is no part of the text, and
        // nothing after a 0x1A is read.
        EXPECT_EQ(parsed(replaceAll(bytes, "\r\n", "\n")), entries);
        EXPECT_EQ(parsed(bytes + "\x1A" + random.bytes(pieces, 20)), entries);
        // Escapes and joined lines never make a text longer than its line.
        for (const auto& [key, value] : entries) {
            EXPECT_LE(key.size() + value.size(), bytes.size());
        }
    }
}

TEST(Robustness, CommandLineSplitTakesAnyText)
{
    RandomText random(2);
    const std::vector<std::string> pieces = {" ",  "  ",      "\"",     "a",  "b c", "-kwqelservice",
                                             "-i", "console", "QEL_VM", "\t", "\\"};
    for (int round = 0; round < kRounds; ++round) {
        const WString text = random.units(pieces, 60);
        const CommandLine line = CommandLine::split(text);
        EXPECT_LE(line.arguments.size(), Tokenizer(text, L" ").size());
        // A name given as "" is empty, yet the switch had its argument.
        EXPECT_TRUE(line.serviceRequested || line.serviceName.empty());
    }
}

TEST(Robustness, TextAndPathRulesTakeAnyText)
{
    RandomText random(3);
    const std::vector<std::string> pieces = {"\\", "\\\\", "/", "//", ".", "a", "exe", ":", "~", ";", ",", " ", "_"};
    for (int round = 0; round < kRounds; ++round) {
        const WString text = random.units(pieces, 40);
        for (const WString& token : Tokenizer(text, L";,")) {
            ASSERT_FALSE(token.empty());
            EXPECT_EQ(token.find_first_of(L";,", 1), WString::npos);
        }
        const WString collapsed = collapseSeparators(text);
        EXPECT_LE(collapsed.size(), text.size());
        EXPECT_EQ(collapsed.find(L'/'), WString::npos);
        if (text.find(L'/') == WString::npos) {
            // Only the pair that opens a UNC path may stay.
            EXPECT_EQ(collapsed.find(L"\\\\", 2), WString::npos);
        }
        EXPECT_EQ(fileName(text).find(L'\\'), WString::npos);
        // A file's directory is the text before its last backslash, with that
        // backslash kept only at a root; "." or a drive when there is none.
        const WString directory = directoryOf(text);
        const auto slash = text.rfind(L'\\');
        if (slash == WString::npos) {
            EXPECT_TRUE(directory == L"." || directory == text.substr(0, 2));
        } else {
            const WString before = text.substr(0, slash);
            EXPECT_TRUE(directory == before || (directory == before + L"\\" && directory.size() <= 3));
        }
        const auto candidates = propertiesFileCandidates(text, WString(L"D:\\Work"));
        ASSERT_GE(candidates.size(), 2u);
        EXPECT_EQ(candidates[candidates.size() - 2], text + L".qel");
        EXPECT_EQ(candidates.back().rfind(L"D:\\Work\\", 0), 0u);
        EXPECT_LE(unescapeProperty(text).size(), text.size());
        EXPECT_EQ(toLowerAscii(toUpperAscii(text)), toLowerAscii(text));
    }
}

TEST(Robustness, NumbersVersionsAndTokensTakeAnyText)
{
    RandomText random(4);
    const std::vector<std::string> pieces = {"1", ".",     "_",   "4",          "2",  "05",  "+",   "*",
                                             "-", "99999", "JRE", "JDK",        "J",  "2",   "msj", "all",
                                             " ", "k",     "m",   "4294967296", "17", "401", "0"};
    for (int round = 0; round < kRounds; ++round) {
        const WString text = random.units(pieces, 12);
        const VmVersion version = parseVersion(text);
        (void)parseByteSize(text);
        (void)parseDecimal(text);
        (void)parseSwitch(text);
        for (const VmKind kind : {VmKind::JDK, VmKind::JRE, VmKind::MSJ}) {
            // "ALL" takes everything, and a pattern with "+" takes its own version.
            EXPECT_TRUE(matchesToken(kind, version, L"all"));
            (void)matchesToken(kind, version, text);
            (void)matchesVersionPattern(version, text);
        }
        EXPECT_TRUE(matchesVersionPattern(version, text + L"+"));
        // A version's text reads back as the same version, and orders as it does.
        EXPECT_EQ(parseVersion(versionText(version)), version);
        const VmVersion other = parseVersion(random.units(pieces, 12));
        EXPECT_EQ(version < other, !(other < version) && version != other);
    }
}

TEST(Robustness, LaunchRulesTakeAnyText)
{
    RandomText random(5);
    const std::vector<std::string> pieces = {"\\", "a", "Z", " ", "\t", "\"", "=",    "k",    "m",   "1",
                                             "9",  "-", "+", ";", "/",  "~",  "\xE9", "\x7F", "\x80"};
    const auto identity = [](const WString& path, ShortNames) { return path; };
    PropertyTable table;
    for (int round = 0; round < kRounds; ++round) {
        WString text = random.units(pieces, 40);
        if (sizeof(wchar_t) > 2 && random.pick(4) == 0) {
            // Where a unit holds 32 bits, a character beyond 16 bits is one unit.
            text.push_back(static_cast<wchar_t>(0x10000 + random.pick(0x100000)));
        }

        // The hand-off file holds only printable ASCII, one byte per unit, and
        // so one line per entry.
        for (const PropertyPart part : {PropertyPart::Key, PropertyPart::Value}) {
            const WString escaped = escapeProperty(text, part);
            EXPECT_GE(escaped.size(), text.size());
            for (const wchar_t unit : escaped) {
                ASSERT_GE(static_cast<std::uint32_t>(unit), 0x20u);
                ASSERT_LT(static_cast<std::uint32_t>(unit), 0x7Fu);
            }
            EXPECT_EQ(handoffBytes({escaped, escaped}).size(), 2 * escaped.size() + 4);
        }

        // Within 64 bits the 64-bit decimal parse agrees with the 32-bit one in
        // its low bits.
        const std::int64_t number = parseDecimal64(text);
        if (number != std::numeric_limits<std::int64_t>::max() && number != std::numeric_limits<std::int64_t>::min()) {
            EXPECT_EQ(static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(number))),
                      parseDecimal(text));
        }
        (void)parseByteSize(text);

        const Verbosity verbosity = classifyVerbosity(text);
        const WString lowered = toLowerAscii(text);
        EXPECT_EQ(verbosity.warning.has_value(), !verbosity.verbose && !lowered.empty() && lowered != L"none");

        table.set(L"qel.nl.java.option.additional", text);
        table.set(L"qel.nl.java.option.java.heap.size.max", text);
        table.set(L"qel.user.dir", text);
        LaunchInputs in(table);
        in.classPathText = text;
        in.propertiesName = text;
        in.arguments = {L"self", text, text};
        in.isService = random.pick(2) == 0;
        in.fullPath = identity;
        const FilledRequest filled = fillLaunchRequest(in);
        std::size_t pieces = 0;
        for (std::size_t begin = 0; begin <= text.size();) {
            const std::size_t end = std::min(text.find(L';', begin), text.size());
            pieces += end > begin ? 1 : 0;
            begin = end + 1;
        }
        EXPECT_EQ(filled.request.classPath.entries().size(), pieces);
        EXPECT_EQ(filled.request.appArgs.size(), 2u);
        for (const VmFamily family : {VmFamily::J1, VmFamily::J2, VmFamily::Msj}) {
            const WString line = renderCommandLine(family, text, text, filled.request);
            EXPECT_EQ(line.rfind(L"\"" + text + L"\" ", 0), 0u);
        }
    }
    if (sizeof(wchar_t) > 2) {
        EXPECT_EQ(escapeProperty(WString(1, static_cast<wchar_t>(0x1F600)), PropertyPart::Value), L"\\ud83d\\ude00");
    }
}

TEST(Robustness, VersionBlockTextStaysInsideAnyBlock)
{
    RandomText random(6);
    const std::vector<std::string> pieces = {std::string(1, '\0'), std::string(2, '\0'), "A", "b", "\xE9", "\xFF"};
    for (int round = 0; round < kRounds; ++round) {
        const std::string bytes = random.bytes(pieces, 30);
        // A heap block of exactly this size: the sanitizer stops any read past it.
        const std::unique_ptr<unsigned char[]> block(new unsigned char[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), block.get());
        const std::size_t offset = random.pick(bytes.size() + 4);
        const std::size_t claimed = random.pick(4) == 0 ? 0xFFFF : random.pick(bytes.size() + 4);
        const WString text = versionBlockText(block.get(), bytes.size(), offset, claimed);
        EXPECT_LE(text.size(), claimed);
        EXPECT_LE(text.size(), offset < bytes.size() ? (bytes.size() - offset) / 2 : 0);
        EXPECT_EQ(text.find(L'\0'), WString::npos);
    }
}
