#pragma once
// The "Angebote" tab: the offer register of the database as a list, newest first (number, date,
// customer, gross sum, status), searchable; the status of an offer is set here; "Kalkulation
// öffnen" takes the calculation kept with an offer into the sheet, "PDF erneut erstellen" makes
// the offer again under its number. Below the list: the sum of the open offers and the share
// accepted, of the offers the search shows.

#include "store.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTreeView;

namespace pyrelto {

class OfferRegisterModel;

class OfferRegisterTab final : public QWidget {
public:
    // `store` gives the program's database (throwing StoreError when it cannot be reached);
    // `openCalculation` takes an offer's calculation into the sheet.
    OfferRegisterTab(std::function<Store&()> store,
                     std::function<void(const OfferRecord&)> openCalculation,
                     QWidget* parent = nullptr);
    ~OfferRegisterTab() override;

    // Reads the register again, keeping the selection; a database that cannot be reached empties
    // the list and says so in the tab.
    void refresh();

    // The offer selected in the list, if any.
    std::optional<OfferSummary> selectedOffer() const;
    // Selects the offer with `number` among those shown; false when it is not shown.
    bool selectOffer(const std::string& number);

    void setSelectedStatus(OfferStatus status);
    void openSelectedCalculation();
    void recreateSelectedPdf();
    // "Rechnung erstellen...", for an accepted offer: `command` gets its record.
    void setInvoiceCommand(std::function<void(const OfferRecord&)> command);
    void createInvoiceForSelected();

    QLineEdit* searchEdit = nullptr;
    QTreeView* offerList = nullptr;
    QComboBox* statusBox = nullptr;
    QPushButton* openCalculationButton = nullptr;
    QPushButton* recreatePdfButton = nullptr;
    QPushButton* createInvoiceButton = nullptr; // only for an accepted offer
    QLabel* summaryLabel = nullptr;
    QLabel* messageLabel = nullptr;

    static QString pdfFilter() { return QStringLiteral("PDF-Dokument (*.pdf)|*.pdf"); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void selectionChanged();
    void updateSummary();
    // The whole record of the selected offer from the database; none (and a message) when there
    // is no selection or it cannot be read.
    std::optional<OfferRecord> selectedRecord();
    void showProblem(const QString& text);

    std::function<Store&()> store_;
    std::function<void(const OfferRecord&)> openCalculation_;
    std::function<void(const OfferRecord&)> createInvoice_;
    OfferRegisterModel* model_ = nullptr;
    QSortFilterProxyModel* filter_ = nullptr;
};

} // namespace pyrelto
