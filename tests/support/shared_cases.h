#pragma once

// The cases of a data file in tests/cases, which the Java side's tests run too:
// blocks of lines, each a field name, a tab and texts separated by tabs, a block
// beginning with its "case" line. Texts are as written but for escapes in
// braces: {LF}, {CR}, {TAB}, {SP} (a blank), {LB} (a left brace), {xHH} and
// {uHHHH} (the unit of that value), and {xHH*N} or {uHHHH*N} (the unit N times,
// N from 1 to 99999). Lines that begin with "#" and blank lines
// are comments.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/wstring.h"

namespace qel::test {

struct SharedCase {
    std::string name;
    // Each line's field name and its decoded texts, in the file's order.
    std::vector<std::pair<std::string, std::vector<WString>>> fields;

    // The texts of every line of the field, in order.
    std::vector<std::vector<WString>> all(std::string_view field) const;
    // The one text of a field the case must have once; throws otherwise.
    WString one(std::string_view field) const;
};

// The cases of the file tests/cases/<fileName>; throws when it cannot be read or
// is malformed.
std::vector<SharedCase> readSharedCases(std::string_view fileName);

// The whole text of the file tests/cases/<fileName>, as bytes; throws when it
// cannot be read.
std::string caseFileText(std::string_view fileName);

// The units as bytes; each must be below 256.
std::string bytesOf(std::wstring_view units);

}  // namespace qel::test
