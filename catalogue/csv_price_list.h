// Price lists as CSV, as wholesalers hand them out and spreadsheet programs save them: delimiter
// ";", "," or tab, encoding UTF-8, Windows-1252 or CP850, German or English numbers, quoted fields
// (RFC 4180: doubled quotes, delimiters and line breaks inside quotes). The first record is the
// header; a column mapping names which header is which field.
#pragma once

#include "price_list.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pyrelto {

// The header name of each field; an empty name leaves the field unmapped. Headers match without
// regard to case and surrounding spaces. The defaults are the names a list may use to import
// without a mapping.
struct CsvColumns {
    std::string articleNumber = "Artikelnummer"; // required
    std::string text1 = "Bezeichnung";
    std::string text2 = "Bezeichnung 2";
    std::string unit = "Einheit";
    std::string price = "Preis"; // required
    std::string priceUnit = "Preiseinheit";
    std::string discountGroup = "Rabattgruppe";
    std::string coverage = "m² je Einheit";
    std::string mainProductGroup = "Warengruppe";
    std::string ean = "EAN";

    friend bool operator==(const CsvColumns&, const CsvColumns&) = default;
};

// Each field of a mapping by its default header name, the name the command line and the store use
// for it.
inline constexpr std::array<std::pair<std::string_view, std::string CsvColumns::*>, 10>
    kCsvColumnFields{{
        {"Artikelnummer", &CsvColumns::articleNumber},
        {"Bezeichnung", &CsvColumns::text1},
        {"Bezeichnung 2", &CsvColumns::text2},
        {"Einheit", &CsvColumns::unit},
        {"Preis", &CsvColumns::price},
        {"Preiseinheit", &CsvColumns::priceUnit},
        {"Rabattgruppe", &CsvColumns::discountGroup},
        {"m² je Einheit", &CsvColumns::coverage},
        {"Warengruppe", &CsvColumns::mainProductGroup},
        {"EAN", &CsvColumns::ean},
    }};

// Reads a mapping written as "Feld=Spaltenname" pairs separated by ";" (the CLI's --columns), the
// fields named by their default header names: "Artikelnummer=ArtNr;Preis=VK netto". Fields not
// named keep their default header. nullopt with a German reason in `error` on an unknown field.
std::optional<CsvColumns> parseCsvColumns(std::string_view mapping, std::string& error);

struct CsvOptions {
    std::string supplier;
    CalendarDate priceDate;
    CsvColumns columns;
    // Detected when not given.
    std::optional<TextEncoding> encoding;
    std::optional<char> delimiter;
    std::optional<NumberStyle> numberStyle;
};

// What the import dialog shows before the user confirms the mapping: the detected settings and
// the first records, split into fields and decoded.
struct CsvPreview {
    TextEncoding encoding = TextEncoding::Ascii;
    char delimiter = ';';
    NumberStyle numberStyle = NumberStyle::German;
    std::vector<std::vector<std::string>> records;
};

// The first `maxRecords` records as readCsvPriceList would split them with the same encoding and
// delimiter: detected unless given, so the dialog can show what another choice reads.
CsvPreview previewCsv(std::span<const std::byte> bytes, std::size_t maxRecords,
                      std::optional<TextEncoding> encoding = std::nullopt,
                      std::optional<char> delimiter = std::nullopt);

// The position of the column headed `name` in `header`, matched as the reader matches headers;
// nullopt for an empty name or when no header fits.
std::optional<std::size_t> findCsvColumn(std::span<const std::string> header,
                                         std::string_view name);

// Whether every header `columns` names is in `header`: a remembered mapping that fits a file
// tells which supplier's layout it has.
bool csvColumnsFit(const CsvColumns& columns, std::span<const std::string> header);

// The fields a list cannot be read without (Artikelnummer, Preis) that `columns` leaves unnamed,
// by their default header names.
std::vector<std::string_view> missingRequiredCsvFields(const CsvColumns& columns);

// Every problem is a line of the report; the list is only worth importing when there are none.
PriceList readCsvPriceList(std::span<const std::byte> bytes, const CsvOptions& options);

} // namespace pyrelto
