// The program's start as `pyrelto` makes it, stopped at the first paint of the main window:
// prints the milliseconds since PYRELTO_T0_NS (CLOCK_MONOTONIC nanoseconds, taken by the caller
// just before it started this process) and quits. With --screenshot FILE it first saves what the
// screen shows of the window (a real X server under Xvfb).
//
//   pyrelto_startup_probe [--screenshot FILE] [calculation.kal]

#include "MainUnit.h"
#include "application.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

long long monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

class FirstPaint final : public QObject {
public:
    FirstPaint(pyrelto::TMainForm& form, QString screenshot)
        : form_(form), screenshot_(std::move(screenshot)) {}

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
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            return;
        }
        // Give the X server time to show every widget before the picture is taken.
        QTimer::singleShot(500, &form_, [this] {
            const QPixmap shot = form_.screen()->grabWindow(form_.winId());
            const bool saved = shot.save(screenshot_, "PNG");
            std::printf("screenshot=%s %dx%d %s\n", qPrintable(screenshot_), shot.width(),
                        shot.height(), saved ? "saved" : "NOT SAVED");
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }

    pyrelto::TMainForm& form_;
    QString screenshot_;
    bool done_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pyrelto::setUpApplication(app);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    QString screenshot;
    if (arguments.size() >= 2 && arguments.constFirst() == QStringLiteral("--screenshot")) {
        screenshot = arguments.at(1);
        arguments.remove(0, 2);
    }
    pyrelto::TMainForm form(arguments);
    FirstPaint probe(form, screenshot);
    form.installEventFilter(&probe);
    form.show();
    return QApplication::exec();
}
