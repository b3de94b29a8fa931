#pragma once

// Where the JavaSoft installers register kits and runtimes, below
// HKEY_LOCAL_MACHINE, and the values the launcher reads there.

namespace qel::javasoft {

inline constexpr const wchar_t* kKitKey = L"SOFTWARE\\JavaSoft\\Java Development Kit";
inline constexpr const wchar_t* kRuntimeKey = L"SOFTWARE\\JavaSoft\\Java Runtime Environment";

inline constexpr const wchar_t* kJavaHome = L"JavaHome";
inline constexpr const wchar_t* kMicroVersion = L"MicroVersion";
inline constexpr const wchar_t* kCurrentVersion = L"CurrentVersion";

}  // namespace qel::javasoft
