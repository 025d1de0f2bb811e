#pragma once
// The catalogue meets an open sheet: picking an article into a row and re-pricing the rows that
// remember one. Every value goes in through the sheet's fields as typed, so that the rules run and
// every sum follows as it would for a user; the window, the command line and the folder
// re-pricing share these.

#include "article_chunk.h"
#include "calculation_file.h"
#include "field_catalogue.h"
#include "repricing.h"

#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace pyrelto {

class Sheet;

struct SheetRowFields {
    FieldId description;
    FieldId price;
    // Material rows only.
    std::optional<FieldId> discount;
    std::optional<FieldId> waste;
};

[[nodiscard]] SheetRowFields sheetRowFields(RowSlot slot);

// Thrown by pickArticle; what() is the German message. The sheet is unchanged.
class PickRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Enters what fillRow gives into the row's fields (the description, the price, for a material row
// the discount — 0 when the article gives none, so that an earlier material's discount does not
// stay — and the waste when the article has one) and remembers the article in
// `extras.rowArticles`. Refused for a material row and an article without coverage.
void pickArticle(Sheet& sheet, CalculationExtras& extras, RowSlot slot, const Article& article,
                 const Catalogue& catalogue);

// Each row that remembers an article, old -> new price; a row whose description is no longer the
// one its article was picked with is RowEdited and not looked up.
[[nodiscard]] std::vector<RepricedRow>
repriceSheet(const Sheet& sheet, const CalculationExtras& extras, const Catalogue& catalogue);

// Enters the new price of every Changed row; true when any was.
bool applyRepricing(Sheet& sheet, std::span<const RepricedRow> rows);

// A field's value in cents; beyond the range of cents (a file may hold any double) it is pinned to
// the nearest end, which no catalogue price equals.
[[nodiscard]] std::int64_t fieldCents(const Sheet& sheet, FieldId id);

// "1234,56" with `separator`, as a user would type it.
[[nodiscard]] std::u16string centsText(std::int64_t value, char16_t separator);

} // namespace pyrelto
