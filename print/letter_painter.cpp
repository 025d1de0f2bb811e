#include "letter_painter.h"

#include "offer_print.h"
#include "printout.h"
#include "qt_text.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <array>

namespace pyrelto {

namespace {

const QColor kHeaderFill(232, 236, 241);
const QColor kMarks(150, 150, 150);

// Positions on the paper in millimetres from its top left corner (DIN 5008, form B).
namespace mm {
constexpr double kLeft = 25;
constexpr double kRight = 190;
constexpr double kReturnLine = 50;
constexpr double kAddressTop = 62.7;
constexpr double kInfoLeft = 125;
constexpr double kInfoTop = 50;
constexpr double kSubjectTop = 98.46;
constexpr double kFollowTop = 30;
constexpr double kBodyBottom = 258;
constexpr double kPageNumber = 261;
constexpr double kFooterTop = 268;
} // namespace mm

// A word wider than the line in pieces that fit, in one pass over its characters: measuring every
// shorter prefix again took cubic time, and a pasted 20,000-character word held the program for
// over a minute.
QStringList cutWord(const QString& word, const QFontMetricsF& metrics, double room) {
    QStringList pieces;
    qsizetype start = 0;
    double width = 0;
    qsizetype at = 0;
    while (at < word.size()) {
        const qsizetype length = word.at(at).isHighSurrogate() && at + 1 < word.size() ? 2 : 1;
        const double advance = metrics.horizontalAdvance(word.mid(at, length));
        if (at > start && width + advance > room) {
            qsizetype end = at;
            // Kerning can make a piece wider than its characters added up.
            while (end - start > 1 &&
                   metrics.horizontalAdvance(word.mid(start, end - start)) > room) {
                --end;
                if (end - start > 1 && word.at(end - 1).isHighSurrogate())
                    --end;
            }
            pieces.append(word.mid(start, end - start));
            start = end;
            at = end;
            width = 0;
            continue;
        }
        width += advance;
        at += length;
    }
    pieces.append(word.mid(start));
    return pieces;
}

QString trimmedText(const std::u16string& text) {
    return toQString(text).trimmed();
}

} // namespace

const QColor LetterPainter::kInk(30, 30, 30);
const QColor LetterPainter::kMuted(100, 100, 100);
const QColor LetterPainter::kAccent(31, 64, 104);

QSizeF LetterPainter::Logo::size() const {
    return svg ? QSizeF(svg->defaultSize()) : QSizeF(image.size());
}

bool LetterPainter::Logo::valid() const {
    return svg || !image.isNull();
}

QFont LetterPainter::letterFont(double points, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

LetterPainter::LetterPainter(LetterFrame frame, QPagedPaintDevice& device)
    : frame_(std::move(frame)), device_(device), dpmm_(device.logicalDpiY() / 25.4) {
    const QString path = toQString(frame_.firm.logoPath);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        auto svg = std::make_shared<QSvgRenderer>(path);
        if (svg->isValid() && !svg->defaultSize().isEmpty())
            logo_.svg = std::move(svg);
    } else if (!path.isEmpty()) {
        logo_.image = QImage(path);
    }
    body_ = letterFont(9.5);
    bodyBold_ = letterFont(9.5, true);
    small_ = letterFont(7);
    tableHead_ = letterFont(8.5, true);
    grossFont_ = letterFont(10.5, true);
}

LetterPainter::~LetterPainter() = default;

int LetterPainter::paint() {
    buildBody();
    const auto pages = paginate();
    QPainter painter;
    if (!painter.begin(&device_))
        throw PrintError(frame_.failureText);
    // Every position is measured from the paper's corner, whatever margins the device keeps.
    const QRectF paintRect = device_.pageLayout().paintRectPixels(device_.logicalDpiX());
    const QPointF origin = -paintRect.topLeft();
    for (std::size_t page = 0; page < pages.size(); ++page) {
        if (page > 0 && !device_.newPage())
            throw PrintError(QStringLiteral("Der Drucker hat keine neue Seite angenommen."));
        painter.resetTransform();
        painter.translate(origin);
        const int number = static_cast<int>(page) + 1;
        if (page == 0)
            paintFirstPageHead(painter);
        else
            paintFollowHead(painter, number);
        paintMarks(painter);
        double y = x(page == 0 ? mm::kSubjectTop : mm::kFollowTop);
        const auto [first, last] = pages[page];
        if (page > 0 && first < last) {
            if (const auto& table = flow_[static_cast<std::size_t>(first)].table) {
                paintTableHeader(painter, *table, y);
                y += tableHeaderHeight();
            }
        }
        for (int i = first; i < last; ++i) {
            flow_[static_cast<std::size_t>(i)].paint(painter, y);
            y += flow_[static_cast<std::size_t>(i)].height;
        }
        if (pages.size() > 1) {
            painter.setFont(small_);
            painter.setPen(kMuted);
            painter.drawText(
                QRectF(x(mm::kLeft), x(mm::kPageNumber), x(mm::kRight - mm::kLeft), line(small_)),
                Qt::AlignRight | Qt::AlignVCenter,
                QStringLiteral("Seite %1 von %2").arg(number).arg(pages.size()));
        }
        paintFooter(painter);
    }
    if (!painter.end())
        throw PrintError(frame_.failureText);
    return static_cast<int>(pages.size());
}

double LetterPainter::line(const QFont& font) const {
    return QFontMetricsF(font, &device_).lineSpacing();
}

// Greedy word wrap; a word wider than the line is cut where it must be.
QStringList LetterPainter::wrap(const QString& text, const QFont& font, double room) const {
    QStringList lines;
    const QFontMetricsF metrics(font, &device_);
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        const QString trimmed = paragraph.trimmed();
        if (trimmed.isEmpty()) {
            lines.append(QString());
            continue;
        }
        QString current;
        for (QString word : trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (metrics.horizontalAdvance(candidate) <= room) {
                current = candidate;
                continue;
            }
            if (!current.isEmpty())
                lines.append(current);
            if (word.size() > 1 && metrics.horizontalAdvance(word) > room) {
                QStringList pieces = cutWord(word, metrics, room);
                word = pieces.takeLast();
                lines.append(pieces);
            }
            current = word;
        }
        lines.append(current);
    }
    return lines;
}

void LetterPainter::drawLine(QPainter& painter, const QRectF& rect, const QString& text,
                             const QFont& font, const QColor& colour, Qt::Alignment align) {
    if (text.isEmpty())
        return;
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(rect, align | Qt::AlignVCenter, isolatedField(text));
}

void LetterPainter::addLine(const QString& text, const QFont& font, const QColor& colour,
                            double spacingAfterMm, double lineFactor) {
    const double h = line(font) * lineFactor;
    flow_.push_back({h + x(spacingAfterMm),
                     [this, text, font, colour, h](QPainter& p, double top) {
                         drawLine(p, QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), h), text,
                                  font, colour);
                     },
                     nullptr, false});
}

void LetterPainter::addParagraphs(const QString& text, const QFont& font, double spacingAfterMm,
                                  const QColor& colour) {
    const QStringList lines = wrap(text, font, x(mm::kRight - mm::kLeft));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& lineText = lines.at(i);
        const double h = line(font) * 1.15 + (i + 1 == lines.size() ? x(spacingAfterMm) : 0);
        flow_.push_back(
            {h,
             [this, lineText, font, colour](QPainter& p, double top) {
                 drawLine(p,
                          QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), line(font) * 1.15),
                          lineText, font, colour);
             },
             nullptr, false});
    }
}

void LetterPainter::addSpace(double millimetres) {
    flow_.push_back({x(millimetres), [](QPainter&, double) {}, nullptr, false});
}

double LetterPainter::tableHeaderHeight() const {
    return line(tableHead_) * 1.7;
}

QRectF LetterPainter::cellRect(const LetterTable& table, std::size_t column, double top,
                               double h) const {
    const double pad = x(1.2);
    return QRectF(x(table.edges[column]) + pad, top,
                  x(table.edges[column + 1] - table.edges[column]) - 2 * pad, h);
}

void LetterPainter::paintTableHeader(QPainter& painter, const LetterTable& table, double top) {
    const double h = tableHeaderHeight();
    painter.fillRect(QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), h), kHeaderFill);
    painter.setFont(tableHead_);
    painter.setPen(kAccent);
    for (std::size_t c = 0; c < table.titles.size(); ++c)
        painter.drawText(cellRect(table, c, top, h), table.alignments[c] | Qt::AlignVCenter,
                         table.titles[c]);
}

void LetterPainter::addTable(const std::shared_ptr<const LetterTable>& table,
                             const std::vector<LetterTableRow>& rows) {
    flow_.push_back({tableHeaderHeight(),
                     [this, table](QPainter& p, double top) { paintTableHeader(p, *table, top); },
                     nullptr, true});
    const double rowLine = line(body_) * 1.25;
    const std::size_t wrapColumn = table->wrapColumn;
    for (const LetterTableRow& row : rows) {
        const QFont& font = row.bold ? bodyBold_ : body_;
        const QStringList lines =
            wrap(row.cells.at(wrapColumn), font, cellRect(*table, wrapColumn, 0, 0).width());
        const double padTop = x(row.padTopMm);
        for (qsizetype l = 0; l < lines.size(); ++l) {
            const bool first = l == 0;
            const bool lastLine = l + 1 == lines.size();
            const double rowHeight = rowLine + (first ? padTop : 0) + (lastLine ? x(0.8) : 0);
            flow_.push_back(
                {rowHeight,
                 [this, table, cells = first ? row.cells : std::vector<QString>(),
                  text = lines.at(l), first, padTop, rowLine, &font, wrapColumn,
                  rule = lastLine && row.ruleAfter](QPainter& p, double top) {
                     const double y = top + (first ? padTop : 0);
                     drawLine(p, cellRect(*table, wrapColumn, y, rowLine), text, font, kInk);
                     for (std::size_t c = 0; c < cells.size(); ++c)
                         if (c != wrapColumn)
                             drawLine(p, cellRect(*table, c, y, rowLine), cells[c], font, kInk,
                                      table->alignments[c]);
                     if (rule) {
                         p.setPen(QPen(kMarks, x(0.15)));
                         const double bottom = y + rowLine + x(0.8);
                         p.drawLine(QPointF(x(mm::kLeft), bottom), QPointF(x(mm::kRight), bottom));
                     }
                 },
                 table, false});
        }
    }
}

void LetterPainter::addTotals(const std::vector<TotalsLine>& lines, double labelLeftMm) {
    const double rowLine = line(body_) * 1.35;
    const double grossLine = line(bodyBold_) * 1.6;
    double h = x(3) + x(6);
    for (const TotalsLine& total : lines)
        h += (total.kind == TotalsLine::Kind::Grand ? grossLine : rowLine) +
             (total.kind == TotalsLine::Kind::Plain ? 0 : x(1.5));
    flow_.push_back(
        {h,
         [this, lines, labelLeftMm, rowLine, grossLine](QPainter& p, double top) {
             p.setPen(QPen(kInk, x(0.25)));
             p.drawLine(QPointF(x(mm::kLeft), top + x(1)), QPointF(x(mm::kRight), top + x(1)));
             double y = top + x(3);
             // The amounts right-aligned in the table's last two columns.
             constexpr double valueLeft = 156;
             const double left = x(labelLeftMm);
             const double rule = x(mm::kRight);
             for (const TotalsLine& total : lines) {
                 const bool grand = total.kind == TotalsLine::Kind::Grand;
                 const double rowHeight = grand ? grossLine : rowLine;
                 const QFont& font = grand                                 ? grossFont_
                                     : total.kind == TotalsLine::Kind::Sum ? bodyBold_
                                                                           : body_;
                 if (total.kind != TotalsLine::Kind::Plain) {
                     y += x(0.5);
                     p.setPen(QPen(kInk, x(0.25)));
                     p.drawLine(QPointF(left, y), QPointF(rule, y));
                     y += x(1);
                 }
                 drawLine(p, QRectF(left, y, x(valueLeft) - left, rowHeight), total.label, font,
                          kInk);
                 drawLine(p, QRectF(x(valueLeft), y, x(mm::kRight - valueLeft) - x(1.2), rowHeight),
                          total.value, font, kInk, Qt::AlignRight);
                 y += rowHeight;
                 if (grand) {
                     p.setPen(QPen(kInk, x(0.25)));
                     p.drawLine(QPointF(left, y), QPointF(rule, y));
                     p.drawLine(QPointF(left, y + x(0.6)), QPointF(rule, y + x(0.6)));
                 }
             }
         },
         nullptr, false});
}

// [first, end) of the flow items on each page. A table header stays with its first row, and a
// page that goes on inside a table gets its header again.
std::vector<std::pair<int, int>> LetterPainter::paginate() const {
    std::vector<std::pair<int, int>> pages;
    const int count = static_cast<int>(flow_.size());
    int first = 0;
    double y = x(mm::kSubjectTop);
    const double bottom = x(mm::kBodyBottom);
    for (int i = 0; i < count; ++i) {
        const FlowItem& item = flow_[static_cast<std::size_t>(i)];
        const double needed = item.height + (item.keepWithNext && i + 1 < count
                                                 ? flow_[static_cast<std::size_t>(i) + 1].height
                                                 : 0);
        if (i > first && y + needed > bottom) {
            pages.emplace_back(first, i);
            first = i;
            y = x(mm::kFollowTop) + (item.table ? tableHeaderHeight() : 0);
        }
        y += item.height;
    }
    pages.emplace_back(first, count);
    return pages;
}

void LetterPainter::paintMarks(QPainter& painter) {
    painter.setPen(QPen(kMarks, x(0.2)));
    for (const double fold : {105.0, 210.0})
        painter.drawLine(QPointF(x(4), x(fold)), QPointF(x(9), x(fold)));
    painter.drawLine(QPointF(x(4), x(148.5)), QPointF(x(12), x(148.5)));
}

QString LetterPainter::returnLine() const {
    QStringList parts;
    for (const auto* part : {&frame_.firm.name, &frame_.firm.street, &frame_.firm.postcodeTown})
        if (!trimmedText(*part).isEmpty())
            parts << trimmedText(*part);
    return parts.join(QStringLiteral(" · "));
}

void LetterPainter::paintFirstPageHead(QPainter& painter) {
    const FirmData& firm = frame_.firm;
    const double textRoom = x(mm::kRight - mm::kLeft);
    double logoLeft = x(mm::kRight);
    if (logo_.valid()) {
        // At most 60 × 24 mm in the top right corner, its proportions kept.
        QSizeF size = logo_.size();
        size.scale(QSizeF(x(60), x(24)), Qt::KeepAspectRatio);
        const QRectF target(x(mm::kRight) - size.width(), x(12), size.width(), size.height());
        if (logo_.svg)
            logo_.svg->render(&painter, target);
        else
            painter.drawImage(target, logo_.image);
        logoLeft = target.left() - x(5);
    }
    if (firm.hasLetterhead()) {
        const QFont nameFont = letterFont(17, true);
        const double room = std::min(textRoom, logoLeft - x(mm::kLeft));
        drawLine(painter, QRectF(x(mm::kLeft), x(14), room, line(nameFont)),
                 QFontMetricsF(nameFont, &device_)
                     .elidedText(trimmedText(firm.name), Qt::ElideRight, room),
                 nameFont, kAccent);
        QStringList details;
        for (const auto* part : {&firm.contact, &firm.street, &firm.postcodeTown})
            if (!trimmedText(*part).isEmpty())
                details << trimmedText(*part);
        drawLine(painter, QRectF(x(mm::kLeft), x(14) + line(nameFont) + x(1), room, line(small_)),
                 details.join(QStringLiteral(" · ")), letterFont(8), kMuted);
        painter.setPen(QPen(kAccent, x(0.5)));
        painter.drawLine(QPointF(x(mm::kLeft), x(40)), QPointF(x(mm::kRight), x(40)));
        // The return address above the recipient, small and underlined, as window envelopes
        // show it.
        QFont returnFont = letterFont(6.5);
        returnFont.setUnderline(true);
        drawLine(painter, QRectF(x(mm::kLeft), x(mm::kReturnLine), x(80), line(returnFont)),
                 returnLine(), returnFont, kMuted);
    }
    const QFont addressFont = letterFont(10);
    double y = x(mm::kAddressTop);
    for (const QString& part : frame_.recipient.mid(0, 6)) {
        drawLine(painter, QRectF(x(mm::kLeft), y, x(80), line(addressFont)), part, addressFont,
                 kInk);
        y += line(addressFont);
    }
    const QFont label = letterFont(8);
    const QFont value = letterFont(8.5);
    y = x(mm::kInfoTop);
    const double room = x(mm::kRight - mm::kInfoLeft - 29);
    for (const auto& [name, text] : frame_.info) {
        drawLine(painter, QRectF(x(mm::kInfoLeft), y, x(28), line(value) * 1.2), name, label,
                 kMuted);
        // A value wider than the block (a long e-mail address) gets smaller, down to 6 points,
        // rather than running over the paper's margin.
        QFont fitted = value;
        const double needed = QFontMetricsF(value, &device_).horizontalAdvance(isolatedField(text));
        if (needed > room)
            fitted.setPointSizeF(std::max(6.0, value.pointSizeF() * room / needed));
        drawLine(painter, QRectF(x(mm::kInfoLeft + 29), y, room, line(value) * 1.2), text, fitted,
                 kInk);
        y += line(value) * 1.2;
    }
}

void LetterPainter::paintFollowHead(QPainter& painter, int page) {
    const QFont head = letterFont(8.5, true);
    const QRectF band(x(mm::kLeft), x(14), x(mm::kRight - mm::kLeft), line(head));
    if (frame_.firm.hasLetterhead())
        drawLine(painter, band, trimmedText(frame_.firm.name), head, kAccent);
    drawLine(painter, band, QStringLiteral("%1 – Seite %2").arg(frame_.followTitle).arg(page),
             letterFont(8), kMuted, Qt::AlignRight);
    painter.setPen(QPen(kAccent, x(0.3)));
    painter.drawLine(QPointF(x(mm::kLeft), x(20)), QPointF(x(mm::kRight), x(20)));
}

void LetterPainter::paintFooter(QPainter& painter) {
    const FirmData& f = frame_.firm;
    if (!f.hasLetterhead())
        return;
    const auto join = [](std::initializer_list<QString> parts) {
        QStringList kept;
        for (const QString& part : parts)
            if (!part.trimmed().isEmpty())
                kept << part.trimmed();
        return kept;
    };
    const auto labelled = [](const QString& label, const QString& value) {
        return value.trimmed().isEmpty() ? QString() : label + value.trimmed();
    };
    const std::array<QStringList, 4> columns{
        join({toQString(f.name), toQString(f.street), toQString(f.postcodeTown)}),
        join({labelled(QStringLiteral("Tel. "), toQString(f.phone)), toQString(f.email),
              toQString(f.web)}),
        join({labelled(QStringLiteral("Inhaber: "), toQString(f.contact)),
              labelled(QStringLiteral("Steuer-Nr./USt-IdNr.: "), toQString(f.taxId))}),
        join({labelled(QStringLiteral("Kontoinhaber: "), toQString(f.accountHolder)),
              labelled(QStringLiteral("IBAN: "), toQString(groupedIban(f.iban))),
              labelled(QStringLiteral("BIC: "), toQString(f.bic))})};
    constexpr std::array<double, 5> edges{mm::kLeft, 68, 104, 141, mm::kRight};
    painter.setPen(QPen(kMarks, x(0.2)));
    painter.drawLine(QPointF(x(mm::kLeft), x(mm::kFooterTop - 2)),
                     QPointF(x(mm::kRight), x(mm::kFooterTop - 2)));
    const double h = line(small_) * 1.1;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        double y = x(mm::kFooterTop);
        const double room = x(edges[c + 1] - edges[c] - 2);
        for (const QString& entry : columns[c]) {
            for (const QString& part : wrap(entry, small_, room)) {
                drawLine(painter, QRectF(x(edges[c]), y, room, h), part, small_, kMuted);
                y += h;
            }
        }
    }
}

} // namespace pyrelto
