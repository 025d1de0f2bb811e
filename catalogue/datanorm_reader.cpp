#include "datanorm_reader.h"

#include "text_encoding.h"

#include <array>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pyrelto {

namespace {

// Header record positions (1-based in the descriptions): 1 "V", 3-8 date DDMMYY, 9-48 info text
// 1 (the supplier), 124-125 version, 126-128 currency.
constexpr std::size_t kHeaderLength = 128;
constexpr std::size_t kDateAt = 2;
constexpr std::size_t kInfo1At = 8;
constexpr std::size_t kInfo1Length = 40;
constexpr std::size_t kVersionAt = 123;
constexpr std::size_t kCurrencyAt = 125;

// A record fields, 0-based: 0 "A", 1 processing flag, 2 article number, 3 text flag, 4 short
// text 1, 5 short text 2, 6 price flag, 7 price unit code, 8 unit, 9 price in cents,
// 10 discount group, 11 main product group, 12 long text key.
constexpr std::size_t kArticleFields = 12;
// B record: 0 "B", 1 processing flag, 2 article number, 3 match code, 4 alternative number,
// 5 catalogue page, 6-9 copper surcharge, 10 EAN, ...
constexpr std::size_t kExtraFields = 3;
constexpr std::size_t kEanField = 10;
// P record: 0 "P", 1 "A", then up to three price blocks of nine fields starting at 2, 11 and 20:
// article number, price flag, price in cents, discount flag, discount ...
constexpr std::array<std::size_t, 3> kPriceBlocks{2, 11, 20};

// Record types version 4 defines that carry nothing the catalogue keeps: long and dimension
// texts, product and discount groups, sets, graphics, surcharges, services, control records.
constexpr std::string_view kSkippedTypes = "TDSRJGZCEK";

// Fills `fields`, reused from record to record so reading a list allocates per article, not per
// field.
const std::vector<std::string_view>& splitFields(std::string_view line,
                                                 std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t end = line.find(';', start);
        if (end == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::string text(std::string_view cp850) {
    const std::string_view field = trimmed(cp850);
    return decodeToUtf8(std::as_bytes(std::span(field.data(), field.size())), TextEncoding::Cp850);
}

std::string quoted(std::string_view cp850) {
    std::string shown = text(cp850.substr(0, 40));
    return "„" + shown + (cp850.size() > 40 ? "…“" : "“");
}

// DATANORM prices are whole cents with no separator; at most 12 digits keep them far inside the
// Decimal range.
std::optional<Decimal> cents(std::string_view field) {
    field = trimmed(field);
    if (field.empty() || field.size() > 12) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return Decimal{value, 2};
}

std::optional<PriceKind> priceKind(std::string_view field) {
    field = trimmed(field);
    if (field == "1") {
        return PriceKind::List;
    }
    if (field == "2") {
        return PriceKind::Net;
    }
    return std::nullopt;
}

bool isDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<CalendarDate> headerDate(std::string_view ddmmyy) {
    if (!isDigits(ddmmyy)) {
        return std::nullopt;
    }
    const auto two = [&](std::size_t at) {
        return (ddmmyy[at] - '0') * 10 + (ddmmyy[at + 1] - '0');
    };
    CalendarDate date{two(4), two(2), two(0)};
    // Two-digit years: the format dates from 1994, so 80-99 are the 1900s.
    date.year += date.year >= 80 ? 1900 : 2000;
    if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31) {
        return std::nullopt;
    }
    return date;
}

class Reader {
public:
    Reader(std::span<const std::byte> bytes, const DatanormOptions& options)
        : data_(reinterpret_cast<const char*>(bytes.data()), bytes.size()), options_(options) {
        list_.format = PriceListFormat::Datanorm4;
        list_.encoding = TextEncoding::Cp850;
    }

    PriceList run() {
        if (data_.size() > kMaxPriceListBytes) {
            problem(0, "Die Datei ist größer als " + std::to_string(kMaxPriceListBytes >> 20) +
                           " MiB und wird nicht gelesen.");
            return std::move(list_);
        }
        // The DOS end-of-file byte ends the data; anything after it is not part of the list.
        if (const std::size_t eof = data_.find('\x1A'); eof != std::string_view::npos) {
            data_ = data_.substr(0, eof);
        }
        std::size_t pos = 0;
        std::size_t line = 0;
        while (pos < data_.size()) {
            ++line;
            const std::size_t end = data_.find('\n', pos);
            const bool terminated = end != std::string_view::npos;
            std::string_view record =
                data_.substr(pos, terminated ? end - pos : std::string_view::npos);
            pos = terminated ? end + 1 : data_.size();
            if (!record.empty() && record.back() == '\r') {
                record.remove_suffix(1);
            }
            if (!terminated) {
                // Every record ends with CR LF, the last one too.
                problem(line,
                        "Zeile " + std::to_string(line) +
                            ": endet ohne Zeilenende – die Datei ist vermutlich abgeschnitten.");
                break;
            }
            if (record.size() > kMaxLineBytes) {
                problem(line, "Zeile " + std::to_string(line) + ": länger als " +
                                  std::to_string(kMaxLineBytes) + " Zeichen, nicht gelesen.");
                if (line == 1) {
                    break;
                }
                continue;
            }
            if (line == 1) {
                if (!readHeader(record)) {
                    break;
                }
                continue;
            }
            readRecord(record, line);
        }
        if (line == 0) {
            problem(0, "Die Datei ist leer.");
        }
        return std::move(list_);
    }

private:
    // Built only for a problem: most records have none.
    static std::string where(std::size_t line) { return "Zeile " + std::to_string(line) + ": "; }

    void problem(std::size_t line, std::string reason) {
        reportProblem(list_.problems, line, std::move(reason));
    }

    bool readHeader(std::string_view record) {
        if (record.empty() || record.front() != 'V') {
            problem(1, "Zeile 1: kein DATANORM-Vorlaufsatz (V).");
            return false;
        }
        if (record.size() < kHeaderLength) {
            problem(1, "Zeile 1: Vorlaufsatz hat " + std::to_string(record.size()) + " statt " +
                           std::to_string(kHeaderLength) + " Zeichen.");
            return false;
        }
        const std::string_view version = record.substr(kVersionAt, 2);
        if (version != "04") {
            problem(1, "Zeile 1: DATANORM-Version " + quoted(version) +
                           " wird nicht unterstützt, nur Version 04.");
            return false;
        }
        list_.currency = text(record.substr(kCurrencyAt, 3));
        if (list_.currency != "EUR") {
            problem(1, "Zeile 1: Währung " + quoted(record.substr(kCurrencyAt, 3)) +
                           " wird nicht unterstützt, nur EUR.");
            return false;
        }
        const auto date = headerDate(record.substr(kDateAt, 6));
        if (!date) {
            problem(1, "Zeile 1: Datum " + quoted(record.substr(kDateAt, 6)) +
                           " ist kein gültiges Datum TTMMJJ.");
            return false;
        }
        list_.date = *date;
        list_.supplier = options_.supplier.empty() ? text(record.substr(kInfo1At, kInfo1Length))
                                                   : options_.supplier;
        return true;
    }

    void readRecord(std::string_view record, std::size_t line) {
        if (record.empty()) {
            return;
        }
        const char type = record.front();
        if (record.size() > 1 && record[1] != ';') {
            problem(line,
                    where(line) + "Satzart " + quoted(record.substr(0, 2)) + " ist unbekannt.");
            return;
        }
        switch (type) {
        case 'A':
            readArticle(splitFields(record, fields_), line);
            return;
        case 'B':
            readExtra(splitFields(record, fields_), line);
            return;
        case 'P':
            readPrices(splitFields(record, fields_), line);
            return;
        case 'V':
            problem(line, where(line) + "zweiter Vorlaufsatz.");
            return;
        default:
            if (kSkippedTypes.find(type) == std::string_view::npos) {
                problem(line,
                        where(line) + "Satzart " + quoted(record.substr(0, 1)) + " ist unbekannt.");
            }
            return;
        }
    }

    void readArticle(const std::vector<std::string_view>& f, std::size_t line) {
        if (f.size() < kArticleFields) {
            problem(line, where(line) + "Artikelsatz hat " + std::to_string(f.size()) + " statt " +
                              std::to_string(kArticleFields) + " Felder.");
            return;
        }
        const std::string_view flag = trimmed(f[1]);
        if (flag != "N" && flag != "A" && flag != "L") {
            problem(line, where(line) + "Verarbeitungskennzeichen " + quoted(f[1]) +
                              (flag == "X" ? " (Artikelnummernänderung) wird nicht unterstützt."
                                           : " ist unbekannt."));
            return;
        }
        Article article;
        article.supplier = list_.supplier;
        article.articleNumber = text(f[2]);
        if (article.articleNumber.empty()) {
            problem(line, where(line) + "Artikelnummer fehlt.");
            return;
        }
        const auto kind = priceKind(f[6]);
        if (!kind) {
            problem(line,
                    where(line) + "Preiskennzeichen " + quoted(f[6]) + " ist nicht 1 oder 2.");
            return;
        }
        const std::string_view unitCode = trimmed(f[7]);
        constexpr std::array<int, 4> kUnits{1, 10, 100, 1000};
        if (unitCode.size() > 1 ||
            (unitCode.size() == 1 && (unitCode[0] < '0' || unitCode[0] > '3'))) {
            problem(line,
                    where(line) + "Preiseinheit " + quoted(f[7]) + " ist nicht 0, 1, 2 oder 3.");
            return;
        }
        const auto price = cents(f[9]);
        if (!price) {
            problem(line, where(line) + "Preis " + quoted(f[9]) + " ist kein Betrag in Cent.");
            return;
        }
        const auto [previous, fresh] = seen_.emplace(article.articleNumber, list_.articles.size());
        if (!fresh) {
            problem(line, where(line) + "Artikelnummer " + quoted(f[2]) + " steht schon in Zeile " +
                              std::to_string(list_.articles[previous->second].line) + ".");
            return;
        }
        article.priceKind = *kind;
        article.priceUnit =
            kUnits[unitCode.empty() ? 0 : static_cast<std::size_t>(unitCode[0] - '0')];
        article.shortText1 = text(f[4]);
        article.shortText2 = text(f[5]);
        article.unit = text(f[8]);
        article.listPrice = *price;
        article.discountGroup = text(f[10]);
        article.mainProductGroup = text(f[11]);
        article.priceDate = list_.date;
        list_.articles.push_back({std::move(article), line, flag == "L"});
    }

    void readExtra(const std::vector<std::string_view>& f, std::size_t line) {
        if (f.size() < kExtraFields) {
            problem(line, where(line) + "Zusatzsatz (B) hat nur " + std::to_string(f.size()) +
                              " Felder.");
            return;
        }
        const auto found = seen_.find(text(f[2]));
        if (found == seen_.end()) {
            problem(line, where(line) + "Zusatzsatz (B) für Artikel " + quoted(f[2]) +
                              ", der in dieser Datei keinen Artikelsatz hat.");
            return;
        }
        if (f.size() > kEanField) {
            const std::string_view ean = trimmed(f[kEanField]);
            if (!ean.empty() && (!isDigits(ean) || ean.size() < 8 || ean.size() > 14)) {
                problem(line,
                        where(line) + "EAN " + quoted(ean) + " ist keine 8- bis 14-stellige Zahl.");
                return;
            }
            list_.articles[found->second].article.ean = std::string(ean);
        }
    }

    void readPrices(const std::vector<std::string_view>& f, std::size_t line) {
        if (f.size() < kPriceBlocks[0] + 3) {
            problem(line,
                    where(line) + "Preissatz (P) hat nur " + std::to_string(f.size()) + " Felder.");
            return;
        }
        for (const std::size_t at : kPriceBlocks) {
            if (f.size() <= at || trimmed(f[at]).empty()) {
                continue;
            }
            if (f.size() < at + 3) {
                problem(line, where(line) + "Preissatz (P) endet mitten im Preisblock.");
                return;
            }
            const auto kind = priceKind(f[at + 1]);
            if (!kind) {
                problem(line, where(line) + "Preiskennzeichen " + quoted(f[at + 1]) +
                                  " ist nicht 1 oder 2.");
                continue;
            }
            const auto price = cents(f[at + 2]);
            if (!price) {
                problem(line,
                        where(line) + "Preis " + quoted(f[at + 2]) + " ist kein Betrag in Cent.");
                continue;
            }
            list_.priceChanges.push_back({text(f[at]), *price, *kind, line});
        }
    }

    std::string_view data_;
    const DatanormOptions& options_;
    PriceList list_;
    std::unordered_map<std::string, std::size_t> seen_;
    std::vector<std::string_view> fields_;
};

} // namespace

PriceList readDatanorm(std::span<const std::byte> bytes, const DatanormOptions& options) {
    return Reader(bytes, options).run();
}

PriceListFormat detectPriceListFormat(std::span<const std::byte> bytes) {
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::size_t end = data.find_first_of("\r\n");
    const std::size_t length = end == std::string_view::npos ? data.size() : end;
    return !data.empty() && data.front() == 'V' && length >= kHeaderLength
               ? PriceListFormat::Datanorm4
               : PriceListFormat::Csv;
}

} // namespace pyrelto
