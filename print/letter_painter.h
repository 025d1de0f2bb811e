#pragma once
// The letter the offer and the invoice both are: DIN 5008 form B on A4 — letterhead with the
// logo, the return line and the recipient in the envelope's window, the information block beside
// it, fold marks, a body that flows over the pages (a table repeats its header on every page it
// goes on), page numbers and the firm's footer. A document only says what goes into the body.

#include "firm_data.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QRectF;
class QSvgRenderer;

namespace pyrelto {

// Everything of the letter that is not the body.
struct LetterFrame {
    FirmData firm;                           // letterhead, return line, footer
    QStringList recipient;                   // the window shows the first six lines
    QList<std::pair<QString, QString>> info; // label, value: the information block
    QString followTitle;                     // "Angebot 2026-014 vom 10.12.2026" on page 2 on
    QString failureText;                     // "Das Angebot konnte nicht erstellt werden."
};

// A table of the body: its columns' edges in millimetres from the paper's left edge (one more
// than titles), the titles, and which column's text wraps; the others stay on one line.
struct LetterTable {
    std::vector<double> edges;
    std::vector<QString> titles;
    std::vector<Qt::Alignment> alignments;
    std::size_t wrapColumn = 1;
};

struct LetterTableRow {
    std::vector<QString> cells;
    bool bold = false;
    double padTopMm = 0.6; // space above the row's first line
    bool ruleAfter = false;
};

// One line of a totals block: plain, or a sum with a rule above it, or the amount to pay in the
// large font, ruled above and twice below.
struct TotalsLine {
    enum class Kind { Plain, Sum, Grand };
    QString label;
    QString value;
    Kind kind = Kind::Plain;
};

class LetterPainter {
public:
    LetterPainter(LetterFrame frame, QPagedPaintDevice& device);
    virtual ~LetterPainter();
    LetterPainter(const LetterPainter&) = delete;
    LetterPainter& operator=(const LetterPainter&) = delete;

    // Builds the body, lays it out and paints every page; returns their number. Throws
    // PrintError when the device takes no page.
    int paint();

protected:
    static const QColor kInk;
    static const QColor kMuted;
    static const QColor kAccent;

    static QFont letterFont(double points, bool bold = false);
    static constexpr double kBodyLeft = 25;
    static constexpr double kBodyRight = 190;

    // Fills the body with the add… calls below.
    virtual void buildBody() = 0;

    double x(double millimetres) const { return millimetres * dpmm_; }
    double line(const QFont& font) const;

    // One line that is not wrapped; `lineFactor` times the font's line spacing high.
    void addLine(const QString& text, const QFont& font, const QColor& colour,
                 double spacingAfterMm, double lineFactor = 1.15);
    // Paragraphs wrapped to the body's width, one per "\n".
    void addParagraphs(const QString& text, const QFont& font, double spacingAfterMm,
                       const QColor& colour = kInk);
    void addTable(const std::shared_ptr<const LetterTable>& table,
                  const std::vector<LetterTableRow>& rows);
    // Labels from `labelLeftMm`, amounts right-aligned at the body's right edge.
    void addTotals(const std::vector<TotalsLine>& lines, double labelLeftMm);
    void addSpace(double millimetres);

    QFont body_, bodyBold_, small_, tableHead_, grossFont_;

private:
    struct FlowItem {
        double height = 0; // device pixels
        std::function<void(QPainter&, double top)> paint;
        std::shared_ptr<const LetterTable> table; // set on the rows of a table
        bool keepWithNext = false;
    };
    struct Logo {
        QImage image;
        std::shared_ptr<QSvgRenderer> svg;
        QSizeF size() const;
        bool valid() const;
    };

    QStringList wrap(const QString& text, const QFont& font, double room) const;
    void drawLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                  const QColor& colour, Qt::Alignment align = Qt::AlignLeft);
    double tableHeaderHeight() const;
    void paintTableHeader(QPainter& painter, const LetterTable& table, double top);
    QRectF cellRect(const LetterTable& table, std::size_t column, double top, double h) const;
    std::vector<std::pair<int, int>> paginate() const;
    void paintMarks(QPainter& painter);
    QString returnLine() const;
    void paintFirstPageHead(QPainter& painter);
    void paintFollowHead(QPainter& painter, int page);
    void paintFooter(QPainter& painter);

    LetterFrame frame_;
    QPagedPaintDevice& device_;
    double dpmm_;
    Logo logo_;
    std::vector<FlowItem> flow_;
};

} // namespace pyrelto
