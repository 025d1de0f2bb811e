// What a reader makes of a price list file, before anything touches the catalogue: the articles
// it read, the price changes it read (DATANORM P records), and every line it could not read.
#pragma once

#include "article.h"

#include <cstddef>
#include <string>
#include <vector>

namespace pyrelto {

// A line the reader could not use, with its 1-based line number in the file and the reason in
// German for the import summary. Line 0 is the file as a whole.
struct ImportProblem {
    std::size_t line = 0;
    std::string reason;
    friend bool operator==(const ImportProblem&, const ImportProblem&) = default;
};

enum class TextEncoding { Ascii, Utf8, Windows1252, Cp850 };

// "UTF-8", "Windows-1252", "CP850" (ASCII shows as "ASCII"), for the import dialog.
const char* encodingName(TextEncoding encoding);

struct ListedArticle {
    Article article;
    std::size_t line = 0;
    // DATANORM processing flag "L": the supplier withdraws the article.
    bool withdrawn = false;
};

// A DATANORM P record's price for one article, which may come from this file or be in the
// catalogue already.
struct PriceChange {
    std::string articleNumber;
    Decimal price;
    PriceKind kind = PriceKind::List;
    std::size_t line = 0;
};

enum class PriceListFormat { Csv, Datanorm4 };

struct PriceList {
    PriceListFormat format = PriceListFormat::Csv;
    std::string supplier;
    std::string currency = "EUR";
    CalendarDate date;
    TextEncoding encoding = TextEncoding::Ascii;
    char delimiter = ';';
    std::vector<ListedArticle> articles;
    std::vector<PriceChange> priceChanges;
    std::vector<ImportProblem> problems;
};

// Bounds every reader keeps, so a damaged or hostile file gives a report instead of a hang or a
// huge allocation.
inline constexpr std::size_t kMaxPriceListBytes = 512u << 20;
inline constexpr std::size_t kMaxLineBytes = 64u << 10;
// A file this broken is not worth listing line by line; the report says how it ended.
inline constexpr std::size_t kMaxReportedProblems = 1000;

// Adds a problem unless the report is full; once full, one closing note says so.
void reportProblem(std::vector<ImportProblem>& problems, std::size_t line, std::string reason);

} // namespace pyrelto
