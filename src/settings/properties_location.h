#pragma once

// Where the properties file of an executable may lie: the file has the
// executable's base name and the extension ".qel".

#include <optional>
#include <string_view>
#include <vector>

#include "base/wstring.h"

namespace qel {

inline constexpr std::wstring_view kPropertiesExtension = L".qel";

// The candidates, in the order they are tried, for the executable's full path
// (forward slashes already turned into backslashes) and the current directory
// (none when it could not be read):
//   1. only for an ".exe" in any case: the name with ".qel" instead of ".exe";
//   2. the whole executable path followed by ".qel";
//   3. the base name in the current directory. It is joined with a second
//      backslash, which normalizing removes when the candidate is tested.
std::vector<WString> propertiesFileCandidates(std::wstring_view executable,
                                              const std::optional<WString>& currentDirectory);

}  // namespace qel
