#include "takeoff_print.h"

#include "document_fonts.h"
#include "face_drawing.h"
#include "printout.h"
#include "qt_text.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <functional>
#include <vector>

namespace pyrelto {

namespace {

const QColor kInk(30, 30, 30);
const QColor kMuted(100, 100, 100);
const QColor kAccent(31, 64, 104);
const QColor kFault(176, 0, 0);

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString edgeName(EdgeKind kind) {
    const std::string_view name = edgeKindName(kind);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QFont pageFont(double points, bool bold = false) {
    return documentFont(points, bold);
}

// Twice the face's area in cm² before the pitch factor; the face's dimensions are sound.
std::int64_t doubledArea(const Face& face) {
    switch (face.shape) {
    case FaceShape::Rectangle:
        return 2 * face.a * face.b;
    case FaceShape::Triangle:
        return face.a * face.b;
    case FaceShape::Trapezoid:
        return (face.a + face.c) * face.b;
    case FaceShape::Polygon: {
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < face.points.size(); ++i) {
            const Point& p = face.points[i];
            const Point& q = face.points[(i + 1) % face.points.size()];
            sum += p.x * q.y - q.x * p.y;
        }
        return sum < 0 ? -sum : sum;
    }
    }
    return 0;
}

} // namespace

QString exactSquareMetres(std::int64_t doubledSquareCm, char16_t separator) {
    // Hundred-thousandths of a square metre: 2 cm² is 0,0002 m², so half a cm² is 0,00005.
    const std::int64_t n = doubledSquareCm * 5;
    QString fraction = QStringLiteral("%1").arg(n % 100000, 5, 10, QLatin1Char('0'));
    while (fraction.size() > 2 && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    return QString::number(n / 100000) + QChar(separator) + fraction;
}

QStringList faceComputation(const Face& face, const FaceResult& result, Hundredths threshold,
                            char16_t separator) {
    const auto m = [separator](Hundredths v) { return toQString(formatHundredths(v, separator)); };
    const auto m2 = [&m](Hundredths v) { return m(v) + QStringLiteral(" m²"); };
    QStringList lines;
    lines << measuredCaption(face, separator);
    if (result.error.empty()) {
        QString formula;
        switch (face.shape) {
        case FaceShape::Rectangle:
            formula = m(face.a) + QStringLiteral(" × ") + m(face.b);
            break;
        case FaceShape::Triangle:
            formula = m(face.a) + QStringLiteral(" × ") + m(face.b) + QStringLiteral(" ÷ 2");
            break;
        case FaceShape::Trapezoid:
            formula = QStringLiteral("(") + m(face.a) + QStringLiteral(" + ") + m(face.c) +
                      QStringLiteral(") ÷ 2 × ") + m(face.b);
            break;
        case FaceShape::Polygon:
            lines << QStringLiteral("Vieleck aus %1 Eckpunkten, Fläche nach der Gaußschen "
                                    "Trapezformel:")
                         .arg(face.points.size());
            break;
        }
        const std::int64_t doubled = doubledArea(face);
        const QString exact = exactSquareMetres(doubled, separator) + QStringLiteral(" m²");
        formula += formula.isEmpty() ? exact : QStringLiteral(" = ") + exact;
        const bool pitchFactor = face.measured == Measured::OnPlan && face.pitch != 0;
        if (pitchFactor) {
            formula += QStringLiteral(" ÷ cos ") + m(face.pitch) + QStringLiteral("° = ") +
                       m2(result.area);
        } else if (doubled % 200 != 0) {
            formula += QStringLiteral(" ≈ ") + m2(result.area);
        }
        lines << formula;
        if (face.shape == FaceShape::Polygon) {
            QStringList corners;
            for (std::size_t i = 0; i < face.points.size(); ++i)
                corners << QStringLiteral("%1 (%2 | %3)")
                               .arg(i + 1)
                               .arg(m(face.points[i].x), m(face.points[i].y));
            lines << QStringLiteral("Eckpunkte x | y in m: ") + corners.join(QStringLiteral(" · "));
        }
        if (face.count > 1)
            lines << QStringLiteral("%1 × %2 = %3")
                         .arg(face.count)
                         .arg(m2(result.area), m2(result.total));
    } else {
        lines << QStringLiteral("Fehler: ") + fromUtf8(result.error);
    }

    if (!face.openings.empty()) {
        lines << QStringLiteral("Aussparungen (bis %1 übermessen):").arg(m2(threshold));
        for (std::size_t k = 0; k < face.openings.size(); ++k) {
            const Opening& opening = face.openings[k];
            const OpeningResult* r = k < result.openings.size() ? &result.openings[k] : nullptr;
            QString name = toQString(opening.name).trimmed();
            if (name.isEmpty())
                name = QStringLiteral("Aussparung %1").arg(k + 1);
            QString line = name + QStringLiteral(": ");
            if (!r || !r->error.empty()) {
                lines << line + QStringLiteral("Fehler: ") + (r ? fromUtf8(r->error) : QString());
                continue;
            }
            const QString size = m(opening.length) + QStringLiteral(" × ") + m(opening.width);
            if (opening.count > 1)
                line +=
                    QStringLiteral("%1 × %2 = %1 × %3").arg(opening.count).arg(size, m2(r->area));
            else
                line += size + QStringLiteral(" = ") + m2(r->area);
            line += r->deducted ? QStringLiteral(", abgezogen: − ") + m2(r->deduction)
                                : QStringLiteral(", übermessen");
            lines << line;
        }
        if (result.error.empty() && result.deduction != 0)
            lines << QStringLiteral("Fläche abzüglich Aussparungen: %1 − %2 = %3")
                         .arg(m(result.total), m(result.deduction),
                              m2(result.total - result.deduction));
    }

    if (!face.edges.empty()) {
        QStringList edges;
        for (std::size_t k = 0; k < face.edges.size(); ++k) {
            const Edge& edge = face.edges[k];
            const bool sound = k >= result.edgeErrors.size() || result.edgeErrors[k].empty();
            QString text = edgeName(edge.kind) + QLatin1Char(' ');
            if (edge.count > 1)
                text += QStringLiteral("%1 × ").arg(edge.count);
            text += m(edge.length) + QStringLiteral(" m");
            if (!sound)
                text += QStringLiteral(" (Fehler: ") + fromUtf8(result.edgeErrors[k]) +
                        QLatin1Char(')');
            edges << text;
        }
        lines << QStringLiteral("Kanten: ") + edges.join(QStringLiteral(" · "));
    }
    return lines;
}

namespace {

// A piece of a page, top to bottom; pieces are never split.
struct Block {
    double height = 0;
    std::function<void(QPainter&, double top)> paint;
};

class TakeOffPages {
public:
    TakeOffPages(QPainter& painter, QPagedPaintDevice& device, const TakeOffPrint& print)
        : painter_(painter), device_(device), print_(print), dpmm_(device.logicalDpiY() / 25.4),
          result_(computeTakeOff(*print.takeOff)) {
        const QRectF paintRect = device.pageLayout().paintRectPixels(device.logicalDpiX());
        const QMarginsF margins = device.pageLayout().marginsPixels(device.logicalDpiX());
        // At least 20 mm of paper around the text, whatever the device's own margins are.
        const double want = mm(20);
        const double left = std::max(0.0, want - margins.left());
        const double top = std::max(0.0, want - margins.top());
        const double right = std::max(0.0, want - margins.right());
        const double bottom = std::max(0.0, want - margins.bottom());
        area_ =
            QRectF(left, top, paintRect.width() - left - right, paintRect.height() - top - bottom);
        body_ = pageFont(8.5);
        bold_ = pageFont(8.5, true);
        small_ = pageFont(7.5);
        heading_ = pageFont(14, true);
    }

    int paint(bool newPageFirst) {
        build();
        const auto pages = paginate();
        for (std::size_t page = 0; page < pages.size(); ++page) {
            if ((page > 0 || newPageFirst) && !device_.newPage())
                throw PrintError(QStringLiteral("Der Drucker hat keine neue Seite angenommen."));
            painter_.resetTransform();
            painter_.setClipping(false);
            double y = paintHeading();
            for (int i = pages[page].first; i < pages[page].second; ++i) {
                blocks_[static_cast<std::size_t>(i)].paint(painter_, y);
                y += blocks_[static_cast<std::size_t>(i)].height;
            }
            paintFooter(static_cast<int>(page) + 1, static_cast<int>(pages.size()));
        }
        return static_cast<int>(pages.size());
    }

private:
    double mm(double millimetres) const { return millimetres * dpmm_; }
    double line(const QFont& font) const {
        return QFontMetricsF(font, &device_).lineSpacing() * 1.2;
    }

    QStringList wrap(const QString& text, const QFont& font, double room) const {
        const QFontMetricsF metrics(font, &device_);
        // A unit stays with its number, a sign with what follows it.
        QStringList words;
        for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const bool unit = word == QStringLiteral("m²") || word == QStringLiteral("m") ||
                              word.startsWith(QStringLiteral("m²"));
            const bool afterSign = !words.isEmpty() && (words.last() == QStringLiteral("−") ||
                                                        words.last() == QStringLiteral("+"));
            if (!words.isEmpty() && (unit || afterSign))
                words.last() += QLatin1Char(' ') + word;
            else
                words << word;
        }
        QStringList lines;
        QString current;
        for (const QString& word : words) {
            const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (current.isEmpty() || metrics.horizontalAdvance(candidate) <= room) {
                current = candidate;
                continue;
            }
            lines << current;
            current = word;
        }
        lines << current;
        // A single word wider than the line is cut by the painter's elision.
        for (QString& l : lines)
            l = metrics.elidedText(l, Qt::ElideRight, room);
        return lines;
    }

    void text(QPainter& p, const QRectF& rect, const QString& value, const QFont& font,
              const QColor& colour, Qt::Alignment align = Qt::AlignLeft) const {
        p.setFont(font);
        p.setPen(colour);
        p.drawText(rect, align | Qt::AlignVCenter, value);
    }

    void addLines(const QStringList& lines, const QFont& font, const QColor& colour, double left,
                  double room, double spacingAfter = 0) {
        QStringList wrapped;
        for (const QString& l : lines)
            wrapped << wrap(l, font, room);
        for (qsizetype i = 0; i < wrapped.size(); ++i) {
            const double h = line(font) + (i + 1 == wrapped.size() ? spacingAfter : 0);
            blocks_.push_back(
                {h, [this, l = wrapped.at(i), font, colour, left, room](QPainter& p, double top) {
                     text(p, QRectF(left, top, room, line(font)), l, font, colour);
                 }});
        }
    }

    void addFace(std::size_t index) {
        const Face& face = print_.takeOff->faces[index];
        const FaceResult& result = result_.faces[index];
        const double drawingWidth = area_.width() * 0.34;
        const double textRoom = area_.width() - drawingWidth - mm(5);
        QString title = QStringLiteral("Fläche %1").arg(index + 1);
        if (!toQString(face.name).trimmed().isEmpty())
            title += QStringLiteral(": ") + toQString(face.name).trimmed();
        const QStringList computation =
            faceComputation(face, result, print_.takeOff->openingThreshold, print_.separator);
        QStringList wrapped;
        for (const QString& l : computation)
            wrapped << wrap(l, body_, textRoom);
        // The drawing beside as many lines as fit its height; the rest follow below it.
        const double drawingHeight = mm(55);
        const double lineHeight = line(body_);
        const double titleHeight = line(bold_) * 1.1;
        const qsizetype beside = std::min<qsizetype>(
            wrapped.size(),
            static_cast<qsizetype>(std::max(1.0, (drawingHeight - titleHeight) / lineHeight)));
        const QStringList first = wrapped.mid(0, beside);
        const double height =
            std::max(drawingHeight, titleHeight + lineHeight * static_cast<double>(beside));
        blocks_.push_back(
            {height + (beside == wrapped.size() ? mm(5) : 0),
             [this, &face, &result, title, first, textRoom, drawingWidth, drawingHeight,
              titleHeight, lineHeight](QPainter& p, double top) {
                 const double left = area_.left();
                 text(p, QRectF(left, top, textRoom, titleHeight), title, bold_, kAccent);
                 double y = top + titleHeight;
                 for (const QString& l : first) {
                     text(p, QRectF(left, y, textRoom, lineHeight), l, body_,
                          l.startsWith(QStringLiteral("Fehler")) ? kFault : kInk);
                     y += lineHeight;
                 }
                 const QRectF box(area_.right() - drawingWidth, top, drawingWidth, drawingHeight);
                 p.save();
                 paintFaceDrawing(p, box, face, result, print_.separator, small_, false);
                 p.restore();
             }});
        const QStringList rest = wrapped.mid(beside);
        if (!rest.isEmpty())
            addLines(rest, body_, kInk, area_.left(), area_.width(), mm(5));
    }

    void addUpstands() {
        const TakeOff& takeOff = *print_.takeOff;
        if (takeOff.upstands.empty())
            return;
        const auto m = [this](Hundredths v) {
            return toQString(formatHundredths(v, print_.separator));
        };
        addLines({QStringLiteral("Aufkantungen/Anschlüsse")}, bold_, kAccent, area_.left(),
                 area_.width());
        QStringList lines;
        for (std::size_t i = 0; i < takeOff.upstands.size(); ++i) {
            const Upstand& upstand = takeOff.upstands[i];
            const UpstandResult& r = result_.upstands[i];
            QString name = toQString(upstand.name).trimmed();
            if (name.isEmpty())
                name = QStringLiteral("Aufkantung %1").arg(i + 1);
            if (!r.error.empty()) {
                lines << name + QStringLiteral(": Fehler: ") + fromUtf8(r.error);
                continue;
            }
            QString l = name + QStringLiteral(": ");
            const QString size = m(upstand.length) + QStringLiteral(" × ") + m(upstand.height);
            if (upstand.count > 1)
                l += QStringLiteral("%1 × %2 = %1 × %3 m² = %4 m²")
                         .arg(upstand.count)
                         .arg(size, m(r.area), m(r.total));
            else
                l += size + QStringLiteral(" = ") + m(r.area) + QStringLiteral(" m²");
            lines << l;
        }
        addLines(lines, body_, kInk, area_.left(), area_.width(), mm(5));
    }

    void addTotals() {
        const auto m2 = [this](Hundredths v) {
            return toQString(formatHundredths(v, print_.separator)) + QStringLiteral(" m²");
        };
        if (!result_.totals) {
            QStringList faults{QStringLiteral("Das Aufmaß enthält Fehler und hat deshalb keine "
                                              "Summe:")};
            for (const std::string& message : result_.messages())
                faults << fromUtf8(message);
            addLines(faults, body_, kFault, area_.left(), area_.width());
            return;
        }
        const TakeOffTotals& t = *result_.totals;
        const std::vector<std::pair<QString, QString>> rows{
            {QStringLiteral("Flächen"), m2(t.gross)},
            {QStringLiteral("− Abzüge für Aussparungen"), m2(t.deductions)},
            {QStringLiteral("+ Aufkantungen/Anschlüsse"), m2(t.upstands)},
        };
        const double rowHeight = line(body_);
        const double netHeight = line(bold_) * 1.2;
        const double labelWidth = mm(70);
        const double valueWidth = mm(30);
        blocks_.push_back(
            {mm(2) + rowHeight * static_cast<double>(rows.size()) + netHeight + mm(4),
             [this, rows, rowHeight, netHeight, labelWidth, valueWidth,
              net = m2(t.net)](QPainter& p, double top) {
                 const double left = area_.left();
                 p.setPen(QPen(kInk, mm(0.25)));
                 p.drawLine(QPointF(left, top + mm(1)), QPointF(area_.right(), top + mm(1)));
                 double y = top + mm(2);
                 for (const auto& [label, value] : rows) {
                     text(p, QRectF(left, y, labelWidth, rowHeight), label, body_, kInk);
                     text(p, QRectF(left + labelWidth, y, valueWidth, rowHeight), value, body_,
                          kInk, Qt::AlignRight);
                     y += rowHeight;
                 }
                 p.setPen(QPen(kInk, mm(0.25)));
                 p.drawLine(QPointF(left, y), QPointF(left + labelWidth + valueWidth, y));
                 text(p, QRectF(left, y, labelWidth, netHeight),
                      QStringLiteral("= Netto-Dachfläche"), bold_, kInk);
                 text(p, QRectF(left + labelWidth, y, valueWidth, netHeight), net, bold_, kInk,
                      Qt::AlignRight);
             }});
        QStringList edges;
        for (int kind = 0; kind < kEdgeKindCount; ++kind)
            if (t.edges[kind] != 0)
                edges << edgeName(static_cast<EdgeKind>(kind)) + QLatin1Char(' ') +
                             toQString(formatHundredths(t.edges[kind], print_.separator)) +
                             QStringLiteral(" m");
        QStringList notes;
        if (!edges.isEmpty())
            notes << QStringLiteral("Kanten: ") + edges.join(QStringLiteral(" · "));
        if (print_.sheetArea && *print_.sheetArea != t.net)
            notes << (print_.offer ? QStringLiteral("Die Menge im Angebot (%1) weicht von diesem "
                                                    "Aufmaß ab.")
                                   : QStringLiteral("Die Dachfläche der Kalkulation (%1) ist von "
                                                    "Hand eingetragen und weicht von diesem "
                                                    "Aufmaß ab."))
                         .arg(m2(*print_.sheetArea));
        addLines(notes, body_, kInk, area_.left(), area_.width(), mm(3));
        addLines({QStringLiteral("Jede Fläche, Aussparung und Aufkantung ist nach dem "
                                 "Neigungsfaktor auf 0,01 m² kaufmännisch gerundet; die Summen "
                                 "sind Summen der gedruckten Zeilen.")},
                 small_, kMuted, area_.left(), area_.width());
    }

    void build() {
        for (std::size_t i = 0; i < print_.takeOff->faces.size() && i < result_.faces.size(); ++i)
            addFace(i);
        addUpstands();
        addTotals();
    }

    double headingHeight() const {
        return line(heading_) + (print_.subtitle.isEmpty() ? 0 : line(body_)) + mm(5);
    }

    double paintHeading() {
        double y = area_.top();
        text(painter_, QRectF(area_.left(), y, area_.width(), line(heading_)),
             QStringLiteral("Aufmaß"), heading_, kAccent);
        y += line(heading_);
        if (!print_.subtitle.isEmpty()) {
            text(painter_, QRectF(area_.left(), y, area_.width(), line(body_)), print_.subtitle,
                 body_, kMuted);
            y += line(body_);
        }
        y += mm(1.5);
        painter_.setPen(QPen(kAccent, mm(0.35)));
        painter_.drawLine(QPointF(area_.left(), y), QPointF(area_.right(), y));
        return y + mm(3.5);
    }

    void paintFooter(int page, int pages) {
        text(painter_,
             QRectF(area_.left(), area_.bottom() - line(small_), area_.width(), line(small_)),
             QStringLiteral("Aufmaß – Seite %1 von %2").arg(page).arg(pages), small_, kMuted,
             Qt::AlignHCenter);
    }

    std::vector<std::pair<int, int>> paginate() const {
        std::vector<std::pair<int, int>> pages;
        const double room = area_.height() - headingHeight() - line(small_) * 1.5;
        const int count = static_cast<int>(blocks_.size());
        int first = 0;
        double used = 0;
        for (int i = 0; i < count; ++i) {
            const double h = blocks_[static_cast<std::size_t>(i)].height;
            if (i > first && used + h > room) {
                pages.emplace_back(first, i);
                first = i;
                used = 0;
            }
            used += h;
        }
        pages.emplace_back(first, count);
        return pages;
    }

    QPainter& painter_;
    QPagedPaintDevice& device_;
    const TakeOffPrint& print_;
    double dpmm_;
    TakeOffResult result_;
    QRectF area_;
    QFont body_, bold_, small_, heading_;
    std::vector<Block> blocks_;
};

} // namespace

int paintTakeOffPages(QPainter& painter, QPagedPaintDevice& device, const TakeOffPrint& print,
                      bool newPageFirst) {
    if (!print.printed())
        return 0;
    TakeOffPages pages(painter, device, print);
    return pages.paint(newPageFirst);
}

} // namespace pyrelto
