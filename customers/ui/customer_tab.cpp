#include "customer_tab.h"

#include "customer_list_model.h"
#include "dialogs.h"
#include "rx_spin_edit.h"

#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace pyrelto {

namespace {

constexpr int kPanelHeight = 73;
constexpr int kButtonHeight = 25;
constexpr int kColumnWidth = 400;
// Where a found entry comes to stand, measured from the top of the list's client area.
constexpr int kFoundOffset = 50;

QString toQString(std::u16string_view text) {
    return QStringView(text.data(), static_cast<qsizetype>(text.size())).toString();
}

// Rows as high as the platform's report lists make them for a small font: the text plus a few
// pixels, so that descenders and the in-place editor's frame fit.
class RowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), option.fontMetrics.height() + 4));
        return size;
    }
    // The editor would cut a long name to its default limit of 32767 and store the cut name,
    // although the user only looked at it.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(static_cast<int>(kMaxTextLength));
        return editor;
    }
};

} // namespace

// Rebuilds the drop-down on every change of the list, so that it never shows a stale list: also
// after a delete, an insert and a re-sort, which the list's change notification alone would miss.
// Inside a bulk update it waits for the end, so a load of n names rebuilds once, not n times.
class CustomerTab::ComboKeeper final : public CustomerListObserver {
public:
    explicit ComboKeeper(CustomerTab& tab) : tab_(tab) {}

private:
    void refresh() {
        if (!tab_.list_.updating())
            tab_.UpdateCombo();
    }
    void entryChanged(int) override { refresh(); }
    void inserted(int) override { refresh(); }
    void removed(int) override { refresh(); }
    void cleared() override { refresh(); }
    void sorted(std::span<const int>) override { refresh(); }
    void bulkUpdateEnded() override { tab_.UpdateCombo(); }

    CustomerTab& tab_;
};

CustomerTab::CustomerTab(QWidget* parent) : QWidget(parent), list_(localeCompare()) {
    Panel26 = new QFrame(this);
    Panel26->setObjectName(QStringLiteral("Panel26"));
    Panel26->setFrameShape(QFrame::NoFrame);
    Panel26->setFixedHeight(kPanelHeight);

    auto button = [this](const char* name, const QString& caption, int x, int y, int width,
                         QStyle::StandardPixmap picture, QStyle::StandardPixmap fallback) {
        // Not every style draws every dialog picture; the fallback is one they all have.
        QIcon icon = style()->standardIcon(picture);
        if (icon.isNull())
            icon = style()->standardIcon(fallback);
        auto* b = new QPushButton(icon, caption, Panel26);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, width, kButtonHeight);
        // Enter on a focused button presses that button, as the platform's buttons do.
        b->setAutoDefault(true);
        return b;
    };
    BitBtn14 = button("BitBtn14", QStringLiteral("Neuer Kunde"), 8, 8, 121,
                      QStyle::SP_DialogOkButton, QStyle::SP_DialogApplyButton);
    BitBtn15 = button("BitBtn15", QStringLiteral("Eintrag bearbeiten"), 136, 8, 153,
                      QStyle::SP_DialogRetryButton, QStyle::SP_BrowserReload);
    BitBtn16 = button("BitBtn16", QStringLiteral("Löschen"), 296, 8, 121,
                      QStyle::SP_DialogCancelButton, QStyle::SP_DialogDiscardButton);
    BitBtn17 = button("BitBtn17", QStringLiteral("Kunde in Kalkulation übernehmen..."), 8, 40, 225,
                      QStyle::SP_DialogIgnoreButton, QStyle::SP_ArrowBack);
    BitBtn18 = button("BitBtn18", QStringLiteral("Suchen"), 432, 40, 105,
                      QStyle::SP_DialogRetryButton, QStyle::SP_BrowserReload);
    BitBtn19 = button("BitBtn19", QStringLiteral("Weiter suchen"), 544, 40, 105,
                      QStyle::SP_DialogRetryButton, QStyle::SP_BrowserReload);

    Label101 = new QLabel(QStringLiteral("Suchtext:"), Panel26);
    Label101->setObjectName(QStringLiteral("Label101"));
    // At x 240 as designed; a font wider than the design's moves it left rather than under SuchEd.
    const int labelWidth = std::max(Label101->sizeHint().width(), 52);
    Label101->setGeometry(std::min(240, 294 - labelWidth), 40, labelWidth, 21);
    Label101->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    SuchEd = new QLineEdit(Panel26);
    SuchEd->setObjectName(QStringLiteral("SuchEd"));
    SuchEd->setGeometry(296, 40, 121, 21);
    Label101->setBuddy(SuchEd);

    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    model_ = new CustomerListModel(list_, this);
    ListView1->setModel(model_);
    ListView1->setItemDelegate(new RowDelegate(ListView1));
    model_->setSelectionModel(ListView1->selectionModel());
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::SelectedClicked);
    ListView1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    ListView1->setSortingEnabled(false);
    ListView1->header()->setSectionsClickable(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->resizeSection(0, kColumnWidth);
    // The selection stays as visible as with the focus, so a found customer is seen at once.
    QPalette palette = ListView1->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    ListView1->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel26);
    layout->addWidget(ListView1, 1);

    connect(BitBtn14, &QPushButton::clicked, this, &CustomerTab::BitBtn14Click);
    connect(BitBtn15, &QPushButton::clicked, this, &CustomerTab::BitBtn15Click);
    connect(BitBtn16, &QPushButton::clicked, this, &CustomerTab::BitBtn16Click);
    connect(BitBtn17, &QPushButton::clicked, this, &CustomerTab::BitBtn17Click);
    connect(BitBtn18, &QPushButton::clicked, this, &CustomerTab::BitBtn18Click);
    connect(BitBtn19, &QPushButton::clicked, this, &CustomerTab::BitBtn19Click);
    connect(ListView1, &QAbstractItemView::doubleClicked, this, &CustomerTab::ListView1DblClick);

    comboKeeper_ = std::make_unique<ComboKeeper>(*this);
    list_.addObserver(comboKeeper_.get());
}

CustomerTab::~CustomerTab() {
    list_.removeObserver(comboKeeper_.get());
    // The model watches list_, which goes before QWidget would delete its children.
    delete model_;
}

void CustomerTab::setCombo(QComboBox* combo) {
    combo_ = combo;
    UpdateCombo();
}

void CustomerTab::UpdateCombo() {
    if (!combo_)
        return;
    const auto& names = list_.names();
    const int n = list_.count();
    bool same = combo_->count() == n;
    for (int i = 0; same && i < n; ++i)
        same = combo_->itemText(i) == QStringView(names[static_cast<std::size_t>(i)].data(),
                                                  static_cast<qsizetype>(names[i].size()));
    if (same)
        return;

    QStringList items;
    items.reserve(n);
    for (const auto& name : names)
        items.append(toQString(name));
    // The shown text is the sheet's customer, not an item: nobody hears it come and go.
    const QSignalBlocker blockCombo(combo_);
    const QSignalBlocker blockEdit(combo_->lineEdit());
    const QString text = combo_->currentText();
    combo_->setUpdatesEnabled(false);
    combo_->clear();
    combo_->addItems(items);
    combo_->setCurrentIndex(-1);
    combo_->setEditText(text);
    combo_->setUpdatesEnabled(true);
}

void CustomerTab::startEditing(int row) {
    const QModelIndex index = model_->index(row);
    ListView1->setFocus(Qt::OtherFocusReason);
    ListView1->scrollTo(index);
    ListView1->edit(index);
}

void CustomerTab::BitBtn14Click() {
    startEditing(list_.append());
}

void CustomerTab::BitBtn15Click() {
    if (list_.selected() >= 0)
        startEditing(list_.selected());
}

void CustomerTab::BitBtn16Click() {
    const int row = list_.selected();
    if (row < 0)
        return;
    if (dialogs().question(this, QStringLiteral("Löschen"),
                           QStringLiteral("Wollen Sie den Kunden wirklich löschen?")) ==
        Dialogs::Answer::Yes)
        list_.remove(row);
}

void CustomerTab::BitBtn17Click() {
    const int row = list_.selected();
    if (row >= 0)
        emit customerTakenOver(toQString(list_.name(row)));
}

void CustomerTab::BitBtn18Click() {
    const int row = list_.searchFirst(SuchEd->text().toStdU16String());
    if (row >= 0)
        showFound(row);
}

void CustomerTab::BitBtn19Click() {
    const int row = list_.searchNext(SuchEd->text().toStdU16String());
    if (row >= 0)
        showFound(row);
}

void CustomerTab::ListView1DblClick() {
    BitBtn17Click();
}

void CustomerTab::showFound(int row) {
    const QRect rect = ListView1->visualRect(model_->index(row));
    if (rect.height() > 0) {
        // The client area's top edge lies above the column header.
        const int fromTop =
            ListView1->viewport()->geometry().top() - ListView1->frameWidth() + rect.top();
        // Whole rows only: the nearest number of rows to the distance, as the platform's report
        // list rounds a scroll by pixels, so the entry lands within half a row of the offset.
        const int distance = fromTop - kFoundOffset;
        const int half = rect.height() / 2;
        const int rows = (distance + (distance < 0 ? -half : half)) / rect.height();
        auto* bar = ListView1->verticalScrollBar();
        bar->setValue(bar->value() + rows);
    }
    ListView1->setFocus(Qt::OtherFocusReason);
}

bool CustomerTab::defaultButtonKey(QKeyEvent* event) {
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        BitBtn14Click();
        return true;
    case Qt::Key_Escape:
        event->accept();
        BitBtn16Click();
        return true;
    default:
        return false;
    }
}

void CustomerTab::keyPressEvent(QKeyEvent* event) {
    if (!defaultButtonKey(event))
        QWidget::keyPressEvent(event);
}

void CustomerTab::showEvent(QShowEvent* event) {
    BitBtn14->setDefault(true);
    QWidget::showEvent(event);
}

void CustomerTab::hideEvent(QHideEvent* event) {
    BitBtn14->setDefault(false);
    QWidget::hideEvent(event);
}

} // namespace pyrelto
