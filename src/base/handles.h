#pragma once

// The one way the launcher owns Windows handles: a std::unique_ptr with a deleter
// per kind. Windows reports a failed open in two ways, and each kind of handle
// keeps its own "empty" value, so a result cannot land in the wrong owner:
//   - UniqueHandle: processes, threads, events, pipes; NULL is empty.
//   - UniqueFile, UniqueFind: CreateFileW and FindFirstFileW results;
//     INVALID_HANDLE_VALUE is empty (they never return NULL).
//   - UniqueKey, UniqueModule, UniqueServiceHandle, UniqueEnvironmentBlock,
//     UniqueView, UniqueLocal.
//   - UniqueSocket: sockets; INVALID_SOCKET is empty.
// Where the launcher deliberately keeps a handle open, it says so beside it.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace qel {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// A handle whose "no handle" value is INVALID_HANDLE_VALUE, for std::unique_ptr.
template <BOOL(WINAPI* Close)(HANDLE)> class InvalidEmptyHandle {
public:
    InvalidEmptyHandle() = default;
    explicit InvalidEmptyHandle(HANDLE handle) : handle_(handle) {}
    InvalidEmptyHandle(const InvalidEmptyHandle&) = delete;
    InvalidEmptyHandle& operator=(const InvalidEmptyHandle&) = delete;
    InvalidEmptyHandle(InvalidEmptyHandle&& other) noexcept : handle_(other.release()) {}
    InvalidEmptyHandle& operator=(InvalidEmptyHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~InvalidEmptyHandle() { reset(); }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release()
    {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    void reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        if (handle_ != INVALID_HANDLE_VALUE) {
            Close(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// CreateFileW reports failure with INVALID_HANDLE_VALUE, not NULL.
using UniqueFile = InvalidEmptyHandle<CloseHandle>;
// CreateToolhelp32Snapshot likewise.
using UniqueSnapshot = InvalidEmptyHandle<CloseHandle>;
// FindFirstFileW likewise; the handle is closed with FindClose.
using UniqueFind = InvalidEmptyHandle<FindClose>;

struct KeyCloser {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct ModuleFreer {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const noexcept { CloseServiceHandle(handle); }
};
// OpenSCManagerW, OpenServiceW and CreateServiceW results; NULL is empty.
using UniqueServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

struct EnvironmentBlockFreer {
    void operator()(wchar_t* block) const noexcept { FreeEnvironmentStringsW(block); }
};
// GetEnvironmentStringsW's block; NULL is empty.
using UniqueEnvironmentBlock = std::unique_ptr<wchar_t, EnvironmentBlockFreer>;

struct ViewUnmapper {
    void operator()(void* view) const noexcept { UnmapViewOfFile(view); }
};
// MapViewOfFile's view; NULL is empty.
using UniqueView = std::unique_ptr<void, ViewUnmapper>;

struct LocalFreer {
    void operator()(void* memory) const noexcept { LocalFree(memory); }
};
// What the security functions allocate with LocalAlloc (a SID's text, a
// security descriptor); NULL is empty.
using UniqueLocal = std::unique_ptr<void, LocalFreer>;

// A socket of Windows' socket library. The launcher does not link that library
// (only a single-instance run uses it, and loads it through SystemLibrary), so
// the owner is given the library's closesocket with the socket. A SOCKET is a
// UINT_PTR and INVALID_SOCKET all ones: this header stays free of winsock2.h,
// which must come before windows.h.
class UniqueSocket {
public:
    using Close = int(WINAPI*)(UINT_PTR socket);
    static constexpr UINT_PTR kInvalid = ~static_cast<UINT_PTR>(0);

    UniqueSocket() = default;
    UniqueSocket(UINT_PTR socket, Close close) : socket_(socket), close_(close) {}
    ~UniqueSocket() { reset(); }
    UniqueSocket(UniqueSocket&& other) noexcept : socket_(other.socket_), close_(other.close_)
    {
        other.socket_ = kInvalid;
    }
    UniqueSocket& operator=(UniqueSocket&& other) noexcept
    {
        if (this != &other) {
            reset();
            socket_ = other.socket_;
            close_ = other.close_;
            other.socket_ = kInvalid;
        }
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    UINT_PTR get() const { return socket_; }
    explicit operator bool() const { return socket_ != kInvalid; }
    void reset()
    {
        if (socket_ != kInvalid && close_ != nullptr) {
            close_(socket_);
        }
        socket_ = kInvalid;
    }

private:
    UINT_PTR socket_ = kInvalid;
    Close close_ = nullptr;
};

}  // namespace qel
