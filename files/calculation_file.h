#pragma once
// The calculation file (".kal"): the sheet's 80 entries in the order of calculationFileOrder(),
// counts as int32, amounts and pieces as doubles, texts as Text blocks. A file that ends after the
// base section (entry 58) is complete. After entry 80 may follow one extension block
// (extension_block.h) with what this program keeps beyond the 80 entries, such as the take-off.

#include "article_chunk.h"
#include "extension_block.h"
#include "field_catalogue.h"
#include "file_message.h"
#include "sheet.h"
#include "takeoff.h"
#include "torvane.h"

#include <array>
#include <optional>
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

// What a calculation file carries beyond its 80 entries, in the extension block after them.
struct CalculationExtras {
    // Written when it has any row; a file without one has no block at all.
    TakeOff takeOff;
    // The catalogue articles rows were picked from; written when any row has one.
    RowArticles rowArticles;
    // Chunks of later program versions (invoices, …) that this one cannot
    // interpret: read from the file and written back unchanged, after the chunks of its own.
    std::vector<ExtensionChunk> keptChunks;
    // Set by openfile when data after entry 80 could not be read (a block cut short, a wrong
    // checksum, an unknown version, a damaged take-off or article chunk): a German warning naming
    // the file. The
    // 80 entries loaded as always; saving over the file drops what could not be read, so the
    // window asks first (unreadDataQuestion).
    std::string warning;
    bool hasUnreadData() const { return !warning.empty(); }
    bool empty() const {
        return takeOff.empty() && !hasRowArticles(rowArticles) && keptChunks.empty();
    }
};

// The chunks of `extras` as the block holds them: the take-off, the row articles, then the kept
// chunks (a kept chunk with a tag this program writes itself is left out). Throws IoError
// (Kind::Damaged) for a take-off or an article reference beyond the file's bounds.
std::vector<ExtensionChunk> extensionChunks(const CalculationExtras& extras);
// Reads the bytes after entry 80 (`rest`, possibly none). Never throws: what cannot be read is
// left out and reported in `warning`, naming `fname`.
CalculationExtras readCalculationExtras(std::span<const std::byte> rest, std::u16string_view fname);
// "„name“ enthält Zusatzdaten, die nicht gelesen werden konnten …  Trotzdem speichern?"
std::string unreadDataQuestion(std::u16string_view fname);

// Writes the whole sheet to `fname`, and after entry 80 the block of `extras` when it holds
// anything (a file without extras is the 80 entries alone, byte for byte), replacing an existing
// file only once the new one is complete. Throws FileMessage::cannotCreate() when the file may not
// be created (missing folder, no permission, write-protected file); IoError for a transfer
// failure, after which the old file is unchanged, for a take-off beyond the file's bounds, or for
// a name longer than the system takes (PATH_MAX bytes on Linux, 32,767 units on Windows). A name
// the system would change is refused with cannotCreate(), which says why. With `backup`, the old
// file is kept under that name as well (SafeWrite::commit).
void savefile(const Sheet& sheet, std::u16string_view fname, const CalculationExtras& extras = {},
              std::optional<std::u16string_view> backup = std::nullopt);
// Reads `fname` (opened for reading only) completely, and only then changes the sheet. Throws
// FileMessage::cannotOpen() or IoError for the 80 entries; in both cases the sheet is exactly as
// before. Data after entry 80 never stops the load: it is returned, or reported in the warning.
CalculationExtras openfile(Sheet& sheet, std::u16string_view fname);

// The bytes savefile would write, for keeping a calculation where no file is (the offer
// register). Throws as savefile does for a value no file can hold.
std::vector<std::byte> calculationBytes(const Sheet& sheet, const CalculationExtras& extras = {});
// Reads `bytes` as openfile reads a file, and only then changes the sheet; `name` names them in a
// warning. Throws IoError for bytes that hold no complete calculation, the sheet then unchanged.
CalculationExtras openCalculationBytes(Sheet& sheet, std::span<const std::byte> bytes,
                                       std::u16string_view name);

} // namespace pyrelto
