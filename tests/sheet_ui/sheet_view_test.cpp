#include "sheet_host.h"
#include "worked_example.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

namespace pyrelto {
namespace {

using test::SheetHostTest;

class SheetViewTest : public SheetHostTest {
protected:
    std::vector<RowId> shownRows() const {
        std::vector<RowId> rows;
        for (const RowInfo& r : rowCatalogue()) {
            if (!view_->row(r.id)->isHidden()) {
                rows.push_back(r.id);
            }
        }
        return rows;
    }

    // Shown rows stand one under the other from the top, 56 pixels each, and the scroll range is
    // what their height exceeds the visible area by.
    void expectStacked() const {
        int y = 0;
        for (RowId id : shownRows()) {
            SCOPED_TRACE(view_->row(id)->objectName().toStdString());
            EXPECT_EQ(view_->row(id)->geometry().top(), y);
            EXPECT_EQ(view_->row(id)->height(), kRowHeight);
            y += kRowHeight;
        }
        EXPECT_EQ(view_->widget()->height(), y);
        EXPECT_EQ(view_->verticalScrollBar()->maximum(),
                  std::max(0, y - view_->viewport()->height()));
    }

    int wheel(QWidget* target, int delta) {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
        return event.isAccepted() ? 1 : 0;
    }
};

TEST_F(SheetViewTest, EveryFieldStandsWhereTheCatalogueSaysInItsColour) {
    const QColor windowColour = view_->viewport()->palette().color(QPalette::Base);
    for (const FieldInfo& info : fieldCatalogue()) {
        SCOPED_TRACE(std::string(info.name));
        QWidget* w = view_->fieldWidget(info.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->objectName().toStdString(), info.name);
        EXPECT_EQ(w->parentWidget(), view_->row(info.row));
        EXPECT_EQ(w->geometry(), QRect(info.x, 24, info.width, 21));
        const auto rgb = colourRgb(info.colour);
        const QColor expected = rgb ? QColor(rgb->r, rgb->g, rgb->b) : windowColour;
        EXPECT_EQ(w->palette().color(QPalette::Base), expected);
        if (info.caption.empty()) {
            EXPECT_EQ(view_->caption(info.id), nullptr);
        } else {
            ASSERT_NE(view_->caption(info.id), nullptr);
            EXPECT_EQ(view_->caption(info.id)->text().toStdU16String(), info.caption);
            EXPECT_EQ(view_->caption(info.id)->pos(), QPoint(info.x, 8));
            // Sized without asking the label: still room for its whole text, and no more.
            const QLabel* caption = view_->caption(info.id);
            EXPECT_EQ(caption->size(), caption->sizeHint());
        }
        if (isNumeric(info.id)) {
            EXPECT_EQ(view_->numberWidget(info.id)->alignment() & Qt::AlignHorizontal_Mask,
                      Qt::AlignRight);
        }
    }
    auto* kunde = qobject_cast<QComboBox*>(view_->fieldWidget(FieldId::KundeEd));
    ASSERT_NE(kunde, nullptr);
    EXPECT_TRUE(kunde->isEditable());
}

TEST_F(SheetViewTest, UnitCaptionsStandRightOfTheSumsAndRoofArea) {
    for (const RowInfo& r : rowCatalogue()) {
        QWidget* row = view_->row(r.id);
        SCOPED_TRACE(row->objectName().toStdString());
        int units = 0;
        for (const QLabel* label : row->findChildren<QLabel*>()) {
            if (label->text() == QStringLiteral("m²")) {
                ++units;
                EXPECT_EQ(label->x(), 616);
            }
        }
        const bool hasUnit = r.id != RowId::Panel1 && r.id != RowId::Panel17 &&
                             r.id != RowId::Panel14 && r.id != RowId::Panel16;
        EXPECT_EQ(units, hasUnit ? 1 : 0);
    }
}

TEST_F(SheetViewTest, EachMaterialRowCarriesItsTwoPresetButtons) {
    for (int m = 0; m < 5; ++m) {
        SCOPED_TRACE(m);
        QPushButton* save = view_->presetButton(m, false);
        QPushButton* load = view_->presetButton(m, true);
        ASSERT_NE(save, nullptr);
        ASSERT_NE(load, nullptr);
        EXPECT_EQ(save->text(), QStringLiteral("Material speichern..."));
        EXPECT_EQ(load->text(), QStringLiteral("Material laden..."));
        EXPECT_EQ(save->objectName(), QStringLiteral("BitBtn%1").arg(2 * m + 1));
        EXPECT_EQ(load->objectName(), QStringLiteral("BitBtn%1").arg(2 * m + 2));
        EXPECT_EQ(save->geometry(), QRect(640, 0, 137, 25));
        EXPECT_EQ(load->geometry(), QRect(640, 24, 137, 25));
        EXPECT_EQ(save->parentWidget(), view_->row(materialRows()[static_cast<size_t>(m)].row));
    }
    EXPECT_EQ(view_->presetButton(5, false), nullptr);
}

TEST_F(SheetViewTest, AfterStartTheCountsDecideTheShownRows) {
    const std::vector<RowId> expected{
        RowId::Panel1,  RowId::Panel17, RowId::Panel2,  RowId::Panel7,  RowId::Panel8,
        RowId::Panel9,  RowId::Panel10, RowId::Panel11, RowId::Panel12, RowId::Panel13,
        RowId::Panel14, RowId::Panel15, RowId::Panel16};
    EXPECT_EQ(shownRows(), expected);
    expectStacked();
    EXPECT_GT(view_->verticalScrollBar()->maximum(), 0);
}

TEST_F(SheetViewTest, OnlyTheHeightOfTheRowsScrolls) {
    // At the design size the rows fit the width beside the vertical bar: no horizontal bar takes
    // height from the visible area.
    EXPECT_TRUE(view_->verticalScrollBar()->isVisible());
    EXPECT_FALSE(view_->horizontalScrollBar()->isVisible());
    EXPECT_EQ(view_->horizontalScrollBar()->maximum(), 0);
}

TEST_F(SheetViewTest, RowsHideAndShowWithTheirCountsAndKeepTheirValues) {
    sheet_.number(FieldId::List2Ed).SetValue(4.5L); // row 2 is hidden now
    enter(FieldId::AnzZeilenEd, QStringLiteral("3"));
    EXPECT_FALSE(view_->row(RowId::Panel3)->isHidden());
    EXPECT_FALSE(view_->row(RowId::Panel4)->isHidden());
    EXPECT_TRUE(view_->row(RowId::Panel5)->isHidden());
    EXPECT_EQ(view_->row(RowId::Panel7)->y(), 5 * kRowHeight);
    EXPECT_EQ(view_->numberWidget(FieldId::List2Ed)->text(), QStringLiteral("4,50"));
    expectStacked();

    enter(FieldId::AnzSonstEd, QStringLiteral("0"));
    enter(FieldId::AnzStueckEd, QStringLiteral("0"));
    enter(FieldId::LagenEd, QStringLiteral("0"));
    EXPECT_TRUE(view_->row(RowId::Panel7)->isHidden());
    EXPECT_TRUE(view_->row(RowId::Panel9)->isHidden());
    EXPECT_TRUE(view_->row(RowId::Panel13)->isHidden());
    EXPECT_EQ(view_->row(RowId::Panel10)->y(), 5 * kRowHeight);
    expectStacked();
    // Ten rows fit: nothing to scroll.
    EXPECT_EQ(view_->verticalScrollBar()->maximum(), 0);
}

TEST_F(SheetViewTest, TheWorkedExampleTypedKeyByKey) {
    // The "." key enters the sheet's separator, as on the number pad.
    for (const auto& row : test::workedExample) {
        if (!row.typed.empty()) {
            enter(row.field, toQString(test::withSeparator(row.typed, u'.')));
        }
    }
    EXPECT_EQ(dialogs_.beeps, 0);
    for (const auto& row : test::workedExample) {
        EXPECT_EQ(widget(row.field)->text(), toQString(row.shown)) << fieldInfo(row.field).name;
    }

    enter(FieldId::AnzSonstEd, QStringLiteral("1"));
    EXPECT_TRUE(view_->row(RowId::Panel8)->isHidden());
    EXPECT_EQ(widget(FieldId::BruttoEd)->text(), QStringLiteral("572,06"));
}

TEST_F(SheetViewTest, TextFieldsFollowTheSheetBothWays) {
    QLineEdit* bez = view_->textWidget(FieldId::Bez1Ed);
    bez->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(bez, QStringLiteral("Bitumenbahn"));
    EXPECT_EQ(sheet_.text(FieldId::Bez1Ed).text(), u"Bitumenbahn");

    EXPECT_EQ(view_->textWidget(FieldId::Bez8Ed)->text(), QStringLiteral("Tellerdübel"));
    sheet_.text(FieldId::Waehr15Ed).setText(u"EUR");
    EXPECT_EQ(view_->textWidget(FieldId::Waehr15Ed)->text(), QStringLiteral("EUR"));

    QComboBox* kunde = view_->kundeEd();
    kunde->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(kunde, QStringLiteral("M"));
    QTest::sendKeyEvent(QTest::Click, kunde, Qt::Key_Udiaeresis, QStringLiteral("ü"), {});
    QTest::keyClicks(kunde, QStringLiteral("ller"));
    EXPECT_EQ(sheet_.text(FieldId::KundeEd).text(), u"Müller");
    sheet_.text(FieldId::KundeEd).setText(u"Schmidt GmbH");
    EXPECT_EQ(kunde->currentText(), QStringLiteral("Schmidt GmbH"));

    EXPECT_TRUE(rules_.empty());
}

// A description longer than its box shows its beginning once the user leaves it or a file puts
// it there, and the whole text as a tooltip; a short one has no tooltip.
TEST_F(SheetViewTest, ALongDescriptionShowsItsBeginningAndTheWholeAsATooltip) {
    QLineEdit* bez = view_->textWidget(FieldId::Bez1Ed);
    const QString longText =
        QStringLiteral("Bitumen-Schweißbahn Elastomer PYE PV 200 S5 Oberlage beschiefert, grün");
    sheet_.text(FieldId::Bez1Ed).setText(longText.toStdU16String());
    EXPECT_EQ(bez->toolTip(), longText);
    EXPECT_EQ(bez->cursorPosition(), 0);

    bez->setFocus(Qt::TabFocusReason);
    bez->end(false);
    QTest::keyClicks(bez, QStringLiteral(" matt"));
    EXPECT_EQ(bez->toolTip(), longText + QStringLiteral(" matt"));
    view_->textWidget(FieldId::Bez2Ed)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(bez->cursorPosition(), 0);

    sheet_.text(FieldId::Bez1Ed).setText(u"Bitumenbahn");
    EXPECT_TRUE(bez->toolTip().isEmpty());
}

TEST_F(SheetViewTest, TheWheelIsLeftToTheWindow) {
    QScrollBar* bar = view_->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(wheel(view_->viewport(), -120), 0);
    EXPECT_EQ(bar->value(), 0);
    wheel(bar, -120);
    EXPECT_EQ(bar->value(), 0) << "nor does the scroll bar scroll by itself";

    QComboBox* kunde = view_->kundeEd();
    kunde->addItems({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    kunde->setCurrentIndex(0);
    widget(FieldId::List1Ed)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(wheel(kunde, -120), 0);
    EXPECT_EQ(kunde->currentIndex(), 0);
}

TEST_F(SheetViewTest, CapitalUmlautsFitTheRowsOfTheCustomerDropDown) {
    // Tahoma at the window's 11 pixels draws the dots of Ä, Ö and Ü one pixel above its ascent.
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
    QComboBox* kunde = view_->kundeEd();
    kunde->addItems({QStringLiteral("Ömer Öztürk"), QStringLiteral("Ärzte Übel"), QString()});
    const struct {
        const char* family;
        int pixels;
    } fonts[] = {{"Tahoma", 11}, {"DejaVu Sans", 13}, {"DejaVu Serif", 11}};
    for (const auto& f : fonts) {
        SCOPED_TRACE(std::string(f.family) + " " + std::to_string(f.pixels));
        QFont font(QString::fromLatin1(f.family));
        font.setPixelSize(f.pixels);
        kunde->setFont(font);
        kunde->view()->setFont(font);
        kunde->showPopup();
        const QFontMetrics metrics(kunde->view()->font());
        for (int i = 0; i < kunde->count(); ++i) {
            SCOPED_TRACE(kunde->itemText(i).toStdString());
            const QRect row = kunde->view()->visualRect(kunde->model()->index(i, 0));
            // The line is centred in the row; the marks reach above the line's ascent.
            const int lineTop = row.top() + (row.height() - metrics.height()) / 2;
            const QRect ink = metrics.boundingRect(QStringLiteral("ÄÖÜ"))
                                  .translated(0, lineTop + metrics.ascent());
            EXPECT_GE(ink.top(), row.top()) << "the dots are cut off";
            EXPECT_LE(ink.bottom(), row.bottom());
            EXPECT_GT(row.height(), 0) << "an empty name still has its line";
        }
        kunde->hidePopup();
    }
}

} // namespace
} // namespace pyrelto
