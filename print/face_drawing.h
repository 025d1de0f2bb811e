#pragma once
// One face of the take-off drawn to scale: its outline with the dimensions written on it, the
// openings in it, and a caption saying how it was measured. The same painter draws on screen (the
// "Aufmaß" tab) and on paper (the take-off page), so both show the same drawing.
//
// The take-off does not record where an opening sits in its face, only its size; the openings are
// drawn to scale side by side in the middle of the face, numbered as in the table, and the legend
// says that their place is schematic.

#include "takeoff.h"

#include <QFont>
#include <QRectF>

class QPainter;

namespace pyrelto {

// Paints into `area` of `painter` with `font` (its height sets the size of the lettering, the
// margins and the lines). `result` is computeTakeOff's result for this face. A face whose
// dimensions have an error gets its message instead of an outline. Without `caption` the name and
// the way of measuring are left to the text beside the drawing.
void paintFaceDrawing(QPainter& painter, const QRectF& area, const Face& face,
                      const FaceResult& result, char16_t separator, const QFont& font,
                      bool caption = true);

// The caption line: "Maße im Grundriss, Neigung 35,00°", "Maße auf der Dachfläche".
QString measuredCaption(const Face& face, char16_t separator);

} // namespace pyrelto
