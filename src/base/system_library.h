#pragma once

// The one way the launcher reaches a DLL it does not link: a DLL of the
// system folder (System32), loaded from there alone on its first use and kept
// until the process ends, and its functions found by name. Each use says why
// the DLL is not linked (its size, the start-up time, a function that may be
// missing); what the executable links is called directly.

#include <mutex>

namespace qel {

class SystemLibrary {
public:
    // fileName: the DLL's file name, such as L"ws2_32.dll".
    explicit SystemLibrary(const wchar_t* fileName) : fileName_(fileName) {}
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // The function of that name, as the function pointer type given; nullptr
    // when the DLL or the function is missing (GetLastError says why).
    template <typename Function> Function function(const char* name)
    {
        return reinterpret_cast<Function>(address(name));
    }

private:
    void* address(const char* name);

    const wchar_t* fileName_;
    std::once_flag loading_;
    void* module_ = nullptr;
    unsigned long loadError_ = 0;
};

}  // namespace qel
