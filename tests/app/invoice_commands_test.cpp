// "Rechnung erstellen..." with the real form, a real database in a temporary folder and the
// real PDF read back with pdftotext; only the dialogs are fakes.

#include "MainUnit.h"
#include "calculation_file.h"
#include "invoice_dialog.h"
#include "invoice_register_tab.h"
#include "offer_register_tab.h"
#include "pdf_reader.h"
#include "qt_strings.h"
#include "store.h"
#include "ui_test_support.h"
#include "worked_example.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeView>
#include <gtest/gtest.h>
#include <memory>

namespace pyrelto {
namespace {

using test::toStd;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class InvoiceCommandsTest : public test::UiTest {
protected:
    void SetUp() override {
        form = std::make_unique<TMainForm>();
        form->show();
        QCoreApplication::processEvents();
        test::enterWorkedExample(form->sheet());
        form->sheet().enter(FieldId::KundeEd, u"Müller");
    }
    void TearDown() override {
        form->close();
        form.reset();
    }

    void storeFirm() {
        form->programStore().setFirmData({{"Firma", "Bedachungen Kramer GmbH"},
                                          {"Ansprechpartner", "Jana Kramer"},
                                          {"Strasse", "Industriestraße 12"},
                                          {"PlzOrt", "34117 Kassel"},
                                          {"Telefon", "0561 123456"},
                                          {"EMail", "info@kramer-dach.example"},
                                          {"SteuerNr", "26/123/45678"},
                                          {"IBAN", "DE89 3704 0044 0532 0130 00"}});
    }

    std::unique_ptr<TMainForm> form;
};

QString cell(const InvoiceRegisterTab& tab, int row, int column) {
    return tab.invoiceList->model()->index(row, column).data().toString();
}

// The form names every gap before anything is issued and keeps "Speichern..." off until none is
// left; then the invoice goes out under the first number, as PDF and e-invoice, and the register
// keeps both byte for byte.
TEST_F(InvoiceCommandsTest, TheFormListsWhatIsMissingAndThenIssuesTheInvoice) {
    const QString pdf = tempPath(QStringLiteral("rechnung.pdf"));
    const QString xml = tempPath(QStringLiteral("rechnung.xml"));
    dialogs_.fileAnswers = {pdf};
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& invoice = dynamic_cast<InvoiceDialog&>(dialog);
        const auto missing = [&invoice] { return invoice.missingLabel->text(); };
        for (const char* gap : {"Steuernummer oder USt-IdNr. der eigenen Firma", "IBAN",
                                "Anschrift des Kunden", "Leistungszeitraum"})
            EXPECT_TRUE(missing().contains(QString::fromUtf8(gap))) << gap << toStd(missing());
        EXPECT_FALSE(invoice.saveButton->isEnabled());
        return false;
    });
    form->createInvoiceAction->trigger();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    EXPECT_TRUE(form->programStore().invoices().empty());

    storeFirm();
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& invoice = dynamic_cast<InvoiceDialog&>(dialog);
        invoice.addressEdit->setPlainText(QStringLiteral("Hausverwaltung Müller\nAm Deich 7\n"
                                                         "25761 Büsum"));
        invoice.periodFromEdit->setDate(QDate(2026, 3, 2));
        invoice.periodToEdit->setDate(QDate(2026, 3, 20));
        invoice.referenceEdit->setText(QStringLiteral("Auftrag 4711"));
        invoice.emailEdit->setText(QStringLiteral("rechnung@mueller.example"));
        invoice.taxCaseBox->setCurrentIndex(1);
        EXPECT_TRUE(invoice.missingLabel->text().contains(QStringLiteral("USt-IdNr. des Kunden")))
            << toStd(invoice.missingLabel->text());
        EXPECT_FALSE(invoice.saveButton->isEnabled());
        invoice.vatIdEdit->setText(QStringLiteral("DE987654321"));
        EXPECT_TRUE(invoice.saveButton->isEnabled()) << toStd(invoice.missingLabel->text());
        invoice.saveButton->click();
        EXPECT_TRUE(invoice.noteLabel->text().contains(
            QStringLiteral("R-%1-0001").arg(QDate::currentDate().year())))
            << toStd(invoice.noteLabel->text());
        // No second invoice of the same work by a second click.
        EXPECT_FALSE(invoice.saveButton->isEnabled());
        return false;
    });
    form->createInvoiceAction->trigger();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    EXPECT_TRUE(dialogs_.messages.empty());

    const std::string number = "R-" + std::to_string(QDate::currentDate().year()) + "-0001";
    const QString text = test::pdfText(pdf);
    for (const QString& expected :
         {QString::fromStdString(number), QStringLiteral("Hausverwaltung Müller"),
          QStringLiteral("DE987654321"), QStringLiteral("Steuerschuldnerschaft des"),
          QStringLiteral("Leistungszeitraum: 02.03.2026 bis 20.03.2026")})
        EXPECT_TRUE(text.contains(expected)) << toStd(expected) << "\n" << toStd(text);
    const auto record = form->programStore().invoice(number);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->summary.vatCents, 0);
    EXPECT_EQ(record->summary.grossCents, 48624);
    EXPECT_EQ(contents(pdf).toStdString(), record->documents.pdf);
    EXPECT_EQ(contents(xml).toStdString(), record->documents.xml);
}

// The measured area and the partial invoice by amount are the form's choices: the area starts as
// the sheet's, what reads as no area or amount is named and keeps "Speichern..." off, the amount
// is bounded by the job at the measured area, and the final invoice charges the measured roof less
// the partial invoice.
TEST_F(InvoiceCommandsTest, TheMeasuredAreaAndAPartialAmountAreChosenInTheForm) {
    storeFirm();
    const auto fillIn = [](InvoiceDialog& invoice) {
        invoice.addressEdit->setPlainText(QStringLiteral("Hausverwaltung Müller\nAm Deich 7\n"
                                                         "25761 Büsum"));
        invoice.periodFromEdit->setDate(QDate(2026, 3, 2));
        invoice.periodToEdit->setDate(QDate(2026, 3, 20));
        invoice.emailEdit->setText(QStringLiteral("rechnung@mueller.example"));
        invoice.referenceEdit->setText(QStringLiteral("Auftrag 4711"));
    };
    const auto missing = [](const InvoiceDialog& invoice, const char* expected) {
        EXPECT_TRUE(invoice.missingLabel->text().contains(QString::fromUtf8(expected)))
            << expected << "\n"
            << toStd(invoice.missingLabel->text());
        EXPECT_FALSE(invoice.saveButton->isEnabled()) << expected;
    };
    dialogs_.fileAnswers = {tempPath(QStringLiteral("abschlag.pdf"))};
    dialogs_.formAnswers.push_back([&](QDialog& dialog) {
        auto& invoice = dynamic_cast<InvoiceDialog&>(dialog);
        EXPECT_EQ(toStd(invoice.quantityEdit->text()), "24,00");
        fillIn(invoice);
        EXPECT_TRUE(invoice.saveButton->isEnabled()) << toStd(invoice.missingLabel->text());
        invoice.quantityEdit->setText(QStringLiteral("viel"));
        missing(invoice, "Die Menge (Dachfläche) „viel“ ist keine Zahl in m²");
        invoice.quantityEdit->setText(QStringLiteral("0"));
        missing(invoice, "muss größer als 0 m² sein");
        invoice.quantityEdit->setText(QStringLiteral("26,25"));

        invoice.kindBox->setCurrentIndex(1);
        EXPECT_FALSE(invoice.shareBox->isHidden());
        EXPECT_TRUE(invoice.amountEdit->isHidden());
        invoice.shareUnitBox->setCurrentIndex(1);
        EXPECT_TRUE(invoice.shareBox->isHidden());
        EXPECT_FALSE(invoice.amountEdit->isHidden());
        missing(invoice, "Der Betrag der Abschlagsrechnung „“ ist kein Betrag in Euro");
        invoice.amountEdit->setText(QStringLiteral("-1"));
        missing(invoice, "muss über 0,00 € liegen");
        // The job at the measured area: 26,25 m² × 20,26 € = 531,83 €.
        invoice.amountEdit->setText(QStringLiteral("531,84"));
        missing(invoice, "noch offen ist (531,83 € netto)");
        invoice.amountEdit->setText(QStringLiteral("250,00"));
        EXPECT_TRUE(invoice.saveButton->isEnabled()) << toStd(invoice.missingLabel->text());
        invoice.saveButton->click();
        return false;
    });
    form->createInvoiceAction->trigger();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    ASSERT_TRUE(dialogs_.messages.empty()) << toStd(dialogs_.messages[0].text);
    const std::string year = std::to_string(QDate::currentDate().year());
    const auto partial = form->programStore().invoice("R-" + year + "-0001");
    ASSERT_TRUE(partial.has_value());
    EXPECT_EQ(partial->summary.kind, InvoiceKind::Partial);
    EXPECT_EQ(partial->summary.netCents, 25000);
    EXPECT_EQ(partial->summary.grossCents, 29750);

    const QString pdf = tempPath(QStringLiteral("schluss.pdf"));
    dialogs_.fileAnswers = {pdf};
    dialogs_.formAnswers.push_back([&](QDialog& dialog) {
        auto& invoice = dynamic_cast<InvoiceDialog&>(dialog);
        fillIn(invoice);
        invoice.kindBox->setCurrentIndex(2);
        invoice.quantityEdit->setText(QStringLiteral("26,25"));
        EXPECT_TRUE(invoice.saveButton->isEnabled()) << toStd(invoice.missingLabel->text());
        invoice.saveButton->click();
        return false;
    });
    form->createInvoiceAction->trigger();
    ASSERT_TRUE(dialogs_.messages.empty()) << toStd(dialogs_.messages[0].text);
    const auto final = form->programStore().invoice("R-" + year + "-0002");
    ASSERT_TRUE(final.has_value());
    EXPECT_EQ(final->summary.grossCents, 63288);
    EXPECT_EQ(final->summary.dueCents, 63288 - 29750);
    const QString text = test::pdfText(pdf);
    for (const char* expected : {"26,25", "531,83", "632,88", "297,50", "335,38"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << toStd(text);
    // The sheet in the window keeps the area it had.
    EXPECT_EQ(form->sheet().shownText(FieldId::Dach14Ed), u"24,00");
}

// An accepted offer is invoiced from the "Angebote" tab with its number and address; the
// "Rechnungen" tab then marks it overdue, writes its documents again byte for byte, takes the
// payment and cancels it with a credit note that names it.
TEST_F(InvoiceCommandsTest, AnAcceptedOfferIsInvoicedAndTheRegisterTabKeepsTheInvoice) {
    storeFirm();
    Store& store = form->programStore();
    const std::vector<std::byte> bytes = calculationBytes(form->sheet());
    OfferEntry entry;
    entry.date = QDate::currentDate().toString(Qt::ISODate).toStdString();
    entry.validUntil = entry.date;
    entry.customer = "Hausverwaltung Müller";
    entry.address = "Am Deich 7\n25761 Büsum";
    entry.grossCents = 57863;
    entry.workFrom = "2026-03-02";
    entry.workUntil = "2026-03-20";
    entry.calculation.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::string offerNumber = store.recordOffer(entry);
    // Another sheet in the window: the invoice is the offer's calculation, not this one.
    form->sheet().enter(FieldId::Dach14Ed, u"30");

    OfferRegisterTab& offers = *form->offerRegisterTab();
    offers.refresh();
    ASSERT_TRUE(offers.selectOffer(offerNumber));
    EXPECT_FALSE(offers.createInvoiceButton->isEnabled());
    store.setOfferStatus(offerNumber, OfferStatus::Accepted);
    offers.refresh();
    ASSERT_TRUE(offers.createInvoiceButton->isEnabled());

    const QString pdf = tempPath(QStringLiteral("rechnung.pdf"));
    dialogs_.fileAnswers = {pdf};
    dialogs_.formAnswers.push_back([&offerNumber](QDialog& dialog) {
        auto& invoice = dynamic_cast<InvoiceDialog&>(dialog);
        EXPECT_EQ(toStd(invoice.referenceEdit->text()), offerNumber);
        // The offer's roof, not the 30 m² of the sheet in the window.
        EXPECT_EQ(toStd(invoice.quantityEdit->text()), "24,00");
        EXPECT_EQ(invoice.addressEdit->toPlainText(),
                  QStringLiteral("Hausverwaltung Müller\nAm Deich 7\n25761 Büsum"));
        // The offer's Ausführungszeitraum is the Leistungszeitraum offered.
        EXPECT_EQ(invoice.periodFromEdit->date(), QDate(2026, 3, 2));
        EXPECT_EQ(invoice.periodToEdit->date(), QDate(2026, 3, 20));
        invoice.emailEdit->setText(QStringLiteral("rechnung@mueller.example"));
        EXPECT_TRUE(invoice.saveButton->isEnabled()) << toStd(invoice.missingLabel->text());
        invoice.saveButton->click();
        return false;
    });
    offers.createInvoiceButton->click();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    ASSERT_TRUE(dialogs_.messages.empty()) << toStd(dialogs_.messages[0].text);
    const std::string year = std::to_string(QDate::currentDate().year());
    const std::string number = "R-" + year + "-0001";
    const auto issued = store.invoice(number);
    ASSERT_TRUE(issued.has_value());
    EXPECT_EQ(issued->summary.offerNumber, offerNumber);
    EXPECT_EQ(issued->summary.grossCents, 57863);
    EXPECT_EQ(issued->summary.customer, "Hausverwaltung Müller");

    // Thirty days on, the invoice is overdue.
    QDate today = QDate::currentDate().addDays(30);
    InvoiceRegisterTab tab([&store]() -> Store& { return store; }, [&today] { return today; });
    tab.refresh();
    ASSERT_EQ(tab.invoiceList->model()->rowCount(), 1);
    EXPECT_EQ(toStd(cell(tab, 0, 3)), "Rechnung");
    EXPECT_EQ(toStd(cell(tab, 0, 4)), "578,63 €");
    EXPECT_TRUE(cell(tab, 0, 5).startsWith(QStringLiteral("überfällig seit")))
        << toStd(cell(tab, 0, 5));
    EXPECT_TRUE(tab.summaryLabel->text().contains(QStringLiteral("Überfällig: 1")));

    ASSERT_TRUE(tab.selectInvoice(number));
    const QString again = tempPath(QStringLiteral("nochmal.pdf"));
    dialogs_.fileAnswers = {again};
    tab.saveAgainButton->click();
    EXPECT_EQ(contents(again), contents(pdf));
    EXPECT_EQ(contents(again).toStdString(), issued->documents.pdf);
    EXPECT_EQ(contents(tempPath(QStringLiteral("nochmal.xml"))).toStdString(),
              issued->documents.xml);

    tab.paidButton->click();
    EXPECT_TRUE(cell(tab, 0, 5).startsWith(QStringLiteral("bezahlt am"))) << toStd(cell(tab, 0, 5));
    EXPECT_FALSE(tab.paidButton->isEnabled());

    const QString storno = tempPath(QStringLiteral("storno.pdf"));
    dialogs_.questionAnswers = {Dialogs::Answer::Yes};
    dialogs_.fileAnswers = {storno};
    ASSERT_TRUE(tab.cancelButton->isEnabled());
    tab.cancelButton->click();
    EXPECT_EQ(dialogs_.questions.size(), 1u);
    ASSERT_TRUE(dialogs_.messages.empty()) << toStd(dialogs_.messages[0].text);
    // Dated the tab's today, which may be in the next year and its sequence.
    const std::string noteNumber =
        "R-" + std::to_string(today.year()) +
        (today.year() == QDate::currentDate().year() ? "-0002" : "-0001");
    const auto note = store.invoice(noteNumber);
    ASSERT_TRUE(note.has_value());
    EXPECT_EQ(note->summary.corrects, number);
    EXPECT_TRUE(
        test::pdfText(storno).contains(QString::fromStdString("Storno der Rechnung " + number)));
    ASSERT_EQ(tab.invoiceList->model()->rowCount(), 2);
    EXPECT_EQ(toStd(cell(tab, 1, 5)), "storniert durch " + noteNumber);
    // The original stays as it was issued.
    EXPECT_EQ(store.invoice(number)->documents.pdf, issued->documents.pdf);
    ASSERT_TRUE(tab.selectInvoice(number));
    EXPECT_FALSE(tab.cancelButton->isEnabled());
}

} // namespace
} // namespace pyrelto
