#include "sheet_articles.h"

#include "sheet.h"
#include "utf16.h"

#include <array>
#include <cmath>
#include <limits>

namespace pyrelto {

namespace {

// The rows of the article chunk, in its order: M1-M5, then S1-S5.
constexpr std::array<FieldId, kArticleRowCount> kDescriptions{
    FieldId::Bez1Ed, FieldId::Bez2Ed,  FieldId::Bez3Ed,  FieldId::Bez4Ed,  FieldId::Bez5Ed,
    FieldId::Bez8Ed, FieldId::Bez8Ed2, FieldId::Bez8Ed3, FieldId::Bez8Ed4, FieldId::Bez8Ed5,
};
constexpr std::array<FieldId, kArticleRowCount> kPrices{
    FieldId::List1Ed, FieldId::List2Ed, FieldId::List3Ed, FieldId::List4Ed, FieldId::List5Ed,
    FieldId::Ek8Ed,   FieldId::Ek8Ed2,  FieldId::Ek8Ed3,  FieldId::Ek8Ed4,  FieldId::Ek8Ed5,
};
constexpr std::array<FieldId, 5> kDiscounts{FieldId::Rab1Ed, FieldId::Rab2Ed, FieldId::Rab3Ed,
                                            FieldId::Rab4Ed, FieldId::Rab5Ed};
constexpr std::array<FieldId, 5> kWastes{FieldId::Ver1Ed, FieldId::Ver2Ed, FieldId::Ver3Ed,
                                         FieldId::Ver4Ed, FieldId::Ver5Ed};
static_assert(kArticleRowCount == kRowSlotCount);

std::u16string decimalText(const Decimal& value, char16_t separator) {
    std::u16string text = fromUtf8(formatDecimal(value));
    for (char16_t& c : text) {
        if (c == u',') {
            c = separator;
        }
    }
    return text;
}

} // namespace

SheetRowFields sheetRowFields(RowSlot slot) {
    const auto i = static_cast<std::size_t>(slot);
    SheetRowFields fields{kDescriptions[i], kPrices[i], std::nullopt, std::nullopt};
    if (isMaterialRow(slot)) {
        fields.discount = kDiscounts[i];
        fields.waste = kWastes[i];
    }
    return fields;
}

std::int64_t fieldCents(const Sheet& sheet, FieldId id) {
    const long double value = sheet.number(id).GetValue() * 100.0L;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 2;
    if (!(value < static_cast<long double>(kLimit))) {
        return kLimit;
    }
    if (!(value > -static_cast<long double>(kLimit))) {
        return -kLimit;
    }
    return std::llround(value);
}

std::u16string centsText(std::int64_t value, char16_t separator) {
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::u16string text = fromUtf8(std::to_string(magnitude / 100));
    text += separator;
    text += static_cast<char16_t>(u'0' + magnitude % 100 / 10);
    text += static_cast<char16_t>(u'0' + magnitude % 10);
    return negative ? u"-" + text : text;
}

void pickArticle(Sheet& sheet, CalculationExtras& extras, RowSlot slot, const Article& article,
                 const Catalogue& catalogue) {
    const auto fill = fillRow(slot, article, catalogue);
    if (!fill) {
        throw PickRefused("Der Artikel „" + article.articleNumber +
                          "“ hat keine Fläche je Einheit (m² je " + article.unit +
                          "); ohne sie gibt es keinen Preis je m² für " +
                          std::string(rowSlotName(slot)) + ".");
    }
    const SheetRowFields fields = sheetRowFields(slot);
    const char16_t separator = sheet.numberFormat().decimalSeparator;
    const std::u16string description = fromUtf8(fill->description);
    sheet.enter(fields.description, description);
    sheet.enter(fields.price, centsText(fill->priceCents, separator));
    if (fields.discount) {
        sheet.enter(*fields.discount,
                    decimalText(fill->discountPercent.value_or(Decimal{}), separator));
    }
    if (fields.waste && fill->wastePercent) {
        sheet.enter(*fields.waste, decimalText(*fill->wastePercent, separator));
    }
    // The field may hold the description shortened to what it takes; the checksum is of what the
    // file will hold.
    extras.rowArticles[static_cast<std::size_t>(slot)] =
        RowArticle{fromUtf8(article.supplier), fromUtf8(article.articleNumber),
                   descriptionChecksum(sheet.text(fields.description).text())};
}

std::vector<RepricedRow> repriceSheet(const Sheet& sheet, const CalculationExtras& extras,
                                      const Catalogue& catalogue) {
    std::vector<RepricedRow> result;
    for (std::size_t i = 0; i < kArticleRowCount; ++i) {
        const auto& reference = extras.rowArticles[i];
        if (!reference) {
            continue;
        }
        const auto slot = static_cast<RowSlot>(i);
        const SheetRowFields fields = sheetRowFields(slot);
        const ArticleRow row{slot, toUtf8(reference->supplier), toUtf8(reference->articleNumber),
                             fieldCents(sheet, fields.price)};
        if (descriptionChecksum(sheet.text(fields.description).text()) !=
            reference->descriptionCrc) {
            result.push_back({slot, row.articleNumber, row.priceCents, std::nullopt,
                              RepriceStatus::RowEdited, row.supplier});
            continue;
        }
        result.push_back(repriceRows(std::span(&row, 1), catalogue).front());
    }
    return result;
}

bool applyRepricing(Sheet& sheet, std::span<const RepricedRow> rows) {
    bool changed = false;
    for (const RepricedRow& row : rows) {
        if (row.status == RepriceStatus::Changed && row.newCents) {
            sheet.enter(sheetRowFields(row.slot).price,
                        centsText(*row.newCents, sheet.numberFormat().decimalSeparator));
            changed = true;
        }
    }
    return changed;
}

} // namespace pyrelto
