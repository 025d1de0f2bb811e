#include "cli.h"

#include "calculation_file.h"
#include "customer_file.h"
#include "decimal_text.h"
#include "sheet.h"
#include "takeoff_json.h"
#include "utf16.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

#ifdef PYRELTO_STORE
#include "folder_repricing.h"
#include "price_list_file.h"
#include "sheet_articles.h"
#include "store.h"

#include <chrono>
#endif

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace pyrelto {

namespace {

#ifdef PYRELTO_STORE
constexpr bool kWithStore = true;
#else
constexpr bool kWithStore = false;
#endif

// One step, checked before anything runs so that a malformed command line prints nothing.
struct Step {
    std::function<void(CliContext&, std::ostream&)> run;
};

std::string usage(std::span<const CliFileStep> extraSteps) {
    std::string text = "usage: pyrelto-cli [--separator=C] ";
    if (kWithStore)
        text += "[--store URI] ";
    text += "[NAME=TEXT | --open FILE | --save FILE | --takeoff FILE";
    if (kWithStore)
        text += " | --offers | --import-prices FILE [--supplier NAME] [--columns MAPPING]"
                " | --pick ROW=ARTICLE | --reprice FOLDER [--dry-run]";
    for (const auto& step : extraSteps)
        text += " | " + step.option + " FILE";
    text += "]...";
    if (std::any_of(extraSteps.begin(), extraSteps.end(),
                    [](const CliFileStep& step) { return step.option == "--offer"; }))
        text += "\n  before --offer: [--tax-case normal|13b|19] [--private] [--site TEXT] "
                "[--period nach-vereinbarung|YYYY-MM-DD..YYYY-MM-DD] [--instalments 30,40] "
                "[--signature-line] [--acceptance-slip]";
    for (const auto& step : extraSteps)
        for (const auto& option : step.valueOptions)
            text += " [" + option + " VALUE]";
    return text;
}

// Appends `text` broken into lines of at most 79 columns, each starting with `indent` spaces.
void appendWrapped(std::string& out, std::string_view text, std::size_t indent) {
    constexpr std::size_t kWidth = 79;
    // Columns counted in characters, not bytes (the text is UTF-8).
    const auto columns = [](std::string_view s) {
        return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    };
    std::size_t column = 0;
    while (!text.empty()) {
        const auto space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (column > indent && column + 1 + columns(word) > kWidth) {
            out += '\n';
            column = 0;
        }
        if (column == 0) {
            out.append(indent, ' ');
            column = indent;
        } else {
            out += ' ';
            ++column;
        }
        out += word;
        column += columns(word);
    }
    out += '\n';
}

// One entry of the help: the step or option as typed, then what it does, indented below.
void appendEntry(std::string& out, std::string_view syntax, std::string_view text) {
    out += "  ";
    out += syntax;
    out += '\n';
    appendWrapped(out, text, 6);
}

// --help: every step and option this build reads, in German.
std::string help(std::span<const CliFileStep> extraSteps) {
    const bool withOffer =
        std::any_of(extraSteps.begin(), extraSteps.end(),
                    [](const CliFileStep& step) { return step.option == "--offer"; });
    std::string text = "Aufruf: pyrelto-cli [--separator=Z] ";
    if (kWithStore)
        text += "[--store DATENBANK] ";
    text += "[SCHRITT]...\n       pyrelto-cli --help\n\n";
    appendWrapped(text,
                  "Rechnet eine Kalkulation von Pyrelto Kalkulation ohne Fenster und gibt das "
                  "ganze Blatt als JSON auf der Standardausgabe aus. Das Blatt beginnt wie beim "
                  "Programmstart; die Schritte laufen von links nach rechts.",
                  0);
    text += "\nSchritte:\n";
    appendEntry(text, "NAME=TEXT",
                "Ersetzt den ganzen Text des Feldes NAME (z. B. Dach14Ed=24) in einer Eingabe "
                "und verlässt das Feld; die Regeln rechnen wie im Programm.");
    appendEntry(text, "--open DATEI", "Öffnet eine Kalkulationsdatei (.kal).");
    appendEntry(text, "--save DATEI", "Speichert das Blatt als Kalkulationsdatei (.kal).");
    appendEntry(text, "--takeoff DATEI",
                "Liest ein Aufmaß aus einer JSON-Datei, rechnet es und trägt seine Nettofläche "
                "in Dach14Ed ein; ein folgendes --save speichert es mit.");
    if (kWithStore) {
        appendEntry(text, "--offers",
                    "Listet das Angebotsbuch der Datenbank, neueste zuerst, unter \"offers\".");
        appendEntry(text, "--import-prices DATEI [--supplier NAME] [--columns ZUORDNUNG]",
                    "Übernimmt eine Preisliste (CSV oder DATANORM 4) in den Katalog der "
                    "Datenbank, nur wenn jede Zeile gelesen wurde. --supplier nennt den "
                    "Lieferanten einer CSV-Liste, --columns \"Artikelnummer=ArtNr;Preis=VK\" "
                    "andere Spaltenköpfe (für den Lieferanten gemerkt).");
        appendEntry(text, "--pick ZEILE=ARTIKEL",
                    "Füllt die Zeile M1 bis M5 (Material) oder S1 bis S5 (Stück) mit einem "
                    "Artikel des Katalogs; LIEFERANT:NUMMER, wenn mehrere Lieferanten die Nummer "
                    "führen.");
        appendEntry(text, "--reprice ORDNER [--dry-run]",
                    "Gibt jeder Kalkulation im ORDNER, deren Zeilen aus dem Katalog stammen, die "
                    "aktuellen Preise (die alte Fassung bleibt als NAME.kal.bak); mit --dry-run "
                    "wird nichts geschrieben.");
    }
    for (const auto& step : extraSteps) {
        appendEntry(text, step.option + " DATEI",
                    step.help.empty() ? std::string("Ein Schritt dieses Programms.") : step.help);
    }
    if (withOffer) {
        text += "\nAngebotsoptionen (gelten für die folgenden --offer):\n";
        appendEntry(text, "--tax-case normal|13b|19",
                    "Steuerfall: normal, § 13b UStG (Steuerschuld des Empfängers) oder § 19 UStG "
                    "(Kleinunternehmer).");
        appendEntry(text, "--private", "Privatkunde: der Lohnanteil nach § 35a EStG wird genannt.");
        appendEntry(text, "--site TEXT", "Die Baustelle.");
        appendEntry(text, "--period nach-vereinbarung|JJJJ-MM-TT..JJJJ-MM-TT",
                    "Ausführungszeitraum; eine Seite darf fehlen (2027-03-01..).");
        appendEntry(text, "--instalments 30,40", "Abschlagszahlungen in ganzen Prozent.");
        appendEntry(text, "--signature-line", "Eine Unterschriftszeile.");
        appendEntry(text, "--acceptance-slip", "Ein Auftragsbestätigungsabschnitt.");
    }
    text += "\nOptionen:\n";
    appendEntry(text, "--separator=Z",
                "Das Dezimaltrennzeichen; sonst das der Spracheinstellung aus LC_ALL, "
                "LC_NUMERIC oder LANG.");
    if (kWithStore)
        appendEntry(text, "--store DATENBANK",
                    "Die Datenbank: eine SQLite-Datei oder eine PostgreSQL-Verbindung "
                    "(\"host=buero dbname=pyrelto user=ida\", \"postgresql://buero/pyrelto\"). "
                    "Sonst die des Programms. Nur Schritte, die sie brauchen, öffnen sie.");
    appendEntry(text, "--help", "Zeigt diese Hilfe.");
    text += "\nRückgabewert:\n";
    appendEntry(text, "0", "Alle Schritte liefen.");
    appendEntry(text, "1",
                "Ein Schritt schlug fehl (Meldung auf der Fehlerausgabe); die übrigen liefen, das "
                "JSON wurde ausgegeben.");
    appendEntry(text, "2",
                "Die Befehlszeile ist fehlerhaft oder nennt ein unbekanntes Feld; nichts wurde "
                "ausgegeben.");
    text += "\nMehr in der Handbuchseite pyrelto-cli(1).\n";
    return text;
}

// "normal", "13b", "19".
std::optional<TaxCase> taxCaseArg(std::string_view value) {
    if (value == "normal")
        return TaxCase::Normal;
    if (value == "13b")
        return TaxCase::ReverseCharge;
    if (value == "19")
        return TaxCase::SmallBusiness;
    return std::nullopt;
}

// "nach-vereinbarung", "FROM..UNTIL", "FROM.." or "..UNTIL" with ISO dates.
std::optional<ExecutionPeriod> periodArg(const std::string& value) {
    ExecutionPeriod period;
    if (value == "nach-vereinbarung") {
        period.byArrangement = true;
        return period;
    }
    const auto dots = value.find("..");
    if (dots == std::string::npos || value == "..")
        return std::nullopt;
    const std::string from = value.substr(0, dots);
    const std::string until = value.substr(dots + 2);
    if (!from.empty()) {
        const auto date = parseIsoDate(from);
        if (!date)
            return std::nullopt;
        period.from = *date;
    }
    if (!until.empty()) {
        const auto date = parseIsoDate(until);
        if (!date)
            return std::nullopt;
        period.until = *date;
    }
    if (period.from.isSet() && period.until.isSet() && period.until < period.from)
        return std::nullopt;
    return period;
}

// An offer option of the command line: an error message for a malformed one (the line is then
// refused), else the step that sets it; nothing when `arg` is no offer option.
struct OfferOption {
    std::string error;
    std::function<void(CliOfferOptions&)> set;
};
std::optional<OfferOption> offerOption(std::span<const std::string> args, std::size_t& i) {
    const std::string& arg = args[i];
    using Set = std::function<void(CliOfferOptions&)>;
    if (arg == "--private")
        return OfferOption{{}, Set([](CliOfferOptions& o) { o.privateCustomer = true; })};
    if (arg == "--signature-line")
        return OfferOption{{}, Set([](CliOfferOptions& o) { o.signatureLine = true; })};
    if (arg == "--acceptance-slip")
        return OfferOption{{}, Set([](CliOfferOptions& o) { o.acceptanceSlip = true; })};
    if (arg != "--tax-case" && arg != "--site" && arg != "--period" && arg != "--instalments")
        return std::nullopt;
    if (i + 1 >= args.size())
        return OfferOption{arg + " needs a value", {}};
    const std::string& value = args[++i];
    if (arg == "--tax-case") {
        const auto taxCase = taxCaseArg(value);
        if (!taxCase)
            return OfferOption{"--tax-case takes normal, 13b or 19", {}};
        return OfferOption{{}, Set([t = *taxCase](CliOfferOptions& o) { o.taxCase = t; })};
    }
    if (arg == "--site")
        return OfferOption{{},
                           Set([site = fromUtf8(value)](CliOfferOptions& o) { o.site = site; })};
    if (arg == "--period") {
        const auto period = periodArg(value);
        if (!period)
            return OfferOption{"--period takes nach-vereinbarung or YYYY-MM-DD..YYYY-MM-DD (one "
                               "side may be left out; the end not before the start)",
                               {}};
        return OfferOption{{}, Set([p = *period](CliOfferOptions& o) { o.period = p; })};
    }
    const auto instalments = parseInstalments(fromUtf8(value));
    if (!instalments || !instalmentsProblem(*instalments).empty())
        return OfferOption{"--instalments takes whole percents such as 30,40 (together at most "
                           "100)",
                           {}};
    return OfferOption{{},
                       Set([list = *instalments](CliOfferOptions& o) { o.instalments = list; })};
}

std::optional<char16_t> separatorArg(std::string_view value) {
    const std::u16string s = fromUtf8(value);
    if (s.size() != 1 || (s[0] >= u'0' && s[0] <= u'9') || s[0] == u'+' || s[0] == u'-' ||
        s[0] == u'e' || s[0] == u'E' || s[0] == u' ') {
        return std::nullopt;
    }
    return s[0];
}

// A take-off file larger than this is no hand-written roof.
constexpr std::uintmax_t kMaxTakeOffJsonBytes = std::uintmax_t{16} * 1024 * 1024;

// The take-off of a JSON file, computed; only a sound one gets into the sheet, as its net area
// typed into the roof area field, and is kept for a following --save.
void runTakeOff(Sheet& sheet, CalculationExtras& extras, const std::u16string& name) {
    const std::filesystem::path path(name);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    std::ifstream in(path, std::ios::binary);
    if (error || !in) {
        throw std::runtime_error(toUtf8(name) + ": " + "Konnte die Datei nicht öffnen.");
    }
    if (size > kMaxTakeOffJsonBytes) {
        throw std::runtime_error(toUtf8(name) + ": die Datei ist zu groß für ein Aufmaß.");
    }
    const nlohmann::json json = nlohmann::json::parse(in, nullptr, false);
    if (json.is_discarded()) {
        throw std::runtime_error(toUtf8(name) + ": kein gültiges JSON.");
    }
    TakeOff takeOff = takeOffFromJson(json);
    const TakeOffResult result = computeTakeOff(takeOff);
    if (!result.totals) {
        std::string text = toUtf8(name) + ": das Aufmaß hat Fehler, die Fläche bleibt unverändert:";
        for (const std::string& message : result.messages()) {
            text += "\n  " + message;
        }
        throw std::runtime_error(text);
    }
    sheet.enter(FieldId::Dach14Ed,
                formatHundredths(result.totals->net, sheet.numberFormat().decimalSeparator));
    extras.takeOff = std::move(takeOff);
}

nlohmann::ordered_json sheetJson(const Sheet& sheet) {
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
    for (const auto& f : fieldCatalogue()) {
        fields[std::string(f.name)] = toUtf8(sheet.shownText(f.id));
    }
    nlohmann::ordered_json shown = nlohmann::ordered_json::object();
    for (const auto& r : rowCatalogue()) {
        if (r.governedBy) {
            shown[std::string(r.container)] = sheet.shown(r.id);
        }
    }
    nlohmann::ordered_json out;
    out["fields"] = std::move(fields);
    out["shown"] = std::move(shown);
    return out;
}

} // namespace

void CliOfferOptions::applyTo(OfferChoices& choices) const {
    choices.taxCase = taxCase;
    choices.privateCustomer = privateCustomer;
    choices.site = site;
    choices.period = period;
    choices.instalments = instalments;
    choices.signatureLine = signatureLine;
    choices.acceptanceSlip = acceptanceSlip;
}

namespace {

// Function-local, so that a registration from another file's static object finds them built.
struct Registry {
    std::vector<CliFileStep> steps;
    std::vector<std::function<void()>> releases;
    CliStoreAccess storeAccess;
};
Registry& registry() {
    static Registry instance;
    return instance;
}

} // namespace

bool registerCliSteps(std::vector<CliFileStep> steps, std::function<void()> release) {
    Registry& r = registry();
    for (CliFileStep& step : steps)
        r.steps.push_back(std::move(step));
    if (release)
        r.releases.push_back(std::move(release));
    return true;
}

std::span<const CliFileStep> registeredCliSteps() {
    return registry().steps;
}

void releaseCliSteps() {
    for (const auto& release : registry().releases)
        release();
}

bool registerCliStoreAccess(CliStoreAccess access) {
    registry().storeAccess = std::move(access);
    return true;
}

namespace {

#ifdef PYRELTO_STORE
// The store of one run: the one --store names or the default, opened on first use.
class RunStore {
public:
    RunStore(std::optional<std::string> uri, std::ostream& warn)
        : named_(std::move(uri)), warn_(warn) {}

    std::string uri() const {
        if (named_)
            return *named_;
        if (const auto& access = registry().storeAccess; access.defaultUri)
            return access.defaultUri();
        return toUtf8(GetProgramDir(false)) + "pyrelto.db";
    }

    Store& open() {
        if (!store_) {
            const auto& access = registry().storeAccess;
            // The engines come with the registration, so that a run without a database step
            // does not load their libraries (libpq brings a long chain of its own).
            if (!access.open)
                throw std::runtime_error("Dieses Programm kann keine Datenbank öffnen.");
            store_ = access.open(uri(), warn_);
        }
        return *store_;
    }

    // An SQLite file that is not there holds no register; listing it creates nothing. A file
    // named on the command line must be there, so that a typing error is no empty register.
    bool holdsNothing() const {
        if (store_)
            return false;
        std::string name = uri();
        if (isPostgresUri(name))
            return false;
        if (name.starts_with("sqlite:"))
            name.erase(0, 7);
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::path(fromUtf8(name)), error) || error)
            return false;
        if (named_)
            throw StoreError(StoreError::Kind::Unreachable,
                             "Die Datenbank „" + name + "“ gibt es nicht.");
        return true;
    }

private:
    std::optional<std::string> named_;
    std::ostream& warn_;
    std::unique_ptr<Store> store_;
};

nlohmann::ordered_json offersJson(RunStore& store) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    if (store.holdsNothing())
        return list;
    for (const OfferSummary& offer : store.open().offers()) {
        nlohmann::ordered_json entry;
        entry["number"] = offer.number;
        entry["date"] = offer.date;
        entry["customer"] = offer.customer;
        entry["grossCents"] = offer.grossCents;
        entry["status"] = offerStatusText(offer.status);
        entry["pdfWritten"] = offer.pdfWritten;
        list.push_back(std::move(entry));
    }
    return list;
}

CalendarDate today() {
    const std::chrono::year_month_day date(
        std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()));
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day()))};
}

const char* formatName(PriceListFormat format) {
    return format == PriceListFormat::Datanorm4 ? "DATANORM 4" : "CSV";
}

std::string delimiterName(char delimiter) {
    return delimiter == '\t' ? "Tab" : std::string(1, delimiter);
}

struct ImportRequest {
    std::string file;
    std::string supplier;
    std::optional<CsvColumns> columns; // --columns, else the one remembered for the supplier
};

// Reads the list and applies it only when nothing was left unread: a list imported in part
// would leave the catalogue with prices of two dates. The summary goes to `imports` either way.
void importPrices(Store& store, const ImportRequest& request, nlohmann::ordered_json& imports) {
    CsvOptions options;
    options.supplier = request.supplier;
    options.priceDate = today();
    if (request.columns) {
        options.columns = *request.columns;
    } else if (!request.supplier.empty()) {
        if (auto remembered = store.csvColumns(request.supplier))
            options.columns = std::move(*remembered);
    }
    const PriceList list =
        readPriceListFile(std::filesystem::path(fromUtf8(request.file)), options);
    nlohmann::ordered_json json;
    json["file"] = request.file;
    json["format"] = formatName(list.format);
    if (list.format == PriceListFormat::Csv) {
        json["encoding"] = encodingName(list.encoding);
        json["delimiter"] = delimiterName(list.delimiter);
    }
    json["supplier"] = list.supplier;
    json["priceDate"] = list.date.iso();
    const ImportPlan plan = store.planImport(list);
    json["added"] = plan.added.size();
    json["changed"] = plan.changed.size();
    json["withdrawn"] = plan.withdrawn.size();
    json["unchanged"] = plan.unchanged;
    nlohmann::ordered_json problems = nlohmann::ordered_json::array();
    for (const ImportProblem& problem : plan.problems) {
        problems.push_back({{"line", problem.line}, {"reason", problem.reason}});
    }
    json["problems"] = std::move(problems);
    json["applied"] = false;
    imports.push_back(json);
    if (list.supplier.empty()) {
        throw std::runtime_error(request.file + ": die Preisliste wurde nicht übernommen, sie "
                                                "nennt keinen Lieferanten (--supplier NAME).");
    }
    if (!plan.applicable()) {
        throw std::runtime_error(request.file + ": die Preisliste wurde nicht übernommen, " +
                                 std::to_string(plan.problems.size()) +
                                 " Zeile(n) konnten nicht gelesen werden (siehe \"problems\").");
    }
    store.applyImport(plan);
    imports.back()["applied"] = true;
    if (request.columns && list.format == PriceListFormat::Csv)
        store.setCsvColumns(list.supplier, *request.columns);
}

nlohmann::ordered_json repricingJson(const FolderRepricing& report) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const FileRepricing& file : report.files) {
        nlohmann::ordered_json rows = nlohmann::ordered_json::array();
        for (const RepricedRow& row : file.rows) {
            nlohmann::ordered_json entry;
            entry["row"] = rowSlotName(row.slot);
            entry["supplier"] = row.supplier;
            entry["articleNumber"] = row.articleNumber;
            entry["status"] = repriceStatusText(row.status);
            entry["oldCents"] = row.oldCents;
            entry["newCents"] = row.newCents ? nlohmann::ordered_json(*row.newCents) : nullptr;
            rows.push_back(std::move(entry));
        }
        nlohmann::ordered_json entry;
#ifdef _WIN32
        entry["file"] = toUtf8(file.file.filename().u16string());
#else
        entry["file"] = file.file.filename().string();
#endif
        entry["outcome"] = fileRepricingOutcomeText(file.outcome);
        entry["netBeforeCents"] = file.netBeforeCents;
        entry["netAfterCents"] = file.netAfterCents;
        if (!file.problem.empty())
            entry["problem"] = file.problem;
        entry["rows"] = std::move(rows);
        files.push_back(std::move(entry));
    }
    nlohmann::ordered_json json;
    json["dryRun"] = report.dryRun;
    json["files"] = std::move(files);
    return json;
}

// The article a --pick names: the article number, or "LIEFERANT:NUMMER" where several suppliers
// list the number.
const Article& pickedArticle(const Catalogue& catalogue, const std::string& name) {
    const auto found = catalogue.findNumber(name);
    if (found.size() == 1)
        return *found.front();
    if (found.size() > 1) {
        std::string suppliers;
        for (const Article* article : found)
            suppliers += (suppliers.empty() ? "" : ", ") + article->supplier;
        throw std::runtime_error("Die Artikelnummer „" + name + "“ führen mehrere Lieferanten (" +
                                 suppliers + "); bitte als LIEFERANT:NUMMER angeben.");
    }
    if (const auto colon = name.find(':'); colon != std::string::npos) {
        if (const Article* article =
                catalogue.find(name.substr(0, colon), std::string_view(name).substr(colon + 1)))
            return *article;
    }
    throw std::runtime_error("Den Artikel „" + name + "“ gibt es im Katalog nicht.");
}
#else
class RunStore {
public:
    RunStore(const std::optional<std::string>&, std::ostream&) {}
    Store& open() { throw std::runtime_error("Dieses Programm wurde ohne Datenbank gebaut."); }
};
#endif

} // namespace

#ifdef _WIN32
char16_t separatorFromEnvironment() {
    // The user's regional settings, as every other program on the machine uses them.
    std::array<wchar_t, 8> text{};
    const int n = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text.data(),
                                    static_cast<int>(text.size()));
    // A separator of several characters, or one a number could not carry, cannot be typed into a
    // field; the point can.
    if (n != 2) {
        return u'.';
    }
    const std::u16string single(1, static_cast<char16_t>(text[0]));
    return separatorArg(toUtf8(single)).value_or(u'.');
}
#else
char16_t separatorFromEnvironment() {
    std::string_view name;
    for (const char* var : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* v = std::getenv(var);
        if (v != nullptr && *v != '\0') {
            name = v;
            break;
        }
    }
    const std::string_view locale = name.substr(0, name.find_first_of(".@"));
    const std::string_view language = locale.substr(0, locale.find('_'));
    // Regions whose language otherwise writes a comma.
    for (const std::string_view point : {"de_CH", "de_LI", "it_CH", "es_MX", "es_US", "es_PR"}) {
        if (locale == point) {
            return u'.';
        }
    }
    for (const std::string_view comma :
         {"de", "fr", "it", "es", "nl", "pt", "ru", "pl", "cs", "sk", "da", "sv", "nb", "nn",
          "no", "fi", "tr", "el", "hu", "ro", "bg", "uk", "hr", "sl", "sr", "lt", "lv", "et",
          "id", "vi", "ca", "gl", "eu", "be", "kk", "az", "is", "mk", "sq", "af", "lb", "rm"}) {
        if (language == comma) {
            return u',';
        }
    }
    return u'.';
}
#endif

int runCli(std::span<const std::string> args, std::ostream& out, std::ostream& err,
           std::span<const CliFileStep> extraSteps) {
    const std::string usageLine = usage(extraSteps);
    std::vector<Step> steps;
    std::optional<char16_t> separator;
    std::optional<std::string> storeUri;
    // The register as --offers found it, put into the output beside the sheet.
    std::optional<nlohmann::ordered_json> offers;
    std::unique_ptr<RunStore> store; // made once the command line is read
    std::map<std::string, std::string, std::less<>> options;
#ifdef PYRELTO_STORE
    // What --import-prices and --reprice report, beside the sheet.
    nlohmann::ordered_json imports = nlohmann::ordered_json::array();
    std::optional<nlohmann::ordered_json> repricing;
#endif
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            out << help(extraSteps);
            return 0;
        }
        if (kWithStore && arg == "--store") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                err << "pyrelto-cli: --store needs a database (a file name or a connection "
                       "string)\n"
                    << usageLine << '\n';
                return 2;
            }
            if (storeUri) {
                err << "pyrelto-cli: --store may be given once\n" << usageLine << '\n';
                return 2;
            }
            storeUri = args[++i];
            continue;
        }
#ifdef PYRELTO_STORE
        if (arg == "--offers") {
            steps.push_back(
                {[&offers, &store](CliContext&, std::ostream&) { offers = offersJson(*store); }});
            continue;
        }
        if (arg == "--import-prices") {
            if (i + 1 >= args.size()) {
                err << "pyrelto-cli: --import-prices needs a file name\n" << usageLine << '\n';
                return 2;
            }
            ImportRequest request{args[++i], {}, std::nullopt};
            while (i + 1 < args.size() &&
                   (args[i + 1] == "--supplier" || args[i + 1] == "--columns")) {
                const std::string& option = args[++i];
                if (i + 1 >= args.size() || args[i + 1].empty()) {
                    err << "pyrelto-cli: " << option << " needs a value\n" << usageLine << '\n';
                    return 2;
                }
                const std::string& value = args[++i];
                if (option == "--supplier") {
                    request.supplier = value;
                    continue;
                }
                std::string error;
                request.columns = parseCsvColumns(value, error);
                if (!request.columns) {
                    err << "pyrelto-cli: --columns: " << error << '\n';
                    return 2;
                }
            }
            steps.push_back({[&imports, request](CliContext& context, std::ostream&) {
                importPrices(context.store(), request, imports);
            }});
            continue;
        }
        if (arg == "--pick") {
            const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
            const auto eq = value.find('=');
            const auto slot = parseRowSlot(std::string_view(value).substr(0, eq));
            if (eq == std::string::npos || !slot || eq + 1 == value.size()) {
                err << "pyrelto-cli: --pick needs ROW=ARTICLE, the row M1 to M5 or S1 to S5\n"
                    << usageLine << '\n';
                return 2;
            }
            ++i;
            steps.push_back(
                {[slot = *slot, name = value.substr(eq + 1)](CliContext& context, std::ostream&) {
                    const auto snapshot = context.store().catalogue();
                    pickArticle(context.sheet, context.extras, slot,
                                pickedArticle(snapshot->catalogue, name), snapshot->catalogue);
                }});
            continue;
        }
        if (arg == "--reprice") {
            if (i + 1 >= args.size()) {
                err << "pyrelto-cli: --reprice needs a folder\n" << usageLine << '\n';
                return 2;
            }
            const std::string& folder = args[++i];
            const bool dryRun = i + 1 < args.size() && args[i + 1] == "--dry-run";
            if (dryRun)
                ++i;
            steps.push_back({[&repricing, folder, dryRun](CliContext& context, std::ostream&) {
                const auto snapshot = context.store().catalogue();
                const FolderRepricing report = repriceFolder(
                    std::filesystem::path(fromUtf8(folder)), snapshot->catalogue, dryRun);
                repricing = repricingJson(report);
                if (!report.problem.empty())
                    throw std::runtime_error(report.problem);
                for (const FileRepricing& file : report.files) {
                    if (file.outcome == FileRepricingOutcome::NotWritten)
                        throw std::runtime_error("Nicht alle Kalkulationen wurden geschrieben "
                                                 "(siehe \"reprice\").");
                }
            }});
            continue;
        }
#endif
        if (std::any_of(extraSteps.begin(), extraSteps.end(),
                        [](const CliFileStep& step) { return step.option == "--offer"; })) {
            const std::size_t at = i;
            if (auto option = offerOption(args, i)) {
                // --tax-case and --period tune an invoice as well as the offers after them.
                if (option->error.empty() && i == at + 1 &&
                    std::any_of(
                        extraSteps.begin(), extraSteps.end(), [&arg](const CliFileStep& step) {
                            return std::find(step.valueOptions.begin(), step.valueOptions.end(),
                                             arg) != step.valueOptions.end();
                        }))
                    options.emplace(arg, args[i]);
                if (!option->error.empty()) {
                    err << "pyrelto-cli: " << option->error << '\n' << usageLine << '\n';
                    return 2;
                }
                steps.push_back({[set = std::move(option->set)](
                                     CliContext& context, std::ostream&) { set(context.offer); }});
                continue;
            }
        }
        if (arg.starts_with("--separator=")) {
            separator = separatorArg(std::string_view(arg).substr(12));
            if (!separator) {
                err << "pyrelto-cli: --separator needs one character that is no digit, sign, "
                       "exponent letter or space\n"
                    << usageLine << '\n';
                return 2;
            }
            continue;
        }
        if (arg == "--open" || arg == "--save" || arg == "--takeoff") {
            if (i + 1 >= args.size()) {
                err << "pyrelto-cli: " << arg << " needs a file name\n" << usageLine << '\n';
                return 2;
            }
            const std::u16string name = fromUtf8(args[++i]);
            if (arg == "--open") {
                steps.push_back({[name](CliContext& context, std::ostream& warn) {
                    context.extras = openfile(context.sheet, name);
                    if (context.extras.hasUnreadData()) {
                        warn << "pyrelto-cli: Warnung: " << context.extras.warning << '\n';
                    }
                }});
            } else if (arg == "--save") {
                steps.push_back({[name](CliContext& context, std::ostream&) {
                    savefile(context.sheet, name, context.extras);
                }});
            } else {
                steps.push_back({[name](CliContext& context, std::ostream&) {
                    runTakeOff(context.sheet, context.extras, name);
                }});
            }
            continue;
        }
        const bool valueOption =
            std::any_of(extraSteps.begin(), extraSteps.end(), [&arg](const CliFileStep& step) {
                return std::find(step.valueOptions.begin(), step.valueOptions.end(), arg) !=
                       step.valueOptions.end();
            });
        if (valueOption) {
            if (i + 1 >= args.size()) {
                err << "pyrelto-cli: " << arg << " needs a value\n" << usageLine << '\n';
                return 2;
            }
            if (!options.emplace(arg, args[i + 1]).second) {
                err << "pyrelto-cli: " << arg << " may be given once\n" << usageLine << '\n';
                return 2;
            }
            ++i;
            continue;
        }
        const auto extra =
            std::find_if(extraSteps.begin(), extraSteps.end(),
                         [&arg](const CliFileStep& step) { return step.option == arg; });
        if (extra != extraSteps.end()) {
            if (i + 1 >= args.size()) {
                err << "pyrelto-cli: " << arg << " needs a file name\n" << usageLine << '\n';
                return 2;
            }
            steps.push_back(
                {[run = extra->run, file = args[++i]](CliContext& context, std::ostream& warn) {
                    run(context, file, warn);
                }});
            continue;
        }
        if (arg.starts_with("--")) {
            err << "pyrelto-cli: unknown option '" << arg << "'\n" << usageLine << '\n';
            return 2;
        }
        const auto eq = arg.find('=');
        if (eq == std::string::npos) {
            err << "pyrelto-cli: a step must be NAME=TEXT, got '" << arg << "'\n"
                << usageLine << '\n';
            return 2;
        }
        const std::string name = arg.substr(0, eq);
        const auto id = findField(name);
        if (!id) {
            err << "pyrelto-cli: no field is called '" << name << "'\n";
            return 2;
        }
        steps.push_back(
            {[id = *id, text = fromUtf8(std::string_view(arg).substr(eq + 1))](
                 CliContext& context, std::ostream&) { context.sheet.enter(id, text); }});
    }

    Sheet sheet(NumberFormat{separator.value_or(separatorFromEnvironment())});
    sheet.runCountRules();
    CalculationExtras extras;
    store = std::make_unique<RunStore>(storeUri, err);
    CliContext context{
        sheet, extras, [&store]() -> Store& { return store->open(); }, {}, std::move(options)};
    int status = 0;
    for (const auto& step : steps) {
        try {
            step.run(context, err);
        } catch (const std::exception& e) {
            // A failed step is reported and the rest still run, as in the program.
            err << "pyrelto-cli: " << e.what() << '\n';
            status = 1;
        }
    }
    nlohmann::ordered_json json = sheetJson(sheet);
    if (!extras.takeOff.empty()) {
        json["takeoff"] = takeOffJson(extras.takeOff, sheet.numberFormat().decimalSeparator);
    }
    if (offers) {
        json["offers"] = std::move(*offers);
    }
#ifdef PYRELTO_STORE
    if (!imports.empty()) {
        json["imports"] = std::move(imports);
    }
    if (repricing) {
        json["reprice"] = std::move(*repricing);
    }
#endif
    out << json.dump(2) << '\n';
    return status;
}

} // namespace pyrelto
