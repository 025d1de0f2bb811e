#include "ui_test_support.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QPrinter>
#include <QTimer>
#include <QWidget>

// Fontconfig keeps a cache for the life of the process that LeakSanitizer takes for a leak.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name LeakSanitizer looks for.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace pyrelto::test {

QApplication& testApplication() {
    static QApplication* app = [] {
        // A test that checks other regional settings starts this program again with its own.
        const QByteArray locale = qEnvironmentVariableIsSet("PYRELTO_TEST_LOCALE")
                                      ? qgetenv("PYRELTO_TEST_LOCALE")
                                      : QByteArray("de_DE.UTF-8");
        qputenv("LC_ALL", locale);
        qputenv("LANG", locale);
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char arg0[] = "pyrelto-test";
        static char* argv[] = {arg0, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

namespace {

// Takes the name out rather than copying the optional: GCC's optimiser reports a copied
// std::optional<QString> as maybe uninitialized (a false positive in a Release build).
std::optional<QString> takeFront(std::deque<std::optional<QString>>& answers) {
    const bool cancel = !answers.front().has_value();
    QString name = cancel ? QString() : std::move(*answers.front());
    answers.pop_front();
    if (cancel)
        return std::nullopt;
    return name;
}

} // namespace

std::optional<QString> FakeDialogs::openFileName(QWidget*, const QString& filter,
                                                 const QString& defaultSuffix,
                                                 const QString& title) {
    fileRequests.push_back({false, filter, defaultSuffix, QString(), title});
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "an open dialog nobody expected";
        return std::nullopt;
    }
    return takeFront(fileAnswers);
}

std::optional<QString> FakeDialogs::saveFileName(QWidget*, const QString& filter,
                                                 const QString& defaultSuffix,
                                                 const QString& suggestedName) {
    fileRequests.push_back({true, filter, defaultSuffix, suggestedName});
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "a save dialog nobody expected";
        return std::nullopt;
    }
    return takeFront(fileAnswers);
}

std::optional<QString> FakeDialogs::folderName(QWidget*, const QString& title) {
    fileRequests.push_back({false, QString(), QString(), QString(), title});
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "a folder dialog nobody expected";
        return std::nullopt;
    }
    return takeFront(fileAnswers);
}

void FakeDialogs::message(QWidget*, const QString& caption, const QString& text, Icon icon) {
    messages.push_back({caption, text, icon});
}

Dialogs::Answer FakeDialogs::question(QWidget*, const QString& caption, const QString& text,
                                      Answer defaultAnswer) {
    questions.push_back({caption, text, defaultAnswer});
    if (questionAnswers.empty()) {
        ADD_FAILURE() << "a question nobody expected: " << toStd(text);
        return Answer::Cancel;
    }
    const std::optional<Answer> answer = questionAnswers.front();
    questionAnswers.pop_front();
    return answer.value_or(defaultAnswer);
}

bool FakeDialogs::printerSetup(QWidget*, QPrinter&) {
    ++printerSetups;
    if (printerSetupAnswers.empty()) {
        ADD_FAILURE() << "a printer set-up nobody expected";
        return false;
    }
    const bool answer = printerSetupAnswers.front();
    printerSetupAnswers.pop_front();
    return answer;
}

bool FakeDialogs::runForm(QDialog& form) {
    forms.push_back(form.windowTitle());
    if (formAnswers.empty()) {
        ADD_FAILURE() << "a form nobody expected: " << toStd(form.windowTitle());
        return false;
    }
    const auto answer = std::move(formAnswers.front());
    formAnswers.pop_front();
    return answer(form);
}

void FakeDialogs::printPreview(QWidget*, QPrinter&, const std::function<void(QPrinter&)>& paint) {
    ++previews;
    if (!previewPdf)
        return;
    QPrinter preview(QPrinter::HighResolution);
    preview.setOutputFormat(QPrinter::PdfFormat);
    preview.setOutputFileName(*previewPdf);
    paint(preview);
}

ModalWatchdog::ModalWatchdog() {
    qApp->installEventFilter(this);
}

ModalWatchdog::~ModalWatchdog() {
    qApp->removeEventFilter(this);
}

bool ModalWatchdog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->isWindow() && w->isModal()) {
            ADD_FAILURE() << "a modal window opened: " << w->metaObject()->className() << " \""
                          << toStd(w->windowTitle()) << "\"";
            QTimer::singleShot(0, w, [w] {
                if (auto* dialog = qobject_cast<QDialog*>(w)) {
                    dialog->reject();
                } else {
                    w->close();
                }
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

EnvOverride::EnvOverride(const char* name, const QByteArray& value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) {
        old_ = qgetenv(name);
    }
    qputenv(name, value);
}

EnvOverride::~EnvOverride() {
    if (old_) {
        qputenv(name_.constData(), *old_);
    } else {
        qunsetenv(name_.constData());
    }
}

UiTest::UiTest() {
    testApplication();
    EXPECT_TRUE(temp_.isValid());
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString dir = tempPath(QString::fromLatin1(name).toLower());
        QDir().mkpath(dir);
        env_.push_back(std::make_unique<EnvOverride>(name, QFile::encodeName(dir)));
    }
    watchdog_ = std::make_unique<ModalWatchdog>();
    setDialogs(&dialogs_);
}

UiTest::~UiTest() {
    setDialogs(nullptr);
    watchdog_.reset();
    while (!env_.empty()) {
        env_.pop_back();
    }
}

QString UiTest::tempPath(const QString& name) const {
    return temp_.filePath(name);
}

} // namespace pyrelto::test
