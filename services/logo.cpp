#include "logo.h"

#include "customer_file.h"
#include "qt_text.h"
#include "safe_write.h"
#include "service_error.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSvgRenderer>
#include <span>

namespace pyrelto {

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
        QImageReader reader(path);
        readable = !reader.read().isNull();
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
    QString target = toQString(GetProgramDir(true)) + QStringLiteral("logo.") + suffix;
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        throw ServiceError(QStringLiteral("Das Logo „%1“ konnte nicht gelesen werden.")
                               .arg(QFileInfo(source).fileName()));
    const QByteArray bytes = file.readAll();
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
