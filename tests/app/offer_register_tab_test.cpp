// The "Angebote" tab with the real window and its real SQLite database in a temporary data folder,
// PDFs read back with pdftotext; only the dialogs are fakes.

#include "MainUnit.h"
#include "calculation_file.h"
#include "deferred_page.h"
#include "offer_dialog.h"
#include "offer_register_tab.h"
#include "pdf_reader.h"
#include "store.h"
#include "ui_test_support.h"
#include "worked_example.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

using test::pdfText;
using test::toStd;

// The worked example on `area` m² for `customer`, as a calculation file's bytes.
std::string calculation(const char16_t* area, const char16_t* customer) {
    Sheet sheet(NumberFormat{u','});
    sheet.runCountRules();
    test::enterWorkedExample(sheet);
    sheet.enter(FieldId::Dach14Ed, area);
    sheet.enter(FieldId::KundeEd, customer);
    const auto bytes = calculationBytes(sheet);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

class OfferRegisterTabTest : public test::UiTest {
protected:
    void SetUp() override {
        form = std::make_unique<TMainForm>();
        form->show();
        QCoreApplication::processEvents();
        tab = form->offerRegisterTab();
    }
    void TearDown() override {
        form->close();
        form.reset();
    }

    Store& store() { return form->programStore(); }

    // Records an offer as the window would, before its PDF; returns its number.
    std::string record(const char* date, const char* customer, std::int64_t grossCents,
                       const std::string& kal = calculation(u"24", u"Müller")) {
        OfferEntry entry;
        entry.date = date;
        entry.validUntil = date;
        entry.customer = customer;
        entry.address = "Am Deich 7\n25761 Büsum";
        entry.grossCents = grossCents;
        entry.netCents = grossCents * 100 / 119;
        entry.vatCents = entry.grossCents - entry.netCents;
        entry.calculation = kal;
        return store().recordOffer(entry);
    }

    void showTab() {
        form->PageControl1->setCurrentWidget(form->offerPage);
        QCoreApplication::processEvents();
    }

    QString cell(int row, int column) const {
        return tab->offerList->model()->index(row, column).data().toString();
    }
    int rows() const { return tab->offerList->model()->rowCount(); }

    std::unique_ptr<TMainForm> form;
    OfferRegisterTab* tab = nullptr;
};

TEST_F(OfferRegisterTabTest, ListsTheRegisterNewestFirstSearchableWithTheSums) {
    const std::string first = record("2026-03-02", "Müller", 57863);
    const std::string second = record("2026-03-05", "Schulz & Söhne", 100000);
    const std::string third = record("2026-03-04", "Öztürk", 2550);
    store().markPdfWritten(first, "/tmp/a.pdf");
    store().markPdfWritten(second, "/tmp/b.pdf");
    store().setOfferStatus(second, OfferStatus::Accepted);
    // The database is read when the tab is shown, not at start.
    EXPECT_EQ(rows(), 0);
    showTab();
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(cell(0, 0), QStringLiteral("2026-002"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("05.03.2026"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("Schulz & Söhne"));
    EXPECT_EQ(cell(0, 3), QStringLiteral("1.000,00 €"));
    EXPECT_EQ(cell(0, 4), QStringLiteral("angenommen"));
    EXPECT_EQ(cell(1, 0), QStringLiteral("2026-003"));
    EXPECT_EQ(cell(1, 4), QStringLiteral("offen (PDF fehlt)"));
    EXPECT_EQ(cell(2, 0), QStringLiteral("2026-001"));
    EXPECT_EQ(tab->offerList->model()->headerData(3, Qt::Horizontal).toString(),
              QStringLiteral("Brutto"));
    EXPECT_EQ(tab->summaryLabel->text(),
              QStringLiteral("Offene Angebote: 604,13 €   ·   Angenommen: 1 von 3 (33 %)"));
    EXPECT_FALSE(tab->openCalculationButton->isEnabled()) << "nothing selected";

    // The search looks at every column, in any case; the sums follow what is shown.
    tab->searchEdit->setText(QStringLiteral("MÜLLER"));
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 0), QStringLiteral("2026-001"));
    EXPECT_EQ(tab->summaryLabel->text(),
              QStringLiteral("Offene Angebote: 578,63 €   ·   Angenommen: 0 von 1 (0 %)"));
    tab->searchEdit->setText(QStringLiteral("04.03."));
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 2), QStringLiteral("Öztürk"));
    tab->searchEdit->setText(QStringLiteral("nichts dergleichen"));
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(tab->summaryLabel->text(),
              QStringLiteral("Offene Angebote: 0,00 €   ·   Angenommen: 0 von 0 (–)"));
    tab->searchEdit->clear();

    // An offer made elsewhere (another PC, pyrelto-cli) appears when the tab is shown again;
    // the selection stays.
    ASSERT_TRUE(tab->selectOffer(first));
    record("2026-03-09", "Neu", 100);
    form->PageControl1->setCurrentIndex(0);
    showTab();
    ASSERT_EQ(rows(), 4);
    EXPECT_EQ(cell(0, 2), QStringLiteral("Neu"));
    EXPECT_EQ(tab->selectedOffer()->number, first);
}

TEST_F(OfferRegisterTabTest, StatusIsSetInTheDatabase) {
    const std::string number = record("2026-03-02", "Müller", 57863);
    showTab();
    EXPECT_FALSE(tab->statusBox->isEnabled());
    ASSERT_TRUE(tab->selectOffer(number));
    EXPECT_TRUE(tab->statusBox->isEnabled());
    EXPECT_EQ(tab->statusBox->currentText(), QStringLiteral("offen"));
    tab->statusBox->setFocus();
    QTest::keyClick(tab->statusBox, Qt::Key_Down);
    EXPECT_EQ(store().offer(number)->status, OfferStatus::Accepted);
    EXPECT_EQ(cell(0, 4), QStringLiteral("angenommen (PDF fehlt)"));
    EXPECT_EQ(tab->summaryLabel->text(),
              QStringLiteral("Offene Angebote: 0,00 €   ·   Angenommen: 1 von 1 (100 %)"));
    QTest::keyClick(tab->statusBox, Qt::Key_Down);
    EXPECT_EQ(store().offer(number)->status, OfferStatus::Rejected);
    form->PageControl1->setCurrentIndex(0);
    showTab();
    EXPECT_EQ(cell(0, 4), QStringLiteral("abgelehnt (PDF fehlt)"));
    EXPECT_TRUE(dialogs_.messages.empty());
}

// The kept calculation comes back as a new sheet: the sums as the offer had them, and saving asks
// for a name instead of writing over a file.
TEST_F(OfferRegisterTabTest, OpenCalculationLoadsTheKeptSheetAsANewOne) {
    const std::string number = record("2026-03-02", "Müller", 57863, calculation(u"24", u"Müller"));
    record("2026-03-03", "Schulz", 100, calculation(u"50", u"Schulz"));
    form->sheet().enter(FieldId::KundeEd, u"Jemand anderes");
    showTab();
    ASSERT_TRUE(tab->selectOffer(number));
    tab->openCalculationButton->click();
    EXPECT_EQ(form->PageControl1->currentIndex(), 0);
    EXPECT_EQ(form->sheet().shownText(FieldId::KundeEd), u"Müller");
    EXPECT_EQ(form->sheet().shownText(FieldId::Dach14Ed), u"24,00");
    EXPECT_EQ(form->sheet().shownText(FieldId::BruttoEd), u"578,63");
    dialogs_.fileAnswers = {std::nullopt};
    form->Speichernunter1->trigger();
    ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
    EXPECT_TRUE(dialogs_.fileRequests[0].save);
    EXPECT_TRUE(dialogs_.messages.empty());

    // Damaged bytes in the database change nothing and say so.
    const std::string damaged = record("2026-03-04", "Kaputt", 1, "\x01\x02");
    showTab();
    ASSERT_TRUE(tab->selectOffer(damaged));
    tab->openCalculationButton->click();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(form->sheet().shownText(FieldId::KundeEd), u"Müller");
}

// "PDF erneut erstellen" makes the offer again under its number; the register gets no new one.
TEST_F(OfferRegisterTabTest, RecreatePdfKeepsTheNumber) {
    const std::string number = record("2026-03-02", "Müller", 57863);
    showTab();
    ASSERT_TRUE(tab->selectOffer(number));
    const QString pdf = tempPath(QStringLiteral("wieder.pdf"));
    dialogs_.fileAnswers = {pdf};
    tab->recreatePdfButton->click();
    ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs_.fileRequests[0].suggestedName,
              QStringLiteral("Angebot 2026-001 Müller.pdf"));
    const QString text = pdfText(pdf);
    for (const QString& expected :
         {QStringLiteral("2026-001"), QStringLiteral("02.03.2026"), QStringLiteral("578,63 €"),
          QStringLiteral("Am Deich 7"), QStringLiteral("25761 Büsum")})
        EXPECT_TRUE(text.contains(expected)) << toStd(expected) << "\n" << toStd(text);
    const auto offer = store().offer(number);
    EXPECT_TRUE(offer->pdfWritten);
    EXPECT_EQ(offer->entry.fileName, toStd(pdf));
    EXPECT_EQ(store().offers().size(), 1u);
    EXPECT_EQ(cell(0, 4), QStringLiteral("offen"));
    EXPECT_EQ(tab->selectedOffer()->number, number);
    EXPECT_TRUE(dialogs_.messages.empty());
}

// An offer made with the dialog's particulars (building site, § 13b, period, instalments, signature
// line, acceptance slip, own texts) is made again from the register word for word, although the
// sheet in the window has changed meanwhile.
TEST_F(OfferRegisterTabTest, RecreatePdfMakesTheSameOfferWithItsParticulars) {
    test::enterWorkedExample(form->sheet());
    form->sheet().enter(FieldId::KundeEd, u"Hausverwaltung Nord");
    const QString first = tempPath(QStringLiteral("erst.pdf"));
    dialogs_.fileAnswers = {first};
    dialogs_.formAnswers.push_back([](QDialog& form) {
        auto& dialog = dynamic_cast<OfferDialog&>(form);
        dialog.addressEdit->setPlainText(QStringLiteral("Postfach 12\n20095 Hamburg"));
        dialog.subjectEdit->setText(QStringLiteral("Sanierung Flachdach Halle 3"));
        dialog.workTitleEdit->setText(QStringLiteral("Abdichtung zweilagig"));
        dialog.taxCaseBox->setCurrentIndex(static_cast<int>(TaxCase::ReverseCharge));
        dialog.siteEdit->setPlainText(QStringLiteral("Hafenstr. 9\n25761 Büsum"));
        dialog.periodBox->setCurrentIndex(2);
        dialog.periodFromEdit->setDate(QDate(2027, 4, 5));
        dialog.periodUntilEdit->setDate(QDate(2027, 4, 16));
        dialog.instalmentsEdit->setText(QStringLiteral("30, 40"));
        dialog.signatureBox->setChecked(true);
        dialog.acceptanceBox->setChecked(true);
        dialog.pdfButton->click();
        return false;
    });
    form->offerButton->click();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    ASSERT_TRUE(dialogs_.messages.empty()) << toStd(dialogs_.messages[0].text);
    const QString original = pdfText(first);
    ASSERT_TRUE(original.contains(QStringLiteral("Hafenstr. 9"))) << toStd(original);
    ASSERT_TRUE(original.contains(QStringLiteral("Auftragserteilung"))) << toStd(original);
    form->sheet().enter(FieldId::Dach14Ed, u"99");

    showTab();
    ASSERT_EQ(rows(), 1);
    ASSERT_TRUE(tab->selectOffer(toStd(cell(0, 0))));
    const QString again = tempPath(QStringLiteral("wieder.pdf"));
    dialogs_.fileAnswers = {again};
    tab->recreatePdfButton->click();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(pdfText(again), original);
}

// A database that cannot be opened: the tab says why, in itself, and the window goes on.
TEST_F(OfferRegisterTabTest, ADatabaseThatCannotBeOpenedIsSaidInTheTab) {
    ASSERT_TRUE(QDir().mkpath(tempPath(QStringLiteral("xdg_data_home")) +
                              QStringLiteral("/Torvane/Pyrelto Kalkulation/pyrelto.db")));
    showTab();
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(tab->messageLabel->isVisibleTo(tab));
    EXPECT_TRUE(tab->messageLabel->text().contains(QStringLiteral("pyrelto.db")))
        << toStd(tab->messageLabel->text());
    EXPECT_TRUE(dialogs_.messages.empty());
}

} // namespace
} // namespace pyrelto
