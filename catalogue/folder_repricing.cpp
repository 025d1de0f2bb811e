#include "folder_repricing.h"

#include "calculation_file.h"
#include "file_message.h"
#include "sheet.h"
#include "sheet_articles.h"
#include "utf16.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <system_error>

namespace pyrelto {

namespace {

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
    result.netBeforeCents = fieldCents(sheet, FieldId::Summe15Ed);
    result.netAfterCents = result.netBeforeCents;
    if (!hasRowArticles(extras.rowArticles)) {
        result.outcome = FileRepricingOutcome::NoArticles;
        return result;
    }

    result.rows = repriceSheet(sheet, extras, catalogue);
    const bool changed = applyRepricing(sheet, result.rows);
    result.netAfterCents = fieldCents(sheet, FieldId::Summe15Ed);
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
                              bool dryRun, const RepricingProgress& progress) {
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
        if (progress && !progress(report.files.size(), names.size())) {
            report.stopped = true;
            return report;
        }
        report.files.push_back(repriceFile(path, catalogue, dryRun));
    }
    if (progress) {
        progress(names.size(), names.size());
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
