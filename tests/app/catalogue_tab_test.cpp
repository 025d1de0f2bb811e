// The "Materialien" tab in the real window over the real SQLite store in a temporary data folder;
// only the dialogs are fakes.

#include "MainUnit.h"
#include "article_picker.h"
#include "catalogue_tab.h"
#include "csv_import_dialog.h"
#include "deferred_page.h"
#include "price_list_file.h"
#include "program_store.h"
#include "store.h"
#include "ui_test_support.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

using test::toStd;

// A roll of 7,5 m², a roll of 10 m² in the same discount group, nails per 100, and a text that
// needs quoting in CSV.
constexpr std::string_view kPriceList =
    "Artikelnummer;Bezeichnung;Bezeichnung 2;Einheit;Preis;Preiseinheit;Rabattgruppe;m² je "
    "Einheit;Warengruppe;EAN\r\n"
    "BB-OL-5;Oberlagsbahn Schiefer;grün;Rolle;74,93;1;10;7,5;B1;4006123456789\r\n"
    "BB-UL-3;Unterlagsbahn;;Rolle;51,20;1;10;10;B1;\r\n"
    "KB-2;\"Kehlblech \"\"Typ A\"\"; 2 m\";;Stk;18,5;1;;;K;\r\n"
    "N-12;Nagel verzinkt;;Stk;12,00;100;20;;N;\r\n";

PriceList readList(std::string_view text, const std::string& supplier) {
    CsvOptions options;
    options.supplier = supplier;
    options.priceDate = {2026, 3, 1};
    return readPriceList(std::as_bytes(std::span(text.data(), text.size())), options);
}

void writeText(const QString& name, std::string_view text) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

class CatalogueTabTest : public test::UiTest {
protected:
    void SetUp() override {
        openWindow();
        Store& store = form->programStore();
        const ImportPlan plan = store.planImport(readList(kPriceList, "Nord"));
        ASSERT_TRUE(plan.applicable()) << plan.problems.front().reason;
        store.applyImport(plan);
        store.setGroupDiscount("Nord", "10", Decimal{35, 0});
    }
    void TearDown() override {
        form->close();
        form.reset();
    }

    void openWindow() {
        form = std::make_unique<TMainForm>();
        form->show();
        tab = form->catalogueTab();
    }
    void showTab() {
        form->PageControl1->setCurrentWidget(form->cataloguePage);
        QCoreApplication::processEvents();
    }
    QString cell(int row, int column) const {
        return tab->model().index(row, column).data().toString();
    }
    QStringList shownNumbers() const {
        QStringList numbers;
        for (int row = 0; row < tab->model().rowCount(); ++row)
            numbers << cell(row, ArticleTableModel::Number);
        return numbers;
    }
    void select(const std::string& number) { ASSERT_TRUE(tab->selectArticle("Nord", number)); }

    std::unique_ptr<TMainForm> form;
    CatalogueTab* tab = nullptr;
};

// The catalogue is read when the tab is first shown, listed with its figures, filtered as the
// user types, and follows an import made from the menu while the tab is shown.
TEST_F(CatalogueTabTest, ShownOnFirstShowFilteredAsYouTypeAndFollowsAnImport) {
    EXPECT_EQ(tab->model().rowCount(), 0) << "read before the tab was shown";
    showTab();
    ASSERT_EQ(shownNumbers(), (QStringList{QStringLiteral("BB-OL-5"), QStringLiteral("BB-UL-3"),
                                           QStringLiteral("KB-2"), QStringLiteral("N-12")}));
    const struct {
        int column;
        const char16_t* expected;
    } roll[] = {
        {ArticleTableModel::Text, u"Oberlagsbahn Schiefer grün"},
        {ArticleTableModel::Unit, u"Rolle"},
        {ArticleTableModel::Price, u"74,93"},
        {ArticleTableModel::PricePerSquareMetre, u"9,99"},
        {ArticleTableModel::PriceDate, u"01.03.2026"},
        {ArticleTableModel::Supplier, u"Nord"},
        {ArticleTableModel::Coverage, u"7,5"},
        {ArticleTableModel::GroupDiscount, u"35"},
    };
    for (const auto& c : roll)
        EXPECT_EQ(cell(0, c.column), QString::fromUtf16(c.expected)) << c.column;
    EXPECT_EQ(cell(3, ArticleTableModel::Price), QStringLiteral("12,00 / 100"));
    EXPECT_EQ(tab->countLabel->text(), QStringLiteral("4 Artikel"));

    tab->searchEdit->setFocus();
    QTest::keyClicks(tab->searchEdit, QStringLiteral("bb"));
    EXPECT_EQ(shownNumbers(), (QStringList{QStringLiteral("BB-OL-5"), QStringLiteral("BB-UL-3")}));
    QTest::keyClicks(tab->searchEdit, QStringLiteral(" unt"));
    EXPECT_EQ(shownNumbers(), QStringList{QStringLiteral("BB-UL-3")});
    EXPECT_EQ(tab->countLabel->text(), QStringLiteral("1 von 4 Artikeln"));
    EXPECT_EQ(toStd(tab->articleLabel->text()), "Nord · BB-UL-3 · Unterlagsbahn");
    tab->searchEdit->clear();
    EXPECT_EQ(tab->model().rowCount(), 4);
    QTest::keyClicks(tab->searchEdit, QStringLiteral("typ"));
    EXPECT_EQ(shownNumbers(), QStringList{QStringLiteral("KB-2")});
    tab->searchEdit->setText(QStringLiteral("oberl"));

    // The next list of the supplier, imported from the menu: a new price and a new article.
    const QString next = tempPath(QStringLiteral("Nord.csv"));
    writeText(next, "Artikelnummer;Bezeichnung;Einheit;Preis;Rabattgruppe\r\n"
                    "BB-OL-5;Oberlagsbahn Schiefer;Rolle;79,90;10\r\n"
                    "BB-OL-6;Oberlagsbahn Schiefer rot;Rolle;81,00;10\r\n");
    dialogs_.fileAnswers.push_back(next);
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        auto& mapping = dynamic_cast<CsvImportDialog&>(dialog);
        mapping.show();
        QTest::mouseClick(mapping.okButton, Qt::LeftButton);
        return mapping.result() == QDialog::Accepted;
    });
    dialogs_.questionAnswers.push_back(Dialogs::Answer::Yes);
    form->importPriceListAction->trigger();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_EQ(shownNumbers(), (QStringList{QStringLiteral("BB-OL-5"), QStringLiteral("BB-OL-6")}));
    EXPECT_EQ(cell(0, ArticleTableModel::Price), QStringLiteral("79,90"));
    EXPECT_EQ(cell(0, ArticleTableModel::PricePerSquareMetre), QStringLiteral("10,65"));
    EXPECT_EQ(tab->countLabel->text(), QStringLiteral("2 von 5 Artikeln"));
}

// Coverage, waste and the group's discount, typed with German decimal commas and saved with
// Enter in one change of the catalogue, are in the list at once and after the program is opened
// again; the discount shows on every article of the group.
TEST_F(CatalogueTabTest, OwnFieldsAreSavedTogetherAndComeBackAfterReopening) {
    showTab();
    select("BB-UL-3");
    EXPECT_EQ(tab->coverageEdit->text(), QStringLiteral("10"));
    EXPECT_EQ(tab->wasteEdit->text(), QString());
    EXPECT_EQ(tab->groupDiscountEdit->text(), QStringLiteral("35"));
    EXPECT_TRUE(tab->groupDiscountLabel->text().contains(QStringLiteral("Rabattgruppe 10")));
    const std::int64_t before = form->programStore().catalogueChange();
    tab->coverageEdit->setText(QStringLiteral("12,5"));
    tab->wasteEdit->setText(QStringLiteral("7,5"));
    tab->groupDiscountEdit->setText(QStringLiteral("40,25"));
    QTest::keyClick(tab->groupDiscountEdit, Qt::Key_Return);
    EXPECT_TRUE(dialogs_.messages.empty()) << toStd(dialogs_.messages.front().text);
    EXPECT_EQ(form->programStore().catalogueChange(), before + 1);
    EXPECT_EQ(cell(1, ArticleTableModel::Coverage), QStringLiteral("12,5"));
    EXPECT_EQ(cell(1, ArticleTableModel::Waste), QStringLiteral("7,5"));
    EXPECT_EQ(cell(1, ArticleTableModel::PricePerSquareMetre), QStringLiteral("4,10"));
    EXPECT_EQ(cell(0, ArticleTableModel::GroupDiscount), QStringLiteral("40,25"));
    EXPECT_EQ(tab->selectedArticle()->articleNumber, "BB-UL-3");

    // Cleared fields are no values; an article without a group has no discount to edit.
    select("BB-OL-5");
    tab->coverageEdit->clear();
    tab->saveButton->click();
    select("KB-2");
    EXPECT_FALSE(tab->groupDiscountEdit->isEnabled());
    tab->wasteEdit->setText(QStringLiteral("3"));
    tab->saveButton->click();

    form->close();
    form.reset();
    openWindow();
    showTab();
    select("BB-UL-3");
    EXPECT_EQ(tab->coverageEdit->text(), QStringLiteral("12,5"));
    EXPECT_EQ(tab->wasteEdit->text(), QStringLiteral("7,5"));
    EXPECT_EQ(tab->groupDiscountEdit->text(), QStringLiteral("40,25"));
    const auto snapshot = form->programStore().catalogue();
    EXPECT_FALSE(snapshot->catalogue.find("Nord", "BB-OL-5")->coverage.has_value());
    EXPECT_EQ(snapshot->catalogue.find("Nord", "KB-2")->wastePercent, (Decimal{3, 0}));
    EXPECT_EQ(snapshot->catalogue.groupDiscount("Nord", "10"), (Decimal{4025, 2}));
    EXPECT_TRUE(dialogs_.messages.empty());
}

// Input that is no number, or out of its range, is refused with a German message naming it;
// nothing is saved and the form keeps what was typed.
TEST_F(CatalogueTabTest, BadInputIsRefusedAndTheFormKeepsIt) {
    showTab();
    select("BB-OL-5");
    const struct {
        const char* name;
        QLineEdit* CatalogueTab::*edit;
        const char16_t* typed;
        const char16_t* message;
    } rows[] = {
        {"dot", &CatalogueTab::coverageEdit, u"7.5", u"„7.5“ ist keine gültige Zahl für m² je"},
        {"unit", &CatalogueTab::coverageEdit, u"7,5 m²", u"keine gültige Zahl für m² je Einheit"},
        {"letters", &CatalogueTab::wasteEdit, u"fünf", u"„fünf“ ist keine gültige Zahl für Ver"},
        {"decimals", &CatalogueTab::groupDiscountEdit, u"1,23456", u"keine gültige Zahl für Rab"},
        {"two commas", &CatalogueTab::wasteEdit, u"1,2,3", u"keine gültige Zahl"},
        {"zero coverage", &CatalogueTab::coverageEdit, u"0", u"muss größer als 0 sein"},
        {"negative waste", &CatalogueTab::wasteEdit, u"-3", u"darf nicht negativ sein"},
        {"discount over 100", &CatalogueTab::groupDiscountEdit, u"120", u"zwischen 0 und 100 %"},
    };
    const std::int64_t before = form->programStore().catalogueChange();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        tab->coverageEdit->setText(QStringLiteral("8"));
        tab->wasteEdit->setText(QStringLiteral("5"));
        tab->groupDiscountEdit->setText(QStringLiteral("30"));
        (tab->*row.edit)->setText(QString::fromUtf16(row.typed));
        dialogs_.messages.clear();
        tab->saveButton->click();
        ASSERT_EQ(dialogs_.messages.size(), 1u);
        EXPECT_TRUE(dialogs_.messages[0].text.contains(QString::fromUtf16(row.message)))
            << toStd(dialogs_.messages[0].text);
        EXPECT_EQ((tab->*row.edit)->text(), QString::fromUtf16(row.typed));
        EXPECT_EQ(tab->coverageEdit->text().isEmpty(), false);
        EXPECT_EQ(form->programStore().catalogueChange(), before);
    }
    EXPECT_EQ(cell(0, ArticleTableModel::Coverage), QStringLiteral("7,5"));
}

// Another PC withdraws the article while its fields are typed here: the save is refused with the
// store's message, and the form keeps every value typed.
TEST_F(CatalogueTabTest, ASaveTheStoreRefusesLosesNothingTyped) {
    showTab();
    select("N-12");
    tab->coverageEdit->setText(QStringLiteral("0,5"));
    tab->wasteEdit->setText(QStringLiteral("2"));
    tab->groupDiscountEdit->setText(QStringLiteral("15"));
    {
        const auto otherPc = openProgramStore(programStoreUri());
        std::string withdrawal = "V 010326";
        withdrawal.append(115, ' ');
        withdrawal += "04EUR\r\nA;L;N-12;00;Nagel verzinkt;;1;2;Stk;1200;20;N;\r\n";
        const ImportPlan plan = otherPc->planImport(readList(withdrawal, "Nord"));
        ASSERT_EQ(plan.withdrawn.size(), 1u);
        otherPc->applyImport(plan);
    }
    tab->saveButton->click();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(toStd(dialogs_.messages[0].text),
              "Der Artikel „N-12“ von „Nord“ steht nicht im Katalog.");
    EXPECT_EQ(tab->coverageEdit->text(), QStringLiteral("0,5"));
    EXPECT_EQ(tab->wasteEdit->text(), QStringLiteral("2"));
    EXPECT_EQ(tab->groupDiscountEdit->text(), QStringLiteral("15"));
    // Nothing of it was written, the group's discount included.
    EXPECT_EQ(form->programStore().catalogue()->catalogue.groupDiscount("Nord", "20"),
              std::nullopt);
    // Shown again, the tab has the other PC's state.
    tab->refresh();
    EXPECT_EQ(tab->model().rowCount(), 3);
}

// "Als CSV exportieren": every field, our own included, in a file the program's own CSV import
// reads back to the same articles.
TEST_F(CatalogueTabTest, CsvExportReadsBackThroughTheImport) {
    showTab();
    select("BB-OL-5");
    tab->wasteEdit->setText(QStringLiteral("5"));
    tab->saveButton->click();
    const QString exported = tempPath(QStringLiteral("Katalog.csv"));
    dialogs_.fileAnswers.push_back(exported);
    tab->exportButton->click();
    ASSERT_TRUE(dialogs_.messages.empty()) << toStd(dialogs_.messages.front().text);
    ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
    EXPECT_TRUE(dialogs_.fileRequests[0].save);
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 6); // header, four articles, nothing after the last CR LF
    EXPECT_EQ(lines[0].toStdString(),
              "\xEF\xBB\xBFLieferant;Artikelnummer;Bezeichnung;Bezeichnung 2;Einheit;Preis;"
              "Preiseinheit;Preisart;Rabattgruppe;Warengruppe;EAN;Preisdatum;Vorheriger Preis;"
              "Datum vorheriger Preis;m² je Einheit;Verschnitt %;Rabatt %;Preis je m²\r");
    EXPECT_EQ(lines[1].toStdString(),
              "Nord;BB-OL-5;Oberlagsbahn Schiefer;grün;Rolle;74,93;1;Listenpreis;10;B1;"
              "4006123456789;01.03.2026;;;7,5;5;35;9,99\r");
    EXPECT_EQ(lines[3].toStdString(),
              "Nord;KB-2;\"Kehlblech \"\"Typ A\"\"; 2 m\";;Stk;18,5;1;Listenpreis;;K;;"
              "01.03.2026;;;;;;\r");

    // Read back and imported into an empty catalogue: the same articles, field by field.
    const PriceList list = readPriceListFile(exported.toStdU16String(), [] {
        CsvOptions options;
        options.supplier = "Nord";
        options.priceDate = {2026, 3, 1};
        return options;
    }());
    ASSERT_TRUE(list.problems.empty()) << list.problems.front().reason;
    EXPECT_EQ(list.encoding, TextEncoding::Utf8);
    Catalogue again;
    again.apply(again.planImport(list));
    const auto original = form->programStore().catalogue();
    ASSERT_EQ(again.articles().size(), original->catalogue.articles().size());
    for (std::size_t i = 0; i < again.articles().size(); ++i) {
        const Article& read = again.articles()[i];
        const Article& kept = original->catalogue.articles()[i];
        SCOPED_TRACE(kept.articleNumber);
        EXPECT_TRUE(sameListFields(read, kept));
        EXPECT_EQ(read.coverage, kept.coverage);
    }
}

} // namespace
} // namespace pyrelto
