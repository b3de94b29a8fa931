#include "launch/console.h"

namespace qel {

bool pauseAtEnd(bool consoleAllocated, bool pauseSetting, const std::function<bool()>& controlKeyDown)
{
    return consoleAllocated && (pauseSetting || controlKeyDown());
}

}  // namespace qel
