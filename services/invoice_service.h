#pragma once
// From the calculation (or the offer) to an issued invoice, shared by the window and the
// command-line driver: the invoice of the sheet under the user's choices, what it still lacks,
// and issuing it through the register, which takes its number and keeps its documents. No
// widgets here.

#include "calculation_file.h"
#include "invoice.h"
#include "invoice_print.h"
#include "store.h"

#include <QDate>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

class Sheet;
struct FirmData;

// What the user decides about an invoice; the rest comes from the sheet, the firm data and the
// register.
struct InvoiceChoices {
    InvoiceKind kind = InvoiceKind::Invoice;
    int partialHundredths = 0; // a partial invoice: its share of the offer's net, 30 % = 3000
    // A partial invoice by a net amount instead of a share: at most what the job's earlier partial
    // invoices left of the whole.
    std::optional<Money> partialNet;
    std::string cancels; // a credit note: the invoice it cancels
    Date issueDate;
    Date periodStart; // Leistungszeitraum
    Date periodEnd;
    TaxCase taxCase = TaxCase::Normal;
    bool privateCustomer = false;
    std::string buyerVatId;
    std::string buyerEmail;     // where a business customer receives the e-invoice
    std::string buyerReference; // Leitweg-ID or what the customer gives; empty: the offer number
    std::vector<std::string> addressLines; // the buyer's name first, "POSTCODE TOWN" last
    std::string offerNumber;               // the job; empty when there is no offer
    // The roof's area as finally measured, in hundredths of a m²; nothing charges the area the
    // sheet shows (the take-off's, when one is linked).
    std::optional<std::int64_t> areaHundredths;
};

// A number as the user types it, in hundredths: German ("1.234,5", "12500,00") or plain ("1234.5"),
// at most two decimals, optionally signed. Nothing for any other text, "1.234" included, which
// could be either.
std::optional<std::int64_t> parseDecimalHundredths(std::string_view text);

// The area the sheet charges, in hundredths of a m²; nothing when it shows no plain amount.
std::optional<std::int64_t> sheetAreaHundredths(const Sheet& sheet);

// The calculation as the invoice of `choices` charges it: the sheet, with the measured area when
// the choices name one, in the bytes of a calculation file. What the register keeps beside it.
std::string invoiceCalculation(const Sheet& sheet, const CalculationExtras& extras,
                               const InvoiceChoices& choices);

// The choices of a new invoice of `sheet`: the customer of the sheet with the address the store
// remembers for it, the offer recorded last for this very calculation (its number, and the
// tax case and private customer of it cannot be known, so they stay the defaults), `today`.
InvoiceChoices newInvoiceChoices(const Sheet& sheet, const CalculationExtras& extras, Store& store,
                                 const QDate& today);

// The seller as the firm data names it: the tax id is taken as the USt-IdNr. when it reads like
// one ("DE123456789"), as the tax number otherwise.
Party sellerOf(const FirmData& firm);

// The invoice of `choices`, not yet numbered: the whole work of the sheet (one position, the roof
// area times the price per m², as the offer charges it; a measured area is put into a copy of the
// sheet, whose rules then price it as they price any area), a share of it for a partial invoice,
// the whole less every partial invoice of the job in the register that no credit note cancelled for
// a final one, and the original's lines for a credit note. Throws std::runtime_error (German) when
// the sheet charges nothing, the measured area is not above 0 m², a partial amount is not above
// 0,00 € or more than the job's partial invoices left of the whole, the job has a final invoice
// already, or the invoice to cancel is not in the register.
Invoice prepareInvoice(const Sheet& sheet, const FirmData& firm, const InvoiceChoices& choices,
                       Store& store);

// Every reason, in German, why `invoice` may not be issued (with its e-invoice when `withXml`):
// empty when it may.
std::vector<std::string> invoiceProblems(const Invoice& invoice, bool withXml);

// Issues `invoice` through the register: the number is taken, the PDF (and the XML when
// `withXml`) made under it and recorded with the invoice as data and `calculation`, all in one
// transaction. Returns the record as stored. Throws std::runtime_error listing the problems before
// any number is taken, StoreError when the register refused.
InvoiceRecord issueInvoiceRecord(Store& store, const Invoice& invoice, bool withXml,
                                 const InvoiceLetterhead& letterhead,
                                 const std::string& calculation);

// The letterhead of the firm's documents; a logo that cannot be read is left off.
InvoiceLetterhead letterheadOf(const FirmData& firm);

// Writes `bytes` to `file` completely or not at all (a temporary file renamed). Throws
// std::runtime_error (German).
void writeDocumentFile(const QString& file, const std::string& bytes);

} // namespace pyrelto
