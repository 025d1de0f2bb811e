// Every field of the sheet must stand out from the sheet around it, on a light desktop and on a
// dark one: judged from the pixels the window really paints.

#include "MainUnit.h"
#include "application.h"
#include "sheet_view.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <memory>

namespace pyrelto {
namespace {

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

INSTANTIATE_TEST_SUITE_P(LightAndDark, PaletteTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

} // namespace
} // namespace pyrelto
