#include "pdf_file.h"

#include "pdf_document_info.h"
#include "printout.h"
#include "safe_write.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <span>

namespace pyrelto {

QByteArray pdfBytes(const PdfSetup& setup, const PagePainting& paint, int* pages) {
    QByteArray bytes;
    int count = 0;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(setup.resolution);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        writer.setTitle(setup.title);
        writer.setCreator(QStringLiteral("Pyrelto Kalkulation"));
        count = paint(writer);
    }
    if (bytes.isEmpty())
        throw PrintError(QStringLiteral("Die PDF-Datei konnte nicht erstellt werden."));
    if (pages != nullptr)
        *pages = count;
    return withDocumentAuthor(bytes, setup.author);
}

void writePdfBytes(const QString& fileName, const QByteArray& bytes) {
    const std::span<const std::byte> data(reinterpret_cast<const std::byte*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size()));
    if (!writeFileSafely(fileName.toStdU16String(), data))
        throw PrintError(QStringLiteral("Die Datei „%1“ konnte nicht angelegt werden.")
                             .arg(QFileInfo(fileName).fileName()));
}

int writePdfFile(const QString& fileName, const PdfSetup& setup, const PagePainting& paint) {
    int pages = 0;
    writePdfBytes(fileName, pdfBytes(setup, paint, &pages));
    return pages;
}

} // namespace pyrelto
