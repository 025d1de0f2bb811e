#pragma once
// The calculation file (".kal"): the sheet's 80 entries in the order of calculationFileOrder(),
// counts as int32, amounts and pieces as doubles, texts as Text blocks. A file that ends after the
// base section (entry 58) is complete; anything after entry 80 is never read.

#include "field_catalogue.h"
#include "file_message.h"
#include "sheet.h"
#include "torvane.h"

#include <array>
#include <string>
#include <string_view>

namespace pyrelto {

// Twenty texts of the greatest length and every number take about 10 MiB; a larger file is
// refused as damaged before it is read.
inline constexpr std::uint64_t kMaxCalculationFileBytes = std::uint64_t{16} * 1024 * 1024;

// One calculation as the file holds it, entry i at index i - 1 of the file order.
struct CalculationContent {
    int entryCount = kFileEntryCount; // kBaseSectionEntries when the file ends after entry 58
    std::array<double, kFileEntryCount> numbers{}; // counts, amounts and pieces
    std::array<std::u16string, kFileEntryCount> texts;
};

// The sheet's entries: counts truncated toward zero, numbers as the fields show them. Throws
// IoError (Kind::Damaged) for a number beyond the range of a double, which no file could hold.
CalculationContent captureCalculation(const Sheet& sheet);
void writeCalculation(ByteWriter& out, const CalculationContent& content);
// Reads and checks every entry and changes nothing. Throws IoError: "Read beyond end of file" for
// a file that ends inside an entry (also inside the extension section); Kind::Damaged for a NaN or
// infinity, or a pieces value that rounds to no 32-bit whole number.
CalculationContent readCalculation(ByteReader& in);
// Hands the entries to their fields in file order through ordinary writes (so every rule runs as
// when typing), then runs the count rules. Fields of a missing extension section keep their values.
void applyCalculation(Sheet& sheet, const CalculationContent& content);

// Writes the whole sheet to `fname`, replacing an existing file only once the new one is complete.
// Throws FileMessage::cannotCreate() when the file may not be created (missing folder, no
// permission, write-protected file, a name the system would change, which says why); IoError for
// a transfer failure, after which the old file is unchanged, or for a name longer than the system
// takes (PATH_MAX bytes on Linux, a long path of 32,767 units on Windows).
void savefile(const Sheet& sheet, std::u16string_view fname);
// Reads `fname` (opened for reading only) completely, and only then changes the sheet. Throws
// FileMessage::cannotOpen() or IoError; in both cases the sheet is exactly as before.
void openfile(Sheet& sheet, std::u16string_view fname);

} // namespace pyrelto
