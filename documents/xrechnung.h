#pragma once
// The e-invoice for business and public customers: XRechnung 3.0 in the UN/CEFACT Cross Industry
// Invoice syntax (CII D16B), as one UTF-8 XML document.

#include "invoice.h"

#include <string>
#include <vector>

namespace pyrelto {

// The specification identifier (BT-24) the document declares.
inline constexpr const char* xrechnungGuideline =
    "urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0";

// UNTDID 1001 code (BT-3): 380 invoice, 875 partial construction invoice, 877 final construction
// invoice, 381 credit note.
const char* invoiceTypeCode(InvoiceKind kind);

// What the e-invoice needs beyond missingItems: the invoice number, the buyer reference (the
// Leitweg-ID or, for other buyers, the offer number), the seller's contact person, phone and
// e-mail. German sentences; empty when the XML may be written.
std::vector<std::string> missingForXRechnung(const Invoice& invoice);

// The XML. Throws std::invalid_argument naming the first missing item when missingItems or
// missingForXRechnung lists one; an invalid e-invoice is never written.
std::string xrechnungXml(const Invoice& invoice);

// The payment terms text (BT-20): the free text, the due date, and the Skonto line in the
// syntax German receivers parse ("#SKONTO#TAGE=10#PROZENT=2.00#" and a line feed). A "#" in the
// free text becomes "＃" so that no line of it reads as a malformed Skonto line.
std::string paymentTermsText(const Invoice& invoice);

} // namespace pyrelto
