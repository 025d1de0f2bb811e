#include "folder_repricing.h"

#include "calculation_file.h"
#include "file_message.h"
#include "sheet.h"
#include "utf16.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <system_error>

namespace pyrelto {

namespace {

struct RowFields {
    FieldId description;
    FieldId price;
};

// The rows of the article chunk, in its order: M1-M5 by their list price, S1-S5 by their price.
constexpr std::array<RowFields, kArticleRowCount> kRowFields{{
    {FieldId::Bez1Ed, FieldId::List1Ed},
    {FieldId::Bez2Ed, FieldId::List2Ed},
    {FieldId::Bez3Ed, FieldId::List3Ed},
    {FieldId::Bez4Ed, FieldId::List4Ed},
    {FieldId::Bez5Ed, FieldId::List5Ed},
    {FieldId::Bez8Ed, FieldId::Ek8Ed},
    {FieldId::Bez8Ed2, FieldId::Ek8Ed2},
    {FieldId::Bez8Ed3, FieldId::Ek8Ed3},
    {FieldId::Bez8Ed4, FieldId::Ek8Ed4},
    {FieldId::Bez8Ed5, FieldId::Ek8Ed5},
}};
static_assert(kArticleRowCount == kRowSlotCount);

// A field's value in cents; beyond the range of cents (a file may hold any double) it is pinned
// to the nearest end, which no catalogue price equals.
std::int64_t cents(const Sheet& sheet, FieldId id) {
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

// Names in UTF-8 and UTF-16 as the file layer and the report take them; on Windows the narrow
// string() would go through the ANSI code page.
std::string utf8Name(const std::filesystem::path& path) {
#ifdef _WIN32
    return toUtf8(path.u16string());
#else
    return path.string();
#endif
}

std::u16string utf16Name(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.u16string();
#else
    return fromUtf8(path.string());
#endif
}

// "1234,56" with the sheet's separator, as a user would type it.
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

FileRepricing repriceFile(const std::filesystem::path& path, const Catalogue& catalogue,
                          bool dryRun) {
    FileRepricing result;
    result.file = path;
    const std::u16string name = utf16Name(path);
    // As the program opens a file: after its start-up ran the count rules.
    Sheet sheet;
    sheet.runCountRules();
    CalculationExtras extras;
    try {
        extras = openfile(sheet, name);
    } catch (const IoError& e) {
        result.outcome = FileRepricingOutcome::Damaged;
        result.problem = e.what();
        return result;
    } catch (const FileMessage& e) {
        result.outcome = FileRepricingOutcome::Damaged;
        result.problem = e.what();
        return result;
    }
    if (extras.hasUnreadData()) {
        // Writing the file again would drop what could not be read.
        result.outcome = FileRepricingOutcome::Damaged;
        result.problem = extras.warning;
        return result;
    }
    result.netBeforeCents = cents(sheet, FieldId::Summe15Ed);
    result.netAfterCents = result.netBeforeCents;
    if (!hasRowArticles(extras.rowArticles)) {
        result.outcome = FileRepricingOutcome::NoArticles;
        return result;
    }

    bool changed = false;
    for (std::size_t i = 0; i < kArticleRowCount; ++i) {
        const auto& reference = extras.rowArticles[i];
        if (!reference) {
            continue;
        }
        const auto slot = static_cast<RowSlot>(i);
        const RowFields fields = kRowFields[i];
        const ArticleRow row{slot, toUtf8(reference->supplier), toUtf8(reference->articleNumber),
                             cents(sheet, fields.price)};
        if (descriptionChecksum(sheet.text(fields.description).text()) !=
            reference->descriptionCrc) {
            result.rows.push_back({slot, row.articleNumber, row.priceCents, std::nullopt,
                                   RepriceStatus::RowEdited, row.supplier});
            continue;
        }
        RepricedRow repriced = repriceRows(std::span(&row, 1), catalogue).front();
        if (repriced.status == RepriceStatus::Changed) {
            // Typed into the field, so that the row's and the sheet's sums follow as they would
            // for a user.
            sheet.enter(fields.price,
                        centsText(*repriced.newCents, sheet.numberFormat().decimalSeparator));
            changed = true;
        }
        result.rows.push_back(std::move(repriced));
    }
    result.netAfterCents = cents(sheet, FieldId::Summe15Ed);
    if (!changed) {
        result.outcome = FileRepricingOutcome::Unchanged;
        return result;
    }
    result.outcome = FileRepricingOutcome::Repriced;
    if (dryRun) {
        return result;
    }
    try {
        savefile(sheet, name, extras, name + u".bak");
    } catch (const IoError& e) {
        result.outcome = FileRepricingOutcome::NotWritten;
        result.problem = e.what();
    } catch (const FileMessage& e) {
        result.outcome = FileRepricingOutcome::NotWritten;
        result.problem = e.what();
    }
    return result;
}

bool isCalculationFile(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return extension == ".kal";
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(";\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

std::string centsField(std::optional<std::int64_t> value) {
    return value ? toUtf8(centsText(*value, u',')) : std::string();
}

} // namespace

std::string_view fileRepricingOutcomeText(FileRepricingOutcome outcome) {
    switch (outcome) {
    case FileRepricingOutcome::Repriced:
        return "neue Preise";
    case FileRepricingOutcome::Unchanged:
        return "unverändert";
    case FileRepricingOutcome::NoArticles:
        return "keine Artikelnummern";
    case FileRepricingOutcome::Damaged:
        return "beschädigt";
    case FileRepricingOutcome::NotWritten:
        return "nicht geschrieben";
    }
    return "?";
}

FolderRepricing repriceFolder(const std::filesystem::path& folder, const Catalogue& catalogue,
                              bool dryRun) {
    FolderRepricing report;
    report.dryRun = dryRun;
    std::vector<std::filesystem::path> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (isCalculationFile(it->path()) && !it->is_directory(typeError)) {
            names.push_back(it->path());
        }
    }
    if (error) {
        report.problem =
            "Der Ordner „" + utf8Name(folder) + "“ kann nicht gelesen werden: " + error.message();
        return report;
    }
    std::sort(names.begin(), names.end());
    report.files.reserve(names.size());
    for (const auto& path : names) {
        report.files.push_back(repriceFile(path, catalogue, dryRun));
    }
    return report;
}

std::string repricingCsv(const FolderRepricing& report) {
    std::string csv = "\xEF\xBB\xBF";
    // Fields already quoted where they need it.
    const auto line = [&csv](std::initializer_list<std::string_view> fields) {
        bool first = true;
        for (const std::string_view field : fields) {
            if (!first) {
                csv += ';';
            }
            csv += field;
            first = false;
        }
        csv += "\r\n";
    };
    line({"Datei", "Zeile", "Lieferant", "Artikelnummer", "Status", "Preis alt", "Preis neu",
          "Endsumme netto vorher", "Endsumme netto nachher", "Hinweis"});
    for (const FileRepricing& file : report.files) {
        const std::string name = csvField(utf8Name(file.file.filename()));
        const bool damaged = file.outcome == FileRepricingOutcome::Damaged;
        const std::string before = damaged ? std::string() : centsField(file.netBeforeCents);
        const std::string after = damaged ? std::string() : centsField(file.netAfterCents);
        const std::string note =
            csvField(file.outcome == FileRepricingOutcome::Repriced && report.dryRun
                         ? "Probelauf: nicht geschrieben"
                         : file.problem);
        if (file.rows.empty() || file.outcome == FileRepricingOutcome::NotWritten) {
            line({name, "", "", "", fileRepricingOutcomeText(file.outcome), "", "", before, after,
                  note});
        }
        for (const RepricedRow& row : file.rows) {
            line({name, rowSlotName(row.slot), csvField(row.supplier), csvField(row.articleNumber),
                  repriceStatusText(row.status), centsField(row.oldCents), centsField(row.newCents),
                  before, after, note});
        }
    }
    return csv;
}

} // namespace pyrelto
