// The window as a user meets it with real wheel turns, keys and clicks: what the wheel may change,
// what a typed customer name becomes, what happens to a name still being typed when the window
// closes, where Tab goes, and what a narrow window keeps reachable.

#include "MainUnit.h"
#include "customer_tab.h"
#include "sheet_view.h"
#include "spin_edit_widget.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QWheelEvent>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace pyrelto {
namespace {

using test::toStd;

QStringList namesOf(const CustomerList& list) {
    return test::qtTexts(list.names());
}

class WindowInputTest : public test::UiTest {
protected:
    void start() {
        window = std::make_unique<TMainForm>();
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // Closes the window and starts it again, so that the customer list is read back from its file.
    void restart() {
        window->close();
        window.reset();
        start();
    }
    CustomerTab& tab() const { return *window->customerTab(); }
    QComboBox* kunde() const { return window->ScrollBox1->kundeEd(); }
    QString shown(FieldId id) const { return test::shown(window->sheet(), id); }
    void addCustomers(const QStringList& names) {
        CustomerList& list = tab().list();
        for (const QString& name : names)
            list.setName(list.append(), name.toStdU16String());
    }

    // One wheel event as the window system delivers it: to the window at `inWindow`, marked
    // spontaneous so that Qt's own handling (focus on wheel, passing it up to the parents) runs
    // as for a real wheel.
    void wheelAt(int delta, QPoint inWindow) {
        const QPointF pos(inWindow);
        QWheelEvent event(pos, window->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        // As QTest does for keys: sendEvent would clear the mark again.
        QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(window->windowHandle(), &event);
    }
    // The same at the middle of `over`.
    void wheel(int delta, QWidget* over) {
        wheelAt(delta, over->mapTo(window.get(), over->rect().center()));
    }
    // `at` in `w` (by default its middle), in the window.
    QPoint inWindow(QWidget* w, std::optional<QPoint> at = std::nullopt) const {
        return w->mapTo(window.get(), at.value_or(w->rect().center()));
    }
    // True when the window's point `p` is over `w` or one of its children.
    bool underPointer(QWidget* w, QPoint p) const {
        QWidget* hit = window->childAt(p);
        return hit == w || (hit != nullptr && w->isAncestorOf(hit));
    }
    bool underPointer(QWidget* w) const { return underPointer(w, inWindow(w)); }

    std::unique_ptr<TMainForm> window;
};

TEST_F(WindowInputTest, TheWheelOverAnyControlMovesOnlyTheSheet) {
    start();
    addCustomers({QStringLiteral("Meier"), QStringLiteral("Müller"), QStringLiteral("Bauer")});
    ASSERT_EQ(kunde()->count(), 3);
    SpinEditWidget* typing = window->ScrollBox1->numberWidget(FieldId::Dach14Ed);

    SheetView* view = window->ScrollBox1;
    SpinEditWidget* number = view->numberWidget(FieldId::List1Ed);
    const struct {
        const char* name;
        QWidget* control;
        std::optional<QPoint> at;
    } controls[] = {
        {"customer box", kunde(), std::nullopt},
        {"customer box's arrow", kunde(), QPoint(kunde()->width() - 6, kunde()->height() / 2)},
        {"numeric field", number, std::nullopt},
        {"spin button", number->spinButton(), std::nullopt},
        {"text field", view->textWidget(FieldId::Bez1Ed), std::nullopt},
        {"caption", view->caption(FieldId::List1Ed), std::nullopt},
        {"preset button", view->presetButton(0, true), std::nullopt},
        {"count field", view->numberWidget(FieldId::AnzZeilenEd), std::nullopt},
        {"sheet background", view->row(RowId::Panel17), std::nullopt},
        {"scroll bar", view->verticalScrollBar(), std::nullopt},
        {"tab bar", window->PageControl1->tabBar(), std::nullopt},
        {"button bar", window->BitBtn11, std::nullopt},
    };
    QScrollBar* bar = view->verticalScrollBar();
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        window->sheet().enter(FieldId::KundeEd, u"Meier");
        // A field being typed in, not yet left: a wheel that took the focus would re-format it.
        typing->setFocus(Qt::TabFocusReason);
        typing->selectAll();
        QTest::keyClicks(typing, QStringLiteral("12"));
        ASSERT_EQ(typing->text(), QStringLiteral("12"));
        const bool onSheet = view->widget()->isAncestorOf(c.control);
        if (onSheet)
            view->ensureWidgetVisible(c.control, 0, 60);
        // The window scrolls the sheet before Qt looks for the control under the pointer: the
        // pointer rests where the control comes to lie after the step, as when a user scrolls
        // along until the control arrives under it.
        const int before = bar->value();
        const int down = std::min(before + TMainForm::kWheelStep, bar->maximum());
        const QPoint downAt = inWindow(c.control, c.at) - QPoint(0, onSheet ? down - before : 0);
        wheelAt(-120, downAt);
        EXPECT_EQ(bar->value(), down);
        EXPECT_TRUE(underPointer(c.control, downAt));
        const int up = std::max(down - TMainForm::kWheelStep, 0);
        const QPoint upAt = inWindow(c.control, c.at) + QPoint(0, onSheet ? down - up : 0);
        wheelAt(120, upAt);
        EXPECT_EQ(bar->value(), up);
        EXPECT_TRUE(underPointer(c.control, upAt));

        EXPECT_EQ(QApplication::focusWidget(), typing) << "the wheel took the focus";
        EXPECT_EQ(typing->text(), QStringLiteral("12")) << "the typed field was left";
        EXPECT_EQ(kunde()->currentText(), QStringLiteral("Meier"));
        EXPECT_EQ(shown(FieldId::KundeEd), QStringLiteral("Meier"));
        EXPECT_EQ(shown(FieldId::List1Ed), QStringLiteral("0,00"));
        EXPECT_EQ(window->PageControl1->currentIndex(), 0);
    }
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(WindowInputTest, OnTheCustomerPageTheWheelScrollsTheListAndTakesNoFocus) {
    start();
    QStringList names;
    for (int i = 0; i < 200; ++i)
        names.append(QStringLiteral("Kunde %1").arg(i, 3, 10, QLatin1Char('0')));
    addCustomers(names);
    QScrollBar* sheetBar = window->ScrollBox1->verticalScrollBar();
    sheetBar->setValue(40);
    window->PageControl1->setCurrentIndex(1);
    tab().SuchEd->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(tab().SuchEd, QStringLiteral("Kun"));

    QScrollBar* listBar = tab().ListView1->verticalScrollBar();
    ASSERT_EQ(listBar->value(), 0);
    ASSERT_TRUE(underPointer(tab().ListView1));
    wheel(-120, tab().ListView1);
    const int scrolled = listBar->value();
    EXPECT_GT(scrolled, 0) << "the list under the pointer scrolls";
    wheel(-120, tab().BitBtn14);
    wheel(-120, tab().SuchEd);
    EXPECT_EQ(listBar->value(), scrolled) << "nothing else on the page scrolls it";
    EXPECT_EQ(QApplication::focusWidget(), tab().SuchEd);
    EXPECT_EQ(tab().SuchEd->text(), QStringLiteral("Kun"));
    EXPECT_EQ(tab().list().selected(), -1);

    // With the focus in the list, the wheel scrolls it wherever the pointer is.
    tab().ListView1->setFocus(Qt::TabFocusReason);
    wheel(120, tab().BitBtn14);
    EXPECT_LT(listBar->value(), scrolled);
    EXPECT_EQ(QApplication::focusWidget(), tab().ListView1);

    window->PageControl1->setCurrentIndex(0);
    EXPECT_EQ(sheetBar->value(), 40) << "the sheet stayed where it was";
}

TEST_F(WindowInputTest, ATypedCustomerNameStaysAsTyped) {
    start();
    addCustomers({QStringLiteral("Bauer GmbH"), QStringLiteral("Meier")});
    const struct {
        const char* name;
        const char* typed;
        Qt::Key leaveWith;
    } rows[] = {
        {"prefix of a listed name, Tab", "Bauer", Qt::Key_Tab},
        {"prefix of a listed name, Enter", "Bauer", Qt::Key_Return},
        {"listed name in other case, Tab", "meier", Qt::Key_Tab},
        {"listed name in other case, Enter", "meier", Qt::Key_Return},
    };
    QLineEdit* edit = kunde()->lineEdit();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        window->sheet().enter(FieldId::KundeEd, u"");
        kunde()->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(edit, QString::fromLatin1(row.typed));
        EXPECT_EQ(edit->text(), QString::fromLatin1(row.typed)) << "nothing completed inline";
        QTest::keyClick(edit, row.leaveWith);
        EXPECT_EQ(kunde()->currentText(), QString::fromLatin1(row.typed));
        EXPECT_EQ(shown(FieldId::KundeEd), QString::fromLatin1(row.typed));
    }
    EXPECT_EQ(namesOf(tab().list()),
              (QStringList{QStringLiteral("Bauer GmbH"), QStringLiteral("Meier")}))
        << "typing a name adds no customer";

    // The drop-down still offers the names; picking one takes it whole.
    ASSERT_EQ(kunde()->count(), 2);
    kunde()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(shown(FieldId::KundeEd), QStringLiteral("Bauer GmbH"));
}

TEST_F(WindowInputTest, ANameStillBeingTypedIsKeptAtCloseAndOnAnotherTab) {
    const struct {
        const char* name;
        std::function<void(TMainForm&)> leave;
        bool closes;
    } rows[] = {
        {"close box",
         [](TMainForm& form) {
             QCloseEvent close;
             QCoreApplication::sendEvent(form.windowHandle(), &close);
         },
         true},
        {"Beenden", [](TMainForm& form) { form.Beenden1->trigger(); }, true},
        {"tab change",
         [](TMainForm& form) {
             QTabBar* bar = form.PageControl1->tabBar();
             QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
         },
         false},
    };
    start();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        window->PageControl1->setCurrentIndex(1);
        QTest::mouseClick(tab().BitBtn14, Qt::LeftButton);
        auto* editor = QApplication::focusWidget();
        ASSERT_NE(qobject_cast<QLineEdit*>(editor), nullptr) << "Neuer Kunde opens the editor";
        const QString name = QString::fromLatin1(row.name).replace(QLatin1Char(' '), QString());
        QTest::keyClicks(editor, QStringLiteral("Schulz") + name);
        row.leave(*window);
        if (row.closes) {
            ASSERT_FALSE(window->isVisible());
            restart();
        } else {
            EXPECT_EQ(window->PageControl1->currentIndex(), 0);
        }
        EXPECT_TRUE(namesOf(tab().list()).contains(QStringLiteral("Schulz") + name))
            << toStd(namesOf(tab().list()).join(QLatin1Char('|')));
        EXPECT_FALSE(namesOf(tab().list()).contains(QString())) << "no empty entry left";
    }
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(WindowInputTest, TabGoesFromTheTabBarStraightToTheFirstField) {
    start();
    QTabBar* bar = window->PageControl1->tabBar();
    bar->setFocus(Qt::TabFocusReason);
    QTest::keyClick(bar, Qt::Key_Tab);
    SpinEditWidget* first = window->ScrollBox1->numberWidget(FieldId::AnzZeilenEd);
    EXPECT_EQ(QApplication::focusWidget(), first);
    QTest::keyClick(first, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), bar) << "and back again";

    // Nothing in the sheet but its fields and buttons takes the focus.
    for (QWidget* w : window->ScrollBox1->findChildren<QWidget*>()) {
        if (w->window() == window.get() && (w->focusPolicy() & Qt::TabFocus)) {
            SCOPED_TRACE(toStd(w->objectName()) + " " + w->metaObject()->className());
            EXPECT_TRUE(qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                        qobject_cast<QPushButton*>(w) || qobject_cast<QScrollBar*>(w));
        }
    }
    EXPECT_FALSE(window->ScrollBox1->focusPolicy() & Qt::TabFocus);
}

TEST_F(WindowInputTest, ANarrowWindowKeepsTheSearchButtonsReachable) {
    start();
    window->PageControl1->setCurrentIndex(1);
    window->resize(420, window->height());
    QTRY_COMPARE(tab().width(), window->PageControl1->currentWidget()->width());
    ASSERT_LT(tab().width(), tab().BitBtn19->geometry().right());

    auto* scroller = qobject_cast<QScrollArea*>(tab().Panel26->parentWidget()->parentWidget());
    ASSERT_NE(scroller, nullptr);
    QScrollBar* sideways = scroller->horizontalScrollBar();
    QTRY_VERIFY(sideways->isVisible());
    QTRY_COMPARE(tab().ListView1->y(), scroller->geometry().bottom() + 1);
    EXPECT_LT(scroller->geometry().bottom(), tab().ListView1->y())
        << "the bar covers neither the buttons nor the list";
    EXPECT_GE(scroller->viewport()->height(), 73);

    // Tab walks to the buttons at the right end and brings each into view.
    const QRect visible = tab().rect();
    auto inView = [&](QWidget* w) {
        return visible.contains(QRect(w->mapTo(&tab(), QPoint(0, 0)), w->size()));
    };
    tab().BitBtn17->setFocus(Qt::TabFocusReason);
    QTest::keyClick(tab().BitBtn17, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), tab().BitBtn18);
    EXPECT_TRUE(inView(tab().BitBtn18));
    QTest::keyClick(tab().BitBtn18, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), tab().BitBtn19);
    EXPECT_TRUE(inView(tab().BitBtn19));

    // Wide again, the panel looks as designed.
    window->resize(811, window->height());
    QTRY_VERIFY(!sideways->isVisible());
    EXPECT_EQ(tab().Panel26->geometry(), QRect(0, 0, tab().width(), 73));
    EXPECT_EQ(tab().ListView1->y(), 73);
}

} // namespace
} // namespace pyrelto
