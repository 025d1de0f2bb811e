#pragma once
// Material preset files (".mat"): the description and the five numbers of one material row.
// Layout: the description as a Text block, then list, rab, ek, ver and sum as little-endian
// doubles (44 bytes for an empty description). Bytes after the last double are never read.

#include "file_message.h"
#include "sheet.h"
#include "torvane.h"

#include <string>
#include <string_view>

namespace pyrelto {

struct MaterialPreset {
    std::u16string bez;
    double list = 0;
    double rab = 0;
    double ek = 0;
    double ver = 0;
    double sum = 0;
    bool operator==(const MaterialPreset&) const = default;
};

// Throws IoError (Kind::Damaged) for a NaN or infinity, which no amount field can take.
void writeMaterialPreset(ByteWriter& out, const MaterialPreset& preset);
// Throws IoError: "Read beyond end of file" for a cut file, Kind::Damaged for a NaN or infinity.
MaterialPreset readMaterialPreset(ByteReader& in);

// Stores the preset, replacing an existing file only once the new one is complete. Throws
// FileMessage::cannotCreate() or IoError; a failure leaves any old file as it was.
// One text of the greatest length and five numbers take about 512 KiB; a larger file is refused as
// damaged before it is read.
inline constexpr std::uint64_t kMaxMaterialPresetBytes = std::uint64_t{1024} * 1024;

void savemat(std::u16string_view fname, const MaterialPreset& preset);
// Reads a whole preset (the file is opened for reading only). Throws FileMessage::cannotOpen()
// or IoError, so that a failed load gives the caller nothing to write into the row.
MaterialPreset loademat(std::u16string_view fname);

// Material row `row` (0 to 4) of the sheet: the five values as the fields show them, narrowed to
// doubles, and the description. Throws IoError (Kind::Damaged) for a value beyond the range of a
// double, and std::out_of_range for another row.
MaterialPreset readMaterialRow(const Sheet& sheet, int row);
// Writes bez, list, rab, ek, ver and sum into the row in this order through ordinary field writes,
// so the stored purchase price and sum come last and the row ends with exactly the stored values.
void applyMaterialRow(Sheet& sheet, int row, const MaterialPreset& preset);

} // namespace pyrelto
