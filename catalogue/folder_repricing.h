#pragma once
// Re-pricing a folder of calculation files from the catalogue: every row that remembers the
// article it was picked from (the file's article chunk) gets that article's current price, entered
// through the sheet's field so that every sum follows; each changed file is written with the safe
// write, its old version kept beside it as "NAME.kal.bak". What cannot be re-priced — a file
// without article numbers, an article no longer listed, a row whose material was retyped, a
// damaged file — is reported and left as it was, and the folder goes on.

#include "catalogue.h"
#include "repricing.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace pyrelto {

enum class FileRepricingOutcome {
    Repriced,   // at least one row has a new price; written, or in a dry run would be
    Unchanged,  // rows with articles, none of them with a new price
    NoArticles, // no row remembers an article
    Damaged,    // the file, or the data after its 80 entries, could not be read
    NotWritten, // new prices, but writing failed; the file is as it was
};

// "neue Preise", "unverändert", "keine Artikelnummern", "beschädigt", "nicht geschrieben".
std::string_view fileRepricingOutcomeText(FileRepricingOutcome outcome);

struct FileRepricing {
    std::filesystem::path file;
    FileRepricingOutcome outcome = FileRepricingOutcome::Unchanged;
    // Every row with an article, in the sheet's order; prices as the row's price field holds them
    // (rowPrice()).
    std::vector<RepricedRow> rows;
    // The net end sum ("Endsumme Netto") as the file shows it, and after the new prices.
    std::int64_t netBeforeCents = 0;
    std::int64_t netAfterCents = 0;
    std::string problem; // German; for Damaged and NotWritten
};

struct FolderRepricing {
    bool dryRun = false;
    // Every file named *.kal (any case) directly in the folder, by name.
    std::vector<FileRepricing> files;
    // German; set when the folder itself could not be read (then there are no files).
    std::string problem;
    // The progress callback stopped the run: `files` holds only those done before.
    bool stopped = false;
};

// Told before each file, and once at the end, how many are done of how many; false stops the run
// before that file (a file is never left half done). A window keeps itself responsive from here.
using RepricingProgress = std::function<bool(std::size_t done, std::size_t total)>;

// With `dryRun`, works out the same report and writes nothing.
FolderRepricing repriceFolder(const std::filesystem::path& folder, const Catalogue& catalogue,
                              bool dryRun, const RepricingProgress& progress = {});

// The report as CSV for a spreadsheet: UTF-8 with a byte-order mark, ";" between fields, CR LF,
// German decimal commas, RFC 4180 quoting. One line per row with an article, and one per file
// that has none to show (no article numbers, damaged, not written): file, row, supplier, article
// number, status, old price, new price, net end sum before and after, note.
std::string repricingCsv(const FolderRepricing& report);

} // namespace pyrelto
