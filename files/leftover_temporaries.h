#pragma once
// Temporaries of a save that never finished. A process killed between creating its temporary and
// renaming it over the target leaves a hidden ".pyrelto-<pid>-<stamp>-<counter>.tmp" (pid, stamp
// and counter in lower-case hex) next to the target, a whole or partial copy of a calculation or
// of the customer list. Left alone they pile up until the disk is full and every save fails.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

// A temporary younger than this is kept even when its process is gone: on a folder shared with
// other machines a process id says nothing about their processes, and no save runs this long.
inline constexpr std::chrono::minutes kLeftoverTemporaryAge{10};

// The name of a temporary of the process `pid`.
std::string temporaryFileName(std::uint64_t pid, std::uint64_t stamp, std::uint64_t counter);
// The process id in a name of exactly that pattern; nothing for any other name.
std::optional<std::uint64_t> temporaryFileOwner(std::string_view name);

// Removes from `folder` every temporary of that pattern whose process no longer runs, provided it
// is a plain file of ours (no link, owned by this user) last changed at least
// kLeftoverTemporaryAge ago. Anything unexpected keeps the file; failures are ignored, since the
// save that calls this does not depend on it.
void removeLeftoverTemporaries(const std::string& folder) noexcept;

namespace detail {

// The platform's parts, kept small so that each platform has its own.
// True unless the process with this id is certainly gone (a process we may not signal runs).
bool processMayRun(std::uint64_t pid);
// The names in `folder`, without "." and ".."; empty when it cannot be listed.
std::vector<std::string> folderEntries(const std::string& folder);
// Removes `path` when it is a regular file (not followed through a link) owned by this user and
// last changed before `notAfter`.
void removeOwnFileChangedBefore(const std::string& path,
                                std::chrono::system_clock::time_point notAfter);

} // namespace detail

} // namespace pyrelto
