#include "invoice_dialog.h"

#include "dialogs.h"
#include "field_frames.h"
#include "qt_date.h"
#include "qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace pyrelto {

namespace {

QString qt(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string trimmed(const QString& text) {
    return text.trimmed().toStdString();
}

} // namespace

InvoiceDialog::InvoiceDialog(const Sheet& sheet, const CalculationExtras& extras,
                             const FirmData& firm, Store& store, const QDate& today,
                             QWidget* parent)
    : QDialog(parent), sheet_(sheet), extras_(extras), firm_(firm), store_(store),
      initial_(newInvoiceChoices(sheet, extras, store, today)) {
    setWindowTitle(QStringLiteral("Rechnung erstellen"));
    auto* form = new QFormLayout;
    kindBox = new QComboBox(this);
    kindBox->addItems({QStringLiteral("Rechnung"), QStringLiteral("Abschlagsrechnung"),
                       QStringLiteral("Schlussrechnung")});
    form->addRow(QStringLiteral("&Art:"), kindBox);
    quantityEdit = new QLineEdit(this);
    // A sheet that shows no plain area charges its net as a lump sum; there is nothing to measure.
    if (const auto area = sheetAreaHundredths(sheet))
        quantityEdit->setText(qt(germanAmount(Money::fromCents(*area))));
    else
        quantityEdit->setEnabled(false);
    form->addRow(QStringLiteral("&Menge (Dachfläche m²):"), quantityEdit);
    shareUnitBox = new QComboBox(this);
    shareUnitBox->addItems({QStringLiteral("%"), QStringLiteral("€ netto")});
    shareBox = new QSpinBox(this);
    shareBox->setRange(1, 99);
    shareBox->setValue(30);
    shareBox->setSuffix(QStringLiteral(" %"));
    amountEdit = new QLineEdit(this);
    amountEdit->setPlaceholderText(QStringLiteral("z. B. 12.500,00"));
    auto* share = new QHBoxLayout;
    share->addWidget(shareUnitBox);
    share->addWidget(shareBox);
    share->addWidget(amountEdit);
    auto* shareLabel = new QLabel(QStringLiteral("&Abschlag:"), this);
    shareLabel->setBuddy(shareUnitBox);
    form->addRow(shareLabel, share);
    // Empty until the user sets them, or the Ausführungszeitraum of the job's offer: the
    // Leistungszeitraum is never guessed.
    periodFromEdit = new QDateEdit(this);
    periodToEdit = new QDateEdit(this);
    for (QDateEdit* edit : {periodFromEdit, periodToEdit}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        edit->setMinimumDate(QDate(2000, 1, 1));
        edit->setSpecialValueText(QStringLiteral(" "));
        edit->setDate(edit->minimumDate());
    }
    showWorkPeriod(initial_.periodStart, initial_.periodEnd);
    form->addRow(QStringLiteral("Leistungszeitraum &von:"), periodFromEdit);
    form->addRow(QStringLiteral("&bis:"), periodToEdit);
    taxCaseBox = new QComboBox(this);
    taxCaseBox->addItems({QStringLiteral("Umsatzsteuer nach Regelsatz"),
                          QStringLiteral("§ 13b UStG (Steuerschuldnerschaft des Kunden)"),
                          QStringLiteral("§ 19 UStG (Kleinunternehmer)")});
    form->addRow(QStringLiteral("&Steuer:"), taxCaseBox);
    privateBox = new QCheckBox(QStringLiteral("&Privatkunde (§ 35a EStG, keine E-Rechnung)"), this);
    form->addRow(QString(), privateBox);
    addressEdit = new QPlainTextEdit(this);
    QStringList lines;
    for (const std::string& line : initial_.addressLines)
        lines << qt(line);
    addressEdit->setPlainText(lines.join(QLatin1Char('\n')));
    form->addRow(QStringLiteral("An&schrift:"), addressEdit);
    vatIdEdit = new QLineEdit(this);
    form->addRow(QStringLiteral("&USt-IdNr. des Kunden:"), vatIdEdit);
    referenceEdit = new QLineEdit(qt(initial_.offerNumber), this);
    form->addRow(QStringLiteral("&Referenz / Leitweg-ID:"), referenceEdit);
    emailEdit = new QLineEdit(this);
    form->addRow(QStringLiteral("&E-Mail für die E-Rechnung:"), emailEdit);

    missingLabel = new QLabel(this);
    missingLabel->setWordWrap(true);
    noteLabel = new QLabel(this);
    noteLabel->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    saveButton = buttons->addButton(QStringLiteral("&Speichern..."), QDialogButtonBox::ActionRole);
    connect(saveButton, &QPushButton::clicked, this, &InvoiceDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    keepFieldsFramed({quantityEdit, shareBox, amountEdit, periodFromEdit, periodToEdit, addressEdit,
                      vatIdEdit, referenceEdit, emailEdit});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(missingLabel);
    layout->addWidget(noteLabel);
    layout->addWidget(buttons);

    const auto refresh = [this] { showProblems(); };
    connect(kindBox, &QComboBox::currentIndexChanged, this, refresh);
    connect(shareBox, &QSpinBox::valueChanged, this, refresh);
    connect(shareUnitBox, &QComboBox::currentIndexChanged, this, refresh);
    for (QLineEdit* edit : {quantityEdit, amountEdit})
        connect(edit, &QLineEdit::textChanged, this, refresh);
    connect(periodFromEdit, &QDateEdit::dateChanged, this, refresh);
    connect(periodToEdit, &QDateEdit::dateChanged, this, refresh);
    connect(taxCaseBox, &QComboBox::currentIndexChanged, this, refresh);
    connect(privateBox, &QCheckBox::toggled, this, refresh);
    connect(addressEdit, &QPlainTextEdit::textChanged, this, refresh);
    for (QLineEdit* edit : {vatIdEdit, referenceEdit, emailEdit})
        connect(edit, &QLineEdit::textChanged, this, refresh);
    showProblems();
}

InvoiceChoices InvoiceDialog::choices() const {
    InvoiceChoices choices = initial_;
    const std::array kinds{InvoiceKind::Invoice, InvoiceKind::Partial, InvoiceKind::Final};
    choices.kind = kinds.at(static_cast<std::size_t>(std::max(0, kindBox->currentIndex())));
    choices.partialHundredths = shareBox->value() * 100;
    // Text that reads as no number leaves the choice out; problems() names it.
    choices.partialNet.reset();
    if (shareUnitBox->currentIndex() == 1)
        if (const auto net = parseDecimalHundredths(trimmed(amountEdit->text())))
            choices.partialNet = Money::fromCents(*net);
    choices.areaHundredths = quantityEdit->isEnabled()
                                 ? parseDecimalHundredths(trimmed(quantityEdit->text()))
                                 : std::nullopt;
    const auto period = [](const QDateEdit* edit) {
        return edit->date() == edit->minimumDate() ? Date{} : toDate(edit->date());
    };
    choices.periodStart = period(periodFromEdit);
    choices.periodEnd = period(periodToEdit);
    choices.taxCase = static_cast<TaxCase>(std::max(0, taxCaseBox->currentIndex()));
    choices.privateCustomer = privateBox->isChecked();
    choices.addressLines.clear();
    for (const QString& line : addressEdit->toPlainText().split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            choices.addressLines.push_back(trimmed(line));
    choices.buyerVatId = trimmed(vatIdEdit->text());
    choices.buyerReference = trimmed(referenceEdit->text());
    choices.buyerEmail = trimmed(emailEdit->text());
    return choices;
}

std::vector<std::string> InvoiceDialog::problems() const {
    if (quantityEdit->isEnabled() && !parseDecimalHundredths(trimmed(quantityEdit->text())))
        return {"Die Menge (Dachfläche) „" + trimmed(quantityEdit->text()) +
                "“ ist keine Zahl in m² (z. B. 131,5)."};
    if (kindBox->currentIndex() == 1 && shareUnitBox->currentIndex() == 1 &&
        !parseDecimalHundredths(trimmed(amountEdit->text())))
        return {"Der Betrag der Abschlagsrechnung „" + trimmed(amountEdit->text()) +
                "“ ist kein Betrag in Euro (z. B. 12.500,00)."};
    try {
        const InvoiceChoices current = choices();
        return invoiceProblems(prepareInvoice(sheet_, firm_, current, store_),
                               !current.privateCustomer);
    } catch (const std::exception& e) {
        return {e.what()};
    }
}

void InvoiceDialog::showProblems() {
    const auto missing = problems();
    const bool partial = kindBox->currentIndex() == 1;
    const bool byAmount = shareUnitBox->currentIndex() == 1;
    shareUnitBox->setEnabled(partial);
    shareBox->setEnabled(partial);
    amountEdit->setEnabled(partial);
    shareBox->setVisible(!byAmount);
    amountEdit->setVisible(byAmount);
    saveButton->setEnabled(missing.empty() && !issued_);
    if (missing.empty()) {
        missingLabel->setText(QStringLiteral("Die Rechnung ist vollständig."));
        return;
    }
    QString text = QStringLiteral("Für eine gültige Rechnung fehlt noch:");
    for (const std::string& item : missing)
        text += QStringLiteral("\n• ") + qt(item);
    missingLabel->setText(text);
}

void InvoiceDialog::takeOffer(const OfferRecord& offer) {
    initial_.offerNumber = offer.number;
    referenceEdit->setText(qt(offer.number));
    QStringList lines{qt(offer.entry.customer)};
    for (const QString& line : qt(offer.entry.address).split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    addressEdit->setPlainText(lines.join(QLatin1Char('\n')));
    const auto from = parseIsoDate(offer.entry.workFrom);
    const auto until = parseIsoDate(offer.entry.workUntil);
    if (from && until)
        showWorkPeriod(*from, *until);
    showProblems();
}

void InvoiceDialog::showWorkPeriod(Date from, Date until) {
    if (!from.isSet() || !until.isSet())
        return;
    periodFromEdit->setDate(toQDate(from));
    periodToEdit->setDate(toQDate(until));
}

void InvoiceDialog::save() {
    if (issued_ || !problems().empty())
        return;
    const auto file = dialogs().saveFileName(this, QStringLiteral("PDF-Dokument (*.pdf)|*.pdf"),
                                             QStringLiteral(".pdf"));
    if (!file)
        return;
    try {
        const InvoiceChoices current = choices();
        const bool withXml = !current.privateCustomer;
        const Invoice invoice = prepareInvoice(sheet_, firm_, current, store_);
        const InvoiceRecord record =
            issueInvoiceRecord(store_, invoice, withXml, letterheadOf(firm_),
                               invoiceCalculation(sheet_, extras_, current));
        issued_ = true;
        const QString number = qt(record.summary.number);
        noteLabel->setText(QStringLiteral("Rechnung %1 ist ausgestellt.").arg(number));
        try {
            writeDocumentFile(*file, record.documents.pdf);
            if (withXml) {
                QString xml = *file;
                if (xml.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
                    xml.chop(4);
                writeDocumentFile(xml + QStringLiteral(".xml"), record.documents.xml);
            }
        } catch (const std::exception& e) {
            noteLabel->setText(QStringLiteral("Rechnung %1 ist ausgestellt und im Rechnungsbuch; "
                                              "die Datei wurde nicht geschrieben: %2")
                                   .arg(number, QString::fromUtf8(e.what())));
            throw;
        }
        showProblems();
    } catch (const std::exception& e) {
        dialogs().message(this, QString(), QString::fromUtf8(e.what()), Dialogs::Icon::Error);
    }
}

} // namespace pyrelto
