#pragma once
// The invoice ("Rechnung") as data: what it charges, to whom, under which tax case, and the
// arithmetic from positions to the amount due, every amount in whole cents. Issued invoices are
// never changed; a correction is a credit note that names the original.

#include "date.h"
#include "money.h"
#include "tax_case.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

// "10.12.2026", as the German documents print it.
std::string germanDateUtf8(const Date& date);
Date addDays(const Date& date, int days);

enum class InvoiceKind {
    Invoice,    // Rechnung
    Partial,    // Abschlagsrechnung
    Final,      // Schlussrechnung, deducting the partial invoices of the job
    CreditNote, // Gutschrift/Storno of an issued invoice
};

// "rechnung", "abschlag", "schluss", "gutschrift": the words the register and the invoice's record
// store for the kinds.
std::string_view invoiceKindText(InvoiceKind kind);
std::optional<InvoiceKind> invoiceKindFromText(std::string_view text);

struct PostalAddress {
    std::vector<std::string> streetLines; // up to three lines before postcode and town
    std::string postcode;
    std::string town;
    std::string countryCode = "DE"; // ISO 3166-1 alpha-2
};

// Name and address from the lines the user types: the first line is the name, the last one
// "POSTCODE TOWN", the ones between the street lines. Empty parts when a line is missing.
struct NamedAddress {
    std::string name;
    PostalAddress address;
};
NamedAddress addressFromLines(const std::vector<std::string>& lines);

struct Party {
    std::string name;
    PostalAddress address;
    std::string vatId;     // USt-IdNr.
    std::string taxNumber; // Steuernummer (seller)
    std::string contactName;
    std::string phone;
    std::string email; // also the electronic address the e-invoice names
};

struct BankAccount {
    std::string holder;
    std::string iban;
    std::string bic;
};

struct InvoiceLine {
    std::string description;
    std::int64_t quantityMilli = 1000; // thousandths of the unit
    std::string unitCode = "H87";      // UN/ECE Recommendation 20: MTK m², H87 piece, MTR m, …
    Money unitPrice;                   // net, per unit
    int vatRateHundredths = 1900;      // 19.00 %; ignored outside the normal tax case
    Money labour;                      // the labour share of the line's net total (§ 35a EStG)
};

// An earlier partial invoice that a final invoice deducts.
struct PriorInvoice {
    std::string number;
    Date date;
    Money net;
    Money vat;
    Money gross;
};

struct Skonto {
    int days = 0;
    int percentHundredths = 0; // 2.00 % = 200
};

struct Invoice {
    InvoiceKind kind = InvoiceKind::Invoice;
    std::string number;
    Date issueDate;
    Date periodStart; // Leistungszeitraum
    Date periodEnd;
    int paymentDays = 14;
    std::string currency = "EUR";
    Party seller;
    Party buyer;
    bool privateCustomer = false;
    TaxCase taxCase = TaxCase::Normal;
    std::string buyerReference; // Leitweg-ID of a public buyer, otherwise the offer number
    std::string offerNumber;
    std::string originalNumber; // the corrected invoice, for a credit note
    Date originalDate;
    std::vector<InvoiceLine> lines;
    std::vector<PriorInvoice> partials; // final invoice only
    std::optional<Skonto> skonto;
    std::string paymentTerms; // free text before the Skonto line
    BankAccount bank;
    std::vector<std::string> notes;

    Date dueDate() const { return addDays(issueDate, paymentDays); }
};

// VAT categories of EN 16931 that a roofer's invoice uses.
enum class VatCategory {
    Standard,      // S
    ZeroRated,     // Z: 0 % in the normal tax case
    ReverseCharge, // AE
    Exempt,        // E: small business
};
char vatCategoryCode(VatCategory category);

struct VatBreakdown {
    VatCategory category = VatCategory::Standard;
    int rateHundredths = 0;
    Money basis;
    Money vat;
    std::string exemptionReason; // empty for S and Z
};

struct InvoiceTotals {
    Money lineTotal;               // sum of the line totals, net
    std::vector<VatBreakdown> vat; // one per category and rate, highest rate first
    Money vatTotal;
    Money grandTotal;
    Money prepaid; // gross of the deducted partial invoices
    Money duePayable;
    Money labourNet; // § 35a EStG
    Money labourVat;
};

// The exact texts the tax cases require on the invoice.
std::string reverseChargeNote();                // "Steuerschuldnerschaft des Leistungsempfängers"
std::string smallBusinessNote();                // § 19 UStG
std::string retentionNote();                    // private customers, § 14 Abs. 4 Satz 1 Nr. 9 UStG
std::string invoiceKindTitle(InvoiceKind kind); // "Rechnung", "Abschlagsrechnung", …

// quantity × unit price, rounded half away from zero to the cent.
Money lineTotal(const InvoiceLine& line);
// `amount` × rate / 100 %, rounded half away from zero to the cent.
Money percentOf(Money amount, int hundredths);

// Throws std::invalid_argument on amounts beyond what a cent count can hold.
InvoiceTotals computeTotals(const Invoice& invoice);

// What the customer may deduct from the amount due when paying within the Skonto days; 0 without
// Skonto.
Money skontoAmount(const Invoice& invoice, const InvoiceTotals& totals);

// The § 35a line for the customer's tax return, or empty when there is no labour share.
std::string labourShareNote(const InvoiceTotals& totals);

// What stops `invoice` from being a valid invoice, one German sentence per item; empty when it
// may be issued.
std::vector<std::string> missingItems(const Invoice& invoice);

// The invoice for a part of `whole` (an invoice over the complete offer): `hundredths` of its net
// amount (30 % = 3000) or the fixed net amount, split over the VAT rates in the proportion of the
// offer, one line per rate. The rest of `whole` (parties, dates, tax case, …) carries over.
Invoice partialByPercent(const Invoice& whole, int hundredths);
Invoice partialByAmount(const Invoice& whole, Money net);

// The final invoice over the whole work of `whole`, deducting every one of `partials`.
Invoice finalInvoice(const Invoice& whole, const std::vector<Invoice>& partials);

// The credit note cancelling `original` in full: the same lines, referring to its number.
Invoice creditNoteFor(const Invoice& original, const std::string& number, const Date& issueDate);

// The amount as the e-invoice writes it: "-1234.05".
std::string decimalAmount(Money cents);
// The amount as the German documents print it: "-1.234,05".
std::string germanAmount(Money cents);

} // namespace pyrelto
