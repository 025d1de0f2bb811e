#include "printout.h"

#include "field_catalogue.h"
#include "field_text_isolation.h"
#include "qt_text.h"
#include "sheet.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>

namespace pyrelto {

namespace {

// The printout keeps the sheet's columns; units take the currency's place.
static_assert(PrintColumns::cols == kColumnCount);
constexpr int kUnitColumn = kCurrencyColumn;

const QColor kInk(0, 0, 0);
const QColor kCaptionInk(85, 85, 85);

// A field's text on paper: on one line, and unable to reorder the rest of the line.
QString printed(std::u16string_view text, bool trimmed = false) {
    if (!trimmed)
        return toQString(isolatedFieldText(text));
    return toQString(isolatedFieldText(toQString(text).trimmed().toStdU16String())).trimmed();
}

// Paper coordinates are device pixels; sizes below are given in millimetres.
struct Scale {
    double dotsPerMm;
    double operator()(double mm) const { return mm * dotsPerMm; }
};

struct LineStyle {
    QFont font;
    double height;
};

} // namespace

PrintError::PrintError(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

void PrintColumns::addLine(PrintLine kind, const std::array<QString, cols>& cells) {
    lines.push_back(kind);
    for (int c = 0; c < cols; ++c)
        str[static_cast<std::size_t>(c)].append(cells[static_cast<std::size_t>(c)]);
}

PrintColumns layoutSheet(const Sheet& sheet) {
    using Cells = std::array<QString, PrintColumns::cols>;
    PrintColumns table;
    const QString currency = printed(sheet.shownText(FieldId::Waehr15Ed), true);
    const QString perSquareMetre =
        currency.isEmpty() ? QStringLiteral("m²") : currency + QStringLiteral("/m²");

    std::optional<int> lastGroup;
    Cells lastCaptions;
    for (const RowInfo& row : rowCatalogue()) {
        if (row.id == RowId::Panel1 || row.id == RowId::Panel17 || row.id == RowId::Panel16)
            continue;
        if (!sheet.shown(row.id))
            continue;
        std::vector<const FieldInfo*> fields;
        for (const FieldInfo& field : fieldCatalogue())
            if (field.row == row.id)
                fields.push_back(&field);
        const bool single = fields.size() == 1;
        // Rows of one count group share their captions; the single-value rows below the layers
        // (total, roof area) form one group.
        const int group = row.governedBy ? static_cast<int>(*row.governedBy)
                          : single       ? -1
                                         : 1000 + static_cast<int>(row.id);
        const bool newGroup = lastGroup != group;
        if (newGroup && lastGroup)
            table.addLine(PrintLine::Gap, {});
        lastGroup = group;

        Cells captions;
        Cells values;
        for (const FieldInfo* field : fields) {
            const std::optional<int> column = sheetColumn(*field);
            if (!column)
                continue;
            captions[static_cast<std::size_t>(*column)] = toQString(field->caption);
            values[static_cast<std::size_t>(*column)] = printed(sheet.shownText(field->id));
            if (field->id == FieldId::Dach14Ed)
                values[kUnitColumn] = QStringLiteral("m²");
            else if (field->unitAfter || field->id == FieldId::Summe13Ed)
                values[kUnitColumn] = perSquareMetre;
        }
        if (single) {
            values[0] = toQString(fields.front()->caption);
            table.addLine(fields.front()->id == FieldId::Summe13Ed ? PrintLine::Total
                                                                   : PrintLine::Values,
                          values);
            continue;
        }
        if (newGroup || captions != lastCaptions)
            table.addLine(PrintLine::Captions, captions);
        lastCaptions = captions;
        table.addLine(PrintLine::Values, values);
    }

    // The end sums, one per line under a rule, the gross sum last and largest.
    table.addLine(PrintLine::Gap, {});
    table.addLine(PrintLine::Rule, {});
    const auto endSum = [&](PrintLine kind, FieldId id, const QString& unit) {
        Cells cells;
        cells[0] = toQString(fieldInfo(id).caption);
        cells[kSumColumn] = printed(sheet.shownText(id));
        cells[kUnitColumn] = unit;
        table.addLine(kind, cells);
    };
    endSum(PrintLine::Total, FieldId::Summe15Ed, currency);
    endSum(PrintLine::Values, FieldId::MwStEd, QString());
    endSum(PrintLine::GrandTotal, FieldId::BruttoEd, currency);
    return table;
}

QFont headingFont() {
    QFont font(QStringLiteral("Tahoma"), 12, QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont bodyFont() {
    QFont font(QStringLiteral("Tahoma"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

namespace {

class PagePainter {
public:
    PagePainter(QPagedPaintDevice& printer, PrintColumns& table, const Sheet& sheet,
                const QDate& date)
        : printer_(printer), table_(table), scale_{printer.logicalDpiX() / 25.4},
          customer_(printed(sheet.shownText(FieldId::KundeEd), true)),
          customerCaption_(toQString(fieldInfo(FieldId::KundeEd).caption)),
          date_(date.toString(QStringLiteral("dd.MM.yyyy"))) {
        const QRectF paintRect = printer.pageLayout().paintRectPixels(printer.logicalDpiX());
        const QMarginsF margins = printer.pageLayout().marginsPixels(printer.logicalDpiX());
        // At least 15 mm of paper around the text, whatever the printer's own margins are.
        const double want = scale_(15);
        const double left = std::max(0.0, want - margins.left());
        const double top = std::max(0.0, want - margins.top());
        const double right = std::max(0.0, want - margins.right());
        const double bottom = std::max(0.0, want - margins.bottom());
        area_ =
            QRectF(left, top, paintRect.width() - left - right, paintRect.height() - top - bottom);
        heading_ = headingFont();
        body_ = bodyFont();
        bold_ = body_;
        bold_.setBold(true);
        bodyLine_ = QFontMetricsF(body_, &printer).lineSpacing();
        headingLine_ = QFontMetricsF(heading_, &printer).lineSpacing();
        gap_ = scale_(2.5);
    }

    void fitColumns() {
        // Each column would like room for its widest text and needs room for its widest value;
        // captions can be cut more easily than numbers.
        std::array<double, PrintColumns::cols> widths{};
        std::array<double, PrintColumns::cols> needed{};
        for (int line = 0; line < table_.lineCount(); ++line) {
            const PrintLine kind = table_.lines[static_cast<std::size_t>(line)];
            const QFontMetricsF metrics(style(kind).font, &printer_);
            for (std::size_t c = 0; c < widths.size(); ++c) {
                const double width = metrics.horizontalAdvance(table_.str[c].at(line));
                widths[c] = std::max(widths[c], width);
                if (kind != PrintLine::Captions)
                    needed[c] = std::max(needed[c], width);
            }
        }
        double others = 0;
        double othersNeeded = 0;
        for (std::size_t c = 1; c < widths.size(); ++c) {
            widths[c] = std::ceil(widths[c] + gap_);
            needed[c] = std::ceil(needed[c] + gap_);
            others += widths[c];
            othersNeeded += needed[c];
        }
        // The description column takes what the others leave. When the paper is too narrow,
        // the captions give up their extra room first, and then every column shrinks alike.
        const double minimumFirst = scale_(25);
        const double room = area_.width() - minimumFirst;
        if (others > room && others > othersNeeded) {
            const double keep =
                std::clamp((room - othersNeeded) / (others - othersNeeded), 0.0, 1.0);
            others = 0;
            for (std::size_t c = 1; c < widths.size(); ++c) {
                widths[c] = needed[c] + (widths[c] - needed[c]) * keep;
                others += widths[c];
            }
        }
        widths[0] = std::max(area_.width() - others, minimumFirst);
        const double total = widths[0] + others;
        const double shrink = total > area_.width() ? area_.width() / total : 1.0;
        double x = area_.left();
        for (std::size_t c = 0; c < widths.size(); ++c) {
            table_.colp[c] = static_cast<int>(std::lround(x));
            x += widths[c] * shrink;
        }
        table_.colp[PrintColumns::cols] = static_cast<int>(std::lround(x));
        for (std::size_t c = 0; c < widths.size(); ++c)
            table_.colw[c] = table_.colp[c + 1] - table_.colp[c];
    }

    // The lines of each page, as [first, end) ranges. A caption line, a gap and the end-sum block
    // stay with what follows them; a page does not begin with empty space, and a group of rows
    // that goes on over a page break gets its caption line again.
    std::vector<std::pair<int, int>> paginate() const {
        const double room = area_.bottom() - footerReserve() - bodyTop();
        std::vector<std::pair<int, int>> pages;
        const int count = table_.lineCount();
        int first = 0;
        double used = 0;
        const auto breakBefore = [&](int line) {
            pages.emplace_back(first, line);
            first = line;
            const int caption = captionFor(line);
            used = caption >= 0 ? height(caption) : 0;
        };
        int line = 0;
        while (line < count) {
            int last = line;
            double chain = height(line);
            while (keepsWithNext(last) && last + 1 < count) {
                ++last;
                chain += height(last);
            }
            if (line > first && used + chain > room) {
                while (line < count && isSpace(line))
                    ++line;
                breakBefore(line);
                continue;
            }
            for (; line <= last; ++line) {
                if (line > first && used + height(line) > room)
                    breakBefore(line);
                used += height(line);
            }
        }
        if (first < count || pages.empty())
            pages.emplace_back(first, count);
        return pages;
    }

    void paint(QPainter& painter, const std::vector<std::pair<int, int>>& pages) {
        for (std::size_t page = 0; page < pages.size(); ++page) {
            if (page > 0 && !printer_.newPage())
                throw PrintError(QStringLiteral("Der Drucker hat keine neue Seite angenommen."));
            paintHeading(painter);
            double y = bodyTop();
            if (const int caption = captionFor(pages[page].first); caption >= 0) {
                paintLine(painter, caption, y);
                y += height(caption);
            }
            for (int line = pages[page].first; line < pages[page].second; ++line) {
                paintLine(painter, line, y);
                y += height(line);
            }
            if (pages.size() > 1)
                paintFooter(painter, static_cast<int>(page) + 1, static_cast<int>(pages.size()));
        }
    }

private:
    LineStyle style(PrintLine kind) const {
        switch (kind) {
        case PrintLine::Captions:
            return {body_, bodyLine_ * 1.1};
        case PrintLine::Values:
            return {body_, bodyLine_ * 1.3};
        case PrintLine::Total:
            return {bold_, bodyLine_ * 1.5};
        case PrintLine::GrandTotal:
            return {heading_, headingLine_ * 1.3};
        case PrintLine::Gap:
        case PrintLine::Rule:
            return {body_, bodyLine_ * 0.8};
        }
        return {body_, bodyLine_};
    }
    double height(int line) const {
        return style(table_.lines[static_cast<std::size_t>(line)]).height;
    }
    bool keepsWithNext(int line) const {
        const PrintLine kind = table_.lines[static_cast<std::size_t>(line)];
        return kind == PrintLine::Captions || kind == PrintLine::Gap || kind == PrintLine::Rule ||
               (kind == PrintLine::Total && line + 1 < table_.lineCount() &&
                table_.lines[static_cast<std::size_t>(line) + 1] != PrintLine::Gap) ||
               (kind == PrintLine::Values && line + 1 < table_.lineCount() &&
                table_.lines[static_cast<std::size_t>(line) + 1] == PrintLine::GrandTotal);
    }
    // The caption line above a row line of the same group, or -1.
    int captionFor(int line) const {
        if (line >= table_.lineCount() ||
            table_.lines[static_cast<std::size_t>(line)] != PrintLine::Values)
            return -1;
        for (int before = line - 1; before >= 0; --before) {
            const PrintLine kind = table_.lines[static_cast<std::size_t>(before)];
            if (kind == PrintLine::Captions)
                return before;
            if (kind != PrintLine::Values)
                return -1;
        }
        return -1;
    }
    bool isSpace(int line) const {
        const PrintLine kind = table_.lines[static_cast<std::size_t>(line)];
        return kind == PrintLine::Gap;
    }
    double headingHeight() const { return headingLine_ * 1.2 + bodyLine_ * 1.4 + scale_(5); }
    double bodyTop() const { return area_.top() + headingHeight(); }
    double footerReserve() const { return bodyLine_ * 2.5; }

    void paintHeading(QPainter& painter) {
        painter.setPen(kInk);
        painter.setFont(heading_);
        const double left = table_.colp[0];
        const double right = table_.colp[PrintColumns::cols];
        double y = area_.top();
        painter.drawText(QRectF(left, y, right - left, headingLine_),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Pyrelto Kalkulation"));
        y += headingLine_ * 1.2;
        painter.setFont(body_);
        const QRectF line(left, y, right - left, bodyLine_);
        const QString customer = customerCaption_ + QLatin1Char(' ') + customer_;
        const QString date = QStringLiteral("Datum: ") + date_;
        const double dateWidth = QFontMetricsF(body_, &printer_).horizontalAdvance(date);
        painter.drawText(line.adjusted(0, 0, -(dateWidth + gap_ * 2), 0),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         elided(customer, body_, line.width() - dateWidth - gap_ * 2));
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, date);
        y += bodyLine_ * 1.4 + scale_(2);
        painter.setPen(QPen(kInk, scale_(0.4)));
        painter.drawLine(QPointF(left, y), QPointF(right, y));
    }

    void paintLine(QPainter& painter, int line, double y) {
        const PrintLine kind = table_.lines[static_cast<std::size_t>(line)];
        const LineStyle lineStyle = style(kind);
        if (kind == PrintLine::Gap)
            return;
        if (kind == PrintLine::Rule) {
            painter.setPen(QPen(kInk, scale_(0.3)));
            const double middle = y + lineStyle.height / 2;
            painter.drawLine(QPointF(table_.colp[0], middle),
                             QPointF(table_.colp[PrintColumns::cols], middle));
            return;
        }
        painter.setFont(lineStyle.font);
        painter.setPen(kind == PrintLine::Captions ? kCaptionInk : kInk);
        const auto filled = [&](std::size_t c) { return !table_.str[c].at(line).isEmpty(); };
        for (std::size_t c = 0; c < PrintColumns::cols; ++c) {
            const QString& text = table_.str[c].at(line);
            if (text.isEmpty())
                continue;
            // A text may run into empty neighbouring columns on the side it grows towards, as
            // in a spreadsheet, before it is cut.
            double left = table_.colp[c];
            double right = table_.colp[c + 1];
            Qt::Alignment align = Qt::AlignRight;
            if (c == 0 || c == kUnitColumn) {
                std::size_t end = c + 1;
                while (end < PrintColumns::cols && !filled(end))
                    ++end;
                right = table_.colp[end] - (end < PrintColumns::cols ? gap_ : 0);
                left += c == kUnitColumn ? gap_ * 0.4 : 0;
                align = Qt::AlignLeft;
            } else {
                std::size_t begin = c;
                while (begin > 0 && !filled(begin - 1))
                    --begin;
                left = table_.colp[begin] + gap_;
            }
            const QRectF cell(left, y, std::max(0.0, right - left), lineStyle.height);
            painter.drawText(cell, align | Qt::AlignBottom,
                             elided(text, lineStyle.font, cell.width()));
        }
    }

    void paintFooter(QPainter& painter, int page, int pages) {
        painter.setFont(body_);
        painter.setPen(kInk);
        const QRectF footer(table_.colp[0], area_.bottom() - bodyLine_,
                            table_.colp[PrintColumns::cols] - table_.colp[0], bodyLine_);
        painter.drawText(footer, Qt::AlignHCenter | Qt::AlignBottom,
                         QStringLiteral("Seite %1 von %2").arg(page).arg(pages));
    }

    QString elided(const QString& text, const QFont& font, double width) const {
        return QFontMetricsF(font, &printer_).elidedText(text, Qt::ElideRight, width);
    }

    QPagedPaintDevice& printer_;
    PrintColumns& table_;
    Scale scale_;
    QString customer_;
    QString customerCaption_;
    QString date_;
    QRectF area_;
    QFont heading_;
    QFont body_;
    QFont bold_;
    double bodyLine_ = 0;
    double headingLine_ = 0;
    double gap_ = 0;
};

} // namespace

int paintSheet(const Sheet& sheet, QPagedPaintDevice& device, const QDate& date) {
    // The working data of the run lives only as long as this call, also when it fails.
    PrintColumns table = layoutSheet(sheet);
    QPainter painter;
    if (!painter.begin(&device))
        throw PrintError(QStringLiteral("Der Drucker konnte nicht gestartet werden."));
    PagePainter pages(device, table, sheet, date);
    pages.fitColumns();
    const auto layout = pages.paginate();
    pages.paint(painter, layout);
    if (!painter.end())
        throw PrintError(QStringLiteral("Der Druck konnte nicht abgeschlossen werden."));
    return static_cast<int>(layout.size());
}

} // namespace pyrelto
