#include "firm_data_dialog.h"

#include "dialogs.h"
#include "offer_service.h"
#include "printout.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pyrelto {

namespace {

QLineEdit* lineEdit(const QString& name, const QString& text, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    return edit;
}

QPlainTextEdit* textEdit(const QString& name, const QString& text, QWidget* parent) {
    auto* edit = new QPlainTextEdit(text, parent);
    edit->setObjectName(name);
    edit->setTabChangesFocus(true);
    edit->setFixedHeight(64);
    return edit;
}

} // namespace

FirmDataDialog::FirmDataDialog(const FirmData& firm, QWidget* parent)
    : QDialog(parent), logo_(firm.logoPath) {
    setObjectName(QStringLiteral("FirmDataDialog"));
    setWindowTitle(QStringLiteral("Firmendaten"));
    auto* form = new QFormLayout;
    nameEdit = lineEdit(QStringLiteral("nameEdit"), firm.name, this);
    contactEdit = lineEdit(QStringLiteral("contactEdit"), firm.contact, this);
    streetEdit = lineEdit(QStringLiteral("streetEdit"), firm.street, this);
    townEdit = lineEdit(QStringLiteral("townEdit"), firm.postcodeTown, this);
    phoneEdit = lineEdit(QStringLiteral("phoneEdit"), firm.phone, this);
    emailEdit = lineEdit(QStringLiteral("emailEdit"), firm.email, this);
    webEdit = lineEdit(QStringLiteral("webEdit"), firm.web, this);
    taxEdit = lineEdit(QStringLiteral("taxEdit"), firm.taxId, this);
    holderEdit = lineEdit(QStringLiteral("holderEdit"), firm.accountHolder, this);
    ibanEdit = lineEdit(QStringLiteral("ibanEdit"), firm.iban, this);
    bicEdit = lineEdit(QStringLiteral("bicEdit"), firm.bic, this);
    paymentEdit = textEdit(QStringLiteral("paymentEdit"), firm.paymentTerms, this);
    closingEdit = textEdit(QStringLiteral("closingEdit"), firm.closingText, this);
    form->addRow(QStringLiteral("Firmenname:"), nameEdit);
    form->addRow(QStringLiteral("Inhaber / Ansprechpartner:"), contactEdit);
    form->addRow(QStringLiteral("Straße und Hausnummer:"), streetEdit);
    form->addRow(QStringLiteral("PLZ und Ort:"), townEdit);
    form->addRow(QStringLiteral("Telefon:"), phoneEdit);
    form->addRow(QStringLiteral("E-Mail:"), emailEdit);
    form->addRow(QStringLiteral("Internet:"), webEdit);
    form->addRow(QStringLiteral("Steuernummer / USt-IdNr.:"), taxEdit);
    form->addRow(QStringLiteral("Kontoinhaber:"), holderEdit);
    form->addRow(QStringLiteral("IBAN:"), ibanEdit);
    form->addRow(QStringLiteral("BIC:"), bicEdit);

    auto* logoRow = new QHBoxLayout;
    logoLabel = new QLabel(this);
    logoLabel->setObjectName(QStringLiteral("logoLabel"));
    auto* choose = new QPushButton(QStringLiteral("Logo wählen..."), this);
    choose->setObjectName(QStringLiteral("chooseLogoButton"));
    auto* remove = new QPushButton(QStringLiteral("Logo entfernen"), this);
    remove->setObjectName(QStringLiteral("removeLogoButton"));
    connect(choose, &QPushButton::clicked, this, [this] { chooseLogo(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeLogo(); });
    logoRow->addWidget(logoLabel, 1);
    logoRow->addWidget(choose);
    logoRow->addWidget(remove);
    form->addRow(QStringLiteral("Logo:"), logoRow);
    form->addRow(QStringLiteral("Zahlungsbedingungen:"), paymentEdit);
    form->addRow(QStringLiteral("Schlusstext:"), closingEdit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    showLogo();
    resize(520, sizeHint().height());
}

FirmData FirmDataDialog::firmData() const {
    FirmData firm;
    firm.name = nameEdit->text().trimmed();
    firm.contact = contactEdit->text().trimmed();
    firm.street = streetEdit->text().trimmed();
    firm.postcodeTown = townEdit->text().trimmed();
    firm.phone = phoneEdit->text().trimmed();
    firm.email = emailEdit->text().trimmed();
    firm.web = webEdit->text().trimmed();
    firm.taxId = taxEdit->text().trimmed();
    firm.accountHolder = holderEdit->text().trimmed();
    firm.iban = groupedIban(ibanEdit->text());
    firm.bic = bicEdit->text().trimmed().toUpper();
    firm.logoPath = logo_;
    firm.paymentTerms = paymentEdit->toPlainText().trimmed();
    firm.closingText = closingEdit->toPlainText().trimmed();
    return firm;
}

void FirmDataDialog::showLogo() {
    logoLabel->setText(logo_.isEmpty() ? QStringLiteral("(kein Logo)")
                                       : QFileInfo(logo_).fileName());
}

void FirmDataDialog::chooseLogo() {
    const auto name = dialogs().openFileName(this, logoFilter(), QStringLiteral(".png"));
    if (!name)
        return;
    if (const QString problem = logoProblem(*name); !problem.isEmpty()) {
        dialogs().message(this, applicationTitle(), problem, Dialogs::Icon::Warning);
        return;
    }
    logo_ = *name;
    logoChosen_ = true;
    showLogo();
}

void FirmDataDialog::removeLogo() {
    logo_.clear();
    logoChosen_ = false;
    showLogo();
}

void FirmDataDialog::accept() {
    if (const QString problem = ibanProblem(ibanEdit->text()); !problem.isEmpty()) {
        dialogs().message(this, applicationTitle(), problem, Dialogs::Icon::Warning);
        ibanEdit->setFocus();
        return;
    }
    if (logoChosen_) {
        try {
            logo_ = copyLogo(logo_);
            logoChosen_ = false;
        } catch (const PrintError& e) {
            dialogs().message(this, applicationTitle(), e.message(), Dialogs::Icon::Warning);
            return;
        } catch (const std::exception& e) {
            dialogs().message(this, applicationTitle(), QString::fromUtf8(e.what()),
                              Dialogs::Icon::Error);
            return;
        }
    }
    QDialog::accept();
}

} // namespace pyrelto
