#include "csv_price_list.h"

#include "text_encoding.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>

namespace pyrelto {

namespace {

struct CsvRecord {
    std::vector<std::string> fields;
    std::size_t line = 0;
};

// Splits decoded text into records one at a time, never holding more than kMaxLineBytes of a
// record: a longer record is reported and skipped to the end of its line.
class CsvScanner {
public:
    CsvScanner(std::string_view text, char delimiter) : text_(text), delimiter_(delimiter) {}

    // False at the end of the text. A record that could not be read adds a problem and comes
    // back with no fields.
    bool next(CsvRecord& record, std::vector<ImportProblem>& problems) {
        record.fields.clear();
        while (pos_ < text_.size() && isLineEnd(text_[pos_])) {
            skipLineEnd();
        }
        if (pos_ >= text_.size()) {
            return false;
        }
        record.line = line_;
        std::string field;
        std::size_t recordBytes = 0;
        bool quoted = false;
        bool fieldStart = true;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (++recordBytes > kMaxLineBytes) {
                reportProblem(problems, record.line,
                              "Zeile " + std::to_string(record.line) + ": länger als " +
                                  std::to_string(kMaxLineBytes) + " Zeichen, nicht gelesen.");
                skipRestOfLine();
                record.fields.clear();
                return true;
            }
            if (quoted) {
                if (c == '"') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                        field += '"';
                        pos_ += 2;
                        continue;
                    }
                    quoted = false;
                    ++pos_;
                    continue;
                }
                if (c == '\n') {
                    ++line_;
                }
                field += c;
                ++pos_;
                continue;
            }
            if (c == '"' && fieldStart) {
                quoted = true;
                fieldStart = false;
                ++pos_;
                continue;
            }
            if (c == delimiter_) {
                record.fields.push_back(std::move(field));
                field.clear();
                fieldStart = true;
                ++pos_;
                continue;
            }
            if (isLineEnd(c)) {
                skipLineEnd();
                record.fields.push_back(std::move(field));
                return true;
            }
            field += c;
            fieldStart = false;
            ++pos_;
        }
        if (quoted) {
            reportProblem(problems, record.line,
                          "Zeile " + std::to_string(record.line) +
                              ": Anführungszeichen wird bis zum Dateiende nicht geschlossen – "
                              "die Datei ist vermutlich abgeschnitten.");
            record.fields.clear();
            return true;
        }
        record.fields.push_back(std::move(field));
        return true;
    }

private:
    static bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

    void skipLineEnd() {
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
            ++pos_;
        }
        ++pos_;
        ++line_;
    }

    void skipRestOfLine() {
        const std::size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) {
            pos_ = text_.size();
            return;
        }
        pos_ = end;
        skipLineEnd();
    }

    std::string_view text_;
    char delimiter_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

char detectDelimiter(std::string_view text) {
    // Counted on the header line, outside quotes; ";" wins ties as the German default.
    std::array<std::size_t, 3> counts{};
    constexpr std::array<char, 3> candidates{';', ',', '\t'};
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            break;
        } else if (!quoted) {
            for (std::size_t i = 0; i < candidates.size(); ++i) {
                counts[i] += c == candidates[i] ? 1 : 0;
            }
        }
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        if (counts[i] > counts[best]) {
            best = i;
        }
    }
    return candidates[best];
}

// One vote per number that only one style reads as intended: "74,93" or "1.234,5" is German,
// "74.93" or "1,234.5" is English; "1.234" could be either and does not vote.
std::optional<NumberStyle> styleVote(std::string_view text) {
    const std::size_t comma = text.rfind(',');
    const std::size_t dot = text.rfind('.');
    if (comma != std::string_view::npos && dot != std::string_view::npos) {
        return comma > dot ? NumberStyle::German : NumberStyle::English;
    }
    const std::size_t mark = comma != std::string_view::npos ? comma : dot;
    if (mark == std::string_view::npos) {
        return std::nullopt;
    }
    const char c = text[mark];
    const bool once = text.find(c) == mark;
    std::size_t digitsAfter = 0;
    while (mark + 1 + digitsAfter < text.size() && text[mark + 1 + digitsAfter] >= '0' &&
           text[mark + 1 + digitsAfter] <= '9') {
        ++digitsAfter;
    }
    if (!once || digitsAfter == 3) {
        return std::nullopt;
    }
    return c == ',' ? NumberStyle::German : NumberStyle::English;
}

std::string foldHeader(std::string_view name) {
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) {
        name.remove_prefix(1);
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
        name.remove_suffix(1);
    }
    std::string out(name);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string trimmedCopy(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

struct ColumnIndex {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t articleNumber = kNone, text1 = kNone, text2 = kNone, unit = kNone, price = kNone,
                priceUnit = kNone, discountGroup = kNone, coverage = kNone,
                mainProductGroup = kNone, ean = kNone;
};

std::string fieldAt(const CsvRecord& record, std::size_t column) {
    return column < record.fields.size() ? trimmedCopy(record.fields[column]) : std::string();
}

std::string quoted(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string shown(text.substr(0, kShown));
    if (text.size() > kShown) {
        shown += "…";
    }
    return "„" + shown + "“";
}

struct Decoded {
    TextEncoding encoding;
    std::string text;
};

Decoded decode(std::span<const std::byte> bytes, const std::optional<TextEncoding>& forced) {
    const TextEncoding encoding = forced ? *forced : detectEncoding(bytes);
    return {encoding, decodeToUtf8(bytes, encoding)};
}

NumberStyle detectStyle(std::string_view text, char delimiter) {
    // Every field of the first records votes; prices and coverages decide, texts rarely look like
    // numbers.
    CsvScanner scanner(text, delimiter);
    std::vector<ImportProblem> ignored;
    CsvRecord record;
    std::size_t german = 0;
    std::size_t english = 0;
    for (std::size_t n = 0; n < 2000 && scanner.next(record, ignored); ++n) {
        if (n == 0) {
            continue;
        }
        for (const std::string& field : record.fields) {
            const std::string value = trimmedCopy(field);
            if (value.empty() || value.find_first_not_of("0123456789.,-+") != std::string::npos) {
                continue;
            }
            if (const auto vote = styleVote(value)) {
                (*vote == NumberStyle::German ? german : english) += 1;
            }
        }
    }
    return english > german ? NumberStyle::English : NumberStyle::German;
}

} // namespace

std::optional<CsvColumns> parseCsvColumns(std::string_view mapping, std::string& error) {
    CsvColumns columns;
    while (!mapping.empty()) {
        const std::size_t end = std::min(mapping.find(';'), mapping.size());
        const std::string_view pair = mapping.substr(0, end);
        mapping.remove_prefix(std::min(end + 1, mapping.size()));
        if (pair.empty()) {
            continue;
        }
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            error = "Spaltenzuordnung " + quoted(pair) + " hat kein „=“.";
            return std::nullopt;
        }
        const std::string field = foldHeader(pair.substr(0, equals));
        const auto match =
            std::find_if(kCsvColumnFields.begin(), kCsvColumnFields.end(),
                         [&](const auto& entry) { return foldHeader(entry.first) == field; });
        if (match == kCsvColumnFields.end()) {
            error =
                "Unbekanntes Feld " + quoted(pair.substr(0, equals)) + " in der Spaltenzuordnung.";
            return std::nullopt;
        }
        columns.*(match->second) = trimmedCopy(pair.substr(equals + 1));
    }
    return columns;
}

CsvPreview previewCsv(std::span<const std::byte> bytes, std::size_t maxRecords,
                      std::optional<TextEncoding> encoding, std::optional<char> delimiter) {
    CsvPreview preview;
    const Decoded decoded =
        decode(bytes.first(std::min(bytes.size(), kMaxPriceListBytes)), encoding);
    preview.encoding = decoded.encoding;
    preview.delimiter = delimiter ? *delimiter : detectDelimiter(decoded.text);
    preview.numberStyle = detectStyle(decoded.text, preview.delimiter);
    CsvScanner scanner(decoded.text, preview.delimiter);
    std::vector<ImportProblem> ignored;
    CsvRecord record;
    while (preview.records.size() < maxRecords && scanner.next(record, ignored)) {
        preview.records.push_back(record.fields);
    }
    return preview;
}

std::optional<std::size_t> findCsvColumn(std::span<const std::string> header,
                                         std::string_view name) {
    const std::string wanted = foldHeader(name);
    if (wanted.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (foldHeader(header[i]) == wanted) {
            return i;
        }
    }
    return std::nullopt;
}

bool csvColumnsFit(const CsvColumns& columns, std::span<const std::string> header) {
    return std::all_of(kCsvColumnFields.begin(), kCsvColumnFields.end(), [&](const auto& field) {
        const std::string& name = columns.*(field.second);
        return name.empty() || findCsvColumn(header, name).has_value();
    });
}

std::vector<std::string_view> missingRequiredCsvFields(const CsvColumns& columns) {
    std::vector<std::string_view> missing;
    for (const auto& [name, member] : kCsvColumnFields) {
        const bool required = member == &CsvColumns::articleNumber || member == &CsvColumns::price;
        if (required && trimmedCopy(columns.*member).empty()) {
            missing.push_back(name);
        }
    }
    return missing;
}

PriceList readCsvPriceList(std::span<const std::byte> bytes, const CsvOptions& options) {
    PriceList list;
    list.format = PriceListFormat::Csv;
    list.supplier = options.supplier;
    list.date = options.priceDate;
    if (bytes.size() > kMaxPriceListBytes) {
        reportProblem(list.problems, 0,
                      "Die Datei ist größer als " + std::to_string(kMaxPriceListBytes >> 20) +
                          " MiB und wird nicht gelesen.");
        return list;
    }
    const Decoded decoded = decode(bytes, options.encoding);
    list.encoding = decoded.encoding;
    const std::string_view text = decoded.text;
    list.delimiter = options.delimiter ? *options.delimiter : detectDelimiter(text);
    const NumberStyle style =
        options.numberStyle ? *options.numberStyle : detectStyle(text, list.delimiter);

    CsvScanner scanner(text, list.delimiter);
    CsvRecord record;
    if (!scanner.next(record, list.problems) || record.fields.empty()) {
        if (list.problems.empty()) {
            reportProblem(list.problems, 0, "Die Datei enthält keine Kopfzeile.");
        }
        return list;
    }
    ColumnIndex index;
    const std::size_t headerLine = record.line;
    const auto locate = [&](const std::string& name, std::size_t& column, bool required) {
        if (name.empty()) {
            return;
        }
        if (const auto found = findCsvColumn(record.fields, name)) {
            column = *found;
            return;
        }
        if (required) {
            reportProblem(list.problems, headerLine,
                          "Zeile " + std::to_string(headerLine) + ": Spalte " + quoted(name) +
                              " fehlt in der Kopfzeile.");
        }
    };
    const CsvColumns& c = options.columns;
    locate(c.articleNumber, index.articleNumber, true);
    locate(c.price, index.price, true);
    locate(c.text1, index.text1, false);
    locate(c.text2, index.text2, false);
    locate(c.unit, index.unit, false);
    locate(c.priceUnit, index.priceUnit, false);
    locate(c.discountGroup, index.discountGroup, false);
    locate(c.coverage, index.coverage, false);
    locate(c.mainProductGroup, index.mainProductGroup, false);
    locate(c.ean, index.ean, false);
    if (index.articleNumber == ColumnIndex::kNone || index.price == ColumnIndex::kNone) {
        return list;
    }
    const std::size_t needed = std::max(index.articleNumber, index.price) + 1;

    std::unordered_map<std::string, std::size_t> firstLine;
    while (scanner.next(record, list.problems)) {
        if (record.fields.empty()) {
            continue; // already reported
        }
        const std::string where = "Zeile " + std::to_string(record.line) + ": ";
        if (record.fields.size() < needed) {
            reportProblem(list.problems, record.line,
                          where + "nur " + std::to_string(record.fields.size()) +
                              " Spalten, Artikelnummer und Preis brauchen " +
                              std::to_string(needed) + ".");
            continue;
        }
        Article article;
        article.supplier = options.supplier;
        article.articleNumber = fieldAt(record, index.articleNumber);
        if (article.articleNumber.empty()) {
            reportProblem(list.problems, record.line, where + "Artikelnummer fehlt.");
            continue;
        }
        const auto [previous, fresh] = firstLine.emplace(article.articleNumber, record.line);
        if (!fresh) {
            reportProblem(list.problems, record.line,
                          where + "Artikelnummer " + quoted(article.articleNumber) +
                              " steht schon in Zeile " + std::to_string(previous->second) + ".");
            continue;
        }
        const std::string priceText = fieldAt(record, index.price);
        const auto price = parseDecimal(priceText, style);
        if (!price || price->units < 0) {
            reportProblem(list.problems, record.line,
                          where + "Preis " + quoted(priceText) + " ist kein gültiger Betrag.");
            continue;
        }
        article.listPrice = *price;
        const std::string unitText = fieldAt(record, index.priceUnit);
        if (!unitText.empty()) {
            if (unitText != "1" && unitText != "10" && unitText != "100" && unitText != "1000") {
                reportProblem(list.problems, record.line,
                              where + "Preiseinheit " + quoted(unitText) +
                                  " ist nicht 1, 10, 100 oder 1000.");
                continue;
            }
            article.priceUnit = std::stoi(unitText);
        }
        const std::string coverageText = fieldAt(record, index.coverage);
        if (!coverageText.empty()) {
            const auto coverage = parseDecimal(coverageText, style);
            if (!coverage || coverage->units <= 0) {
                reportProblem(list.problems, record.line,
                              where + "Fläche je Einheit " + quoted(coverageText) +
                                  " ist keine positive Zahl.");
                continue;
            }
            article.coverage = *coverage;
        }
        article.shortText1 = fieldAt(record, index.text1);
        article.shortText2 = fieldAt(record, index.text2);
        article.unit = fieldAt(record, index.unit);
        article.discountGroup = fieldAt(record, index.discountGroup);
        article.mainProductGroup = fieldAt(record, index.mainProductGroup);
        article.ean = fieldAt(record, index.ean);
        article.priceDate = options.priceDate;
        list.articles.push_back({std::move(article), record.line, false});
    }
    return list;
}

} // namespace pyrelto
