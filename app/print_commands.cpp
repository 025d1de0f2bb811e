#include "MainUnit.h"
#include "dialogs.h"
#include "printout.h"

#include <QDate>
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
    printSheet(sheet_, printer(), QDate::currentDate());
}

} // namespace pyrelto
