#pragma once
// The offer ("Angebot") as data: the document the contractor hands the customer. It is built from
// the sheet's selling side only (descriptions, roof area, price per m², end sums); purchase prices,
// discounts, waste, markup and the rows' own sums never reach it, so no layout of it can show
// them. Every text is final: a painter only places them.

#include "date.h"
#include "firm_data.h"

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

    static std::u16string defaultSubject();
    static std::u16string defaultIntroduction();
    static std::u16string defaultWorkTitle();
};

// Everything the document shows, in its final texts.
struct OfferDocument {
    FirmData firm;
    OfferChoices choices;
    std::vector<OfferPosition> positions;
    std::u16string net;      // "486,24 €"
    std::u16string vatLabel; // "zzgl. MwSt. 19 %"
    std::u16string vat;      // gross − net of the sheet, to the cent
    std::u16string gross;
    std::u16string currency;
};

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
