// One article of a wholesaler's price list, as the catalogue keeps it. Texts are UTF-8, whatever
// encoding the list came in. The fields from the list are replaced by the next import of the same
// supplier; the firm's own fields (coverage, waste) survive it.
#pragma once

#include "decimal.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pyrelto {

struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;

    [[nodiscard]] bool isSet() const { return year != 0; }
    // "2026-03-01"; empty when not set.
    [[nodiscard]] std::string iso() const;
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// Whether a list price is the gross list price (discounts apply) or already the firm's net price.
enum class PriceKind { List, Net };

struct Article {
    std::string supplier;
    std::string articleNumber;
    std::string shortText1;
    std::string shortText2;
    std::string unit; // as the list writes it: "m²", "Rolle", "Stk", "kg", "l", "lfm", "Eimer" ...
    // The price is for this many units: 1, 10, 100 or 1000.
    int priceUnit = 1;
    Decimal listPrice;
    PriceKind priceKind = PriceKind::List;
    std::string discountGroup;
    std::string mainProductGroup;
    std::string ean; // empty when the list gives none
    CalendarDate priceDate;

    // The price before the import that last changed it, with that price's date.
    std::optional<Decimal> previousPrice;
    CalendarDate previousPriceDate;

    // Our own fields. Coverage: square metres one unit covers (7,5 for a roll of torch-on
    // membrane); absent for articles priced per piece.
    std::optional<Decimal> coverage;
    std::optional<Decimal> wastePercent;

    // "Text 1 Text 2" with one space, for lists and the row's description.
    [[nodiscard]] std::string text() const;
};

// List price per square metre in cents: unit price / price unit / coverage, rounded half up to the
// cent. nullopt without a positive coverage.
std::optional<std::int64_t> listPricePerSquareMetre(const Article& article);

// List price of one piece in cents: unit price / price unit, rounded half up to the cent.
std::int64_t listPricePerPiece(const Article& article);

// What one piece costs the firm, in cents: unit price / price unit less `discountPercent`, rounded
// half up once from the exact values (not from the rounded list price per piece).
std::int64_t purchasePricePerPiece(const Article& article, std::optional<Decimal> discountPercent);

} // namespace pyrelto
