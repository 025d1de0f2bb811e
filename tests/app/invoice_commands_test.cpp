// "Rechnung erstellen..." with the real form, a real database in a temporary folder and the
// real PDF read back with pdftotext; only the dialogs are fakes.

#include "MainUnit.h"
#include "invoice_dialog.h"
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

    std::unique_ptr<TMainForm> form;
};

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

    form->programStore().setFirmData({{"Firma", "Bedachungen Kramer GmbH"},
                                      {"Ansprechpartner", "Jana Kramer"},
                                      {"Strasse", "Industriestraße 12"},
                                      {"PlzOrt", "34117 Kassel"},
                                      {"Telefon", "0561 123456"},
                                      {"EMail", "info@kramer-dach.example"},
                                      {"SteuerNr", "26/123/45678"},
                                      {"IBAN", "DE89 3704 0044 0532 0130 00"}});
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

} // namespace
} // namespace pyrelto
