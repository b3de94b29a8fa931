#include "launch/console.h"

namespace qel {

Console& Console::instance()
{
    static Console* console = new Console();  // never destroyed
    return *console;
}

bool pauseAtEnd(bool consoleAllocated, bool pauseSetting, const std::function<bool()>& controlKeyDown)
{
    return consoleAllocated && (pauseSetting || controlKeyDown());
}

}  // namespace qel
