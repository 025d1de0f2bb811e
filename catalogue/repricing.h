// Prices of the sheet's material rows (M1-M5, priced per square metre) and piece rows (S1-S5,
// priced per piece) from the catalogue: what picking an article fills in, and old -> new list
// prices for rows that remember an article number. Pure functions of their arguments: the window,
// the folder re-pricing and the command line all call these.
#pragma once

#include "catalogue.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

enum class RowSlot { M1, M2, M3, M4, M5, S1, S2, S3, S4, S5 };

inline constexpr std::size_t kRowSlotCount = 10;

[[nodiscard]] std::string_view rowSlotName(RowSlot slot);
// "M1" ... "M5", "S1" ... "S5" (case-insensitive); nullopt otherwise.
[[nodiscard]] std::optional<RowSlot> parseRowSlot(std::string_view name);
[[nodiscard]] bool isMaterialRow(RowSlot slot);

// The price an article gives a row's price field, in cents. A material row holds the list price
// per square metre (needs a coverage; the firm's discount has a field of its own). A piece row has
// only the purchase price per piece: the list price per piece less the firm's discount for the
// article's discount group (none for a net price).
[[nodiscard]] std::optional<std::int64_t> rowPrice(RowSlot slot, const Article& article,
                                                   const Catalogue& catalogue);

// What picking an article puts into a row. The caller enters these through the sheet's fields so
// its rules run as if typed.
struct RowFill {
    std::string description;
    std::int64_t priceCents = 0; // rowPrice()
    // Material rows only (piece rows have no such fields): the firm's discount for the article's
    // discount group, none for a net price; the article's waste %.
    std::optional<Decimal> discountPercent;
    std::optional<Decimal> wastePercent;
};

// nullopt for a material row and an article without coverage: a price per roll in a per-m² row
// would be wrong by the roll's size.
[[nodiscard]] std::optional<RowFill> fillRow(RowSlot slot, const Article& article,
                                             const Catalogue& catalogue);

// A row of a calculation that remembers an article; supplier empty when the row does not know it.
struct ArticleRow {
    RowSlot slot = RowSlot::M1;
    std::string supplier;
    std::string articleNumber;
    std::int64_t priceCents = 0; // what the row's price field holds now (see rowPrice())
};

enum class RepriceStatus {
    Unchanged,
    Changed,
    NotInCatalogue,
    Ambiguous,  // no supplier known and several suppliers list the number
    NoCoverage, // a material row whose article has no coverage
    RowEdited,  // the row's description is no longer the one the article was picked with (set by
                // callers that know it; repriceRows never sees such a row)
};

struct RepricedRow {
    RowSlot slot = RowSlot::M1;
    std::string articleNumber;
    std::int64_t oldCents = 0;
    std::optional<std::int64_t> newCents; // set for Unchanged and Changed
    RepriceStatus status = RepriceStatus::Unchanged;
    // The row's supplier; when it names none, the supplier of the one article found.
    std::string supplier;

    friend bool operator==(const RepricedRow&, const RepricedRow&) = default;
};

// "unverändert", "geändert", "nicht im Katalog", "mehrdeutig", "ohne Fläche je Einheit",
// "Zeile geändert": the words of the reports.
[[nodiscard]] std::string_view repriceStatusText(RepriceStatus status);

// One result per row, in the rows' order.
[[nodiscard]] std::vector<RepricedRow> repriceRows(std::span<const ArticleRow> rows,
                                                   const Catalogue& catalogue);

} // namespace pyrelto
