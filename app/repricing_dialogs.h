#pragma once
// "Preise aktualisieren": what the catalogue's current prices would change, shown before anything
// changes. One dialog for the open calculation (its rows and its net end sum), one for a folder of
// calculations (the dry run's report, exportable as CSV). Both only show and let the user
// confirm; the window applies.

#include "folder_repricing.h"
#include "repricing.h"

#include <QDialog>
#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;

namespace pyrelto {

// Money as the sheet shows it: "1234,56" with the regional decimal separator.
QString moneyText(std::int64_t cents);

// The open calculation: each row with an article, old -> new price and status, and the net end
// sum before -> after. "Übernehmen" accepts.
class SheetRepricingDialog final : public QDialog {
public:
    enum Column { Row, Article, OldPrice, NewPrice, Status, ColumnCount };

    SheetRepricingDialog(const std::vector<RepricedRow>& rows, std::int64_t netBeforeCents,
                         std::int64_t netAfterCents, QWidget* parent = nullptr);

    QTableWidget* rowTable = nullptr;
    QLabel* netLabel = nullptr;
    QPushButton* applyButton = nullptr;
};

// A folder's dry run: one line per row with an article, one per file with nothing to show (no
// article numbers, damaged). "Als CSV exportieren" writes the report where the user says;
// "Übernehmen" (only when some file has new prices) accepts.
class FolderRepricingDialog final : public QDialog {
public:
    enum Column {
        File,
        Row,
        Supplier,
        Article,
        Status,
        OldPrice,
        NewPrice,
        NetBefore,
        NetAfter,
        Note,
        ColumnCount
    };

    explicit FolderRepricingDialog(FolderRepricing report, QWidget* parent = nullptr);

    // "Als CSV exportieren": asks for a name through the dialogs seam and writes the report there
    // with the safe write; a failure is reported in a message and changes nothing.
    void exportCsv();

    QTableView* reportTable = nullptr;
    QLabel* summaryLabel = nullptr;
    QPushButton* exportButton = nullptr;
    QPushButton* applyButton = nullptr;

private:
    FolderRepricing report_;
};

} // namespace pyrelto
