#pragma once
// The typeface of the letters (offer, invoice) and the take-off pages. It is built into the
// program, so a document looks the same on every machine, with or without the font installed.

#include <QFont>
#include <QString>

namespace pyrelto {

// The family of the built-in faces (regular and bold). The first call registers them with Qt's
// font database, once for the process, from whichever thread comes first; a Qt GUI application
// must exist by then.
QString documentFamily();

// The document typeface at `points`. Paper needs no hinting: glyphs keep their designed shapes
// and advances, whatever the device's resolution.
QFont documentFont(double points, bool bold = false);

} // namespace pyrelto
