// The program's start as `pyrelto` makes it, stopped at the first paint of the main window:
// prints the milliseconds since PYRELTO_T0_NS (CLOCK_MONOTONIC nanoseconds, taken by the caller
// just before it started this process) and quits. With --screenshot FILE it first saves what the
// screen shows of the window (a real X server under Xvfb). With --minimal it shows a bare Qt
// window of the main window's size instead, the yardstick the program's start is measured against.
// With --dark the window shows in the Fusion style with a dark palette. With --takeoff N the
// picture shows the "Aufmaß" tab with face N (from 1) of the opened calculation selected; with
// --customers TEXT the "Kunden Vorlagen" tab after a search for TEXT.
//
//   pyrelto_startup_probe [--minimal] [--dark] [--takeoff N | --customers TEXT] [--screenshot FILE]
//                         [calculation.kal]

#include "MainUnit.h"
#include "application.h"
#include "customer_tab.h"
#include "takeoff_tab.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

namespace {

long long monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

class FirstPaint final : public QObject {
public:
    FirstPaint(QWidget& form, QString screenshot, std::function<void()> beforeShot = {})
        : form_(form), screenshot_(std::move(screenshot)), beforeShot_(std::move(beforeShot)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!done_ && watched == &form_ && event->type() == QEvent::Paint) {
            done_ = true;
            report();
        }
        return false;
    }

private:
    void report() {
        const long long now = monotonicNs();
        const QByteArray t0 = qgetenv("PYRELTO_T0_NS");
        if (!t0.isEmpty()) {
            std::printf("shown_ms=%.3f\n", static_cast<double>(now - t0.toLongLong()) / 1e6);
            std::fflush(stdout);
        }
        if (screenshot_.isEmpty()) {
            // Counted to the first paint only: tearing the window down is no part of the start.
            std::_Exit(0);
        }
        if (beforeShot_)
            beforeShot_();
        // Give the X server time to show every widget before the picture is taken.
        QTimer::singleShot(500, &form_, [this] {
            const QPixmap shot = form_.screen()->grabWindow(form_.winId());
            const bool saved = shot.save(screenshot_, "PNG");
            std::printf("screenshot=%s %dx%d %s\n", qPrintable(screenshot_), shot.width(),
                        shot.height(), saved ? "saved" : "NOT SAVED");
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }

    QWidget& form_;
    QString screenshot_;
    std::function<void()> beforeShot_;
    bool done_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const bool minimal = arguments.removeAll(QStringLiteral("--minimal")) > 0;
    const bool dark = arguments.removeAll(QStringLiteral("--dark")) > 0;
    if (dark) {
        pyrelto::useDarkFusion();
    }
    int takeOffFace = 0;
    if (arguments.size() >= 2 && arguments.constFirst() == QStringLiteral("--takeoff")) {
        takeOffFace = arguments.at(1).toInt();
        arguments.remove(0, 2);
    }
    QString customerSearch;
    if (arguments.size() >= 2 && arguments.constFirst() == QStringLiteral("--customers")) {
        customerSearch = arguments.at(1);
        arguments.remove(0, 2);
    }
    QString screenshot;
    if (arguments.size() >= 2 && arguments.constFirst() == QStringLiteral("--screenshot")) {
        screenshot = arguments.at(1);
        arguments.remove(0, 2);
    }
    if (minimal) {
        // One line of text, as any real window has: the font machinery is part of every start.
        QWidget window;
        QLabel text(QStringLiteral("Pyrelto Kalkulation"), &window);
        text.move(8, 8);
        window.resize(pyrelto::TMainForm::kClientWidth, pyrelto::TMainForm::kClientHeight + 22);
        FirstPaint probe(window, screenshot);
        window.installEventFilter(&probe);
        window.show();
        return QApplication::exec();
    }
    pyrelto::setUpApplication(app);
    pyrelto::TMainForm form(arguments);
    FirstPaint probe(form, screenshot, [&form, takeOffFace, customerSearch] {
        if (!customerSearch.isEmpty()) {
            form.PageControl1->setCurrentWidget(form.customerPage());
            form.customerTab()->SuchEd->setText(customerSearch);
            form.customerTab()->BitBtn18Click();
        }
        if (takeOffFace <= 0)
            return;
        form.PageControl1->setCurrentWidget(form.takeOffTab());
        form.takeOffTab()->facesTable->setCurrentCell(takeOffFace - 1, 0);
    });
    form.installEventFilter(&probe);
    form.show();
    return QApplication::exec();
}
