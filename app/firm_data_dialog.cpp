#include "firm_data_dialog.h"

#include "dialogs.h"
#include "logo.h"
#include "offer_service.h"
#include "qt_text.h"
#include "service_error.h"

#include <QComboBox>
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
    : QDialog(parent), logo_(toQString(firm.logoPath)) {
    setObjectName(QStringLiteral("FirmDataDialog"));
    setWindowTitle(QStringLiteral("Firmendaten"));
    auto* form = new QFormLayout;
    nameEdit = lineEdit(QStringLiteral("nameEdit"), toQString(firm.name), this);
    contactEdit = lineEdit(QStringLiteral("contactEdit"), toQString(firm.contact), this);
    streetEdit = lineEdit(QStringLiteral("streetEdit"), toQString(firm.street), this);
    townEdit = lineEdit(QStringLiteral("townEdit"), toQString(firm.postcodeTown), this);
    phoneEdit = lineEdit(QStringLiteral("phoneEdit"), toQString(firm.phone), this);
    emailEdit = lineEdit(QStringLiteral("emailEdit"), toQString(firm.email), this);
    webEdit = lineEdit(QStringLiteral("webEdit"), toQString(firm.web), this);
    taxEdit = lineEdit(QStringLiteral("taxEdit"), toQString(firm.taxId), this);
    holderEdit = lineEdit(QStringLiteral("holderEdit"), toQString(firm.accountHolder), this);
    ibanEdit = lineEdit(QStringLiteral("ibanEdit"), toQString(firm.iban), this);
    bicEdit = lineEdit(QStringLiteral("bicEdit"), toQString(firm.bic), this);
    paymentEdit = textEdit(QStringLiteral("paymentEdit"), toQString(firm.paymentTerms), this);
    closingEdit = textEdit(QStringLiteral("closingEdit"), toQString(firm.closingText), this);
    skontoPercentEdit =
        lineEdit(QStringLiteral("skontoPercentEdit"), toQString(firm.skontoPercent), this);
    skontoPercentEdit->setPlaceholderText(QStringLiteral("z. B. 2"));
    skontoDaysEdit = lineEdit(QStringLiteral("skontoDaysEdit"), toQString(firm.skontoDays), this);
    skontoDaysEdit->setPlaceholderText(QStringLiteral("z. B. 10"));
    legalFormBox = new QComboBox(this);
    legalFormBox->setObjectName(QStringLiteral("legalFormBox"));
    legalFormBox->setEditable(true);
    legalFormBox->addItems({QString(), QStringLiteral("GmbH"),
                            QStringLiteral("UG (haftungsbeschränkt)"), QStringLiteral("KG"),
                            QStringLiteral("GmbH & Co. KG")});
    legalFormBox->setCurrentText(toQString(firm.legalForm));
    legalFormBox->setToolTip(QStringLiteral("Leer für ein Einzelunternehmen: Dann steht der "
                                            "Ansprechpartner als Inhaber in der Fußzeile."));
    seatEdit = lineEdit(QStringLiteral("seatEdit"), toQString(firm.registeredSeat), this);
    seatEdit->setPlaceholderText(QStringLiteral("z. B. Kassel"));
    registerCourtEdit =
        lineEdit(QStringLiteral("registerCourtEdit"), toQString(firm.registerCourt), this);
    registerCourtEdit->setPlaceholderText(QStringLiteral("z. B. Amtsgericht Kassel"));
    registerNumberEdit =
        lineEdit(QStringLiteral("registerNumberEdit"), toQString(firm.registerNumber), this);
    registerNumberEdit->setPlaceholderText(QStringLiteral("z. B. HRB 12345"));
    directorEdit = lineEdit(QStringLiteral("directorEdit"), toQString(firm.managingDirector), this);
    contractBasisBox = new QComboBox(this);
    contractBasisBox->setObjectName(QStringLiteral("contractBasisBox"));
    contractBasisBox->addItems({QStringLiteral("keine Angabe"), QStringLiteral("VOB/B"),
                                QStringLiteral("BGB (Werkvertrag)")});
    contractBasisBox->setCurrentIndex(static_cast<int>(firm.contractBasis));
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
    form->addRow(QStringLiteral("Rechtsform:"), legalFormBox);
    form->addRow(QStringLiteral("Sitz der Gesellschaft:"), seatEdit);
    form->addRow(QStringLiteral("Registergericht:"), registerCourtEdit);
    form->addRow(QStringLiteral("Registernummer:"), registerNumberEdit);
    form->addRow(QStringLiteral("Geschäftsführer:"), directorEdit);

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
    auto* skontoRow = new QHBoxLayout;
    skontoRow->addWidget(skontoPercentEdit);
    skontoRow->addWidget(new QLabel(QStringLiteral("% bei Zahlung innerhalb von"), this));
    skontoRow->addWidget(skontoDaysEdit);
    skontoRow->addWidget(new QLabel(QStringLiteral("Tagen"), this));
    form->addRow(QStringLiteral("Skonto:"), skontoRow);
    form->addRow(QStringLiteral("Vertragsgrundlage:"), contractBasisBox);
    form->addRow(QStringLiteral("Schlusstext:"), closingEdit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    // Tab goes down the form as it is shown: the logo's buttons sit between the bank data and
    // the texts, though they were made after them.
    QWidget* previous = bicEdit;
    for (QWidget* next : std::initializer_list<QWidget*>{
             legalFormBox, seatEdit, registerCourtEdit, registerNumberEdit, directorEdit, choose,
             remove, paymentEdit, skontoPercentEdit, skontoDaysEdit, contractBasisBox,
             closingEdit}) {
        setTabOrder(previous, next);
        previous = next;
    }
    showLogo();
    resize(520, sizeHint().height());
}

FirmData FirmDataDialog::firmData() const {
    FirmData firm;
    firm.name = nameEdit->text().trimmed().toStdU16String();
    firm.contact = contactEdit->text().trimmed().toStdU16String();
    firm.street = streetEdit->text().trimmed().toStdU16String();
    firm.postcodeTown = townEdit->text().trimmed().toStdU16String();
    firm.phone = phoneEdit->text().trimmed().toStdU16String();
    firm.email = emailEdit->text().trimmed().toStdU16String();
    firm.web = webEdit->text().trimmed().toStdU16String();
    firm.taxId = taxEdit->text().trimmed().toStdU16String();
    firm.accountHolder = holderEdit->text().trimmed().toStdU16String();
    firm.iban = groupedIban(ibanEdit->text().toStdU16String());
    firm.bic = bicEdit->text().trimmed().toUpper().toStdU16String();
    firm.logoPath = logo_.toStdU16String();
    firm.paymentTerms = paymentEdit->toPlainText().trimmed().toStdU16String();
    firm.closingText = closingEdit->toPlainText().trimmed().toStdU16String();
    firm.skontoPercent = skontoPercentEdit->text().trimmed().toStdU16String();
    firm.skontoDays = skontoDaysEdit->text().trimmed().toStdU16String();
    firm.legalForm = legalFormBox->currentText().trimmed().toStdU16String();
    firm.registerCourt = registerCourtEdit->text().trimmed().toStdU16String();
    firm.registerNumber = registerNumberEdit->text().trimmed().toStdU16String();
    firm.registeredSeat = seatEdit->text().trimmed().toStdU16String();
    firm.managingDirector = directorEdit->text().trimmed().toStdU16String();
    firm.contractBasis = static_cast<ContractBasis>(contractBasisBox->currentIndex());
    return firm;
}

void FirmDataDialog::showLogo() {
    logoLabel->setText(logo_.isEmpty() ? QStringLiteral("(kein Logo)")
                                       : QFileInfo(logo_).fileName());
}

void FirmDataDialog::chooseLogo() {
    const auto name = dialogs().openFileName(this, logoFilter(), QStringLiteral(".png"),
                                             QStringLiteral("Logo wählen"));
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
    if (const QString problem = toQString(ibanProblem(ibanEdit->text().toStdU16String()));
        !problem.isEmpty()) {
        dialogs().message(this, applicationTitle(), problem, Dialogs::Icon::Warning);
        ibanEdit->setFocus();
        return;
    }
    if (const QString problem = toQString(skontoProblem(skontoPercentEdit->text().toStdU16String(),
                                                        skontoDaysEdit->text().toStdU16String()));
        !problem.isEmpty()) {
        dialogs().message(this, applicationTitle(), problem, Dialogs::Icon::Warning);
        skontoPercentEdit->setFocus();
        return;
    }
    if (logoChosen_) {
        try {
            logo_ = copyLogo(logo_);
            logoChosen_ = false;
        } catch (const ServiceError& e) {
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
