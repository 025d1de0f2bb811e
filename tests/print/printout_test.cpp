#include "decimal_text.h"
#include "kept_folder_test.h"
#include "pdf_reader.h"
#include "printer_run.h"
#include "printout.h"
#include "qt_app_environment.h"
#include "qt_strings.h"
#include "sheet.h"
#include "worked_example.h"

#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>
#include <initializer_list>
#include <utility>

namespace pyrelto {
namespace {

using F = FieldId;

const auto* const environment = ::testing::AddGlobalTestEnvironment(new test::QtAppEnvironment);

// PYRELTO_KEEP_PRINTOUT keeps the PDFs for looking at them (docs/printout.png).
class PrintoutTest : public test::KeptFolderTest {
protected:
    PrintoutTest() : KeptFolderTest("PYRELTO_KEEP_PRINTOUT") { sheet.runCountRules(); }

    void enter(std::initializer_list<std::pair<F, const char16_t*>> entries) {
        for (const auto& [id, text] : entries)
            sheet.enter(id, text);
    }
    void enterWorkedExample() {
        test::enterWorkedExample(sheet);
        sheet.enter(F::KundeEd, u"Dachdeckerei Müller");
    }

    // Prints to a PDF file and returns the number of pages printSheet reported.
    int printToPdf(const QString& name,
                   QPageLayout::Orientation orientation = QPageLayout::Portrait,
                   QPageSize::PageSizeId size = QPageSize::A4) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(filePath(name));
        printer.setPageSize(QPageSize(size));
        printer.setPageOrientation(orientation);
        return printSheet(sheet, printer, QDate(2026, 12, 10));
    }

    QString pdfText(const QString& name) const { return test::pdfText(filePath(name)); }
    int pdfPages(const QString& name) const { return test::pdfPages(filePath(name)); }

    Sheet sheet{NumberFormat{u','}};
};

// The column each value lands in and the line it is on, looked up by its text.
std::pair<int, int> cellOf(const PrintColumns& table, const QString& text) {
    for (int c = 0; c < PrintColumns::cols; ++c) {
        const int line = table.str[static_cast<std::size_t>(c)].indexOf(text);
        if (line >= 0)
            return {c, line};
    }
    return {-1, -1};
}

TEST_F(PrintoutTest, ColumnsFollowTheSheetAndSetTheEndSumsApart) {
    enterWorkedExample();
    enter({{F::AnzZeilenEd, u"2"}, {F::Bez1Ed, u"Bitumenbahn"}, {F::Bez2Ed, u"Schweißbahn"}});
    const PrintColumns table = layoutSheet(sheet);

    for (const QStringList& column : table.str)
        ASSERT_EQ(column.size(), table.lineCount());

    const auto [bezColumn, row1] = cellOf(table, QStringLiteral("Bitumenbahn"));
    EXPECT_EQ(bezColumn, 0);
    const std::array<QString, 7> materialRow{QStringLiteral("Bitumenbahn"), QStringLiteral("9,99"),
                                             QStringLiteral("35,00"),       QStringLiteral("6,49"),
                                             QStringLiteral("15,00"),       QStringLiteral("7,46"),
                                             QStringLiteral("€/m²")};
    for (std::size_t c = 0; c < materialRow.size(); ++c)
        EXPECT_EQ(table.str[c].at(row1), materialRow[c]) << "column " << c;
    EXPECT_EQ(table.lines[static_cast<std::size_t>(row1)], PrintLine::Values);

    // The two material rows share one caption line, directly above the first.
    const auto row2 = cellOf(table, QStringLiteral("Schweißbahn")).second;
    EXPECT_EQ(row2, row1 + 1);
    EXPECT_EQ(table.lines[static_cast<std::size_t>(row1 - 1)], PrintLine::Captions);
    EXPECT_EQ(table.str[2].at(row1 - 1), QStringLiteral("Rabatt %:"));
    EXPECT_EQ(table.str[0].filter(QStringLiteral("Bezeichnung:")).size(),
              3) // material, piece, layer
        << table.str[0].join(QLatin1Char('|')).toStdString();

    // The gross end sum is the last line, after the net sum and the rate, in the sum column.
    const int last = table.lineCount() - 1;
    EXPECT_EQ(table.lines.back(), PrintLine::GrandTotal);
    EXPECT_EQ(table.str[0].at(last), QStringLiteral("Endsumme Brutto:"));
    EXPECT_EQ(table.str[5].at(last), QStringLiteral("578,63"));
    EXPECT_EQ(table.str[6].at(last), QStringLiteral("€"));
    EXPECT_EQ(table.str[5].at(last - 2), QStringLiteral("486,24"));
    EXPECT_EQ(table.str[5].at(last - 1), QStringLiteral("19,00"));
    EXPECT_EQ(table.lines[static_cast<std::size_t>(last - 3)], PrintLine::Rule);
}

TEST_F(PrintoutTest, PdfShowsTheWorkedExampleAndNoHiddenRow) {
    enterWorkedExample();
    enter({{F::AnzSonstEd, u"1"}, {F::LagenEd, u"2"}, {F::Summe12Ed, u"99,99"}});
    ASSERT_EQ(printToPdf(QStringLiteral("example.pdf")), 1);
    const QString text = pdfText(QStringLiteral("example.pdf"));

    for (const char16_t* expected :
         {u"Pyrelto Kalkulation", u"Dachdeckerei Müller", u"10.12.2026", u"Endsumme Brutto:",
          u"Endsumme Netto:", u"Mwst%:", u"6,49", u"7,46", u"0,48", u"8,29", u"9,53", u"20,03",
          u"480,72", u"572,06", u"Gas", u"Tellerdübel", u"Pyrelto 2. Lage", u"€"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf16(expected)))
            << QString::fromUtf16(expected).toStdString();
    }
    // Other-cost row 2 and layer row 3 are hidden: neither their descriptions nor their values
    // show, and a single page has no page number.
    for (const char16_t* hidden :
         {u"Titanol", u"0,20", u"Pyrelto 3. Lage", u"99,99", u"Seite", u"Anzahl"}) {
        EXPECT_FALSE(text.contains(QString::fromUtf16(hidden)))
            << QString::fromUtf16(hidden).toStdString();
    }
}

TEST_F(PrintoutTest, LongPrintoutRunsOverPagesWithoutLosingARow) {
    enterWorkedExample();
    enter({{F::AnzZeilenEd, u"5"}, {F::AnzSonstEd, u"5"}, {F::AnzStueckEd, u"5"}});
    const std::array descriptions{F::Bez1Ed,  F::Bez2Ed,  F::Bez3Ed,  F::Bez4Ed,  F::Bez5Ed,
                                  F::Bez6Ed,  F::Bez7Ed,  F::Bez7Ed2, F::Bez7Ed3, F::Bez7Ed4,
                                  F::Bez8Ed,  F::Bez8Ed2, F::Bez8Ed3, F::Bez8Ed4, F::Bez8Ed5,
                                  F::Bez10Ed, F::Bez11Ed, F::Bez12Ed};
    for (std::size_t i = 0; i < descriptions.size(); ++i)
        sheet.enter(descriptions[i], u"Posten" + std::u16string(1, char16_t(u'A' + i)));

    const int pages = printToPdf(QStringLiteral("long.pdf"), QPageLayout::Landscape, QPageSize::A6);
    ASSERT_GE(pages, 2);
    EXPECT_EQ(pdfPages(QStringLiteral("long.pdf")), pages);
    const QString text = pdfText(QStringLiteral("long.pdf"));
    for (std::size_t i = 0; i < descriptions.size(); ++i) {
        const QString name = QStringLiteral("Posten") + QChar(u'A' + int(i));
        EXPECT_EQ(text.count(name), 1) << name.toStdString();
    }
    for (int page = 1; page <= pages; ++page)
        EXPECT_TRUE(text.contains(QStringLiteral("Seite %1 von %2").arg(page).arg(pages))) << page;
    EXPECT_EQ(text.count(QStringLiteral("Dachdeckerei Müller")),
              pages); // the heading on every page
    // A group of rows continued on a new page carries its caption line there again.
    const QStringList pageTexts = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    for (const QString& pageText : pageTexts) {
        const qsizetype firstRow = pageText.indexOf(QStringLiteral("Posten"));
        if (firstRow >= 0) {
            EXPECT_TRUE(pageText.left(firstRow).contains(QStringLiteral("Summe:")))
                << pageText.toStdString();
        }
    }
    EXPECT_TRUE(text.contains(QStringLiteral("578,63")));
}

TEST_F(PrintoutTest, EachFieldPrintsInItsOwnOrderOnItsOwnLine) {
    enterWorkedExample();
    // An override in the currency reversed every unit cell after it; a name stored reversed
    // behind one printed as another name; a line break cut the heading in two.
    enter({{F::Waehr15Ed, u"\u202EEUR"},
           {F::KundeEd, u"\u202Erellüm\nDach"},
           {F::Bez1Ed, u"Bitumen\u202E\r\nbahn"}});
    const PrintColumns table = layoutSheet(sheet);
    EXPECT_EQ(cellOf(table, QStringLiteral("EUR/m²")).first, 6);
    EXPECT_EQ(cellOf(table, QStringLiteral("Bitumen bahn")).first, 0);

    ASSERT_EQ(printToPdf(QStringLiteral("isolated.pdf")), 1);
    const QString text = pdfText(QStringLiteral("isolated.pdf"));
    EXPECT_TRUE(text.contains(QStringLiteral("EUR/m²"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Bitumen bahn"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("RUE"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("²m"))) << text.toStdString();
    // The heading stays one line: caption, the name as stored, the date.
    const QStringList lines = text.split(QLatin1Char('\n'));
    const auto heading = std::find_if(lines.begin(), lines.end(), [](const QString& line) {
        return line.contains(QStringLiteral("10.12.2026"));
    });
    ASSERT_NE(heading, lines.end()) << text.toStdString();
    const QString caption = toQString(fieldInfo(F::KundeEd).caption).trimmed();
    EXPECT_TRUE(heading->contains(QRegularExpression(QRegularExpression::escape(caption) +
                                                     QStringLiteral("\\s+rellüm Dach\\s+"))))
        << heading->toStdString();
}

TEST_F(PrintoutTest, NoPrinterIsReportedInsteadOfPrintingNothing) {
    // What Qt gives when no printer is installed: a PDF printer without a file.
    QPrinter nowhere;
    nowhere.setOutputFormat(QPrinter::PdfFormat);
    nowhere.setOutputFileName(QString());
    EXPECT_FALSE(printerProblem(nowhere).isEmpty());
    try {
        printSheet(sheet, nowhere, QDate(2026, 12, 10));
        ADD_FAILURE() << "printed without a printer";
    } catch (const PrintError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("kein Drucker"))) << error.what();
    }

    // A printer that fails to start is an error too, not an empty success.
    QPrinter broken;
    broken.setOutputFormat(QPrinter::PdfFormat);
    broken.setOutputFileName(folder.filePath(QStringLiteral("missing/folder/out.pdf")));
    EXPECT_THROW(printSheet(sheet, broken, QDate(2026, 12, 10)), PrintError);
    EXPECT_FALSE(QFile::exists(broken.outputFileName()));
}

} // namespace
} // namespace pyrelto
