#include "offer_dialog.h"

#include "dialogs.h"
#include "logo.h"
#include "offer_print.h"
#include "offer_service.h"
#include "printer_run.h"
#include "printout.h"
#include "qt_date.h"
#include "qt_text.h"
#include "sheet.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace pyrelto {

namespace {

QDateEdit* dateEdit(const QString& name, const QDate& date, QWidget* parent) {
    auto* edit = new QDateEdit(date, parent);
    edit->setObjectName(name);
    edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

OfferDialog::OfferDialog(const Sheet& sheet, const CalculationExtras& extras, const FirmData& firm,
                         Store& store, QPrinter& printer, const QDate& today, QWidget* parent)
    : QDialog(parent), sheet_(sheet), extras_(extras), firm_(firm), store_(store),
      printer_(printer) {
    setObjectName(QStringLiteral("OfferDialog"));
    setWindowTitle(QStringLiteral("Angebot erstellen"));
    const OfferChoices choices = newOfferChoices(sheet, store, today);

    // The register hands the numbers out, unique across the firm; none is typed.
    numberEdit = new QLineEdit(toQString(choices.number), this);
    numberEdit->setObjectName(QStringLiteral("numberEdit"));
    numberEdit->setReadOnly(true);
    numberEdit->setToolTip(QStringLiteral("Die nächste freie Nummer. Sie wird beim Speichern oder "
                                          "Drucken im Angebotsbuch vergeben; hat ein anderer "
                                          "Arbeitsplatz sie inzwischen vergeben, die nächste."));
    dateEdit = pyrelto::dateEdit(QStringLiteral("dateEdit"), toQDate(choices.date), this);
    validEdit = pyrelto::dateEdit(QStringLiteral("validEdit"), toQDate(choices.validUntil), this);
    recipientEdit = new QLineEdit(toQString(choices.recipientName), this);
    recipientEdit->setObjectName(QStringLiteral("recipientEdit"));
    addressEdit = new QPlainTextEdit(toQString(choices.recipientAddress), this);
    addressEdit->setObjectName(QStringLiteral("addressEdit"));
    addressEdit->setTabChangesFocus(true);
    addressEdit->setFixedHeight(72);
    addressEdit->setPlaceholderText(QStringLiteral("Straße und Hausnummer\nPLZ und Ort"));
    subjectEdit = new QLineEdit(toQString(choices.subject), this);
    subjectEdit->setObjectName(QStringLiteral("subjectEdit"));
    introductionEdit = new QPlainTextEdit(toQString(choices.introduction), this);
    introductionEdit->setObjectName(QStringLiteral("introductionEdit"));
    introductionEdit->setTabChangesFocus(true);
    introductionEdit->setFixedHeight(72);
    workTitleEdit = new QLineEdit(toQString(choices.workTitle), this);
    workTitleEdit->setObjectName(QStringLiteral("workTitleEdit"));
    summaryBox =
        new QCheckBox(QStringLiteral("Nur eine Sammelposition (ohne Einzelaufstellung)"), this);
    summaryBox->setObjectName(QStringLiteral("summaryBox"));

    // A customer typed in here gets the address remembered for that name, unless one is typed.
    connect(recipientEdit, &QLineEdit::editingFinished, this, [this] {
        if (!addressEdit->toPlainText().trimmed().isEmpty())
            return;
        try {
            addressEdit->setPlainText(rememberedAddress(store_, recipientEdit->text()));
        } catch (const std::exception&) {
            // The database not reachable now: the address is typed; making the offer will say
            // what is wrong.
        }
    });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Angebotsnummer:"), numberEdit);
    form->addRow(QStringLiteral("Datum:"), dateEdit);
    form->addRow(QStringLiteral("Gültig bis:"), validEdit);
    form->addRow(QStringLiteral("Empfänger:"), recipientEdit);
    form->addRow(QStringLiteral("Anschrift:"), addressEdit);
    form->addRow(QStringLiteral("Betreff:"), subjectEdit);
    form->addRow(QStringLiteral("Einleitung:"), introductionEdit);
    form->addRow(QStringLiteral("Leistung:"), workTitleEdit);
    form->addRow(QString(), summaryBox);

    noteLabel = new QLabel(this);
    noteLabel->setObjectName(QStringLiteral("noteLabel"));
    noteLabel->setWordWrap(true);
    if (!firm_.hasLetterhead()) {
        noteLabel->setText(QStringLiteral("Es sind noch keine Firmendaten hinterlegt (Datei – "
                                          "Firmendaten...). Das Angebot erscheint ohne "
                                          "Briefkopf."));
    }
    noteLabel->setVisible(!noteLabel->text().isEmpty());

    auto* buttons = new QDialogButtonBox(this);
    previewButton = buttons->addButton(QStringLiteral("Vorschau"), QDialogButtonBox::ActionRole);
    previewButton->setObjectName(QStringLiteral("previewButton"));
    pdfButton =
        buttons->addButton(QStringLiteral("Als PDF speichern..."), QDialogButtonBox::ActionRole);
    pdfButton->setObjectName(QStringLiteral("pdfButton"));
    printButton = buttons->addButton(QStringLiteral("Drucken"), QDialogButtonBox::ActionRole);
    printButton->setObjectName(QStringLiteral("printButton"));
    QPushButton* close =
        buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(previewButton, &QPushButton::clicked, this, [this] { preview(); });
    connect(pdfButton, &QPushButton::clicked, this, [this] { savePdf(); });
    connect(printButton, &QPushButton::clicked, this, [this] { print(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(noteLabel);
    layout->addWidget(buttons);
    resize(560, sizeHint().height());
}

OfferDocument OfferDialog::document() const {
    OfferChoices choices;
    choices.number = numberEdit->text().trimmed().toStdU16String();
    choices.date = toDate(dateEdit->date());
    choices.validUntil = toDate(validEdit->date());
    choices.recipientName = recipientEdit->text().trimmed().toStdU16String();
    choices.recipientAddress = addressEdit->toPlainText().trimmed().toStdU16String();
    choices.subject = subjectEdit->text().trimmed().toStdU16String();
    choices.introduction = introductionEdit->toPlainText().trimmed().toStdU16String();
    choices.workTitle = workTitleEdit->text().trimmed().toStdU16String();
    choices.summaryOnly = summaryBox->isChecked();
    FirmData firm = firm_;
    if (!firm.logoPath.empty() && !logoProblem(toQString(firm.logoPath)).isEmpty())
        firm.logoPath.clear();
    return buildOffer(sheet_, firm, choices);
}

void OfferDialog::warnAboutLogo() {
    if (logoWarned_ || firm_.logoPath.empty())
        return;
    if (const QString problem = logoProblem(toQString(firm_.logoPath)); !problem.isEmpty()) {
        logoWarned_ = true;
        dialogs().message(this, applicationTitle(),
                          problem + QStringLiteral(" Das Angebot wird ohne Logo erstellt. Unter "
                                                   "„Datei – Firmendaten...“ können Sie das Logo "
                                                   "neu wählen."),
                          Dialogs::Icon::Warning);
    }
}

void OfferDialog::issue(const QString& fileName,
                        const std::function<void(const OfferDocument&)>& make) {
    try {
        warnAboutLogo();
        OfferDocument offer = document();
        const OfferEntry entry = registerEntry(offer, sheet_, extras_, fileName);
        try {
            issueOffer(store_, offer, entry, recorded_, make);
        } catch (...) {
            if (recorded_) {
                numberEdit->setText(QString::fromStdString(recorded_->number));
                noteLabel->setText(
                    QStringLiteral("Das Angebot %1 ist im Angebotsbuch verzeichnet, aber noch "
                                   "nicht gespeichert oder gedruckt. Ein neuer Versuch verwendet "
                                   "dieselbe Nummer.")
                        .arg(numberEdit->text()));
                noteLabel->setVisible(true);
            }
            throw;
        }
        numberEdit->setText(toQString(offer.choices.number));
        noteLabel->setText(QStringLiteral("Das Angebot %1 ist im Angebotsbuch verzeichnet.")
                               .arg(numberEdit->text()));
        noteLabel->setVisible(true);
    } catch (const PrintError& e) {
        reportError(this, e.message());
    } catch (...) {
        reportCurrentException(this);
    }
}

void OfferDialog::preview() {
    try {
        warnAboutLogo();
        const OfferDocument offer = document();
        dialogs().printPreview(this, printer_, [offer](QPrinter& target) {
            // The letter's positions are taken from the paper's edge.
            target.setFullPage(true);
            paintOffer(offer, target);
        });
    } catch (const PrintError& e) {
        reportError(this, e.message());
    } catch (...) {
        reportCurrentException(this);
    }
}

void OfferDialog::savePdf() {
    std::optional<QString> name;
    try {
        name = dialogs().saveFileName(this, pdfFilter(), QStringLiteral(".pdf"),
                                      toQString(suggestedOfferFileName(document())));
    } catch (...) {
        reportCurrentException(this);
        return;
    }
    if (name)
        issue(*name, [&name](const OfferDocument& offer) { writeOfferPdf(offer, *name); });
}

void OfferDialog::print() {
    issue(QString(), [this](const OfferDocument& offer) {
        const bool fullPage = printer_.fullPage();
        printer_.setFullPage(true);
        try {
            printOffer(offer, printer_);
        } catch (...) {
            printer_.setFullPage(fullPage);
            throw;
        }
        printer_.setFullPage(fullPage);
    });
}

} // namespace pyrelto
