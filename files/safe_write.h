#pragma once
// Replacing a file so that a failure never costs the user the old one.
//
// The new contents go to a temporary file in the target's folder; every write is checked, the data
// is flushed and synced and the close checked, and only then is the temporary renamed over the
// target, which takes the old file's permission bits. Until that rename the target is untouched;
// on any failure the temporary is removed. Leftover temporaries of killed saves in the target's
// folder are cleared on the way (leftover_temporaries.h).

#include "torvane.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pyrelto {

class SafeWrite final : public ByteWriter {
public:
    SafeWrite();
    SafeWrite(const SafeWrite&) = delete;
    SafeWrite& operator=(const SafeWrite&) = delete;
    // Removes the temporary unless commit() succeeded.
    ~SafeWrite() override;

    // False when the target may not be created or replaced: its folder is missing or closed to
    // us, it exists but is write-protected (no write permission bit at all, which holds even for
    // the superuser, or no write access for us), it is no regular file, or the name is invalid.
    // Nothing on disk has changed then.
    [[nodiscard]] bool open(std::u16string_view target);
    // Throws IoError: "Disk full" when the storage takes fewer bytes, else the system's text.
    void write(std::span<const std::byte> bytes) override;
    // Syncs and closes the temporary and renames it over the target. With `backup`, an existing
    // target is first kept under that name too (replacing any file there), as a hard link or a
    // copy, so that the target never goes missing. Throws IoError; the target is then unchanged.
    void commit(std::optional<std::u16string_view> backup = std::nullopt);

private:
    void discard() noexcept;
    // The target and the temporary in the platform's terms; none until open() succeeds.
    struct Open;
    std::unique_ptr<Open> open_;
    bool committed_ = false;
};

// One whole file in a single call. False when the target cannot be created (as SafeWrite::open);
// a failed transfer throws IoError and leaves the old file as it was.
[[nodiscard]] bool writeFileSafely(std::u16string_view target, std::span<const std::byte> bytes,
                                   std::optional<std::u16string_view> backup = std::nullopt);

// Throws FileMessage::cannotCreate with the reason when the system would store a new file under
// another name than `target` (a dot or a space at the end of a name on Windows), before anything
// is written.
void refuseChangedName(std::u16string_view target);

namespace detail {
// For tests: `hook` runs once a backup has been made and before the new file replaces the target,
// where a crash would hurt most. nullptr removes it.
void setAfterBackupHook(void (*hook)()) noexcept;
} // namespace detail

} // namespace pyrelto
