#pragma once
// "Rechnung erstellen...": the invoice of the sheet as it stands, with the choices the user makes
// (kind, Leistungszeitraum, tax case, the buyer's address, VAT ID and reference). Before anything
// is issued the form lists in German what a valid invoice still lacks, and "Speichern..." stays
// off until nothing does. Saving issues the invoice through the register, which gives it its
// number and keeps its PDF (and the e-invoice for a business customer) byte for byte.

#include "calculation_file.h"
#include "firm_data.h"
#include "invoice_service.h"

#include <QDate>
#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace pyrelto {

class Sheet;
class Store;

class InvoiceDialog final : public QDialog {
public:
    InvoiceDialog(const Sheet& sheet, const CalculationExtras& extras, const FirmData& firm,
                  Store& store, const QDate& today, QWidget* parent = nullptr);

    // The choices as the form now holds them.
    InvoiceChoices choices() const;
    // What stops the invoice of the form from being issued, one German sentence each.
    std::vector<std::string> problems() const;
    // Asks for the PDF file and issues the invoice; the XML goes beside it with ".xml" for a
    // business customer.
    void save();
    // The invoice of an accepted offer: its number as the job and the reference, its recipient
    // and address.
    void takeOffer(const OfferRecord& offer);

    QComboBox* kindBox = nullptr; // Rechnung, Abschlagsrechnung, Schlussrechnung
    // The roof's area as finally measured, in m² as typed in German ("131,5"); the sheet's area
    // (the take-off's, when linked) at first.
    QLineEdit* quantityEdit = nullptr;
    QComboBox* shareUnitBox = nullptr; // the partial invoice by a share in % or by an amount in €
    QSpinBox* shareBox = nullptr;      // the partial invoice's share in %
    QLineEdit* amountEdit = nullptr;   // the partial invoice's net amount in €, typed in German
    QDateEdit* periodFromEdit = nullptr;
    QDateEdit* periodToEdit = nullptr;
    QComboBox* taxCaseBox = nullptr; // in the order of TaxCase
    QCheckBox* privateBox = nullptr;
    QPlainTextEdit* addressEdit = nullptr; // the buyer's name first, "PLZ Ort" last
    QLineEdit* vatIdEdit = nullptr;
    QLineEdit* referenceEdit = nullptr; // Leitweg-ID or the customer's reference
    QLineEdit* emailEdit = nullptr;
    QLabel* missingLabel = nullptr;
    QLabel* noteLabel = nullptr;
    QPushButton* saveButton = nullptr;

private:
    // The period edits set to the offer's Ausführungszeitraum; nothing when it has no two ends.
    void showWorkPeriod(Date from, Date until);
    void showProblems();

    const Sheet& sheet_;
    const CalculationExtras& extras_;
    FirmData firm_;
    Store& store_;
    InvoiceChoices initial_;
    // Once issued, the form makes no second invoice of the same work by a second click.
    bool issued_ = false;
};

} // namespace pyrelto
