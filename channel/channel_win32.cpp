// The channel on Windows: a named pipe that admits the current user alone, served one start at a
// time by a thread of its own.

#include "instance_channel.h"

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

// clang-format off
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

namespace pyrelto::channel {

namespace {

using Clock = std::chrono::steady_clock;

class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    HANDLE get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle = nullptr) {
        if (valid())
            ::CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

using Sid = std::vector<unsigned char>;

// The user a process runs as; empty when it cannot be told.
Sid userOfProcess(HANDLE process) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    const OwnedHandle tokenHandle(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return {};
    const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    if (!::IsValidSid(sid))
        return {};
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return Sid(bytes, bytes + ::GetLengthSid(sid));
}

const Sid& currentUser() {
    static const Sid user = userOfProcess(::GetCurrentProcess());
    return user;
}

bool isCurrentUser(const Sid& sid) {
    return !sid.empty() && !currentUser().empty() &&
           ::EqualSid(const_cast<unsigned char*>(sid.data()),
                      const_cast<unsigned char*>(currentUser().data()));
}

// Whether process `id` runs as the current user. A process that cannot even be asked (another
// user's, an elevated one) does not.
bool processOfCurrentUser(ULONG id) {
    const OwnedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process.valid())
        return false;
    return isCurrentUser(userOfProcess(process.get()));
}

std::wstring widen(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          size);
    return wide;
}

std::string sidText(const Sid& sid) {
    LPSTR text = nullptr;
    if (!::ConvertSidToStringSidA(const_cast<unsigned char*>(sid.data()), &text))
        return {};
    std::string result(text);
    ::LocalFree(text);
    return result;
}

// A security descriptor whose access list holds one entry: full access for the current user.
// Anybody else, other users and services alike, cannot open the pipe or the mutex.
class UserOnly {
public:
    UserOnly() {
        const Sid& user = currentUser();
        if (user.empty())
            return;
        acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + user.size());
        auto* acl = reinterpret_cast<ACL*>(acl_.data());
        auto* sid = const_cast<unsigned char*>(user.data());
        ok_ = ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
              ::InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
              ::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) &&
              ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE);
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = &descriptor_;
        attributes_.bInheritHandle = FALSE;
    }
    UserOnly(const UserOnly&) = delete;
    UserOnly& operator=(const UserOnly&) = delete;
    // nullptr when no such descriptor could be made: the caller then makes nothing.
    SECURITY_ATTRIBUTES* attributes() { return ok_ ? &attributes_ : nullptr; }

private:
    std::vector<unsigned char> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool ok_ = false;
};

DWORD millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<DWORD>(left);
}

// One overlapped read or write, ended early by `stop` (when given) or the deadline. The bytes
// moved, or nullopt when the transfer failed or was given up.
std::optional<DWORD> transfer(HANDLE pipe, bool write, void* buffer, DWORD size,
                              Clock::time_point deadline, HANDLE stop = nullptr) {
    const OwnedHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done.valid())
        return std::nullopt;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    const BOOL started = write ? ::WriteFile(pipe, buffer, size, nullptr, &overlapped)
                               : ::ReadFile(pipe, buffer, size, nullptr, &overlapped);
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return std::nullopt;
    HANDLE events[2] = {done.get(), stop};
    const DWORD woken = ::WaitForMultipleObjects(stop != nullptr ? 2 : 1, events, FALSE,
                                                 millisecondsUntil(deadline));
    DWORD moved = 0;
    if (woken != WAIT_OBJECT_0) {
        ::CancelIoEx(pipe, &overlapped);
        ::GetOverlappedResult(pipe, &overlapped, &moved, TRUE);
        return std::nullopt;
    }
    if (!::GetOverlappedResult(pipe, &overlapped, &moved, FALSE))
        return std::nullopt;
    return moved;
}

} // namespace

std::optional<Address> channelAddress(std::string_view dataFolder, std::string& refusal) {
    const std::string user = sidText(currentUser());
    if (user.empty()) {
        refusal = "Der angemeldete Benutzer lässt sich nicht feststellen.";
        return std::nullopt;
    }
    const std::wstring name = widen(channelName(std::string(dataFolder) + '\n' + user));
    Address address;
    address.pipe = L"\\\\.\\pipe\\" + name;
    address.mutex = L"Local\\" + name + L"-start";
    return address;
}

StartLock::StartLock(const Address& address, Milliseconds wait) {
    UserOnly security;
    if (security.attributes() == nullptr)
        return;
    mutex_ = ::CreateMutexW(security.attributes(), FALSE, address.mutex.c_str());
    if (mutex_ == nullptr)
        return;
    const DWORD woken = ::WaitForSingleObject(mutex_, static_cast<DWORD>(wait.count()));
    // An abandoned mutex is held all the same: its owner ended without giving it up.
    held_ = woken == WAIT_OBJECT_0 || woken == WAIT_ABANDONED;
}

StartLock::~StartLock() {
    if (mutex_ == nullptr)
        return;
    if (held_)
        ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
}

bool StartLock::held() const noexcept {
    return held_;
}

HandOverResult handOver(const Address& address, std::string_view message, Milliseconds connectWait,
                        Milliseconds answerWait) {
    const auto connectDeadline = Clock::now() + connectWait;
    OwnedHandle pipe;
    for (;;) {
        // Identification only: a stranger's pipe server cannot act as this user.
        pipe.reset(::CreateFileW(
            address.pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (pipe.valid())
            break;
        const DWORD error = ::GetLastError();
        if (error == ERROR_PIPE_BUSY) {
            const DWORD left = millisecondsUntil(connectDeadline);
            if (left == 0)
                return {HandOver::NoAnswer, 0};
            ::WaitNamedPipeW(address.pipe.c_str(), left);
            continue;
        }
        // A pipe of our name that keeps us out is someone else's.
        if (error == ERROR_ACCESS_DENIED)
            return {HandOver::ForeignPeer, 0};
        return {HandOver::NobodyListens, 0};
    }

    ULONG server = 0;
    if (!::GetNamedPipeServerProcessId(pipe.get(), &server) || !processOfCurrentUser(server))
        return {HandOver::ForeignPeer, 0};
    HandOverResult result{HandOver::NoAnswer, static_cast<long long>(server)};
    // The running copy comes to the front when it takes the file; Windows lets a process take
    // the foreground only when the one in front allows it.
    ::AllowSetForegroundWindow(server);

    const auto answerDeadline = Clock::now() + answerWait;
    std::string bytes(message);
    for (std::size_t sent = 0; sent < bytes.size();) {
        const auto moved = transfer(pipe.get(), true, bytes.data() + sent,
                                    static_cast<DWORD>(bytes.size() - sent), answerDeadline);
        if (!moved || *moved == 0)
            return result;
        sent += *moved;
    }
    char answer = 0;
    const auto moved = transfer(pipe.get(), false, &answer, 1, answerDeadline);
    if (moved && *moved == 1 && answer == kTaken)
        result.outcome = HandOver::Taken;
    return result;
}

struct PipeServer::State {
    std::wstring pipe;
    Receiver receiver;
    Milliseconds clientWait{};
    UserOnly security;
    OwnedHandle stop;
    // The instance a start connects to next; owned by the thread once it runs.
    OwnedHandle waiting;
    std::thread thread;
    bool listening = false;
    bool restricted = false;

    HANDLE makeInstance(bool first) {
        if (security.attributes() == nullptr)
            return INVALID_HANDLE_VALUE;
        // The first instance claims the name: when another copy or another user holds it,
        // making it fails instead of joining theirs.
        return ::CreateNamedPipeW(
            pipe.c_str(),
            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
            PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, security.attributes());
    }

    bool stopped() const { return ::WaitForSingleObject(stop.get(), 0) == WAIT_OBJECT_0; }

    // Waits for a start to connect to `instance`; false when stopped or broken.
    bool awaitClient(HANDLE instance) {
        const OwnedHandle connected(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!connected.valid())
            return false;
        OVERLAPPED overlapped{};
        overlapped.hEvent = connected.get();
        if (::ConnectNamedPipe(instance, &overlapped))
            return true;
        switch (::GetLastError()) {
        case ERROR_PIPE_CONNECTED:
            return true;
        case ERROR_IO_PENDING:
            break;
        default:
            return false;
        }
        HANDLE events[2] = {stop.get(), connected.get()};
        DWORD moved = 0;
        if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            ::CancelIoEx(instance, &overlapped);
            ::GetOverlappedResult(instance, &overlapped, &moved, TRUE);
            return false;
        }
        return ::GetOverlappedResult(instance, &overlapped, &moved, FALSE) != 0;
    }

    void serve(HANDLE instance) {
        ULONG client = 0;
        if (!::GetNamedPipeClientProcessId(instance, &client) || !processOfCurrentUser(client))
            return;
        const auto deadline = Clock::now() + clientWait;
        MessageReader reader;
        char buffer[4096];
        while (reader.state() == MessageReader::State::Incomplete) {
            const auto moved =
                transfer(instance, false, buffer, sizeof buffer, deadline, stop.get());
            if (!moved || *moved == 0)
                return;
            reader.append(std::string_view(buffer, *moved));
        }
        if (reader.state() != MessageReader::State::Complete)
            return;
        char answer = kTaken;
        if (!transfer(instance, true, &answer, 1, deadline, stop.get()))
            return;
        receiver(reader.arguments());
        // Disconnecting throws away what the start has not read yet: wait until it hangs up.
        transfer(instance, false, buffer, sizeof buffer, deadline, stop.get());
    }

    void run() {
        OwnedHandle instance = std::move(waiting);
        while (!stopped()) {
            if (!awaitClient(instance.get())) {
                if (stopped())
                    break;
                // A start that came and went before it was seen: the instance is free again.
                ::DisconnectNamedPipe(instance.get());
                ::WaitForSingleObject(stop.get(), 50);
                continue;
            }
            // The next instance exists before this one goes, so the name is never free for a
            // moment in which a start would find nobody and run on its own.
            OwnedHandle next(makeInstance(false));
            serve(instance.get());
            ::DisconnectNamedPipe(instance.get());
            if (next.valid()) {
                instance = std::move(next);
                continue;
            }
            // Out of resources: keep serving on the same instance.
        }
    }
};

PipeServer::PipeServer(const Address& address, Receiver receiver, Milliseconds clientWait)
    : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.pipe = address.pipe;
    state.receiver = std::move(receiver);
    state.clientWait = clientWait;
    state.stop.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!state.stop.valid())
        return;
    state.waiting.reset(state.makeInstance(true));
    // The count of instances tells as well where the first-instance flag is not enforced
    // (wine): more than this one, and the name was someone else's already.
    DWORD instances = 0;
    if (!state.waiting.valid() ||
        !::GetNamedPipeHandleStateW(state.waiting.get(), nullptr, &instances, nullptr, nullptr,
                                    nullptr, 0) ||
        instances != 1) {
        state.waiting.reset();
        return;
    }

    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(state.waiting.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, &acl, nullptr, &descriptor) == ERROR_SUCCESS) {
        void* entry = nullptr;
        if (acl != nullptr && acl->AceCount == 1 && ::GetAce(acl, 0, &entry)) {
            const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
            const auto* sid = reinterpret_cast<const unsigned char*>(&allowed->SidStart);
            state.restricted =
                allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                isCurrentUser(Sid(sid, sid + ::GetLengthSid(const_cast<unsigned char*>(sid))));
        }
        ::LocalFree(descriptor);
    }

    state.listening = true;
    state.thread = std::thread([&state] { state.run(); });
}

PipeServer::~PipeServer() {
    stop();
}

bool PipeServer::listening() const noexcept {
    return state_->listening;
}

bool PipeServer::admitsOnlyCurrentUser() const {
    return state_->restricted;
}

void PipeServer::stop() {
    State& state = *state_;
    if (state.stop.valid())
        ::SetEvent(state.stop.get());
    if (state.thread.joinable())
        state.thread.join();
    state.waiting.reset();
    state.listening = false;
}

} // namespace pyrelto::channel
