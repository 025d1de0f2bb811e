#pragma once
// "Artikel wählen": search as you type in the catalogue, for the row the user pressed F4 in. A
// dialog rather than a completer on the description field, because most descriptions are still
// typed as free text and a pop-up on every keystroke would take Enter and the arrow keys from
// them; the dialog has room for unit, price and supplier to tell similar articles apart.
// Keyboard only: type, Up/Down move in the list, Enter picks, Esc cancels.

#include "store.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <memory>
#include <vector>

class QLineEdit;
class QTableView;

namespace pyrelto {

// Rows of articles for the picker and the "Materialien" tab: positions into a snapshot's
// articles, so 200,000 articles cost one index each and the view makes only the visible cells.
class ArticleTableModel final : public QAbstractTableModel {
public:
    enum Column {
        Number,
        Text,
        Unit,
        Price,
        PricePerSquareMetre,
        PriceDate,
        Supplier,
        Coverage,
        Waste,
        DiscountGroup,
        GroupDiscount, // the firm's discount % on the supplier's discount group
        ColumnCount
    };

    explicit ArticleTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    // Shows `rows` (positions into snapshot->catalogue.articles()).
    void show(std::shared_ptr<const CatalogueSnapshot> snapshot, std::vector<std::size_t> rows);
    const Article* article(int row) const;
    const std::shared_ptr<const CatalogueSnapshot>& snapshot() const { return snapshot_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const CatalogueSnapshot> snapshot_;
    std::vector<std::size_t> rows_;
};

class ArticlePicker final : public QDialog {
public:
    static constexpr std::size_t kShownResults = 50;

    ArticlePicker(std::shared_ptr<const CatalogueSnapshot> snapshot, const QString& query,
                  QWidget* parent = nullptr);

    // The article of the current result row, nullptr without one.
    const Article* chosen() const;

    QLineEdit* searchEdit = nullptr;
    QTableView* resultList = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search(const QString& text);

    std::shared_ptr<const CatalogueSnapshot> snapshot_;
    ArticleTableModel* model_ = nullptr;
};

} // namespace pyrelto
