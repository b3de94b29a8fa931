// How the properties reader compares with reading the same bytes and nothing
// else, for files of 1 MB and 10 MB. The reader should cost the same per MB at
// both sizes (linear) and stay within a small factor of the plain read. Two
// plain reads are measured: the bytes into one buffer (the least any reader
// does), and the file's lines through the C runtime's text stream (what reading
// a text file line by line costs before anything is made of the lines).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/handles.h"
#include "settings/properties.h"
#include "bench_timing.h"
#include "support/test_files.h"

using namespace qel;

namespace {

constexpr int kRepetitions = 7;

// Lines such as an application's properties file holds, repeated with numbered
// keys until the size is reached: comments, paths with doubled backslashes, a
// class path continued over three lines, \u escapes, CR LF endings.
std::string makeProperties(std::size_t size)
{
    std::string text;
    text.reserve(size + 512);
    char line[512];
    for (unsigned i = 0; text.size() < size; ++i) {
        std::snprintf(line, sizeof line,
                      "# group %u: settings of one module\r\n"
                      "qel.module.%u.name = Module number %u of the application\r\n"
                      "qel.module.%u.dir=C:\\\\Program Files\\\\Vendor\\\\Product\\\\modules\\\\m%u\r\n"
                      "qel.module.%u.class.path = lib\\\\core-%u.jar;\\\r\n"
                      "    lib\\\\extra-%u.jar;\\\r\n"
                      "    lib\\\\tail-%u.jar\r\n"
                      "qel.module.%u.title=Caf\\u00e9 \\u65e5\\u672c %u\r\n"
                      "qel.module.%u.heap=%um\r\n"
                      "\r\n",
                      i, i, i, i, i, i, i, i, i, i, i, i, i % 512 + 16);
        text += line;
    }
    return text;
}

// The same file as text lines through the C runtime, and nothing else.
std::size_t lineRead(const WString& path)
{
    std::FILE* file = _wfopen(path.c_str(), L"r");
    if (file == nullptr) {
        return 0;
    }
    static char line[1 << 16];
    std::size_t lines = 0;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        ++lines;
    }
    std::fclose(file);
    return lines;
}

// The baseline: the same bytes read into a buffer and nothing else.
std::size_t plainRead(const WString& path)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<char> buffer(GetFileSize(file.get(), nullptr));
    std::size_t total = 0;
    DWORD read = 0;
    while (total < buffer.size() &&
           ReadFile(file.get(), buffer.data() + total, static_cast<DWORD>(buffer.size() - total), &read, nullptr) &&
           read > 0) {
        total += read;
    }
    return total;
}

template <typename Run> double median(Run run)
{
    return bench::median(kRepetitions, run);
}

}  // namespace

int main()
{
    const test::TempDir directory;
    std::printf("%6s %8s %12s %12s %13s %10s %10s\n", "MB", "entries", "bytes ms/MB", "lines ms/MB", "reader ms/MB",
                "vs bytes", "vs lines");
    double firstPerMb = 0;
    for (const std::size_t megabytes : {1u, 10u}) {
        const WString path = directory / (L"bench-" + std::to_wstring(megabytes) + L".qel");
        const std::string bytes = makeProperties(megabytes << 20);
        test::writeFile(path, bytes);
        const double mb = static_cast<double>(bytes.size()) / (1 << 20);

        std::size_t sink = 0;
        const double plain = median([&] { sink += plainRead(path); });
        const double lines = median([&] { sink += lineRead(path); });
        std::size_t entries = 0;
        // The table is made before and released after the timed part.
        std::vector<PropertyTable> tables(kRepetitions);
        std::size_t next = 0;
        const double reader = median([&] {
            PropertyTable& table = tables[next++];
            readProperties(table, path);
            entries = table.size();
        });
        tables.clear();
        if (sink == 0) {
            std::fprintf(stderr, "nothing was read\n");
            return 1;
        }
        const double plainPerMb = plain * 1000 / mb;
        const double linesPerMb = lines * 1000 / mb;
        const double readerPerMb = reader * 1000 / mb;
        std::printf("%6.2f %8zu %12.3f %12.3f %13.3f %10.1f %10.1f\n", mb, entries, plainPerMb, linesPerMb, readerPerMb,
                    readerPerMb / plainPerMb, readerPerMb / linesPerMb);
        if (firstPerMb == 0) {
            firstPerMb = readerPerMb;
        } else {
            std::printf("reader cost per MB, %zu MB against 1 MB: %.2f (1.0 is linear)\n", megabytes,
                        readerPerMb / firstPerMb);
        }
        DeleteFileW(path.c_str());
    }
    return 0;
}
