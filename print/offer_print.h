#pragma once
// The offer on paper: the document model laid out as a DIN 5008 form B letter on A4 and painted
// on any paged device, a printer or a PDF file.

#include "offer.h"
#include "takeoff_print.h"

#include <QByteArray>
#include <QString>

class QPagedPaintDevice;

namespace pyrelto {

// A field's text as the offer prints it, trimmed and put through isolatedFieldText: one line that
// cannot reorder the text around it.
QString isolatedField(const QString& text);

// Paints the offer page by page, and after it the "Aufmaß" pages when `attachment` has a take-off;
// returns the number of pages. Throws PrintError when the device does not take a page.
int paintOffer(const OfferDocument& offer, QPagedPaintDevice& device,
               const TakeOffPrint& attachment = {});

// The offer as a PDF file (title, author and creator set, fonts embedded), written with the safe
// write: the file appears only complete. Throws PrintError or IoError.
void writeOfferPdf(const OfferDocument& offer, const QString& fileName,
                   const TakeOffPrint& attachment = {});

// The bytes of that PDF.
QByteArray offerPdf(const OfferDocument& offer, const TakeOffPrint& attachment = {});

} // namespace pyrelto
