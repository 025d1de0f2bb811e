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
#include <QPalette>
#include <QStyleFactory>
#include <QTranslator>
#include <cstdio>

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

void useDarkFusion() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(53, 53, 56));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::BrightText, Qt::white);
    dark.setColor(QPalette::Light, QColor(80, 80, 84));
    dark.setColor(QPalette::Midlight, QColor(66, 66, 70));
    dark.setColor(QPalette::Mid, QColor(40, 40, 42));
    dark.setColor(QPalette::Dark, QColor(20, 20, 22));
    dark.setColor(QPalette::Shadow, Qt::black);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, QColor(53, 53, 56));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    dark.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    dark.setColor(QPalette::Link, QColor(90, 160, 240));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    QApplication::setPalette(dark);
}

int runPyrelto(int argc, char** argv) {
    QApplication app(argc, argv);
    setUpApplication(app);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    // Before anything may bring up a box: a signal is then always heard in the first event loop,
    // be it a box's or the program's own.
    endOnTerminationSignals();
    SingleInstance instance;
    if (instance.start(arguments) == SingleInstance::Role::HandedOver) {
        return 0;
    }
    if (!instance.refusal().isEmpty()) {
        // Said where a start from a shell shows it; the window itself works as ever.
        std::fprintf(stderr, "%s\n",
                     qPrintable(instance.refusal() +
                                QStringLiteral(" Dieses Programm läuft für sich, ohne Übergabe "
                                               "an ein bereits laufendes.")));
    }
    // Reading the customer list may already bring up an error box.
    TMainForm form(arguments);
    if (terminationRequested())
        return 0;
    setProgramIconAfterFirstPaint(form);
    QObject::connect(&instance, &SingleInstance::argumentsHandedOver, &form,
                     &TMainForm::argumentsHandedOver);
    instance.stopWhenClosing(&form);
    // Showing opens the file of the command line, whose error box may be where a signal ends it.
    form.show();
    if (terminationRequested())
        return 0;
    return QApplication::exec();
}

} // namespace pyrelto
