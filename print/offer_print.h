#pragma once
// The offer on paper: the document model laid out as a DIN 5008 form B letter on A4 and painted
// on any paged device, a printer or a PDF file.

#include "offer.h"
#include "takeoff_print.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;

namespace pyrelto {

// A field's text as the offer prints it, trimmed and put through isolatedFieldText: one line that
// cannot reorder the text around it.
QString isolatedField(const QString& text);

// What the laid-out offer cannot show in full, each in German for the user: a firm name too long
// for the letterhead, firm data too long for the footer or the information block, an address
// with more lines than the envelope's window holds, characters no installed font can draw.
// Empty when the paper shows everything.
QStringList offerLayoutProblems(const OfferDocument& offer);

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
