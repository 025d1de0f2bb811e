// Picking from the catalogue in the real window, keyboard only: F4 in a row, a few letters, Enter.
// The real SQLite store in a temporary data folder; only the dialogs are fakes.

#include "MainUnit.h"
#include "article_picker.h"
#include "calculation_file.h"
#include "csv_import_dialog.h"
#include "price_list_file.h"
#include "sheet_view.h"
#include "store.h"
#include "ui_test_support.h"
#include "worked_example.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
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

    // The CSV import form answered with its pre-filled choices.
    void acceptMapping() {
        dialogs_.formAnswers.push_back([](QDialog& dialog) {
            auto& mapping = dynamic_cast<CsvImportDialog&>(dialog);
            mapping.show();
            QTest::mouseClick(mapping.okButton, Qt::LeftButton);
            return mapping.result() == QDialog::Accepted;
        });
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
// all, a sound one only when the user says yes. A CSV list is named after its file unless the
// user names it otherwise.
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
    acceptMapping();
    form->importPriceListAction->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    const QString refused = dialogs_.messages[0].text;
    EXPECT_TRUE(refused.contains(QStringLiteral("Zeile 3"))) << toStd(refused);
    EXPECT_TRUE(refused.contains(QStringLiteral("nicht übernommen"))) << toStd(refused);
    EXPECT_TRUE(dialogs_.questions.empty());
    EXPECT_EQ(articles().size(), before);

    dialogs_.fileAnswers = {sound};
    dialogs_.questionAnswers = {Dialogs::Answer::No};
    acceptMapping();
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
    acceptMapping();
    form->importPriceListAction->trigger();
    ASSERT_EQ(articles().size(), before + 2);
    EXPECT_EQ(dialogs_.messages.size(), 1u);
}

// A wholesaler's own CSV: its own headers, Windows-1252, "," decimals, ";" between fields.
QByteArray wholesalerList(std::string_view rows) {
    const QString text = QStringLiteral("ArtNr;Kurztext;ME;VK netto;PE;RabGr;Fläche\r\n") +
                         QString::fromUtf8(rows.data(), static_cast<qsizetype>(rows.size()));
    return text.toLatin1(); // the letters used sit on the same bytes in Windows-1252
}

QComboBox* columnBox(CsvImportDialog& dialog, const QString& field) {
    for (QComboBox* box : dialog.columnBoxes) {
        if (box->accessibleName() == field)
            return box;
    }
    ADD_FAILURE() << "no column box for " << toStd(field);
    return nullptr;
}

// The user picks the column headed `header` for `field` from its drop-down.
void chooseColumn(CsvImportDialog& dialog, const QString& field, const QString& header) {
    QComboBox* box = columnBox(dialog, field);
    const int index = box->findText(header, Qt::MatchEndsWith);
    ASSERT_GE(index, 0) << toStd(header);
    box->setCurrentIndex(index);
}

// The mapping dialog before the summary: detected settings and a readable preview; the columns
// chosen by hand give every field of the articles; the next list of the same supplier, under
// another file name, comes with supplier and mapping filled in from the store.
TEST_F(CataloguePickingTest, ACsvListWithItsOwnHeadersIsMappedInTheImportForm) {
    Store& store = form->programStore();
    const auto write = [this](const QString& name, const QByteArray& bytes) {
        QString path = tempPath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    };
    const QString march =
        write(QStringLiteral("preise_2026_03.csv"),
              wholesalerList("D-1;Dachbahn Glasvlies;Rolle;74,93;1;10;7,5\r\n"
                             "K-2;Kehlblech Größe 2;Stk;9,50;1;20;\r\n"
                             "F-3;Firstziegel Rückseite;Stk;1.234,50;100;20;\r\n"));

    dialogs_.fileAnswers = {march};
    dialogs_.questionAnswers = {Dialogs::Answer::Yes};
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& mapping = dynamic_cast<CsvImportDialog&>(dialog);
        mapping.show();
        EXPECT_EQ(mapping.supplierBox->currentText(), QStringLiteral("preise_2026_03"));
        EXPECT_EQ(mapping.encodingBox->currentText(), QStringLiteral("Windows-1252"));
        EXPECT_EQ(mapping.delimiterBox->currentData().toInt(), int{';'});
        EXPECT_EQ(mapping.numberStyleBox->currentIndex(), 0); // German
        QTableWidget* preview = mapping.previewTable;
        EXPECT_EQ(preview->rowCount(), 3);
        EXPECT_EQ(preview->horizontalHeaderItem(6)->text(), QStringLiteral("Fläche"));
        EXPECT_EQ(preview->item(1, 1)->text(), QStringLiteral("Kehlblech Größe 2"));
        EXPECT_EQ(preview->item(2, 3)->text(), QStringLiteral("1.234,50"));
        // Read as CP850 the same bytes are other letters: the preview follows the choice.
        mapping.encodingBox->setCurrentText(QStringLiteral("CP850"));
        EXPECT_NE(preview->item(1, 1)->text(), QStringLiteral("Kehlblech Größe 2"));
        mapping.encodingBox->setCurrentText(QStringLiteral("Windows-1252"));
        EXPECT_EQ(preview->item(1, 1)->text(), QStringLiteral("Kehlblech Größe 2"));

        // None of the headers is a standard one: nothing to import by yet.
        EXPECT_FALSE(mapping.okButton->isEnabled());
        EXPECT_TRUE(mapping.problemLabel->text().contains(QStringLiteral("„Artikelnummer“")));
        EXPECT_TRUE(mapping.problemLabel->text().contains(QStringLiteral("„Preis“")));
        mapping.supplierBox->setCurrentText(QStringLiteral("Dachhandel Nord"));
        chooseColumn(mapping, QStringLiteral("Artikelnummer"), QStringLiteral("ArtNr"));
        EXPECT_FALSE(mapping.okButton->isEnabled());
        for (const auto& [field, header] : {std::pair{"Preis", "VK netto"},
                                            {"Bezeichnung", "Kurztext"},
                                            {"Einheit", "ME"},
                                            {"Preiseinheit", "PE"},
                                            {"Rabattgruppe", "RabGr"},
                                            {"m² je Einheit", "Fläche"}})
            chooseColumn(mapping, QString::fromUtf8(field), QString::fromUtf8(header));
        EXPECT_TRUE(mapping.okButton->isEnabled());
        EXPECT_FALSE(mapping.problemLabel->isVisible());
        QTest::mouseClick(mapping.okButton, Qt::LeftButton);
        return mapping.result() == QDialog::Accepted;
    });
    form->importPriceListAction->trigger();
    EXPECT_TRUE(dialogs_.formAnswers.empty());
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_TRUE(dialogs_.questions[0].text.contains(QStringLiteral("Lieferant: Dachhandel Nord")));
    EXPECT_TRUE(dialogs_.questions[0].text.contains(QStringLiteral("Neu: 3")));

    const auto roll = store.article("Dachhandel Nord", "D-1");
    ASSERT_TRUE(roll.has_value());
    EXPECT_EQ(roll->shortText1, "Dachbahn Glasvlies");
    EXPECT_EQ(roll->unit, "Rolle");
    EXPECT_EQ(roll->listPrice, (Decimal{7493, 2}));
    EXPECT_EQ(roll->discountGroup, "10");
    EXPECT_EQ(roll->coverage, (Decimal{75, 1}));
    const auto ridge = store.article("Dachhandel Nord", "F-3");
    ASSERT_TRUE(ridge.has_value());
    EXPECT_EQ(ridge->shortText1, "Firstziegel Rückseite");
    EXPECT_EQ(ridge->listPrice, (Decimal{123450, 2}));
    EXPECT_EQ(ridge->priceUnit, 100);
    EXPECT_FALSE(ridge->coverage.has_value());
    // Where the command line's --import-prices looks for it too.
    const auto remembered = store.csvColumns("Dachhandel Nord");
    ASSERT_TRUE(remembered.has_value());
    EXPECT_EQ(remembered->articleNumber, "ArtNr");
    EXPECT_EQ(remembered->coverage, "Fläche");
    EXPECT_EQ(remembered->ean, "");

    const QString april =
        write(QStringLiteral("preise_2026_04.csv"),
              wholesalerList("D-1;Dachbahn Glasvlies;Rolle;76,10;1;10;7,5\r\n"
                             "K-2;Kehlblech Größe 2;Stk;9,50;1;20;\r\n"
                             "F-3;Firstziegel Rückseite;Stk;1.234,50;100;20;\r\n"));
    dialogs_.fileAnswers = {april};
    dialogs_.questionAnswers = {Dialogs::Answer::Yes};
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& mapping = dynamic_cast<CsvImportDialog&>(dialog);
        mapping.show();
        EXPECT_EQ(mapping.supplierBox->currentText(), QStringLiteral("Dachhandel Nord"));
        EXPECT_EQ(columnBox(mapping, QStringLiteral("Preis"))->currentText(),
                  QStringLiteral("4: VK netto"));
        EXPECT_EQ(columnBox(mapping, QStringLiteral("m² je Einheit"))->currentText(),
                  QStringLiteral("7: Fläche"));
        EXPECT_EQ(columnBox(mapping, QStringLiteral("EAN"))->currentText(),
                  QStringLiteral("(keine)"));
        QTest::mouseClick(mapping.okButton, Qt::LeftButton);
        return mapping.result() == QDialog::Accepted;
    });
    form->importPriceListAction->trigger();
    ASSERT_EQ(dialogs_.questions.size(), 2u);
    EXPECT_TRUE(dialogs_.questions[1].text.contains(QStringLiteral("Geändert: 1")))
        << toStd(dialogs_.questions[1].text);
    EXPECT_EQ(store.article("Dachhandel Nord", "D-1")->listPrice, (Decimal{7610, 2}));
    EXPECT_TRUE(dialogs_.messages.empty());
}

// Cancelling the mapping ends the import: no summary, no articles, no mapping remembered.
TEST_F(CataloguePickingTest, ACancelledMappingChangesNothing) {
    Store& store = form->programStore();
    const QString path = tempPath(QStringLiteral("Süd.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(wholesalerList("S-1;Kehlblech;Stk;9,50;1;20;\r\n"));
    file.close();
    const std::size_t before = store.catalogue()->catalogue.articles().size();

    dialogs_.fileAnswers = {path};
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& mapping = dynamic_cast<CsvImportDialog&>(dialog);
        mapping.show();
        chooseColumn(mapping, QStringLiteral("Artikelnummer"), QStringLiteral("ArtNr"));
        chooseColumn(mapping, QStringLiteral("Preis"), QStringLiteral("VK netto"));
        EXPECT_TRUE(mapping.okButton->isEnabled());
        QTest::keyClick(&mapping, Qt::Key_Escape);
        return mapping.result() == QDialog::Accepted;
    });
    form->importPriceListAction->trigger();
    EXPECT_TRUE(dialogs_.formAnswers.empty());
    EXPECT_TRUE(dialogs_.questions.empty());
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(store.catalogue()->catalogue.articles().size(), before);
    EXPECT_FALSE(store.csvColumns("Süd").has_value());
}

} // namespace
} // namespace pyrelto
