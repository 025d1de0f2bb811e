#include "cli_qt_steps.h"

#include "calculation_pdf.h"
#include "logo.h"
#include "offer_print.h"
#include "offer_service.h"
#include "program_store.h"
#include "qt_text.h"
#include "sheet.h"

#include <QDate>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
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
    return {{"--offer", offerStep}, {"--calculation-pdf", calculationStep}};
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

namespace {

// Linked into pyrelto-cli as object code, so this registration is always part of it.
[[maybe_unused]] const bool registered = registerCliSteps(qtCliSteps(), releaseCliApplication);
[[maybe_unused]] const bool storeRegistered = registerCliStoreAccess(qtCliStoreAccess());

} // namespace

} // namespace pyrelto
