#pragma once

// What the install and control shells both read from the service manager.

#include <windows.h>

#include <optional>

#include "base/wstring.h"

namespace qel {

// The command line the service manager stores for the service; none when it
// cannot be read (GetLastError tells why).
std::optional<WString> storedCommandLine(SC_HANDLE service);

}  // namespace qel
