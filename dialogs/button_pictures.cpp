#include "button_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pyrelto {

namespace {

constexpr int kSize = 16;

// Mid-tone outlines stay visible on light and on dark buttons alike.
const QColor kOutline(64, 64, 64);

void paintPicture(QPainter& p, ButtonPicture kind) {
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case ButtonPicture::Open:
        p.setPen(QPen(QColor(140, 100, 20), 1));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(1.5, 4.5, 13, 9));
        p.drawRect(QRectF(1.5, 2.5, 5, 2));
        break;
    case ButtonPicture::Save:
        p.setPen(QPen(QColor(30, 50, 110), 1));
        p.setBrush(QColor(60, 100, 190));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    case ButtonPicture::Print:
        p.setPen(kOutline);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5)); // paper going in
        p.setBrush(QColor(176, 176, 176));
        p.drawRect(QRectF(1.5, 6.5, 13, 6)); // body
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 5)); // paper coming out
        p.setPen(QColor(0, 160, 0));
        p.drawPoint(12, 8); // lamp
        break;
    case ButtonPicture::NewEntry: {
        p.setPen(QPen(QColor(0, 150, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(2.5, 8.5);
        tick.lineTo(6.5, 12.5);
        tick.lineTo(13.5, 3.5);
        p.drawPath(tick);
        break;
    }
    case ButtonPicture::Edit:
        p.setPen(kOutline);
        p.setBrush(QColor(250, 190, 40));
        p.drawPolygon(QPolygonF(
            {QPointF(11, 2), QPointF(14, 5), QPointF(5, 14), QPointF(2, 14), QPointF(2, 11)}));
        p.drawLine(QPointF(10, 3), QPointF(13, 6));
        break;
    case ButtonPicture::Delete:
        p.setPen(QPen(QColor(200, 20, 20), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    case ButtonPicture::TakeOver: {
        p.setPen(QPen(QColor(20, 90, 180), 1));
        p.setBrush(QColor(60, 140, 230));
        p.drawPolygon(
            QPolygonF({QPointF(1.5, 8), QPointF(7.5, 2.5), QPointF(7.5, 5.5), QPointF(14.5, 5.5),
                       QPointF(14.5, 10.5), QPointF(7.5, 10.5), QPointF(7.5, 13.5)}));
        break;
    }
    case ButtonPicture::Search: {
        // Handle and rim drawn twice, a light halo under the dark line: on a dark button the
        // dark line alone vanished and left only the light lens, a white dot.
        const QColor halo(235, 235, 235);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(halo, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
        p.setPen(QPen(halo, 3));
        p.drawEllipse(QPointF(6.5, 6.5), 4.75, 4.75);
        p.setPen(QPen(kOutline, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10, 10), QPointF(14, 14));
        p.setPen(QPen(kOutline, 1.5));
        p.setBrush(QColor(200, 230, 250));
        p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
        break;
    }
    }
}

} // namespace

QIcon buttonPicture(ButtonPicture kind) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    paintPicture(p, kind);
    p.end();
    return QIcon(pixmap);
}

} // namespace pyrelto
