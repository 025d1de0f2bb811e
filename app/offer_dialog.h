#pragma once
// "Angebot erstellen...": the offer of the sheet as it stands, filled in from the sheet, the firm
// data and the customer's remembered address, with everything the user may still change. Its
// buttons preview, save as PDF and print. An offer that goes out is first recorded in the offer
// register, which gives it its number, and keeps the address; the number shown before is the
// next free one, a preview.

#include "calculation_file.h"
#include "offer.h"
#include "offer_service.h"
#include "takeoff_print.h"

#include <QDate>
#include <QDialog>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace pyrelto {

class Sheet;
class Store;

class OfferDialog final : public QDialog {
public:
    // `extras` is what the sheet's calculation file carries after its entries (the take-off
    // among it, which the user may attach as "Aufmaß" pages), kept with the offer; `store` holds
    // the register, the addresses and the numbers; `printer` is the window's printer.
    OfferDialog(const Sheet& sheet, const CalculationExtras& extras, const FirmData& firm,
                Store& store, QPrinter& printer, const QDate& today, QWidget* parent = nullptr);

    // The offer as the form now describes it.
    OfferDocument document() const;

    void preview();
    void savePdf();
    void print();

    static QString pdfFilter() { return QStringLiteral("PDF-Dokument (*.pdf)|*.pdf"); }

    QLineEdit* numberEdit = nullptr;
    QDateEdit* dateEdit = nullptr;
    QDateEdit* validEdit = nullptr;
    QLineEdit* recipientEdit = nullptr;
    QPlainTextEdit* addressEdit = nullptr;
    QLineEdit* subjectEdit = nullptr;
    QPlainTextEdit* introductionEdit = nullptr;
    QLineEdit* workTitleEdit = nullptr;
    QCheckBox* summaryBox = nullptr;
    QComboBox* taxCaseBox = nullptr; // in the order of TaxCase
    QCheckBox* privateBox = nullptr;
    QPlainTextEdit* siteEdit = nullptr; // Bauvorhaben
    // Ausführungszeitraum: none, "nach Vereinbarung", or the two dates below.
    QComboBox* periodBox = nullptr;
    QDateEdit* periodFromEdit = nullptr;
    QDateEdit* periodUntilEdit = nullptr;
    QLineEdit* instalmentsEdit = nullptr; // Abschlagszahlungen in percent, "30, 40"
    QCheckBox* signatureBox = nullptr;
    QCheckBox* acceptanceBox = nullptr;
    // "Aufmaß als Anlage beifügen": only with a take-off that has totals.
    QCheckBox* takeOffBox = nullptr;
    QLabel* noteLabel = nullptr;
    QPushButton* previewButton = nullptr;
    QPushButton* pdfButton = nullptr;
    QPushButton* printButton = nullptr;

private:
    // Sends the offer out to `fileName` (empty: the printer) through `make`, under a number of the
    // register. A failure goes to the standard error report; an offer recorded but not made keeps
    // its number for the next try, and the note says so.
    void issue(const QString& fileName, const std::function<void(const OfferDocument&)>& make);
    void warnAboutLogo();
    // The logo warning and the question about what the offer lacks, before a number is taken:
    // false when the user goes back to the form (or the form cannot make an offer).
    bool mayGoOut();
    // The note under the form: missing firm data, an address longer than the window holds.
    void showNote();
    // False when the offer leaves something out and the user chose to go back to the form.
    bool confirmOutput(const OfferDocument& offer);
    // What the typed instalments say is wrong with them; empty when they are fine.
    QString instalmentsNote() const;

    const Sheet& sheet_;
    const CalculationExtras& extras_;
    FirmData firm_;
    Store& store_;
    QPrinter& printer_;
    bool logoWarned_ = false;
    // The offer this dialog recorded last: made again unchanged, it keeps its number.
    std::optional<RecordedOffer> recorded_;
    QDate today_;
    QString issuedNote_; // what became of the last offer that went out from this form
};

// The take-off's pages for `offer` when its choices ask for them and `takeOff` has sound totals;
// otherwise none.
TakeOffPrint offerAttachment(const OfferDocument& offer, const Sheet& sheet,
                             const TakeOff& takeOff);

} // namespace pyrelto
