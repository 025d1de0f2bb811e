#include "program_icon.h"

namespace pyrelto {

QString desktopId() {
    return QStringLiteral("de.torvane.PyreltoKalkulation");
}

QIcon builtInProgramIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/%2.png").arg(size).arg(desktopId()),
                     QSize(size, size));
    }
    return icon;
}

QIcon programIcon() {
    return QIcon::fromTheme(desktopId(), builtInProgramIcon());
}

} // namespace pyrelto
