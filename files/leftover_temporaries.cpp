#include "leftover_temporaries.h"

#include <charconv>
#include <type_traits>

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

void removeLeftoverTemporaries(const platform::NativeName& folder) noexcept {
    try {
        const auto notAfter = std::chrono::system_clock::now() - kLeftoverTemporaryAge;
        for (const auto& entry : platform::folderEntries(folder)) {
            // Our names are plain ASCII on every system; anything else is not ours.
            std::string name;
            for (const auto c : entry) {
                // Through the unsigned type of the same width: a char above 0x7F stays above it.
                const auto unit = static_cast<std::uint32_t>(
                    static_cast<std::make_unsigned_t<std::remove_cv_t<decltype(c)>>>(c));
                if (unit == 0 || unit >= 0x80) {
                    name.clear();
                    break;
                }
                name += static_cast<char>(c);
            }
            const auto pid = temporaryFileOwner(name);
            if (pid && !platform::processMayRun(*pid)) {
                platform::removeOwnFileChangedBefore(folder + entry, notAfter);
            }
        }
    } catch (...) {
        // Out of memory while listing: the leftovers simply stay until the next save.
    }
}

} // namespace pyrelto
