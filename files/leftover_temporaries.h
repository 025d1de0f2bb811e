#pragma once
// Temporaries of a save that never finished. A process killed between creating its temporary and
// renaming it over the target leaves a hidden ".pyrelto-<pid>-<stamp>-<counter>.tmp" (pid, stamp
// and counter in lower-case hex) next to the target, a whole or partial copy of a calculation or
// of the customer list. Left alone they pile up until the disk is full and every save fails.

#include "platform_file.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pyrelto {

// A temporary younger than this is kept even when its process is gone: on a folder shared with
// other machines a process id says nothing about their processes, and no save runs this long.
inline constexpr std::chrono::minutes kLeftoverTemporaryAge{10};

// The name of a temporary of the process `pid`.
std::string temporaryFileName(std::uint64_t pid, std::uint64_t stamp, std::uint64_t counter);
// The process id in a name of exactly that pattern; nothing for any other name.
std::optional<std::uint64_t> temporaryFileOwner(std::string_view name);

// Removes from `folder` (a safe write target's folder, up to and including its separator) every
// temporary of that pattern whose process no longer runs, provided it is a plain file of ours (no
// link, owned by this user) last changed at least kLeftoverTemporaryAge ago. Anything unexpected
// keeps the file; failures are ignored, since the save that calls this does not depend on it.
void removeLeftoverTemporaries(const platform::NativeName& folder) noexcept;

} // namespace pyrelto
