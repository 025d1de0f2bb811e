#include "catalogue_csv.h"

#include <array>
#include <string_view>

namespace pyrelto {

namespace {

void appendField(std::string& out, std::string_view text) {
    if (text.find_first_of(";\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
}

std::string germanDate(const CalendarDate& date) {
    if (!date.isSet()) {
        return {};
    }
    std::string text;
    const auto twoDigits = [&text](int value) {
        text += static_cast<char>('0' + value / 10 % 10);
        text += static_cast<char>('0' + value % 10);
    };
    twoDigits(date.day);
    text += '.';
    twoDigits(date.month);
    text += '.';
    text += std::to_string(date.year);
    return text;
}

std::string optionalDecimal(const std::optional<Decimal>& value) {
    return value ? formatDecimal(*value) : std::string();
}

} // namespace

std::string catalogueCsv(const Catalogue& catalogue) {
    constexpr std::array<std::string_view, 18> kHeader{"Lieferant",
                                                       "Artikelnummer",
                                                       "Bezeichnung",
                                                       "Bezeichnung 2",
                                                       "Einheit",
                                                       "Preis",
                                                       "Preiseinheit",
                                                       "Preisart",
                                                       "Rabattgruppe",
                                                       "Warengruppe",
                                                       "EAN",
                                                       "Preisdatum",
                                                       "Vorheriger Preis",
                                                       "Datum vorheriger Preis",
                                                       "m² je Einheit",
                                                       "Verschnitt %",
                                                       "Rabatt %",
                                                       "Preis je m²"};
    std::string csv = "\xEF\xBB\xBF";
    const auto line = [&csv](const auto& fields) {
        bool first = true;
        for (const auto& field : fields) {
            if (!first) {
                csv += ';';
            }
            first = false;
            appendField(csv, field);
        }
        csv += "\r\n";
    };
    line(kHeader);
    for (const Article& a : catalogue.articles()) {
        const auto perSquareMetre = listPricePerSquareMetre(a);
        const std::array<std::string, 18> fields{
            a.supplier,
            a.articleNumber,
            a.shortText1,
            a.shortText2,
            a.unit,
            formatDecimal(a.listPrice),
            std::to_string(a.priceUnit),
            a.priceKind == PriceKind::Net ? "Nettopreis" : "Listenpreis",
            a.discountGroup,
            a.mainProductGroup,
            a.ean,
            germanDate(a.priceDate),
            optionalDecimal(a.previousPrice),
            germanDate(a.previousPriceDate),
            optionalDecimal(a.coverage),
            optionalDecimal(a.wastePercent),
            optionalDecimal(catalogue.groupDiscount(a.supplier, a.discountGroup)),
            perSquareMetre ? formatCents(*perSquareMetre) : std::string()};
        line(fields);
    }
    return csv;
}

} // namespace pyrelto
