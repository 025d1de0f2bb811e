#pragma once
// The take-off on paper, the "Aufmaß" pages: each face with its arithmetic line by line (the
// dimensions, the pitch factor, the count), its openings deducted or measured over against the
// threshold, its edges and its drawing; then the upstands, the totals and the edge lengths by kind.
// They follow the calculation printout, and the offer when the user attaches them, so that the
// customer sees how the square metres came about.

#include "takeoff.h"

#include <QString>
#include <QStringList>
#include <optional>

class QPainter;
class QPagedPaintDevice;

namespace pyrelto {

struct TakeOffPrint {
    // Nothing is printed when this is null or empty.
    const TakeOff* takeOff = nullptr;
    char16_t separator = u',';
    // Under the heading: the customer and the date, or the offer it belongs to.
    QString subtitle;
    // The roof area of the calculation, when the pages should say that it differs from the
    // take-off's net area (typed by hand after the take-off).
    std::optional<Hundredths> sheetArea;
    // Attached to an offer: that area is the offer's quantity.
    bool offer = false;

    bool printed() const { return takeOff != nullptr && !takeOff->empty(); }
};

// The text lines of one face as the pages print them, without the drawing: name, way of
// measuring, the area's computation, the count, each opening, the net of the row, the edges, and
// the row's faults. `result` is computeTakeOff's for this face.
QStringList faceComputation(const Face& face, const FaceResult& result, Hundredths threshold,
                            char16_t separator);

// "65,0875": an area given as twice its square centimetres, in square metres with as many
// decimals as it has (two at least, five at most: half a square centimetre).
QString exactSquareMetres(std::int64_t doubledSquareCm, char16_t separator);

// Paints the take-off pages with `painter`, active on `device`; each page begins with
// device.newPage(), the first one too when `newPageFirst` (after pages of another document).
// Returns the number of pages; throws PrintError when the device takes no new page.
int paintTakeOffPages(QPainter& painter, QPagedPaintDevice& device, const TakeOffPrint& print,
                      bool newPageFirst);

} // namespace pyrelto
