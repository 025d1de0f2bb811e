#include "document_fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>
#include <array>

namespace pyrelto {

namespace {

// DejaVu Sans without its hinting programs (print/fonts/make_faces.sh), compiled into the print
// library.
constexpr std::array<const char*, 2> kFaceFiles{":/pyrelto/fonts/DejaVuSansUnhinted.ttf",
                                                ":/pyrelto/fonts/DejaVuSansUnhinted-Bold.ttf"};

QString registerFaces() {
    QString family;
    for (const char* name : kFaceFiles) {
        QFile file(QString::fromLatin1(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const int id = QFontDatabase::addApplicationFontFromData(file.readAll());
        if (const QStringList families = QFontDatabase::applicationFontFamilies(id);
            family.isEmpty() && !families.isEmpty())
            family = families.first();
    }
    // Only a build without its resources gets here; the installed original still serves.
    return family.isEmpty() ? QStringLiteral("DejaVu Sans") : family;
}

} // namespace

QString documentFamily() {
    // A function's static is initialised once, and other threads wait for it.
    static const QString family = registerFaces();
    return family;
}

QFont documentFont(double points, bool bold) {
    QFont font(documentFamily());
    // No ligatures: the PDF's text layer took "fl" as one glyph, and a search for "Dachfläche" in
    // the document found nothing. Scripts that need shaping (Arabic, Indic) still get it.
    font.setStyleHint(QFont::SansSerif, QFont::PreferNoShaping);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace pyrelto
