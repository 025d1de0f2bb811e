#include "safe_write.h"

#include "leftover_temporaries.h"
#include "native_name.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pyrelto {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
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

// Set by a test only, to stop the process where a crash would hurt most.
void (*afterBackupHook)() = nullptr;

std::atomic<std::uint64_t> temporaryCounter{0};

// A fresh name of our own temporary pattern in `folder`: "<folder>/.pyrelto-<pid>-<stamp>-<n>.tmp".
std::string temporaryName(const std::string& folder) {
    static const auto stamp =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return folder + "/" +
           temporaryFileName(static_cast<std::uint64_t>(::getpid()), stamp, ++temporaryCounter);
}

// Copies the file's bytes into the new file `to`, synced, with the file's permission bits.
// Returns 0 or the error number.
int copyInto(int from, int to) {
    struct stat st {};
    if (::fstat(from, &st) != 0) {
        return errno;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
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
            const ssize_t w = ::write(to, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                return w == 0 ? ENOSPC : errno;
            }
            done += w;
        }
    }
    if (::fchmod(to, st.st_mode & 07777) != 0 || ::fsync(to) != 0) {
        return errno;
    }
    return 0;
}

// A second file with the target's contents under a temporary name in `folder`: a hard link, or a
// copy where the file system has none. The target itself never moves. Returns the name, none when
// there is no target; throws IoError.
std::optional<std::string> duplicateTarget(const std::string& target, const std::string& folder) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string temp = temporaryName(folder);
        if (::link(target.c_str(), temp.c_str()) == 0) {
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
            throw IoError::system(errno);
        }
        const int from = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (from < 0) {
            if (errno == ENOENT) {
                return std::nullopt;
            }
            throw IoError::system(errno);
        }
        const int to =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
        if (to < 0) {
            const int error = errno;
            ::close(from);
            if (error == EEXIST) {
                continue;
            }
            throw IoError::system(error);
        }
        int error = copyInto(from, to);
        ::close(from);
        if (::close(to) != 0 && error == 0) {
            error = errno;
        }
        if (error != 0) {
            ::unlink(temp.c_str());
            throw IoError::system(error);
        }
        return temp;
    }
    throw IoError::system(EEXIST);
}

void syncFolder(const std::string& folder) {
    // Makes the rename itself durable; a file system that cannot sync folders still has the data.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

SafeWrite::~SafeWrite() {
    discard();
}

void SafeWrite::discard() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty() && !committed_) {
        ::unlink(temp_.c_str());
    }
    temp_.clear();
}

bool SafeWrite::open(std::u16string_view target) {
    if (fd_ >= 0 || committed_) {
        return false;
    }
    const auto native = detail::nativeName(target);
    if (!native || native->empty() || native->back() == '/') {
        return false;
    }
    const auto resolved = resolveTarget(*native);
    if (!resolved) {
        return false;
    }
    std::optional<mode_t> oldMode;
    struct stat st {};
    if (::stat(resolved->c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return false;
        }
        // A file without any write bit is the user's protection; the superuser's access right
        // must not let a rename slip past it.
        if ((st.st_mode & 0222) == 0 || ::access(resolved->c_str(), W_OK) != 0) {
            return false;
        }
        oldMode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    }

    const std::string folder = folderOf(*resolved);
    // Before our own temporary takes room: leftovers of killed saves may be what fills the disk.
    removeLeftoverTemporaries(folder);
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string temp = temporaryName(folder);
        // A new file gets the permission bits the user's umask gives any new file.
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                              oldMode ? 0600 : 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return false;
        }
        fd_ = fd;
        temp_ = std::move(temp);
        if (oldMode && ::fchmod(fd_, *oldMode) != 0) {
            discard();
            return false;
        }
        target_ = *resolved;
        folder_ = folder;
        return true;
    }
    return false;
}

void SafeWrite::write(std::span<const std::byte> bytes) {
    if (fd_ < 0) {
        throw IoError::system(EBADF);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            discard();
            throw IoError::system(error);
        }
        if (n == 0) {
            discard();
            throw IoError::diskFull();
        }
        // A short write is retried for the rest: the next write reports why the disk stopped.
        done += static_cast<std::size_t>(n);
    }
}

void SafeWrite::commit(std::optional<std::u16string_view> backup) {
    if (fd_ < 0) {
        throw IoError::system(EBADF);
    }
    if (::fsync(fd_) != 0) {
        const int error = errno;
        discard();
        throw IoError::system(error);
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        const int error = errno;
        discard();
        throw IoError::system(error);
    }
    if (backup) {
        const auto backupName = detail::nativeName(*backup);
        if (!backupName) {
            discard();
            throw IoError::system(EINVAL);
        }
        // Moving the target aside would leave a moment without it, and a crash in that moment
        // would leave no file at all: the backup is a second name (or a copy) made beforehand.
        try {
            const std::string backupFolder = folderOf(*backupName);
            if (const auto duplicate = duplicateTarget(target_, backupFolder)) {
                if (::rename(duplicate->c_str(), backupName->c_str()) != 0) {
                    const int error = errno;
                    ::unlink(duplicate->c_str());
                    throw IoError::system(error);
                }
                syncFolder(backupFolder);
            }
        } catch (...) {
            discard();
            throw;
        }
        if (afterBackupHook != nullptr) {
            afterBackupHook();
        }
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        discard();
        throw IoError::system(error);
    }
    committed_ = true;
    temp_.clear();
    syncFolder(folder_);
}

void detail::setAfterBackupHook(void (*hook)()) noexcept {
    afterBackupHook = hook;
}

bool writeFileSafely(std::u16string_view target, std::span<const std::byte> bytes,
                     std::optional<std::u16string_view> backup) {
    SafeWrite file;
    if (!file.open(target)) {
        return false;
    }
    file.write(bytes);
    file.commit(backup);
    return true;
}

} // namespace pyrelto
