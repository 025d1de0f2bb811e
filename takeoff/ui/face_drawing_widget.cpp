#include "face_drawing_widget.h"

#include "face_drawing.h"

#include <QPainter>

namespace pyrelto {

FaceDrawingWidget::FaceDrawingWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Zeichnung der gewählten Fläche"));
}

void FaceDrawingWidget::setFace(const Face& face, const FaceResult& result, char16_t separator) {
    face_ = face;
    result_ = result;
    separator_ = separator;
    update();
}

void FaceDrawingWidget::clear() {
    face_.reset();
    update();
}

void FaceDrawingWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // Paper-white whatever the palette: the drawing looks as it will print.
    painter.fillRect(rect(), Qt::white);
    const QRectF area = QRectF(rect()).adjusted(8, 6, -8, -6);
    if (!face_) {
        painter.setPen(QColor(95, 95, 95));
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Die gewählte Fläche erscheint hier als Zeichnung."));
        return;
    }
    paintFaceDrawing(painter, area, *face_, result_, separator_, font());
}

} // namespace pyrelto
