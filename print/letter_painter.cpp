#include "letter_painter.h"

#include "document_fonts.h"
#include "offer.h"
#include "offer_print.h"
#include "printout.h"
#include "qt_text.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImageReader>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <array>
#include <cmath>
#include <set>

namespace pyrelto {

namespace {

const QColor kHeaderFill(232, 236, 241);
const QColor kMarks(150, 150, 150);

// Positions on the paper in millimetres from its top left corner (DIN 5008, form B).
namespace mm {
constexpr double kLeft = 25;
constexpr double kRight = 190;
constexpr double kReturnLine = 50;
constexpr double kReturnWidth = 80;
constexpr double kAddressTop = 62.7;
constexpr double kAddressWidth = 80;
constexpr double kInfoLeft = 125;
constexpr double kInfoTop = 50;
constexpr double kSubjectTop = 98.46;
constexpr double kFollowTop = 30;
constexpr double kLetterheadTop = 12;
constexpr double kLetterheadText = 14;
constexpr double kLetterheadRule = 40;
// The footer's top for up to four lines; a longer footer grows upward from the same bottom, and
// the body and the page number keep their distance above it.
constexpr double kFooterTop = 268;
constexpr double kFooterLines = 4;
constexpr double kMaxFooter = 80;
constexpr double kBodyAboveFooter = 10;
constexpr double kPageNumberAboveFooter = 7;
constexpr std::array<double, 5> kFooterEdges{kLeft, 68, 104, 141, kRight};
// Space on each side of a table cell's text.
constexpr double kCellPad = 1.2;
// The wrapping column of a table keeps at least this much of its width.
constexpr double kMinWrapColumn = 45;
} // namespace mm

// A logo is at most 60 mm wide; 2,400 pixels give it over 1,000 dpi.
constexpr int kLogoPixels = 2400;

QString trimmedText(const std::u16string& text) {
    return toQString(text).trimmed();
}

// The footer's column of a company, what its business letters must name: its legal form (unless
// the name says it already), its seat, who manages it, its register entry, and its tax number. A KG
// without a company as its general partner is led by that partner (Komplementär).
QStringList companyLines(const FirmData& f) {
    QStringList lines;
    const QString form = trimmedText(f.legalForm);
    if (!trimmedText(f.name).contains(form))
        lines << QStringLiteral("Rechtsform: ") + form;
    if (const QString seat = trimmedText(f.registeredSeat); !seat.isEmpty())
        lines << QStringLiteral("Sitz: ") + seat;
    if (const QString director = trimmedText(f.managingDirector); !director.isEmpty()) {
        const bool partner = form.contains(QStringLiteral("KG")) &&
                             !form.contains(QStringLiteral("GmbH")) &&
                             !form.contains(QStringLiteral("UG"));
        lines << (partner ? QStringLiteral("Komplementär: ")
                          : QStringLiteral("Geschäftsführer: ")) +
                     director;
    }
    QStringList registration;
    for (const auto* part : {&f.registerCourt, &f.registerNumber})
        if (!trimmedText(*part).isEmpty())
            registration << trimmedText(*part);
    if (!registration.isEmpty())
        lines << registration.join(QStringLiteral(", "));
    if (const QString tax = trimmedText(f.taxId); !tax.isEmpty())
        lines << QStringLiteral("Steuer-Nr./USt-IdNr.: ") + tax;
    return lines;
}

// "text …" shortened to `room`: the end of a text that cannot be shown in full, marked.
QString elided(const QString& text, const QFontMetricsF& metrics, double room) {
    return metrics.elidedText(text + QStringLiteral(" …"), Qt::ElideRight, room);
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
    return documentFont(points, bold);
}

LetterPainter::LetterPainter(LetterFrame frame, QPagedPaintDevice& device)
    : frame_(std::move(frame)), device_(device), dpmm_(device.logicalDpiY() / 25.4) {
    const QString path = toQString(frame_.firm.logoPath);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        auto svg = std::make_shared<QSvgRenderer>(path);
        if (svg->isValid() && !svg->defaultSize().isEmpty())
            logo_.svg = std::move(svg);
    } else if (!path.isEmpty()) {
        // Read at most kLogoPixels wide or high: a stored picture of 7,000 × 7,000 pixels read
        // whole went beyond the reader's memory limit and the letter came out without it.
        QImageReader reader(path);
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > kLogoPixels || size.height() > kLogoPixels))
            reader.setScaledSize(size.scaled(kLogoPixels, kLogoPixels, Qt::KeepAspectRatio));
        logo_.image = reader.read();
    }
    body_ = letterFont(9.5);
    bodyBold_ = letterFont(9.5, true);
    small_ = letterFont(7);
    tableHead_ = letterFont(8.5, true);
    grossFont_ = letterFont(10.5, true);
}

LetterPainter::~LetterPainter() = default;

QStringList LetterPainter::layoutProblems() {
    buildBody();
    layOutFrame();
    checkGlyphs();
    return problems_;
}

int LetterPainter::paint() {
    buildBody();
    layOutFrame();
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
        double y = page == 0 ? bodyTop_ : x(mm::kFollowTop);
        const auto [first, last] = pages[page];
        if (page > 0 && first < last) {
            const FlowItem& opening = flow_[static_cast<std::size_t>(first)];
            if (const auto& table = opening.table) {
                paintTableHeader(painter, *table, y);
                y += tableHeaderHeight(*table);
                if (!opening.continues.isEmpty())
                    drawLine(painter, cellRect(*table, 0, y, line(table->body) * 1.25),
                             opening.continues, table->body, kMuted,
                             table->design.alignments.at(0));
            }
        }
        for (int i = first; i < last; ++i) {
            flow_[static_cast<std::size_t>(i)].paint(painter, y);
            y += flow_[static_cast<std::size_t>(i)].height;
        }
        if (pages.size() > 1) {
            painter.setFont(small_);
            painter.setPen(kMuted);
            painter.drawText(QRectF(x(mm::kLeft), footerTop_ - x(mm::kPageNumberAboveFooter),
                                    x(mm::kRight - mm::kLeft), line(small_)),
                             Qt::AlignRight | Qt::AlignVCenter,
                             QStringLiteral("Seite %1 von %2").arg(number).arg(pages.size()));
        }
        paintFooter(painter);
    }
    const int appended = paintAppendix(painter, device_);
    if (!painter.end())
        throw PrintError(frame_.failureText);
    return static_cast<int>(pages.size()) + appended;
}

double LetterPainter::line(const QFont& font) const {
    return QFontMetricsF(font, &device_).lineSpacing();
}

double LetterPainter::width(const QString& text, const QFont& font) const {
    return QFontMetricsF(font, &device_).horizontalAdvance(text);
}

// A word wider than the line in pieces that fit, broken after a hyphen where one serves
// ("dach-" / "beispiel.example"), else between any two graphemes. QTextLayout shapes the word
// once; measuring every shorter prefix again took cubic time, and measuring each character on its
// own still held the program for seconds on a pasted 100,000-character word.
QStringList LetterPainter::cutWord(const QString& word, const QFont& font, double room) const {
    QStringList pieces;
    QTextLayout layout(word, font, &device_);
    QTextOption option;
    // Looking for a hyphen scans the rest of the word for every line, so only words of a
    // sensible length (an e-mail address, a link) get that; a pasted block breaks anywhere.
    constexpr qsizetype kLongestSearched = 500;
    option.setWrapMode(word.size() <= kLongestSearched ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                                       : QTextOption::WrapAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine piece = layout.createLine(); piece.isValid(); piece = layout.createLine()) {
        piece.setLineWidth(room);
        pieces.append(word.mid(piece.textStart(), piece.textLength()));
    }
    layout.endLayout();
    return pieces;
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
                QStringList pieces = cutWord(word, font, room);
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
    // The layout measures every text into its place; should one still not fit, a whole glyph
    // beyond the box is better than a cut one ("1.234,56" printed as "l.234,56").
    painter.drawText(rect, align | Qt::AlignVCenter | Qt::TextDontClip, isolatedField(text));
}

void LetterPainter::noteText(const QString& text) {
    shownText_ += text;
    shownText_ += QLatin1Char('\n');
}

void LetterPainter::addLine(const QString& text, const QFont& font, const QColor& colour,
                            double spacingAfterMm, double lineFactor) {
    noteText(text);
    const double h = line(font) * lineFactor;
    flow_.push_back({h + x(spacingAfterMm), [this, text, font, colour, h](QPainter& p, double top) {
                         drawLine(p, QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), h), text,
                                  font, colour);
                     }});
}

void LetterPainter::addParagraphs(const QString& text, const QFont& font, double spacingAfterMm,
                                  const QColor& colour) {
    noteText(text);
    const QStringList lines = wrap(text, font, x(mm::kRight - mm::kLeft));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& lineText = lines.at(i);
        const double h = line(font) * 1.15 + (i + 1 == lines.size() ? x(spacingAfterMm) : 0);
        flow_.push_back(
            {h, [this, lineText, font, colour](QPainter& p, double top) {
                 drawLine(p,
                          QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), line(font) * 1.15),
                          lineText, font, colour);
             }});
    }
}

void LetterPainter::addSpace(double millimetres) {
    flow_.push_back({x(millimetres), [](QPainter&, double) {}});
}

void LetterPainter::addSignatureLines(const QStringList& captions, double spaceAboveMm) {
    if (captions.isEmpty())
        return;
    const double gap = x(10);
    const auto count = static_cast<double>(captions.size());
    // One line alone is as long as a signature needs, not the whole body.
    const double room =
        std::min(x(75), (x(mm::kRight - mm::kLeft) - gap * (count - 1)) / std::max(1.0, count));
    std::vector<QStringList> lines;
    qsizetype most = 0;
    for (const QString& caption : captions) {
        noteText(caption);
        lines.push_back(wrap(caption, small_, room));
        most = std::max(most, lines.back().size());
    }
    const double above = x(spaceAboveMm);
    const double h = line(small_) * 1.15;
    flow_.push_back(
        {above + x(1) + h * static_cast<double>(most) + x(2),
         [this, lines, room, gap, above, h](QPainter& p, double top) {
             for (std::size_t c = 0; c < lines.size(); ++c) {
                 const double left = x(mm::kLeft) + static_cast<double>(c) * (room + gap);
                 p.setPen(QPen(kInk, x(0.25)));
                 p.drawLine(QPointF(left, top + above), QPointF(left + room, top + above));
                 double y = top + above + x(1);
                 for (const QString& part : lines[c]) {
                     drawLine(p, QRectF(left, y, room, h), part, small_, kMuted);
                     y += h;
                 }
             }
         }});
}

void LetterPainter::keepTogether(std::size_t first) {
    for (std::size_t i = first; i + 1 < flow_.size(); ++i)
        flow_[i].keepWithNext = true;
}

double LetterPainter::tableHeaderHeight(const LaidTable& table) const {
    return line(table.head) * 1.7;
}

QRectF LetterPainter::cellRect(const LaidTable& table, std::size_t column, double top,
                               double h) const {
    const double pad = x(mm::kCellPad);
    return QRectF(table.edges[column] + pad, top,
                  table.edges[column + 1] - table.edges[column] - 2 * pad, h);
}

void LetterPainter::paintTableHeader(QPainter& painter, const LaidTable& table, double top) {
    const double h = tableHeaderHeight(table);
    painter.fillRect(QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), h), kHeaderFill);
    for (std::size_t c = 0; c < table.design.titles.size(); ++c)
        drawLine(painter, cellRect(table, c, top, h), table.design.titles[c], table.head, kAccent,
                 table.design.alignments[c]);
}

// The columns from the widest text each one holds in this document, the wrapping column taking
// the rest: fixed edges cut the first digits off large amounts on paper. Amounts so wide that the
// wrapping column would drop below its minimum make the table's type smaller.
std::shared_ptr<const LetterPainter::LaidTable>
LetterPainter::layTable(const LetterTable& design, const std::vector<LetterTableRow>& rows) const {
    constexpr double kMinPoints = 6;
    auto laid = std::make_shared<LaidTable>();
    laid->design = design;
    laid->body = body_;
    laid->bold = bodyBold_;
    laid->head = tableHead_;
    const std::size_t columns = design.titles.size();
    const std::size_t wrapColumn = design.wrapColumn;
    const double room = x(mm::kRight - mm::kLeft);
    std::vector<double> widths(columns);
    for (;;) {
        for (std::size_t c = 0; c < columns; ++c)
            widths[c] = width(design.titles[c], laid->head);
        for (const LetterTableRow& row : rows) {
            const QFont& font = row.bold ? laid->bold : laid->body;
            for (std::size_t c = 0; c < columns && c < row.cells.size(); ++c)
                if (c != wrapColumn)
                    widths[c] = std::max(widths[c], width(isolatedField(row.cells[c]), font));
        }
        double fixed = 0;
        for (std::size_t c = 0; c < columns; ++c) {
            widths[c] = c == wrapColumn ? 0 : widths[c] + 2 * x(mm::kCellPad);
            fixed += widths[c];
        }
        const double rest = room - fixed;
        if (rest >= x(mm::kMinWrapColumn) || laid->body.pointSizeF() <= kMinPoints) {
            widths[wrapColumn] = std::max(rest, 2 * x(mm::kCellPad));
            break;
        }
        const double factor = std::max(0.8, (room - x(mm::kMinWrapColumn)) / fixed);
        for (QFont* font : {&laid->body, &laid->bold, &laid->head})
            font->setPointSizeF(std::max(kMinPoints, font->pointSizeF() * factor));
    }
    laid->edges.assign(1, x(mm::kLeft));
    for (const double w : widths)
        laid->edges.push_back(laid->edges.back() + w);
    return laid;
}

void LetterPainter::addTable(const std::shared_ptr<const LetterTable>& design,
                             const std::vector<LetterTableRow>& rows) {
    for (const LetterTableRow& row : rows)
        for (const QString& cell : row.cells)
            noteText(cell);
    const std::shared_ptr<const LaidTable> table = layTable(*design, rows);
    // The totals under the table line up with its last column when that holds amounts.
    if (table->design.alignments.back() & Qt::AlignRight)
        amountColumn_ = table->edges.back() - table->edges[table->edges.size() - 2];
    flow_.push_back({tableHeaderHeight(*table),
                     [this, table](QPainter& p, double top) { paintTableHeader(p, *table, top); },
                     nullptr, true});
    const double rowLine = line(table->body) * 1.25;
    const std::size_t wrapColumn = table->design.wrapColumn;
    for (const LetterTableRow& row : rows) {
        const QFont& font = row.bold ? table->bold : table->body;
        const QStringList lines =
            wrap(row.cells.at(wrapColumn), font, cellRect(*table, wrapColumn, 0, 0).width());
        const double padTop = x(row.padTopMm);
        const QString number = wrapColumn != 0 ? row.cells.at(0) : QString();
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
                                      table->design.alignments[c]);
                     if (rule) {
                         p.setPen(QPen(kMarks, x(0.15)));
                         const double bottom = y + rowLine + x(0.8);
                         p.drawLine(QPointF(x(mm::kLeft), bottom), QPointF(x(mm::kRight), bottom));
                     }
                 },
                 table,
                 // A short description stays whole on one page.
                 !lastLine && lines.size() <= kWholeDescription, first ? QString() : number});
        }
    }
}

void LetterPainter::addTotals(const std::vector<TotalsLine>& lines, double labelLeftMm) {
    const double rowLine = line(body_) * 1.35;
    const double grossLine = line(grossFont_) * 1.5;
    const auto fontOf = [this](const TotalsLine& total) -> const QFont& {
        return total.kind == TotalsLine::Kind::Grand ? grossFont_
               : total.kind == TotalsLine::Kind::Sum ? bodyBold_
                                                     : body_;
    };
    double h = x(3) + x(6);
    double valueWidth = amountColumn_ - 2 * x(mm::kCellPad);
    double labelWidth = 0;
    for (const TotalsLine& total : lines) {
        noteText(total.label);
        noteText(total.value);
        h += (total.kind == TotalsLine::Kind::Grand ? grossLine : rowLine) +
             (total.kind == TotalsLine::Kind::Plain ? 0 : x(1.5));
        valueWidth = std::max(valueWidth, width(isolatedField(total.value), fontOf(total)));
        labelWidth = std::max(labelWidth, width(isolatedField(total.label), fontOf(total)));
    }
    // The amounts as wide as the widest, right-aligned at the body's edge; the labels move left
    // when the amounts need the room.
    const double valueLeft = x(mm::kRight - mm::kCellPad) - valueWidth;
    const double left =
        std::max(x(mm::kLeft), std::min(x(labelLeftMm), valueLeft - x(4) - labelWidth));
    flow_.push_back({h, [this, lines, left, valueLeft, valueWidth, rowLine, grossLine,
                         fontOf](QPainter& p, double top) {
                         p.setPen(QPen(kInk, x(0.25)));
                         p.drawLine(QPointF(x(mm::kLeft), top + x(1)),
                                    QPointF(x(mm::kRight), top + x(1)));
                         double y = top + x(3);
                         const double rule = x(mm::kRight);
                         for (const TotalsLine& total : lines) {
                             const bool grand = total.kind == TotalsLine::Kind::Grand;
                             const double rowHeight = grand ? grossLine : rowLine;
                             if (total.kind != TotalsLine::Kind::Plain) {
                                 y += x(0.5);
                                 p.setPen(QPen(kInk, x(0.25)));
                                 p.drawLine(QPointF(left, y), QPointF(rule, y));
                                 y += x(1);
                             }
                             drawLine(p, QRectF(left, y, valueLeft - left, rowHeight), total.label,
                                      fontOf(total), kInk);
                             drawLine(p, QRectF(valueLeft, y, valueWidth, rowHeight), total.value,
                                      fontOf(total), kInk, Qt::AlignRight);
                             y += rowHeight;
                             if (grand) {
                                 p.setPen(QPen(kInk, x(0.25)));
                                 p.drawLine(QPointF(left, y), QPointF(rule, y));
                                 p.drawLine(QPointF(left, y + x(0.6)), QPointF(rule, y + x(0.6)));
                             }
                         }
                     }});
}

// [first, end) of the flow items on each page. An item stays with those it is kept with (a table
// header with its first row, the lines of a short description) unless together they would not
// fit a page of their own; a page that goes on inside a table gets its header again.
std::vector<std::pair<int, int>> LetterPainter::paginate() const {
    std::vector<std::pair<int, int>> pages;
    const int count = static_cast<int>(flow_.size());
    int first = 0;
    double y = bodyTop_;
    const double bottom = footerTop_ - x(mm::kBodyAboveFooter);
    for (int i = 0; i < count; ++i) {
        const FlowItem& item = flow_[static_cast<std::size_t>(i)];
        const double followRoom =
            bottom - x(mm::kFollowTop) - (item.table ? tableHeaderHeight(*item.table) : 0);
        double needed = item.height;
        for (int next = i; next + 1 < count && flow_[static_cast<std::size_t>(next)].keepWithNext;
             ++next)
            needed += flow_[static_cast<std::size_t>(next) + 1].height;
        if (needed > followRoom)
            needed = item.height;
        if (i > first && y + needed > bottom) {
            pages.emplace_back(first, i);
            first = i;
            y = x(mm::kFollowTop) + (item.table ? tableHeaderHeight(*item.table) : 0);
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
            parts << trimmedText(*part).simplified();
    return parts.join(QStringLiteral(" · "));
}

void LetterPainter::layOutFrame() {
    const FirmData& f = frame_.firm;
    for (const auto* text :
         {&f.name, &f.contact, &f.street, &f.postcodeTown, &f.phone, &f.email, &f.web, &f.taxId,
          &f.accountHolder, &f.bic, &f.legalForm, &f.registeredSeat, &f.registerCourt,
          &f.registerNumber, &f.managingDirector})
        noteText(toQString(*text));
    for (const QString& part : frame_.recipient)
        noteText(part);
    for (const auto& [label, value] : frame_.info)
        noteText(value);
    layOutLetterhead();
    layOutRecipient();
    layOutInfo();
    layOutFooter();
}

// The letterhead's band: the firm's name and details on the left, the logo in the top right
// corner. They share the width: the logo gives up to half its size for the name to stay on one
// line, a name that must wrap anyway leaves the logo whole unless the name's type would get small,
// and the type shrinks until the band holds name and details.
void LetterPainter::layOutLetterhead() {
    const FirmData& firm = frame_.firm;
    const double textRoom = x(mm::kRight - mm::kLeft);
    const double gap = x(5);
    QSizeF logoSize;
    if (logo_.valid()) {
        // At most 60 × 24 mm, its proportions kept.
        logoSize = logo_.size();
        logoSize.scale(QSizeF(x(60), x(24)), Qt::KeepAspectRatio);
    }
    const QString name = trimmedText(firm.name).simplified();
    QStringList details;
    for (const auto* part : {&firm.contact, &firm.street, &firm.postcodeTown})
        if (!trimmedText(*part).isEmpty())
            details << trimmedText(*part).simplified();
    const auto roomBeside = [&](double scale) {
        return logoSize.isEmpty() ? textRoom : textRoom - logoSize.width() * scale - gap;
    };
    constexpr double kNamePoints = 17;
    const double nameWidth = width(name, letterFont(kNamePoints, true));
    const double band = x(mm::kLetterheadRule - 2 - mm::kLetterheadText);
    detailFont_ = letterFont(8);
    double scale = 1;
    while (scale > 0.5 && nameWidth > roomBeside(scale))
        scale -= 0.05;
    if (nameWidth > roomBeside(scale)) {
        layOutName(name, details, roomBeside(1), nameWidth, band);
        scale = nameFont_.pointSizeF() >= 11 ? 1 : 0.5;
    }
    if (layOutName(name, details, roomBeside(scale), nameWidth, band) && firm.hasLetterhead())
        problems_ << QStringLiteral("Der Firmenname ist zu lang für den Briefkopf und wird dort "
                                    "gekürzt.");
    if (!logoSize.isEmpty()) {
        const QSizeF size = logoSize * scale;
        logoRect_ = QRectF(x(mm::kRight) - size.width(), x(mm::kLetterheadTop), size.width(),
                           size.height());
    }
    if (!firm.hasLetterhead())
        return;
    // The return address in one line, in smaller type if need be; else wrapped into the two
    // lines the space above the address holds. Only beyond that is anything left out.
    constexpr double kReturnPoints = 6.5;
    constexpr double kLeastReturnPoints = 5.5;
    returnFont_ = letterFont(kReturnPoints);
    returnFont_.setUnderline(true);
    const QString text = returnLine();
    const double room = x(mm::kReturnWidth);
    const double oneLine = width(text, returnFont_);
    if (oneLine <= room) {
        returnLines_ = QStringList{text};
    } else if (oneLine * kLeastReturnPoints / kReturnPoints <= room * 0.98) {
        returnFont_.setPointSizeF(kReturnPoints * room / oneLine * 0.98);
        returnLines_ = QStringList{text};
    } else {
        returnLines_ = wrap(text, returnFont_, room);
        if (returnLines_.size() > 2) {
            returnLines_ = returnLines_.mid(0, 2);
            returnLines_.last() =
                elided(returnLines_.last(), QFontMetricsF(returnFont_, &device_), room);
            problems_ << QStringLiteral("Die Absenderzeile über der Anschrift wird gekürzt "
                                        "(Firmenname, Straße und Ort sind zu lang).");
        }
    }
    // Half the follow pages' band beside the page's number, measured once for all pages.
    followName_ = QFontMetricsF(letterFont(8.5, true), &device_)
                      .elidedText(name, Qt::ElideRight, x(mm::kRight - mm::kLeft) / 2);
}

// The name wrapped into `room`, in the largest type from 17 pt down that lets name and details
// fit the band. True when even the smallest type could not hold it and its end was left off.
bool LetterPainter::layOutName(const QString& name, const QStringList& details, double room,
                               double nameWidth, double band) {
    constexpr double kNamePoints = 17;
    constexpr double kLeastPoints = 8;
    details_ = wrap(details.join(QStringLiteral(" · ")), detailFont_, room);
    for (double points = kNamePoints;; points -= 0.5) {
        nameFont_ = letterFont(points, true);
        // Sizes whose lines cannot fit even when filled to the edge are not wrapped at all:
        // wrapping a pasted name of thousands of characters at every size took seconds.
        const double fewestLines = std::ceil(nameWidth * points / kNamePoints / room);
        if (points > kLeastPoints && fewestLines * line(nameFont_) > band)
            continue;
        name_ = wrap(name, nameFont_, room);
        if (letterheadHeight() <= band || points <= kLeastPoints)
            break;
    }
    if (letterheadHeight() <= band)
        return false;
    const double nameRoom = band - x(1) - line(detailFont_) * static_cast<double>(details_.size());
    const auto keep = std::max<qsizetype>(1, static_cast<qsizetype>(nameRoom / line(nameFont_)));
    if (keep >= name_.size())
        return false;
    name_ = name_.mid(0, keep);
    name_.last() = elided(name_.last(), QFontMetricsF(nameFont_, &device_), room);
    return true;
}

double LetterPainter::letterheadHeight() const {
    return line(nameFont_) * static_cast<double>(name_.size()) + x(1) +
           line(detailFont_) * static_cast<double>(details_.size());
}

// The recipient in the envelope's window: as many lines as it holds, in type from 10 pt down to
// 8 pt so that the longest fits its width. What the window cannot hold is named for the user.
void LetterPainter::layOutRecipient() {
    QStringList all;
    for (const QString& part : frame_.recipient)
        if (!part.trimmed().isEmpty())
            all << part.simplified();
    const auto lines = static_cast<qsizetype>(kAddressWindowLines);
    recipient_ = all.mid(0, lines);
    if (all.size() > lines)
        problems_ << QStringLiteral("Die Anschrift hat %1 Zeilen, ins Fenster des "
                                    "Briefumschlags passen %2. Nicht gedruckt wird: %3")
                         .arg(all.size())
                         .arg(lines)
                         .arg(all.mid(lines).join(QStringLiteral(" / ")));
    double widest = 0;
    for (const QString& part : recipient_)
        widest = std::max(widest, width(part, letterFont(10)));
    const double room = x(mm::kAddressWidth);
    addressFont_ = letterFont(widest > room ? std::max(8.0, 10 * room / widest) : 10);
    for (QString& part : recipient_) {
        if (width(part, addressFont_) <= room)
            continue;
        problems_ << QStringLiteral("Die Zeile „%1“ der Anschrift ist zu lang für das Fenster "
                                    "des Briefumschlags und wird gekürzt.")
                         .arg(part);
        part = QFontMetricsF(addressFont_, &device_).elidedText(part, Qt::ElideRight, room);
    }
}

// The information block beside the address: its labels as wide as the widest, its values in the
// rest up to the right margin, smaller (to 6 pt) when that keeps them on one line (an e-mail
// address), wrapped when not. A long block moves the body down.
void LetterPainter::layOutInfo() {
    infoLabel_ = letterFont(8);
    infoValue_ = letterFont(8.5);
    double labelWidth = 0;
    for (const auto& [label, text] : frame_.info)
        labelWidth = std::max(labelWidth, width(label, infoLabel_));
    infoValueLeft_ = x(mm::kInfoLeft) + labelWidth + x(2);
    const double room = x(mm::kRight) - infoValueLeft_;
    const double rowLine = line(infoValue_) * 1.2;
    constexpr qsizetype kMostLines = 12;
    double bottom = x(mm::kInfoTop);
    for (const auto& [label, text] : frame_.info) {
        QFont font = infoValue_;
        const double needed = width(isolatedField(text), font);
        if (needed > room && needed * 6 / font.pointSizeF() <= room)
            font.setPointSizeF(font.pointSizeF() * room / needed * 0.99);
        QStringList value = wrap(text.simplified(), font, room);
        if (value.size() > kMostLines) {
            value = value.mid(0, kMostLines);
            value.last() = elided(value.last(), QFontMetricsF(font, &device_), room);
            problems_ << QStringLiteral("„%1“ ist zu lang für den Kopf des Briefs und wird dort "
                                        "gekürzt.")
                             .arg(label);
        }
        bottom += rowLine * static_cast<double>(value.size());
        info_.append({label, value, font});
    }
    bodyTop_ = std::max(x(mm::kSubjectTop), bottom + x(6));
}

// The footer's four columns, wrapped once for every page. It grows upward as far as its longest
// column needs, up to a limit; the body ends above it.
void LetterPainter::layOutFooter() {
    const FirmData& f = frame_.firm;
    footerTop_ = x(mm::kFooterTop);
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
        f.isCompany()
            ? companyLines(f)
            : join({labelled(QStringLiteral("Inhaber: "), toQString(f.contact)),
                    labelled(QStringLiteral("Steuer-Nr./USt-IdNr.: "), toQString(f.taxId))}),
        join({labelled(QStringLiteral("Kontoinhaber: "), toQString(f.accountHolder)),
              labelled(QStringLiteral("IBAN: "), toQString(groupedIban(f.iban))),
              labelled(QStringLiteral("BIC: "), toQString(f.bic))})};
    const double h = footerLine();
    const auto most = static_cast<qsizetype>(x(mm::kMaxFooter) / h);
    qsizetype lines = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const double room = x(mm::kFooterEdges[c + 1] - mm::kFooterEdges[c] - 2);
        for (const QString& entry : columns[c])
            footer_[c].append(wrap(entry, small_, room));
        if (footer_[c].size() > most) {
            // Only texts of hundreds of characters get here; the user is told.
            footer_[c] = footer_[c].mid(0, most);
            footer_[c].last() = elided(footer_[c].last(), QFontMetricsF(small_, &device_), room);
            problems_ << QStringLiteral("Die Firmendaten sind zu lang für die Fußzeile und "
                                        "werden dort gekürzt.");
        }
        lines = std::max(lines, footer_[c].size());
    }
    footerTop_ = std::min(x(mm::kFooterTop), x(mm::kFooterTop) + h * mm::kFooterLines -
                                                 h * static_cast<double>(lines));
}

double LetterPainter::footerLine() const {
    return line(small_) * 1.1;
}

// Characters that no installed font can draw come out as nothing or an empty box; the user is
// told which. Each distinct character is shaped on its own, with the fonts' fallback.
void LetterPainter::checkGlyphs() {
    std::set<char32_t> seen;
    QStringList missing;
    for (const uint code : shownText_.toUcs4()) {
        const auto character = static_cast<char32_t>(code);
        const auto category = QChar::category(character);
        if (character < 0x300 || category == QChar::Other_Format ||
            category == QChar::Other_Control || QChar::isSpace(character) ||
            !seen.insert(character).second)
            continue;
        const QString text = QString::fromUcs4(&character, 1);
        QTextLayout layout(text, body_, &device_);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun& run : layout.glyphRuns()) {
            if (run.glyphIndexes().contains(0)) {
                missing << text;
                break;
            }
        }
    }
    if (!missing.isEmpty())
        problems_ << QStringLiteral("Diese Zeichen kann keine installierte Schrift darstellen; "
                                    "sie fehlen im Dokument: %1")
                         .arg(missing.mid(0, 10).join(QLatin1Char(' ')));
}

void LetterPainter::paintFirstPageHead(QPainter& painter) {
    if (!logoRect_.isEmpty()) {
        if (logo_.svg)
            logo_.svg->render(&painter, logoRect_);
        else
            painter.drawImage(logoRect_, logo_.image);
    }
    if (frame_.firm.hasLetterhead()) {
        const double room = logoRect_.isEmpty() ? x(mm::kRight - mm::kLeft)
                                                : logoRect_.left() - x(5) - x(mm::kLeft);
        double y = x(mm::kLetterheadText);
        for (const QString& part : name_) {
            drawLine(painter, QRectF(x(mm::kLeft), y, room, line(nameFont_)), part, nameFont_,
                     kAccent);
            y += line(nameFont_);
        }
        y += x(1);
        for (const QString& part : details_) {
            drawLine(painter, QRectF(x(mm::kLeft), y, room, line(detailFont_)), part, detailFont_,
                     kMuted);
            y += line(detailFont_);
        }
        painter.setPen(QPen(kAccent, x(0.5)));
        painter.drawLine(QPointF(x(mm::kLeft), x(mm::kLetterheadRule)),
                         QPointF(x(mm::kRight), x(mm::kLetterheadRule)));
        // The return address above the recipient, small and underlined, as window envelopes
        // show it.
        double returnTop = x(mm::kReturnLine);
        for (const QString& part : returnLines_) {
            drawLine(painter,
                     QRectF(x(mm::kLeft), returnTop, x(mm::kReturnWidth), line(returnFont_)), part,
                     returnFont_, kMuted);
            returnTop += line(returnFont_);
        }
    }
    double y = x(mm::kAddressTop);
    for (const QString& part : recipient_) {
        drawLine(painter, QRectF(x(mm::kLeft), y, x(mm::kAddressWidth), line(addressFont_)), part,
                 addressFont_, kInk);
        y += line(addressFont_);
    }
    const double rowLine = line(infoValue_) * 1.2;
    y = x(mm::kInfoTop);
    for (const InfoRow& row : info_) {
        drawLine(painter, QRectF(x(mm::kInfoLeft), y, infoValueLeft_ - x(mm::kInfoLeft), rowLine),
                 row.label, infoLabel_, kMuted);
        for (const QString& part : row.value) {
            drawLine(painter, QRectF(infoValueLeft_, y, x(mm::kRight) - infoValueLeft_, rowLine),
                     part, row.font, kInk);
            y += rowLine;
        }
    }
}

void LetterPainter::paintFollowHead(QPainter& painter, int page) {
    const QFont head = letterFont(8.5, true);
    const QRectF band(x(mm::kLeft), x(14), x(mm::kRight - mm::kLeft), line(head));
    if (frame_.firm.hasLetterhead())
        drawLine(painter, band, followName_, head, kAccent);
    drawLine(painter, band, QStringLiteral("%1 – Seite %2").arg(frame_.followTitle).arg(page),
             letterFont(8), kMuted, Qt::AlignRight);
    painter.setPen(QPen(kAccent, x(0.3)));
    painter.drawLine(QPointF(x(mm::kLeft), x(20)), QPointF(x(mm::kRight), x(20)));
}

void LetterPainter::paintFooter(QPainter& painter) {
    if (!frame_.firm.hasLetterhead())
        return;
    painter.setPen(QPen(kMarks, x(0.2)));
    painter.drawLine(QPointF(x(mm::kLeft), footerTop_ - x(2)),
                     QPointF(x(mm::kRight), footerTop_ - x(2)));
    const double h = footerLine();
    for (std::size_t c = 0; c < footer_.size(); ++c) {
        double y = footerTop_;
        const double room = x(mm::kFooterEdges[c + 1] - mm::kFooterEdges[c] - 2);
        for (const QString& part : footer_[c]) {
            drawLine(painter, QRectF(x(mm::kFooterEdges[c]), y, room, h), part, small_, kMuted);
            y += h;
        }
    }
}

} // namespace pyrelto
