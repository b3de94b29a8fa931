// How building the VM inventory grows with the number of Path directories: 10,
// 100 and 1,000 directories, one in fifty holding a Java runtime (java.exe and
// javaw.exe copied from a stand-in VM program). The registry is left out. The
// baseline is the least any search must do: asking the file system for the five
// program names in every directory. Time per directory should stay the same from
// one size to the next (linear growth; at 10 directories the one runtime's
// examination weighs more), and the inventory within a small factor of the
// baseline.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/files.h"
#include "vm/inventory.h"
#include "bench_timing.h"
#include "support/test_files.h"
#include "support/vm_fixtures.h"

using namespace qel;

namespace {

constexpr int kRepetitions = 5;
constexpr int kRuntimeEvery = 50;
const wchar_t* const kProgramNames[] = {L"\\java.exe", L"\\jre.exe", L"\\javaw.exe", L"\\jrew.exe", L"\\jview.exe"};

template <typename Run> double median(Run run)
{
    return bench::median(kRepetitions, run);
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
    const WString standIn = test::binaryDir() + L"\\standin_sun_1_4_20_5.exe";
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

}  // namespace

int main()
{
    const test::TempDir root;
    const std::vector<WString> all = makeDirectories(root.path(), 1000);

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
            // Each examined program writes its company name to standard output.
            test::CapturedStdout quiet;
            inventory = median([&] {
                entries = VmInventory::build(InventorySources{L"", L"", path}.read()).entries().size();
            });
        }
        if (found == 0 || entries == 0) {
            fail("no Java program was found");
        }
        const double perDir = inventory * 1e6 / count;
        std::printf("%6d %8zu %14.3f %14.3f %14.2f %8.2f\n", count, entries, baseline * 1000, inventory * 1000, perDir,
                    inventory / baseline);
        if (previousCount != 0) {
            std::printf("time per directory, %d against %d directories: %.2f (1.0 is linear)\n", count, previousCount,
                        perDir / previousPerDir);
        }
        previousPerDir = perDir;
        previousCount = count;
    }
    return 0;
}
