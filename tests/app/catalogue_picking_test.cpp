// Picking from the catalogue in the real window, keyboard only: F4 in a row, a few letters, Enter.
// The real SQLite store in a temporary data folder; only the dialogs are fakes.

#include "MainUnit.h"
#include "article_picker.h"
#include "calculation_file.h"
#include "price_list_file.h"
#include "sheet_view.h"
#include "store.h"
#include "ui_test_support.h"
#include "worked_example.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

using test::toStd;

// A roll of 7,5 m² at 74,93 € in discount group 10, nails at 12,00 € per 100.
constexpr std::string_view kPriceList =
    "Artikelnummer;Bezeichnung;Einheit;Preis;Preiseinheit;Rabattgruppe;m² je Einheit\r\n"
    "BB-OL-5;Oberlagsbahn Schiefer;Rolle;74,93;1;10;7,5\r\n"
    "BB-UL-3;Unterlagsbahn;Rolle;51,20;1;10;10\r\n"
    "N-12;Nagel verzinkt;Stk;12,00;100;20;\r\n";

QByteArray fileBytes(const QString& name) {
    QFile file(name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << toStd(name);
    return file.readAll();
}

class CataloguePickingTest : public test::UiTest {
protected:
    void SetUp() override {
        form = std::make_unique<TMainForm>();
        form->show();
        // F4 is a shortcut of the sheet's page: the window must be the active one.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        Store& store = form->programStore();
        CsvOptions options;
        options.supplier = "Nord";
        options.priceDate = {2026, 3, 1};
        const auto* bytes = reinterpret_cast<const std::byte*>(kPriceList.data());
        const ImportPlan plan =
            store.planImport(readPriceList({bytes, kPriceList.size()}, options));
        ASSERT_TRUE(plan.applicable());
        store.applyImport(plan);
        store.setGroupDiscount("Nord", "10", Decimal{35, 0});
    }
    void TearDown() override {
        form->close();
        form.reset();
    }

    // F4 in `field`, the search typed, then Enter as the user would.
    void pick(FieldId field, const QString& typed) {
        QWidget* widget = form->ScrollBox1->fieldWidget(field);
        widget->setFocus();
        QCoreApplication::processEvents();
        dialogs_.formAnswers.push_back([typed](QDialog& dialog) {
            auto& picker = dynamic_cast<ArticlePicker&>(dialog);
            picker.searchEdit->clear();
            QTest::keyClicks(picker.searchEdit, typed);
            QTest::keyClick(picker.searchEdit, Qt::Key_Return);
            return picker.result() == QDialog::Accepted;
        });
        QTest::keyClick(widget, Qt::Key_F4);
        EXPECT_TRUE(dialogs_.formAnswers.empty()) << "F4 opened no picker";
    }

    QString shown(FieldId id) const {
        return QString::fromStdU16String(form->sheet().shownText(id));
    }

    std::unique_ptr<TMainForm> form;
};

// The worked example with its first material and its nails picked: the row shows 9,99 € per m²,
// the end sums are the example's, the file's 80 entries are those of the sheet typed by hand, and
// the article comes back with the file.
TEST_F(CataloguePickingTest, APickedRollFillsTheRowAsTypingWould) {
    Sheet& sheet = form->sheet();
    test::enterWorkedExample(sheet);
    pick(FieldId::Bez1Ed, QStringLiteral("oberl"));
    // F4 works from any field of the row, here the piece count.
    pick(FieldId::Anz8Ed, QStringLiteral("nag"));
    EXPECT_EQ(shown(FieldId::Bez1Ed), QStringLiteral("Oberlagsbahn Schiefer"));
    EXPECT_EQ(shown(FieldId::List1Ed), QStringLiteral("9,99"));
    EXPECT_EQ(shown(FieldId::Rab1Ed), QStringLiteral("35,00"));
    EXPECT_EQ(shown(FieldId::Ek1Ed), QStringLiteral("6,49"));
    EXPECT_EQ(shown(FieldId::Bez8Ed), QStringLiteral("Nagel verzinkt"));
    EXPECT_EQ(shown(FieldId::Ek8Ed), QStringLiteral("0,12"));
    for (const auto& row : test::workedExample)
        EXPECT_EQ(shown(row.field), QString::fromStdU16String(std::u16string(row.shown)))
            << fieldCatalogue()[static_cast<std::size_t>(row.field)].name;

    const QString picked = tempPath(QStringLiteral("gewaehlt.kal"));
    dialogs_.fileAnswers.push_back(picked);
    form->Speichernunter1Click();
    Sheet typed(NumberFormat{u','});
    typed.runCountRules();
    test::enterWorkedExample(typed);
    typed.enter(FieldId::Bez1Ed, u"Oberlagsbahn Schiefer");
    typed.enter(FieldId::Bez8Ed, u"Nagel verzinkt");
    const auto typedBytes = calculationBytes(typed);
    const QByteArray pickedBytes = fileBytes(picked);
    ASSERT_GT(pickedBytes.size(), static_cast<qsizetype>(typedBytes.size()));
    EXPECT_EQ(pickedBytes.left(static_cast<qsizetype>(typedBytes.size())),
              QByteArray(reinterpret_cast<const char*>(typedBytes.data()),
                         static_cast<qsizetype>(typedBytes.size())));

    auto reopened = std::make_unique<TMainForm>();
    dialogs_.fileAnswers.push_back(picked);
    reopened->ffnen1Click();
    const RowArticles& rows = reopened->calculationExtras().rowArticles;
    ASSERT_TRUE(rows[0].has_value());
    EXPECT_EQ(rows[0]->supplier, u"Nord");
    EXPECT_EQ(rows[0]->articleNumber, u"BB-OL-5");
    ASSERT_TRUE(rows[5].has_value());
    EXPECT_EQ(rows[5]->articleNumber, u"N-12");
    const QString again = tempPath(QStringLiteral("wieder.kal"));
    dialogs_.fileAnswers.push_back(again);
    reopened->Speichernunter1Click();
    EXPECT_EQ(fileBytes(again), pickedBytes);
    reopened->close();
}

// Up and Down move through the results while typing goes on in the search; Esc leaves the row
// as it was; an article without coverage is refused for a per-m² row with a message.
TEST_F(CataloguePickingTest, ArrowKeysChooseAndARollWithoutCoverageIsRefused) {
    Sheet& sheet = form->sheet();
    sheet.enter(FieldId::AnzZeilenEd, u"2");
    form->ScrollBox1->fieldWidget(FieldId::Bez2Ed)->setFocus();
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& picker = dynamic_cast<ArticlePicker&>(dialog);
        QTest::keyClicks(picker.searchEdit, QStringLiteral("bb"));
        EXPECT_EQ(picker.resultList->model()->rowCount(), 2);
        QTest::keyClick(picker.searchEdit, Qt::Key_Down);
        EXPECT_EQ(picker.chosen()->articleNumber, "BB-UL-3");
        QTest::keyClick(picker.searchEdit, Qt::Key_Up);
        EXPECT_EQ(picker.chosen()->articleNumber, "BB-OL-5");
        QTest::keyClick(picker.searchEdit, Qt::Key_Down);
        QTest::keyClick(picker.searchEdit, Qt::Key_Return);
        return picker.result() == QDialog::Accepted;
    });
    QTest::keyClick(form->ScrollBox1->fieldWidget(FieldId::Bez2Ed), Qt::Key_F4);
    EXPECT_EQ(shown(FieldId::Bez2Ed), QStringLiteral("Unterlagsbahn"));
    EXPECT_EQ(shown(FieldId::List2Ed), QStringLiteral("5,12"));

    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        return dialog.result() == QDialog::Accepted;
    });
    form->pickFromCatalogue(RowSlot::M2);
    EXPECT_EQ(shown(FieldId::Bez2Ed), QStringLiteral("Unterlagsbahn"));

    pick(FieldId::List2Ed, QStringLiteral("N-12"));
    EXPECT_EQ(shown(FieldId::Bez2Ed), QStringLiteral("Unterlagsbahn"));
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(toStd(dialogs_.messages[0].text).find("keine Fläche je Einheit"), std::string::npos);
    EXPECT_EQ(form->calculationExtras().rowArticles[1]->articleNumber, u"BB-UL-3");
}

// "Preisliste importieren...": the summary first; a list with an unreadable line is not taken at
// all, a sound one only when the user says yes. A CSV list is named after its file.
TEST_F(CataloguePickingTest, AnImportedPriceListIsSummedUpAndTakenOnlyWhenConfirmed) {
    const auto articles = [this] { return form->programStore().catalogue()->catalogue.articles(); };
    const std::size_t before = articles().size();
    const auto write = [this](const QString& name, std::string_view text) {
        QString path = tempPath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), static_cast<qsizetype>(text.size()));
        return path;
    };
    constexpr std::string_view kHeader = "Artikelnummer;Bezeichnung;Einheit;Preis;Preiseinheit\r\n";
    const QString damaged =
        write(QStringLiteral("Süd.csv"), std::string(kHeader) + "S-1;Kehlblech;Stk;9,50;1\r\n"
                                                                "S-2;Traufblech;Stk;zehn;1\r\n");
    const QString sound =
        write(QStringLiteral("West.csv"), std::string(kHeader) + "W-1;Kehlblech;Stk;9,50;1\r\n"
                                                                 "W-2;Traufblech;Stk;10,25;1\r\n");

    dialogs_.fileAnswers = {damaged};
    form->importPriceListAction->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    const QString refused = dialogs_.messages[0].text;
    EXPECT_TRUE(refused.contains(QStringLiteral("Zeile 3"))) << toStd(refused);
    EXPECT_TRUE(refused.contains(QStringLiteral("nicht übernommen"))) << toStd(refused);
    EXPECT_TRUE(dialogs_.questions.empty());
    EXPECT_EQ(articles().size(), before);

    dialogs_.fileAnswers = {sound};
    dialogs_.questionAnswers = {Dialogs::Answer::No};
    form->importPriceListAction->trigger();
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    const QString summary = dialogs_.questions[0].text;
    for (const QString& expected : {QStringLiteral("Lieferant: West"), QStringLiteral("Neu: 2"),
                                    QStringLiteral("Trennzeichen „;“")})
        EXPECT_TRUE(summary.contains(expected)) << toStd(expected) << "\n" << toStd(summary);
    EXPECT_EQ(dialogs_.questions[0].defaultAnswer, Dialogs::Answer::No);
    EXPECT_EQ(articles().size(), before);

    dialogs_.fileAnswers = {sound};
    dialogs_.questionAnswers = {Dialogs::Answer::Yes};
    form->importPriceListAction->trigger();
    ASSERT_EQ(articles().size(), before + 2);
    EXPECT_EQ(dialogs_.messages.size(), 1u);
}

} // namespace
} // namespace pyrelto
