// How building the VM inventory grows with the number of Path directories: 10,
// 100 and 1,000 directories, one in fifty holding a Java runtime (java.exe and
// javaw.exe copied from a stand-in VM program). The registry is left out. The
// baseline is the least any search must do: asking the file system for the five
// program names in every directory. Time per directory should stay the same from
// one size to the next (linear growth; at 10 directories the one runtime's
// examination weighs more), and the inventory within a small factor of the
// baseline.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/files.h"
#include "vm/inventory.h"
#include "bench_timing.h"

using namespace qel;

namespace {

constexpr int kRepetitions = 5;
constexpr int kRuntimeEvery = 50;
const wchar_t* const kProgramNames[] = {L"\\java.exe", L"\\jre.exe", L"\\javaw.exe", L"\\jrew.exe", L"\\jview.exe"};

template <typename Run>
double median(Run run)
{
    return bench::median(kRepetitions, run);
}

WString executableDir()
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    const WString path(buffer, length);
    return path.substr(0, path.rfind(L'\\'));
}

void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::exit(1);
}

// Directories d0 .. d<count-1> below root; every kRuntimeEvery-th one is the bin
// directory of a runtime.
std::vector<WString> makeDirectories(const WString& root, int count)
{
    const WString standIn = executableDir() + L"\\standin_sun_1_4_20_5.exe";
    std::vector<WString> dirs;
    for (int i = 0; i < count; ++i) {
        const WString dir = root + L"\\d" + std::to_wstring(i);
        CreateDirectoryW(dir.c_str(), nullptr);
        if (i % kRuntimeEvery == 0) {
            for (const wchar_t* name : {L"\\java.exe", L"\\javaw.exe"}) {
                if (!CopyFileW(standIn.c_str(), (dir + name).c_str(), FALSE)) {
                    fail("cannot copy the stand-in VM program (build the standin_* targets)");
                }
            }
        }
        dirs.push_back(dir);
    }
    return dirs;
}

void removeDirectories(const std::vector<WString>& dirs)
{
    for (const WString& dir : dirs) {
        for (const wchar_t* name : kProgramNames) {
            DeleteFileW((dir + name).c_str());
        }
        RemoveDirectoryW(dir.c_str());
    }
}

// Standard output goes nowhere while held: each examined program writes its
// company name there.
class SilencedStdout {
public:
    SilencedStdout()
    {
        std::fflush(stdout);
        saved_ = _dup(_fileno(stdout));
        const int nul = _open("NUL", _O_WRONLY);
        _dup2(nul, _fileno(stdout));
        _close(nul);
    }
    ~SilencedStdout()
    {
        std::fflush(stdout);
        _dup2(saved_, _fileno(stdout));
        _close(saved_);
    }

private:
    int saved_ = -1;
};

}  // namespace

int main()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const WString root = WString(base) + L"qelbench-inventory-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);
    const std::vector<WString> all = makeDirectories(root, 1000);

    std::printf("%6s %8s %14s %14s %14s %8s\n", "dirs", "entries", "baseline ms", "inventory ms", "us per dir",
                "ratio");
    double previousPerDir = 0;
    int previousCount = 0;
    for (const int count : {10, 100, 1000}) {
        const std::vector<WString> path(all.begin(), all.begin() + count);
        std::size_t found = 0;
        const double baseline = median([&] {
            for (const WString& dir : path) {
                for (const wchar_t* name : kProgramNames) {
                    found += fileExists(normalizePath(dir + name)) ? 1 : 0;
                }
            }
        });
        std::size_t entries = 0;
        double inventory = 0;
        {
            const SilencedStdout quiet;
            inventory = median([&] {
                entries = VmInventory::build(InventorySources{L"", L"", path}).entries().size();
            });
        }
        if (found == 0 || entries == 0) {
            fail("no Java program was found");
        }
        const double perDir = inventory * 1e6 / count;
        std::printf("%6d %8zu %14.3f %14.3f %14.2f %8.2f\n", count, entries, baseline * 1000, inventory * 1000,
                    perDir, inventory / baseline);
        if (previousCount != 0) {
            std::printf("time per directory, %d against %d directories: %.2f (1.0 is linear)\n", count,
                        previousCount, perDir / previousPerDir);
        }
        previousPerDir = perDir;
        previousCount = count;
    }
    removeDirectories(all);
    RemoveDirectoryW(root.c_str());
    return 0;
}
