#pragma once
// The one route from a painted document to a PDF file, for the calculation printout and the offer
// alike: painted into memory on A4 with the paper's edge as origin, title, creator and author set,
// then written with the safe write, so that the file appears only complete.

#include <QByteArray>
#include <QString>
#include <functional>

class QPagedPaintDevice;

namespace pyrelto {

struct PdfSetup {
    QString title;
    QString author;       // left out when empty
    int resolution = 600; // dots per inch the painter lays out at
};

// Paints the pages on the device it is given; returns their number, throws PrintError.
using PagePainting = std::function<int(QPagedPaintDevice&)>;

// The document's bytes. Throws PrintError when nothing was written.
QByteArray pdfBytes(const PdfSetup& setup, const PagePainting& paint, int* pages = nullptr);

// Bytes made before (a recorded invoice's PDF) as the file `fileName`, with the safe write. Throws
// PrintError with the German message when the file cannot be written.
void writePdfBytes(const QString& fileName, const QByteArray& bytes);

// The document as the file `fileName`; returns the number of pages. Throws PrintError with the
// German message when the file cannot be written (the old file, if any, then stays as it was).
int writePdfFile(const QString& fileName, const PdfSetup& setup, const PagePainting& paint);

} // namespace pyrelto
