#include "customer_list_model.h"

#include "qt_text.h"

#include <QItemSelectionModel>
#include <QStringView>
#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace pyrelto {

namespace {

QStringView view(std::u16string_view text) {
    return QStringView(text.data(), static_cast<qsizetype>(text.size()));
}

// Most names are made of Latin letters, digits and spaces. In German and English the collation
// orders those as the alphabet does: space before digits before letters, the case only where the
// names are otherwise equal, and then small before capital. Comparing them here costs a fraction
// of a collator call, which a long list pays for each of its names at every start.
constexpr std::array<signed char, 128> kPlainWeights = [] {
    std::array<signed char, 128> weights{};
    weights.fill(-1);
    weights[' '] = 0;
    for (char c = '0'; c <= '9'; ++c)
        weights[static_cast<unsigned char>(c)] = static_cast<signed char>(1 + (c - '0'));
    for (char c = 'a'; c <= 'z'; ++c) {
        weights[static_cast<unsigned char>(c)] = static_cast<signed char>(11 + (c - 'a'));
        weights[static_cast<unsigned char>(c - 'a' + 'A')] =
            static_cast<signed char>(11 + (c - 'a'));
    }
    return weights;
}();

int plainWeight(char16_t c) {
    return c < kPlainWeights.size() ? kPlainWeights[c] : -1;
}

// Whether the character after the one that decides could join it (a combining mark, say): then
// the collator decides.
bool mayFollow(std::u16string_view text, std::size_t at) {
    return at >= text.size() || plainWeight(text[at]) >= 0;
}

// The order of two names of those characters alone; nothing when either holds another.
std::optional<int> comparePlain(std::u16string_view a, std::u16string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int wa = plainWeight(a[i]);
        const int wb = plainWeight(b[i]);
        if (wa < 0 || wb < 0)
            return std::nullopt;
        if (wa != wb) {
            if (!mayFollow(a, i + 1) || !mayFollow(b, i + 1))
                return std::nullopt;
            return wa < wb ? -1 : 1;
        }
    }
    if (a.size() != b.size()) {
        if (!mayFollow(a, common) || !mayFollow(b, common))
            return std::nullopt;
        return a.size() < b.size() ? -1 : 1;
    }
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] != b[i])
            return a[i] >= u'a' ? -1 : 1; // the small letter first
    }
    return 0;
}

} // namespace

CustomerList::Compare localeCompare(const QLocale& locale) {
    // The collator and the collation data behind it are made at the first comparison it is needed
    // for: an empty list, or one of plain names, never loads them.
    auto collator = std::make_shared<std::optional<QCollator>>();
    const bool plainAlphabet =
        locale.language() == QLocale::German || locale.language() == QLocale::English;
    return [locale, collator, plainAlphabet](std::u16string_view a, std::u16string_view b) {
        if (plainAlphabet) {
            if (const auto plain = comparePlain(a, b))
                return *plain;
        }
        if (!collator->has_value()) {
            QCollator& made = collator->emplace(locale);
            made.setCaseSensitivity(Qt::CaseSensitive);
            made.setNumericMode(false);
            made.setIgnorePunctuation(false);
        }
        const int c = (*collator)->compare(view(a), view(b));
        if (c != 0)
            return c;
        return a.compare(b);
    };
}

CustomerListModel::CustomerListModel(CustomerList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list) {
    list_.addObserver(this);
}

CustomerListModel::~CustomerListModel() {
    list_.removeObserver(this);
}

void CustomerListModel::setSelectionModel(QItemSelectionModel* selection) {
    if (selection_)
        disconnect(selection_, nullptr, this, nullptr);
    selection_ = selection;
    if (!selection_)
        return;
    connect(selection_, &QItemSelectionModel::selectionChanged, this,
            [this] { takeViewSelection(); });
    showListSelection();
}

QModelIndex CustomerListModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || row >= list_.count() || column != 0 || parent.isValid())
        return {};
    return createIndex(row, column);
}

int CustomerListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.count();
}

QVariant CustomerListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return toQString(list_.name(index.row()));
    return {};
}

bool CustomerListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= list_.count())
        return false;
    list_.setName(index.row(), value.toString().toStdU16String());
    return true;
}

Qt::ItemFlags CustomerListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

QVariant CustomerListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("Kunde");
    return {};
}

void CustomerListModel::entryChanged(int index) {
    if (resetting_)
        return;
    const QModelIndex changed = this->index(index);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
    showListSelection();
}

void CustomerListModel::aboutToInsert(int index) {
    if (resetting_)
        return;
    changingRows_ = true;
    beginInsertRows({}, index, index);
}

void CustomerListModel::inserted(int) {
    if (resetting_)
        return;
    endInsertRows();
    changingRows_ = false;
    showListSelection();
}

void CustomerListModel::aboutToRemove(int index) {
    if (resetting_)
        return;
    changingRows_ = true;
    beginRemoveRows({}, index, index);
}

void CustomerListModel::removed(int) {
    if (resetting_)
        return;
    endRemoveRows();
    changingRows_ = false;
    showListSelection();
}

void CustomerListModel::aboutToClear() {
    if (resetting_)
        return;
    changingRows_ = true;
    beginResetModel();
}

void CustomerListModel::cleared() {
    if (resetting_)
        return;
    endResetModel();
    changingRows_ = false;
    showListSelection();
}

void CustomerListModel::aboutToSort() {
    if (resetting_)
        return;
    changingRows_ = true;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    sortingFrom_ = persistentIndexList();
}

void CustomerListModel::sorted(std::span<const int> newIndexOf) {
    if (resetting_)
        return;
    QModelIndexList to;
    to.reserve(sortingFrom_.size());
    for (const auto& from : sortingFrom_)
        to.append(index(newIndexOf[static_cast<std::size_t>(from.row())], from.column()));
    changePersistentIndexList(sortingFrom_, to);
    sortingFrom_.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    changingRows_ = false;
    showListSelection();
}

void CustomerListModel::bulkUpdateBegun() {
    changingRows_ = true;
    resetting_ = true;
    beginResetModel();
}

void CustomerListModel::bulkUpdateEnded() {
    if (!resetting_)
        return; // watching since halfway through: the rows were told one by one
    endResetModel();
    resetting_ = false;
    changingRows_ = false;
    showListSelection();
}

int CustomerListModel::viewSelectedRow() const {
    if (!selection_)
        return -1;
    const auto rows = selection_->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CustomerListModel::showListSelection() {
    if (!selection_ || changingRows_)
        return;
    const int row = list_.selected();
    if (row == viewSelectedRow())
        return;
    showingSelection_ = true;
    if (row < 0)
        selection_->clearSelection();
    else
        selection_->setCurrentIndex(index(row), QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
    showingSelection_ = false;
}

void CustomerListModel::takeViewSelection() {
    if (changingRows_ || showingSelection_)
        return;
    const int row = viewSelectedRow();
    if (row != list_.selected())
        list_.select(row);
}

} // namespace pyrelto
