#pragma once
// The "Rechnungen" tab: the invoice register of the database as a flat list, newest first
// (number, date, customer, kind, gross, status), overdue invoices marked; "PDF/XML erneut
// speichern..." writes an invoice's documents again from the register, byte for byte as issued;
// "Als bezahlt markieren" is the one change an invoice takes; "Storno..." issues the credit note
// that cancels it.

#include "store.h"

#include <QDate>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTreeView;

namespace pyrelto {

class InvoiceRegisterModel;

class InvoiceRegisterTab final : public QWidget {
public:
    // `store` gives the program's database (throwing StoreError when it cannot be reached);
    // `today` the date that decides what is overdue and what a payment or credit note is dated.
    InvoiceRegisterTab(std::function<Store&()> store, std::function<QDate()> today,
                       QWidget* parent = nullptr);
    ~InvoiceRegisterTab() override;

    void refresh();
    std::optional<InvoiceSummary> selectedInvoice() const;
    bool selectInvoice(const std::string& number);

    void saveSelectedAgain();
    void markSelectedPaid();
    void cancelSelected();

    QTreeView* invoiceList = nullptr;
    QPushButton* saveAgainButton = nullptr;
    QPushButton* paidButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QLabel* summaryLabel = nullptr;
    QLabel* messageLabel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void selectionChanged();
    // Writes `record`'s PDF to a file the user names, and its XML, if any, beside it.
    void saveRecord(const InvoiceRecord& record);

    std::function<Store&()> store_;
    std::function<QDate()> today_;
    InvoiceRegisterModel* model_ = nullptr;
};

} // namespace pyrelto
