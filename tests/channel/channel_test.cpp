// The system side of the single-instance channel: the message, where the channel may live, and
// a hand-over between two ends of it. On Windows (under wine) the named pipe; the POSIX server's
// event-loop side is tested with the program in tests/app.

#include "file_test_support.h"
#include "instance_channel.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pyrelto::channel {
namespace {

using namespace std::chrono_literals;
using Arguments = std::vector<std::string>;

std::string sized(std::int32_t size, const std::string& body) {
    std::string out;
    const auto bits = static_cast<std::uint32_t>(size);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((bits >> shift) & 0xffU));
    return out + body;
}

TEST(ChannelMessageTest, ArgumentsSurviveTheTripInAnyPieces) {
    const Arguments arguments{"/pfad/mit Ümlaut.kal", "", std::string(1000, 'x')};
    const std::string message = encodeMessage(arguments);
    for (const std::size_t piece :
         {message.size(), std::size_t{1}, std::size_t{3}, std::size_t{7}}) {
        SCOPED_TRACE(piece);
        MessageReader reader;
        for (std::size_t at = 0; at < message.size(); at += piece) {
            EXPECT_EQ(reader.state(), MessageReader::State::Incomplete);
            reader.append(std::string_view(message).substr(at, piece));
        }
        ASSERT_EQ(reader.state(), MessageReader::State::Complete);
        EXPECT_EQ(reader.arguments(), arguments);
        // What follows a complete message is not read.
        EXPECT_EQ(reader.append("more"), MessageReader::State::Complete);
        EXPECT_EQ(reader.arguments(), arguments);
    }
    MessageReader empty;
    EXPECT_EQ(empty.append(encodeMessage({})), MessageReader::State::Complete);
    EXPECT_TRUE(empty.arguments().empty());
}

TEST(ChannelMessageTest, GarbageIsToldAndNothingOfItKept) {
    struct Bad {
        const char* what;
        std::string message;
    };
    const Bad bad[] = {
        {"a size beyond the limit",
         sized(static_cast<std::int32_t>(kMaxMessageBytes) + 1, std::string(8, 'x'))},
        {"a negative size", sized(-1, std::string(8, 'x'))},
        {"an argument longer than the message", sized(8, sized(0x7fffffff, "abcd"))},
        {"an argument with a negative length", sized(8, sized(-4, "abcd"))},
        {"a length cut short", sized(7, sized(1, "a") + std::string(2, '\0'))},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        MessageReader reader;
        EXPECT_EQ(reader.append(b.message), MessageReader::State::Garbage);
        EXPECT_TRUE(reader.arguments().empty());
    }
    // A size at the limit is waited for, not refused.
    MessageReader large;
    EXPECT_EQ(large.append(sized(static_cast<std::int32_t>(kMaxMessageBytes), "")),
              MessageReader::State::Incomplete);
}

TEST(ChannelMessageTest, NamesTellKeysApart) {
    EXPECT_EQ(channelName("/home/a/data\n1000"), channelName("/home/a/data\n1000"));
    EXPECT_NE(channelName("/home/a/data\n1000"), channelName("/home/a/data\n1001"));
    EXPECT_NE(channelName("/home/a/data\n1000"), channelName("/home/b/data\n1000"));
    EXPECT_EQ(channelName("x").size(), std::string("pyrelto-").size() + 16);
}

// An environment variable set or removed for one test.
class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        set(value);
    }
    ~EnvOverride() { set(old_ ? old_->c_str() : nullptr); }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    void set(const char* value) {
#ifdef _WIN32
        _putenv_s(name_.c_str(), value ? value : "");
#else
        if (value)
            ::setenv(name_.c_str(), value, 1);
        else
            ::unsetenv(name_.c_str());
#endif
    }
    std::string name_;
    std::optional<std::string> old_;
};

#ifndef _WIN32

class ChannelAddressTest : public ::testing::Test {
protected:
    std::string folder(const char* name) const {
        const auto path = temp_.path() / name;
        std::filesystem::create_directories(path);
        ::chmod(path.c_str(), 0700);
        return path.string();
    }

    test::TempDir temp_;
};

TEST_F(ChannelAddressTest, TheRuntimeFolderWhenItIsTheUsersAlone) {
    const std::string run = folder("run");
    const EnvOverride runtime("XDG_RUNTIME_DIR", (run + "//").c_str());
    std::string refusal;
    const auto address = channelAddress("/data", refusal);
    ASSERT_TRUE(address) << refusal;
    EXPECT_EQ(address->folder, run);
    EXPECT_EQ(address->socket, run + "/" + channelName("/data\n" + std::to_string(::getuid())));
    EXPECT_EQ(address->lock, address->socket + ".lock");

    std::string other;
    const auto elsewhere = channelAddress("/other data", other);
    ASSERT_TRUE(elsewhere);
    EXPECT_NE(elsewhere->socket, address->socket) << "each data folder has its own channel";
}

TEST_F(ChannelAddressTest, WithoutRuntimeFolderAFolderOfTheUsersOwnIsMade) {
    const std::string temporary = folder("tmp");
    const EnvOverride runtime("XDG_RUNTIME_DIR", nullptr);
    const EnvOverride tmpdir("TMPDIR", temporary.c_str());
    const mode_t umask = ::umask(0);
    std::string refusal;
    const auto address = channelAddress("/data", refusal);
    ::umask(umask);
    ASSERT_TRUE(address) << refusal;
    EXPECT_EQ(address->folder, temporary + "/pyrelto-" + std::to_string(::getuid()));
    struct stat info {};
    ASSERT_EQ(::lstat(address->folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700U) << "made for the user alone, whatever the umask";
    EXPECT_EQ(info.st_uid, ::getuid());
    // The second start finds the same folder and takes it.
    EXPECT_TRUE(channelAddress("/data", refusal));
}

// A socket's name holds 107 bytes: a deep runtime folder leaves the per-user folder.
TEST_F(ChannelAddressTest, ARuntimeFolderTooDeepForASocketLeavesTheFallback) {
    const std::string deep = folder(std::string(90, 'r').c_str());
    const std::string temporary = folder("tmp");
    const EnvOverride runtime("XDG_RUNTIME_DIR", deep.c_str());
    const EnvOverride tmpdir("TMPDIR", temporary.c_str());
    std::string refusal;
    const auto address = channelAddress("/data", refusal);
    ASSERT_TRUE(address) << refusal;
    EXPECT_EQ(address->folder, temporary + "/pyrelto-" + std::to_string(::getuid()));
}

// Whatever someone else could have made or changed is refused, with the reason.
TEST_F(ChannelAddressTest, AFolderOthersCanEnterOrThatIsNotAFolderIsRefused) {
    const std::string temporary = folder("tmp");
    const std::string own = temporary + "/pyrelto-" + std::to_string(::getuid());
    const EnvOverride tmpdir("TMPDIR", temporary.c_str());
    const EnvOverride runtime("XDG_RUNTIME_DIR", nullptr);
    struct Case {
        const char* what;
        void (*plant)(const std::string& own, const std::string& elsewhere);
        const char* reason;
    };
    const Case cases[] = {
        {"open to everybody",
         [](const std::string& path, const std::string&) {
             std::filesystem::create_directory(path);
             ::chmod(path.c_str(), 0777);
         },
         "für andere Benutzer zugänglich"},
        {"readable by the group",
         [](const std::string& path, const std::string&) {
             std::filesystem::create_directory(path);
             ::chmod(path.c_str(), 0750);
         },
         "für andere Benutzer zugänglich"},
        {"a link to a folder of the user's own",
         [](const std::string& path, const std::string& elsewhere) {
             std::filesystem::create_directory(elsewhere);
             ::chmod(elsewhere.c_str(), 0700);
             std::filesystem::create_directory_symlink(elsewhere, path);
         },
         "ist kein Ordner"},
        {"a file", [](const std::string& path, const std::string&) { std::ofstream{path}; },
         "ist kein Ordner"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(own);
        c.plant(own, (temp_.path() / "elsewhere").string());
        std::string refusal;
        EXPECT_FALSE(channelAddress("/data", refusal));
        EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
        std::filesystem::remove_all(temp_.path() / "elsewhere");
    }
    std::filesystem::remove_all(own);

    const std::string run = folder("run");
    ::chmod(run.c_str(), 0755);
    const EnvOverride inRun("XDG_RUNTIME_DIR", run.c_str());
    std::string refusal;
    EXPECT_FALSE(channelAddress("/data", refusal)) << "a runtime folder others can enter";
}

TEST_F(ChannelAddressTest, AFolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    const std::string temporary = folder("tmp");
    const std::string planted = temporary + "/pyrelto-" + std::to_string(::getuid());
    std::filesystem::create_directory(planted);
    ::chmod(planted.c_str(), 0700);
    ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
    const EnvOverride tmpdir("TMPDIR", temporary.c_str());
    const EnvOverride runtime("XDG_RUNTIME_DIR", nullptr);
    std::string refusal;
    EXPECT_FALSE(channelAddress("/data", refusal));
    EXPECT_NE(refusal.find("gehört einem anderen Benutzer"), std::string::npos) << refusal;
}

class PosixChannelTest : public ::testing::Test {
protected:
    PosixChannelTest() {
        const auto run = temp_.path() / "run";
        std::filesystem::create_directory(run);
        ::chmod(run.c_str(), 0700);
        runtime_.emplace("XDG_RUNTIME_DIR", run.c_str());
        std::string refusal;
        address_ = *channelAddress("/data", refusal);
    }

    test::TempDir temp_;
    std::optional<EnvOverride> runtime_;
    Address address_;
};

TEST_F(PosixChannelTest, AHandOverReachesTheListenerAndIsAnswered) {
    Listener listener = listenAt(address_);
    ASSERT_GE(listener.fd, 0);
    struct stat info {};
    ASSERT_EQ(::lstat(address_.socket.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);

    std::atomic<bool> done{false};
    Arguments received;
    std::thread server([&] {
        while (!done) {
            const Accepted accepted = acceptPeer(listener.fd);
            if (accepted.kind != Accepted::Kind::Connection) {
                std::this_thread::sleep_for(1ms);
                continue;
            }
            EXPECT_EQ(peerUser(accepted.fd), static_cast<unsigned>(::getuid()));
            MessageReader reader;
            Received state = Received::Incomplete;
            while ((state = receive(accepted.fd, reader)) == Received::Incomplete)
                std::this_thread::sleep_for(1ms);
            EXPECT_EQ(state, Received::Complete);
            received = reader.arguments();
            answerTaken(accepted.fd);
            closeConnection(accepted.fd);
            done = true;
        }
    });
    const auto result = handOver(address_, encodeMessage({"/a.kal", "ü"}), 2s, 10s);
    server.join();
    EXPECT_EQ(result.outcome, HandOver::Taken);
    EXPECT_EQ(result.peerProcess, ::getpid());
    EXPECT_EQ(received, (Arguments{"/a.kal", "ü"}));

    EXPECT_EQ(listenerState(address_, listener), ListenerState::Ours);
    closeListener(address_, listener);
    EXPECT_EQ(listener.fd, -1);
    EXPECT_EQ(listenerState(address_, listener), ListenerState::Missing)
        << "the name goes with the listener";
    EXPECT_EQ(handOver(address_, encodeMessage({}), 2s, 2s).outcome, HandOver::NobodyListens);
}

TEST_F(PosixChannelTest, ASilentListenerIsNoAnswerAndALeftoverSocketIsNobody) {
    Listener silent = listenAt(address_);
    ASSERT_GE(silent.fd, 0);
    EXPECT_EQ(handOver(address_, encodeMessage({"/a.kal"}), 2s, 300ms).outcome, HandOver::NoAnswer);

    // A crashed run leaves its socket behind: nobody listens there, and the next one replaces it.
    ::close(silent.fd);
    EXPECT_EQ(handOver(address_, encodeMessage({}), 2s, 2s).outcome, HandOver::NobodyListens);
    Listener next = listenAt(address_);
    ASSERT_GE(next.fd, 0);
    EXPECT_EQ(listenerState(address_, silent), ListenerState::Replaced);
    // Closing the old one must not take the new one's name.
    closeListener(address_, silent);
    EXPECT_EQ(listenerState(address_, next), ListenerState::Ours);
    closeListener(address_, next);
}

// Two starts that would both listen take turns; the lock file is not a link anybody planted.
TEST_F(PosixChannelTest, TheStartLockIsHeldByOneAtATime) {
    {
        const StartLock first(address_, 0ms);
        EXPECT_TRUE(first.held());
        std::thread other([&] {
            const StartLock second(address_, 100ms);
            EXPECT_FALSE(second.held());
        });
        other.join();
    }
    const StartLock again(address_, 0ms);
    EXPECT_TRUE(again.held());
}

#else

// ---- Windows, under wine ----

// The server hands a message on just after its answer: the test waits for it a moment.
template <typename Done> bool eventually(Done done) {
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(10ms);
    return done();
}

std::string uniqueFolder() {
    std::random_device random;
    return "C:\\daten-" + std::to_string(random());
}

TEST(PipeChannelTest, AHandOverReachesTheServerAndIsAnswered) {
    std::string refusal;
    const auto address = channelAddress(uniqueFolder(), refusal);
    ASSERT_TRUE(address) << refusal;
    EXPECT_EQ(address->pipe.rfind(L"\\\\.\\pipe\\pyrelto-", 0), 0U);

    std::vector<Arguments> received;
    std::mutex receivedMutex;
    PipeServer server(
        *address,
        [&](Arguments arguments) {
            const std::lock_guard lock(receivedMutex);
            received.push_back(std::move(arguments));
        },
        5s);
    ASSERT_TRUE(server.listening());
    EXPECT_TRUE(server.admitsOnlyCurrentUser()) << "the pipe's access list names this user only";

    // A second server for the same name is refused: the name is taken.
    PipeServer second(
        *address, [](Arguments) {}, 5s);
    EXPECT_FALSE(second.listening());

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const auto result = handOver(
            *address, encodeMessage({"C:\\Aufträge\\ä.kal", std::to_string(round)}), 5s, 10s);
        EXPECT_EQ(result.outcome, HandOver::Taken);
        EXPECT_EQ(result.peerProcess, static_cast<long long>(::GetCurrentProcessId()))
            << "the running copy is named, to let it take the foreground";
    }
    ASSERT_TRUE(eventually([&] {
        const std::lock_guard lock(receivedMutex);
        return received.size() == 3;
    }));
    {
        const std::lock_guard lock(receivedMutex);
        EXPECT_EQ(received[2], (Arguments{"C:\\Aufträge\\ä.kal", "2"}));
    }

    server.stop();
    EXPECT_EQ(handOver(*address, encodeMessage({}), 1s, 1s).outcome, HandOver::NobodyListens);
}

TEST(PipeChannelTest, GarbageAndSilenceAreNotAnswered) {
    std::string refusal;
    const auto address = channelAddress(uniqueFolder(), refusal);
    ASSERT_TRUE(address);
    std::atomic<int> received{0};
    PipeServer server(
        *address, [&](Arguments) { ++received; }, 300ms);
    ASSERT_TRUE(server.listening());

    EXPECT_EQ(handOver(*address, sized(-1, "xxxx"), 5s, 5s).outcome, HandOver::NoAnswer);
    // Half a message, then nothing: the server gives up on it and serves the next start.
    EXPECT_EQ(handOver(*address, encodeMessage({"abc"}).substr(0, 5), 5s, 1s).outcome,
              HandOver::NoAnswer);
    EXPECT_EQ(handOver(*address, encodeMessage({"C:\\a.kal"}), 5s, 5s).outcome, HandOver::Taken);
    EXPECT_TRUE(eventually([&] { return received == 1; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(received, 1) << "garbage and silence were not handed on";
}

TEST(PipeChannelTest, TheStartLockIsHeldByOneAtATime) {
    std::string refusal;
    const auto address = channelAddress(uniqueFolder(), refusal);
    ASSERT_TRUE(address);
    {
        const StartLock first(*address, 0ms);
        EXPECT_TRUE(first.held());
        std::thread other([&] {
            const StartLock second(*address, 100ms);
            EXPECT_FALSE(second.held());
        });
        other.join();
    }
    std::thread later([&] {
        const StartLock again(*address, 0ms);
        EXPECT_TRUE(again.held());
    });
    later.join();
}

#endif

} // namespace
} // namespace pyrelto::channel
