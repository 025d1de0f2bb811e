// The "Aufmaß" pages: the arithmetic of each face line by line, and the pages after the
// calculation printout, read back from a real PDF with pdftotext.

#include "calculation_pdf.h"
#include "kept_folder_test.h"
#include "pdf_reader.h"
#include "sheet.h"
#include "takeoff_example.h"
#include "takeoff_print.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

Face shape(FaceShape s, Hundredths a, Hundredths b, Hundredths c = 0, std::int32_t count = 1,
           Measured measured = Measured::AlongSlope, Hundredths pitch = 0) {
    Face f;
    f.shape = s;
    f.a = a;
    f.b = b;
    f.c = c;
    f.count = count;
    f.measured = measured;
    f.pitch = pitch;
    return f;
}

QStringList computation(const Face& face, Hundredths threshold = kDefaultOpeningThreshold) {
    TakeOff takeOff;
    takeOff.faces = {face};
    takeOff.openingThreshold = threshold;
    return faceComputation(face, computeTakeOff(takeOff).faces.at(0), threshold, u',');
}

// The computation lines against figures worked out by hand.
TEST(TakeOffPrint, EachFaceShowsItsArithmetic) {
    Face lShape;
    lShape.shape = FaceShape::Polygon;
    lShape.points = {{0, 0}, {600, 0}, {600, 300}, {400, 300}, {400, 500}, {0, 500}};
    Face withOpenings = shape(FaceShape::Rectangle, 2000, 1000);
    // 0,90 m² measured over, 1,44 m² deducted, exactly 1,00 m² measured over.
    withOpenings.openings = {
        {u"Lichtkuppel", 90, 100, 1}, {u"", 120, 120, 2}, {u"Schornstein", 100, 100, 1}};
    withOpenings.edges = {{EdgeKind::Attika, 2000, 2}, {EdgeKind::Wandanschluss, 1000, 1}};
    const struct {
        const char* name;
        Face face;
        QStringList lines;
    } rows[] = {
        {"gableRoofOnTheSlope",
         shape(FaceShape::Rectangle, 1000, 650, 0, 2),
         {QStringLiteral("Maße auf der Dachfläche"), QStringLiteral("10,00 × 6,50 = 65,00 m²"),
          QStringLiteral("2 × 65,00 m² = 130,00 m²")}},
        // 12,00 × 4,00 ... (12 + 4) / 2 × 4 = 32 m² on the plan; 32 / cos 35° = 39,0648.
        {"trapezoidOnThePlan",
         shape(FaceShape::Trapezoid, 1200, 400, 400, 2, Measured::OnPlan, 3500),
         {QStringLiteral("Maße im Grundriss, Neigung 35,00°"),
          QStringLiteral("(12,00 + 4,00) ÷ 2 × 4,00 = 32,00 m² ÷ cos 35,00° = 39,06 m²"),
          QStringLiteral("2 × 39,06 m² = 78,12 m²")}},
        // 48 / cos 35° = 58,5966.
        {"triangleOnThePlan",
         shape(FaceShape::Triangle, 1200, 800, 0, 1, Measured::OnPlan, 3500),
         {QStringLiteral("Maße im Grundriss, Neigung 35,00°"),
          QStringLiteral("12,00 × 8,00 ÷ 2 = 48,00 m² ÷ cos 35,00° = 58,60 m²")}},
        {"roundedToTheHundredth",
         shape(FaceShape::Rectangle, 1025, 635),
         {QStringLiteral("Maße auf der Dachfläche"),
          QStringLiteral("10,25 × 6,35 = 65,0875 m² ≈ 65,09 m²")}},
        {"polygonWithItsCorners",
         lShape,
         {QStringLiteral("Maße auf der Dachfläche"),
          QStringLiteral("Vieleck aus 6 Eckpunkten, Fläche nach der Gaußschen Trapezformel:"),
          QStringLiteral("26,00 m²"),
          QStringLiteral("Eckpunkte x | y in m: 1 (0,00 | 0,00) · 2 (6,00 | 0,00) · 3 (6,00 | "
                         "3,00) · 4 (4,00 | 3,00) · 5 (4,00 | 5,00) · 6 (0,00 | 5,00)")}},
        {"openingsAndEdges",
         withOpenings,
         {QStringLiteral("Maße auf der Dachfläche"), QStringLiteral("20,00 × 10,00 = 200,00 m²"),
          QStringLiteral("Aussparungen (bis 1,00 m² übermessen):"),
          QStringLiteral("Lichtkuppel: 0,90 × 1,00 = 0,90 m², übermessen"),
          QStringLiteral("Aussparung 2: 2 × 1,20 × 1,20 = 2 × 1,44 m², abgezogen: − 2,88 m²"),
          QStringLiteral("Schornstein: 1,00 × 1,00 = 1,00 m², übermessen"),
          QStringLiteral("Fläche abzüglich Aussparungen: 200,00 − 2,88 = 197,12 m²"),
          QStringLiteral("Kanten: Attika/Dachrand 2 × 20,00 m · Wandanschluss 10,00 m")}},
        {"faultyFace",
         shape(FaceShape::Rectangle, 0, 650),
         {QStringLiteral("Maße auf der Dachfläche"),
          QStringLiteral("Fehler: Länge: muss größer als 0,00 m sein.")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(computation(row.face).join(QLatin1Char('\n')).toStdString(),
                  row.lines.join(QLatin1Char('\n')).toStdString());
    }
}

TEST(TakeOffPrint, ExactAreasKeepEveryDecimalTheyHave) {
    const struct {
        std::int64_t doubled;
        const char* text;
    } rows[] = {
        {13000000, "650,00"}, {1301750, "65,0875"}, {101, "0,00505"}, {1, "0,00005"}, {0, "0,00"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(exactSquareMetres(row.doubled, u','), QString::fromLatin1(row.text));
    }
}

// The text as pdftotext lays it out, runs of spaces made one (the drawing's labels share lines
// with the text beside it) and the font's ligatures made letters again.
QString pdfText(const QString& path) {
    return test::pdfText(path)
        .replace(QRegularExpression(QStringLiteral("[ \t]+")), QStringLiteral(" "))
        .replace(QChar(0xFB01), QStringLiteral("fi"))
        .replace(QChar(0xFB02), QStringLiteral("fl"));
}

// PYRELTO_KEEP_PRINTOUT keeps the PDFs for looking at them.
class TakeOffPdfTest : public test::KeptFolderTest {
protected:
    TakeOffPdfTest() : KeptFolderTest("PYRELTO_KEEP_PRINTOUT") { sheet.runCountRules(); }
    Sheet sheet{NumberFormat{u','}};
};

TEST_F(TakeOffPdfTest, TheCalculationPdfEndsWithTheAufmassPages) {
    sheet.enter(FieldId::KundeEd, u"Dachdeckerei Müller");
    sheet.enter(FieldId::Dach14Ed, u"24");
    const TakeOff takeOff = test::readmeTakeOff();
    const QString without = filePath(QStringLiteral("ohne.pdf"));
    const QString with = filePath(QStringLiteral("mit.pdf"));
    const int plain = writeCalculationPdf(sheet, without, QDate(2026, 12, 10));
    const int pages = writeCalculationPdf(sheet, with, QDate(2026, 12, 10), &takeOff);
    EXPECT_EQ(pages, plain + 1);
    EXPECT_FALSE(pdfText(without).contains(QStringLiteral("Aufmaß")));
    const QString text = pdfText(with);
    for (const QString& expected : {
             QStringLiteral("Aufmaß\n"),
             QStringLiteral("Dachdeckerei Müller · 10.12.2026"),
             QStringLiteral("Fläche 1: Hauptdach"),
             QStringLiteral("10,00 × 6,50 = 65,00 m²"),
             QStringLiteral("2 × 65,00 m² = 130,00 m²"),
             QStringLiteral("Dachfenster: 2 × 0,78 × 1,40 = 2 × 1,09 m², abgezogen: − 2,18 m²"),
             QStringLiteral("Schornstein: 1,00 × 1,00 = 1,00 m², übermessen"),
             QStringLiteral("Fläche 2: Garage"),
             QStringLiteral("26,00 m² ÷ cos 3,00° = 26,04 m²"),
             QStringLiteral("Lichtkuppel: 1,20 × 1,20 = 1,44 m², abgezogen: − 1,44 m²"),
             QStringLiteral("Attika Garage: 16,00 × 0,30 = 4,80 m²"),
             QStringLiteral("Flächen 156,04 m²"),
             QStringLiteral("− Abzüge für Aussparungen 3,62 m²"),
             QStringLiteral("+ Aufkantungen/Anschlüsse 4,80 m²"),
             QStringLiteral("= Netto-Dachfläche 157,22 m²"),
             QStringLiteral("Kanten: Traufe 20,00 m · Ortgang 26,00 m · First 10,00 m · "
                            "Wandanschluss 6,00 m"),
             QStringLiteral("Die Dachfläche der Kalkulation (24,00 m²) ist von Hand eingetragen"),
             QStringLiteral("Aufmaß – Seite 1 von 1"),
             QStringLiteral("Maße im Grundriss, Neigung 3,00°"),
             // The drawing's legend.
             QStringLiteral("Lage schematisch"),
         }) {
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << "\n"
                                             << text.toStdString();
    }
}

// A take-off with a faulty row prints its faults and no total.
TEST_F(TakeOffPdfTest, AFaultyTakeOffPrintsItsFaultsAndNoTotal) {
    TakeOff takeOff = test::readmeTakeOff();
    takeOff.faces[1].points = {{0, 0}, {600, 0}, {0, 500}, {600, 500}}; // a bow tie
    const QString path = filePath(QStringLiteral("fehler.pdf"));
    writeCalculationPdf(sheet, path, QDate(2026, 12, 10), &takeOff);
    const QString text = pdfText(path);
    EXPECT_TRUE(
        text.contains(QStringLiteral("Das Aufmaß enthält Fehler und hat deshalb keine Summe:")));
    EXPECT_TRUE(text.contains(QStringLiteral("Fläche 2: Vieleck: die Seiten")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Netto-Dachfläche")));
}

} // namespace
} // namespace pyrelto
