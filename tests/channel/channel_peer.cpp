// Another user's program at the single-instance channel, for the tests that run as root.
//
//   channel-peer plant FOLDER NAME UID    as UID: make FOLDER open to all and listen at FOLDER/NAME
//   channel-peer listen SOCKET UID        bind SOCKET as the caller, then listen as UID
//   channel-peer send SOCKET UID ARG...   as UID: hand ARG... over and print the answer
//
// A listening peer prints "ready", then "connection N" for each start that connected (N: the
// bytes it sent), answers each as a running copy would, and ends when its standard input closes.
// A sending peer prints "answer" and the bytes that came back (none when the other end hung up).

#include "instance_channel.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "channel-peer: %s: %s\n", what, std::strerror(errno));
    std::exit(2);
}

void becomeUser(const char* text) {
    const auto user = static_cast<uid_t>(std::strtoul(text, nullptr, 10));
    if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0)
        fail("setuid");
}

sockaddr_un addressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        fail(path.c_str());
    }
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return address;
}

int boundSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    ::unlink(path.c_str());
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        fail("bind");
    ::chmod(path.c_str(), 0777);
    return fd;
}

// Reads what a start sends within half a second.
std::size_t drain(int fd) {
    std::size_t total = 0;
    char buffer[4096];
    pollfd entry{fd, POLLIN, 0};
    while (::poll(&entry, 1, 500) > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

void answer(int fd) {
    const std::size_t bytes = drain(fd);
    ::send(fd, &pyrelto::channel::kTaken, 1, MSG_NOSIGNAL);
    ::close(fd);
    std::printf("connection %zu\n", bytes);
    std::fflush(stdout);
}

int serve(int listenFd) {
    if (::listen(listenFd, 16) != 0)
        fail("listen");
    std::printf("ready\n");
    std::fflush(stdout);
    pollfd entries[2] = {{listenFd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        if (::poll(entries, 2, -1) < 0 && errno != EINTR)
            fail("poll");
        if ((entries[0].revents & POLLIN) != 0) {
            const int fd = ::accept(listenFd, nullptr, nullptr);
            if (fd >= 0)
                answer(fd);
        }
        char byte = 0;
        if (entries[1].revents != 0 && ::read(STDIN_FILENO, &byte, 1) <= 0) {
            // Told to end: the starts still queued are heard first.
            pollfd queued{listenFd, POLLIN, 0};
            while (::poll(&queued, 1, 0) > 0) {
                const int fd = ::accept(listenFd, nullptr, nullptr);
                if (fd < 0)
                    break;
                answer(fd);
            }
            return 0;
        }
    }
}

int send(const std::string& path, const std::vector<std::string>& arguments) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        fail("connect");
    const std::string message = pyrelto::channel::encodeMessage(arguments);
    if (::send(fd, message.data(), message.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(message.size()))
        fail("send");
    std::string answer;
    char buffer[64];
    pollfd entry{fd, POLLIN, 0};
    while (::poll(&entry, 1, 10000) > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    std::printf("answer %s\n", answer.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "plant" && argc == 5) {
        becomeUser(argv[4]);
        const std::string folder = argv[2];
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            fail("mkdir");
        ::chmod(folder.c_str(), 0777);
        return serve(boundSocket(folder + '/' + argv[3]));
    }
    if (command == "listen" && argc == 4) {
        const int fd = boundSocket(argv[2]);
        // The credentials a connecting start sees are those of the listen() call.
        becomeUser(argv[3]);
        return serve(fd);
    }
    if (command == "send" && argc >= 4) {
        becomeUser(argv[3]);
        return send(argv[2], std::vector<std::string>(argv + 4, argv + argc));
    }
    std::fprintf(stderr, "usage: channel-peer plant FOLDER NAME UID | listen SOCKET UID | "
                         "send SOCKET UID ARG...\n");
    return 2;
}
