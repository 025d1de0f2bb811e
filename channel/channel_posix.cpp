// The channel on POSIX systems: a Unix socket in a folder of the user's own.

#include "instance_channel.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace pyrelto::channel {

namespace {

using Clock = std::chrono::steady_clock;

// sun_path holds 108 bytes with the final zero on Linux, 104 on the BSDs.
constexpr std::size_t kMaxSocketPath = sizeof(sockaddr_un{}.sun_path) - 1;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return fd_; }
    int release() noexcept { return std::exchange(fd_, -1); }

private:
    int fd_;
};

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string systemText(int error) {
    return std::strerror(error);
}

// A folder the user alone may enter: no link, the user's own, no rights for group or others.
bool isOwnFolder(const std::string& folder, std::string& refusal) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        refusal = "Der Ordner " + folder + " ist nicht zugänglich: " + systemText(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        refusal = folder + " ist kein Ordner.";
        return false;
    }
    if (info.st_uid != ::getuid()) {
        refusal = "Der Ordner " + folder + " gehört einem anderen Benutzer.";
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        refusal = "Der Ordner " + folder + " ist für andere Benutzer zugänglich.";
        return false;
    }
    return true;
}

struct Credentials {
    unsigned user = 0;
    long long process = 0;
};

std::optional<Credentials> peerCredentials(int fd) {
#ifdef SO_PEERCRED
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials)
        return std::nullopt;
    return Credentials{static_cast<unsigned>(credentials.uid), credentials.pid};
#else
    uid_t user = 0;
    gid_t group = 0;
    if (::getpeereid(fd, &user, &group) != 0)
        return std::nullopt;
    return Credentials{static_cast<unsigned>(user), 0};
#endif
}

bool socketAddress(const std::string& path, sockaddr_un& address) {
    if (path.size() > kMaxSocketPath)
        return false;
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

int unixSocket() {
#ifdef SOCK_CLOEXEC
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
#else
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd >= 0) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return fd;
#endif
}

// Waits for `events` on `fd` until `deadline`; false on time-out or error.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool identify(const std::string& path, Listener& listener) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return false;
    listener.device = static_cast<unsigned long long>(info.st_dev);
    listener.inode = static_cast<unsigned long long>(info.st_ino);
    listener.changed = static_cast<long long>(info.st_ctim.tv_sec) * 1000000000LL +
                       static_cast<long long>(info.st_ctim.tv_nsec);
    return true;
}

unsigned currentUser() {
    return static_cast<unsigned>(::getuid());
}

} // namespace

std::optional<Address> channelAddress(std::string_view dataFolder, std::string& refusal) {
    const std::string user = std::to_string(::getuid());
    const std::string name = channelName(std::string(dataFolder) + '\n' + user);

    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        folder = withoutTrailingSlashes(runtime);
        // A runtime folder too deep for a socket's name leaves the fallback below.
        if (folder.size() + 1 + name.size() > kMaxSocketPath)
            folder.clear();
    }
    if (folder.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        const std::string base = temporary != nullptr && temporary[0] == '/'
                                     ? withoutTrailingSlashes(temporary)
                                     : std::string("/tmp");
        folder = (base == "/" ? std::string() : base) + "/pyrelto-" + user;
        // Made for the user alone; one found there is checked like the runtime folder, since
        // anybody may have made it first.
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            refusal = "Der Ordner " + folder + " lässt sich nicht anlegen: " + systemText(errno);
            return std::nullopt;
        }
    }
    if (!isOwnFolder(folder, refusal))
        return std::nullopt;
    Address address;
    address.folder = folder;
    address.socket = folder + '/' + name;
    address.lock = address.socket + ".lock";
    if (address.socket.size() > kMaxSocketPath) {
        refusal = "Der Pfad " + address.socket + " ist zu lang für einen Socket.";
        return std::nullopt;
    }
    return address;
}

StartLock::StartLock(const Address& address, Milliseconds wait) {
    fd_ = ::open(address.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0)
        return;
    const auto deadline = Clock::now() + wait;
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(Milliseconds(10));
    }
}

StartLock::~StartLock() {
    // Closing the file gives up the lock; the file stays, since removing a lock file lets a
    // third start lock a new file while the second still holds the old one.
    if (fd_ >= 0)
        ::close(fd_);
}

bool StartLock::held() const noexcept {
    return held_;
}

HandOverResult handOver(const Address& address, std::string_view message, Milliseconds connectWait,
                        Milliseconds answerWait) {
    sockaddr_un target{};
    if (!socketAddress(address.socket, target))
        return {HandOver::NobodyListens, 0};
    const Descriptor fd(unixSocket());
    if (fd.get() < 0)
        return {HandOver::NobodyListens, 0};

    const auto connectDeadline = Clock::now() + connectWait;
    for (;;) {
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) {
            // The queue of the running copy is full: it may be busy or hung.
            if (Clock::now() >= connectDeadline)
                return {HandOver::NoAnswer, 0};
            std::this_thread::sleep_for(Milliseconds(10));
            continue;
        }
        if (errno == EINPROGRESS) {
            int error = 0;
            socklen_t size = sizeof error;
            if (!waitFor(fd.get(), POLLOUT, connectDeadline))
                return {HandOver::NoAnswer, 0};
            if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
                return {HandOver::NobodyListens, 0};
            break;
        }
        // No socket there, or one that a crashed run left behind.
        return {HandOver::NobodyListens, 0};
    }

    const auto peer = peerCredentials(fd.get());
    if (!peer || peer->user != currentUser())
        return {HandOver::ForeignPeer, 0};
    HandOverResult result{HandOver::NoAnswer, peer->process};

    const auto answerDeadline = Clock::now() + answerWait;
    for (std::size_t sent = 0; sent < message.size();) {
        const ssize_t n =
            ::send(fd.get(), message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            if (!waitFor(fd.get(), POLLOUT, answerDeadline))
                return result;
        } else {
            return result;
        }
    }
    for (;;) {
        char answer = 0;
        const ssize_t n = ::recv(fd.get(), &answer, 1, 0);
        if (n == 1) {
            if (answer == kTaken)
                result.outcome = HandOver::Taken;
            return result;
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN))
            return result;
        if (errno == EAGAIN && !waitFor(fd.get(), POLLIN, answerDeadline))
            return result;
    }
}

Listener listenAt(const Address& address) {
    sockaddr_un own{};
    if (!socketAddress(address.socket, own))
        return {};
    ::unlink(address.socket.c_str());
    Descriptor fd(unixSocket());
    if (fd.get() < 0)
        return {};
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&own), sizeof own) != 0)
        return {};
    // The folder already keeps everybody else out; the socket does so as well.
    ::chmod(address.socket.c_str(), 0600);
    if (::listen(fd.get(), SOMAXCONN) != 0) {
        ::unlink(address.socket.c_str());
        return {};
    }
    Listener listener;
    if (!identify(address.socket, listener))
        return {};
    listener.fd = fd.release();
    return listener;
}

ListenerState listenerState(const Address& address, const Listener& listener) {
    Listener found;
    if (!identify(address.socket, found))
        return ListenerState::Missing;
    return found.device == listener.device && found.inode == listener.inode &&
                   found.changed == listener.changed
               ? ListenerState::Ours
               : ListenerState::Replaced;
}

void closeListener(const Address& address, Listener& listener) {
    if (listener.fd < 0)
        return;
    if (listenerState(address, listener) == ListenerState::Ours)
        ::unlink(address.socket.c_str());
    ::close(listener.fd);
    listener = {};
}

Accepted acceptPeer(int listenFd) {
    for (;;) {
#if defined(__linux__) || defined(__FreeBSD__)
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
#else
        const int fd = ::accept(listenFd, nullptr, nullptr);
        if (fd >= 0) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
#endif
        if (fd >= 0) {
            const auto peer = peerCredentials(fd);
            if (!peer || peer->user != currentUser()) {
                ::close(fd);
                return {Accepted::Kind::Refused, -1};
            }
            return {Accepted::Kind::Connection, fd};
        }
        switch (errno) {
        case EINTR:
        case ECONNABORTED:
            continue;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return {Accepted::Kind::None, -1};
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return {Accepted::Kind::Busy, -1};
        default:
            return {Accepted::Kind::Failed, -1};
        }
    }
}

Received receive(int fd, MessageReader& reader) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            switch (reader.append(std::string_view(buffer, static_cast<std::size_t>(n)))) {
            case MessageReader::State::Complete:
                return Received::Complete;
            case MessageReader::State::Garbage:
                return Received::Garbage;
            case MessageReader::State::Incomplete:
                continue;
            }
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Received::Incomplete;
        return Received::Closed;
    }
}

void answerTaken(int fd) {
    // A fresh connection's buffer always has room for one byte; a start that has gone is no
    // reason to stop.
    [[maybe_unused]] const ssize_t sent = ::send(fd, &kTaken, 1, MSG_NOSIGNAL);
}

void closeConnection(int fd) {
    if (fd >= 0)
        ::close(fd);
}

std::optional<unsigned> peerUser(int fd) {
    const auto peer = peerCredentials(fd);
    if (!peer)
        return std::nullopt;
    return peer->user;
}

} // namespace pyrelto::channel
