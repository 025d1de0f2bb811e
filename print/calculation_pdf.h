#pragma once
// The calculation printout straight into a PDF file: no printer and no printer dialog.

#include <QDate>
#include <QString>

namespace pyrelto {

class Sheet;
struct TakeOff;

// Exactly the pages printSheet prints, the take-off's pages after them, written to `fileName` with
// the safe write (the file appears only complete). Returns the number of pages. Throws PrintError
// or IoError.
int writeCalculationPdf(const Sheet& sheet, const QString& fileName, const QDate& date,
                        const TakeOff* takeOff = nullptr);

} // namespace pyrelto
