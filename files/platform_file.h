#pragma once
// The operating system under the byte streams, the safe write and the program data folder.
// Internal to the files library: one implementation per system (platform_posix.cpp,
// platform_win32.cpp), chosen by the build, so nothing above this header knows where it runs.
//
// Error codes are the system's own (errno on POSIX, GetLastError() on Windows); IoError::native
// turns them into the user's text.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto::platform {

// A file descriptor on POSIX, a HANDLE on Windows; both systems use -1 for "none".
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

#ifdef _WIN32
using NativeName = std::wstring;
#else
using NativeName = std::string;
#endif

// The name as the system's file calls take it; none for a name with a zero unit, which the system
// would cut short and so quietly open a different file. On Windows a name near or beyond the
// classic 260-unit limit becomes a full long path ("\\?\C:\..."), so that it and the temporaries
// beside it reach the disk.
std::optional<NativeName> nativeName(std::u16string_view name);

// True when the system could not take `name` as a path at all: more than PATH_MAX - 1 bytes of
// UTF-8 on POSIX, more than the 32,767 units of a long path on Windows.
bool nameTooLong(std::u16string_view name) noexcept;
// The code of a refused overlong name.
int nameTooLongError() noexcept;
// True when the system would store a new file under another name than `name`: Windows drops a
// dot or a space at the end of a name without a word.
bool changesName(std::u16string_view name) noexcept;

// True for the codes that mean the storage took fewer bytes than it was given.
bool isDiskFull(int code) noexcept;
// The system's text for a code; empty when it has none.
std::string errorText(int code);
// The code of the call that failed last on this thread.
int lastError() noexcept;
// A code for "this handle is not open", for misuse of a closed stream.
int badHandleError() noexcept;
// A code for "this name cannot be used".
int invalidNameError() noexcept;

struct OpenedFile {
    Handle handle = kNoHandle;
    std::uint64_t size = 0;
};

// A regular file opened for reading only, binary. None for anything else: a missing file, no read
// access, a folder, a device, a pipe (refused without waiting on it), an invalid name.
std::optional<OpenedFile> openForReading(std::u16string_view name);
// Up to into.size() bytes; 0 at the end of the file. Throws IoError.
std::size_t readSome(Handle handle, std::span<std::byte> into);
void closeHandle(Handle handle) noexcept;

// What a safe write needs to know about its target before anything is created.
struct WriteTarget {
    NativeName target; // a link already followed to the file it points to
    // The target's folder up to and including its last separator (a drive on Windows); empty for
    // a bare name in the working folder.
    NativeName folder;
    // The existing file's permission bits (POSIX) or attributes (Windows), which the temporary
    // takes when it is created.
    std::optional<std::uint32_t> keep;
};

// None when the target may not be created or replaced: the folder is missing or closed to us, the
// file is write-protected or no regular file, or the name is invalid. Changes nothing on disk.
std::optional<WriteTarget> prepareWriteTarget(std::u16string_view name);

struct Temporary {
    Handle handle = kNoHandle;
    NativeName name;
};
// A new, empty, exclusive file beside the target (so the final move never crosses file systems),
// opened for writing, binary, with the kept bits or attributes. None when the folder takes no new
// file; nothing is left behind then.
std::optional<Temporary> createTemporary(const WriteTarget& target);
// Every byte or an IoError ("Disk full" when the storage stops taking bytes).
void writeAll(Handle handle, std::span<const std::byte> bytes);
// Flushes the data to the storage and closes the handle, which is closed afterwards in any case.
// Throws IoError.
void flushAndClose(Handle handle);
// Up to and including the last separator (a drive on Windows); empty for a bare name.
NativeName folderOf(const NativeName& path);
// A second file with the contents of `target` under a fresh temporary name in `folder` (a prefix
// as in WriteTarget): a hard link, or a synced copy with the same permission bits or attributes
// where the file system has no links. The target itself never moves. None when there is no
// target; throws IoError.
std::optional<NativeName> duplicateFile(const NativeName& target, const NativeName& folder);
// Replaces `to` by `from` (or moves it there when `to` is absent), as one step that survives a
// crash: the new name holds either the old file or the new one. False with lastError() set.
bool moveReplacing(const NativeName& from, const NativeName& to) noexcept;
void removeFile(const NativeName& name) noexcept;
// Makes a finished rename in the folder durable where the system needs it.
void syncFolder(const NativeName& folder) noexcept;

// For clearing the temporaries of killed saves (leftover_temporaries.h).
std::uint64_t processId() noexcept;
// True unless the process with this id is certainly gone (a process we may not query runs).
bool processMayRun(std::uint64_t pid);
// The names in `folder` (a prefix as in WriteTarget), without "." and ".."; empty when it cannot be
// listed.
std::vector<NativeName> folderEntries(const NativeName& folder);
// Removes `path` when it is a regular file (not followed through a link) owned by this user and
// last changed before `notAfter`.
void removeOwnFileChangedBefore(const NativeName& path,
                                std::chrono::system_clock::time_point notAfter);

// The program data folder (see GetProgramDir), made with every folder above it when `create`.
std::u16string programDataFolder(bool create);

} // namespace pyrelto::platform
