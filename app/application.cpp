#include "application.h"

#include "MainUnit.h"
#include "program_icon.h"
#include "single_instance.h"
#include "termination_signals.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace pyrelto {

void setUpApplication(QApplication& app) {
#ifndef Q_OS_WIN
    // The window is laid out for Tahoma's widths. Elsewhere than on Windows a metric-compatible
    // Tahoma is at hand only in Wine's font folder (Debian's fonts-wine), outside fontconfig's
    // search; without it the captions fall back to a wider face and may touch.
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
#endif
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    QApplication::setFont(font);

    // Lets desktops match the window to its menu entry, for the task-bar icon and grouping.
    QGuiApplication::setDesktopFileName(desktopId());

    // Without the translations installed, Qt's texts stay English and nothing else changes.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    }
}

int runPyrelto(int argc, char** argv) {
    QApplication app(argc, argv);
    setUpApplication(app);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    SingleInstance instance;
    if (instance.start(arguments) == SingleInstance::Role::HandedOver) {
        return 0;
    }
    TMainForm form(arguments);
    setProgramIconAfterFirstPaint(form);
    QObject::connect(&instance, &SingleInstance::argumentsHandedOver, &form,
                     &TMainForm::argumentsHandedOver);
    instance.stopWhenClosing(&form);
    closeWindowsOnTerminationSignals();
    form.show();
    return QApplication::exec();
}

} // namespace pyrelto
