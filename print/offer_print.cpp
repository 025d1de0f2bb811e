#include "offer_print.h"

#include "field_text_isolation.h"
#include "pdf_file.h"
#include "printout.h"
#include "qt_text.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <functional>

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
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Positions on the paper in millimetres from its top left corner (DIN 5008, form B).
namespace mm {
constexpr double kPageWidth = 210;
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
// Columns of the positions table: Pos., Beschreibung, Menge, Einheit, Einzelpreis, Gesamtpreis.
constexpr std::array<double, 7> kColumns{25, 35, 106, 124, 140, 164, 190};
} // namespace mm

// A piece of the letter body that the pages are filled with, top to bottom.
struct FlowItem {
    double height = 0; // device pixels
    std::function<void(QPainter&, double top)> paint;
    bool tableRow = false;
    bool keepWithNext = false;
};

class OfferPainter {
public:
    OfferPainter(const OfferDocument& offer, QPagedPaintDevice& device,
                 const TakeOffPrint& attachment)
        : offer_(offer), device_(device), attachment_(attachment),
          dpmm_(device.logicalDpiY() / 25.4) {
        logo_ = loadLogo(toQString(offer.firm.logoPath));
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
            double y = x(page == 0 ? mm::kSubjectTop : mm::kFollowTop);
            const auto [first, last] = pages[page];
            if (page > 0 && first < last && flow_[static_cast<std::size_t>(first)].tableRow) {
                paintTableHeader(painter, y);
                y += tableHeaderHeight();
            }
            for (int i = first; i < last; ++i) {
                flow_[static_cast<std::size_t>(i)].paint(painter, y);
                y += flow_[static_cast<std::size_t>(i)].height;
            }
            if (pages.size() > 1) {
                painter.setFont(small_);
                painter.setPen(kMuted);
                painter.drawText(QRectF(x(mm::kLeft), x(mm::kPageNumber), x(mm::kRight - mm::kLeft),
                                        line(small_)),
                                 Qt::AlignRight | Qt::AlignVCenter,
                                 QStringLiteral("Seite %1 von %2").arg(number).arg(pages.size()));
            }
            paintFooter(painter);
        }
        const int attached = paintTakeOffPages(painter, device_, attachment_, true);
        if (!painter.end())
            throw PrintError(QStringLiteral("Das Angebot konnte nicht abgeschlossen werden."));
        return static_cast<int>(pages.size()) + attached;
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
            logo.image = QImage(path);
        }
        return logo;
    }

    // A word wider than the line in pieces that fit, in one pass over its characters: measuring
    // every shorter prefix again took cubic time, and a pasted 20,000-character word held the
    // program for over a minute.
    static QStringList cutWord(const QString& word, const QFontMetricsF& metrics, double room) {
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

    void drawLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                  const QColor& colour, Qt::Alignment align = Qt::AlignLeft) {
        if (text.isEmpty())
            return;
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(rect, align | Qt::AlignVCenter, isolatedField(text));
    }

    void addParagraphs(const QString& text, const QFont& font, double spacingAfter) {
        const QStringList lines = wrap(text, font, x(mm::kRight - mm::kLeft));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString& lineText = lines.at(i);
            const double h = line(font) * 1.15 + (i + 1 == lines.size() ? spacingAfter : 0);
            flow_.push_back({h, [this, lineText, font](QPainter& p, double top) {
                                 drawLine(p,
                                          QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft),
                                                 line(font) * 1.15),
                                          lineText, font, kInk);
                             }});
        }
    }

    double tableHeaderHeight() const { return line(tableHead_) * 1.7; }

    void paintTableHeader(QPainter& painter, double top) {
        const double h = tableHeaderHeight();
        painter.fillRect(QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), h), kHeaderFill);
        static const std::array<QString, 6> titles{
            QStringLiteral("Pos."),        QStringLiteral("Beschreibung"),
            QStringLiteral("Menge"),       QStringLiteral("Einheit"),
            QStringLiteral("Einzelpreis"), QStringLiteral("Gesamtpreis")};
        painter.setFont(tableHead_);
        painter.setPen(kAccent);
        for (std::size_t c = 0; c < titles.size(); ++c) {
            const QRectF cell = cellRect(c, top, h);
            painter.drawText(cell, alignment(c) | Qt::AlignVCenter, titles[c]);
        }
    }

    static Qt::Alignment alignment(std::size_t column) {
        return column == 2 || column >= 4 ? Qt::AlignRight : Qt::AlignLeft;
    }
    QRectF cellRect(std::size_t column, double top, double h) const {
        const double pad = x(1.2);
        return QRectF(x(mm::kColumns[column]) + pad, top,
                      x(mm::kColumns[column + 1] - mm::kColumns[column]) - 2 * pad, h);
    }

    void addPositions() {
        const double h = tableHeaderHeight();
        flow_.push_back(
            {h, [this](QPainter& p, double top) { paintTableHeader(p, top); }, false, true});
        const double rowLine = line(body_) * 1.25;
        for (std::size_t i = 0; i < offer_.positions.size(); ++i) {
            const OfferPosition& position = offer_.positions[i];
            const bool charged = !position.total.empty();
            const QFont& font = charged ? bodyBold_ : body_;
            const QRectF descriptionCell = cellRect(1, 0, 0);
            const QStringList lines =
                wrap(toQString(position.description), font, descriptionCell.width());
            const double padTop = x(charged ? 1.6 : 0.6);
            for (qsizetype l = 0; l < lines.size(); ++l) {
                const bool first = l == 0;
                const bool lastLine = l + 1 == lines.size();
                const double rowHeight = rowLine + (first ? padTop : 0) + (lastLine ? x(0.8) : 0);
                const QString& text = lines.at(l);
                flow_.push_back(
                    {rowHeight,
                     [this, position, text, first, padTop, rowLine, &font,
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
                     true, false});
            }
        }
    }

    void addTotals() {
        const double rowLine = line(body_) * 1.35;
        const double grossLine = line(bodyBold_) * 1.6;
        const double h = x(3) + rowLine * 2 + x(1.5) + grossLine + x(6);
        flow_.push_back(
            {h, [this, rowLine, grossLine](QPainter& p, double top) {
                 p.setPen(QPen(kInk, x(0.25)));
                 p.drawLine(QPointF(x(mm::kLeft), top + x(1)), QPointF(x(mm::kRight), top + x(1)));
                 double y = top + x(3);
                 const QRectF labels(x(110), 0, x(52), rowLine);
                 const QRectF values(x(mm::kColumns[5] - 8), 0,
                                     x(mm::kRight - mm::kColumns[5] + 8) - x(1.2), rowLine);
                 const auto row = [&](const QString& label, const QString& value, const QFont& font,
                                      double h) {
                     drawLine(p, labels.translated(0, y).adjusted(0, 0, 0, h - rowLine), label,
                              font, kInk);
                     drawLine(p, values.translated(0, y).adjusted(0, 0, 0, h - rowLine), value,
                              font, kInk, Qt::AlignRight);
                     y += h;
                 };
                 row(QStringLiteral("Nettobetrag"), toQString(offer_.net), body_, rowLine);
                 row(toQString(offer_.vatLabel), toQString(offer_.vat), body_, rowLine);
                 y += x(0.5);
                 p.setPen(QPen(kInk, x(0.25)));
                 p.drawLine(QPointF(x(110), y), QPointF(x(mm::kRight), y));
                 y += x(1);
                 row(QStringLiteral("Gesamtbetrag"), toQString(offer_.gross), grossFont_,
                     grossLine);
                 p.setPen(QPen(kInk, x(0.25)));
                 p.drawLine(QPointF(x(110), y), QPointF(x(mm::kRight), y));
                 p.drawLine(QPointF(x(110), y + x(0.6)), QPointF(x(mm::kRight), y + x(0.6)));
             }});
    }

    void buildFlow() {
        body_ = offerFont(9.5);
        bodyBold_ = offerFont(9.5, true);
        small_ = offerFont(7);
        tableHead_ = offerFont(8.5, true);
        grossFont_ = offerFont(10.5, true);
        const QFont subject = offerFont(12, true);
        const OfferChoices& c = offer_.choices;

        const QString subjectText = toQString(c.subject).trimmed().isEmpty()
                                        ? toQString(OfferChoices::defaultSubject())
                                        : toQString(c.subject).trimmed();
        flow_.push_back(
            {line(subject) * 1.2 + x(2), [this, subject, subjectText](QPainter& p, double top) {
                 drawLine(p,
                          QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), line(subject) * 1.2),
                          subjectText, subject, kAccent);
             }});
        flow_.push_back(
            {line(body_) * 1.15 + x(4), [this](QPainter& p, double top) {
                 drawLine(p,
                          QRectF(x(mm::kLeft), top, x(mm::kRight - mm::kLeft), line(body_) * 1.15),
                          QStringLiteral("Angebotsnummer %1")
                              .arg(toQString(offer_.choices.number).trimmed()),
                          body_, kMuted);
             }});
        if (!toQString(c.introduction).trimmed().isEmpty())
            addParagraphs(toQString(c.introduction).trimmed(), body_, x(4));
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
    }

    // [first, end) of the flow items on each page. A table header stays with its first row, and a
    // page that goes on inside the table gets the header again.
    std::vector<std::pair<int, int>> paginate() const {
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

    void paintFirstPageHead(QPainter& painter) {
        const FirmData& firm = offer_.firm;
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
            const QFont nameFont = offerFont(17, true);
            const double room = std::min(textRoom, logoLeft - x(mm::kLeft));
            drawLine(painter, QRectF(x(mm::kLeft), x(14), room, line(nameFont)),
                     QFontMetricsF(nameFont, &device_)
                         .elidedText(toQString(firm.name).trimmed(), Qt::ElideRight, room),
                     nameFont, kAccent);
            QStringList details;
            for (const QString& part :
                 {toQString(firm.contact), toQString(firm.street), toQString(firm.postcodeTown)})
                if (!part.trimmed().isEmpty())
                    details << part.trimmed();
            drawLine(painter,
                     QRectF(x(mm::kLeft), x(14) + line(nameFont) + x(1), room, line(small_)),
                     details.join(QStringLiteral(" · ")), offerFont(8), kMuted);
            painter.setPen(QPen(kAccent, x(0.5)));
            painter.drawLine(QPointF(x(mm::kLeft), x(40)), QPointF(x(mm::kRight), x(40)));
            // The return address above the recipient, small and underlined, as window
            // envelopes show it.
            QFont returnFont = offerFont(6.5);
            returnFont.setUnderline(true);
            drawLine(painter, QRectF(x(mm::kLeft), x(mm::kReturnLine), x(80), line(returnFont)),
                     returnLine(), returnFont, kMuted);
        }
        // The recipient.
        const QFont addressFont = offerFont(10);
        double y = x(mm::kAddressTop);
        QStringList recipient;
        if (!toQString(offer_.choices.recipientName).trimmed().isEmpty())
            recipient << toQString(offer_.choices.recipientName).trimmed();
        for (const QString& part :
             toQString(offer_.choices.recipientAddress).split(QLatin1Char('\n')))
            if (!part.trimmed().isEmpty())
                recipient << part.trimmed();
        for (const QString& part : recipient.mid(0, 6)) {
            drawLine(painter, QRectF(x(mm::kLeft), y, x(80), line(addressFont)), part, addressFont,
                     kInk);
            y += line(addressFont);
        }
        // The information block.
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
        const QFont label = offerFont(8);
        const QFont value = offerFont(8.5);
        y = x(mm::kInfoTop);
        for (const auto& [name, text] : info) {
            drawLine(painter, QRectF(x(mm::kInfoLeft), y, x(28), line(value) * 1.2), name, label,
                     kMuted);
            drawLine(painter,
                     QRectF(x(mm::kInfoLeft + 29), y, x(mm::kRight - mm::kInfoLeft - 29),
                            line(value) * 1.2),
                     text, value, kInk);
            y += line(value) * 1.2;
        }
    }

    void paintFollowHead(QPainter& painter, int page) {
        const QFont head = offerFont(8.5, true);
        const QRectF band(x(mm::kLeft), x(14), x(mm::kRight - mm::kLeft), line(head));
        if (offer_.firm.hasLetterhead())
            drawLine(painter, band, toQString(offer_.firm.name).trimmed(), head, kAccent);
        drawLine(painter, band,
                 QStringLiteral("Angebot %1 vom %2 – Seite %3")
                     .arg(toQString(offer_.choices.number).trimmed(),
                          toQString(germanDate(offer_.choices.date)))
                     .arg(page),
                 offerFont(8), kMuted, Qt::AlignRight);
        painter.setPen(QPen(kAccent, x(0.3)));
        painter.drawLine(QPointF(x(mm::kLeft), x(20)), QPointF(x(mm::kRight), x(20)));
    }

    void paintFooter(QPainter& painter) {
        const FirmData& f = offer_.firm;
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

    const OfferDocument& offer_;
    QPagedPaintDevice& device_;
    const TakeOffPrint& attachment_;
    double dpmm_;
    Logo logo_;
    std::vector<FlowItem> flow_;
    QFont body_, bodyBold_, small_, tableHead_, grossFont_;
};

PdfSetup offerPdfSetup(const OfferDocument& offer) {
    return {QStringLiteral("Angebot ") + toQString(offer.choices.number).trimmed(),
            toQString(offer.firm.name).trimmed(), 600};
}

} // namespace

int paintOffer(const OfferDocument& offer, QPagedPaintDevice& device,
               const TakeOffPrint& attachment) {
    OfferPainter painter(offer, device, attachment);
    return painter.paint();
}

QByteArray offerPdf(const OfferDocument& offer, const TakeOffPrint& attachment) {
    return pdfBytes(offerPdfSetup(offer), [&](QPagedPaintDevice& device) {
        return paintOffer(offer, device, attachment);
    });
}

void writeOfferPdf(const OfferDocument& offer, const QString& fileName,
                   const TakeOffPrint& attachment) {
    writePdfFile(fileName, offerPdfSetup(offer),
                 [&](QPagedPaintDevice& device) { return paintOffer(offer, device, attachment); });
}

} // namespace pyrelto
