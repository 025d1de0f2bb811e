// Every field of the sheet must stand out from the sheet around it, on a light desktop and on a
// dark one: judged from the pixels the window really paints.

#include "MainUnit.h"
#include "application.h"
#include "customer_tab.h"
#include "invoice_dialog.h"
#include "offer_dialog.h"
#include "qt_strings.h"
#include "sheet_view.h"
#include "ui_test_support.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <memory>

namespace pyrelto {
namespace {

using test::toStd;
using test::UiTest;

int luma(QRgb c) {
    return (299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c)) / 1000;
}

// The largest difference in brightness between the sheet's background and the pixels on the
// field's edge: the line one pixel outside and the field's own outermost line.
int edgeContrast(const QImage& image, const QRect& field, QRgb background) {
    int best = 0;
    for (const QRect& ring : {field.adjusted(-1, -1, 1, 1), field}) {
        for (int x = ring.left(); x <= ring.right(); ++x) {
            for (int y : {ring.top(), ring.bottom()})
                best = std::max(best, std::abs(luma(image.pixel(x, y)) - luma(background)));
        }
        for (int y = ring.top(); y <= ring.bottom(); ++y) {
            for (int x : {ring.left(), ring.right()})
                best = std::max(best, std::abs(luma(image.pixel(x, y)) - luma(background)));
        }
    }
    return best;
}

class PaletteTest : public UiTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        styleName_ = QApplication::style()->name();
        palette_ = QApplication::palette();
        if (GetParam()) {
            useDarkFusion();
        } else {
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
            QApplication::setPalette(QApplication::style()->standardPalette());
        }
    }
    void TearDown() override {
        QApplication::setStyle(QStyleFactory::create(styleName_));
        QApplication::setPalette(palette_);
    }

    QString styleName_;
    QPalette palette_;
};

TEST_P(PaletteTest, EveryFieldAndItsFrameStandOutFromTheSheet) {
    TMainForm form;
    for (FieldId count :
         {FieldId::AnzZeilenEd, FieldId::AnzSonstEd, FieldId::AnzStueckEd, FieldId::LagenEd}) {
        form.sheet().number(count).SetValue(5);
    }
    form.resize(900, 2000); // every row on screen at once
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QWidget* content = form.ScrollBox1->widget();
    const QImage image = content->grab().toImage();
    const QRgb background = content->palette().color(QPalette::Base).rgb();
    for (const FieldInfo& info : fieldCatalogue()) {
        SCOPED_TRACE(std::string(info.name));
        QWidget* field = form.ScrollBox1->fieldWidget(info.id);
        const QRect rect(field->mapTo(content, QPoint(0, 0)), field->size());
        ASSERT_TRUE(image.rect().contains(rect.adjusted(-1, -1, 1, 1)));
        // Inside the frame, above the text.
        const QPoint fill = rect.topLeft() + QPoint(3, 3);
        const int fillContrast = std::abs(luma(image.pixel(fill)) - luma(background));
        EXPECT_GE(std::max(edgeContrast(image, rect, background), fillContrast), 40)
            << "neither its frame nor its colour sets it off";
        if (const auto rgb = colourRgb(info.colour)) {
            // The colours that mark a field's role stay as they are on any desktop.
            EXPECT_EQ(image.pixelColor(fill), QColor(rgb->r, rgb->g, rgb->b));
        }
    }
}

// The fields typed into on `surface` (a form, a panel) against the background they sit on, from
// `surface`'s painted pixels.
void expectFieldsStandOut(QWidget& surface) {
    const QImage image = surface.grab().toImage();
    const QRgb background = surface.palette().color(surface.backgroundRole()).rgb();
    int checked = 0;
    for (QWidget* field : surface.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!qobject_cast<QLineEdit*>(field) && !qobject_cast<QAbstractSpinBox*>(field) &&
            !qobject_cast<QPlainTextEdit*>(field)) {
            continue;
        }
        if (!field->isVisible()) {
            continue;
        }
        SCOPED_TRACE(toStd(field->objectName()) + " " + field->metaObject()->className());
        const QRect rect = field->geometry();
        ASSERT_TRUE(image.rect().contains(rect.adjusted(-1, -1, 1, 1)));
        const int fillContrast =
            std::abs(luma(image.pixel(rect.topLeft() + QPoint(3, 3))) - luma(background));
        EXPECT_GE(std::max(edgeContrast(image, rect, background), fillContrast), 40)
            << "neither its frame nor its colour sets it off";
        ++checked;
    }
    EXPECT_GT(checked, 0) << "no field found on " << toStd(surface.objectName());
}

TEST_P(PaletteTest, FormFieldsAndTheSearchFieldStandOutFromTheirForm) {
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const auto onShownForm = [](QDialog& dialog) {
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        expectFieldsStandOut(dialog);
        return false;
    };
    dialogs_.formAnswers = {onShownForm, onShownForm};
    {
        SCOPED_TRACE("Angebot erstellen");
        form.createOfferAction->trigger();
    }
    {
        SCOPED_TRACE("Rechnung erstellen");
        form.createInvoiceAction->trigger();
    }
    EXPECT_TRUE(dialogs_.formAnswers.empty());

    form.PageControl1->setCurrentWidget(form.customerPage());
    SCOPED_TRACE("Kunden Vorlagen");
    expectFieldsStandOut(*form.customerTab()->Panel26);
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, PaletteTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

} // namespace
} // namespace pyrelto
