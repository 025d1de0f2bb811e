// The "Aufmaß" tab in the real window: typed into as a user types (the keys go to the cell
// editors), the net area carried into the sheet's roof area on every keystroke while linked, kept
// in the calculation file.

#include "MainUnit.h"
#include "calculation_file.h"
#include "face_drawing_widget.h"
#include "sheet_view.h"
#include "spin_edit_widget.h"
#include "takeoff_tab.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <memory>

namespace pyrelto {
namespace {

using test::UiTest;
using Table = TakeOffTab::Table;

// Columns of the faces table, as the user meets them.
constexpr int kLength = 2;
constexpr int kWidth = 3;
constexpr int kCount = 5;

class TakeOffTabTest : public UiTest {
protected:
    std::unique_ptr<TMainForm> showForm() {
        auto form = std::make_unique<TMainForm>();
        form->show();
        QApplication::setActiveWindow(form.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }

    static TakeOffTab& openTab(TMainForm& form) {
        form.PageControl1->setCurrentWidget(form.takeOffTab());
        return *form.takeOffTab();
    }

    static QString shown(TMainForm& form, FieldId id) {
        return QString::fromStdU16String(form.sheet().shownText(id));
    }

    // Keys to whatever has the focus, as the keyboard sends them.
    static void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    static void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

    // Opens the cell's editor as a click on a selected cell would.
    static void startEditing(TakeOffTab& tab, Table which, int row, int column) {
        QTableWidget* view = tab.table(which);
        // An editor still open (Tab opens the next cell's) closes as focus leaves it.
        view->setFocus();
        view->setCurrentCell(row, column);
        view->edit(view->model()->index(row, column));
        ASSERT_TRUE(qobject_cast<QLineEdit*>(QApplication::focusWidget()))
            << "no editor for cell " << row << "," << column;
    }

    // The gable roof, 2 × (10,00 × 6,50) on the slope, typed into a new row from its name on.
    static void typeGableRoof(TakeOffTab& tab) {
        QTest::mouseClick(tab.addFaceButton, Qt::LeftButton);
        type(QStringLiteral("Hauptdach"));
        press(Qt::Key_Tab); // to the shape, a drop-down: "Rechteck" stays
        press(Qt::Key_Tab);
        type(QStringLiteral("10"));
        press(Qt::Key_Tab);
        type(QStringLiteral("6,5"));
        press(Qt::Key_Tab); // past the third side, which a rectangle has not
        type(QStringLiteral("2"));
        press(Qt::Key_Return);
    }

    // Figures the end sums are made of, so that the roof area shows in them.
    static void enterPrices(Sheet& sheet) {
        sheet.enter(FieldId::List1Ed, u"9,99");
        sheet.enter(FieldId::Summe10Ed, u"6,00");
    }
};

TEST_F(TakeOffTabTest, TypingTheGableRoofCarriesTheAreaIntoTheSheetKeystrokeByKeystroke) {
    auto form = showForm();
    EXPECT_FALSE(form->takeOffTab()->built()) << "built when first shown, not at start-up";
    EXPECT_EQ(form->PageControl1->tabText(2), QStringLiteral("Aufmaß"));
    enterPrices(form->sheet());
    TakeOffTab& tab = openTab(*form);
    ASSERT_TRUE(tab.built());
    EXPECT_TRUE(tab.linked()) << "a sheet without a roof area follows the take-off";

    QTest::mouseClick(tab.addFaceButton, Qt::LeftButton);
    type(QStringLiteral("Hauptdach"));
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    type(QStringLiteral("10"));
    press(Qt::Key_Tab);
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("0,00"))
        << "a face without its width has an error and carries nothing";
    EXPECT_FALSE(tab.messageLabel->text().isEmpty());
    type(QStringLiteral("6"));
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("60,00")) << "while typing";
    type(QStringLiteral(",5"));
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("65,00"));
    press(Qt::Key_Tab);
    type(QStringLiteral("2"));
    press(Qt::Key_Return);
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("130,00"));
    EXPECT_EQ(tab.facesTable->item(0, 8)->text(), QStringLiteral("65,00"));
    EXPECT_EQ(tab.facesTable->item(0, 9)->text(), QStringLiteral("130,00"));
    EXPECT_TRUE(tab.totalsLabel->text().contains(QStringLiteral("Netto 130,00 m²")));
    EXPECT_TRUE(tab.messageLabel->text().isEmpty()) << tab.messageLabel->text().toStdString();
    EXPECT_TRUE(tab.linkBox->isChecked());
    EXPECT_EQ(form->ScrollBox1->caption(FieldId::Dach14Ed)->text(),
              QStringLiteral("Dachfläche (Aufmaß):"));
    EXPECT_EQ(tab.cellText(Table::Faces, 0, 0), QStringLiteral("Hauptdach"));
    EXPECT_TRUE(tab.drawing->hasFace()) << "the selected face is drawn";

    // The same end sums as the area typed by hand.
    auto byHand = showForm();
    enterPrices(byHand->sheet());
    byHand->sheet().enter(FieldId::Dach14Ed, u"130");
    for (const FieldId id : {FieldId::Summe15Ed, FieldId::BruttoEd})
        EXPECT_EQ(shown(*form, id), shown(*byHand, id));
    EXPECT_NE(shown(*form, FieldId::BruttoEd), QStringLiteral("0,00"));
}

TEST_F(TakeOffTabTest, AnAreaTypedIntoTheSheetEndsTheLinkUntilTheAreaIsTakenAgain) {
    auto form = showForm();
    TakeOffTab& tab = openTab(*form);
    typeGableRoof(tab);
    ASSERT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("130,00"));

    // Typed into the sheet's field through its widget.
    form->PageControl1->setCurrentIndex(0);
    SpinEditWidget* area = form->ScrollBox1->numberWidget(FieldId::Dach14Ed);
    area->setFocus();
    area->selectAll();
    QTest::keyClicks(area, QStringLiteral("140"));
    QTest::keyClick(area, Qt::Key_Tab);
    EXPECT_FALSE(tab.linked());
    EXPECT_EQ(form->ScrollBox1->caption(FieldId::Dach14Ed)->text(), QStringLiteral("Dachfläche:"));

    openTab(*form);
    EXPECT_FALSE(tab.linkBox->isChecked());
    EXPECT_TRUE(tab.linkLabel->text().contains(QStringLiteral("140,00 m²")));
    startEditing(tab, Table::Faces, 0, kCount);
    type(QStringLiteral("1"));
    press(Qt::Key_Tab);
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("140,00"))
        << "the hand-typed area is never overwritten";

    QTest::mouseClick(tab.takeAreaButton, Qt::LeftButton);
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("65,00"));
    EXPECT_TRUE(tab.linked());
    startEditing(tab, Table::Faces, 0, kCount);
    type(QStringLiteral("2"));
    press(Qt::Key_Tab);
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("130,00"));

    // Unticking the box ends the link as well.
    QTest::mouseClick(tab.linkBox, Qt::LeftButton);
    EXPECT_FALSE(tab.linked());
    startEditing(tab, Table::Faces, 0, kCount);
    type(QStringLiteral("3"));
    press(Qt::Key_Tab);
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("130,00"));
}

TEST_F(TakeOffTabTest, ARefusedEntryGivesAGermanMessageAndChangesNothing) {
    auto form = showForm();
    TakeOffTab& tab = openTab(*form);
    typeGableRoof(tab);
    const auto snapshot = [&] {
        QStringList cells;
        for (int column = 0; column < tab.facesTable->columnCount(); ++column)
            cells << tab.cellText(Table::Faces, 0, column);
        return cells;
    };
    const auto cells = snapshot();

    const struct {
        const char* name;
        int column;
        const char* typed;
        const char16_t* message;
    } rows[] = {
        {"letters", kLength, "zehn", u"Fläche 1, Länge/Grundseite: Keine gültige Zahl."},
        {"threeDecimals", kWidth, "6,505",
         u"Fläche 1, Breite/Höhe: Höchstens zwei Nachkommastellen."},
        {"negative", kLength, "-10",
         u"Fläche 1, Länge/Grundseite: Die Zahl darf nicht negativ sein."},
        {"halfACount", kCount, "1,5", u"Fläche 1, Anzahl: Die Anzahl ist eine ganze Zahl."},
        {"noCount", kCount, "0", u"Fläche 1, Anzahl: nur 1 bis 10000."},
        {"pointAsSeparator", kLength, "10.5", u"Fläche 1, Länge/Grundseite: Keine gültige Zahl."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        startEditing(tab, Table::Faces, 0, row.column);
        type(QString::fromLatin1(row.typed));
        EXPECT_EQ(tab.messageLabel->text(), QString::fromUtf16(row.message));
        EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("130,00"));
        press(Qt::Key_Tab);
        EXPECT_EQ(tab.messageLabel->text(),
                  QString::fromUtf16(row.message) + QStringLiteral(" Der bisherige Wert bleibt."));
        EXPECT_EQ(snapshot(), cells);
        EXPECT_EQ(tab.facesTable->item(0, row.column)->text(), cells[row.column]);
        EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("130,00"));
    }

    // A number the row cannot take: the row says why, and there is no total to carry.
    startEditing(tab, Table::Faces, 0, kWidth);
    type(QStringLiteral("0"));
    press(Qt::Key_Tab);
    EXPECT_EQ(tab.messageLabel->text(),
              QStringLiteral("Fläche 1: Breite: muss größer als 0,00 m sein."));
    EXPECT_EQ(tab.facesTable->item(0, 0)->toolTip(),
              QStringLiteral("Breite: muss größer als 0,00 m sein."));
    EXPECT_EQ(tab.totalsLabel->text(),
              QStringLiteral("Keine Summe, solange eine Zeile einen Fehler hat."));
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("130,00"));

    startEditing(tab, Table::Faces, 0, kWidth);
    type(QStringLiteral("6,5"));
    press(Qt::Key_Tab);
    EXPECT_TRUE(tab.messageLabel->text().isEmpty());
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("130,00"));

    // Escape undoes what the editor typed.
    startEditing(tab, Table::Faces, 0, kLength);
    type(QStringLiteral("12"));
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("156,00"));
    press(Qt::Key_Escape);
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("130,00"));
    EXPECT_EQ(tab.cellText(Table::Faces, 0, kLength), QStringLiteral("10,00"));
}

TEST_F(TakeOffTabTest, TheTakeOffTravelsInTheCalculationFile) {
    const QString file = tempPath(QStringLiteral("aufmass.kal"));
    {
        auto form = showForm();
        TakeOffTab& tab = openTab(*form);
        typeGableRoof(tab);
        QTest::mouseClick(tab.addOpeningButton, Qt::LeftButton);
        type(QStringLiteral("Dachfenster"));
        press(Qt::Key_Tab);
        type(QStringLiteral("1,2"));
        press(Qt::Key_Tab);
        type(QStringLiteral("1,2"));
        press(Qt::Key_Return);
        EXPECT_EQ(tab.openingsTable->item(0, 5)->text(), QStringLiteral("abgezogen"));
        ASSERT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("128,56"));
        dialogs_.fileAnswers.push_back(file);
        form->Speichernunter1Click();
        ASSERT_TRUE(dialogs_.messages.empty());
    }
    auto form = showForm();
    dialogs_.fileAnswers.push_back(file);
    form->ffnen1Click();
    ASSERT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("128,56"));
    TakeOffTab& tab = openTab(*form);
    EXPECT_TRUE(tab.linked()) << "the area came from the take-off";
    ASSERT_EQ(tab.facesTable->rowCount(), 1);
    EXPECT_EQ(tab.facesTable->item(0, 0)->text(), QStringLiteral("Hauptdach"));
    EXPECT_EQ(tab.facesTable->item(0, 9)->text(), QStringLiteral("130,00"));
    ASSERT_EQ(tab.openingsTable->rowCount(), 1);
    EXPECT_EQ(tab.openingsTable->item(0, 4)->text(), QStringLiteral("1,44"));

    // A calculation whose area was typed by hand opens unlinked: its area stays.
    {
        Sheet sheet{NumberFormat{}};
        const CalculationExtras extras = openfile(sheet, file.toStdU16String());
        sheet.enter(FieldId::Dach14Ed, u"99");
        savefile(sheet, file.toStdU16String(), extras);
    }
    dialogs_.fileAnswers.push_back(file);
    form->ffnen1Click();
    EXPECT_FALSE(tab.linked());
    EXPECT_EQ(shown(*form, FieldId::Dach14Ed), QStringLiteral("99,00"));
    EXPECT_EQ(tab.facesTable->rowCount(), 1);
    EXPECT_TRUE(tab.linkLabel->text().contains(QStringLiteral("99,00 m²")));
}

// The window takes every wheel notch first; on this page it goes to the table under the pointer.
TEST_F(TakeOffTabTest, TheWheelScrollsTheTableUnderThePointer) {
    CalculationExtras extras;
    Face face;
    face.a = 500;
    face.b = 400;
    extras.takeOff.faces.assign(40, face);
    const QString file = tempPath(QStringLiteral("viele.kal"));
    {
        Sheet sheet{NumberFormat{}};
        savefile(sheet, file.toStdU16String(), extras);
    }
    auto form = showForm();
    dialogs_.fileAnswers.push_back(file);
    form->ffnen1Click();
    TakeOffTab& tab = openTab(*form);
    QWidget* viewport = tab.facesTable->viewport();
    QScrollBar* bar = tab.facesTable->verticalScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([bar] { return bar->maximum() > 0; }));
    ASSERT_EQ(bar->value(), 0);
    const QPointF at = QPointF(viewport->mapTo(form.get(), QPoint(viewport->width() / 2, 10)));
    QWheelEvent event(at, form->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form->windowHandle(), &event);
    EXPECT_GT(bar->value(), 0);
    EXPECT_EQ(tab.upstandsTable->verticalScrollBar()->value(), 0);
}

} // namespace
} // namespace pyrelto
