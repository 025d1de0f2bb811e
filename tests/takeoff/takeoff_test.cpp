// The take-off against areas worked out by hand, and its refusals.

#include "takeoff.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace pyrelto {
namespace {

Face rectangle(Hundredths length, Hundredths width, std::int32_t count = 1,
               Measured measured = Measured::AlongSlope, Hundredths pitch = 0) {
    Face f;
    f.shape = FaceShape::Rectangle;
    f.a = length;
    f.b = width;
    f.count = count;
    f.measured = measured;
    f.pitch = pitch;
    return f;
}

Face onPlan(FaceShape shape, Hundredths a, Hundredths b, Hundredths c, Hundredths pitch) {
    Face f;
    f.shape = shape;
    f.a = a;
    f.b = b;
    f.c = c;
    f.measured = Measured::OnPlan;
    f.pitch = pitch;
    return f;
}

Face polygon(std::vector<Point> points) {
    Face f;
    f.shape = FaceShape::Polygon;
    f.points = std::move(points);
    return f;
}

Opening opening(Hundredths length, Hundredths width, std::int32_t count = 1) {
    return {u"", length, width, count};
}

TakeOffTotals totalsOf(const TakeOff& takeOff) {
    const TakeOffResult r = computeTakeOff(takeOff);
    EXPECT_TRUE(r.totals.has_value()) << (r.messages().empty() ? "" : r.messages().front());
    return r.totals.value_or(TakeOffTotals{});
}

// Every area in hundredths of a m²; the expected values below are worked out by hand.
struct WorkedCase {
    const char* name;
    TakeOff takeOff;
    std::vector<Hundredths> faceAreas; // one face of each row, after the pitch factor
    Hundredths gross;
    Hundredths deductions;
    Hundredths upstands;
    Hundredths net;
};

std::vector<WorkedCase> workedCases() {
    std::vector<WorkedCase> cases;
    // Gable roof, each half 10,00 × 6,50 taken along the slope: 65,00 m², twice: 130,00 m².
    cases.push_back(
        {"GableRoof", {{rectangle(1000, 650, 2)}, {}, 100}, {6500}, 13000, 0, 0, 13000});

    // Hip roof on a 12,00 × 8,00 plan at 35° (cos 35° = 0,819152…), ridge 4,00:
    //   two trapezoids (12,00 + 4,00) ÷ 2 × 4,00 = 32,00 m² plan → 32 ÷ 0,819152 = 39,0648 → 39,06
    //   two triangles 8,00 × 4,00 ÷ 2 = 16,00 m² plan → 16 ÷ 0,819152 = 19,5324 → 19,53
    //   2 × 39,06 + 2 × 19,53 = 117,18 m² (the whole plan at once would give 96 ÷ 0,819152 =
    //   117,19: each face is rounded before it is added, as it stands on the printout).
    {
        Face trapezoid = onPlan(FaceShape::Trapezoid, 1200, 400, 400, 3500);
        trapezoid.count = 2;
        Face triangle = onPlan(FaceShape::Triangle, 800, 400, 0, 3500);
        triangle.count = 2;
        cases.push_back({"HipRoofFromPlanAt35",
                         {{trapezoid, triangle}, {}, 100},
                         {3906, 1953},
                         11718,
                         0,
                         0,
                         11718});
    }
    // Lean-to on a 5,00 × 3,00 plan at 15° (cos 15° = 0,965926): 15 ÷ 0,965926 = 15,529 → 15,53.
    cases.push_back({"LeanToAt15",
                     {{rectangle(500, 300, 1, Measured::OnPlan, 1500)}, {}, 100},
                     {1553},
                     1553,
                     0,
                     0,
                     1553});
    // At 60° cos α is exactly ½: a 1,00 × 0,01 plan strip (0,01 m²) is 0,02 m² on the roof, and
    // a triangle of 0,03 × 0,01 (0,00015 m²) becomes 0,0003 m² → 0,00.
    cases.push_back({"ExactHalfAt60",
                     {{rectangle(100, 1, 1, Measured::OnPlan, 6000),
                       onPlan(FaceShape::Triangle, 3, 1, 0, 6000)},
                      {},
                      100},
                     {2, 0},
                     2,
                     0,
                     0,
                     2});
    // L-shaped flat roof 12,00 × 9,00 less a 5,00 × 4,00 corner, as a polygon:
    //   shoelace over (0;0) (12;0) (12;5) (7;5) (7;9) (0;9):
    //   0·0−12·0 + 12·5−12·0 + 12·5−7·5 + 7·9−7·5 + 7·9−0·9 + 0·0−0·9
    //   = 0 + 60 + 25 + 28 + 63 + 0 = 176, ÷ 2 = 88,00 m² (= 108 − 20).
    cases.push_back(
        {"LShapedFlatRoof",
         {{polygon({{0, 0}, {1200, 0}, {1200, 500}, {700, 500}, {700, 900}, {0, 900}})}, {}, 100},
         {8800},
         8800,
         0,
         0,
         8800});
    // Flat roof 20,00 × 15,00 = 300,00 m² with a dome light 0,90 × 1,00 = 0,90 m² (measured over)
    // and one 1,20 × 1,20 = 1,44 m² (deducted); upstands 48,20 × 0,30 = 14,46 m² added:
    //   300,00 − 1,44 + 14,46 = 313,02 m².
    {
        Face flat = rectangle(2000, 1500);
        flat.openings = {opening(90, 100), opening(120, 120)};
        cases.push_back({"FlatRoofWithDomeLightsAndUpstands",
                         {{flat}, {{u"Attika", 4820, 30, 1}}, 100},
                         {30000},
                         30000,
                         144,
                         1446,
                         31302});
    }
    // A chimney of exactly 1,00 × 1,00 = 1,00 m²: "bis 1,00 m² übermessen" includes 1,00, so it is
    // measured over; with 0,99 m² as the threshold it is deducted. Roof 8,00 × 5,00 = 40,00 m².
    {
        Face roof = rectangle(800, 500);
        roof.openings = {opening(100, 100)};
        cases.push_back(
            {"ChimneyAtThresholdMeasuredOver", {{roof}, {}, 100}, {4000}, 4000, 0, 0, 4000});
        cases.push_back(
            {"ChimneyAboveLowerThresholdDeducted", {{roof}, {}, 99}, {4000}, 4000, 100, 0, 3900});
    }
    // A 0,99 × 1,01 = 0,9999 m² opening rounds to 1,00 m² and is measured over; 1,01 × 1,00 =
    // 1,01 m² is deducted, three of them: 3,03 m².
    {
        Face roof = rectangle(800, 500);
        roof.openings = {opening(99, 101), opening(101, 100, 3)};
        cases.push_back({"RoundedAreaDecides", {{roof}, {}, 100}, {4000}, 4000, 303, 0, 3697});
    }
    return cases;
}

TEST(TakeOff, WorkedCasesToTheHundredthOfASquareMetre) {
    for (const WorkedCase& c : workedCases()) {
        SCOPED_TRACE(c.name);
        const TakeOffResult r = computeTakeOff(c.takeOff);
        ASSERT_EQ(r.faces.size(), c.faceAreas.size());
        for (std::size_t i = 0; i < c.faceAreas.size(); ++i) {
            EXPECT_EQ(r.faces[i].area, c.faceAreas[i]) << "face " << i + 1;
        }
        ASSERT_TRUE(r.totals.has_value());
        EXPECT_EQ(r.totals->gross, c.gross);
        EXPECT_EQ(r.totals->deductions, c.deductions);
        EXPECT_EQ(r.totals->upstands, c.upstands);
        EXPECT_EQ(r.totals->net, c.net);
    }
}

TEST(TakeOff, EdgesAreSummedByKindWithTheirOwnCounts) {
    // Gable roof: eaves 10,00 on both halves, verges 6,50 at four ends, one ridge 10,00 shared.
    Face half = rectangle(1000, 650, 2);
    half.edges = {
        {EdgeKind::Traufe, 1000, 2}, {EdgeKind::Ortgang, 650, 4}, {EdgeKind::First, 1000, 1}};
    Face garage = rectangle(600, 300);
    garage.edges = {{EdgeKind::Wandanschluss, 600, 1}, {EdgeKind::Traufe, 600, 1}};
    const TakeOffTotals t = totalsOf({{half, garage}, {}, 100});
    EXPECT_EQ(t.edges[static_cast<int>(EdgeKind::Traufe)], 2600);
    EXPECT_EQ(t.edges[static_cast<int>(EdgeKind::Ortgang)], 2600);
    EXPECT_EQ(t.edges[static_cast<int>(EdgeKind::First)], 1000);
    EXPECT_EQ(t.edges[static_cast<int>(EdgeKind::Wandanschluss)], 600);
    EXPECT_EQ(t.edges[static_cast<int>(EdgeKind::Grat)], 0);
}

TEST(TakeOff, OutlineOffersTrueSideLengths) {
    // The lean-to: 5,00 along the eaves, 3,00 on the plan up the slope = 3 ÷ 0,965926 = 3,1058 →
    // 3,11 on the roof.
    const auto sides = outlineSides(rectangle(500, 300, 2, Measured::OnPlan, 1500));
    ASSERT_EQ(sides.size(), 4U);
    EXPECT_EQ(sides[0].length, 500);
    EXPECT_EQ(sides[1].length, 311);
    EXPECT_EQ(sides[0].suggestedKind, EdgeKind::Traufe);
    EXPECT_EQ(sides[2].suggestedKind, EdgeKind::First);
    EXPECT_EQ(sides[3].suggestedKind, EdgeKind::Ortgang);
    EXPECT_EQ(sides[0].count, 2);

    // A flat triangle-ish polygon: sides 3,00, 5,00 (the 3-4-5 diagonal), 4,00; all roof edge.
    const auto flat = outlineSides(polygon({{0, 0}, {300, 0}, {0, 400}}));
    ASSERT_EQ(flat.size(), 3U);
    EXPECT_EQ(flat[0].length, 300);
    EXPECT_EQ(flat[1].length, 500);
    EXPECT_EQ(flat[2].length, 400);
    EXPECT_EQ(flat[1].suggestedKind, EdgeKind::Attika);
    EXPECT_TRUE(outlineSides(onPlan(FaceShape::Triangle, 800, 400, 0, 3500)).empty());
}

// The drawing's corners: the shapes' dimensions where a reader of the drawing expects them.
TEST(TakeOff, OutlinesForTheDrawing) {
    Face triangle = onPlan(FaceShape::Triangle, 1201, 800, 0, 3500);
    Face narrowBase = onPlan(FaceShape::Trapezoid, 400, 300, 1200, 0);
    Face l = polygon({{0, 0}, {600, 0}, {600, 300}, {400, 300}, {400, 500}, {0, 500}});
    const struct {
        const char* name;
        Face face;
        std::vector<Point> corners;
    } rows[] = {
        {"rectangle", rectangle(1000, 650), {{0, 0}, {1000, 0}, {1000, 650}, {0, 650}}},
        {"triangleApexCentred", triangle, {{0, 0}, {1201, 0}, {600, 800}}},
        {"trapezoidTopCentred",
         onPlan(FaceShape::Trapezoid, 1200, 400, 400, 3500),
         {{0, 0}, {1200, 0}, {800, 400}, {400, 400}}},
        {"trapezoidWiderAtTheTop", narrowBase, {{400, 0}, {800, 0}, {1200, 300}, {0, 300}}},
        {"polygonAsGiven", l, l.points},
        {"faultyFace", rectangle(0, 650), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(faceOutline(row.face), row.corners);
    }
}

TEST(TakeOff, RectangleAsPolygonGivesTheSameArea) {
    std::mt19937 random(20261210);
    std::uniform_int_distribution<Hundredths> length(1, 200000);
    std::uniform_int_distribution<Hundredths> offset(-500000, 500000);
    std::uniform_int_distribution<Hundredths> pitch(0, kMaxPitch);
    for (int i = 0; i < 2000; ++i) {
        const Hundredths a = length(random);
        const Hundredths b = length(random);
        const Hundredths x = offset(random);
        const Hundredths y = offset(random);
        const Measured measured = i % 2 == 0 ? Measured::OnPlan : Measured::AlongSlope;
        Face asRectangle = rectangle(a, b, 1, measured, pitch(random));
        Face asPolygon = polygon({{x, y}, {x + a, y}, {x + a, y + b}, {x, y + b}});
        if (i % 3 == 0) { // clockwise as well
            asPolygon.points = {{x, y}, {x, y + b}, {x + a, y + b}, {x + a, y}};
        }
        asPolygon.measured = asRectangle.measured;
        asPolygon.pitch = asRectangle.pitch;
        const auto r = computeTakeOff({{asRectangle, asPolygon}, {}, 100});
        ASSERT_TRUE(r.totals.has_value()) << a << " × " << b;
        ASSERT_EQ(r.faces[0].area, r.faces[1].area)
            << a << " × " << b << " at " << asRectangle.pitch;
    }
}

TEST(TakeOff, MovingTheThresholdMovesExactlyTheOpeningsBetween) {
    // Openings of 0,50, 0,99, 1,00, 1,01, 1,44, 2,00 and 2,50 m² on a 20,00 × 20,00 roof.
    Face roof = rectangle(2000, 2000);
    const std::vector<Opening> sizes = {opening(50, 100),  opening(99, 100),  opening(100, 100),
                                        opening(101, 100), opening(120, 120), opening(200, 100),
                                        opening(250, 100)};
    roof.openings = sizes;
    for (const Hundredths threshold : {0, 49, 50, 99, 100, 101, 143, 144, 200, 250, 1000}) {
        SCOPED_TRACE(threshold);
        const TakeOffResult r = computeTakeOff({{roof}, {}, threshold});
        ASSERT_TRUE(r.totals.has_value());
        Hundredths expected = 0;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const Hundredths area = r.faces[0].openings[i].area;
            EXPECT_EQ(r.faces[0].openings[i].deducted, area > threshold) << "opening " << i + 1;
            expected += area > threshold ? area : 0;
        }
        EXPECT_EQ(r.totals->deductions, expected);
        EXPECT_EQ(r.totals->net, 40000 - expected);
    }
}

TEST(TakeOff, FaultyRowsGetAMessageAndNoTotal) {
    Face bowTie = polygon({{0, 0}, {400, 400}, {400, 0}, {0, 400}});
    Face backtrack = polygon({{0, 0}, {400, 0}, {200, 0}, {200, 300}});
    Face touching = polygon({{0, 0}, {400, 0}, {400, 400}, {200, 0}, {0, 400}});
    Face collinear = polygon({{0, 0}, {100, 100}, {300, 300}});
    Face repeated = polygon({{0, 0}, {400, 0}, {400, 0}, {0, 300}});
    Face tooMany;
    tooMany.shape = FaceShape::Polygon;
    for (Hundredths i = 0; i <= static_cast<Hundredths>(kMaxPolygonPoints); ++i) { // 1,001 points
        tooMany.points.push_back({i, i * i});
    }
    Face small = rectangle(100, 100);
    small.openings = {opening(120, 120)};
    Face crowded = rectangle(200, 100);
    crowded.openings = {opening(100, 100, 3)};
    Face badEdge = rectangle(100, 100);
    badEdge.edges = {{EdgeKind::Kehle, 0, 1}};
    const struct {
        const char* name;
        TakeOff takeOff;
        const char* message;
    } cases[] = {
        {"NegativeLength",
         {{rectangle(-100, 200)}, {}, 100},
         "Fläche 1: Länge: muss größer als 0,00 m sein."},
        {"ZeroWidth",
         {{rectangle(100, 0)}, {}, 100},
         "Fläche 1: Breite: muss größer als 0,00 m sein."},
        {"TooLong",
         {{rectangle(kMaxLength + 1, 100)}, {}, 100},
         "Fläche 1: Länge: höchstens 10.000,00 m."},
        {"PitchAbove75",
         {{rectangle(100, 100, 1, Measured::OnPlan, 7501)}, {}, 100},
         "Fläche 1: Dachneigung: nur 0° bis 75°."},
        {"NegativePitch",
         {{rectangle(100, 100, 1, Measured::AlongSlope, -1)}, {}, 100},
         "Fläche 1: Dachneigung: nur 0° bis 75°."},
        {"ZeroCount", {{rectangle(100, 100, 0)}, {}, 100}, "Fläche 1: Anzahl: nur 1 bis 10000."},
        {"BowTie",
         {{rectangle(100, 100), bowTie}, {}, 100},
         "Fläche 2: Vieleck: die Seiten 1 und 3 kreuzen oder berühren sich."},
        {"Backtracking",
         {{backtrack}, {}, 100},
         "Fläche 1: Vieleck: die Seiten 1 und 2 laufen aufeinander zurück."},
        {"CornerOnSide",
         {{touching}, {}, 100},
         "Fläche 1: Vieleck: die Seiten 1 und 3 kreuzen oder berühren sich."},
        {"Collinear",
         {{collinear}, {}, 100},
         "Fläche 1: Vieleck: die Seiten 2 und 3 laufen aufeinander zurück."},
        {"RepeatedPoint",
         {{repeated}, {}, 100},
         "Fläche 1: Vieleck: Punkt 2 und Punkt 3 sind gleich."},
        {"TwoPoints",
         {{polygon({{0, 0}, {100, 0}})}, {}, 100},
         "Fläche 1: Vieleck: mindestens 3 Punkte."},
        {"TooManyPoints", {{tooMany}, {}, 100}, "Fläche 1: Vieleck: höchstens 1000 Punkte."},
        {"OpeningLargerThanFace",
         {{small}, {}, 100},
         "Fläche 1, Aussparung 1: Die Aussparung ist größer als die Fläche."},
        {"OpeningsTogetherLarger",
         {{crowded}, {}, 100},
         "Fläche 1: Die Aussparungen sind zusammen größer als die Fläche."},
        {"ZeroEdge",
         {{badEdge}, {}, 100},
         "Fläche 1, Kante 1: Kante: muss größer als 0,00 m sein."},
        {"UpstandWithoutHeight",
         {{}, {{u"Attika", 4820, 0, 1}}, 100},
         "Aufkantung 1: Höhe: muss größer als 0,00 m sein."},
        {"NegativeThreshold",
         {{rectangle(100, 100)}, {}, -1},
         "Aussparungen bis … m² übermessen: nur 0,00 bis 1.000,00 m²."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TakeOffResult r = computeTakeOff(c.takeOff);
        EXPECT_FALSE(r.totals.has_value());
        const auto messages = r.messages();
        ASSERT_EQ(messages.size(), 1U);
        EXPECT_EQ(messages[0], c.message);
    }
}

TEST(TakeOff, LengthsAreReadWithTheSheetsSeparator) {
    const struct {
        const char* text;
        char16_t separator;
        bool negative;
        Hundredths value;
        const char* error;
    } rows[] = {
        {"10,5", u',', false, 1050, ""},
        {" 10,50 ", u',', false, 1050, ""},
        {"0,05", u',', false, 5, ""},
        {",5", u',', false, 50, ""},
        {"10,", u',', false, 1000, ""},
        {"+3", u',', false, 300, ""},
        {"-0", u',', false, 0, ""},
        {"1.5", u'.', false, 150, ""},
        {"-12,34", u',', true, -1234, ""},
        {"10,505", u',', false, 0, "Höchstens zwei Nachkommastellen."},
        {"-1", u',', false, 0, "Die Zahl darf nicht negativ sein."},
        {"1.5", u',', false, 0, "Keine gültige Zahl."},
        {"1,2,3", u',', false, 0, "Keine gültige Zahl."},
        {",", u',', false, 0, "Keine gültige Zahl."},
        {"", u',', false, 0, "Bitte eine Zahl eingeben."},
        {"99999999999999", u',', false, 0, "Die Zahl ist zu groß."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::string s(row.text);
        const ParsedHundredths p =
            parseHundredths(std::u16string(s.begin(), s.end()), row.separator, row.negative);
        EXPECT_EQ(p.error, row.error);
        EXPECT_EQ(p.value, row.value);
    }
    EXPECT_EQ(formatHundredths(1050, u','), u"10,50");
    EXPECT_EQ(formatHundredths(-5, u'.'), u"-0.05");
    EXPECT_EQ(formatHundredths(31302, u','), u"313,02");
}

} // namespace
} // namespace pyrelto
