#include "logo.h"

#include "customer_file.h"
#include "qt_text.h"
#include "safe_write.h"
#include "service_error.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QSvgRenderer>
#include <span>

namespace pyrelto {

namespace {

// A logo is at most 60 mm wide on paper; 2,400 pixels give it over 1,000 dpi. Larger pictures are
// scaled down when they are copied in: read whole, a photo of 7,000 × 7,000 pixels went beyond
// what the image reader allocates and was taken for a damaged file.
constexpr int kLogoPixels = 2400;
// Beyond this many pixels a picture is refused: even its header-driven scaled read would take
// too long and too much memory for a logo.
constexpr qint64 kMostPixels = 100'000'000;

QSize fittedSize(const QSize& size) {
    if (size.width() <= kLogoPixels && size.height() <= kLogoPixels)
        return size;
    return size.scaled(kLogoPixels, kLogoPixels, Qt::KeepAspectRatio);
}

// The picture at `path` scaled to fit kLogoPixels; null when it cannot be read.
QImage readLogo(const QString& path) {
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid() && size != fittedSize(size))
        reader.setScaledSize(fittedSize(size));
    return reader.read();
}

QString tooLarge(const QString& name, const QSize& size) {
    return QStringLiteral("Das Logo „%1“ ist mit %2 × %3 Bildpunkten zu groß. Bitte wählen Sie "
                          "ein Bild mit höchstens 10.000 × 10.000 Bildpunkten; für den Druck "
                          "genügen %4 Bildpunkte Breite.")
        .arg(name)
        .arg(size.width())
        .arg(size.height())
        .arg(kLogoPixels);
}

} // namespace

QString logoProblem(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (!QFileInfo(path).isFile())
        return QStringLiteral("Das Logo „%1“ wurde nicht gefunden.").arg(name);
    const QString suffix = QFileInfo(path).suffix().toLower();
    bool readable = false;
    if (suffix == QStringLiteral("svg")) {
        const QSvgRenderer svg(path);
        readable = svg.isValid() && !svg.defaultSize().isEmpty();
    } else if (suffix == QStringLiteral("png") || suffix == QStringLiteral("jpg") ||
               suffix == QStringLiteral("jpeg")) {
        const QSize size = QImageReader(path).size();
        if (size.isValid() && qint64{size.width()} * size.height() > kMostPixels)
            return tooLarge(name, size);
        readable = !readLogo(path).isNull();
    } else {
        return QStringLiteral("Das Logo „%1“ ist kein Bild im Format PNG, JPEG oder SVG.")
            .arg(name);
    }
    if (!readable)
        return QStringLiteral("Das Logo „%1“ ist beschädigt oder kein Bild im Format PNG, JPEG "
                              "oder SVG und kann nicht verwendet werden.")
            .arg(name);
    return {};
}

QString copyLogo(const QString& source) {
    if (const QString problem = logoProblem(source); !problem.isEmpty())
        throw ServiceError(problem);
    QString suffix = QFileInfo(source).suffix().toLower();
    if (suffix == QStringLiteral("jpeg"))
        suffix = QStringLiteral("jpg");
    QByteArray bytes;
    const QSize size = suffix == QStringLiteral("svg") ? QSize() : QImageReader(source).size();
    if (size.isValid() && size != fittedSize(size)) {
        // Kept as PNG: scaling a JPEG again would only lose more.
        suffix = QStringLiteral("png");
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!readLogo(source).save(&buffer, "PNG"))
            throw ServiceError(QStringLiteral("Das Logo „%1“ konnte nicht verkleinert werden.")
                                   .arg(QFileInfo(source).fileName()));
    } else {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            throw ServiceError(QStringLiteral("Das Logo „%1“ konnte nicht gelesen werden.")
                                   .arg(QFileInfo(source).fileName()));
        bytes = file.readAll();
    }
    const QString target = toQString(GetProgramDir(true)) + QStringLiteral("logo.") + suffix;
    if (QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath())
        return target;
    const std::span<const std::byte> data(reinterpret_cast<const std::byte*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size()));
    if (!writeFileSafely(target.toStdU16String(), data))
        throw ServiceError(QStringLiteral("Das Logo konnte nicht in den Programmordner kopiert "
                                          "werden."));
    // Only one logo at a time: an older copy in another format would never be shown again.
    for (const QString& other :
         {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("svg")})
        if (other != suffix)
            QFile::remove(toQString(GetProgramDir(false)) + QStringLiteral("logo.") + other);
    return target;
}

} // namespace pyrelto
