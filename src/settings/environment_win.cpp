#include <windows.h>

#include "base/handles.h"
#include "base/system_text.h"
#include "settings/environment.h"

namespace qel {

namespace {

// The first buffer of the expansion; a longer result is expanded again into a
// buffer of the size Windows asks for, so that no value is cut.
constexpr DWORD kExpansionUnits = 2048;

}  // namespace

Environment Environment::ofProcess()
{
    const UniqueEnvironmentBlock block(GetEnvironmentStringsW());
    return fromBlock(block.get(), expandEnvironmentReferences);
}

WString expandEnvironmentReferences(std::wstring_view text)
{
    const WString source(text);
    bool cut = false;
    const auto expanded = readGrowingText(
        [&](wchar_t* buffer, DWORD capacity) -> DWORD {
            // ExpandEnvironmentStringsW returns the size it needs, terminator
            // included, whether or not that fits; 0 on failure.
            const DWORD needed = ExpandEnvironmentStringsW(source.c_str(), buffer, capacity);
            if (needed == 0 || needed > capacity) {
                return needed;
            }
            // An expansion beyond the system's limit of 32,767 units is reported
            // with the size it would need, but only part of the buffer is filled.
            cut = WString(buffer, needed - 1).find(L'\0') != WString::npos;
            return needed - 1;
        },
        kExpansionUnits);
    // A text the system cannot expand is kept as written, like a reference to an
    // undefined variable, rather than cut.
    if (!expanded || cut) {
        return source;
    }
    return *expanded;
}

}  // namespace qel
