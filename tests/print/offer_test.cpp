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
#include "takeoff_example.h"
#include "worked_example.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QSet>
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

// A word of the PDF's text layer with its box in points, as `pdftotext -bbox` reads it.
struct PdfWord {
    int page = 0; // from 1
    QString text;
    QRectF box;
};

QList<PdfWord> pdfWords(const QString& path) {
    const QString xhtml =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    static const QRegularExpression item(
        QStringLiteral("<page |<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" xMax=\"([-0-9.]+)\" "
                       "yMax=\"([-0-9.]+)\">([^<]*)</word>"));
    QList<PdfWord> words;
    int page = 0;
    for (auto it = item.globalMatch(xhtml); it.hasNext();) {
        const auto match = it.next();
        if (match.captured(1).isEmpty()) {
            ++page;
            continue;
        }
        QString text = match.captured(5);
        text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
            .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
            .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
            .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        const QPointF topLeft(match.captured(1).toDouble(), match.captured(2).toDouble());
        const QPointF bottomRight(match.captured(3).toDouble(), match.captured(4).toDouble());
        words.append({page, text, QRectF(topLeft, bottomRight)});
    }
    return words;
}

// The pages of a PDF rendered in grey at 300 dpi, as a printer puts them on paper.
QList<QImage> renderedPages(const QString& pdf, const QString& stem) {
    // Uncompressed grey maps: writing PNG took four times as long.
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-gray"), pdf, stem});
    QList<QImage> pages;
    // pdftoppm pads the page numbers to the width of the last one.
    for (int page = 1;; ++page) {
        QImage image;
        for (int width = 1; width <= 3 && image.isNull(); ++width)
            image.load(stem + QStringLiteral("-%1.pgm").arg(page, width, 10, QLatin1Char('0')));
        if (image.isNull())
            return pages;
        pages.append(image.convertToFormat(QImage::Format_Grayscale8));
    }
}

// How far the ink of `word` stays inside its box on the paper, in device pixels: the distance from
// the box's left edge to the first dark column and from the last dark column to the box's right
// edge. A glyph cut by a cell too narrow for it has its first ink further in than any digit's
// own side bearing ("1" printed as "l"). Rows that are dark on both sides beyond the box are a
// rule under or over the amount, not its ink. Nothing dark at all gives -1.
std::pair<double, double> inkInset(const QImage& page, const PdfWord& word) {
    const double scale = 300.0 / 72.0;
    const QRectF box(word.box.topLeft() * scale, word.box.bottomRight() * scale);
    const int top = std::max(0, static_cast<int>(box.top()));
    const int bottom = std::min(page.height() - 1, static_cast<int>(box.bottom()));
    const int left = std::max(0, static_cast<int>(box.left()) - 8);
    const int right = std::min(page.width() - 1, static_cast<int>(box.right()) + 8);
    const auto dark = [&page](int column, int row) {
        return page.constScanLine(row)[column] < 110;
    };
    int first = -1;
    int last = -1;
    for (int row = top; row <= bottom; ++row) {
        if (dark(left, row) && dark(right, row))
            continue;
        for (int column = left; column <= right; ++column) {
            if (dark(column, row)) {
                first = first < 0 ? column : std::min(first, column);
                break;
            }
        }
        for (int column = right; column >= left; --column) {
            if (dark(column, row)) {
                last = std::max(last, column);
                break;
            }
        }
    }
    if (first < 0)
        return {-1, -1};
    return {first - box.left(), box.right() - (last + 1)};
}

// Every word inside the margins and above the paper's bottom edge, no two words on one page over
// each other.
void expectInsideAndApart(const QList<PdfWord>& words) {
    const double mm = 72 / 25.4;
    ASSERT_FALSE(words.isEmpty());
    for (qsizetype i = 0; i < words.size(); ++i) {
        const PdfWord& word = words.at(i);
        EXPECT_GE(word.box.left(), 25 * mm - 0.5) << toStd(word.text);
        EXPECT_LE(word.box.right(), 190 * mm + 0.5) << toStd(word.text);
        EXPECT_LE(word.box.bottom(), 287 * mm) << toStd(word.text);
        // Boxes are the font's full line height; lines set at that height touch.
        const QRectF inner = word.box.adjusted(0.3, 0.6, -0.3, -0.6);
        for (qsizetype j = i + 1; j < words.size(); ++j)
            if (words.at(j).page == word.page && inner.intersects(words.at(j).box))
                ADD_FAILURE() << toStd(word.text) << " overlaps " << toStd(words.at(j).text);
    }
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
    // With a logo and a name that shares the letterhead with it, as docs/offer.png shows the
    // offer.
    FirmData firm = sampleFirm();
    firm.name = u"Bedachungen Kramer GmbH – Dach, Wand und Abdichtung";
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
    // A company's footer, a site, Skonto and the contract basis, as a GmbH would send.
    firm.legalForm = u"GmbH";
    firm.registeredSeat = u"Kassel";
    firm.registerCourt = u"Amtsgericht Kassel";
    firm.registerNumber = u"HRB 12345";
    firm.managingDirector = u"Jonas Kramer";
    firm.skontoPercent = u"2";
    firm.skontoDays = u"10";
    firm.contractBasis = ContractBasis::VobB;
    OfferChoices choices = sampleChoices();
    choices.site = u"Wohnanlage Am Markt 3\n37073 Göttingen";
    const QString text = offerText(buildOffer(sheet, firm, choices));

    // Searchable as plain text: no ligature glyph stands for "fl" or "fi".
    const QString plain = test::pdfText(filePath(QStringLiteral("a.pdf")), test::PdfLayout::Raw);
    EXPECT_TRUE(plain.contains(QStringLiteral("Dachfläche"))) << toStd(plain);
    EXPECT_TRUE(plain.contains(QStringLiteral("Schweißbahnen"))) << toStd(plain);
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
                                    QStringLiteral("96 Stk"),
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
    QStringList faces;
    for (const QString& line : fonts.mid(2)) {
        // Columns: name, type, encoding, emb, sub, uni, object, id.
        const QStringList columns = line.simplified().split(QLatin1Char(' '));
        ASSERT_GE(columns.size(), 7) << toStd(line);
        EXPECT_EQ(columns.at(columns.size() - 5), QStringLiteral("yes")) << toStd(line);
        faces << columns.first();
    }
    // The faces the program carries, one per style: every size and every line shares them.
    faces.sort();
    EXPECT_EQ(faces, QStringList({QStringLiteral("DejaVuSansUnhinted"),
                                  QStringLiteral("DejaVuSansUnhinted-Bold")}))
        << toStd(faces.join(QLatin1Char(' ')));
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

// Amounts from one cent to eight digits before the comma, on roofs from 1 to 99.999,99 m²:
// printed at 300 dpi, no amount loses ink to a cell too narrow for it (the text layer was always
// right, the paper said "l.234,56"), and the totals are the sheet's.
TEST_F(OfferTest, NoAmountIsCutOnPaper) {
    struct Case {
        const char* name;
        QString area;
        QString layerPrice; // per m²
        QString vat;
    };
    const Case cases[] = {
        {"area1_cheap_vat19", QStringLiteral("1"), QStringLiteral("0,5"), QStringLiteral("19")},
        {"area1_dear_vat7", QStringLiteral("1"), QStringLiteral("999,99"), QStringLiteral("7")},
        {"area7_5_vat0", QStringLiteral("7,5"), QStringLiteral("6,35"), QStringLiteral("0")},
        {"area24_vat19", QStringLiteral("24"), QStringLiteral("6,35"), QStringLiteral("19")},
        {"area99_99_vat7", QStringLiteral("99,99"), QStringLiteral("89,9"), QStringLiteral("7")},
        {"area137_5_vat19", QStringLiteral("137,5"), QStringLiteral("111,11"),
         QStringLiteral("19")},
        {"area999_99_vat0", QStringLiteral("999,99"), QStringLiteral("9,99"), QStringLiteral("0")},
        {"area999_99_dear_vat19", QStringLiteral("999,99"), QStringLiteral("999,99"),
         QStringLiteral("19")},
        {"area1000_vat19", QStringLiteral("1000"), QStringLiteral("6,35"), QStringLiteral("19")},
        {"area1000_dear_vat7", QStringLiteral("1000"), QStringLiteral("888,88"),
         QStringLiteral("7")},
        {"area1111_11_vat19", QStringLiteral("1111,11"), QStringLiteral("11,11"),
         QStringLiteral("19")},
        {"area1234_56_vat19", QStringLiteral("1234,56"), QStringLiteral("77,7"),
         QStringLiteral("19")},
        {"area4281_75_vat0", QStringLiteral("4281,75"), QStringLiteral("123,45"),
         QStringLiteral("0")},
        {"area8888_88_vat7", QStringLiteral("8888,88"), QStringLiteral("44,44"),
         QStringLiteral("7")},
        {"area9999_99_vat19", QStringLiteral("9999,99"), QStringLiteral("999,99"),
         QStringLiteral("19")},
        {"area10000_vat19", QStringLiteral("10000"), QStringLiteral("6,35"), QStringLiteral("19")},
        {"area10000_dear_vat0", QStringLiteral("10000"), QStringLiteral("999,99"),
         QStringLiteral("0")},
        {"area11111_11_vat7", QStringLiteral("11111,11"), QStringLiteral("111,11"),
         QStringLiteral("7")},
        {"area12345_67_vat19", QStringLiteral("12345,67"), QStringLiteral("89,9"),
         QStringLiteral("19")},
        {"area20000_vat19", QStringLiteral("20000"), QStringLiteral("499,5"), QStringLiteral("19")},
        {"area33333_33_vat7", QStringLiteral("33333,33"), QStringLiteral("33,33"),
         QStringLiteral("7")},
        {"area44444_44_vat0", QStringLiteral("44444,44"), QStringLiteral("444,44"),
         QStringLiteral("0")},
        {"area55555_55_vat19", QStringLiteral("55555,55"), QStringLiteral("5,55"),
         QStringLiteral("19")},
        {"area66666_66_vat19", QStringLiteral("66666,66"), QStringLiteral("666,66"),
         QStringLiteral("19")},
        {"area77777_77_vat7", QStringLiteral("77777,77"), QStringLiteral("777,77"),
         QStringLiteral("7")},
        {"area88888_88_vat0", QStringLiteral("88888,88"), QStringLiteral("888,88"),
         QStringLiteral("0")},
        {"area99999_99_cheap_vat19", QStringLiteral("99999,99"), QStringLiteral("0,01"),
         QStringLiteral("19")},
        {"area99999_99_vat7", QStringLiteral("99999,99"), QStringLiteral("99,99"),
         QStringLiteral("7")},
        {"area99999_99_dear_vat0", QStringLiteral("99999,99"), QStringLiteral("999,99"),
         QStringLiteral("0")},
        {"area99999_99_dear_vat19", QStringLiteral("99999,99"), QStringLiteral("999,99"),
         QStringLiteral("19")},
    };
    static const QRegularExpression amountWord(QStringLiteral("^[0-9][0-9.]*(,[0-9]{2})?$"));
    // The three tax cases and private and business customers in turn over the sheets.
    constexpr std::array<TaxCase, 3> kTaxCases{TaxCase::Normal, TaxCase::ReverseCharge,
                                               TaxCase::SmallBusiness};
    std::size_t index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OfferChoices choices = sampleChoices();
        choices.taxCase = kTaxCases[index % kTaxCases.size()];
        choices.privateCustomer = index % 2 == 0;
        ++index;
        SCOPED_TRACE(static_cast<int>(choices.taxCase));
        Sheet s;
        s.runCountRules();
        s.enter(F::LagenEd, u"1");
        s.enter(F::MwStEd, c.vat.toStdU16String());
        s.enter(F::List1Ed, u"8,49");
        s.enter(F::Ek8Ed, u"0,12");
        s.enter(F::Anz8Ed, u"4");
        s.enter(F::Summe10Ed, c.layerPrice.toStdU16String());
        s.enter(F::Dach14Ed, c.area.toStdU16String());
        const OfferDocument offer = buildOffer(s, sampleFirm(), choices);
        const NumberFormat format = s.numberFormat();
        EXPECT_EQ(offer.net, groupedDecimal(s.shownText(F::Summe15Ed), format) + u" €");
        EXPECT_EQ(offer.gross, choices.taxCase == TaxCase::Normal
                                   ? groupedDecimal(s.shownText(F::BruttoEd), format) + u" €"
                                   : offer.net);

        const QString pdf = folder.filePath(QString::fromLatin1(c.name) + QStringLiteral(".pdf"));
        writeOfferPdf(offer, pdf);
        const QList<QImage> pages =
            renderedPages(pdf, folder.filePath(QString::fromLatin1(c.name)));
        ASSERT_FALSE(pages.isEmpty());
        // Every amount and count of the document is on the paper as a word of its own.
        QStringList expected;
        for (const OfferPosition& position : offer.positions)
            for (const std::u16string* amount :
                 {&position.quantity, &position.unitPrice, &position.total})
                if (!amount->empty())
                    expected << toQString(*amount).remove(QStringLiteral(" €"));
        for (const std::u16string* amount : {&offer.net, &offer.vat, &offer.gross})
            if (!amount->empty())
                expected << toQString(*amount).remove(QStringLiteral(" €"));
        // § 13b and § 19 show no VAT amount but their note; a private customer reads the labour
        // share.
        const QString text = test::pdfText(pdf, test::PdfLayout::Raw).simplified();
        EXPECT_EQ(text.contains(QStringLiteral("MwSt.")), choices.taxCase == TaxCase::Normal);
        EXPECT_EQ(text.contains(QStringLiteral("§ 13b UStG")),
                  choices.taxCase == TaxCase::ReverseCharge);
        EXPECT_EQ(text.contains(QStringLiteral("§ 19 UStG")),
                  choices.taxCase == TaxCase::SmallBusiness);
        EXPECT_EQ(!offer.labourShare.empty() && text.contains(toQString(offer.labourShare)),
                  choices.privateCustomer)
            << toStd(toQString(offer.labourShare));
        QStringList found;
        for (const PdfWord& word : pdfWords(pdf)) {
            if (!amountWord.match(word.text).hasMatch())
                continue;
            found << word.text;
            ASSERT_LE(word.page, pages.size());
            const auto [left, right] = inkInset(pages.at(word.page - 1), word);
            // The box is the font's line height, 1.164 em in DejaVu Sans; no digit's side
            // bearing reaches 0.16 em (a "1" cut to "l" starts 0.26 em in). Ink just outside
            // the box is a neighbour too close.
            const double bearing = 0.16 * word.box.height() * 300.0 / 72.0 / 1.164;
            EXPECT_GE(left, -2) << toStd(word.text);
            EXPECT_LE(left, bearing) << toStd(word.text);
            EXPECT_GE(right, -2) << toStd(word.text);
            EXPECT_LE(right, bearing) << toStd(word.text);
        }
        for (const QString& amount : expected)
            EXPECT_TRUE(found.contains(amount)) << toStd(amount) << " not on the paper";
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

// The letterhead holds the whole firm name beside the logo: the logo gives way, a long name wraps
// and gets smaller type, and neither runs into the other or past the right margin.
TEST_F(OfferTest, LetterheadShowsTheWholeNameBesideTheLogo) {
    enterWorkedExample();
    const auto logoFile = [&](int width, int height) {
        QImage logo(width, height, QImage::Format_RGB32);
        logo.fill(QColor(200, 30, 30));
        QString path = folder.filePath(QStringLiteral("logo%1x%2.png").arg(width).arg(height));
        EXPECT_TRUE(logo.save(path));
        return path;
    };
    QString longName;
    while (longName.size() < 300)
        longName += QStringLiteral("Dachdeckerei und Bauklempnerei Schröder ");
    longName = longName.left(300).trimmed();
    struct Case {
        const char* name;
        QString firmName;
        QString logo;
    };
    const Case cases[] = {
        {"wide_logo", QStringLiteral("Dachdeckerei Schröder GmbH"), logoFile(400, 160)},
        {"wide_logo_120", longName.left(120).trimmed(), logoFile(400, 160)},
        {"wide_logo_300", longName, logoFile(400, 160)},
        {"tall_logo", QStringLiteral("Dachdeckerei und Bauklempnerei Schröder GmbH & Co. KG"),
         logoFile(100, 400)},
        {"no_logo_300", longName, QString()},
    };
    const double mm = 72 / 25.4;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FirmData firm = sampleFirm();
        firm.name = c.firmName.toStdU16String();
        firm.logoPath = c.logo.toStdU16String();
        const QString pdf = folder.filePath(QString::fromLatin1(c.name) + QStringLiteral(".pdf"));
        writeOfferPdf(buildOffer(sheet, firm, sampleChoices()), pdf);
        // At 72 dpi a pixel is a point, the unit of the words' boxes.
        runTool(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
                 QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                 QStringLiteral("-singlefile"), pdf, folder.filePath(QString::fromLatin1(c.name))});
        const QImage page(folder.filePath(QString::fromLatin1(c.name) + QStringLiteral(".ppm")));
        ASSERT_FALSE(page.isNull());
        QRect logo;
        for (int y = 0; y < static_cast<int>(40 * mm); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor colour = page.pixelColor(x, y);
                if (colour.red() > 150 && colour.green() < 90)
                    logo |= QRect(x, y, 1, 1);
            }
        if (c.logo.isEmpty()) {
            EXPECT_TRUE(logo.isEmpty());
        } else {
            // Half its full size at the least: 30 mm wide or 12 mm high.
            EXPECT_TRUE(logo.width() >= 29 * mm || logo.height() >= 11.5 * mm)
                << logo.width() / mm << " × " << logo.height() / mm << " mm";
        }
        QStringList head;
        for (const PdfWord& word : pdfWords(pdf)) {
            if (word.page != 1 || word.box.bottom() > 40 * mm)
                continue;
            head << word.text;
            EXPECT_FALSE(word.box.intersects(QRectF(logo))) << toStd(word.text);
            EXPECT_LE(word.box.right(), 190 * mm + 0.5) << toStd(word.text);
        }
        EXPECT_EQ(toStd(head.join(QLatin1Char(' '))),
                  toStd(c.firmName +
                        QStringLiteral(" Jonas Kramer · Industriestraße 12 · 34117 Kassel")));
    }
}

// Firm data far beyond the usual: every word stays inside the margins and above the paper's bottom
// edge, no two words overlap (the footer grows upward, the body ends above it), and nothing is
// left out: the bank data, every part of a long name, every character of a long e-mail address.
TEST_F(OfferTest, HostileFirmDataStaysOnThePage) {
    enterWorkedExample();
    QString name;
    for (int i = 1; name.size() < 300; ++i)
        name += QStringLiteral("Dachbau%1 ").arg(i);
    name = name.trimmed();
    const QString email = QString(188, QLatin1Char('q')) + QStringLiteral("@example.de");
    QString phone = QStringLiteral("0561");
    while (phone.size() < 200)
        phone += QStringLiteral(" 12345");
    struct Case {
        const char* name;
        QString firmName;
        QString email;
        QString phone;
    };
    const Case cases[] = {
        {"name_300", name, QStringLiteral("info@schroeder-dach.de"), QStringLiteral("0561 123456")},
        {"email_200", QStringLiteral("Dachdeckerei Schröder GmbH"), email,
         QStringLiteral("0561 123456")},
        {"phone_200", QStringLiteral("Dachdeckerei Schröder GmbH"),
         QStringLiteral("info@schroeder-dach.de"), phone},
        {"all_long", name, email, phone},
        {"rtl_emoji",
         QStringLiteral("Dachdeckerei \u05e9\u05dc\u05d5\u05dd ") + QString::fromUtf8("🏠") +
             QStringLiteral(" GmbH"),
         QStringLiteral("info@schroeder-dach.de"), QStringLiteral("0561 123456")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FirmData firm = sampleFirm();
        firm.name = c.firmName.toStdU16String();
        firm.email = c.email.toStdU16String();
        firm.phone = c.phone.toStdU16String();
        const QString pdf = folder.filePath(QString::fromLatin1(c.name) + QStringLiteral(".pdf"));
        writeOfferPdf(buildOffer(sheet, firm, sampleChoices()), pdf);
        expectInsideAndApart(pdfWords(pdf));
        const QString text = test::pdfText(pdf, test::PdfLayout::Raw);
        EXPECT_TRUE(text.contains(QStringLiteral("DE89 3704 0044 0532 0130 00"))) << toStd(text);
        EXPECT_TRUE(text.contains(QStringLiteral("COBADEFFXXX"))) << toStd(text);
        const int pageCount = pages(QString::fromLatin1(c.name) + QStringLiteral(".pdf"));
        // The info block and the footer of every page each show the whole address.
        EXPECT_EQ(text.count(QLatin1Char('q')), (1 + pageCount) * c.email.count(QLatin1Char('q')));
        // Letterhead, footer and signature each show the whole name, or the user hears what is
        // missing: a character no installed font has, or the return line shortened to fit.
        const QStringList problems = offerLayoutProblems(buildOffer(sheet, firm, sampleChoices()));
        for (const QString& part : c.firmName.split(QLatin1Char(' '))) {
            if (!problems.join(QLatin1Char(' ')).contains(part)) {
                EXPECT_GE(text.count(part), 3) << toStd(part);
            }
        }
        for (const QString& problem : problems)
            EXPECT_TRUE(problem.startsWith(QStringLiteral("Die Absenderzeile")) ||
                        problem.contains(QString::fromUtf8("🏠")))
                << toStd(problem);
    }
}

// What a German offer carries beyond the positions, each printed only when given: the site beside
// the recipient, the period, Skonto, instalments and contract basis in the terms, the company's
// register data in the footer ("Inhaber" only for a sole trader), the signature line and the
// acceptance slip.
TEST_F(OfferTest, OfferParticularsArePrintedWhenGiven) {
    enterWorkedExample();
    const QString bare =
        offerText(buildOffer(sheet, sampleFirm(), sampleChoices()), QStringLiteral("bare.pdf"))
            .simplified();
    for (const char* absent :
         {"Bauvorhaben", "Ausführungszeitraum", "Skonto", "Zahlungsplan", "Vertragsgrundlage",
          "Amtsgericht", "Auftragserteilung", "Unterschrift"})
        EXPECT_FALSE(bare.contains(QString::fromUtf8(absent))) << absent;
    EXPECT_TRUE(bare.contains(QStringLiteral("Inhaber: Jonas Kramer")));
    EXPECT_TRUE(bare.contains(toQString(FirmData::defaultPaymentTerms())));

    FirmData firm = sampleFirm();
    firm.legalForm = u"KG";
    firm.registeredSeat = u"Kassel";
    firm.registerCourt = u"Amtsgericht Kassel";
    firm.registerNumber = u"HRA 4711";
    firm.managingDirector = u"Jonas Kramer";
    firm.skontoPercent = u"2,5";
    firm.skontoDays = u"10";
    firm.contractBasis = ContractBasis::Bgb;
    OfferChoices choices = sampleChoices();
    choices.site = u"Am Markt 3\n37073 Göttingen";
    choices.period = {{2027, 3, 1}, {}, false};
    choices.instalments = {40, 60};
    choices.signatureLine = true;
    choices.acceptanceSlip = true;
    choices.privateCustomer = true;
    // docs/offer-private.png is its first page (tests/print/tools/offer_png.sh).
    writeOfferPdf(buildOffer(sheet, firm, choices), filePath(QStringLiteral("full.pdf")));
    // As drawn: the footer's columns wrap, and side by side their lines would interleave.
    const QString text =
        test::pdfText(filePath(QStringLiteral("full.pdf")), test::PdfLayout::Raw).simplified();
    for (const char* expected :
         {"Bauvorhaben", "Am Markt 3, 37073 Göttingen", "Ausführungszeitraum: ab 01.03.2027",
          "2,5 % Skonto bei Zahlung innerhalb von 10 Tagen.", "(§§ 631 ff. BGB)",
          "Zahlungsplan: 1. Abschlagszahlung 40 % (231,45 €), 2. Abschlagszahlung 60 % (347,18 €).",
          "Rechtsform: KG", "Sitz: Kassel", "Komplementär: Jonas Kramer",
          "Amtsgericht Kassel, HRA 4711", "Auftragserteilung",
          "Angebots Nr. 2026-014 vom 10.12.2026 zum Angebotspreis von 578,63 €", "Ort, Datum",
          "Unterschrift des Auftraggebers", "Im Angebotspreis enthaltene Arbeitskosten"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << toStd(text);
    EXPECT_FALSE(text.contains(QStringLiteral("Inhaber"))) << toStd(text);
    expectInsideAndApart(pdfWords(filePath(QStringLiteral("full.pdf"))));
}

// Texts far beyond the usual in every new field, and a pasted 100,000-character word in the
// payment terms: the pages hold every word inside the margins and apart from the others, nothing
// is left out (or the user hears of it), and the acceptance slip stays whole on one page.
TEST_F(OfferTest, HostileOfferParticularsStayOnThePage) {
    enterWorkedExample();
    const auto longText = [](const QString& word, int size) {
        QString text;
        for (int i = 1; text.size() < size; ++i)
            text += word + QString::number(i) + QLatin1Char(' ');
        return text.trimmed();
    };
    FirmData firm = sampleFirm();
    firm.name = longText(QStringLiteral("Dachbau"), 300).toStdU16String();
    firm.legalForm = u"GmbH & Co. KG";
    firm.registerCourt = longText(QStringLiteral("Gericht"), 200).toStdU16String();
    firm.registerNumber = u"HRA 4711";
    firm.managingDirector = longText(QStringLiteral("Leitung"), 300).toStdU16String();
    firm.paymentTerms = QString(100'000, QLatin1Char('z')).toStdU16String();
    firm.skontoPercent = u"3";
    firm.skontoDays = u"14";
    firm.contractBasis = ContractBasis::VobB;
    OfferChoices choices = sampleChoices();
    choices.site = (longText(QStringLiteral("Baustelle"), 300) + QStringLiteral("\n\u05e9\u05dc") +
                    QString::fromUtf8("🏠"))
                       .toStdU16String();
    choices.period = {{2027, 3, 1}, {2027, 3, 12}, false};
    choices.instalments = {10, 20, 30, 40};
    choices.signatureLine = true;
    choices.acceptanceSlip = true;
    const OfferDocument offer = buildOffer(sheet, firm, choices);
    const QString pdf = filePath(QStringLiteral("hostile.pdf"));
    writeOfferPdf(offer, pdf);
    const QList<PdfWord> words = pdfWords(pdf);
    expectInsideAndApart(words);
    const QString text = test::pdfText(pdf, test::PdfLayout::Raw);
    // The pasted word, cut into lines, keeps every character.
    qsizetype pasted = 0;
    static const QRegularExpression zs(QStringLiteral("z{20,}"));
    for (auto it = zs.globalMatch(text); it.hasNext();)
        pasted += it.next().capturedLength();
    EXPECT_EQ(pasted, 100'000);
    // Every part of the long texts is on the paper, or the user hears which field is shortened.
    const QString flat = text.simplified();
    const QString problems = offerLayoutProblems(offer).join(QLatin1Char(' '));
    const std::pair<QString, QString> fields[] = {
        {longText(QStringLiteral("Leitung"), 300), QStringLiteral("Fußzeile")},
        {longText(QStringLiteral("Gericht"), 200), QStringLiteral("Fußzeile")},
        {longText(QStringLiteral("Baustelle"), 300), QStringLiteral("„Bauvorhaben“")}};
    for (const auto& [field, named] : fields)
        for (const QString& part : field.split(QLatin1Char(' ')))
            if (!flat.contains(part)) {
                EXPECT_TRUE(problems.contains(named)) << toStd(part) << ": " << toStd(problems);
            }
    EXPECT_TRUE(flat.contains(QStringLiteral("4. Abschlagszahlung 40 % (231,45 €)")))
        << toStd(flat);
    // The slip: heading and both signature captions on one page.
    int slipPage = 0;
    for (const PdfWord& word : words) {
        if (word.text == QStringLiteral("Auftragserteilung"))
            slipPage = word.page;
        if (word.text == QStringLiteral("Auftraggebers")) {
            EXPECT_EQ(word.page, slipPage);
        }
    }
    EXPECT_GT(slipPage, 0);
}

// The envelope's window holds six lines: an address that fits is printed whole, one that does not
// is named line by line for the user instead of losing its last lines silently.
TEST_F(OfferTest, AddressBeyondTheWindowIsNamed) {
    enterWorkedExample();
    OfferChoices choices = sampleChoices();
    choices.recipientName = u"Hausverwaltung Schmidt & Partner";
    choices.recipientAddress = u"z. Hd. Frau Weber\nObjekt Lindenweg\nPostfach 12 34\n\n"
                               u"Hinterhaus links\n12345 Berlin";
    OfferDocument offer = buildOffer(sheet, sampleFirm(), choices);
    EXPECT_TRUE(offerLayoutProblems(offer).isEmpty())
        << toStd(offerLayoutProblems(offer).join(QLatin1Char('\n')));
    QString text = offerText(offer);
    for (const std::u16string& line : recipientLines(choices))
        EXPECT_TRUE(text.contains(toQString(line))) << toStd(toQString(line));

    choices.recipientAddress = u"z. Hd. Frau Weber\nObjekt Lindenweg\nAufgang B\nPostfach 12 34\n"
                               u"Hinterhaus links\nDachgeschoss\nFach 7\n12345 Berlin";
    offer = buildOffer(sheet, sampleFirm(), choices);
    const QStringList problems = offerLayoutProblems(offer);
    ASSERT_EQ(problems.size(), 1) << toStd(problems.join(QLatin1Char('\n')));
    EXPECT_TRUE(problems[0].contains(QStringLiteral("9 Zeilen"))) << toStd(problems[0]);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("Dachgeschoss / Fach 7 / 12345 Berlin")))
        << toStd(problems[0]);

    choices.recipientAddress = u"Lindenweg 5\n" + std::u16string(70, u'X') + u"\n37073 Göttingen";
    offer = buildOffer(sheet, sampleFirm(), choices);
    ASSERT_EQ(offerLayoutProblems(offer).size(), 1);
    EXPECT_TRUE(offerLayoutProblems(offer)[0].contains(QStringLiteral("zu lang")));
}

// A description that breaks across a page goes on under its position's number; one of a few
// lines is not broken at all, wherever the page ends.
TEST_F(OfferTest, DescriptionsAcrossPagesKeepTheirNumber) {
    enterWorkedExample();
    OfferDocument offer = buildOffer(sheet, sampleFirm(), sampleChoices());
    QString longText;
    for (int i = 1; i <= 200; ++i)
        longText += QStringLiteral("Lang%1 ").arg(i);
    offer.positions.push_back({u"1.4", longText.toStdU16String(), u"", u"", u"", u""});
    const QString pdf = folder.filePath(QStringLiteral("fortsetzung.pdf"));
    writeOfferPdf(offer, pdf);
    ASSERT_GE(pages(QStringLiteral("fortsetzung.pdf")), 2);
    // The first row under page 2's table heading: the number, then the description going on.
    const QList<PdfWord> words = pdfWords(pdf);
    const PdfWord* number = nullptr;
    const PdfWord* text = nullptr;
    for (const PdfWord& word : words) {
        if (word.page != 2)
            continue;
        if (word.text == QStringLiteral("1.4") && number == nullptr)
            number = &word;
        if (word.text.startsWith(QStringLiteral("Lang")) && text == nullptr)
            text = &word;
    }
    EXPECT_NE(number, nullptr) << "no number on page 2";
    EXPECT_NE(text, nullptr);
    if (number != nullptr && text != nullptr) {
        EXPECT_NEAR(number->box.center().y(), text->box.center().y(), 1.0);
    }

    // Five lines after more and more rows: never split between pages.
    QString shortText;
    for (int i = 1; i <= 5; ++i)
        shortText +=
            QStringLiteral("Kurz%1 ").arg(i) + QString(20, QLatin1Char('k')) + QLatin1Char(' ');
    for (int rows = 12; rows <= 32; ++rows) {
        SCOPED_TRACE(rows);
        OfferDocument filled = buildOffer(sheet, sampleFirm(), sampleChoices());
        for (int r = 0; r < rows; ++r)
            filled.positions.push_back({u"1.9", u"Füllzeile", u"", u"", u"", u""});
        filled.positions.push_back({u"1.99", shortText.toStdU16String(), u"", u"", u"", u""});
        const QString name = QStringLiteral("kurz%1.pdf").arg(rows);
        writeOfferPdf(filled, folder.filePath(name));
        QSet<int> onPages;
        for (const PdfWord& word : pdfWords(folder.filePath(name)))
            if (word.text.startsWith(QStringLiteral("Kurz")))
                onPages.insert(word.page);
        EXPECT_EQ(onPages.size(), 1);
    }
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

// The take-off attached to the offer: its pages follow the letter, headed with the offer, and
// through the printer as well as into the PDF.
TEST_F(OfferTest, TheAufmassPagesFollowTheOfferWhenAttached) {
    enterWorkedExample();
    enter({{F::Dach14Ed, QStringLiteral("157,22")}});
    const TakeOff takeOff = test::readmeTakeOff();
    const OfferDocument offer = buildOffer(sheet, sampleFirm(), sampleChoices());
    const QString plain = filePath(QStringLiteral("angebot.pdf"));
    const QString attached = filePath(QStringLiteral("mit-aufmass.pdf"));
    writeOfferPdf(offer, plain);
    TakeOffPrint attachment;
    attachment.takeOff = &takeOff;
    attachment.subtitle = QStringLiteral("zum Angebot 2026-014");
    attachment.sheetArea = 15722;
    attachment.offer = true;
    writeOfferPdf(offer, attached, attachment);
    EXPECT_EQ(pages(QStringLiteral("mit-aufmass.pdf")), pages(QStringLiteral("angebot.pdf")) + 1);
    const QString text = test::pdfText(attached, test::PdfLayout::Raw);
    for (const char16_t* expected :
         {u"Angebotsnummer", u"Aufmaß\nzum Angebot 2026-014", u"10,00 × 6,50 = 65,00 m²",
          u"Attika Garage: 16,00 × 0,30 = 4,80 m²", u"157,22 m²"})
        EXPECT_TRUE(text.contains(QString::fromUtf16(expected))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("von Hand eingetragen")))
        << "the offer's area is the take-off's";
    EXPECT_FALSE(
        test::pdfText(plain, test::PdfLayout::Raw).contains(QStringLiteral("Attika Garage")));

    const QString printed = filePath(QStringLiteral("gedruckt.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printed);
    printer.setFullPage(true);
    EXPECT_EQ(printOffer(offer, printer, attachment), pages(QStringLiteral("angebot.pdf")) + 1);
    EXPECT_TRUE(test::pdfText(printed, test::PdfLayout::Raw)
                    .contains(QStringLiteral("Attika Garage: 16,00 × 0,30 = 4,80 m²")));
}

} // namespace
} // namespace pyrelto
