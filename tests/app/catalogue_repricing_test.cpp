// "Preise aktualisieren" in the real window, for the open calculation and for a folder of them,
// after a new price list raised the roll from 74,93 € to 82,43 € (9,99 -> 10,99 € per m²). The
// real SQLite store in a temporary data folder and real files; only the dialogs are fakes.

#include "MainUnit.h"
#include "calculation_file.h"
#include "price_list_file.h"
#include "repricing_dialogs.h"
#include "sheet_articles.h"
#include "store.h"
#include "ui_test_support.h"
#include "worked_example.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

using test::toStd;

constexpr std::string_view kHeader =
    "Artikelnummer;Bezeichnung;Einheit;Preis;Preiseinheit;Rabattgruppe;m² je Einheit\r\n";
constexpr std::string_view kOldPrices = "BB-OL-5;Oberlagsbahn Schiefer;Rolle;74,93;1;10;7,5\r\n"
                                        "N-12;Nagel verzinkt;Stk;12,00;100;20;\r\n";
constexpr std::string_view kNewPrices = "BB-OL-5;Oberlagsbahn Schiefer;Rolle;82,43;1;10;7,5\r\n"
                                        "N-12;Nagel verzinkt;Stk;12,00;100;20;\r\n";

QByteArray fileBytes(const QString& name) {
    QFile file(name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << toStd(name);
    return file.readAll();
}

void writeBytes(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << toStd(name);
    file.write(bytes);
}

// Every field as the sheet shows it, to tell "nothing changed" from "something changed".
std::vector<std::u16string> allShown(const Sheet& sheet) {
    std::vector<std::u16string> texts;
    for (const FieldInfo& info : fieldCatalogue())
        texts.push_back(sheet.shownText(info.id));
    return texts;
}

class CatalogueRepricingTest : public test::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(folder));
        form = std::make_unique<TMainForm>();
        importPrices(kOldPrices);
        form->programStore().setGroupDiscount("Nord", "10", Decimal{35, 0});
    }
    void TearDown() override {
        form->close();
        form.reset();
    }

    void importPrices(std::string_view rows) {
        const std::string text = std::string(kHeader) + std::string(rows);
        CsvOptions options;
        options.supplier = "Nord";
        options.priceDate = {2026, 3, 1};
        Store& store = form->programStore();
        const ImportPlan plan = store.planImport(
            readPriceList({reinterpret_cast<const std::byte*>(text.data()), text.size()}, options));
        ASSERT_TRUE(plan.applicable());
        store.applyImport(plan);
    }

    // The worked example saved in the folder as `name`, with the roll picked into M1 (as typed:
    // 9,99) when `roll`, and the nails into S1 under a number the catalogue never had when
    // `unknownNails`.
    QString writeCalculation(const QString& name, bool roll, bool unknownNails) {
        Sheet sheet(NumberFormat{u','});
        sheet.runCountRules();
        test::enterWorkedExample(sheet);
        CalculationExtras extras;
        const auto snapshot = form->programStore().catalogue();
        const Catalogue& catalogue = snapshot->catalogue;
        if (roll)
            pickArticle(sheet, extras, RowSlot::M1, *catalogue.find("Nord", "BB-OL-5"), catalogue);
        if (unknownNails) {
            pickArticle(sheet, extras, RowSlot::S1, *catalogue.find("Nord", "N-12"), catalogue);
            extras.rowArticles[static_cast<std::size_t>(RowSlot::S1)]->articleNumber = u"N-99";
        }
        QString path = QDir(folder).filePath(name);
        savefile(sheet, path.toStdU16String(), extras);
        return path;
    }

    QString shown(FieldId id) const {
        return QString::fromStdU16String(form->sheet().shownText(id));
    }

    // The calculations, alone in their folder.
    const QString folder = tempPath(QStringLiteral("Kalkulationen"));
    std::unique_ptr<TMainForm> form;
};

// A calculation without article numbers is told so; one with them shows old -> new and the net
// end sum before -> after, changes nothing when declined and, when confirmed, enters the new
// price so that every field is what typing it by hand gives. The row whose article the catalogue
// does not know is shown as such and keeps its price.
TEST_F(CatalogueRepricingTest, TheOpenCalculationChangesOnlyWhenConfirmed) {
    test::enterWorkedExample(form->sheet());
    form->repriceCalculationAction->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(
        dialogs_.messages[0].text.contains(QStringLiteral("keine Zeile"), Qt::CaseInsensitive))
        << toStd(dialogs_.messages[0].text);
    EXPECT_TRUE(dialogs_.forms.empty());

    dialogs_.fileAnswers = {writeCalculation(QStringLiteral("dach.kal"), true, true)};
    form->ffnen1Click();
    // The prices are those of the file: nothing to do yet.
    form->repriceCalculationAction->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    const QString current = dialogs_.messages[1].text;
    EXPECT_TRUE(current.contains(QStringLiteral("Keine Zeile hat einen neuen Preis")))
        << toStd(current);
    EXPECT_TRUE(current.contains(QStringLiteral("S1 N-99: nicht im Katalog"))) << toStd(current);
    EXPECT_TRUE(dialogs_.forms.empty());

    importPrices(kNewPrices);
    const auto before = allShown(form->sheet());
    const auto look = [](QDialog& dialog) {
        auto& shownDialog = dynamic_cast<SheetRepricingDialog&>(dialog);
        QTableWidget& table = *shownDialog.rowTable;
        EXPECT_EQ(table.rowCount(), 2);
        const auto cells = [&table](int row) {
            QStringList texts;
            for (int column = 0; column < SheetRepricingDialog::ColumnCount; ++column)
                texts << table.item(row, column)->text();
            return texts.join(QLatin1Char('|'));
        };
        EXPECT_EQ(cells(0), QStringLiteral("M1|BB-OL-5 (Nord)|9,99|10,99|geändert"));
        EXPECT_EQ(cells(1), QStringLiteral("S1|N-99 (Nord)|0,12||nicht im Katalog: bleibt"));
        return &shownDialog;
    };
    dialogs_.formAnswers.push_back([&look](QDialog& dialog) {
        look(dialog);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        return dialog.result() == QDialog::Accepted;
    });
    form->repriceCalculationAction->trigger();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    EXPECT_EQ(allShown(form->sheet()), before);

    // What typing the new price by hand gives, field by field.
    Sheet typed(NumberFormat{u','});
    typed.runCountRules();
    test::enterWorkedExample(typed);
    typed.enter(FieldId::Bez1Ed, u"Oberlagsbahn Schiefer");
    typed.enter(FieldId::Bez8Ed, u"Nagel verzinkt");
    typed.enter(FieldId::List1Ed, u"10,99");
    QString net;
    dialogs_.formAnswers.push_back([&look, &net](QDialog& dialog) {
        SheetRepricingDialog* shownDialog = look(dialog);
        net = shownDialog->netLabel->text();
        QTest::mouseClick(shownDialog->applyButton, Qt::LeftButton);
        return dialog.result() == QDialog::Accepted;
    });
    form->repriceCalculationAction->trigger();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    EXPECT_EQ(shown(FieldId::List1Ed), QStringLiteral("10,99"));
    EXPECT_EQ(shown(FieldId::Ek8Ed), QStringLiteral("0,12"));
    EXPECT_NE(shown(FieldId::Summe15Ed), QStringLiteral("486,24"));
    EXPECT_EQ(allShown(form->sheet()), allShown(typed));
    EXPECT_EQ(net, QStringLiteral("Endsumme netto: 486,24 → %1")
                       .arg(QString::fromStdU16String(typed.shownText(FieldId::Summe15Ed))));
}

// A folder: the dry run's report in the window, exported as CSV, then "Übernehmen" writes the one
// file with a new price (its old version beside it as .bak) and leaves every other file as it
// was, the damaged one included.
TEST_F(CatalogueRepricingTest, AFolderIsReportedExportedAndWrittenOnConfirmation) {
    const QString changed = writeCalculation(QStringLiteral("a-dach.kal"), true, false);
    const QString unknown = writeCalculation(QStringLiteral("b-naegel.kal"), false, true);
    const QString plain = writeCalculation(QStringLiteral("c-ohne.kal"), false, false);
    const QString damaged = QDir(folder).filePath(QStringLiteral("d-kaputt.kal"));
    writeBytes(damaged, fileBytes(changed).left(100));
    importPrices(kNewPrices);
    const QStringList files{changed, unknown, plain, damaged};
    std::vector<QByteArray> original;
    for (const QString& file : files)
        original.push_back(fileBytes(file));

    const QString csv = tempPath(QStringLiteral("bericht.csv"));
    dialogs_.fileAnswers = {folder, csv};
    QStringList lines;
    QString summary;
    dialogs_.formAnswers.push_back([&](QDialog& dialog) {
        auto& report = dynamic_cast<FolderRepricingDialog&>(dialog);
        summary = report.summaryLabel->text();
        const QAbstractItemModel& model = *report.reportTable->model();
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model.columnCount(); ++column)
                cells << model.index(row, column).data().toString();
            lines << cells.join(QLatin1Char('|'));
        }
        // The dry run wrote nothing.
        for (qsizetype i = 0; i < files.size(); ++i)
            EXPECT_EQ(fileBytes(files[i]), original[static_cast<std::size_t>(i)])
                << toStd(files[i]);
        QTest::mouseClick(report.exportButton, Qt::LeftButton);
        EXPECT_TRUE(report.applyButton->isEnabled());
        QTest::mouseClick(report.applyButton, Qt::LeftButton);
        return dialog.result() == QDialog::Accepted;
    });
    form->repriceFolderAction->trigger();
    ASSERT_TRUE(dialogs_.formAnswers.empty());
    ASSERT_TRUE(dialogs_.fileAnswers.empty());

    const QString sumAfter = [&] {
        Sheet reopened(NumberFormat{u','});
        reopened.runCountRules();
        openfile(reopened, changed.toStdU16String());
        EXPECT_EQ(reopened.shownText(FieldId::List1Ed), u"10,99");
        return QString::fromStdU16String(reopened.shownText(FieldId::Summe15Ed));
    }();
    ASSERT_EQ(lines.size(), 4) << toStd(lines.join(QLatin1Char('\n')));
    EXPECT_EQ(
        lines[0],
        QStringLiteral("a-dach.kal|M1|Nord|BB-OL-5|geändert|9,99|10,99|486,24|%1|").arg(sumAfter));
    EXPECT_EQ(lines[1], QStringLiteral("b-naegel.kal|S1|Nord|N-99|nicht im Katalog|0,12||486,24|"
                                       "486,24|"));
    EXPECT_EQ(lines[2], QStringLiteral("c-ohne.kal||||keine Artikelnummern|||486,24|486,24|"));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("d-kaputt.kal||||beschädigt||||")))
        << toStd(lines[3]);
    EXPECT_GT(lines[3].size(), QStringLiteral("d-kaputt.kal||||beschädigt|||||").size());
    EXPECT_TRUE(summary.contains(QStringLiteral("mit neuen Preisen: 1"))) << toStd(summary);

    // The CSV as a spreadsheet reads it.
    const QByteArray exported = fileBytes(csv);
    ASSERT_TRUE(exported.startsWith("\xEF\xBB\xBF"));
    const QStringList csvLines = QString::fromUtf8(exported.mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_GE(csvLines.size(), 5);
    EXPECT_TRUE(csvLines[0].startsWith(QStringLiteral("Datei;Zeile;Lieferant;Artikelnummer;")));
    // Exported from the dry run, which says so.
    EXPECT_EQ(csvLines[1], QStringLiteral("a-dach.kal;M1;Nord;BB-OL-5;geändert;9,99;10,99;486,24;"
                                          "%1;Probelauf: nicht geschrieben")
                               .arg(sumAfter));
    EXPECT_TRUE(csvLines[4].startsWith(QStringLiteral("d-kaputt.kal;;;;beschädigt;")));

    EXPECT_NE(fileBytes(changed), original[0]);
    EXPECT_EQ(fileBytes(changed + QStringLiteral(".bak")), original[0]);
    for (qsizetype i = 1; i < files.size(); ++i) {
        EXPECT_EQ(fileBytes(files[i]), original[static_cast<std::size_t>(i)]) << toStd(files[i]);
        EXPECT_FALSE(QFile::exists(files[i] + QStringLiteral(".bak"))) << toStd(files[i]);
    }
    ASSERT_FALSE(dialogs_.messages.empty());
    EXPECT_TRUE(dialogs_.messages.back().text.contains(QStringLiteral("1 von 4")))
        << toStd(dialogs_.messages.back().text);
}

} // namespace
} // namespace pyrelto
