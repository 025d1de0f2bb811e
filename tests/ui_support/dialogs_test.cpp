#include "dialogs.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <stdexcept>

namespace pyrelto {
namespace {

using test::FakeDialogs;
using test::UiTest;

TEST(QtFileFilter, DescriptionPatternPairsBecomeQtFilters) {
    struct Row {
        const char* name;
        const char16_t* filter;
        const char16_t* expected;
    };
    const Row rows[] = {
        {"calculation", u"Kalkulation (*.kal)|*.kal", u"Kalkulation (*.kal)"},
        {"preset", u"Material (*.mat)|*.mat", u"Material (*.mat)"},
        {"patternsAddedWhenNotShown", u"Alle Dateien|*.*", u"Alle Dateien (*.*)"},
        {"twoPairs", u"Kalkulation (*.kal)|*.kal|Alle|*.*", u"Kalkulation (*.kal);;Alle (*.*)"},
        {"severalPatterns", u"Daten|*.kal;*.mat", u"Daten (*.kal *.mat)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(qtFileFilter(QString::fromUtf16(row.filter)), QString::fromUtf16(row.expected));
    }
}

// Runs `act` on the modal window the real dialogs open next, as soon as it shows.
void whenModalShows(const std::function<void(QWidget*)>& act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start();
}

TEST(QtDialogsTest, EnterAnswersTheQuestionsDefaultButton) {
    test::testApplication();
    QtDialogs real;
    for (const Dialogs::Answer answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
        SCOPED_TRACE(answer == Dialogs::Answer::No ? "No" : "Yes");
        QString title;
        whenModalShows([&title](QWidget* modal) {
            title = modal->windowTitle();
            QTest::keyClick(modal, Qt::Key_Return);
        });
        EXPECT_EQ(real.question(nullptr, QStringLiteral("Löschen"),
                                QStringLiteral("Wollen Sie den Kunden wirklich löschen?"), answer),
                  answer);
        EXPECT_EQ(title, QStringLiteral("Löschen"));
    }
}

TEST(QtDialogsTest, ThePrinterSetUpSaysWhatItDoes) {
    test::testApplication();
    QtDialogs real;
    QPrinter printer;
    QString title;
    QStringList buttons;
    whenModalShows([&](QWidget* modal) {
        title = modal->windowTitle();
        if (auto* box = modal->findChild<QDialogButtonBox*>()) {
            for (QAbstractButton* b : box->buttons())
                if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
                    buttons << b->text();
        }
        static_cast<QDialog*>(modal)->reject();
    });
    EXPECT_FALSE(real.printerSetup(nullptr, printer)) << "cancelled";
    EXPECT_EQ(title, QStringLiteral("Drucker einrichten"));
    EXPECT_EQ(buttons, QStringList{QStringLiteral("OK")});
}

class ErrorReportTest : public UiTest {};

TEST_F(ErrorReportTest, AnEscapedErrorShowsItsTextUnderTheApplicationTitle) {
    try {
        throw std::runtime_error("I/O error 5");
    } catch (...) {
        reportCurrentException(nullptr);
    }
    try {
        throw 42;
    } catch (...) {
        reportCurrentException(nullptr);
    }
    ASSERT_EQ(dialogs_.messages.size(), 2U);
    for (const FakeDialogs::Message& m : dialogs_.messages) {
        EXPECT_EQ(m.caption, QStringLiteral("Pyrelto Kalkulation"));
        EXPECT_EQ(m.icon, Dialogs::Icon::Error);
    }
    EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral("I/O error 5"));
    EXPECT_FALSE(dialogs_.messages[1].text.isEmpty());
}

TEST_F(ErrorReportTest, TheInstalledDialogsAnswerUntilUninstalled) {
    EXPECT_EQ(&dialogs(), &dialogs_);
    setDialogs(nullptr);
    EXPECT_NE(dynamic_cast<QtDialogs*>(&dialogs()), nullptr);
    setDialogs(&dialogs_);
}

} // namespace
} // namespace pyrelto
