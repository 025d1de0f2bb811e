#include "cli_qt_steps.h"

#include "calculation_pdf.h"
#include "logo.h"
#include "offer_print.h"
#include "offer_service.h"
#include "qt_text.h"
#include "settings_store.h"
#include "sheet.h"

#include <QDate>
#include <QGuiApplication>
#include <memory>
#include <ostream>

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
    const Sheet& sheet = context.sheet;
    ensureApplication();
    const auto firmStore = programSettings(QString::fromUtf16(kFirmDataGroup));
    const auto counter = programSettings(QString::fromUtf16(kOfferGroup));
    FirmData firm = readFirmData(*firmStore);
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
    const OfferChoices choices = newOfferChoices(sheet, *counter, QDate::currentDate());
    const OfferDocument offer = buildOffer(sheet, firm, choices);
    writeOfferPdf(offer, fileName(file));
    offerIssued(offer, *counter);
}

void calculationStep(CliContext& context, const std::string& file, std::ostream&) {
    ensureApplication();
    writeCalculationPdf(context.sheet, fileName(file), QDate::currentDate());
}

} // namespace

std::vector<CliFileStep> qtCliSteps() {
    return {{"--offer", offerStep}, {"--calculation-pdf", calculationStep}};
}

void releaseCliApplication() {
    ownApplication().reset();
}

namespace {

// Linked into pyrelto-cli as object code, so this registration is always part of it.
[[maybe_unused]] const bool registered = registerCliSteps(qtCliSteps(), releaseCliApplication);

} // namespace

} // namespace pyrelto
