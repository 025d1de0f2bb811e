#include "repricing.h"

#include <array>

namespace pyrelto {

namespace {

constexpr std::array<std::string_view, kRowSlotCount> kNames{"M1", "M2", "M3", "M4", "M5",
                                                             "S1", "S2", "S3", "S4", "S5"};

const Article* lookUp(const ArticleRow& row, const Catalogue& catalogue, bool& ambiguous) {
    ambiguous = false;
    if (!row.supplier.empty()) {
        return catalogue.find(row.supplier, row.articleNumber);
    }
    const auto found = catalogue.findNumber(row.articleNumber);
    ambiguous = found.size() > 1;
    return found.size() == 1 ? found.front() : nullptr;
}

} // namespace

std::string_view rowSlotName(RowSlot slot) {
    return kNames[static_cast<std::size_t>(slot)];
}

std::optional<RowSlot> parseRowSlot(std::string_view name) {
    if (name.size() != 2) {
        return std::nullopt;
    }
    const char kind = static_cast<char>(name[0] & ~0x20);
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i][0] == kind && kNames[i][1] == name[1]) {
            return static_cast<RowSlot>(i);
        }
    }
    return std::nullopt;
}

bool isMaterialRow(RowSlot slot) {
    return slot <= RowSlot::M5;
}

std::optional<std::int64_t> rowPrice(RowSlot slot, const Article& article,
                                     const Catalogue& catalogue) {
    if (isMaterialRow(slot)) {
        return listPricePerSquareMetre(article);
    }
    return purchasePricePerPiece(
        article, article.priceKind == PriceKind::List
                     ? catalogue.groupDiscount(article.supplier, article.discountGroup)
                     : std::nullopt);
}

std::optional<RowFill> fillRow(RowSlot slot, const Article& article, const Catalogue& catalogue) {
    const auto price = rowPrice(slot, article, catalogue);
    if (!price) {
        return std::nullopt;
    }
    RowFill fill;
    fill.description = article.text();
    fill.priceCents = *price;
    if (isMaterialRow(slot)) {
        if (article.priceKind == PriceKind::List) {
            fill.discountPercent = catalogue.groupDiscount(article.supplier, article.discountGroup);
        }
        fill.wastePercent = article.wastePercent;
    }
    return fill;
}

std::string_view repriceStatusText(RepriceStatus status) {
    switch (status) {
    case RepriceStatus::Unchanged:
        return "unverändert";
    case RepriceStatus::Changed:
        return "geändert";
    case RepriceStatus::NotInCatalogue:
        return "nicht im Katalog";
    case RepriceStatus::Ambiguous:
        return "mehrdeutig";
    case RepriceStatus::NoCoverage:
        return "ohne Fläche je Einheit";
    case RepriceStatus::RowEdited:
        return "Zeile geändert";
    }
    return "?";
}

std::vector<RepricedRow> repriceRows(std::span<const ArticleRow> rows, const Catalogue& catalogue) {
    std::vector<RepricedRow> result;
    result.reserve(rows.size());
    for (const ArticleRow& row : rows) {
        RepricedRow out{row.slot,     row.articleNumber,        row.priceCents,
                        std::nullopt, RepriceStatus::Unchanged, row.supplier};
        bool ambiguous = false;
        const Article* article = lookUp(row, catalogue, ambiguous);
        if (article == nullptr) {
            out.status = ambiguous ? RepriceStatus::Ambiguous : RepriceStatus::NotInCatalogue;
        } else {
            out.supplier = article->supplier;
            if (const auto price = rowPrice(row.slot, *article, catalogue)) {
                out.newCents = *price;
                out.status =
                    *price == row.priceCents ? RepriceStatus::Unchanged : RepriceStatus::Changed;
            } else {
                out.status = RepriceStatus::NoCoverage;
            }
        }
        result.push_back(std::move(out));
    }
    return result;
}

} // namespace pyrelto
