#include "calculation_pdf.h"

#include "printout.h"
#include "safe_write.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>
#include <span>

namespace pyrelto {

int writeCalculationPdf(const Sheet& sheet, const QString& fileName, const QDate& date) {
    // Qt's PDF printer writes straight into its file; it writes a private one here, and only a
    // complete document replaces the file the user chose.
    QTemporaryDir folder;
    if (!folder.isValid())
        throw PrintError(QStringLiteral("Die PDF-Datei konnte nicht vorbereitet werden."));
    const QString draft = folder.filePath(QStringLiteral("kalkulation.pdf"));
    int pages = 0;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(draft);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setCreator(QStringLiteral("Pyrelto Kalkulation"));
        pages = printSheet(sheet, printer, date);
    }
    QFile file(draft);
    if (!file.open(QIODevice::ReadOnly))
        throw PrintError(QStringLiteral("Die PDF-Datei konnte nicht erstellt werden."));
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        throw PrintError(QStringLiteral("Die PDF-Datei konnte nicht erstellt werden."));
    const std::span<const std::byte> data(reinterpret_cast<const std::byte*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size()));
    if (!writeFileSafely(fileName.toStdU16String(), data))
        throw PrintError(QStringLiteral("Die Datei „%1“ konnte nicht angelegt werden.")
                             .arg(QFileInfo(fileName).fileName()));
    return pages;
}

} // namespace pyrelto
