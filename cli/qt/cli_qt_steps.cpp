#include "cli_qt_steps.h"

#include "calculation_pdf.h"
#include "cli_module.h"
#include "invoice_service.h"
#include "logo.h"
#include "offer_print.h"
#include "offer_service.h"
#include "program_store.h"
#include "qt_text.h"
#include "sheet.h"

#include <QDate>
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>

namespace pyrelto {

namespace {

std::unique_ptr<QGuiApplication>& ownApplication() {
    static std::unique_ptr<QGuiApplication> app;
    return app;
}

// Fonts and painting need an application object; a run that only computes never pays for one.
void ensureApplication() {
    if (QCoreApplication::instance() != nullptr)
        return;
    // Never a window: the offscreen platform, whatever display the environment names.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pyrelto-cli";
    static char* argv[] = {name, nullptr};
    ownApplication() = std::make_unique<QGuiApplication>(argc, argv);
}

QString fileName(const std::string& file) {
    return QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size()));
}

void offerStep(CliContext& context, const std::string& file, std::ostream& err) {
    ensureApplication();
    Store& store = context.store();
    FirmData firm = firmDataOf(store);
    if (!firm.hasLetterhead())
        err << "pyrelto-cli: Warnung: keine Firmendaten gespeichert (Datei – Firmendaten... im "
               "Programm); das Angebot wird ohne Briefkopf geschrieben\n";
    if (!firm.logoPath.empty()) {
        if (const QString problem = logoProblem(toQString(firm.logoPath)); !problem.isEmpty()) {
            err << "pyrelto-cli: Warnung: " << problem.toStdString()
                << " Das Angebot wird ohne Logo geschrieben.\n";
            firm.logoPath.clear();
        }
    }
    if (const QString warning = dropInvalidIban(firm); !warning.isEmpty())
        err << "pyrelto-cli: Warnung: " << warning.toStdString() << "\n";
    OfferChoices choices = newOfferChoices(context.sheet, store, QDate::currentDate());
    context.offer.applyTo(choices);
    // An offer recorded for this file whose PDF was never written went nowhere: when it is this
    // very offer (a retry), it is made under its number and date instead of taking a new one.
    std::optional<RecordedOffer> pending;
    if (auto unwritten = store.unwrittenOffer(file)) {
        const auto date = parseIsoDate(unwritten->entry.date);
        const auto validUntil = parseIsoDate(unwritten->entry.validUntil);
        if (date && validUntil) {
            choices.date = *date;
            choices.validUntil = *validUntil;
            pending = RecordedOffer{std::move(unwritten->number), std::move(unwritten->entry)};
        }
    }
    OfferDocument offer = buildOffer(context.sheet, firm, choices);
    for (const std::u16string& gap : offerGaps(context.sheet, choices))
        err << "pyrelto-cli: Warnung: " << toQString(gap).toStdString() << "\n";
    for (const QString& problem : offerLayoutProblems(offer))
        err << "pyrelto-cli: Warnung: " << problem.toStdString() << "\n";
    const OfferEntry entry = registerEntry(offer, context.sheet, context.extras, fileName(file));
    try {
        issueOffer(store, offer, entry, pending,
                   [&file](const OfferDocument& made) { writeOfferPdf(made, fileName(file)); });
    } catch (const std::exception& e) {
        if (!pending)
            throw;
        throw std::runtime_error(std::string(e.what()) + "\nDas Angebot " + pending->number +
                                 " ist im Angebotsbuch verzeichnet, seine PDF-Datei aber nicht "
                                 "geschrieben; derselbe Aufruf schreibt sie unter dieser Nummer.");
    }
}

std::string optionValue(const CliContext& context, std::string_view option) {
    const auto found = context.options.find(option);
    return found == context.options.end() ? std::string() : found->second;
}

// "30", "30,5" or "30.25" percent as hundredths; nothing for any other text.
std::optional<int> percentHundredths(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    const auto point = text.find('.');
    const std::string whole = text.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    const auto digits = [](const std::string& part) {
        return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > 3 || fraction.size() > 2 || !digits(whole) ||
        !digits(fraction))
        return std::nullopt;
    fraction.resize(2, '0');
    return std::stoi(whole) * 100 + std::stoi(fraction);
}

// The options of --invoice as the dialog's choices; throws std::runtime_error (German) for a
// value that cannot be read.
void applyInvoiceOptions(const CliContext& context, InvoiceChoices& choices) {
    const std::string kind = optionValue(context, "--kind");
    if (kind.empty() || kind == "invoice") {
        choices.kind = InvoiceKind::Invoice;
    } else if (kind == "final") {
        choices.kind = InvoiceKind::Final;
    } else if (kind.starts_with("partial:")) {
        const auto share = percentHundredths(kind.substr(8));
        if (!share)
            throw std::runtime_error("--kind partial:PROZENT braucht einen Anteil in Prozent, z. "
                                     "B. partial:30, nicht „" +
                                     kind.substr(8) + "“.");
        choices.kind = InvoiceKind::Partial;
        choices.partialHundredths = *share;
    } else if (kind.starts_with("partial-amount:")) {
        const auto net = parseDecimalHundredths(kind.substr(15));
        if (!net)
            throw std::runtime_error("--kind partial-amount:BETRAG braucht den Nettobetrag in "
                                     "Euro, z. B. partial-amount:12500,00, nicht „" +
                                     kind.substr(15) + "“.");
        choices.kind = InvoiceKind::Partial;
        choices.partialNet = Money::fromCents(*net);
    } else if (kind.starts_with("credit:") && kind.size() > 7) {
        choices.kind = InvoiceKind::CreditNote;
        choices.cancels = kind.substr(7);
    } else {
        throw std::runtime_error("--kind kennt invoice, partial:PROZENT, "
                                 "partial-amount:BETRAG, final und credit:RECHNUNGSNUMMER, "
                                 "nicht „" +
                                 kind + "“.");
    }
    if (context.options.contains("--quantity")) {
        const std::string quantity = optionValue(context, "--quantity");
        const auto area = parseDecimalHundredths(quantity);
        if (!area)
            throw std::runtime_error("--quantity braucht die Menge (Dachfläche) in m², z. B. "
                                     "131,5 oder 131.5, nicht „" +
                                     quantity + "“.");
        choices.areaHundredths = *area;
    }
    if (const std::string period = optionValue(context, "--period"); !period.empty()) {
        const auto dots = period.find("..");
        const auto from =
            dots == std::string::npos ? std::nullopt : parseIsoDate(period.substr(0, dots));
        const auto to =
            dots == std::string::npos ? std::nullopt : parseIsoDate(period.substr(dots + 2));
        if (!from || !to)
            throw std::runtime_error("--period braucht den Leistungszeitraum als "
                                     "JJJJ-MM-TT..JJJJ-MM-TT, nicht „" +
                                     period + "“.");
        choices.periodStart = *from;
        choices.periodEnd = *to;
    }
    const std::string taxCase = optionValue(context, "--tax-case");
    if (taxCase.empty() || taxCase == "normal")
        choices.taxCase = TaxCase::Normal;
    else if (taxCase == "13b")
        choices.taxCase = TaxCase::ReverseCharge;
    else if (taxCase == "19")
        choices.taxCase = TaxCase::SmallBusiness;
    else
        throw std::runtime_error("--tax-case kennt normal, 13b und 19, nicht „" + taxCase + "“.");
    const std::string customer = optionValue(context, "--customer");
    if (customer == "private")
        choices.privateCustomer = true;
    else if (!customer.empty() && customer != "business")
        throw std::runtime_error("--customer kennt private und business, nicht „" + customer +
                                 "“.");
    if (const std::string address = optionValue(context, "--address"); !address.empty()) {
        choices.addressLines.clear();
        const QStringList lines = fileName(address).split(QLatin1Char('|'));
        for (const QString& line : lines)
            if (!line.trimmed().isEmpty())
                choices.addressLines.push_back(line.trimmed().toStdString());
    }
    choices.buyerVatId =
        QString::fromStdString(optionValue(context, "--vat-id")).trimmed().toStdString();
    choices.buyerEmail = optionValue(context, "--buyer-email");
    choices.buyerReference = optionValue(context, "--buyer-reference");
}

void invoiceStep(CliContext& context, const std::string& file, std::ostream& err) {
    ensureApplication();
    Store& store = context.store();
    FirmData firm = firmDataOf(store);
    InvoiceLetterhead letterhead{firm.logoPath, firm.web};
    if (!firm.logoPath.empty()) {
        if (const QString problem = logoProblem(toQString(firm.logoPath)); !problem.isEmpty()) {
            err << "pyrelto-cli: Warnung: " << problem.toStdString()
                << " Die Rechnung wird ohne Logo geschrieben.\n";
            letterhead.logoPath.clear();
        }
    }
    InvoiceChoices choices =
        newInvoiceChoices(context.sheet, context.extras, store, QDate::currentDate());
    applyInvoiceOptions(context, choices);
    const Invoice invoice = prepareInvoice(context.sheet, firm, choices, store);
    const std::string xmlFile = optionValue(context, "--xrechnung");
    std::string calculation;
    if (choices.kind == InvoiceKind::CreditNote) {
        calculation = store.invoice(choices.cancels)->calculation;
    } else {
        calculation = invoiceCalculation(context.sheet, context.extras, choices);
    }
    const InvoiceRecord record =
        issueInvoiceRecord(store, invoice, !xmlFile.empty(), letterhead, calculation);
    try {
        writeDocumentFile(fileName(file), record.documents.pdf);
        if (!xmlFile.empty())
            writeDocumentFile(fileName(xmlFile), record.documents.xml);
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string(e.what()) + "\nDie Rechnung " + record.summary.number +
                                 " ist ausgestellt und im Rechnungsbuch verzeichnet; im Programm "
                                 "speichert „Rechnungen – PDF/XML erneut speichern“ sie.");
    }
}

void calculationStep(CliContext& context, const std::string& file, std::ostream&) {
    ensureApplication();
    // As the window prints it: the take-off's pages after the sheet's.
    writeCalculationPdf(context.sheet, fileName(file), QDate::currentDate(),
                        context.extras.takeOff.empty() ? nullptr : &context.extras.takeOff);
}

#ifdef PYRELTO_FAULT_SEAM
// Test builds: with PYRELTO_TEST_HOLD_NUMBER_MS set, each recording says "taken NUMBER" on stderr
// and then holds the counter that long, so that a test can kill the process in the middle.
StoreHooks testHooks() {
    StoreHooks hooks;
    const char* hold = std::getenv("PYRELTO_TEST_HOLD_NUMBER_MS");
    if (hold != nullptr && *hold != '\0') {
        const long ms = std::strtol(hold, nullptr, 10);
        hooks.numberTaken = [ms](const std::string& number) {
            std::fprintf(stderr, "taken %s\n", number.c_str());
            std::fflush(stderr);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
    }
    return hooks;
}
#else
StoreHooks testHooks() {
    return {};
}
#endif

std::unique_ptr<Store> openStoreOfProgram(const std::string& uri, std::ostream& warn) {
    ensureApplication();
    QString warning;
    auto store = openProgramStore(uri, testHooks(), &warning);
    if (!warning.isEmpty())
        warn << "pyrelto-cli: Warnung: " << warning.toStdString() << '\n';
    return store;
}

} // namespace

std::vector<CliFileStep> qtCliSteps() {
    std::vector<CliFileStep> steps = cliModuleStepOptions();
    for (CliFileStep& step : steps) {
        if (step.option == "--offer")
            step.run = offerStep;
        else if (step.option == "--calculation-pdf")
            step.run = calculationStep;
        else if (step.option == "--invoice")
            step.run = invoiceStep;
    }
    return steps;
}

CliStoreAccess qtCliStoreAccess() {
    return {[] {
                ensureApplication();
                return programStoreUri();
            },
            openStoreOfProgram};
}

void releaseCliApplication() {
    ownApplication().reset();
}

} // namespace pyrelto
