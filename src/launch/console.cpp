#include "launch/console.h"

namespace qel {

Console& Console::instance()
{
    static Console* console = new Console();  // never destroyed
    return *console;
}

}  // namespace qel
