#pragma once
// The "Materialien" tab: the price catalogue of the database as one searchable list (article
// number, text, unit, price, price per m², price date, supplier and the firm's own fields), the
// firm's own fields of the selected article edited in a small form below it, and "Als CSV
// exportieren" so that the catalogue never locks a firm in. The list is a view over the store's
// catalogue snapshot: 200,000 articles cost one index each, and only the visible cells are made.

#include "store.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace pyrelto {

class ArticleTableModel;

class CatalogueTab final : public QWidget {
public:
    // `store` gives the program's database (throwing StoreError when it cannot be reached). The
    // catalogue is read when the tab is first shown, never at construction: the window starts
    // without waiting for a large catalogue or an unreachable server.
    explicit CatalogueTab(std::function<Store&()> store, QWidget* parent = nullptr);

    // Reads the catalogue again when it changed (on any PC), keeping the search and the selected
    // article; a database that cannot be reached keeps the list as it was and says so in the tab.
    void refresh();
    // After a change made elsewhere in the window (an import): the list follows at once when it
    // is shown, otherwise when it is next shown.
    void catalogueChanged();

    // Saves the form's fields for the selected article in one transaction. Input that is no
    // number is refused with a message and nothing is saved; a failing database leaves the form
    // as typed.
    void saveOwnFields();
    void exportCsv();

    // The article of the selected row; nullptr without one.
    const Article* selectedArticle() const;
    // Selects the article among those shown; false when it is not shown.
    bool selectArticle(const std::string& supplier, const std::string& articleNumber);
    // The list's rows, for the tests and the benchmark.
    const ArticleTableModel& model() const { return *model_; }

    QLineEdit* searchEdit = nullptr;
    QTableView* articleList = nullptr;
    QLabel* countLabel = nullptr;
    QLabel* messageLabel = nullptr;
    QLabel* articleLabel = nullptr; // which article the form edits
    QLineEdit* coverageEdit = nullptr;
    QLineEdit* wasteEdit = nullptr;
    QLabel* groupDiscountLabel = nullptr;
    QLineEdit* groupDiscountEdit = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* exportButton = nullptr;

    static QString csvFilter() { return QStringLiteral("CSV-Datei (*.csv)|*.csv"); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void filter(const QString& query);
    // Shows the selected article's fields in the form, unless the form already shows that
    // article (or `force`), so that neither a refresh nor a failed save loses what was typed.
    void fillForm(bool force);
    void showProblem(const QString& text);

    std::function<Store&()> store_;
    ArticleTableModel* model_ = nullptr;
    std::shared_ptr<const CatalogueSnapshot> snapshot_;
    // Supplier and article number of the article in the form; empty when the form is empty.
    std::pair<std::string, std::string> formArticle_;
};

} // namespace pyrelto
