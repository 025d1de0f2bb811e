#pragma once
// The system side of "one program per user and data folder": the channel through which a second
// start hands its command line to the copy that already runs. A Unix socket on POSIX systems, a
// named pipe on Windows; the event-loop side lives with the window (app/single_instance.h).
//
// Nobody but the user may sit at the other end. The socket lies in a folder only the user can
// enter; the pipe admits only the user. Either end checks the other's user before it trusts a
// byte, since a file name handed to a stranger's program gives away the file.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto::channel {

using Milliseconds = std::chrono::milliseconds;

// ---- The message ----------------------------------------------------------------------------

// The largest message taken; anything claiming more is garbage.
inline constexpr std::size_t kMaxMessageBytes = std::size_t{64} * 1024;
// The one-byte answer: the running copy has the arguments, the starting one may end.
inline constexpr char kTaken = 'K';

// The size of the rest (int32, big-endian), then each argument as its byte count and its UTF-8
// bytes.
std::string encodeMessage(const std::vector<std::string>& arguments);
// The arguments in a message body (what follows its size); nullopt for garbage.
std::optional<std::vector<std::string>> decodeBody(std::string_view body);

// Collects a message that may arrive in pieces, and tells garbage as soon as its size shows it.
class MessageReader {
public:
    enum class State { Incomplete, Complete, Garbage };

    // Adds bytes as they arrive. Once Complete or Garbage, further bytes change nothing.
    State append(std::string_view bytes);
    State state() const noexcept { return state_; }
    // The arguments of a complete message.
    const std::vector<std::string>& arguments() const noexcept { return arguments_; }

private:
    std::string buffer_;
    std::vector<std::string> arguments_;
    State state_ = State::Incomplete;
};

// ---- Where the channel lives ----------------------------------------------------------------

// "pyrelto-" and 16 hex digits of a hash of `key`: tells data folders (and users) apart, nothing
// more; the safety lies in where the name is made.
std::string channelName(std::string_view key);

struct Address {
#ifdef _WIN32
    // \\.\pipe\pyrelto-<hash of the data folder and the user>.
    std::wstring pipe;
    // The session's mutex that two starts take in turn.
    std::wstring mutex;
#else
    // The folder only this user may enter, the socket in it, and the lock file beside it.
    std::string folder;
    std::string socket;
    std::string lock;
#endif
};

// The channel for `dataFolder` (UTF-8) and the current user. POSIX: a socket in
// $XDG_RUNTIME_DIR when it is set, else in <TMPDIR or /tmp>/pyrelto-<uid>, made 0700 when
// missing. Either folder must be a real folder (no link), owned by the user, with no access for
// anybody else; otherwise nullopt, with the reason in `refusal` — the program then runs on its
// own rather than meet someone else's program there.
std::optional<Address> channelAddress(std::string_view dataFolder, std::string& refusal);

// Two starts at the same moment take turns deciding who answers the other. Held until destroyed;
// a lock that cannot be had within `wait` is gone without (at worst two copies run).
class StartLock {
public:
    StartLock(const Address& address, Milliseconds wait);
    ~StartLock();
    StartLock(const StartLock&) = delete;
    StartLock& operator=(const StartLock&) = delete;
    bool held() const noexcept;

private:
#ifdef _WIN32
    void* mutex_ = nullptr;
#else
    int fd_ = -1;
#endif
    bool held_ = false;
};

// ---- The starting copy ----------------------------------------------------------------------

enum class HandOver {
    // Nothing listens there: this start becomes the copy that answers.
    NobodyListens,
    // The running copy answered that it took the arguments.
    Taken,
    // Something listens but did not take the message in time (a copy that hangs).
    NoAnswer,
    // The other end belongs to another user: nothing was sent.
    ForeignPeer,
};

struct HandOverResult {
    HandOver outcome = HandOver::NobodyListens;
    // The running copy's process, once connected (0 when unknown).
    long long peerProcess = 0;
};

// Sends `message` to the copy at `address`, once it is known to be the same user's. On Windows
// the running copy is first allowed to take the foreground, which a background process may not
// do by itself.
HandOverResult handOver(const Address& address, std::string_view message, Milliseconds connectWait,
                        Milliseconds answerWait);

#ifndef _WIN32

// ---- The running copy (POSIX; the caller's event loop watches the descriptors) ------------

struct Listener {
    int fd = -1;
    // The socket file made, so that a later look tells it from another copy's (an inode number
    // alone comes back for the next file made).
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long changed = 0;
};

// Listens at the address, replacing whatever lies at the socket's name (the folder is the user's
// own: it can only be a socket a crashed run left). Non-blocking, closed on exec. fd -1 when the
// socket cannot be made.
Listener listenAt(const Address& address);

enum class ListenerState { Ours, Missing, Replaced };
// Whether the socket's name still leads to `listener` (Missing: removed, with the folder perhaps).
ListenerState listenerState(const Address& address, const Listener& listener);

// Stops listening; removes the socket's name when it is still this listener's.
void closeListener(const Address& address, Listener& listener);

struct Accepted {
    enum class Kind {
        // A connection of this user's, in `fd` (non-blocking, closed on exec).
        Connection,
        // Nothing is waiting.
        None,
        // A process of another user connected; it was closed unanswered.
        Refused,
        // Out of descriptors or memory for now: try again later.
        Busy,
        // The listening socket broke: listen again.
        Failed,
    };
    Kind kind = Kind::None;
    int fd = -1;
};
Accepted acceptPeer(int listenFd);

// Reads what has arrived into `reader`. Closed: the other end hung up (or the connection broke)
// before a whole message.
enum class Received { Incomplete, Complete, Garbage, Closed };
Received receive(int fd, MessageReader& reader);

// Answers kTaken, without waiting and without SIGPIPE.
void answerTaken(int fd);
void closeConnection(int fd);

// The user id of the process at the other end of a connected socket; nullopt when it cannot be
// told (the caller then refuses).
std::optional<unsigned> peerUser(int fd);

#else

// ---- The running copy (Windows): a thread that serves one start at a time ------------------

class PipeServer {
public:
    // Called on the server's thread, with the arguments of each message of this user's starts.
    using Receiver = std::function<void(std::vector<std::string>)>;

    // Makes the pipe's first instance. listening() is false when the name is taken, by another
    // copy or another user.
    PipeServer(const Address& address, Receiver receiver, Milliseconds clientWait);
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    bool listening() const noexcept;
    // Whether the pipe admits exactly one user, the current one (its access list holds that
    // user's entry only).
    bool admitsOnlyCurrentUser() const;
    // Stops answering and waits for the thread; a start connected at that moment gets no answer.
    void stop();

    struct State;

private:
    std::unique_ptr<State> state_;
};

#endif

} // namespace pyrelto::channel
