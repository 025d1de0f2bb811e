#pragma once
// The printout of the calculation: the shown rows of the sheet laid out in seven text columns and
// painted page by page on a printer or into a PDF, for a contractor to hand to a customer or to
// file.

#include <QDate>
#include <QFont>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

class QPagedPaintDevice;

namespace pyrelto {

class Sheet;
struct TakeOff;

// A print run that cannot take place or did not complete. The message is German and is meant to
// be shown to the user as it is.
class PrintError : public std::runtime_error {
public:
    explicit PrintError(const QString& message);
    QString message() const { return message_; }

private:
    QString message_;
};

// What a line of the printout is; it decides the font, the height and whether the line stays with
// the next one at a page break.
enum class PrintLine : std::uint8_t {
    Captions,   // the sheet's captions above a group of rows
    Values,     // one row of the sheet
    Total,      // a sum that stands out
    GrandTotal, // the gross end sum
    Gap,        // space between groups of rows
    Rule,       // a line across the page, above the end sums
};

// The page content of one print run, one string list per column and one entry per line in each.
struct PrintColumns {
    static constexpr int cols = 7;
    std::array<QStringList, cols> str;
    std::vector<PrintLine> lines;
    // Device pixels, set when the columns are fitted to a page: the widths, and the left edges
    // followed by the right edge of the last column.
    std::array<int, cols> colw{};
    std::array<int, cols + 1> colp{};

    int lineCount() const { return static_cast<int>(lines.size()); }
    void addLine(PrintLine kind, const std::array<QString, cols>& cells);
};

// The shown rows of `sheet` with their captions and values as the sheet shows them, each value in
// the column its field has on the sheet: descriptions, list price, discount, purchase price,
// percentage or pieces, sum, unit. The counts and the customer are not rows of the printout (the
// heading names the customer); the end sums follow last, set apart.
PrintColumns layoutSheet(const Sheet& sheet);

// The window's two font presets: the heading (12 pt bold) and the body (8 pt).
QFont headingFont();
QFont bodyFont();

// The printout on any paged device (a printer, a PDF writer): a heading with the program's name,
// the customer and `date` on every page, the columns of layoutSheet, and page numbers when it
// runs over one page; then the "Aufmaß" pages of `takeOff` when it has rows (takeoff_print.h).
// Returns the number of pages; throws PrintError when the device fails.
int paintSheet(const Sheet& sheet, QPagedPaintDevice& device, const QDate& date,
               const TakeOff* takeOff = nullptr);

} // namespace pyrelto
