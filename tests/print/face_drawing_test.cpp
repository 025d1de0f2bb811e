// The drawing of a face, painted into an image and measured by its pixels: the outline to scale,
// the openings marked by what happens to them.

#include "face_drawing.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

const QColor kFaceFill(226, 235, 246);
const QColor kOpeningInk(150, 40, 40);

struct Painted {
    QImage image;
    QRect face; // bounding box of the face's fill
    int faceRows = 0;
};

Painted paint(const Face& face, Hundredths threshold = kDefaultOpeningThreshold) {
    TakeOff takeOff;
    takeOff.faces = {face};
    takeOff.openingThreshold = threshold;
    const TakeOffResult result = computeTakeOff(takeOff);
    Painted out{QImage(700, 500, QImage::Format_RGB32), {}};
    out.image.fill(Qt::white);
    {
        QPainter painter(&out.image);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        paintFaceDrawing(painter, QRectF(0, 0, 700, 500), face, result.faces.at(0), u',', font);
    }
    for (int y = 0; y < out.image.height(); ++y)
        for (int x = 0; x < out.image.width(); ++x)
            if (out.image.pixelColor(x, y) == kFaceFill)
                out.face |= QRect(x, y, 1, 1);
    return out;
}

int count(const QImage& image, const QColor& colour, const QRect& within) {
    int n = 0;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            n += image.pixelColor(x, y) == colour ? 1 : 0;
    return n;
}

int fillWidthAt(const QImage& image, int y) {
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        n += image.pixelColor(x, y) == kFaceFill ? 1 : 0;
    return n;
}

Face face(FaceShape shape, Hundredths a, Hundredths b, Hundredths c = 0) {
    Face f;
    f.shape = shape;
    f.a = a;
    f.b = b;
    f.c = c;
    return f;
}

TEST(FaceDrawing, OutlinesAreDrawnToScale) {
    Face l;
    l.shape = FaceShape::Polygon;
    l.points = {{0, 0}, {600, 0}, {600, 300}, {400, 300}, {400, 500}, {0, 500}};
    const struct {
        const char* name;
        Face face;
        double ratio; // width ÷ height
    } rows[] = {
        {"rectangle", face(FaceShape::Rectangle, 1000, 650), 1000.0 / 650},
        {"tallRectangle", face(FaceShape::Rectangle, 300, 900), 300.0 / 900},
        {"trapezoid", face(FaceShape::Trapezoid, 1200, 400, 400), 1200.0 / 400},
        {"lShapedPolygon", l, 600.0 / 500},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Painted painted = paint(row.face);
        ASSERT_FALSE(painted.face.isEmpty());
        // The outline's pen covers a pixel or two of the fill at each edge.
        EXPECT_NEAR(static_cast<double>(painted.face.width()) / painted.face.height(), row.ratio,
                    row.ratio * 0.04);
        EXPECT_GT(std::max(painted.face.width() / 700.0, painted.face.height() / 500.0), 0.6)
            << "the face fills the room in one direction";
    }

    // The L: the notch at the top right is not filled.
    const Painted painted = paint(l);
    const int nearTop = painted.face.top() + painted.face.height() / 10;
    const int nearBottom = painted.face.bottom() - painted.face.height() / 10;
    EXPECT_NEAR(static_cast<double>(fillWidthAt(painted.image, nearTop)) /
                    fillWidthAt(painted.image, nearBottom),
                4.0 / 6.0, 0.05);
    // A triangle narrows to its apex.
    const Painted triangle = paint(face(FaceShape::Triangle, 1200, 800));
    EXPECT_LT(fillWidthAt(triangle.image, triangle.face.top() + triangle.face.height() / 10),
              fillWidthAt(triangle.image, triangle.face.bottom() - 5) / 4);
}

TEST(FaceDrawing, DeductedOpeningsAreHatchedAndMeasuredOverOnesOnlyOutlined) {
    Face roof = face(FaceShape::Rectangle, 1000, 650);
    roof.openings = {{u"Lichtkuppel", 120, 120, 1}};
    const Painted deducted = paint(roof, 100);     // 1,44 m² above 1,00 m²
    const Painted measuredOver = paint(roof, 200); // below 2,00 m²
    const int hatched = count(deducted.image, kOpeningInk, deducted.face);
    const int outlined = count(measuredOver.image, kOpeningInk, measuredOver.face);
    EXPECT_GT(outlined, 0);
    EXPECT_GT(hatched, outlined + outlined / 2);
}

TEST(FaceDrawing, AFaultyFaceGetsNoOutline) {
    const Painted painted = paint(face(FaceShape::Rectangle, 0, 650));
    EXPECT_TRUE(painted.face.isEmpty());
}

TEST(FaceDrawing, CaptionSaysHowTheFaceWasMeasured) {
    Face f = face(FaceShape::Rectangle, 1000, 650);
    EXPECT_EQ(measuredCaption(f, u','), QStringLiteral("Maße auf der Dachfläche"));
    f.pitch = 4000;
    EXPECT_EQ(measuredCaption(f, u','), QStringLiteral("Maße auf der Dachfläche, Neigung 40,00°"));
    f.measured = Measured::OnPlan;
    f.pitch = 3500;
    EXPECT_EQ(measuredCaption(f, u'.'), QStringLiteral("Maße im Grundriss, Neigung 35.00°"));
}

} // namespace
} // namespace pyrelto
