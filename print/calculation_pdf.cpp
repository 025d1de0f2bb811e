#include "calculation_pdf.h"

#include "pdf_file.h"
#include "printout.h"

namespace pyrelto {

int writeCalculationPdf(const Sheet& sheet, const QString& fileName, const QDate& date,
                        const TakeOff* takeOff) {
    // The printer's resolution, so that the columns fit as on a printed page.
    const PdfSetup setup{QStringLiteral("Pyrelto Kalkulation"), QString(), 1200};
    return writePdfFile(fileName, setup, [&](QPagedPaintDevice& device) {
        return paintSheet(sheet, device, date, takeOff);
    });
}

} // namespace pyrelto
