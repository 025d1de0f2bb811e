#pragma once
// The invoice on paper, for people: the same DIN 5008 letter as the offer, with the positions, a
// final invoice's deductions of the partial invoices as a table of their own, the totals per VAT
// rate, the notes the tax case requires, and the payment terms with the IBAN. Every fact comes
// from the Invoice, the same one the e-invoice is written from, so both say the same.

#include "invoice.h"

#include <QByteArray>
#include <QString>
#include <string>

class QPagedPaintDevice;

namespace pyrelto {

// What the letterhead shows beyond what the invoice states.
struct InvoiceLetterhead {
    std::u16string logoPath; // empty for none
    std::u16string web;
};

// "m²" for MTK, "Stk." for H87 …; the code itself for a unit without a German symbol.
QString unitSymbol(const std::string& unitCode);

// Paints the invoice page by page; returns the number of pages. Throws PrintError naming the
// first missing item (missingItems, or no invoice number) before anything is painted, and when
// the device does not take a page.
int paintInvoice(const Invoice& invoice, const InvoiceLetterhead& letterhead,
                 QPagedPaintDevice& device);

// The bytes of the invoice's PDF (title, author and creator set, fonts embedded).
QByteArray invoicePdf(const Invoice& invoice, const InvoiceLetterhead& letterhead);

// The file name the save dialog offers: "Schlussrechnung R-2026-0007 Müller.pdf", without
// characters that file systems refuse.
QString suggestedInvoiceFileName(const Invoice& invoice);

} // namespace pyrelto
