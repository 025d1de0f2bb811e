#include "face_drawing.h"

#include "qt_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace pyrelto {

namespace {

const QColor kInk(30, 30, 30);
const QColor kMuted(95, 95, 95);
const QColor kFaceFill(226, 235, 246);
const QColor kDimension(31, 64, 104);
const QColor kDeducted(150, 40, 40);

// Polygons with more sides than this get no lengths written on their sides: they would cover the
// drawing. Their corners are still numbered up to the same bound.
constexpr std::size_t kMaxLabelledSides = 40;

QString metres(Hundredths value, char16_t separator) {
    return toQString(formatHundredths(value, separator));
}

// A side's length as the dimensions were taken, to the centimetre.
Hundredths sideLength(const Point& p, const Point& q) {
    const double dx = static_cast<double>(q.x - p.x);
    const double dy = static_cast<double>(q.y - p.y);
    return static_cast<Hundredths>(std::llround(std::hypot(dx, dy)));
}

class Drawing {
public:
    Drawing(QPainter& painter, const QFont& font, char16_t separator)
        : p_(painter), font_(font), metrics_(font, painter.device()), separator_(separator),
          line_(metrics_.height()), pen_(std::max(0.5, line_ * 0.08)) {}

    // Places the outline's bounding box (cm) into `room` at one scale for both axes.
    void fit(const std::vector<Point>& outline, const QRectF& room) {
        const auto [minX, maxX] =
            std::minmax_element(outline.begin(), outline.end(),
                                [](const Point& a, const Point& b) { return a.x < b.x; });
        const auto [minY, maxY] =
            std::minmax_element(outline.begin(), outline.end(),
                                [](const Point& a, const Point& b) { return a.y < b.y; });
        minX_ = static_cast<double>(minX->x);
        maxY_ = static_cast<double>(maxY->y);
        const double width = std::max(1.0, static_cast<double>(maxX->x - minX->x));
        const double height = std::max(1.0, static_cast<double>(maxY->y - minY->y));
        scale_ = std::max(1e-9, std::min(room.width() / width, room.height() / height));
        origin_ = QPointF(room.center().x() - width * scale_ / 2,
                          room.center().y() - height * scale_ / 2);
    }

    QPointF map(double x, double y) const {
        return {origin_.x() + (x - minX_) * scale_, origin_.y() + (maxY_ - y) * scale_};
    }
    QPointF map(const Point& point) const {
        return map(static_cast<double>(point.x), static_cast<double>(point.y));
    }
    double scale() const { return scale_; }
    double line() const { return line_; }
    double pen() const { return pen_; }
    const QFontMetricsF& metrics() const { return metrics_; }

    // A dimension line beside a → b, `offset` pixels away on the side of `outward` (a unit
    // vector in screen coordinates), with extension lines, ticks and the text on its outer side.
    void dimension(QPointF a, QPointF b, QPointF outward, const QString& text,
                   double offset) const {
        const QPointF shift = outward * offset;
        const QPointF a2 = a + shift;
        const QPointF b2 = b + shift;
        p_.setPen(QPen(kDimension, pen_ * 0.7));
        p_.drawLine(a + outward * (offset * 0.2), a2 + outward * (offset * 0.25));
        p_.drawLine(b + outward * (offset * 0.2), b2 + outward * (offset * 0.25));
        p_.drawLine(a2, b2);
        const QPointF along = b2 - a2;
        const double length = std::hypot(along.x(), along.y());
        if (length <= 0)
            return;
        const QPointF unit = along / length;
        const QPointF tick = (unit + outward) * (line_ * 0.25);
        p_.setPen(QPen(kDimension, pen_ * 1.2));
        for (const QPointF end : {a2, b2})
            p_.drawLine(end - tick, end + tick);
        // The text along the line, never upside down; upright ones read from below.
        double angle = std::atan2(along.y(), along.x()) * 180.0 / std::numbers::pi;
        if (angle >= 90.0)
            angle -= 180.0;
        else if (angle < -90.0)
            angle += 180.0;
        const double textWidth = metrics_.horizontalAdvance(text);
        if (textWidth > length + line_ * 2)
            return; // a side too short to carry its length
        const QPointF middle = (a2 + b2) / 2 + outward * (line_ * 0.55);
        p_.save();
        p_.translate(middle);
        p_.rotate(angle);
        p_.setPen(kDimension);
        p_.drawText(QRectF(-textWidth / 2 - line_, -line_ / 2, textWidth + 2 * line_, line_),
                    Qt::AlignCenter, text);
        p_.restore();
    }

    // The height of a triangle or trapezoid: a dashed line from the top down to the base.
    void height(QPointF top, QPointF foot, const QString& text) const {
        p_.setPen(QPen(kDimension, pen_ * 0.7, Qt::DashLine));
        p_.drawLine(top, foot);
        p_.setPen(kDimension);
        const QPointF middle = (top + foot) / 2;
        p_.drawText(QRectF(middle.x() + line_ * 0.3, middle.y() - line_ / 2,
                           metrics_.horizontalAdvance(text) + line_, line_),
                    Qt::AlignLeft | Qt::AlignVCenter, text);
    }

    QString metres(Hundredths value) const { return pyrelto::metres(value, separator_); }

private:
    QPainter& p_;
    QFont font_;
    QFontMetricsF metrics_;
    char16_t separator_;
    double line_;
    double pen_;
    double scale_ = 1;
    double minX_ = 0;
    double maxY_ = 0;
    QPointF origin_;
};

// Twice the signed area: positive when the corners run counter-clockwise (y up).
std::int64_t orientation(const std::vector<Point>& outline) {
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const Point& p = outline[i];
        const Point& q = outline[(i + 1) % outline.size()];
        sum += p.x * q.y - q.x * p.y;
    }
    return sum;
}

} // namespace

QString measuredCaption(const Face& face, char16_t separator) {
    const QString pitch = metres(face.pitch, separator) + QStringLiteral("°");
    if (face.measured == Measured::OnPlan)
        return QStringLiteral("Maße im Grundriss, Neigung ") + pitch;
    if (face.pitch == 0)
        return QStringLiteral("Maße auf der Dachfläche");
    return QStringLiteral("Maße auf der Dachfläche, Neigung ") + pitch;
}

void paintFaceDrawing(QPainter& painter, const QRectF& area, const Face& face,
                      const FaceResult& result, char16_t separator, const QFont& font,
                      bool caption) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(area);
    painter.setFont(font);
    Drawing d(painter, font, separator);
    const double line = d.line();

    if (caption) {
        // The caption: the face's name and how it was measured.
        QFont bold = font;
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(kInk);
        QString title = toQString(face.name).trimmed();
        if (title.isEmpty())
            title = QStringLiteral("Fläche");
        if (face.count > 1)
            title = QStringLiteral("%1 × %2").arg(face.count).arg(title);
        painter.drawText(QRectF(area.left(), area.top(), area.width(), line),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         d.metrics().elidedText(title, Qt::ElideRight, area.width()));
        painter.setFont(font);
        painter.setPen(kMuted);
        QString text = measuredCaption(face, separator);
        if (result.error.empty())
            text += QStringLiteral(" · Fläche ") + d.metres(result.area) + QStringLiteral(" m²");
        painter.drawText(QRectF(area.left(), area.top() + line, area.width(), line),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         d.metrics().elidedText(text, Qt::ElideRight, area.width()));
    }
    const double captionHeight = caption ? line * 2.3 : 0.0;

    const std::vector<Point> outline = faceOutline(face);
    if (outline.empty()) {
        painter.setPen(kDeducted);
        const QString message =
            QStringLiteral("Keine Zeichnung: ") +
            QString::fromUtf8(result.error.data(), static_cast<qsizetype>(result.error.size()));
        painter.drawText(area.adjusted(0, captionHeight, 0, 0), Qt::AlignCenter | Qt::TextWordWrap,
                         message);
        painter.restore();
        return;
    }

    // The legend of the openings below the drawing.
    QStringList legend;
    for (std::size_t k = 0; k < face.openings.size(); ++k) {
        const Opening& opening = face.openings[k];
        const OpeningResult* r = k < result.openings.size() ? &result.openings[k] : nullptr;
        QString entry = QStringLiteral("%1: ").arg(k + 1);
        if (opening.count > 1)
            entry += QStringLiteral("%1 × ").arg(opening.count);
        entry += toQString(opening.name).trimmed().isEmpty() ? QStringLiteral("Aussparung")
                                                             : toQString(opening.name).trimmed();
        entry += QStringLiteral(" ") + d.metres(opening.length) + QStringLiteral(" × ") +
                 d.metres(opening.width);
        if (r && r->error.empty())
            entry += r->deducted ? QStringLiteral(" (abgezogen)") : QStringLiteral(" (übermessen)");
        legend << entry;
    }
    QString legendText;
    double legendHeight = 0;
    if (!legend.isEmpty()) {
        legendText =
            QStringLiteral("Aussparungen, Lage schematisch: ") + legend.join(QStringLiteral(" · "));
        legendHeight = d.metrics()
                           .boundingRect(QRectF(0, 0, area.width(), area.height()),
                                         Qt::TextWordWrap, legendText)
                           .height() +
                       line * 0.4;
    }

    const QRectF room = area.adjusted(line * 2.6, captionHeight + line * 1.8, -line * 2.6,
                                      -(line * 2.4 + legendHeight));
    if (room.width() < line || room.height() < line) {
        painter.restore();
        return;
    }
    d.fit(outline, room);

    QPolygonF shape;
    for (const Point& point : outline)
        shape << d.map(point);
    painter.setPen(QPen(kInk, d.pen() * 1.6));
    painter.setBrush(kFaceFill);
    painter.drawPolygon(shape);
    painter.setBrush(Qt::NoBrush);

    // Dimensions: outward is to the right of a counter-clockwise side (y up), which is the left
    // of it on screen where y runs down.
    const bool counterClockwise = orientation(outline) > 0;
    const auto outward = [&](std::size_t i) {
        const QPointF a = shape[static_cast<qsizetype>(i)];
        const QPointF b = shape[static_cast<qsizetype>((i + 1) % outline.size())];
        const QPointF along = b - a;
        const double length = std::max(1e-9, std::hypot(along.x(), along.y()));
        // Screen coordinates flip y, and with it the turning sense.
        const QPointF normal(along.y() / length, -along.x() / length);
        return counterClockwise ? -normal : normal;
    };
    const auto side = [&](std::size_t i, Hundredths value) {
        d.dimension(shape[static_cast<qsizetype>(i)],
                    shape[static_cast<qsizetype>((i + 1) % outline.size())], outward(i),
                    d.metres(value), line * 0.9);
    };
    switch (face.shape) {
    case FaceShape::Rectangle:
        side(0, face.a);
        side(1, face.b);
        break;
    case FaceShape::Triangle:
        side(0, face.a);
        d.height(shape[2], d.map(static_cast<double>(outline[2].x), 0.0), d.metres(face.b));
        break;
    case FaceShape::Trapezoid:
        side(0, face.a);
        side(2, face.c);
        d.height(shape[3], d.map(static_cast<double>(outline[3].x), 0.0), d.metres(face.b));
        break;
    case FaceShape::Polygon:
        if (outline.size() <= kMaxLabelledSides) {
            for (std::size_t i = 0; i < outline.size(); ++i)
                side(i, sideLength(outline[i], outline[(i + 1) % outline.size()]));
            // The corners numbered as in the table of corner points, inside the outline.
            QFont small = font;
            small.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() * 0.8 : 7);
            painter.setFont(small);
            painter.setPen(kMuted);
            const QPointF centre = shape.boundingRect().center();
            for (std::size_t i = 0; i < outline.size(); ++i) {
                const QPointF corner = shape[static_cast<qsizetype>(i)];
                QPointF towards = centre - corner;
                const double length = std::max(1e-9, std::hypot(towards.x(), towards.y()));
                towards = towards / length * (line * 0.6);
                painter.drawText(QRectF(corner.x() + towards.x() - line,
                                        corner.y() + towards.y() - line / 2, 2 * line, line),
                                 Qt::AlignCenter, QString::number(i + 1));
            }
            painter.setFont(font);
        }
        break;
    }

    // The openings to scale, side by side in rows across the middle of the face.
    if (!face.openings.empty()) {
        const QRectF box = shape.boundingRect();
        const double gap = line * 0.6;
        struct Placed {
            QRectF rect; // its left within the row, then its place in the drawing
            std::size_t index;
            std::size_t row;
        };
        std::vector<Placed> placed;
        std::vector<std::pair<double, double>> rows; // width, height of each row
        double x = 0;
        double rowHeight = 0;
        for (std::size_t k = 0; k < face.openings.size(); ++k) {
            const Opening& opening = face.openings[k];
            const double w = std::max(2.0, static_cast<double>(opening.length) * d.scale());
            const double h = std::max(2.0, static_cast<double>(opening.width) * d.scale());
            if (x > 0 && x + w > box.width() * 0.9) {
                rows.emplace_back(x - gap, rowHeight);
                x = 0;
                rowHeight = 0;
            }
            placed.push_back({QRectF(x, 0, w, h), k, rows.size()});
            x += w + gap;
            rowHeight = std::max(rowHeight, h);
        }
        rows.emplace_back(x - gap, rowHeight);
        double total = -gap;
        for (const auto& row : rows)
            total += row.second + gap;
        std::vector<double> rowTop;
        double y = box.center().y() - total / 2;
        for (const auto& row : rows) {
            rowTop.push_back(y);
            y += row.second + gap;
        }
        for (Placed& item : placed) {
            const std::size_t row = item.row;
            const double left = box.center().x() - rows[row].first / 2;
            item.rect.moveTo(left + item.rect.left(),
                             rowTop[row] + (rows[row].second - item.rect.height()) / 2);
            const OpeningResult* r =
                item.index < result.openings.size() ? &result.openings[item.index] : nullptr;
            const bool deducted = r && r->error.empty() && r->deducted;
            if (deducted) {
                painter.setBrush(QBrush(kDeducted, Qt::BDiagPattern));
                painter.setPen(QPen(kDeducted, d.pen() * 1.2));
            } else {
                painter.setBrush(Qt::white);
                painter.setPen(QPen(kDeducted, d.pen(), Qt::DashLine));
            }
            painter.drawRect(item.rect);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(kDeducted);
            const QString number = QString::number(item.index + 1);
            const QRectF label(item.rect.right() + line * 0.1, item.rect.top() - line * 0.9,
                               line * 1.5, line);
            painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, number);
        }
    }

    if (!legendText.isEmpty()) {
        painter.setPen(kMuted);
        painter.drawText(
            QRectF(area.left(), area.bottom() - legendHeight, area.width(), legendHeight),
            Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap, legendText);
    }
    painter.restore();
}

} // namespace pyrelto
