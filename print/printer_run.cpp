#include "printer_run.h"

#include "offer_print.h"
#include "printout.h"
#include "qt_text.h"
#include "takeoff_print.h"

#include <QPrinter>

namespace pyrelto {

QString printerProblem(const QPrinter& printer) {
    // Without any printer Qt falls back to a PDF printer that has nowhere to write: a print run
    // would then silently produce nothing.
    const bool usable = printer.outputFormat() == QPrinter::PdfFormat
                            ? !printer.outputFileName().isEmpty()
                            : printer.isValid();
    if (usable)
        return {};
    return QStringLiteral("Es ist kein Drucker verfügbar. Bitte wählen Sie unter "
                          "„Datei – Drucker einrichten...“ einen Drucker aus.");
}

int printSheet(const Sheet& sheet, QPrinter& printer, const QDate& date, const TakeOff* takeOff) {
    if (const QString problem = printerProblem(printer); !problem.isEmpty())
        throw PrintError(problem);
    printer.setDocName(QStringLiteral("Pyrelto Kalkulation"));
    return paintSheet(sheet, printer, date, takeOff);
}

int printOffer(const OfferDocument& offer, QPrinter& printer, const TakeOffPrint& attachment) {
    if (const QString problem = printerProblem(printer); !problem.isEmpty())
        throw PrintError(problem);
    printer.setDocName(QStringLiteral("Angebot ") + toQString(offer.choices.number).trimmed());
    return paintOffer(offer, printer, attachment);
}

} // namespace pyrelto
