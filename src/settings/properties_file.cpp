#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "base/errors.h"
#include "base/files.h"
#include "settings/properties.h"

namespace qel {

void readProperties(PropertyTable& table, std::wstring_view path)
{
    const WString name(path);
    UniqueStream stream(openForRead(normalizePath(name)));
    if (!stream) {
        throw FileException(L"could not open file for read", name);
    }
    // parseProperties applies the text-mode rules itself; reading the bytes raw
    // keeps them from being applied twice.
    _setmode(_fileno(stream.get()), _O_BINARY);
    std::string bytes;
    char chunk[64 * 1024];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, stream.get())) > 0) {
        bytes.append(chunk, count);
    }
    parseProperties(table, bytes);
}

}  // namespace qel
