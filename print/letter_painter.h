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
#include <array>
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
// than titles), the titles, and which column's text wraps; the others stay on one line. The
// edges are the design; on paper every column that does not wrap is as wide as the widest text it
// holds in this document, and the wrapping column takes the rest (see addTable).
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

    // Builds the body and lays the letter out without painting: what it cannot show in full
    // (a firm name too long for the letterhead, firm data too long for the footer or the
    // information block, an address beyond the envelope's window, characters no installed font
    // has), each in German for the user.
    QStringList layoutProblems();

protected:
    static const QColor kInk;
    static const QColor kMuted;
    static const QColor kAccent;

    static QFont letterFont(double points, bool bold = false);
    static constexpr double kBodyLeft = 25;
    static constexpr double kBodyRight = 190;

    // Fills the body with the add… calls below.
    virtual void buildBody() = 0;
    // Pages of another layout after the letter's (an attachment), each begun with newPage();
    // returns their number.
    virtual int paintAppendix(QPainter& /*painter*/, QPagedPaintDevice& /*device*/) { return 0; }

    // A description of up to this many lines stays on one page.
    static constexpr qsizetype kWholeDescription = 6;

    double x(double millimetres) const { return millimetres * dpmm_; }
    double line(const QFont& font) const;

    // One line that is not wrapped; `lineFactor` times the font's line spacing high.
    void addLine(const QString& text, const QFont& font, const QColor& colour,
                 double spacingAfterMm, double lineFactor = 1.15);
    // Paragraphs wrapped to the body's width, one per "\n".
    void addParagraphs(const QString& text, const QFont& font, double spacingAfterMm,
                       const QColor& colour = kInk);
    // A page that opens inside a row's wrapped text shows the row's first cell again (the
    // position's number), and rows of up to kWholeDescription lines are not split.
    void addTable(const std::shared_ptr<const LetterTable>& table,
                  const std::vector<LetterTableRow>& rows);
    // Labels from `labelLeftMm` (further left when the amounts need the room), amounts
    // right-aligned at the body's right edge, as wide as the widest of them.
    void addTotals(const std::vector<TotalsLine>& lines, double labelLeftMm);
    void addSpace(double millimetres);
    // Lines to sign on side by side across the body, `spaceAboveMm` below the text before them,
    // each with its caption wrapped under it in small type.
    void addSignatureLines(const QStringList& captions, double spaceAboveMm);
    // The items added from `first` on stay on one page when together they fit one.
    void keepTogether(std::size_t first);
    std::size_t flowSize() const { return flow_.size(); }

    QFont body_, bodyBold_, small_, tableHead_, grossFont_;

private:
    // A table as laid out for this document: its columns' edges in device pixels and its type,
    // smaller than the body's only when its amounts would squeeze the wrapping column.
    struct LaidTable {
        LetterTable design;
        std::vector<double> edges;
        QFont body, bold, head;
    };
    struct FlowItem {
        double height = 0; // device pixels
        std::function<void(QPainter&, double top)> paint;
        std::shared_ptr<const LaidTable> table = {}; // set on the rows of a table
        bool keepWithNext = false;
        // The first cell of the row whose wrapped text this line goes on with; shown again when
        // the line opens a page.
        QString continues = {};
    };
    struct Logo {
        QImage image;
        std::shared_ptr<QSvgRenderer> svg;
        QSizeF size() const;
        bool valid() const;
    };
    struct InfoRow {
        QString label;
        QStringList value;
        QFont font;
    };

    QStringList wrap(const QString& text, const QFont& font, double room) const;
    QStringList cutWord(const QString& word, const QFont& font, double room) const;
    double width(const QString& text, const QFont& font) const;
    void drawLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                  const QColor& colour, Qt::Alignment align = Qt::AlignLeft);
    void noteText(const QString& text);
    std::shared_ptr<const LaidTable> layTable(const LetterTable& design,
                                              const std::vector<LetterTableRow>& rows) const;
    double tableHeaderHeight(const LaidTable& table) const;
    void paintTableHeader(QPainter& painter, const LaidTable& table, double top);
    QRectF cellRect(const LaidTable& table, std::size_t column, double top, double h) const;
    void layOutFrame();
    void layOutLetterhead();
    bool layOutName(const QString& name, const QStringList& details, double room, double nameWidth,
                    double band);
    double letterheadHeight() const;
    void layOutRecipient();
    void layOutInfo();
    void layOutFooter();
    void checkGlyphs();
    double footerLine() const;
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
    // The widest amount column of the last table, for the totals under it to line up.
    double amountColumn_ = 0;

    // The frame as laid out (device pixels).
    QRectF logoRect_;
    QFont nameFont_, detailFont_, returnFont_, addressFont_, infoLabel_, infoValue_;
    QStringList name_, details_, recipient_;
    QStringList returnLines_;
    QString followName_;
    QList<InfoRow> info_;
    double infoValueLeft_ = 0;
    std::array<QStringList, 4> footer_;
    double footerTop_ = 0;
    double bodyTop_ = 0;
    // Every text the letter shows, for the check of characters no font can draw.
    QString shownText_;
    QStringList problems_;
};

} // namespace pyrelto
