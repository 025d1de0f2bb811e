// The file layer on POSIX systems: plain descriptors, which never translate line ends.

#include "leftover_temporaries.h"
#include "platform_calls.h"
#include "platform_file.h"
#include "torvane.h"
#include "utf16.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pyrelto::platform {

#ifdef PYRELTO_FAULT_SEAM
SystemCalls& systemCalls() noexcept {
    static SystemCalls calls{};
    return calls;
}
#endif

namespace {

const SystemCalls& sys() noexcept {
    return systemCalls();
}

int fdOf(Handle handle) {
    return static_cast<int>(handle);
}

// The file a name stands for: a symbolic link is followed, so that saving through it updates the
// file it points to instead of replacing the link by a plain file.
std::optional<std::string> resolveTarget(const std::string& name) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return name;
    }
    char* real = ::realpath(name.c_str(), nullptr);
    if (real == nullptr) {
        return std::nullopt; // a dangling or looping link
    }
    std::string resolved(real);
    std::free(real);
    return resolved;
}

// Copies the file's bytes into the new file `to`, synced, with the file's permission bits.
// Returns 0 or the error number.
int copyInto(int from, int to) {
    struct stat st {};
    if (sys().fstat(from, &st) != 0) {
        return errno;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = sys().read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = sys().write(to, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                return w == 0 ? ENOSPC : errno;
            }
            done += w;
        }
    }
    if (sys().fchmod(to, st.st_mode & 07777) != 0 || sys().fsync(to) != 0) {
        return errno;
    }
    return 0;
}

std::atomic<std::uint64_t> temporaryCounter{0};

// A fresh name of our own temporary pattern in `folder`.
std::string temporaryName(const std::string& folder) {
    static const auto stamp =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return folder + temporaryFileName(processId(), stamp, ++temporaryCounter);
}

std::optional<std::string> dataHome() {
    // Relative values are to be ignored, as the XDG base directory rules say.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg);
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        return std::nullopt;
    }
    std::string base(home);
    if (base.back() != '/') {
        base += '/';
    }
    return base + ".local/share";
}

void makeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        // Private by default, as the data folder holds the user's customers.
        ::mkdir(part.c_str(), 0700);
    }
}

} // namespace

std::optional<NativeName> nativeName(std::u16string_view name) {
    if (name.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    return toUtf8(name);
}

bool nameTooLong(std::u16string_view name) noexcept {
    // UTF-8 takes at most three bytes per UTF-16 unit; only names near the limit are converted.
    if (name.size() * 3 < PATH_MAX) {
        return false;
    }
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (c < 0x80) {
            bytes += 1;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (c >= 0xD800 && c < 0xDC00 && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
                   name[i + 1] < 0xE000) {
            bytes += 4; // a surrogate pair is one character of four bytes
            ++i;
        } else {
            bytes += 3;
        }
    }
    // PATH_MAX counts the closing zero.
    return bytes >= PATH_MAX;
}

int nameTooLongError() noexcept {
    return ENAMETOOLONG;
}

bool changesName(std::u16string_view) noexcept {
    return false;
}

bool isDiskFull(int code) noexcept {
    return code == ENOSPC || code == EDQUOT;
}

std::string errorText(int code) {
    const char* text = std::strerror(code);
    // glibc invents "Unknown error N" for codes it has no text for.
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) {
        return {};
    }
    return text;
}

int lastError() noexcept {
    return errno;
}

int badHandleError() noexcept {
    return EBADF;
}

int invalidNameError() noexcept {
    return EINVAL;
}

std::optional<OpenedFile> openForReading(std::u16string_view name) {
    const auto native = nativeName(name);
    if (!native) {
        return std::nullopt;
    }
    // Non-blocking, so that a pipe under the name cannot hang the program before it is refused.
    const int fd = sys().open(native->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (sys().fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        sys().close(fd);
        return std::nullopt;
    }
    return OpenedFile{fd, static_cast<std::uint64_t>(st.st_size)};
}

std::size_t readSome(Handle handle, std::span<std::byte> into) {
    for (;;) {
        const ssize_t got = sys().read(fdOf(handle), into.data(), into.size());
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            throw IoError::native(errno);
        }
    }
}

void closeHandle(Handle handle) noexcept {
    if (handle != kNoHandle) {
        ::close(fdOf(handle));
    }
}

std::optional<WriteTarget> prepareWriteTarget(std::u16string_view name) {
    const auto native = nativeName(name);
    if (!native || native->empty() || native->back() == '/') {
        return std::nullopt;
    }
    auto resolved = resolveTarget(*native);
    if (!resolved) {
        return std::nullopt;
    }
    WriteTarget target;
    struct stat st {};
    if (::stat(resolved->c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return std::nullopt;
        }
        // A file without any write bit is the user's protection; the superuser's access right
        // must not let a rename slip past it.
        if ((st.st_mode & 0222) == 0 || ::access(resolved->c_str(), W_OK) != 0) {
            return std::nullopt;
        }
        target.keep = static_cast<std::uint32_t>(st.st_mode & 07777);
    } else if (errno != ENOENT) {
        return std::nullopt;
    }
    target.folder = folderOf(*resolved);
    target.target = std::move(*resolved);
    return target;
}

NativeName folderOf(const NativeName& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::optional<NativeName> duplicateFile(const NativeName& target, const NativeName& folder) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string temp = temporaryName(folder);
        if (sys().link(target.c_str(), temp.c_str()) == 0) {
            return temp;
        }
        switch (errno) {
        case EEXIST:
            continue;
        case ENOENT:
            return std::nullopt;
        case EPERM:
        case EXDEV:
        case EMLINK:
        case ENOTSUP:
        case ENOSYS:
            break;
        default:
            throw IoError::native(errno);
        }
        const int from =
            sys().open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0);
        if (from < 0) {
            if (errno == ENOENT) {
                return std::nullopt;
            }
            throw IoError::native(errno);
        }
        const int to =
            sys().open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
        if (to < 0) {
            const int error = errno;
            sys().close(from);
            if (error == EEXIST) {
                continue;
            }
            throw IoError::native(error);
        }
        int error = copyInto(from, to);
        sys().close(from);
        if (sys().close(to) != 0 && error == 0) {
            error = errno;
        }
        if (error != 0) {
            ::unlink(temp.c_str());
            throw IoError::native(error);
        }
        return temp;
    }
    throw IoError::native(EEXIST);
}

std::optional<Temporary> createTemporary(const WriteTarget& target) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string temp = temporaryName(target.folder);
        // A new file gets the permission bits the user's umask gives any new file.
        const int fd = sys().open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                                  target.keep ? 0600 : 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return std::nullopt;
        }
        if (target.keep && sys().fchmod(fd, static_cast<mode_t>(*target.keep)) != 0) {
            sys().close(fd);
            ::unlink(temp.c_str());
            return std::nullopt;
        }
        return Temporary{fd, std::move(temp)};
    }
    return std::nullopt;
}

void writeAll(Handle handle, std::span<const std::byte> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = sys().write(fdOf(handle), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw IoError::native(errno);
        }
        if (n == 0) {
            throw IoError::diskFull();
        }
        // A short write is retried for the rest: the next write reports why the disk stopped.
        done += static_cast<std::size_t>(n);
    }
}

void flushAndClose(Handle handle) {
    const int fd = fdOf(handle);
    if (sys().fsync(fd) != 0) {
        const int error = errno;
        sys().close(fd);
        throw IoError::native(error);
    }
    if (sys().close(fd) != 0) {
        throw IoError::native(errno);
    }
}

bool moveReplacing(const NativeName& from, const NativeName& to) noexcept {
    return sys().rename(from.c_str(), to.c_str()) == 0;
}

void removeFile(const NativeName& name) noexcept {
    ::unlink(name.c_str());
}

void syncFolder(const NativeName& folder) noexcept {
    // Makes the rename itself durable; a file system that cannot sync folders still has the data.
    const std::string name = folder.empty() ? std::string(".") : folder;
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::uint64_t processId() noexcept {
    return static_cast<std::uint64_t>(::getpid());
}

bool processMayRun(std::uint64_t pid) {
    if (pid == 0 || pid > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max())) {
        return true; // no id of this system: not certainly gone
    }
    // Signal 0 only asks whether the process exists; EPERM means it does, as another user's.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

std::vector<NativeName> folderEntries(const NativeName& folder) {
    std::vector<NativeName> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

void removeOwnFileChangedBefore(const NativeName& path,
                                std::chrono::system_clock::time_point notAfter) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        return;
    }
    const auto changed = std::chrono::system_clock::from_time_t(st.st_mtime);
    if (changed < notAfter) {
        ::unlink(path.c_str());
    }
}

std::u16string programDataFolder(bool create) {
    auto base = dataHome();
    if (!base) {
        return {};
    }
    std::string path = std::move(*base);
    if (path.back() != '/') {
        path += '/';
    }
    path += "Torvane/Pyrelto Kalkulation/";
    if (create) {
        makeFolders(path);
    }
    return fromUtf8(path);
}

} // namespace pyrelto::platform
