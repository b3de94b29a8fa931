// The settings that read the environment snapshot; the other accessors only
// parse text.

#include "settings/environment.h"
#include "settings/settings.h"

namespace qel {

WString expandClassPath(std::wstring_view text)
{
    if (text.find(L"$ENV_CLASSPATH$") == std::wstring_view::npos) {
        return WString(text);
    }
    return substituteClassPath(text, Environment::instance().expandedValue(L"CLASSPATH"));
}

WString classPath(const PropertyTable& table)
{
    return expandClassPath(setting(table, keys::classPath));
}

}  // namespace qel
