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

// The list price an article gives a row, in cents: per square metre for a material row (needs a
// coverage), per piece for a piece row.
[[nodiscard]] std::optional<std::int64_t> rowListPrice(RowSlot slot, const Article& article);

// What picking an article puts into a row. Discount: the firm's discount for the article's
// discount group, none for a net price. The caller enters these through the sheet's fields so its
// rules run as if typed.
struct RowFill {
    std::string description;
    std::int64_t listPriceCents = 0;
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
    std::int64_t listPriceCents = 0; // the list price the row holds now
};

enum class RepriceStatus {
    Unchanged,
    Changed,
    NotInCatalogue,
    Ambiguous,  // no supplier known and several suppliers list the number
    NoCoverage, // a material row whose article has no coverage
};

struct RepricedRow {
    RowSlot slot = RowSlot::M1;
    std::string articleNumber;
    std::int64_t oldCents = 0;
    std::optional<std::int64_t> newCents; // set for Unchanged and Changed
    RepriceStatus status = RepriceStatus::Unchanged;

    friend bool operator==(const RepricedRow&, const RepricedRow&) = default;
};

// One result per row, in the rows' order.
[[nodiscard]] std::vector<RepricedRow> repriceRows(std::span<const ArticleRow> rows,
                                                   const Catalogue& catalogue);

} // namespace pyrelto
