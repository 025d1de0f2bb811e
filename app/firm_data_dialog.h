#pragma once
// "Firmendaten...": the contractor's own data for the offer's letterhead, information block and
// footer. The IBAN is checked before the form closes; a logo is checked when it is chosen and
// copied into the program data folder when the form is accepted.

#include "firm_data.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace pyrelto {

class FirmDataDialog final : public QDialog {
public:
    explicit FirmDataDialog(const FirmData& firm, QWidget* parent = nullptr);

    // The data as entered; after accept() the logo is the copy in the program data folder.
    FirmData firmData() const;

    // "Logo wählen...": asks for a picture through the dialogs seam; a picture that cannot be
    // shown is refused with a message.
    void chooseLogo();
    void removeLogo();

    void accept() override;

    QLineEdit* nameEdit = nullptr;
    QLineEdit* contactEdit = nullptr;
    QLineEdit* streetEdit = nullptr;
    QLineEdit* townEdit = nullptr;
    QLineEdit* phoneEdit = nullptr;
    QLineEdit* emailEdit = nullptr;
    QLineEdit* webEdit = nullptr;
    QLineEdit* taxEdit = nullptr;
    QLineEdit* holderEdit = nullptr;
    QLineEdit* ibanEdit = nullptr;
    QLineEdit* bicEdit = nullptr;
    QPlainTextEdit* paymentEdit = nullptr;
    QPlainTextEdit* closingEdit = nullptr;
    QLineEdit* skontoPercentEdit = nullptr;
    QLineEdit* skontoDaysEdit = nullptr;
    // The legal form: editable, with the usual ones to pick; empty for a sole trader.
    QComboBox* legalFormBox = nullptr;
    QLineEdit* seatEdit = nullptr; // Sitz der Gesellschaft
    QLineEdit* registerCourtEdit = nullptr;
    QLineEdit* registerNumberEdit = nullptr;
    QLineEdit* directorEdit = nullptr;
    QComboBox* contractBasisBox = nullptr; // in the order of ContractBasis
    QLabel* logoLabel = nullptr;

    static QString logoFilter() { return QStringLiteral("Bilder|*.png;*.jpg;*.jpeg;*.svg"); }

private:
    void showLogo();
    QString logo_; // the stored copy, or a newly chosen original until accept()
    bool logoChosen_ = false;
};

} // namespace pyrelto
