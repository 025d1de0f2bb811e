#pragma once
// "Angebot erstellen...": the offer of the sheet as it stands, filled in from the sheet, the firm
// data and the customer's remembered address, with everything the user may still change. Its
// buttons preview, save as PDF and print; each offer that goes out counts the number and keeps
// the address.

#include "offer.h"
#include "takeoff_print.h"

#include <QDate>
#include <QDialog>
#include <functional>

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
class SettingsStore;

class OfferDialog final : public QDialog {
public:
    // `counter` keeps the offer numbers; `printer` is the window's printer; `takeOff` the
    // calculation's take-off, which the user may attach as "Aufmaß" pages.
    OfferDialog(const Sheet& sheet, const FirmData& firm, SettingsStore& counter, QPrinter& printer,
                const QDate& today, QWidget* parent = nullptr, const TakeOff* takeOff = nullptr);

    // The offer as the form now describes it.
    OfferDocument document() const;
    // The take-off pages to attach: none unless the box is ticked.
    TakeOffPrint attachment(const OfferDocument& offer) const;

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
    // "Aufmaß als Anlage beifügen": only with a take-off that has totals.
    QCheckBox* takeOffBox = nullptr;
    QLabel* noteLabel = nullptr;
    QPushButton* previewButton = nullptr;
    QPushButton* pdfButton = nullptr;
    QPushButton* printButton = nullptr;

private:
    // Runs one of the three outputs (`make` is false when the user cancelled); with `issues`, an
    // offer that went out is counted. A failure goes to the standard error report.
    void output(const std::function<bool(const OfferDocument&)>& make, bool issues);
    void warnAboutLogo();
    // The note under the form: missing firm data, an address longer than the window holds.
    void showNote();
    // False when the offer leaves something out and the user chose to go back to the form.
    bool confirmOutput(const OfferDocument& offer);

    const Sheet& sheet_;
    const TakeOff* takeOff_;
    FirmData firm_;
    SettingsStore& counter_;
    QPrinter& printer_;
    bool logoWarned_ = false;
    QDate today_;
    QString issued_; // the number of the last offer that went out from this form
};

} // namespace pyrelto
