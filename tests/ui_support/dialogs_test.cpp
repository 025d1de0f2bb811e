#include "button_pictures.h"
#include "dialogs.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
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

// A short message under the program's caption: the box is wider than the caption in the title
// font, so the title bar never has to shorten it.
TEST(QtDialogsTest, AShortMessageLeavesRoomForTheWholeCaption) {
    test::testApplication();
    QtDialogs real;
    const QString caption = QStringLiteral("Pyrelto Kalkulation");
    for (const bool asQuestion : {false, true}) {
        SCOPED_TRACE(asQuestion ? "question" : "message");
        int width = 0;
        whenModalShows([&width](QWidget* modal) {
            width = modal->width();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        if (asQuestion) {
            real.question(nullptr, caption, QStringLiteral("Ja?"), Dialogs::Answer::Yes);
        } else {
            real.message(nullptr, caption, QStringLiteral("OK"), Dialogs::Icon::Error);
        }
        const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
        EXPECT_GT(width, title.horizontalAdvance(caption) + 100);
    }
}

// Every button picture keeps its shape on a light and on a dark button: the pixels that stand
// out from the button's colour span at least 11 of its 16 pixels, not just a dot.
TEST(ButtonPictures, KeepTheirShapeOnLightAndDarkButtons) {
    test::testApplication();
    const struct {
        const char* name;
        ButtonPicture kind;
    } pictures[] = {
        {"Open", ButtonPicture::Open},         {"Save", ButtonPicture::Save},
        {"Print", ButtonPicture::Print},       {"NewEntry", ButtonPicture::NewEntry},
        {"Edit", ButtonPicture::Edit},         {"Delete", ButtonPicture::Delete},
        {"TakeOver", ButtonPicture::TakeOver}, {"Search", ButtonPicture::Search},
    };
    for (const auto& picture : pictures) {
        for (const QColor button : {QColor(240, 240, 240), QColor(53, 53, 53)}) {
            SCOPED_TRACE(std::string(picture.name) + " on " + button.name().toStdString());
            QImage image(16, 16, QImage::Format_RGB32);
            image.fill(button);
            QPainter painter(&image);
            buttonPicture(picture.kind).paint(&painter, image.rect());
            painter.end();
            QRect seen;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    const int difference = std::max({std::abs(pixel.red() - button.red()),
                                                     std::abs(pixel.green() - button.green()),
                                                     std::abs(pixel.blue() - button.blue())});
                    if (difference >= 60) {
                        seen |= QRect(x, y, 1, 1);
                    }
                }
            }
            EXPECT_GE(std::max(seen.width(), seen.height()), 11);
        }
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
