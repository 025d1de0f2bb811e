#include "leftover_temporaries.h"

#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <limits>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace pyrelto {

namespace {

constexpr std::string_view kPrefix = ".pyrelto-";
constexpr std::string_view kSuffix = ".tmp";

std::string hex(std::uint64_t v) {
    char buffer[16];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v, 16).ptr;
    return std::string(buffer, end);
}

// One hex number, as hex() writes it: no sign, no leading zero (except "0"), at most 16 digits.
std::optional<std::uint64_t> hexWord(std::string_view word) {
    if (word.empty() || word.size() > 16 || (word.size() > 1 && word.front() == '0')) {
        return std::nullopt;
    }
    for (const char c : word) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return std::nullopt;
        }
    }
    std::uint64_t value = 0;
    std::from_chars(word.data(), word.data() + word.size(), value, 16);
    return value;
}

} // namespace

std::string temporaryFileName(std::uint64_t pid, std::uint64_t stamp, std::uint64_t counter) {
    return std::string(kPrefix) + hex(pid) + "-" + hex(stamp) + "-" + hex(counter) +
           std::string(kSuffix);
}

std::optional<std::uint64_t> temporaryFileOwner(std::string_view name) {
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) {
        return std::nullopt;
    }
    name.remove_prefix(kPrefix.size());
    name.remove_suffix(kSuffix.size());
    const auto first = name.find('-');
    const auto second = first == std::string_view::npos ? first : name.find('-', first + 1);
    if (second == std::string_view::npos || name.find('-', second + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    const auto pid = hexWord(name.substr(0, first));
    if (!pid || *pid == 0 || !hexWord(name.substr(first + 1, second - first - 1)) ||
        !hexWord(name.substr(second + 1))) {
        return std::nullopt;
    }
    return pid;
}

void removeLeftoverTemporaries(const std::string& folder) noexcept {
    try {
        const auto notAfter = std::chrono::system_clock::now() - kLeftoverTemporaryAge;
        for (const std::string& name : detail::folderEntries(folder)) {
            const auto pid = temporaryFileOwner(name);
            if (pid && !detail::processMayRun(*pid)) {
                std::string path = folder;
                path += '/';
                path += name;
                detail::removeOwnFileChangedBefore(path, notAfter);
            }
        }
    } catch (...) {
        // Out of memory while listing: the leftovers simply stay until the next save.
    }
}

namespace detail {

bool processMayRun(std::uint64_t pid) {
    if (pid == 0 || pid > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max())) {
        return true; // no id of this system: not certainly gone
    }
    // Signal 0 only asks whether the process exists; EPERM means it does, as another user's.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
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

void removeOwnFileChangedBefore(const std::string& path,
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

} // namespace detail

} // namespace pyrelto
