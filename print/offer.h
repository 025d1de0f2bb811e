#pragma once
// The offer ("Angebot"): the document the contractor hands the customer. It is built from the
// sheet's selling side only (descriptions, roof area, price per m², end sums); purchase prices,
// discounts, waste, markup and the rows' own sums never reach it, so nothing drawn here can show
// them. Laid out as a DIN 5008 form B letter on A4 and painted on any paged device.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QPagedPaintDevice;
class QPrinter;

namespace pyrelto {

class Sheet;

// The contractor's own data for the letterhead, the information block and the footer.
struct FirmData {
    QString name;
    QString contact; // owner or contact person
    QString street;
    QString postcodeTown;
    QString phone;
    QString email;
    QString web;
    QString taxId; // tax number or VAT id
    QString accountHolder;
    QString iban;
    QString bic;
    QString logoPath; // the copy in the program data folder; empty for none
    QString paymentTerms;
    QString closingText;

    // The texts a German contractor would write when none are stored yet.
    static QString defaultPaymentTerms();
    static QString defaultClosingText();
    bool hasLetterhead() const { return !name.trimmed().isEmpty(); }
};

// Empty when `iban` is a well-formed IBAN with correct check digits (spaces allowed); otherwise
// the German message for the user.
QString ibanProblem(const QString& iban);
// The IBAN in groups of four, as it is printed.
QString groupedIban(const QString& iban);

// An amount as the sheet shows it ("86765,88") with its thousands grouped ("86.765,88"), the
// group separator being the one that goes with `decimal` ("." for ",", "," otherwise). Texts that
// are no plain decimal number stay as they are.
QString groupedAmount(const QString& shown, QChar decimal);
// The amount in whole cents of a text the sheet shows; nothing for any other text.
std::optional<long long> centsOf(const QString& shown, QChar decimal);
// Whole cents as an amount text with two decimals ("-1234,05").
QString centsText(long long cents, QChar decimal);

// One line of the positions table. A position with prices is the one the offer charges for; the
// positions numbered under it describe what that price includes.
struct OfferPosition {
    QString number;
    QString description;
    QString quantity;
    QString unit;
    QString unitPrice; // empty for a describing position
    QString total;     // empty for a describing position
};

// What the user decides in the offer dialog; the rest comes from the sheet and the firm data.
struct OfferChoices {
    QString number;
    QDate date;
    QDate validUntil;
    QString recipientName;
    QString recipientAddress; // lines separated by "\n"
    QString subject;
    QString introduction;
    QString workTitle; // the text of the charged position
    bool summaryOnly = false;

    static QString defaultSubject();
    static QString defaultIntroduction();
    static QString defaultWorkTitle();
};

// Everything the document shows, in its final texts.
struct OfferDocument {
    FirmData firm;
    OfferChoices choices;
    std::vector<OfferPosition> positions;
    QString net;      // "486,24 €"
    QString vatLabel; // "zzgl. MwSt. 19 %"
    QString vat;      // gross − net of the sheet, to the cent
    QString gross;
    QString currency;
};

// The descriptions of the shown layer, material and piece rows that take part in the price (a
// description typed, a sum other than zero), in sheet order.
QStringList describedRows(const Sheet& sheet);

// The offer of `sheet` as it stands, with amounts written with `decimal`.
OfferDocument buildOffer(const Sheet& sheet, const FirmData& firm, const OfferChoices& choices,
                         QChar decimal);

// A field's text as the offer prints it, trimmed and put through isolatedFieldText: one line that
// cannot reorder the text around it.
QString isolatedField(const QString& text);

// Paints the offer page by page; returns the number of pages. Throws PrintError when the device
// does not take a page.
int paintOffer(const OfferDocument& offer, QPagedPaintDevice& device);

// Prints the offer on `printer` as it is set up. Throws PrintError (no printer, printer failure).
int printOffer(const OfferDocument& offer, QPrinter& printer);

// The offer as a PDF file (title, author and creator set, fonts embedded), written with the safe
// write: the file appears only complete. Throws PrintError or IoError.
void writeOfferPdf(const OfferDocument& offer, const QString& fileName);

// The bytes of that PDF.
QByteArray offerPdf(const OfferDocument& offer);

// The file name the save dialog offers: "Angebot 2026-014 Müller.pdf", without characters that
// file systems refuse.
QString suggestedOfferFileName(const OfferDocument& offer);

} // namespace pyrelto
