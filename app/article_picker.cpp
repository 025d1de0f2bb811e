#include "article_picker.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace pyrelto {

namespace {

QString centsString(std::int64_t cents) {
    return QString::fromStdString(formatCents(cents));
}

QString dateString(const CalendarDate& date) {
    if (!date.isSet())
        return {};
    return QStringLiteral("%1.%2.%3")
        .arg(date.day, 2, 10, QLatin1Char('0'))
        .arg(date.month, 2, 10, QLatin1Char('0'))
        .arg(date.year);
}

} // namespace

void ArticleTableModel::show(std::shared_ptr<const CatalogueSnapshot> snapshot,
                             std::vector<std::size_t> rows) {
    beginResetModel();
    snapshot_ = std::move(snapshot);
    rows_ = std::move(rows);
    endResetModel();
}

const Article* ArticleTableModel::article(int row) const {
    if (!snapshot_ || row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        return nullptr;
    return &snapshot_->catalogue.articles()[rows_[static_cast<std::size_t>(row)]];
}

int ArticleTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ArticleTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ArticleTableModel::data(const QModelIndex& index, int role) const {
    const Article* a = article(index.row());
    if (!a)
        return {};
    if (role == Qt::TextAlignmentRole) {
        switch (index.column()) {
        case Price:
        case PricePerSquareMetre:
        case Coverage:
        case Waste:
        case GroupDiscount:
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
        }
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case Number:
        return QString::fromStdString(a->articleNumber);
    case Text:
        return QString::fromStdString(a->text());
    case Unit:
        return QString::fromStdString(a->unit);
    case Price: {
        QString text = QString::fromStdString(formatDecimal(a->listPrice));
        if (a->priceUnit != 1)
            text += QStringLiteral(" / %1").arg(a->priceUnit);
        return a->priceKind == PriceKind::Net ? text + QStringLiteral(" netto") : text;
    }
    case PricePerSquareMetre: {
        const auto perSquareMetre = listPricePerSquareMetre(*a);
        return perSquareMetre ? centsString(*perSquareMetre) : QString();
    }
    case PriceDate:
        return dateString(a->priceDate);
    case Supplier:
        return QString::fromStdString(a->supplier);
    case Coverage:
        return a->coverage ? QString::fromStdString(formatDecimal(*a->coverage)) : QString();
    case Waste:
        return a->wastePercent ? QString::fromStdString(formatDecimal(*a->wastePercent))
                               : QString();
    case DiscountGroup:
        return QString::fromStdString(a->discountGroup);
    case GroupDiscount: {
        const auto percent = snapshot_->catalogue.groupDiscount(a->supplier, a->discountGroup);
        return percent ? QString::fromStdString(formatDecimal(*percent)) : QString();
    }
    default:
        return {};
    }
}

QVariant ArticleTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Number:
        return QStringLiteral("Artikelnummer");
    case Text:
        return QStringLiteral("Bezeichnung");
    case Unit:
        return QStringLiteral("Einheit");
    case Price:
        return QStringLiteral("Preis");
    case PricePerSquareMetre:
        return QStringLiteral("Preis je m²");
    case PriceDate:
        return QStringLiteral("Preisdatum");
    case Supplier:
        return QStringLiteral("Lieferant");
    case Coverage:
        return QStringLiteral("m² je Einheit");
    case Waste:
        return QStringLiteral("Verschnitt %");
    case DiscountGroup:
        return QStringLiteral("Rabattgruppe");
    case GroupDiscount:
        return QStringLiteral("Rabatt %");
    default:
        return {};
    }
}

ArticlePicker::ArticlePicker(std::shared_ptr<const CatalogueSnapshot> snapshot,
                             const QString& query, QWidget* parent)
    : QDialog(parent), snapshot_(std::move(snapshot)) {
    setObjectName(QStringLiteral("articlePicker"));
    setWindowTitle(QStringLiteral("Artikel wählen"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("&Suche (Artikelnummer oder Wörter der Bezeichnung):"));
    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    label->setBuddy(searchEdit);
    resultList = new QTableView(this);
    resultList->setObjectName(QStringLiteral("resultList"));
    model_ = new ArticleTableModel(this);
    resultList->setModel(model_);
    resultList->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultList->setSelectionMode(QAbstractItemView::SingleSelection);
    resultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultList->verticalHeader()->hide();
    resultList->horizontalHeader()->setStretchLastSection(true);
    for (const int hidden : {ArticleTableModel::Coverage, ArticleTableModel::Waste,
                             ArticleTableModel::DiscountGroup, ArticleTableModel::GroupDiscount})
        resultList->hideColumn(hidden);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Übernehmen"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    layout->addWidget(label);
    layout->addWidget(searchEdit);
    layout->addWidget(resultList);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (chosen())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(searchEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { search(text); });
    connect(searchEdit, &QLineEdit::returnPressed, this, [this] {
        if (chosen())
            accept();
    });
    connect(resultList, &QTableView::activated, this, [this] {
        if (chosen())
            accept();
    });
    searchEdit->installEventFilter(this);
    resize(720, 420);
    searchEdit->setText(query);
    search(query);
    searchEdit->selectAll();
    searchEdit->setFocus();
}

void ArticlePicker::search(const QString& text) {
    const std::string query = text.toStdString();
    model_->show(snapshot_, snapshot_->index.search(query, kShownResults));
    if (model_->rowCount() > 0)
        resultList->selectRow(0);
}

const Article* ArticlePicker::chosen() const {
    const QModelIndex current = resultList->currentIndex();
    return current.isValid() ? model_->article(current.row()) : nullptr;
}

bool ArticlePicker::eventFilter(QObject* watched, QEvent* event) {
    // The arrow keys move in the list while the cursor stays in the search.
    if (watched == searchEdit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down ||
            key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown) {
            const int rows = model_->rowCount();
            if (rows == 0)
                return true;
            const int step = key->key() == Qt::Key_Up       ? -1
                             : key->key() == Qt::Key_Down   ? 1
                             : key->key() == Qt::Key_PageUp ? -10
                                                            : 10;
            const int current =
                resultList->currentIndex().isValid() ? resultList->currentIndex().row() : 0;
            resultList->selectRow(std::clamp(current + step, 0, rows - 1));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pyrelto
