#include "offer_print.h"

#include "field_text_isolation.h"
#include "pdf_file.h"
#include "printout.h"
#include "qt_text.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

namespace pyrelto {

QString isolatedField(const QString& text) {
    const std::u16string isolated = isolatedFieldText(text.trimmed().toStdU16String());
    return QString::fromStdU16String(isolated).trimmed();
}

namespace {

const QColor kInk(30, 30, 30);
const QColor kMuted(100, 100, 100);
const QColor kAccent(31, 64, 104);
const QColor kHeaderFill(232, 236, 241);
const QColor kMarks(150, 150, 150);

QFont offerFont(double points, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    // No ligatures: the PDF's text layer took "fl" as one glyph, and a search for "Dachfläche" in
    // the document found nothing. Scripts that need shaping (Arabic, Indic) still get it.
    font.setStyleHint(QFont::SansSerif, QFont::PreferNoShaping);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Positions on the paper in millimetres from its top left corner (DIN 5008, form B).
namespace mm {
constexpr double kPageWidth = 210;
constexpr double kPageHeight = 297;
constexpr double kLeft = 25;
constexpr double kRight = 190;
constexpr double kReturnLine = 50;
constexpr double kAddressTop = 62.7;
constexpr double kInfoLeft = 125;
constexpr double kInfoTop = 50;
constexpr double kSubjectTop = 98.46;
constexpr double kFollowTop = 30;
// The footer's top for up to four lines; a longer footer grows upward from the same bottom, and
// the body and the page number keep their distance above it.
constexpr double kFooterTop = 268;
constexpr double kFooterLines = 4;
constexpr double kMaxFooter = 80;
constexpr double kBodyAboveFooter = 10;
constexpr double kPageNumberAboveFooter = 7;
// Space on each side of a table cell's text.
constexpr double kCellPad = 1.2;
// The description keeps at least this much of the table's width.
constexpr double kMinDescription = 45;
} // namespace mm

// A piece of the letter body that the pages are filled with, top to bottom.
struct FlowItem {
    double height = 0; // device pixels
    std::function<void(QPainter&, double top)> paint;
    bool tableRow = false;
    bool keepWithNext = false;
    // The number of the position whose description this line goes on with; shown again when the
    // line opens a page, so that the reader knows what it belongs to.
    QString continues = {};
};

class OfferPainter {
public:
    OfferPainter(const OfferDocument& offer, QPagedPaintDevice& device)
        : offer_(offer), device_(device), dpmm_(device.logicalDpiY() / 25.4) {
        logo_ = loadLogo(toQString(offer.firm.logoPath));
    }

    // What the layout cannot show in full, in German for the user.
    QStringList layoutProblems() {
        buildFlow();
        checkGlyphs();
        return problems_;
    }

    int paint() {
        buildFlow();
        const auto pages = paginate();
        QPainter painter;
        if (!painter.begin(&device_))
            throw PrintError(QStringLiteral("Das Angebot konnte nicht erstellt werden."));
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
            if (page > 0 && first < last && flow_[static_cast<std::size_t>(first)].tableRow) {
                paintTableHeader(painter, y);
                y += tableHeaderHeight();
            }
            if (page > 0 && first < last &&
                !flow_[static_cast<std::size_t>(first)].continues.isEmpty())
                drawLine(painter, cellRect(0, y, line(tableBody_) * 1.25),
                         flow_[static_cast<std::size_t>(first)].continues, tableBody_, kMuted);
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
        if (!painter.end())
            throw PrintError(QStringLiteral("Das Angebot konnte nicht abgeschlossen werden."));
        return static_cast<int>(pages.size());
    }

private:
    double x(double millimetres) const { return millimetres * dpmm_; }
    double line(const QFont& font) const { return QFontMetricsF(font, &device_).lineSpacing(); }
    double width(const QString& text, const QFont& font) const {
        return QFontMetricsF(font, &device_).horizontalAdvance(text);
    }

    struct Logo {
        QImage image;
        std::shared_ptr<QSvgRenderer> svg;
        QSizeF size() const { return svg ? QSizeF(svg->defaultSize()) : QSizeF(image.size()); }
        bool valid() const { return svg || !image.isNull(); }
    };
    static Logo loadLogo(const QString& path) {
        Logo logo;
        if (path.isEmpty())
            return logo;
        if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
            auto svg = std::make_shared<QSvgRenderer>(path);
            if (svg->isValid() && !svg->defaultSize().isEmpty())
                logo.svg = std::move(svg);
        } else {
            // Read at most 2,400 pixels wide or high (over 1,000 dpi at the logo's 60 mm): a
            // stored picture of 7,000 × 7,000 pixels read whole went beyond the reader's memory
            // limit and the offer came out without it.
            QImageReader reader(path);
            const QSize size = reader.size();
            if (size.isValid() && (size.width() > 2400 || size.height() > 2400))
                reader.setScaledSize(size.scaled(2400, 2400, Qt::KeepAspectRatio));
            logo.image = reader.read();
        }
        return logo;
    }

    // A word wider than the line in pieces that fit. QTextLayout shapes the word once and breaks
    // it between graphemes; measuring every shorter prefix again took cubic time, and measuring
    // each character on its own still held the program for seconds on a pasted 100,000-character
    // word.
    QStringList cutWord(const QString& word, const QFont& font, double room) const {
        QStringList pieces;
        QTextLayout layout(word, font, &device_);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAnywhere);
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
    QStringList wrap(const QString& text, const QFont& font, double room) const {
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
                const QString candidate =
                    current.isEmpty() ? word : current + QLatin1Char(' ') + word;
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

    void drawLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                  const QColor& colour, Qt::Alignment align = Qt::AlignLeft) {
        if (text.isEmpty())
            return;
        painter.setFont(font);
        painter.setPen(colour);
        // The layout measures every text into its place; should one still not fit, a whole
        // glyph beyond the box is better than a cut one ("1.234,56" printed as "l.234,56").
        painter.drawText(rect, align | Qt::AlignVCenter | Qt::TextDontClip, isolatedField(text));
    }

    void addParagraphs(const QString& text, const QFont& font, double spacingAfter,
                       const QColor& colour = kInk) {
        const QStringList lines = wrap(text, font, x(mm::kRight - mm::kLeft));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString& lineText = lines.at(i);
            const double h = line(font) * 1.15 + (i + 1 == lines.size() ? spacingAfter : 0);
            flow_.push_back({h, [this, lineText, font, colour](QPainter& p, double top) {
                                 drawLine(p,
                                          QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft),
                                                 line(font) * 1.15),
                                          lineText, font, colour);
                             }});
        }
    }

    double tableHeaderHeight() const { return line(tableHead_) * 1.7; }

    static const std::array<QString, 6>& tableTitles() {
        static const std::array<QString, 6> titles{
            QStringLiteral("Pos."),        QStringLiteral("Beschreibung"),
            QStringLiteral("Menge"),       QStringLiteral("Einheit"),
            QStringLiteral("Einzelpreis"), QStringLiteral("Gesamtpreis")};
        return titles;
    }

    void paintTableHeader(QPainter& painter, double top) {
        const double h = tableHeaderHeight();
        painter.fillRect(QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), h), kHeaderFill);
        painter.setFont(tableHead_);
        painter.setPen(kAccent);
        for (std::size_t c = 0; c < tableTitles().size(); ++c) {
            const QRectF cell = cellRect(c, top, h);
            painter.drawText(cell, alignment(c) | Qt::AlignVCenter | Qt::TextDontClip,
                             tableTitles()[c]);
        }
    }

    static Qt::Alignment alignment(std::size_t column) {
        return column == 2 || column >= 4 ? Qt::AlignRight : Qt::AlignLeft;
    }
    QRectF cellRect(std::size_t column, double top, double h) const {
        const double pad = x(mm::kCellPad);
        return QRectF(columns_[column] + pad, top,
                      columns_[column + 1] - columns_[column] - 2 * pad, h);
    }

    // The table's columns from the widest text each one holds in this document, the description
    // taking the rest: a fixed grid cut the first digits off large amounts on paper. Amounts so
    // wide that the description would drop below its minimum make the table's type smaller.
    void layoutColumns() {
        constexpr double kMinPoints = 6;
        const double room = x(mm::kRight - mm::kLeft);
        std::array<double, 6> widths{};
        for (;;) {
            for (std::size_t c = 0; c < widths.size(); ++c)
                widths[c] = width(tableTitles()[c], tableHead_);
            for (const OfferPosition& position : offer_.positions) {
                const QFont& font = position.total.empty() ? tableBody_ : tableBold_;
                const std::array<const std::u16string*, 6> cells{
                    &position.number,    nullptr,        &position.quantity, &position.unit,
                    &position.unitPrice, &position.total};
                for (std::size_t c = 0; c < cells.size(); ++c)
                    if (cells[c] != nullptr)
                        widths[c] =
                            std::max(widths[c], width(isolatedField(toQString(*cells[c])), font));
            }
            widths[1] = 0;
            double fixed = 0;
            for (double& w : widths) {
                if (w > 0)
                    w += 2 * x(mm::kCellPad);
                fixed += w;
            }
            const double description = room - fixed;
            if (description >= x(mm::kMinDescription) || tableBody_.pointSizeF() <= kMinPoints) {
                widths[1] = std::max(description, 2 * x(mm::kCellPad));
                break;
            }
            const double factor = std::max(0.8, (room - x(mm::kMinDescription)) / fixed);
            for (QFont* font : {&tableBody_, &tableBold_, &tableHead_})
                font->setPointSizeF(std::max(kMinPoints, font->pointSizeF() * factor));
        }
        columns_[0] = x(mm::kLeft);
        for (std::size_t c = 0; c < widths.size(); ++c)
            columns_[c + 1] = columns_[c] + widths[c];
    }

    void addPositions() {
        const double h = tableHeaderHeight();
        flow_.push_back(
            {h, [this](QPainter& p, double top) { paintTableHeader(p, top); }, false, true});
        const double rowLine = line(tableBody_) * 1.25;
        for (std::size_t i = 0; i < offer_.positions.size(); ++i) {
            const OfferPosition& position = offer_.positions[i];
            const bool charged = !position.total.empty();
            const QFont& font = charged ? tableBold_ : tableBody_;
            const QRectF descriptionCell = cellRect(1, 0, 0);
            const QStringList lines =
                wrap(toQString(position.description), font, descriptionCell.width());
            const double padTop = x(charged ? 1.6 : 0.6);
            for (qsizetype l = 0; l < lines.size(); ++l) {
                const bool first = l == 0;
                const bool lastLine = l + 1 == lines.size();
                const double rowHeight = rowLine + (first ? padTop : 0) + (lastLine ? x(0.8) : 0);
                const QString& text = lines.at(l);
                // The position by reference: a copy per line of a long description made its
                // text be copied as often as it has lines.
                flow_.push_back(
                    {rowHeight,
                     [this, &position, text, first, padTop, rowLine, &font,
                      rule = lastLine && i + 1 < offer_.positions.size() &&
                             !offer_.positions[i + 1].total.empty()](QPainter& p, double top) {
                         const double y = top + (first ? padTop : 0);
                         drawLine(p, cellRect(1, y, rowLine), text, font, kInk);
                         if (first) {
                             const std::array<QString, 6> cells{
                                 toQString(position.number),    QString(),
                                 toQString(position.quantity),  toQString(position.unit),
                                 toQString(position.unitPrice), toQString(position.total)};
                             for (std::size_t c : {0u, 2u, 3u, 4u, 5u})
                                 drawLine(p, cellRect(c, y, rowLine), cells[c], font, kInk,
                                          alignment(c));
                         }
                         if (rule) {
                             p.setPen(QPen(kMarks, x(0.15)));
                             const double bottom = y + rowLine + x(0.8);
                             p.drawLine(QPointF(x(mm::kLeft), bottom),
                                        QPointF(x(mm::kRight), bottom));
                         }
                     },
                     true,
                     // A short description stays whole on one page.
                     !lastLine && lines.size() <= kWholeDescription,
                     first ? QString() : toQString(position.number)});
            }
        }
    }
    static constexpr qsizetype kWholeDescription = 6;

    // Labels and amounts of the totals, the amounts as wide as the widest of them (and no
    // narrower than the table's last column, so that they line up with it).
    void addTotals() {
        const double rowLine = line(body_) * 1.35;
        const double grossLine = line(grossFont_) * 1.5;
        const double h = x(3) + rowLine * 2 + x(1.5) + grossLine + x(6);
        const double pad = x(mm::kCellPad);
        const QString net = toQString(offer_.net);
        const QString vat = toQString(offer_.vat);
        const QString gross = toQString(offer_.gross);
        const QString vatLabel = toQString(offer_.vatLabel);
        const double valueWidth = std::max(
            {width(isolatedField(net), body_), width(isolatedField(vat), body_),
             width(isolatedField(gross), grossFont_), columns_[6] - columns_[5] - 2 * pad});
        const double valueLeft = x(mm::kRight) - pad - valueWidth;
        const double labelWidth =
            std::max({width(QStringLiteral("Nettobetrag"), body_), width(vatLabel, body_),
                      width(QStringLiteral("Gesamtbetrag"), grossFont_)});
        const double labelLeft =
            std::max(x(mm::kLeft), std::min(x(110), valueLeft - x(4) - labelWidth));
        flow_.push_back(
            {h, [=, this](QPainter& p, double top) {
                 p.setPen(QPen(kInk, x(0.25)));
                 p.drawLine(QPointF(x(mm::kLeft), top + x(1)), QPointF(x(mm::kRight), top + x(1)));
                 double y = top + x(3);
                 const auto row = [&](const QString& label, const QString& value, const QFont& font,
                                      double h) {
                     drawLine(p, QRectF(labelLeft, y, valueLeft - labelLeft, h), label, font, kInk);
                     drawLine(p, QRectF(valueLeft, y, valueWidth, h), value, font, kInk,
                              Qt::AlignRight);
                     y += h;
                 };
                 row(QStringLiteral("Nettobetrag"), net, body_, rowLine);
                 row(vatLabel, vat, body_, rowLine);
                 y += x(0.5);
                 p.setPen(QPen(kInk, x(0.25)));
                 p.drawLine(QPointF(labelLeft, y), QPointF(x(mm::kRight), y));
                 y += x(1);
                 row(QStringLiteral("Gesamtbetrag"), gross, grossFont_, grossLine);
                 p.setPen(QPen(kInk, x(0.25)));
                 p.drawLine(QPointF(labelLeft, y), QPointF(x(mm::kRight), y));
                 p.drawLine(QPointF(labelLeft, y + x(0.6)), QPointF(x(mm::kRight), y + x(0.6)));
             }});
    }

    void buildFlow() {
        body_ = offerFont(9.5);
        bodyBold_ = offerFont(9.5, true);
        small_ = offerFont(7);
        tableHead_ = offerFont(8.5, true);
        tableBody_ = body_;
        tableBold_ = bodyBold_;
        grossFont_ = offerFont(10.5, true);
        const QFont subject = offerFont(12, true);
        const OfferChoices& c = offer_.choices;

        const QString subjectText = toQString(c.subject).trimmed().isEmpty()
                                        ? toQString(OfferChoices::defaultSubject())
                                        : toQString(c.subject).trimmed();
        // The number stands in the information block; once is enough.
        addParagraphs(subjectText, subject, x(5), kAccent);
        if (!toQString(c.introduction).trimmed().isEmpty())
            addParagraphs(toQString(c.introduction).trimmed(), body_, x(4));
        layoutLetterhead();
        layoutInfo();
        layoutRecipient();
        layoutColumns();
        addPositions();
        addTotals();
        QString terms = QStringLiteral("Dieses Angebot ist gültig bis zum %1.")
                            .arg(toQString(germanDate(c.validUntil)));
        const QString payment = toQString(offer_.firm.paymentTerms).trimmed().isEmpty()
                                    ? toQString(FirmData::defaultPaymentTerms())
                                    : toQString(offer_.firm.paymentTerms).trimmed();
        terms += QLatin1Char(' ') + payment;
        addParagraphs(terms, body_, x(4));
        const QString closing = toQString(offer_.firm.closingText).trimmed().isEmpty()
                                    ? toQString(FirmData::defaultClosingText())
                                    : toQString(offer_.firm.closingText).trimmed();
        addParagraphs(closing, body_, x(3));
        QStringList signature;
        if (!toQString(offer_.firm.contact).trimmed().isEmpty())
            signature << toQString(offer_.firm.contact).trimmed();
        if (!toQString(offer_.firm.name).trimmed().isEmpty())
            signature << toQString(offer_.firm.name).trimmed();
        if (!signature.isEmpty())
            addParagraphs(signature.join(QLatin1Char('\n')), body_, 0);
        buildFooter();
        // Half the band beside the page's number, measured once for all pages.
        followName_ = QFontMetricsF(offerFont(8.5, true), &device_)
                          .elidedText(toQString(offer_.firm.name).trimmed(), Qt::ElideRight,
                                      x(mm::kRight - mm::kLeft) / 2);
    }

    // [first, end) of the flow items on each page. A table header stays with its first row, and a
    // page that goes on inside the table gets the header again.
    std::vector<std::pair<int, int>> paginate() const {
        std::vector<std::pair<int, int>> pages;
        const int count = static_cast<int>(flow_.size());
        int first = 0;
        double y = bodyTop_;
        const double bottom = footerTop_ - x(mm::kBodyAboveFooter);
        const double followRoom = bottom - x(mm::kFollowTop) - tableHeaderHeight();
        for (int i = 0; i < count; ++i) {
            const FlowItem& item = flow_[static_cast<std::size_t>(i)];
            // The item with those it keeps with, unless they would not fit a page of their own.
            double needed = item.height;
            for (int next = i;
                 next + 1 < count && flow_[static_cast<std::size_t>(next)].keepWithNext; ++next)
                needed += flow_[static_cast<std::size_t>(next) + 1].height;
            if (needed > followRoom)
                needed = item.height;
            if (i > first && y + needed > bottom) {
                pages.emplace_back(first, i);
                first = i;
                y = x(mm::kFollowTop) + (item.tableRow ? tableHeaderHeight() : 0);
            }
            y += item.height;
        }
        pages.emplace_back(first, count);
        return pages;
    }

    void paintMarks(QPainter& painter) {
        painter.setPen(QPen(kMarks, x(0.2)));
        for (const double fold : {105.0, 210.0})
            painter.drawLine(QPointF(x(4), x(fold)), QPointF(x(9), x(fold)));
        painter.drawLine(QPointF(x(4), x(148.5)), QPointF(x(12), x(148.5)));
    }

    QString returnLine() const {
        QStringList parts;
        for (const QString& part : {toQString(offer_.firm.name), toQString(offer_.firm.street),
                                    toQString(offer_.firm.postcodeTown)})
            if (!part.trimmed().isEmpty())
                parts << part.trimmed();
        return parts.join(QStringLiteral(" · "));
    }

    // The letterhead's band: the firm's name and details on the left, the logo in the top right
    // corner. They share the width: the logo gives up to half its size for the name to stay on one
    // line, a name that still does not fit wraps, and its type shrinks until the band holds it.
    struct Letterhead {
        QRectF logo;
        QFont nameFont;
        QStringList name;
        QFont detailFont;
        QStringList details;
    };
    static constexpr double kLetterheadTop = 12;
    static constexpr double kLetterheadRule = 40;
    static constexpr double kReturnWidth = 80;

    void layoutLetterhead() {
        const FirmData& firm = offer_.firm;
        const double textRoom = x(mm::kRight - mm::kLeft);
        const double gap = x(5);
        QSizeF logoSize;
        if (logo_.valid()) {
            // At most 60 × 24 mm, its proportions kept.
            logoSize = logo_.size();
            logoSize.scale(QSizeF(x(60), x(24)), Qt::KeepAspectRatio);
        }
        const QString name = toQString(firm.name).simplified();
        QStringList details;
        for (const QString& part :
             {toQString(firm.contact), toQString(firm.street), toQString(firm.postcodeTown)})
            if (!part.trimmed().isEmpty())
                details << part.simplified();
        const auto roomBeside = [&](double scale) {
            return logoSize.isEmpty() ? textRoom : textRoom - logoSize.width() * scale - gap;
        };
        constexpr double kNamePoints = 17;
        const double nameWidth = width(name, offerFont(kNamePoints, true));
        const double band = x(kLetterheadRule - 2 - 14);
        letterhead_.detailFont = offerFont(8);
        // The logo gives up to half its size when that keeps the name on one line; a name that
        // must wrap anyway leaves the logo whole unless the name's type would get small.
        double scale = 1;
        while (scale > 0.5 && nameWidth > roomBeside(scale))
            scale -= 0.05;
        if (nameWidth > roomBeside(scale)) {
            layoutName(name, details, roomBeside(1), nameWidth, band);
            scale = letterhead_.nameFont.pointSizeF() >= 11 ? 1 : 0.5;
        }
        if (layoutName(name, details, roomBeside(scale), nameWidth, band))
            problems_ << QStringLiteral("Der Firmenname ist zu lang für den Briefkopf und wird "
                                        "dort gekürzt.");
        if (!logoSize.isEmpty()) {
            const QSizeF size = logoSize * scale;
            letterhead_.logo = QRectF(x(mm::kRight) - size.width(), x(kLetterheadTop), size.width(),
                                      size.height());
        }
        if (!firm.hasLetterhead())
            return;
        // The return address: smaller type before anything is left out.
        returnFont_ = offerFont(6.5);
        returnFont_.setUnderline(true);
        returnLine_ = returnLine();
        const double returnWidth = width(returnLine_, returnFont_);
        if (returnWidth > x(kReturnWidth)) {
            returnFont_.setPointSizeF(std::max(5.0, 6.5 * x(kReturnWidth) / returnWidth));
            if (width(returnLine_, returnFont_) > x(kReturnWidth)) {
                returnLine_ = QFontMetricsF(returnFont_, &device_)
                                  .elidedText(returnLine_, Qt::ElideRight, x(kReturnWidth));
                problems_ << QStringLiteral("Die Absenderzeile über der Anschrift wird gekürzt "
                                            "(Firmenname, Straße und Ort sind zu lang).");
            }
        }
    }

    // The name wrapped into `room`, in the largest type from 17 pt down that lets name and
    // details fit the band.
    // True when even the smallest type could not hold the name and its end was left off.
    bool layoutName(const QString& name, const QStringList& details, double room, double nameWidth,
                    double band) {
        constexpr double kNamePoints = 17;
        bool cut = false;
        letterhead_.details =
            wrap(details.join(QStringLiteral(" · ")), letterhead_.detailFont, room);
        for (double points = kNamePoints;; points -= 0.5) {
            letterhead_.nameFont = offerFont(points, true);
            // Sizes whose lines cannot fit even when filled to the edge are not wrapped at all:
            // wrapping a pasted name of thousands of characters at every size took seconds.
            const double fewestLines = std::ceil(nameWidth * points / kNamePoints / room);
            if (points > 8 && fewestLines * line(letterhead_.nameFont) > band)
                continue;
            letterhead_.name = wrap(name, letterhead_.nameFont, room);
            if (letterheadHeight() <= band || points <= 8)
                break;
        }
        if (letterheadHeight() > band) {
            // Only a name of hundreds of characters gets here; the user is told.
            const double nameRoom =
                band - x(1) - line(letterhead_.detailFont) * letterhead_.details.size();
            const auto keep = std::max<qsizetype>(
                1, static_cast<qsizetype>(nameRoom / line(letterhead_.nameFont)));
            if (keep < letterhead_.name.size()) {
                letterhead_.name = letterhead_.name.mid(0, keep);
                letterhead_.name.last() =
                    QFontMetricsF(letterhead_.nameFont, &device_)
                        .elidedText(letterhead_.name.last() + QStringLiteral(" …"), Qt::ElideRight,
                                    room);
                cut = true;
            }
        }
        return cut;
    }

    double letterheadHeight() const {
        return line(letterhead_.nameFont) * letterhead_.name.size() + x(1) +
               line(letterhead_.detailFont) * letterhead_.details.size();
    }

    void paintFirstPageHead(QPainter& painter) {
        const FirmData& firm = offer_.firm;
        if (!letterhead_.logo.isEmpty()) {
            if (logo_.svg)
                logo_.svg->render(&painter, letterhead_.logo);
            else
                painter.drawImage(letterhead_.logo, logo_.image);
        }
        if (firm.hasLetterhead()) {
            const double room = letterhead_.logo.isEmpty()
                                    ? x(mm::kRight - mm::kLeft)
                                    : letterhead_.logo.left() - x(5) - x(mm::kLeft);
            double y = x(14);
            for (const QString& part : letterhead_.name) {
                drawLine(painter, QRectF(x(mm::kLeft), y, room, line(letterhead_.nameFont)), part,
                         letterhead_.nameFont, kAccent);
                y += line(letterhead_.nameFont);
            }
            y += x(1);
            for (const QString& part : letterhead_.details) {
                drawLine(painter, QRectF(x(mm::kLeft), y, room, line(letterhead_.detailFont)), part,
                         letterhead_.detailFont, kMuted);
                y += line(letterhead_.detailFont);
            }
            painter.setPen(QPen(kAccent, x(0.5)));
            painter.drawLine(QPointF(x(mm::kLeft), x(kLetterheadRule)),
                             QPointF(x(mm::kRight), x(kLetterheadRule)));
            // The return address above the recipient, small and underlined, as window
            // envelopes show it.
            drawLine(painter,
                     QRectF(x(mm::kLeft), x(mm::kReturnLine), x(kReturnWidth), line(returnFont_)),
                     returnLine_, returnFont_, kMuted);
        }
        // The recipient.
        double y = x(mm::kAddressTop);
        for (const QString& part : recipient_) {
            drawLine(painter, QRectF(x(mm::kLeft), y, x(kAddressWidth), line(addressFont_)), part,
                     addressFont_, kInk);
            y += line(addressFont_);
        }
        // The information block.
        y = x(mm::kInfoTop);
        for (const InfoRow& row : info_) {
            drawLine(painter,
                     QRectF(x(mm::kInfoLeft), y, infoValueLeft_ - x(mm::kInfoLeft), infoLine()),
                     row.label, infoLabel_, kMuted);
            for (const QString& part : row.value) {
                drawLine(painter,
                         QRectF(infoValueLeft_, y, x(mm::kRight) - infoValueLeft_, infoLine()),
                         part, infoValue_, kInk);
                y += infoLine();
            }
        }
    }

    // The recipient in the envelope's window: as many lines as it holds, in type from 10 pt down
    // to 8 pt so that the longest fits its width. What the window cannot hold is named for the
    // user, who is asked before the offer goes out.
    static constexpr double kAddressWidth = 80;
    void layoutRecipient() {
        const std::vector<std::u16string> lines = recipientLines(offer_.choices);
        QStringList all;
        for (const std::u16string& part : lines)
            all << toQString(part).simplified();
        recipient_ = all.mid(0, static_cast<qsizetype>(kAddressWindowLines));
        if (all.size() > recipient_.size())
            problems_ << QStringLiteral("Die Anschrift hat %1 Zeilen, ins Fenster des "
                                        "Briefumschlags passen %2. Nicht gedruckt wird: %3")
                             .arg(all.size())
                             .arg(kAddressWindowLines)
                             .arg(all.mid(recipient_.size()).join(QStringLiteral(" / ")));
        double widest = 0;
        for (const QString& part : recipient_)
            widest = std::max(widest, width(part, offerFont(10)));
        addressFont_ = offerFont(
            widest > x(kAddressWidth) ? std::max(8.0, 10 * x(kAddressWidth) / widest) : 10);
        for (QString& part : recipient_) {
            if (width(part, addressFont_) <= x(kAddressWidth))
                continue;
            problems_ << QStringLiteral("Die Zeile „%1“ der Anschrift ist zu lang für das Fenster "
                                        "des Briefumschlags und wird gekürzt.")
                             .arg(part);
            part = QFontMetricsF(addressFont_, &device_)
                       .elidedText(part, Qt::ElideRight, x(kAddressWidth));
        }
    }

    // The information block beside the address: its labels as wide as the widest, its values
    // wrapped into the rest up to the right margin. A long block moves the body down.
    struct InfoRow {
        QString label;
        QStringList value;
    };
    double infoLine() const { return line(infoValue_) * 1.2; }

    void layoutInfo() {
        const FirmData& firm = offer_.firm;
        infoLabel_ = offerFont(8);
        infoValue_ = offerFont(8.5);
        QList<std::pair<QString, QString>> info{
            {QStringLiteral("Angebotsnummer"), toQString(offer_.choices.number).trimmed()},
            {QStringLiteral("Datum"), toQString(germanDate(offer_.choices.date))},
            {QStringLiteral("Gültig bis"), toQString(germanDate(offer_.choices.validUntil))}};
        if (!toQString(firm.contact).trimmed().isEmpty())
            info.append({QStringLiteral("Ansprechpartner"), toQString(firm.contact).trimmed()});
        if (!toQString(firm.phone).trimmed().isEmpty())
            info.append({QStringLiteral("Telefon"), toQString(firm.phone).trimmed()});
        if (!toQString(firm.email).trimmed().isEmpty())
            info.append({QStringLiteral("E-Mail"), toQString(firm.email).trimmed()});
        double labelWidth = 0;
        for (const auto& [label, text] : info)
            labelWidth = std::max(labelWidth, width(label, infoLabel_));
        infoValueLeft_ = x(mm::kInfoLeft) + labelWidth + x(2);
        const double room = x(mm::kRight) - infoValueLeft_;
        constexpr qsizetype kMostLines = 12;
        double bottom = x(mm::kInfoTop);
        for (const auto& [label, text] : info) {
            QStringList value = wrap(text.simplified(), infoValue_, room);
            if (value.size() > kMostLines) {
                value = value.mid(0, kMostLines);
                value.last() =
                    QFontMetricsF(infoValue_, &device_)
                        .elidedText(value.last() + QStringLiteral(" …"), Qt::ElideRight, room);
                problems_ << QStringLiteral("„%1“ ist zu lang für den Kopf des Angebots und wird "
                                            "dort gekürzt.")
                                 .arg(label);
            }
            bottom += infoLine() * static_cast<double>(value.size());
            info_.append({label, value});
        }
        bodyTop_ = std::max(x(mm::kSubjectTop), bottom + x(6));
    }

    void paintFollowHead(QPainter& painter, int page) {
        const QFont head = offerFont(8.5, true);
        const QRectF band(x(mm::kLeft), x(14), x(mm::kRight - mm::kLeft), line(head));
        if (offer_.firm.hasLetterhead())
            drawLine(painter, band, followName_, head, kAccent);
        drawLine(painter, band,
                 QStringLiteral("Angebot %1 vom %2 – Seite %3")
                     .arg(toQString(offer_.choices.number).trimmed(),
                          toQString(germanDate(offer_.choices.date)))
                     .arg(page),
                 offerFont(8), kMuted, Qt::AlignRight);
        painter.setPen(QPen(kAccent, x(0.3)));
        painter.drawLine(QPointF(x(mm::kLeft), x(20)), QPointF(x(mm::kRight), x(20)));
    }

    // Characters that no installed font can draw come out as nothing or an empty box; the user
    // is told which. Each distinct character is shaped on its own, with the fonts' fallback.
    void checkGlyphs() {
        const FirmData& f = offer_.firm;
        const OfferChoices& c = offer_.choices;
        std::set<char32_t> seen;
        QStringList missing;
        const auto check = [&](const std::u16string& text) {
            for (const uint code : toQString(text).toUcs4()) {
                const auto category = QChar::category(static_cast<char32_t>(code));
                if (code < 0x300 || category == QChar::Other_Format ||
                    category == QChar::Other_Control ||
                    QChar::isSpace(static_cast<char32_t>(code)) ||
                    !seen.insert(static_cast<char32_t>(code)).second)
                    continue;
                const QString character =
                    QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
                QTextLayout layout(character, body_, &device_);
                layout.beginLayout();
                layout.createLine();
                layout.endLayout();
                for (const QGlyphRun& run : layout.glyphRuns())
                    if (run.glyphIndexes().contains(0)) {
                        missing << character;
                        break;
                    }
            }
        };
        for (const std::u16string* text :
             {&f.name, &f.contact, &f.street, &f.postcodeTown, &f.phone, &f.email, &f.web, &f.taxId,
              &f.accountHolder, &f.bic, &f.paymentTerms, &f.closingText, &c.number,
              &c.recipientName, &c.recipientAddress, &c.subject, &c.introduction, &c.workTitle})
            check(*text);
        for (const OfferPosition& position : offer_.positions)
            check(position.description);
        if (!missing.isEmpty())
            problems_ << QStringLiteral("Diese Zeichen kann keine installierte Schrift darstellen; "
                                        "sie fehlen im Angebot: %1")
                             .arg(missing.mid(0, 10).join(QLatin1Char(' ')));
    }

    // The footer's four columns, wrapped once for every page. It grows upward as far as its
    // longest column needs, up to a limit; the body ends above it.
    void buildFooter() {
        const FirmData& f = offer_.firm;
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
            join({labelled(QStringLiteral("Inhaber: "), toQString(f.contact)),
                  labelled(QStringLiteral("Steuer-Nr./USt-IdNr.: "), toQString(f.taxId))}),
            join({labelled(QStringLiteral("Kontoinhaber: "), toQString(f.accountHolder)),
                  labelled(QStringLiteral("IBAN: "), toQString(groupedIban(f.iban))),
                  labelled(QStringLiteral("BIC: "), toQString(f.bic))})};
        const double h = footerLine();
        const auto most = static_cast<qsizetype>(x(mm::kMaxFooter) / h);
        qsizetype lines = 0;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const double room = x(kFooterEdges[c + 1] - kFooterEdges[c] - 2);
            for (const QString& entry : columns[c])
                footer_[c].append(wrap(entry, small_, room));
            if (footer_[c].size() > most) {
                // Only texts of hundreds of characters get here; the user is told.
                footer_[c] = footer_[c].mid(0, most);
                footer_[c].last() =
                    QFontMetricsF(small_, &device_)
                        .elidedText(footer_[c].last() + QStringLiteral(" …"), Qt::ElideRight, room);
                problems_ << QStringLiteral("Die Firmendaten sind zu lang für die Fußzeile und "
                                            "werden dort gekürzt.");
            }
            lines = std::max(lines, footer_[c].size());
        }
        footerTop_ = std::min(x(mm::kFooterTop), x(mm::kFooterTop) + h * mm::kFooterLines -
                                                     h * static_cast<double>(lines));
    }

    double footerLine() const { return line(small_) * 1.1; }

    void paintFooter(QPainter& painter) {
        if (!offer_.firm.hasLetterhead())
            return;
        painter.setPen(QPen(kMarks, x(0.2)));
        painter.drawLine(QPointF(x(mm::kLeft), footerTop_ - x(2)),
                         QPointF(x(mm::kRight), footerTop_ - x(2)));
        const double h = footerLine();
        for (std::size_t c = 0; c < footer_.size(); ++c) {
            double y = footerTop_;
            const double room = x(kFooterEdges[c + 1] - kFooterEdges[c] - 2);
            for (const QString& part : footer_[c]) {
                drawLine(painter, QRectF(x(kFooterEdges[c]), y, room, h), part, small_, kMuted);
                y += h;
            }
        }
    }

    static constexpr std::array<double, 5> kFooterEdges{mm::kLeft, 68, 104, 141, mm::kRight};

    const OfferDocument& offer_;
    QPagedPaintDevice& device_;
    double dpmm_;
    Logo logo_;
    std::vector<FlowItem> flow_;
    std::array<QStringList, 4> footer_;
    Letterhead letterhead_;
    QFont returnFont_;
    QList<InfoRow> info_;
    QStringList recipient_;
    QFont addressFont_;
    QFont infoLabel_, infoValue_;
    double infoValueLeft_ = 0;
    QString returnLine_;
    // What the layout could not show in full, in German for the user.
    QStringList problems_;
    QString followName_;
    double footerTop_ = 0;
    double bodyTop_ = 0;
    QFont body_, bodyBold_, small_, tableHead_, grossFont_, tableBody_, tableBold_;
    std::array<double, 7> columns_{}; // left edges of the table's columns, then its right edge
};

PdfSetup offerPdfSetup(const OfferDocument& offer) {
    return {QStringLiteral("Angebot ") + toQString(offer.choices.number).trimmed(),
            toQString(offer.firm.name).trimmed(), 600};
}

} // namespace

int paintOffer(const OfferDocument& offer, QPagedPaintDevice& device) {
    OfferPainter painter(offer, device);
    return painter.paint();
}

QStringList offerLayoutProblems(const OfferDocument& offer) {
    // Laid out on the PDF writer the offer is saved with; nothing is painted.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(offerPdfSetup(offer).resolution);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    OfferPainter painter(offer, writer);
    return painter.layoutProblems();
}

QByteArray offerPdf(const OfferDocument& offer) {
    return pdfBytes(offerPdfSetup(offer),
                    [&](QPagedPaintDevice& device) { return paintOffer(offer, device); });
}

void writeOfferPdf(const OfferDocument& offer, const QString& fileName) {
    writePdfFile(fileName, offerPdfSetup(offer),
                 [&](QPagedPaintDevice& device) { return paintOffer(offer, device); });
}

} // namespace pyrelto
