#pragma once
// On a light palette the style's sunken frame sets a field off from the form around it. On a dark
// one most styles draw that frame nearly as dark as the form, and the field all but vanishes: a
// frame of our own, half way between the field and its text, keeps it in sight. The sheet, the
// customer tab and the window's forms all draw the same one.

#include <QColor>
#include <initializer_list>
#include <optional>

class QPainter;
class QPalette;
class QWidget;

namespace pyrelto {

// The colour of that frame on `palette`; none on a light palette, where the style's frame does.
std::optional<QColor> fieldFrameColour(const QPalette& palette);

// Draws the frame one pixel outside `field`, where neither the field nor its style paints;
// `painter` paints on the field's parent.
void drawFieldFrame(QPainter& painter, const QWidget& field);

// Keeps `fields` framed from now on: whenever the parent of one of them paints on a dark palette,
// it draws the frame around each of its framed fields that is shown.
void keepFieldsFramed(std::initializer_list<QWidget*> fields);

} // namespace pyrelto
