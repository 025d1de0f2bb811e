#pragma once
// The system calls under the file layer's transfers, in one table per system. A build with
// PYRELTO_FAULT_SEAM (the test builds) lets a test replace an entry, so that the disk fails where
// a healthy test machine never does: a refused hard link, a read error, a write that stops. Any
// other build calls the system directly through a constant table.

#ifdef _WIN32

// clang-format off
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// clang-format on

namespace pyrelto::platform {

struct SystemCalls {
    BOOL(WINAPI* createHardLink)(LPCWSTR, LPCWSTR, LPSECURITY_ATTRIBUTES) = ::CreateHardLinkW;
    BOOL(WINAPI* copyFile)(LPCWSTR, LPCWSTR, BOOL) = ::CopyFileW;
    BOOL(WINAPI* readFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::ReadFile;
    BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::WriteFile;
    BOOL(WINAPI* flushFileBuffers)(HANDLE) = ::FlushFileBuffers;
    BOOL(WINAPI* moveFileEx)(LPCWSTR, LPCWSTR, DWORD) = ::MoveFileExW;
};

} // namespace pyrelto::platform

#else

#include <cstddef>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace pyrelto::platform {

namespace detail {
// open() takes its mode through C varargs, which no function pointer can stand for.
inline int openFile(const char* name, int flags, mode_t mode) {
    return ::open(name, flags, mode);
}
} // namespace detail

struct SystemCalls {
    int (*open)(const char*, int, mode_t) = detail::openFile;
    ssize_t (*read)(int, void*, std::size_t) = ::read;
    ssize_t (*write)(int, const void*, std::size_t) = ::write;
    int (*fstat)(int, struct stat*) = ::fstat;
    int (*fchmod)(int, mode_t) = ::fchmod;
    int (*fsync)(int) = ::fsync;
    int (*close)(int) = ::close;
    int (*link)(const char*, const char*) = ::link;
    int (*rename)(const char*, const char*) = ::rename;
};

} // namespace pyrelto::platform

#endif

namespace pyrelto::platform {

#ifdef PYRELTO_FAULT_SEAM
// The table in use; tests assign entries and restore the defaults (SystemCalls{}) afterwards.
SystemCalls& systemCalls() noexcept;
#else
inline const SystemCalls& systemCalls() noexcept {
    static const SystemCalls calls{};
    return calls;
}
#endif

} // namespace pyrelto::platform
