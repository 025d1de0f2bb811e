// The file layer on Windows: wide-character calls only, so that every name the user can type
// reaches the disk unchanged whatever the ANSI code page, and raw handles, which never translate
// line ends or stop at a 1A byte.

#include "leftover_temporaries.h"
#include "platform_calls.h"
#include "platform_file.h"
#include "torvane.h"
#include "utf16.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <vector>

// clang-format off
// windows.h first: the other two build on its macros.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <aclapi.h>
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

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

HANDLE handleOf(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

Handle toHandle(HANDLE handle) {
    return reinterpret_cast<Handle>(handle);
}

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::atomic<std::uint64_t> temporaryCounter{0};

// A fresh name of our own temporary pattern in `folder`.
std::wstring temporaryName(const std::wstring& folder) {
    static const auto stamp =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::string ascii = temporaryFileName(processId(), stamp, ++temporaryCounter);
    return folder + std::wstring(ascii.begin(), ascii.end());
}

} // namespace

// A bare drive ("C:name") keeps its drive, so that the temporary lands in that drive's current
// folder like the target.
NativeName folderOf(const NativeName& path) {
    const auto sep = path.find_last_of(L"\\/");
    if (sep != std::wstring::npos) {
        return path.substr(0, sep + 1);
    }
    if (path.size() >= 2 && path[1] == L':') {
        return path.substr(0, 2);
    }
    return {};
}

namespace {

class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE h) : h_(h) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() {
        if (valid()) {
            ::CloseHandle(h_);
        }
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    void reset() {
        if (valid()) {
            ::CloseHandle(h_);
        }
        h_ = INVALID_HANDLE_VALUE;
    }
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }

private:
    HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Devices (CON, NUL, COM1 …, also "nul.kal" in any folder) and pipes are no files: they would
// swallow a save or never end a load.
bool isDiskFile(HANDLE h, BY_HANDLE_FILE_INFORMATION& info) {
    return ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The file a link or junction stands for, so that a save through it updates that file instead of
// replacing the link.
std::optional<std::wstring> finalName(HANDLE h) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) {
            return std::nullopt;
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(n);
    }
}

// Attributes a replaced file hands on; read-only never occurs (such a target is refused) and the
// rest describe the old file's storage, not the user's wishes.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool ownedByThisUser(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool same = false;
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) != 0) {
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<std::byte> buffer(size);
        if (size != 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) != 0) {
            const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
            same = ::EqualSid(owner, user->User.Sid) != 0;
        }
        ::CloseHandle(token);
    }
    ::LocalFree(descriptor);
    return same;
}

void makeFolders(const std::wstring& path) {
    // Skips the root ("C:\" or "\\server\share\"); those exist or cannot be made.
    std::size_t start = 0;
    if (path.starts_with(L"\\\\")) {
        start = path.find_first_of(L"\\/", 2);
        start = start == std::wstring::npos ? path.size() : path.find_first_of(L"\\/", start + 1);
    } else if (path.size() >= 3 && path[1] == L':') {
        start = 2;
    }
    for (std::size_t sep = path.find_first_of(L"\\/", start + 1); sep != std::wstring::npos;
         sep = path.find_first_of(L"\\/", sep + 1)) {
        ::CreateDirectoryW(path.substr(0, sep).c_str(), nullptr);
    }
}

} // namespace

namespace {

// The most units of a long path, and the room its longest prefix ("\\?\UNC\") takes.
constexpr std::size_t kLongPathUnits = 32767;
constexpr std::size_t kLongPrefixUnits = 8;
// Names shorter than this stay as they are, with the classic rules (devices such as "NUL" and
// forward slashes). Longer ones take the long form, with room for the temporary beside them.
constexpr std::size_t kPlainNameUnits = MAX_PATH - 80;

bool hasLongOrDevicePrefix(const std::wstring& name) {
    return name.starts_with(L"\\\\?\\") || name.starts_with(L"\\\\.\\");
}

// The full name with the prefix that lifts the 260-unit limit. The prefix also switches off the
// system's clean-up of the name, so the full name is made first: separators, "." and "..".
std::wstring longPath(const std::wstring& name) {
    if (hasLongOrDevicePrefix(name)) {
        return name;
    }
    const DWORD need = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (need == 0) {
        return name;
    }
    std::wstring full(need, L'\0');
    const DWORD n = ::GetFullPathNameW(name.c_str(), need, full.data(), nullptr);
    if (n == 0 || n >= need) {
        return name;
    }
    full.resize(n);
    if (hasLongOrDevicePrefix(full)) {
        return full;
    }
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

} // namespace

std::optional<NativeName> nativeName(std::u16string_view name) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    if (name.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    std::wstring native(name.begin(), name.end());
    if (native.size() >= kPlainNameUnits) {
        return longPath(native);
    }
    return native;
}

bool nameTooLong(std::u16string_view name) noexcept {
    return name.size() > kLongPathUnits - kLongPrefixUnits;
}

int nameTooLongError() noexcept {
    return ERROR_FILENAME_EXCED_RANGE;
}

bool changesName(std::u16string_view name) noexcept {
    // Only the last part names the new file; the folders above it exist or the save fails anyway.
    const auto sep = name.find_last_of(u"\\/:");
    const std::u16string_view last = sep == std::u16string_view::npos ? name : name.substr(sep + 1);
    if (last.empty() || last == u"." || last == u"..") {
        return false;
    }
    return last.back() == u'.' || last.back() == u' ';
}

bool isDiskFull(int code) noexcept {
    return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL;
}

std::string errorText(int code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0 || text == nullptr) {
        return {};
    }
    std::u16string message(text, text + n);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' ||
                                message.back() == u' ' || message.back() == u'.')) {
        message.pop_back();
    }
    return toUtf8(message);
}

int lastError() noexcept {
    return static_cast<int>(::GetLastError());
}

int badHandleError() noexcept {
    return ERROR_INVALID_HANDLE;
}

int invalidNameError() noexcept {
    return ERROR_INVALID_NAME;
}

std::optional<OpenedFile> openForReading(std::u16string_view name) {
    const auto native = nativeName(name);
    if (!native || native->empty()) {
        return std::nullopt;
    }
    // Others may read, and the safe write may replace the file meanwhile; nobody may write into
    // it while it is read.
    ScopedHandle h(::CreateFileW(native->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h.valid() || !isDiskFile(h.get(), info)) {
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(h.get(), &size) == 0 || size.QuadPart < 0) {
        return std::nullopt;
    }
    return OpenedFile{toHandle(h.release()), static_cast<std::uint64_t>(size.QuadPart)};
}

std::size_t readSome(Handle handle, std::span<std::byte> into) {
    const auto want =
        static_cast<DWORD>(std::min<std::size_t>(into.size(), std::numeric_limits<DWORD>::max()));
    DWORD got = 0;
    if (sys().readFile(handleOf(handle), into.data(), want, &got, nullptr) == 0) {
        throw IoError::native(lastError());
    }
    return got;
}

void closeHandle(Handle handle) noexcept {
    if (handle != kNoHandle) {
        ::CloseHandle(handleOf(handle));
    }
}

std::optional<WriteTarget> prepareWriteTarget(std::u16string_view name) {
    if (changesName(name)) {
        return std::nullopt;
    }
    const auto native = nativeName(name);
    if (!native || native->empty() || isSeparator(native->back())) {
        return std::nullopt;
    }
    WriteTarget target;
    target.target = *native;
    // No access asked for: this only looks at what the name is.
    ScopedHandle probe(::CreateFileW(native->c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!probe.valid()) {
        // Only a missing file in a folder that exists may be created.
        if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
            return std::nullopt;
        }
    } else {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!isDiskFile(probe.get(), info)) {
            return std::nullopt;
        }
        // The read-only attribute is the user's protection, which a replace would slip past.
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return std::nullopt;
        }
        // The handle followed any link; the name itself says whether it is one.
        const DWORD own = ::GetFileAttributesW(native->c_str());
        if (own == INVALID_FILE_ATTRIBUTES || (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            auto resolved = finalName(probe.get());
            if (!resolved) {
                return std::nullopt;
            }
            target.target = std::move(*resolved);
        }
        target.keep = info.dwFileAttributes & kKeptAttributes;
        // Write access as the file's security and other programs' sharing allow it now.
        ScopedHandle writable(::CreateFileW(target.target.c_str(), GENERIC_WRITE, kShareAll,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
        if (!writable.valid()) {
            return std::nullopt;
        }
    }
    target.folder = folderOf(target.target);
    return target;
}

std::optional<NativeName> duplicateFile(const NativeName& target, const NativeName& folder) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::wstring temp = temporaryName(folder);
        if (sys().createHardLink(temp.c_str(), target.c_str(), nullptr) != 0) {
            return temp;
        }
        switch (::GetLastError()) {
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            continue;
        case ERROR_FILE_NOT_FOUND:
            return std::nullopt;
        default:
            break; // no links on this file system (FAT, some shares): a copy does
        }
        if (sys().copyFile(target.c_str(), temp.c_str(), TRUE) == 0) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
                continue;
            }
            if (error == ERROR_FILE_NOT_FOUND) {
                return std::nullopt;
            }
            throw IoError::native(static_cast<int>(error));
        }
        // The copy is on the disk before the backup name points at it.
        ScopedHandle copy(::CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy.valid() || sys().flushFileBuffers(copy.get()) == 0) {
            const int error = lastError();
            copy.reset();
            ::DeleteFileW(temp.c_str());
            throw IoError::native(error);
        }
        return temp;
    }
    throw IoError::native(ERROR_FILE_EXISTS);
}

std::optional<Temporary> createTemporary(const WriteTarget& target) {
    const DWORD attributes =
        target.keep && *target.keep != 0 ? *target.keep : FILE_ATTRIBUTE_NORMAL;
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::wstring temp = temporaryName(target.folder);
        const HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_NEW, attributes, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
                continue;
            }
            return std::nullopt;
        }
        return Temporary{toHandle(h), std::move(temp)};
    }
    return std::nullopt;
}

void writeAll(Handle handle, std::span<const std::byte> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1U << 30));
        DWORD written = 0;
        if (sys().writeFile(handleOf(handle), bytes.data() + done, chunk, &written, nullptr) == 0) {
            throw IoError::native(lastError());
        }
        if (written == 0) {
            throw IoError::diskFull();
        }
        done += written;
    }
}

void flushAndClose(Handle handle) {
    const HANDLE h = handleOf(handle);
    if (sys().flushFileBuffers(h) == 0) {
        const int error = lastError();
        ::CloseHandle(h);
        throw IoError::native(error);
    }
    if (::CloseHandle(h) == 0) {
        throw IoError::native(lastError());
    }
}

bool moveReplacing(const NativeName& from, const NativeName& to) noexcept {
    // Write-through: the call returns once the new name is on the disk, which is what the folder
    // sync does on POSIX.
    return sys().moveFileEx(from.c_str(), to.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void removeFile(const NativeName& name) noexcept {
    ::DeleteFileW(name.c_str());
}

void syncFolder(const NativeName&) noexcept {
    // MOVEFILE_WRITE_THROUGH has done it.
}

std::uint64_t processId() noexcept {
    return ::GetCurrentProcessId();
}

bool processMayRun(std::uint64_t pid) {
    if (pid == 0 || pid > std::numeric_limits<DWORD>::max()) {
        return true; // no id of this system: not certainly gone
    }
    const HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        // Only "no such process" is certain; a process we may not query runs.
        return ::GetLastError() != ERROR_INVALID_PARAMETER;
    }
    DWORD exitCode = 0;
    const bool running = ::GetExitCodeProcess(process, &exitCode) == 0 || exitCode == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

std::vector<NativeName> folderEntries(const NativeName& folder) {
    std::vector<NativeName> names;
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring_view name(data.cFileName);
        if (name != L"." && name != L"..") {
            names.emplace_back(name);
        }
    } while (::FindNextFileW(find, &data) != 0);
    ::FindClose(find);
    return names;
}

void removeOwnFileChangedBefore(const NativeName& path,
                                std::chrono::system_clock::time_point notAfter) {
    // Opened without following a link, so a link under our pattern is looked at, not its target.
    ScopedHandle h(::CreateFileW(path.c_str(), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                 nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h.valid() || !isDiskFile(h.get(), info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY)) != 0) {
        return;
    }
    if (!ownedByThisUser(h.get())) {
        return;
    }
    // FILETIME counts 100 ns steps since 1601; the system clock's epoch is 1970.
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime;
    constexpr std::uint64_t kTicksTo1970 = 116444736000000000ULL;
    if (ticks < kTicksTo1970) {
        return;
    }
    const auto changed = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::duration<std::uint64_t, std::ratio<1, 10000000>>(ticks - kTicksTo1970)));
    if (changed < notAfter) {
        h.reset();
        ::DeleteFileW(path.c_str());
    }
}

std::u16string programDataFolder(bool create) {
    // The roaming folder, as CSIDL_APPDATA names it: a customer list follows the user's profile.
    PWSTR base = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(
        FOLDERID_RoamingAppData, create ? KF_FLAG_CREATE : KF_FLAG_DEFAULT, nullptr, &base);
    if (FAILED(hr) || base == nullptr) {
        ::CoTaskMemFree(base);
        return {};
    }
    std::wstring path(base);
    ::CoTaskMemFree(base);
    if (path.empty()) {
        return {};
    }
    if (!isSeparator(path.back())) {
        path += L'\\';
    }
    path += L"Torvane\\Pyrelto Kalkulation\\";
    if (create) {
        makeFolders(path);
    }
    return std::u16string(path.begin(), path.end());
}

} // namespace pyrelto::platform
