#pragma once

#include <string>

namespace qel {

// The system's text type: a sequence of UTF-16 units on Windows. Positions and
// lengths count units. Every Windows call the launcher makes is the wide variant.
using WString = std::wstring;

}  // namespace qel
