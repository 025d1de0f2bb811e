#pragma once
// Presents a CustomerList to Qt's item views as one column "Kunde" and keeps a view's selection
// and the list's one selection in step, in both directions. The list stays the only owner of the
// names: an edit in the view becomes CustomerList::setName, which may re-sort.

#include "customer_list.h"

#include <QAbstractListModel>
#include <QCollator>
#include <QLocale>
#include <QPointer>

class QItemSelectionModel;

namespace pyrelto {

// The order of the customer list: linguistic and case-sensitive in `locale`, as the list control
// of the platform orders its names. Equal texts compare equal; texts the collation cannot tell
// apart fall back to their code units so that the order never depends on where a name came from.
CustomerList::Compare localeCompare(const QLocale& locale = QLocale());

class CustomerListModel final : public QAbstractListModel, private CustomerListObserver {
    Q_OBJECT
public:
    explicit CustomerListModel(CustomerList& list, QObject* parent = nullptr);
    ~CustomerListModel() override;

    // The selection model of the one view whose selection mirrors the list's.
    void setSelectionModel(QItemSelectionModel* selection);

    // Without the generic checks: a view lays out 200,000 rows by asking for each one's index.
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void entryChanged(int index) override;
    void aboutToInsert(int index) override;
    void inserted(int index) override;
    void aboutToRemove(int index) override;
    void removed(int index) override;
    void aboutToClear() override;
    void cleared() override;
    void aboutToSort() override;
    void sorted(std::span<const int> newIndexOf) override;
    void bulkUpdateBegun() override;
    void bulkUpdateEnded() override;

    int viewSelectedRow() const;
    // Makes the view show the list's selection.
    void showListSelection();
    // Takes a selection the user made in the view into the list.
    void takeViewSelection();

    CustomerList& list_;
    QPointer<QItemSelectionModel> selection_;
    QModelIndexList sortingFrom_;
    // While the list is changing rows, or while we move the view's selection ourselves, the view's
    // selection signals tell the list nothing new.
    bool changingRows_ = false;
    bool showingSelection_ = false;
    // A bulk update is one model reset: a load of 200,000 names tells the views once, not per name.
    bool resetting_ = false;
};

} // namespace pyrelto
