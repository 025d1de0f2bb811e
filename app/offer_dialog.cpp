#include "offer_dialog.h"

#include "dialogs.h"
#include "field_frames.h"
#include "logo.h"
#include "offer_print.h"
#include "offer_service.h"
#include "printer_run.h"
#include "printout.h"
#include "qt_date.h"
#include "qt_text.h"
#include "sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

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
      printer_(printer), today_(today) {
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
    taxCaseBox = new QComboBox(this);
    taxCaseBox->setObjectName(QStringLiteral("taxCaseBox"));
    taxCaseBox->addItems({QStringLiteral("Umsatzsteuer ausweisen"),
                          QStringLiteral("Bauleistung an ein Bauunternehmen (§ 13b UStG)"),
                          QStringLiteral("Kleinunternehmer (§ 19 UStG)")});
    privateBox =
        new QCheckBox(QStringLiteral("Privatkunde: Arbeitskosten nach § 35a EStG ausweisen"), this);
    privateBox->setObjectName(QStringLiteral("privateBox"));
    siteEdit = new QPlainTextEdit(toQString(choices.site), this);
    siteEdit->setObjectName(QStringLiteral("siteEdit"));
    siteEdit->setTabChangesFocus(true);
    siteEdit->setFixedHeight(48);
    siteEdit->setPlaceholderText(
        QStringLiteral("Nur wenn es nicht die Anschrift des Empfängers ist"));
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("periodBox"));
    periodBox->addItems({QStringLiteral("keine Angabe"), QStringLiteral("nach Vereinbarung"),
                         QStringLiteral("Zeitraum:")});
    periodFromEdit = pyrelto::dateEdit(QStringLiteral("periodFromEdit"), today.addDays(28), this);
    periodUntilEdit = pyrelto::dateEdit(QStringLiteral("periodUntilEdit"), today.addDays(35), this);
    const auto showPeriod = [this] {
        const bool dates = periodBox->currentIndex() == 2;
        periodFromEdit->setEnabled(dates);
        periodUntilEdit->setEnabled(dates);
    };
    connect(periodBox, &QComboBox::currentIndexChanged, this, showPeriod);
    showPeriod();
    instalmentsEdit = new QLineEdit(this);
    instalmentsEdit->setObjectName(QStringLiteral("instalmentsEdit"));
    instalmentsEdit->setPlaceholderText(
        QStringLiteral("z. B. 30, 40 (Rest mit der Schlussrechnung)"));
    signatureBox = new QCheckBox(QStringLiteral("Unterschriftszeile"), this);
    signatureBox->setObjectName(QStringLiteral("signatureBox"));
    signatureBox->setChecked(choices.signatureLine);
    acceptanceBox =
        new QCheckBox(QStringLiteral("Auftragserteilung zum Unterschreiben anhängen"), this);
    acceptanceBox->setObjectName(QStringLiteral("acceptanceBox"));
    acceptanceBox->setChecked(choices.acceptanceSlip);
    takeOffBox = new QCheckBox(QStringLiteral("Aufmaß als Anlage beifügen"), this);
    takeOffBox->setObjectName(QStringLiteral("takeOffBox"));
    // Off until the user wants it; never with a take-off that has no sound total, which would
    // show the customer an area the offer does not charge.
    const std::optional<TakeOffTotals> totals =
        !extras_.takeOff.empty() ? computeTakeOff(extras_.takeOff).totals : std::nullopt;
    takeOffBox->setEnabled(totals.has_value());
    QString tip =
        totals ? QStringLiteral("Hängt die Aufmaß-Seiten an: jede Fläche mit Zeichnung und "
                                "Rechenweg, Abzüge, Kanten und Summen.")
        : !extras_.takeOff.empty()
            ? QStringLiteral("Das Aufmaß hat Fehler (Reiter „Aufmaß“) und kann nicht beigefügt "
                             "werden.")
            : QStringLiteral("Diese Kalkulation hat kein Aufmaß (Reiter „Aufmaß“).");
    const long double area = sheet_.number(FieldId::Dach14Ed).GetValue();
    if (totals && std::isfinite(area) &&
        std::llround(area * 100.0L) != static_cast<long long>(totals->net))
        tip += QStringLiteral(" Achtung: die Dachfläche der Kalkulation (%1 m²) weicht vom Aufmaß "
                              "(%2 m²) ab.")
                   .arg(toQString(sheet_.shownText(FieldId::Dach14Ed)),
                        toQString(
                            formatHundredths(totals->net, sheet_.numberFormat().decimalSeparator)));
    takeOffBox->setToolTip(tip);

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
    form->addRow(QStringLiteral("Bauvorhaben:"), siteEdit);
    form->addRow(QStringLiteral("Betreff:"), subjectEdit);
    form->addRow(QStringLiteral("Einleitung:"), introductionEdit);
    form->addRow(QStringLiteral("Leistung:"), workTitleEdit);
    form->addRow(QString(), summaryBox);
    form->addRow(QStringLiteral("Steuer:"), taxCaseBox);
    form->addRow(QString(), privateBox);
    auto* periodRow = new QHBoxLayout;
    periodRow->addWidget(periodBox);
    periodRow->addWidget(periodFromEdit);
    periodRow->addWidget(new QLabel(QStringLiteral("bis"), this));
    periodRow->addWidget(periodUntilEdit);
    form->addRow(QStringLiteral("Ausführungszeitraum:"), periodRow);
    form->addRow(QStringLiteral("Abschläge (%):"), instalmentsEdit);
    auto* signRow = new QHBoxLayout;
    signRow->addWidget(signatureBox);
    signRow->addWidget(acceptanceBox);
    signRow->addStretch();
    form->addRow(QString(), signRow);
    form->addRow(QString(), takeOffBox);

    noteLabel = new QLabel(this);
    noteLabel->setObjectName(QStringLiteral("noteLabel"));
    noteLabel->setWordWrap(true);
    connect(recipientEdit, &QLineEdit::textChanged, this, [this] { showNote(); });
    connect(addressEdit, &QPlainTextEdit::textChanged, this, [this] { showNote(); });
    connect(instalmentsEdit, &QLineEdit::textChanged, this, [this] { showNote(); });
    showNote();

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

    keepFieldsFramed({numberEdit, dateEdit, validEdit, recipientEdit, addressEdit, siteEdit,
                      subjectEdit, introductionEdit, workTitleEdit, periodFromEdit, periodUntilEdit,
                      instalmentsEdit});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(noteLabel);
    layout->addWidget(buttons);
    resize(560, sizeHint().height());
}

void OfferDialog::showNote() {
    QStringList notes;
    if (!firm_.hasLetterhead())
        notes << QStringLiteral("Es sind noch keine Firmendaten hinterlegt (Datei – "
                                "Firmendaten...). Das Angebot erscheint ohne Briefkopf.");
    OfferChoices choices;
    choices.recipientName = recipientEdit->text().toStdU16String();
    choices.recipientAddress = addressEdit->toPlainText().toStdU16String();
    if (const std::size_t lines = recipientLines(choices).size(); lines > kAddressWindowLines)
        notes << QStringLiteral("Empfänger und Anschrift haben %1 Zeilen; ins Fenster des "
                                "Briefumschlags passen %2.")
                     .arg(lines)
                     .arg(kAddressWindowLines);
    if (const QString note = instalmentsNote(); !note.isEmpty())
        notes << note;
    if (!issuedNote_.isEmpty())
        notes << issuedNote_;
    noteLabel->setText(notes.join(QLatin1Char(' ')));
    noteLabel->setVisible(!notes.isEmpty());
}

QString OfferDialog::instalmentsNote() const {
    const auto instalments = parseInstalments(instalmentsEdit->text().toStdU16String());
    if (!instalments)
        return QStringLiteral("Die Abschläge „%1“ sind keine Prozentangaben (zum Beispiel „30, "
                              "40“); der Zahlungsplan wird nicht gedruckt.")
            .arg(instalmentsEdit->text().trimmed());
    return {};
}

bool OfferDialog::confirmOutput(const OfferDocument& offer) {
    QStringList problems;
    if (const QString note = instalmentsNote(); !note.isEmpty())
        problems << note;
    for (const std::u16string& gap : offerGaps(sheet_, offer.choices))
        problems << toQString(gap);
    problems << offerLayoutProblems(offer);
    if (problems.isEmpty())
        return true;
    QString text = QStringLiteral("Bitte prüfen Sie das Angebot, bevor es hinausgeht:\n");
    for (const QString& problem : problems)
        text += QStringLiteral("\n• ") + problem;
    text += QStringLiteral("\n\nSoll das Angebot trotzdem erstellt werden?");
    return dialogs().question(this, applicationTitle(), text, Dialogs::Answer::No) ==
           Dialogs::Answer::Yes;
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
    choices.taxCase = static_cast<TaxCase>(taxCaseBox->currentIndex());
    choices.privateCustomer = privateBox->isChecked();
    choices.site = siteEdit->toPlainText().trimmed().toStdU16String();
    choices.period.byArrangement = periodBox->currentIndex() == 1;
    if (periodBox->currentIndex() == 2) {
        choices.period.from = toDate(periodFromEdit->date());
        choices.period.until = toDate(periodUntilEdit->date());
    }
    choices.instalments =
        parseInstalments(instalmentsEdit->text().toStdU16String()).value_or(std::vector<int>());
    choices.signatureLine = signatureBox->isChecked();
    choices.acceptanceSlip = acceptanceBox->isChecked();
    choices.takeOffPages = takeOffBox->isEnabled() && takeOffBox->isChecked();
    FirmData firm = firm_;
    if (!firm.logoPath.empty() && !logoProblem(toQString(firm.logoPath)).isEmpty())
        firm.logoPath.clear();
    return buildOffer(sheet_, firm, choices);
}

TakeOffPrint offerAttachment(const OfferDocument& offer, const Sheet& sheet,
                             const TakeOff& takeOff) {
    if (!offer.choices.takeOffPages || takeOff.empty() || !computeTakeOff(takeOff).totals)
        return {};
    TakeOffPrint print;
    print.takeOff = &takeOff;
    print.separator = sheet.numberFormat().decimalSeparator;
    print.offer = true;
    print.subtitle = QStringLiteral("zum Angebot %1 vom %2")
                         .arg(toQString(offer.choices.number).trimmed(),
                              toQString(germanDate(offer.choices.date)));
    const long double area = sheet.number(FieldId::Dach14Ed).GetValue();
    if (std::isfinite(area) && std::fabs(area) < 1e15L)
        print.sheetArea = static_cast<Hundredths>(std::llround(area * 100.0L));
    return print;
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

bool OfferDialog::mayGoOut() {
    try {
        warnAboutLogo();
        // Before an offer goes out the user hears what it does not show, and may go back.
        return confirmOutput(document());
    } catch (...) {
        reportCurrentException(this);
        return false;
    }
}

void OfferDialog::issue(const QString& fileName,
                        const std::function<void(const OfferDocument&)>& make) {
    try {
        OfferDocument offer = document();
        const OfferEntry entry = registerEntry(offer, sheet_, extras_, fileName);
        try {
            issueOffer(store_, offer, entry, recorded_, make);
        } catch (...) {
            if (recorded_) {
                numberEdit->setText(QString::fromStdString(recorded_->number));
                issuedNote_ =
                    QStringLiteral("Das Angebot %1 ist im Angebotsbuch verzeichnet, aber noch "
                                   "nicht gespeichert oder gedruckt. Ein neuer Versuch verwendet "
                                   "dieselbe Nummer.")
                        .arg(numberEdit->text());
                showNote();
            }
            throw;
        }
        // The number is used up: another save or print from this form is another offer, under
        // the next free number, never this one again without a word.
        recorded_.reset();
        numberEdit->setText(
            QString::fromStdString(store_.peekNumber(kOfferCounter, today_.year())));
        issuedNote_ = QStringLiteral("Das Angebot %1 ist im Angebotsbuch verzeichnet; ein "
                                     "weiteres erhält die Nummer %2.")
                          .arg(toQString(offer.choices.number), numberEdit->text());
        showNote();
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
        dialogs().printPreview(
            this, printer_,
            [offer, attached = offerAttachment(offer, sheet_, extras_.takeOff)](QPrinter& target) {
                // The letter's positions are taken from the paper's edge.
                target.setFullPage(true);
                paintOffer(offer, target, attached);
            });
    } catch (const PrintError& e) {
        reportError(this, e.message());
    } catch (...) {
        reportCurrentException(this);
    }
}

void OfferDialog::savePdf() {
    if (!mayGoOut())
        return;
    std::optional<QString> name;
    try {
        name = dialogs().saveFileName(this, pdfFilter(), QStringLiteral(".pdf"),
                                      toQString(suggestedOfferFileName(document())));
    } catch (...) {
        reportCurrentException(this);
        return;
    }
    if (name)
        issue(*name, [this, &name](const OfferDocument& offer) {
            writeOfferPdf(offer, *name, offerAttachment(offer, sheet_, extras_.takeOff));
        });
}

void OfferDialog::print() {
    if (!mayGoOut())
        return;
    issue(QString(), [this](const OfferDocument& offer) {
        const bool fullPage = printer_.fullPage();
        printer_.setFullPage(true);
        try {
            printOffer(offer, printer_, offerAttachment(offer, sheet_, extras_.takeOff));
        } catch (...) {
            printer_.setFullPage(fullPage);
            throw;
        }
        printer_.setFullPage(fullPage);
    });
}

} // namespace pyrelto
