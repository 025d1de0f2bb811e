#include "sheet_host.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace pyrelto {
namespace {

using test::SheetHostTest;

class SpinEditWidgetTest : public SheetHostTest {
protected:
    SpinButton* button(FieldId id) const { return widget(id)->spinButton(); }
    static QPoint upperLeft(FieldId) { return QPoint(2, 2); }
    QPoint lowerRight(FieldId id) const {
        return QPoint(button(id)->width() - 3, button(id)->height() - 3);
    }
    // Puts `text` into the field and the cursor at its end, nothing selected.
    void startWith(FieldId id, std::u16string text) {
        sheet_.number(id).setText(std::move(text));
        widget(id)->setFocus(Qt::TabFocusReason);
        widget(id)->deselect();
        widget(id)->end(false);
        rules_.clear();
    }
};

TEST_F(SpinEditWidgetTest, TheSpinButtonIsASquareAtTheRightEnd) {
    SpinEditWidget* w = widget(FieldId::List1Ed);
    SpinButton* b = w->spinButton();
    EXPECT_EQ(b->width(), b->height());
    EXPECT_GE(b->height(), w->height() - 6);
    EXPECT_GE(b->geometry().right(), w->width() - 3);
}

TEST_F(SpinEditWidgetTest, TheDiagonalSplitsTheButtonIntoUpAndDown) {
    SpinButton* b = button(FieldId::Ver9Ed);
    const int s = b->width();
    const struct {
        const char* name;
        QPoint at;
        SpinButton::Half half;
    } rows[] = {
        {"topLeftCorner", {1, 1}, SpinButton::Half::Up},
        {"topRightCorner", {s - 2, 0}, SpinButton::Half::Up},
        {"bottomLeftCorner", {0, s - 2}, SpinButton::Half::Up},
        {"justAboveDiagonal", {s / 2 - 2, s / 2 - 2}, SpinButton::Half::Up},
        {"justBelowDiagonal", {s / 2 + 1, s / 2 + 1}, SpinButton::Half::Down},
        {"bottomRightCorner", {s - 1, s - 1}, SpinButton::Half::Down},
        {"outside", {s + 3, 2}, SpinButton::Half::None},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(b->halfAt(QPointF(row.at)), row.half);
    }
}

TEST_F(SpinEditWidgetTest, AClickInEachHalfStepsAndBringsTheFocus) {
    widget(FieldId::List1Ed)->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(button(FieldId::Ver9Ed), Qt::LeftButton, {}, upperLeft(FieldId::Ver9Ed));
    EXPECT_TRUE(widget(FieldId::Ver9Ed)->hasFocus());
    EXPECT_EQ(widget(FieldId::Ver9Ed)->text(), QStringLiteral("16,00"));
    EXPECT_EQ(rulesRun("Ver9EdChange"), 1);
    QTest::mouseClick(button(FieldId::Ver9Ed), Qt::LeftButton, {}, lowerRight(FieldId::Ver9Ed));
    QTest::mouseClick(button(FieldId::Ver9Ed), Qt::LeftButton, {}, lowerRight(FieldId::Ver9Ed));
    EXPECT_EQ(widget(FieldId::Ver9Ed)->text(), QStringLiteral("14,00"));
    EXPECT_EQ(rulesRun("Ver9EdChange"), 3);
}

TEST_F(SpinEditWidgetTest, APressOnTheButtonEntersTheFieldAsTheKeyboardDoes) {
    // LagenEd shows its maximum, so the step changes nothing and the selection stays visible.
    widget(FieldId::List1Ed)->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(button(FieldId::LagenEd), Qt::LeftButton, {}, upperLeft(FieldId::LagenEd));
    EXPECT_TRUE(widget(FieldId::LagenEd)->hasFocus());
    EXPECT_EQ(widget(FieldId::LagenEd)->selectedText(), QStringLiteral("3"));
    EXPECT_EQ(rulesRun("LagenEdChange"), 0);
}

TEST_F(SpinEditWidgetTest, EnteringSelectsTheTextExceptByAClickInIt) {
    widget(FieldId::Ver9Ed)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(widget(FieldId::Ver9Ed)->selectedText(), QStringLiteral("15,00"));

    SpinEditWidget* mwst = widget(FieldId::MwStEd);
    QTest::mouseClick(mwst, Qt::LeftButton, {}, QPoint(20, mwst->height() / 2));
    EXPECT_TRUE(mwst->hasFocus());
    EXPECT_FALSE(mwst->hasSelectedText());

    // A right click enters the field as the keyboard does (the context menu it opens is closed).
    SpinEditWidget* roof = widget(FieldId::Dach14Ed);
    QTest::mouseClick(roof, Qt::RightButton, {}, QPoint(20, roof->height() / 2));
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    EXPECT_TRUE(roof->hasFocus());
    EXPECT_EQ(roof->selectedText(), QStringLiteral("0,00"));
}

TEST_F(SpinEditWidgetTest, AHeldButtonRepeatsPausesOutsideItsHalfAndStopsOnRelease) {
    SpinButton* b = button(FieldId::List1Ed);
    // A tenth of the program's times; the order of events is what is tested.
    b->setRepeatTiming(SpinButton::kInitialRepeatMs / 10, SpinButton::kRepeatMs / 10);
    auto value = [&] { return static_cast<int>(sheet_.number(FieldId::List1Ed).GetValue()); };
    QTest::mousePress(b, Qt::LeftButton, {}, upperLeft(FieldId::List1Ed));
    EXPECT_EQ(value(), 1) << "one step at the press, the repeat comes later";
    QTRY_VERIFY_WITH_TIMEOUT(value() >= 3, 5000);

    // In the other half the repeat pauses ...
    QTest::mouseMove(b, lowerRight(FieldId::List1Ed));
    const int paused = value();
    QTest::qWait(3 * b->initialRepeatMs());
    EXPECT_EQ(value(), paused);
    // ... and goes on when the pointer comes back.
    QTest::mouseMove(b, upperLeft(FieldId::List1Ed));
    QTRY_VERIFY_WITH_TIMEOUT(value() > paused, 5000);

    QTest::mouseRelease(b, Qt::LeftButton, {}, upperLeft(FieldId::List1Ed));
    const int released = value();
    QTest::qWait(3 * b->initialRepeatMs());
    EXPECT_EQ(value(), released);
    EXPECT_EQ(rulesRun("List1EdChange"), released) << "one rule run per step";
}

TEST_F(SpinEditWidgetTest, ArrowKeysStepWithAnyModifierAndAreConsumed) {
    startWith(FieldId::List1Ed, u"12,345");
    const struct {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        const char16_t* expected;
    } rows[] = {
        {"up", Qt::Key_Up, {}, u"13,35"},
        {"shiftUp", Qt::Key_Up, Qt::ShiftModifier, u"14,35"},
        {"controlDown", Qt::Key_Down, Qt::ControlModifier, u"13,35"},
    };
    int runs = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers);
        QApplication::sendEvent(widget(FieldId::List1Ed), &press);
        EXPECT_TRUE(press.isAccepted());
        EXPECT_EQ(widget(FieldId::List1Ed)->text(), QString::fromUtf16(row.expected));
        EXPECT_EQ(rulesRun("List1EdChange"), ++runs);
    }
}

TEST_F(SpinEditWidgetTest, StepsStopAtTheCountBoundsWithoutRunningTheRule) {
    widget(FieldId::LagenEd)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget(FieldId::LagenEd), Qt::Key_Up);
    widget(FieldId::AnzZeilenEd)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget(FieldId::AnzZeilenEd), Qt::Key_Down);
    EXPECT_EQ(widget(FieldId::LagenEd)->text(), QStringLiteral("3"));
    EXPECT_EQ(widget(FieldId::AnzZeilenEd)->text(), QStringLiteral("1"));
    EXPECT_EQ(rulesRun("LagenEdChange") + rulesRun("AnzZeilenEdChange"), 0);
}

TEST_F(SpinEditWidgetTest, TheTypingFilter) {
    const struct {
        const char* name;
        FieldId field;
        const char16_t* start;
        const char16_t* key;
        const char16_t* expected;
        bool beeps;
    } rows[] = {
        {"letterBeeps", FieldId::List1Ed, u"12,50", u"a", u"12,50", true},
        {"secondSeparatorBeeps", FieldId::List1Ed, u"12,5", u".", u"12,5", true},
        {"pointEntersTheSeparator", FieldId::List1Ed, u"12", u".", u"12,", false},
        {"commaEntersTheSeparator", FieldId::List1Ed, u"12", u",", u"12,", false},
        {"exponent", FieldId::List1Ed, u"12", u"e", u"12e", false},
        {"secondExponentBeeps", FieldId::List1Ed, u"1E2", u"e", u"1E2", true},
        {"signAnywhere", FieldId::List1Ed, u"12", u"-", u"12-", false},
        {"spaceBeeps", FieldId::List1Ed, u"12", u" ", u"12", true},
        {"pointInACountBeeps", FieldId::AnzSonstEd, u"2", u".", u"2", true},
        {"exponentInPiecesBeeps", FieldId::Anz8Ed, u"4", u"e", u"4", true},
        {"digitInACount", FieldId::AnzSonstEd, u"2", u"1", u"21", false},
        {"euroSignBeeps", FieldId::List1Ed, u"12", u"€", u"12", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        startWith(row.field, row.start);
        const int beeps = dialogs_.beeps;
        const QString key = QString::fromUtf16(row.key);
        QTest::sendKeyEvent(QTest::Click, widget(row.field), Qt::Key(key.at(0).toUpper().unicode()),
                            key, {});
        EXPECT_EQ(widget(row.field)->text(), QString::fromUtf16(row.expected));
        EXPECT_EQ(sheet_.shownText(row.field), row.expected);
        EXPECT_EQ(dialogs_.beeps - beeps, row.beeps ? 1 : 0);
        EXPECT_EQ(rules_.empty(), row.beeps);
    }

    // A modifier other than Ctrl does not take a letter past the filter.
    startWith(FieldId::List1Ed, u"12");
    const int beeps = dialogs_.beeps;
    QTest::sendKeyEvent(QTest::Click, widget(FieldId::List1Ed), Qt::Key_A, QStringLiteral("a"),
                        Qt::MetaModifier);
    EXPECT_EQ(widget(FieldId::List1Ed)->text(), QStringLiteral("12"));
    EXPECT_EQ(dialogs_.beeps - beeps, 1);
}

TEST_F(SpinEditWidgetTest, EveryKeystrokeRunsTheRuleAndLeavingOnceMore) {
    std::vector<long double> seen;
    hooks_.rule = [&](std::string_view handler) {
        if (handler == "List1EdChange") {
            seen.push_back(sheet_.number(FieldId::List1Ed).GetValue());
        }
    };
    type(FieldId::List1Ed, QStringLiteral("12.5"));
    EXPECT_EQ(seen, (std::vector<long double>{1, 12, 12, 12.5L}));
    leave(FieldId::List1Ed);
    EXPECT_EQ(widget(FieldId::List1Ed)->text(), QStringLiteral("12,50"));
    EXPECT_EQ(seen.size(), 5U);
}

TEST_F(SpinEditWidgetTest, LeavingReformatsAndClamps) {
    const struct {
        const char* name;
        FieldId field;
        const char* keys;
        const char16_t* typed;
        const char16_t* left;
    } rows[] = {
        {"countAboveItsMaximum", FieldId::AnzZeilenEd, "9", u"9", u"5"},
        {"countBelowItsMinimum", FieldId::LagenEd, "-2", u"-2", u"0"},
        {"amountGetsTwoDecimals", FieldId::Dach14Ed, "12.5", u"12,5", u"12,50"},
        {"emptiedAmount", FieldId::Summe6Ed, "\b", u"", u"0,00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        type(row.field, QString::fromLatin1(row.keys));
        EXPECT_EQ(sheet_.shownText(row.field), row.typed);
        leave(row.field);
        EXPECT_FALSE(widget(row.field)->hasFocus());
        EXPECT_EQ(widget(row.field)->text(), QString::fromUtf16(row.left));
    }
    // While it read 9, all five material rows were shown; now the clamped 5 still shows them.
    EXPECT_FALSE(view_->row(RowId::Panel6)->isHidden());
}

TEST_F(SpinEditWidgetTest, AValueWiderThanItsFieldShowsItsEndAndTheWholeAsTooltip) {
    SpinEditWidget* w = widget(FieldId::List1Ed);
    const struct {
        const char* name;
        long double value;
        bool cut;
    } rows[] = {
        {"fits", 12.5L, false},
        {"too wide", 12345678901234.5L, true},
        {"fits again", 7, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sheet_.number(FieldId::List1Ed).SetValue(row.value);
        const bool fits = w->fontMetrics().horizontalAdvance(w->text()) <
                          w->spinButton()->x() -
                              2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
        ASSERT_EQ(fits, !row.cut) << "the value fits the field as the row says";
        EXPECT_EQ(w->toolTip(), row.cut ? w->text() : QString());
    }

    // Typed wider, the tooltip follows; a wider field needs none.
    type(FieldId::List1Ed, QStringLiteral("98765432109876"));
    EXPECT_EQ(w->toolTip(), QStringLiteral("98765432109876"));
    const QSize designed = w->size();
    w->resize(400, designed.height());
    EXPECT_EQ(w->toolTip(), QString());
    w->resize(designed);
    EXPECT_EQ(w->toolTip(), QStringLiteral("98765432109876"));

    // A click near the start puts the cursor there and scrolls the start into view; leaving shows
    // the end again, where the decimals are, though the text did not change.
    leave(FieldId::List1Ed);
    const QString whole = w->text();
    ASSERT_EQ(whole, QStringLiteral("98765432109876,00"));
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(4, w->height() / 2));
    w->home(false);
    w->grab();
    ASSERT_LT(w->cursorPosition(), 3);
    leave(FieldId::List1Ed);
    EXPECT_EQ(w->text(), whole);
    w->grab(); // lays the text out as it will be painted
    EXPECT_EQ(w->cursorPosition(), whole.size());
    const QRect end = w->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_GT(end.left(), 0);
    EXPECT_LT(end.left(), w->spinButton()->x()) << "the last digits are not under the button";
}

TEST_F(SpinEditWidgetTest, SwitchingToAnotherWindowIsNotLeaving) {
    type(FieldId::Dach14Ed, QStringLiteral("12.5"));
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(widget(FieldId::Dach14Ed)->text(), QStringLiteral("12,5"));
}

TEST_F(SpinEditWidgetTest, APasteThatIsNoNumberIsUndone) {
    SpinEditWidget* w = widget(FieldId::List1Ed);
    auto pasteByKeyboard = [&] { QTest::keySequence(w, QKeySequence::Paste); };
    auto pasteByMenu = [&] {
        std::unique_ptr<QMenu> menu(w->createContextMenu());
        QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"));
        ASSERT_NE(paste, nullptr);
        paste->trigger();
    };
    const struct {
        const char* name;
        std::function<void()> paste;
        const char* clip;
        const char16_t* expected;
        int ruleRuns;
    } rows[] = {
        {"keyboardNoNumber", pasteByKeyboard, "abc", u"12,50", 2},
        {"menuNoNumber", pasteByMenu, "abc", u"12,50", 2},
        {"keyboardNumber", pasteByKeyboard, "7,5", u"7,5", 1},
        {"menuNumberWithSpaces", pasteByMenu, " 7,5 ", u" 7,5 ", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        startWith(FieldId::List1Ed, u"12,50");
        w->selectAll();
        QGuiApplication::clipboard()->setText(QString::fromLatin1(row.clip));
        row.paste();
        EXPECT_EQ(w->text(), QString::fromUtf16(row.expected));
        EXPECT_EQ(rulesRun("List1EdChange"), row.ruleRuns);
    }
}

TEST_F(SpinEditWidgetTest, CutWorksAsInAnyTextBox) {
    startWith(FieldId::List1Ed, u"12,50");
    widget(FieldId::List1Ed)->selectAll();
    QTest::keySequence(widget(FieldId::List1Ed), QKeySequence::Cut);
    EXPECT_EQ(widget(FieldId::List1Ed)->text(), QString());
    EXPECT_EQ(sheet_.shownText(FieldId::List1Ed), u"");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("12,50"));
}

TEST_F(SpinEditWidgetTest, UndoAndRedoAreEditsThatReachTheField) {
    SpinEditWidget* w = widget(FieldId::List1Ed);
    auto byKeyboard = [&](QKeySequence::StandardKey key) { QTest::keySequence(w, key); };
    auto byMenu = [&](QKeySequence::StandardKey key) {
        // The entries show their shortcut after a tab.
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        std::unique_ptr<QMenu> menu(w->createContextMenu());
        for (QAction* action : menu->actions()) {
            if (!shortcut.isEmpty() && action->text().section(QLatin1Char('\t'), 1) == shortcut) {
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no context menu entry for " << shortcut.toStdString();
    };
    const struct {
        const char* name;
        std::function<void(QKeySequence::StandardKey)> edit;
    } rows[] = {{"keyboard", byKeyboard}, {"contextMenu", byMenu}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        type(FieldId::List1Ed, QStringLiteral("7"));
        ASSERT_EQ(sheet_.shownText(FieldId::Ek1Ed), u"7,00");
        rules_.clear();
        row.edit(QKeySequence::Undo);
        EXPECT_EQ(w->text(), QStringLiteral("0,00"));
        EXPECT_EQ(sheet_.shownText(FieldId::List1Ed), u"0,00");
        EXPECT_EQ(sheet_.shownText(FieldId::Ek1Ed), u"0,00") << "the rule ran on the undone text";
        row.edit(QKeySequence::Redo);
        EXPECT_EQ(sheet_.shownText(FieldId::List1Ed), u"7");
        EXPECT_EQ(sheet_.shownText(FieldId::Ek1Ed), u"7,00");
        EXPECT_EQ(rulesRun("List1EdChange"), 2);
        leave(FieldId::List1Ed);
        sheet_.number(FieldId::List1Ed).SetValue(0);
    }
}

TEST_F(SpinEditWidgetTest, TheMenuBarTakingTheKeyboardIsNotLeaving) {
    auto* bar = new QMenuBar(host_.get());
    bar->addMenu(QStringLiteral("Datei"))->addAction(QStringLiteral("Beenden"));
    bar->show();
    type(FieldId::Dach14Ed, QStringLiteral("12.5"));
    // Alt alone: the menu bar takes the keyboard; a second Alt gives it back.
    QTest::keyClick(widget(FieldId::Dach14Ed), Qt::Key_Alt, Qt::AltModifier);
    ASSERT_TRUE(bar->hasFocus());
    EXPECT_EQ(widget(FieldId::Dach14Ed)->text(), QStringLiteral("12,5"));
    QTest::keyClick(bar, Qt::Key_Escape);
    ASSERT_TRUE(widget(FieldId::Dach14Ed)->hasFocus());
    EXPECT_EQ(widget(FieldId::Dach14Ed)->text(), QStringLiteral("12,5"));
    EXPECT_FALSE(widget(FieldId::Dach14Ed)->hasSelectedText());

    // From the menu bar straight on to another field: that is leaving.
    QTest::keyClick(widget(FieldId::Dach14Ed), Qt::Key_Alt, Qt::AltModifier);
    ASSERT_TRUE(bar->hasFocus());
    widget(FieldId::MwStEd)->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(widget(FieldId::Dach14Ed)->text(), QStringLiteral("12,50"));
}

TEST_F(SpinEditWidgetTest, TheWheelDoesNothingInTheField) {
    SpinEditWidget* w = widget(FieldId::Ver9Ed);
    w->setFocus(Qt::TabFocusReason);
    QWheelEvent event(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
    EXPECT_FALSE(event.isAccepted());
    EXPECT_EQ(w->text(), QStringLiteral("15,00"));
}

// Enter and Esc in a field reach the default and the cancel button of the window.
class DialogKeysTest : public test::UiTest {};

TEST_F(DialogKeysTest, EnterAndEscReachTheWindowsButtons) {
    TRxSpinEdit field;
    field.setValueType(ValueType::vtFloat);
    for (const auto& [key, expected] : {std::pair{Qt::Key_Return, QDialog::Accepted},
                                        std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
        QDialog dialog;
        auto* w = new SpinEditWidget(field, &dialog);
        auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(w);
        layout->addWidget(ok);
        dialog.setResult(-1);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        w->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w, key);
        EXPECT_EQ(dialog.result(), expected);
        EXPECT_EQ(field.text(), u"0,00");
    }
    EXPECT_EQ(dialogs_.beeps, 0);
}

} // namespace
} // namespace pyrelto
