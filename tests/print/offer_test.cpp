// The offer document: real PDFs read back with pdftotext, pdfinfo and pdffonts.

#include "calculation_pdf.h"
#include "decimal_text.h"
#include "kept_folder_test.h"
#include "money.h"
#include "offer_print.h"
#include "pdf_reader.h"
#include "printer_run.h"
#include "printout.h"
#include "qt_app_environment.h"
#include "qt_strings.h"
#include "qt_text.h"
#include "sheet.h"
#include "worked_example.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <utility>

namespace pyrelto {
namespace {

using F = FieldId;

const auto* const environment = ::testing::AddGlobalTestEnvironment(new test::QtAppEnvironment);

using test::runTool;
using test::toStd;

FirmData sampleFirm() {
    FirmData firm;
    firm.name = u"Bedachungen Kramer GmbH";
    firm.contact = u"Jonas Kramer";
    firm.street = u"Industriestraße 12";
    firm.postcodeTown = u"34117 Kassel";
    firm.phone = u"0561 123456";
    firm.email = u"info@kramer-dach.de";
    firm.web = u"www.kramer-dach.de";
    firm.taxId = u"DE123456789";
    firm.accountHolder = u"Bedachungen Kramer GmbH";
    firm.iban = u"DE89370400440532013000";
    firm.bic = u"COBADEFFXXX";
    firm.paymentTerms = FirmData::defaultPaymentTerms();
    firm.closingText = FirmData::defaultClosingText();
    return firm;
}

OfferChoices sampleChoices() {
    OfferChoices choices;
    choices.number = u"2026-014";
    choices.date = {2026, 12, 10};
    choices.validUntil = {2027, 1, 7};
    choices.recipientName = u"Dachdeckerei Müller";
    choices.recipientAddress = u"Herrn Peter Müller\nLindenweg 5\n37073 Göttingen";
    choices.subject = OfferChoices::defaultSubject();
    choices.introduction = OfferChoices::defaultIntroduction();
    choices.workTitle = OfferChoices::defaultWorkTitle();
    return choices;
}

// PYRELTO_KEEP_OFFER keeps the PDFs for looking at them (docs/offer.png).
class OfferTest : public test::KeptFolderTest {
protected:
    OfferTest() : KeptFolderTest("PYRELTO_KEEP_OFFER") { sheet.runCountRules(); }

    void enter(std::initializer_list<std::pair<F, QString>> entries) {
        for (const auto& [id, text] : entries)
            sheet.enter(id, text.toStdU16String());
    }
    void enterWorkedExample() {
        test::enterWorkedExample(sheet);
        sheet.enter(F::KundeEd, u"Dachdeckerei Müller");
    }
    QString shown(F id) const { return test::shown(sheet, id); }

    // Writes the offer as a PDF and returns its text as pdftotext reads it.
    QString offerText(const OfferDocument& offer, const QString& name = QStringLiteral("a.pdf")) {
        const QString path = filePath(name);
        writeOfferPdf(offer, path);
        return test::pdfText(path);
    }
    int pages(const QString& name) const { return test::pdfPages(filePath(name)); }

    Sheet sheet;
};

// A word longer than the description's cell (a pasted link, a part list without spaces) is cut
// into lines that keep every character in order; cutting it once took cubic time.
TEST_F(OfferTest, AVeryLongWordIsCutIntoLinesAndKeptWhole) {
    enterWorkedExample();
    QString word;
    for (int i = 0; i < 600; ++i)
        word += QStringLiteral("Dachbahn%1").arg(i % 10);
    enter({{F::Bez10Ed, word}});
    const QString path = filePath(QStringLiteral("lang.pdf"));
    writeOfferPdf(buildOffer(sheet, sampleFirm(), sampleChoices()), path);
    // The word's lines, in order, across the page breaks (the page furniture between them has
    // spaces, dots, other letters or no letters).
    const QRegularExpression piece(QStringLiteral("^[Dachbn0-9]*[Dachbn][Dachbn0-9]*$"));
    QString joined;
    for (const QString& line : test::pdfText(path, test::PdfLayout::Raw)
                                   .remove(QLatin1Char('\f'))
                                   .split(QLatin1Char('\n'))) {
        if (piece.match(line).hasMatch())
            joined += line;
    }
    EXPECT_EQ(joined.toStdString(), word.toStdString());
}

TEST_F(OfferTest, WorkedExampleShowsTheSellingSideOnly) {
    enterWorkedExample();
    ASSERT_EQ(shown(F::Summe15Ed), QStringLiteral("486,24"));
    // With a logo, as docs/offer.png shows the offer.
    FirmData firm = sampleFirm();
    firm.logoPath = filePath(QStringLiteral("logo.svg")).toStdU16String();
    {
        QFile logo(toQString(firm.logoPath));
        ASSERT_TRUE(logo.open(QIODevice::WriteOnly));
        logo.write(R"(<svg xmlns="http://www.w3.org/2000/svg" width="270" height="96">
<path d="M8 60 L60 14 L112 60" fill="none" stroke="#1f4068" stroke-width="10"
      stroke-linejoin="round"/>
<rect x="30" y="60" width="60" height="8" fill="#b5452e"/>
<text x="126" y="50" font-family="DejaVu Sans" font-weight="bold" font-size="30"
      fill="#1f4068">KRAMER</text>
<text x="126" y="78" font-family="DejaVu Sans" font-size="15" fill="#555">Bedachungen</text>
</svg>)");
    }
    const QString text = offerText(buildOffer(sheet, firm, sampleChoices()));

    for (const QString& expected : {QStringLiteral("486,24 €"),
                                    QStringLiteral("92,39 €"),
                                    QStringLiteral("578,63 €"),
                                    QStringLiteral("20,26 €"),
                                    QStringLiteral("24,00"),
                                    QStringLiteral("zzgl. MwSt. 19 %"),
                                    QStringLiteral("Bedachungen Kramer GmbH"),
                                    QStringLiteral("DE89 3704 0044 0532 0130 00"),
                                    QStringLiteral("COBADEFFXXX"),
                                    QStringLiteral("Dachdeckerei Müller"),
                                    QStringLiteral("Lindenweg 5"),
                                    QStringLiteral("37073 Göttingen"),
                                    QStringLiteral("2026-014"),
                                    QStringLiteral("10.12.2026"),
                                    QStringLiteral("07.01.2027"),
                                    QStringLiteral("Pyrelto 1. Lage"),
                                    QStringLiteral("Pyrelto 2. Lage"),
                                    QStringLiteral("Tellerdübel"),
                                    QStringLiteral("Pos."),
                                    QStringLiteral("Einzelpreis"),
                                    QStringLiteral("Gesamtpreis")}) {
        EXPECT_TRUE(text.contains(expected)) << toStd(expected) << "\n" << toStd(text);
    }
    // The purchase side of this sheet: list price, discount, purchase price, waste, the row sum
    // with waste and the subtotal before the markup; and the words that would name them.
    for (const QString& secret :
         {QStringLiteral("9,99"), QStringLiteral("35,00"), QStringLiteral("6,49"),
          QStringLiteral("15,00"), QStringLiteral("8,49"), QStringLiteral("9,76"),
          QStringLiteral("EK"), QStringLiteral("Aufschlag"), QStringLiteral("Rabatt"),
          QStringLiteral("Verschnitt"), QStringLiteral("Listenpreis")}) {
        EXPECT_FALSE(text.contains(secret)) << toStd(secret) << "\n" << toStd(text);
    }
    // A layer without a price and the running costs (gas, primer) are no work offered.
    EXPECT_FALSE(text.contains(QStringLiteral("Pyrelto 3. Lage")));
    EXPECT_FALSE(text.contains(QStringLiteral("Gas")));
    EXPECT_FALSE(text.contains(QStringLiteral("Titanol")));
    EXPECT_EQ(pages(QStringLiteral("a.pdf")), 1);
}

TEST_F(OfferTest, PdfCarriesTitleAuthorCreatorAndEmbeddedFonts) {
    enterWorkedExample();
    const QString path = filePath(QStringLiteral("meta.pdf"));
    writeOfferPdf(buildOffer(sheet, sampleFirm(), sampleChoices()), path);
    EXPECT_EQ(test::pdfInfo(path, QStringLiteral("Title")), QStringLiteral("Angebot 2026-014"));
    EXPECT_EQ(test::pdfInfo(path, QStringLiteral("Author")),
              QStringLiteral("Bedachungen Kramer GmbH"));
    EXPECT_EQ(test::pdfInfo(path, QStringLiteral("Creator")),
              QStringLiteral("Pyrelto Kalkulation"));
    const QStringList fonts =
        runTool(QStringLiteral("pdffonts"), {path}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GT(fonts.size(), 2) << "no font in the document";
    for (const QString& line : fonts.mid(2)) {
        // Columns: name, type, encoding, emb, sub, uni, object, id.
        const QStringList columns = line.simplified().split(QLatin1Char(' '));
        ASSERT_GE(columns.size(), 7) << toStd(line);
        EXPECT_EQ(columns.at(columns.size() - 5), QStringLiteral("yes")) << toStd(line);
    }
}

TEST_F(OfferTest, SummaryPositionLeavesOutTheDescribedRows) {
    enterWorkedExample();
    OfferChoices choices = sampleChoices();
    choices.summaryOnly = true;
    const OfferDocument offer = buildOffer(sheet, sampleFirm(), choices);
    ASSERT_EQ(offer.positions.size(), 1u);
    EXPECT_EQ(offer.positions[0].quantity, u"24,00");
    EXPECT_EQ(offer.positions[0].unitPrice, u"20,26 €");
    EXPECT_EQ(offer.positions[0].total, u"486,24 €");
    const QString text = offerText(offer);
    EXPECT_FALSE(text.contains(QStringLiteral("Tellerdübel"))) << toStd(text);
    EXPECT_TRUE(text.contains(QStringLiteral("486,24 €"))) << toStd(text);

    choices.summaryOnly = false;
    const OfferDocument itemised = buildOffer(sheet, sampleFirm(), choices);
    ASSERT_EQ(itemised.positions.size(), 4u);
    for (std::size_t i = 1; i < itemised.positions.size(); ++i) {
        SCOPED_TRACE(toStd(toQString(itemised.positions[i].description)));
        EXPECT_EQ(toQString(itemised.positions[i].number), QStringLiteral("1.%1").arg(i));
        EXPECT_TRUE(itemised.positions[i].unitPrice.empty());
        EXPECT_TRUE(itemised.positions[i].total.empty());
    }
}

// Sheets of every shape: the three lines of the totals block add up to the cent and are the
// sheet's own end sums.
TEST_F(OfferTest, TotalsAddUpAndEqualTheSheet) {
    QString longText;
    for (int i = 1; i <= 40; ++i)
        longText += QStringLiteral("Zeile %1 der ausführlichen Beschreibung dieser Bahn. ").arg(i);
    struct Case {
        const char* name;
        QString vat;
        int layers;
        int materials;
        QString area;
        QString description;
        int minPages;
    };
    const Case cases[] = {
        {"vat0_one_layer_one_material", QStringLiteral("0"), 1, 1, QStringLiteral("24"), {}, 1},
        {"vat7_two_layers_three_materials",
         QStringLiteral("7"),
         2,
         3,
         QStringLiteral("137,5"),
         {},
         1},
        {"vat19_three_layers_five_materials",
         QStringLiteral("19"),
         3,
         5,
         QStringLiteral("3,33"),
         {},
         1},
        {"vat19_thousands", QStringLiteral("19"), 3, 5, QStringLiteral("4281,75"), {}, 1},
        {"vat7_forty_row_description", QStringLiteral("7"), 2, 2, QStringLiteral("12345"), longText,
         2},
        {"vat16_odd_cents", QStringLiteral("16"), 1, 4, QStringLiteral("0,07"), {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sheet s;
        s.runCountRules();
        s.enter(F::MwStEd, c.vat.toStdU16String());
        s.enter(F::LagenEd, QString::number(c.layers).toStdU16String());
        s.enter(F::AnzZeilenEd, QString::number(c.materials).toStdU16String());
        const std::array<std::pair<F, F>, 5> materials{{{F::List1Ed, F::Bez1Ed},
                                                        {F::List2Ed, F::Bez2Ed},
                                                        {F::List3Ed, F::Bez3Ed},
                                                        {F::List4Ed, F::Bez4Ed},
                                                        {F::List5Ed, F::Bez5Ed}}};
        for (int m = 0; m < c.materials; ++m) {
            const auto [list, bez] = materials[static_cast<std::size_t>(m)];
            s.enter(list, QStringLiteral("%1,%2").arg(7 + 3 * m).arg(13 * m + 7).toStdU16String());
            s.enter(bez, (m == 0 && !c.description.isEmpty() ? c.description
                                                             : QStringLiteral("Bahn %1").arg(m + 1))
                             .toStdU16String());
        }
        s.enter(F::Ver9Ed, u"17,5");
        s.enter(F::Summe10Ed, u"6,35");
        s.enter(F::Summe11Ed, u"4,15");
        s.enter(F::Summe12Ed, u"3,95");
        s.enter(F::Dach14Ed, c.area.toStdU16String());

        const OfferDocument offer = buildOffer(s, sampleFirm(), sampleChoices());
        const NumberFormat format = s.numberFormat();
        const std::u16string net = s.shownText(F::Summe15Ed);
        const std::u16string gross = s.shownText(F::BruttoEd);
        EXPECT_EQ(offer.net, groupedDecimal(net, format) + u" €");
        EXPECT_EQ(offer.gross, groupedDecimal(gross, format) + u" €");
        const auto netMoney = Money::parse(net, format);
        const auto grossMoney = Money::parse(gross, format);
        ASSERT_TRUE(netMoney && grossMoney)
            << toStd(toQString(net)) << " " << toStd(toQString(gross));
        // The VAT line read back as money: net + VAT = gross exactly.
        QString vat = toQString(offer.vat);
        vat.remove(QStringLiteral(" €")).remove(QLatin1Char('.'));
        const auto vatMoney = Money::parse(vat.toStdU16String(), format);
        ASSERT_TRUE(vatMoney) << toStd(toQString(offer.vat));
        EXPECT_EQ(*netMoney + *vatMoney, *grossMoney);

        const QString name = QString::fromLatin1(c.name) + QStringLiteral(".pdf");
        const QString text = offerText(offer, name);
        for (const QString& amount :
             {toQString(offer.net), toQString(offer.vat), toQString(offer.gross)}) {
            EXPECT_TRUE(text.contains(amount)) << toStd(amount) << "\n" << toStd(text);
        }
        EXPECT_TRUE(text.contains(QStringLiteral("zzgl. MwSt. %1 %").arg(c.vat)));
        EXPECT_GE(pages(name), c.minPages);
        if (c.minPages > 1) {
            // The table goes on with its heading, and every page says which one it is.
            EXPECT_GE(text.count(QStringLiteral("Beschreibung")), 2) << toStd(text);
            EXPECT_TRUE(text.contains(QStringLiteral("Seite 2 von"))) << toStd(text);
            EXPECT_TRUE(text.contains(QStringLiteral("Zeile 40"))) << toStd(text);
        }
    }
}

// Missing pieces leave gaps, never a crash or an empty document.
TEST_F(OfferTest, MissingFirmDataLogoAndAddressAreLeftOut) {
    enterWorkedExample();
    const QString damaged = filePath(QStringLiteral("logo.png"));
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x89PNG\r\n\x1a\n this is no picture");
    }
    const QString damagedSvg = filePath(QStringLiteral("logo.svg"));
    {
        QFile f(damagedSvg);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<svg xmlns=\"http://www.w3.org/2000/svg\"><rect");
    }
    struct Case {
        const char* name;
        QString firmName;
        QString logo;
        QString address;
    };
    const Case cases[] = {
        {"no_firm_name", QString(), QString(), QStringLiteral("Lindenweg 5")},
        {"damaged_png", QStringLiteral("Kramer"), damaged, QStringLiteral("Lindenweg 5")},
        {"damaged_svg", QStringLiteral("Kramer"), damagedSvg, QStringLiteral("Lindenweg 5")},
        {"missing_logo", QStringLiteral("Kramer"), filePath(QStringLiteral("weg.png")),
         QStringLiteral("Lindenweg 5")},
        {"no_address", QStringLiteral("Kramer"), QString(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FirmData firm = sampleFirm();
        firm.name = c.firmName.toStdU16String();
        firm.logoPath = c.logo.toStdU16String();
        OfferChoices choices = sampleChoices();
        choices.recipientAddress = c.address.toStdU16String();
        const QString text = offerText(buildOffer(sheet, firm, choices),
                                       QString::fromLatin1(c.name) + QStringLiteral(".pdf"));
        EXPECT_TRUE(text.contains(QStringLiteral("578,63 €"))) << toStd(text);
        EXPECT_TRUE(text.contains(QStringLiteral("Dachdeckerei Müller"))) << toStd(text);
        EXPECT_EQ(text.contains(QStringLiteral("Lindenweg 5")), !c.address.isEmpty());
        // Without a firm name there is no letterhead and no footer to carry the bank data.
        EXPECT_EQ(text.contains(QStringLiteral("DE89 3704")), !c.firmName.isEmpty()) << toStd(text);
    }
}

TEST_F(OfferTest, LogoIsDrawnAtTheTop) {
    enterWorkedExample();
    QImage logo(200, 80, QImage::Format_RGB32);
    logo.fill(QColor(200, 30, 30));
    const QString path = filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(logo.save(path));
    FirmData firm = sampleFirm();
    firm.logoPath = path.toStdU16String();
    const QString pdf = filePath(QStringLiteral("logo.pdf"));
    writeOfferPdf(buildOffer(sheet, firm, sampleChoices()), pdf);
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-png"),
             QStringLiteral("-singlefile"), pdf, filePath(QStringLiteral("logo_page"))});
    const QImage page(filePath(QStringLiteral("logo_page.png")));
    ASSERT_FALSE(page.isNull());
    // 30 dpi: the logo lies in the top right, 12 mm from the top, ending at 190 mm.
    const QColor topRight = page.pixelColor(page.width() * 180 / 210, page.height() * 18 / 297);
    EXPECT_GT(topRight.red(), 150);
    EXPECT_LT(topRight.green(), 90);
}

TEST_F(OfferTest, CalculationPdfIsThePrintout) {
    enterWorkedExample();
    const QString direct = filePath(QStringLiteral("kalkulation.pdf"));
    EXPECT_EQ(writeCalculationPdf(sheet, direct, QDate(2026, 12, 10)), 1);
    const QString printed = filePath(QStringLiteral("gedruckt.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printed);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printSheet(sheet, printer, QDate(2026, 12, 10));
    const QString text = test::pdfText(direct);
    EXPECT_TRUE(text.contains(QStringLiteral("578,63"))) << toStd(text);
    EXPECT_EQ(text, test::pdfText(printed));

    // A folder that is not there: an error, and no file.
    const QString nowhere = filePath(QStringLiteral("fehlt/kalkulation.pdf"));
    EXPECT_THROW(writeCalculationPdf(sheet, nowhere, QDate(2026, 12, 10)), PrintError);
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(OfferIsolation, FieldsAreFlattenedAndIsolated) {
    EXPECT_EQ(isolatedField(QStringLiteral(" a\nb\r\nc ")), QStringLiteral("a b c"));
    EXPECT_EQ(isolatedField(QStringLiteral("  ")), QString());
    const QString hebrew = QStringLiteral("\u05e9\u05dc\u05d5\u05dd");
    EXPECT_EQ(isolatedField(hebrew + QStringLiteral("\nBau ")),
              QChar(0x2068) + hebrew + QStringLiteral(" Bau") + QChar(0x2069));
    // An override typed into a field cannot turn the rest of the line around.
    EXPECT_EQ(isolatedField(QChar(0x202E) + QStringLiteral("Kramer")), QStringLiteral("Kramer"));
}

} // namespace
} // namespace pyrelto
