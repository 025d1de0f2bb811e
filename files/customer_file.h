#pragma once
// The customer list file "options.dat" in the program data folder: an int32 count, then that many
// names as Text blocks, in list order.

#include "torvane.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

inline constexpr std::u16string_view kCustomerFileName = u"options.dat";
// Where a damaged customer list file is kept before the list is written again.
inline constexpr std::u16string_view kDamagedCustomerFileSuffix = u".bak";

// The program data folder, always ending in a separator: on Windows "Torvane\Pyrelto Kalkulation\"
// in the user's roaming application-data folder; elsewhere "Torvane/Pyrelto Kalkulation/" under
// $XDG_DATA_HOME (or ~/.local/share when that is unset, empty or relative). Empty when no such
// base folder can be found (no usable HOME); the caller then uses the bare file name. With
// `create`, the folder and every missing folder above it are made first; whether that worked shows
// later, when the file cannot be created.
std::u16string GetProgramDir(bool create);

// A customer list file that ended inside a name or could not be read on. The names read before the
// failure stay available, so the list can keep them as it would after a complete load.
class DamagedCustomerFile : public IoError {
public:
    DamagedCustomerFile(const IoError& cause, std::vector<std::u16string> namesBefore,
                        bool countRead);
    // The names read completely before the failure, in file order.
    const std::vector<std::u16string>& namesBefore() const noexcept { return *names_; }
    // False when the file ended before its count: the list should stay as it was.
    bool countRead() const noexcept { return countRead_; }

private:
    std::shared_ptr<const std::vector<std::u16string>> names_;
    bool countRead_;
};

// A contractor's customers fill some kilobytes; this leaves room for thousands of very long names.
// A larger file is refused as damaged before it is read, and a list that would need a larger one
// is not written.
inline constexpr std::uint64_t kMaxCustomerFileBytes = std::uint64_t{64} * 1024 * 1024;

// The names of an open customer list stream; a count of 0 or below gives no names. Throws
// DamagedCustomerFile. Memory stays within a small multiple of the stream's size.
std::vector<std::u16string> readCustomerNames(ByteReader& in);
void writeCustomerNames(ByteWriter& out, std::span<const std::u16string> names);

// None when the file cannot be opened for reading (first run, no permission, no regular file):
// the caller shows nothing and keeps its list. A damaged file throws DamagedCustomerFile.
std::optional<std::vector<std::u16string>> readCustomerFile(std::u16string_view fname);

// Replaces the file with the names, safely. False, silently, when the file cannot be created
// (missing folder, no permission, write-protected file): nothing changed on disk. A transfer
// failure throws IoError and leaves the old file as it was. With `keepDamaged` (the earlier read
// of this file failed), the old file is moved to fname + ".bak" instead of being overwritten, so
// the names it still holds are not lost.
bool writeCustomerFile(std::u16string_view fname, std::span<const std::u16string> names,
                       bool keepDamaged = false);

} // namespace pyrelto
