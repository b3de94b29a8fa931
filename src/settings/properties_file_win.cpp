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
    // The whole file in one buffer: the length only sizes it, the end is where the
    // reading stops.
    std::string bytes;
    const long long length = _filelengthi64(_fileno(stream.get()));
    bytes.resize(length > 0 ? static_cast<std::size_t>(length) + 1 : 64 * 1024);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        const std::size_t count = std::fread(bytes.data() + filled, 1, bytes.size() - filled, stream.get());
        if (count == 0) {
            break;
        }
        filled += count;
    }
    bytes.resize(filled);
    parseProperties(table, bytes);
}

}  // namespace qel
