#include "MainUnit.h"
#include "dialogs.h"
#include "printer_run.h"
#include "printout.h"

#include <QDate>
#include <QDir>
#include <QPrinter>

namespace pyrelto {

QPrinter& TMainForm::printer() {
    // Made on first use: looking for printers can take a moment, and most runs never print.
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void TMainForm::printerSetupCommand() {
    dialogs().printerSetup(this, printer());
}

// A PrintError (no printer, or one that fails) escapes to the standard error report.
void TMainForm::printCommand() {
    QPrinter& target = printer();
    printSheet(sheet_, target, QDate::currentDate(), &extras_.takeOff);
    // Printed into a file, nothing comes out of a printer: the user is told where to look.
    if (target.outputFormat() == QPrinter::PdfFormat && !target.outputFileName().isEmpty()) {
        dialogs().message(this, QStringLiteral("Drucken"),
                          QStringLiteral("Die Kalkulation wurde in die Datei\n%1\ngeschrieben.")
                              .arg(QDir::toNativeSeparators(target.outputFileName())),
                          Dialogs::Icon::Information);
    }
}

} // namespace pyrelto
