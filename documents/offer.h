#pragma once
// The offer ("Angebot") as data: the document the contractor hands the customer. It is built from
// the sheet's selling side only (descriptions, roof area, price per m², end sums); purchase prices,
// discounts, waste, markup and the rows' own sums never reach it, so no layout of it can show
// them. Every text is final: a painter only places them.

#include "date.h"
#include "firm_data.h"
#include "money.h"
#include "tax_case.h"

#include <optional>
#include <string>
#include <vector>

namespace pyrelto {

class Sheet;

// "10.12.2026".
std::u16string germanDate(Date date);

// One line of the positions table. A position with prices is the one the offer charges for; the
// positions numbered under it describe what that price includes.
struct OfferPosition {
    std::u16string number;
    std::u16string description;
    // The roof's area in m² for the charged position, its layers and materials; the pieces the
    // roof takes, "Stk", for an item counted in pieces.
    std::u16string quantity;
    std::u16string unit;
    std::u16string unitPrice; // empty for a describing position
    std::u16string total;     // empty for a describing position
};

// When the work is planned: from a day, until a day, both, or "nach Vereinbarung". Dates not set
// are not given.
struct ExecutionPeriod {
    Date from;
    Date until;
    bool byArrangement = false;

    bool empty() const { return !byArrangement && !from.isSet() && !until.isSet(); }
    friend bool operator==(const ExecutionPeriod&, const ExecutionPeriod&) = default;
};

// "02.11.2026 bis 20.11.2026", "ab 02.11.2026", "bis 20.11.2026", "nach Vereinbarung"; empty for
// none.
std::u16string executionPeriodText(const ExecutionPeriod& period);

// Abschlagszahlungen typed as whole percents, "30, 40" or "30 % 40 %" (commas, semicolons and
// spaces part them); nothing when the text holds anything else. An empty text is no instalment.
std::optional<std::vector<int>> parseInstalments(std::u16string_view text);
// Empty when each instalment is 1 to 100 % and together they are at most 100 %; otherwise the
// German message for the user.
std::u16string instalmentsProblem(const std::vector<int>& percents);

// What the user decides in the offer dialog; the rest comes from the sheet and the firm data.
struct OfferChoices {
    std::u16string number;
    Date date;
    Date validUntil;
    std::u16string recipientName;
    std::u16string recipientAddress; // lines separated by "\n"
    std::u16string subject;
    std::u16string introduction;
    std::u16string workTitle; // the text of the charged position
    bool summaryOnly = false;
    // § 13b and § 19 UStG: no VAT charged, the net is what the offer costs, and the note says why.
    TaxCase taxCase = TaxCase::Normal;
    // A private customer may deduct the labour part of the price (§ 35a EStG): the offer says how
    // much it is.
    bool privateCustomer = false;
    // The building site (Bauvorhaben) when the letter goes elsewhere, to a property manager say;
    // lines separated by "\n". Printed beside the recipient when given.
    std::u16string site;
    ExecutionPeriod period;
    // Abschlagszahlungen in whole percent of the amount to pay, in their order; what they leave
    // is paid with the final invoice.
    std::vector<int> instalments;
    // The firm's signature line under the closing, and the customer's slip to accept the offer.
    bool signatureLine = false;
    bool acceptanceSlip = false;
    // The take-off's pages after the offer (when the calculation has a take-off with sound totals).
    bool takeOffPages = false;

    static std::u16string defaultSubject();
    static std::u16string defaultIntroduction();
    static std::u16string defaultWorkTitle();
};

// Everything the document shows, in its final texts.
struct OfferDocument {
    FirmData firm;
    OfferChoices choices;
    std::vector<OfferPosition> positions;
    std::u16string net;        // "486,24 €"
    std::u16string vatLabel;   // "zzgl. MwSt. 19 %"; empty when the tax case charges no VAT
    std::u16string vat;        // gross − net of the sheet, to the cent; empty with vatLabel
    std::u16string grossLabel; // "Gesamtbetrag", or what the amount is without VAT
    std::u16string gross;      // the net when the tax case charges no VAT
    std::u16string currency;
    std::u16string taxNote;     // why no VAT is charged; empty for normal VAT
    std::u16string labourShare; // the § 35a line for a private customer; empty otherwise
    std::u16string site;        // the building site in one line ("Hauptstr. 5, 12345 Berlin")
    std::u16string period;      // executionPeriodText of the choices
    // Validity, payment terms, Skonto and contract basis: the terms' paragraph.
    std::u16string terms;
    // "Zahlungsplan: 1. Abschlagszahlung 30 % (…), …"; empty without instalments.
    std::u16string paymentPlan;
};

// The text of the acceptance slip for the offer as it is numbered now (the number is given when
// the offer goes out): "Hiermit beauftrage ich / beauftragen wir …".
std::u16string acceptanceText(const OfferDocument& offer);

// The labour part of the price: the layers' own prices per m² (their torching, the work) times
// the roof's area, to the cent. The markup of the sheet is on the materials only, so none of it is
// labour; the materials and items are not labour either. Nothing when the texts the sheet shows
// are no plain amounts.
std::optional<Money> labourShare(const Sheet& sheet);

// The descriptions of the shown layer, material and piece rows that take part in the price (a
// description typed, a sum other than zero), in sheet order.
std::vector<std::u16string> describedRows(const Sheet& sheet);

// The lines of the envelope's window: the recipient's name, then the address's lines that are not
// blank, each trimmed.
std::vector<std::u16string> recipientLines(const OfferChoices& choices);
// How many lines the window holds (DIN 5008: the address zone of the address field).
inline constexpr std::size_t kAddressWindowLines = 6;

// What an offer about to go out lacks on its face: no recipient, no roof area, nothing to pay.
// Each a German sentence for the user; empty when none.
std::vector<std::u16string> offerGaps(const Sheet& sheet, const OfferChoices& choices);

// The offer of `sheet` as it stands, its amounts in the sheet's number format.
OfferDocument buildOffer(const Sheet& sheet, const FirmData& firm, const OfferChoices& choices);

// The file name the save dialog offers: "Angebot 2026-014 Müller.pdf", without characters that
// file systems refuse.
std::u16string suggestedOfferFileName(const OfferDocument& offer);

} // namespace pyrelto
