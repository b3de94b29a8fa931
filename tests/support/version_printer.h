#pragma once

// How test tables write a VmVersion (packed) and how test messages show one: as people write it ("1.4.2_05"), through
// GoogleTest's PrintTo, which assertions and testing::PrintToString find. The
// launcher itself has no stream output for versions: an operator<< there would
// link the C++ stream and locale runtime into the executable.

#include <ostream>
#include <string>

#include "vm/version.h"

namespace qel {

inline void PrintTo(const VmVersion& version, std::ostream* out)
{
    // The text is ASCII digits, dots and underscores only.
    const WString text = versionText(version);
    *out << std::string(text.begin(), text.end());
}

namespace test {

// A version in the old packed notation of the tables: packed(0x425) is 1.4.2_05.
constexpr VmVersion packed(int number)
{
    return VmVersion::fromPacked(number);
}

}  // namespace test

}  // namespace qel
