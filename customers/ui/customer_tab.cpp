#include "customer_tab.h"

#include "button_pictures.h"
#include "customer_list_model.h"
#include "dialogs.h"
#include "field_frames.h"
#include "qt_text.h"
#include "rx_spin_edit.h"

#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
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

// Rows as high as the platform's report lists make them for a small font: the text plus a few
// pixels, so that descenders fit. The in-place editor is a framed box on the base colour, a
// little taller than its row: without a frame, a new empty entry being typed into could not be
// told from the list around it.
class RowDelegate final : public QStyledItemDelegate {
public:
    explicit RowDelegate(QObject* parent) : QStyledItemDelegate(parent) {
        // Closed by the view (focus left it, Enter, Escape): its deletion is only pending.
        connect(this, &QAbstractItemDelegate::closeEditor, this, [this](QWidget* editor) {
            if (openEditor_ == editor)
                openEditor_ = nullptr;
        });
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), option.fontMetrics.height() + 4));
        return size;
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        // Left at its default limit of 32767, the editor would cut a long name and store the cut
        // name, although the user only looked at it.
        editor->setMaxLength(static_cast<int>(kMaxTextLength));
        editor->setObjectName(QStringLiteral("CustomerNameEditor"));
        editor->setFrame(true);
        editor->setAutoFillBackground(true);
        editor->setBackgroundRole(QPalette::Base);
        editor->setPlaceholderText(QStringLiteral("Kundenname eingeben"));
        openEditor_ = editor;
        return editor;
    }
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        QRect rect = option.rect;
        const int height = std::max(rect.height(), editor->sizeHint().height());
        rect.setTop(rect.center().y() - height / 2);
        rect.setHeight(height);
        editor->setGeometry(rect);
    }
    // The editor open now, if any. The view hides an editor it closes on its own (the row went
    // away, the model was reset) before deleting it later.
    QWidget* openEditor() const {
        return openEditor_ && !openEditor_->isHidden() ? openEditor_.data() : nullptr;
    }

private:
    mutable QPointer<QWidget> openEditor_;
};

// The button panel keeps its designed places; a window narrower than the panel scrolls it
// sideways instead of cutting off the buttons at its right end.
class PanelScroller final : public QScrollArea {
public:
    PanelScroller(QWidget* panel, int panelHeight, QWidget* parent)
        : QScrollArea(parent), panelHeight_(panelHeight) {
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::NoFocus);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setWidgetResizable(true);
        setWidget(panel);
        setFixedHeight(panelHeight_);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QScrollArea::resizeEvent(event);
        // Room for the bar below the panel rather than over its lower buttons.
        const bool narrow = width() < widget()->minimumWidth();
        setFixedHeight(panelHeight_ + (narrow ? horizontalScrollBar()->sizeHint().height() : 0));
    }

private:
    int panelHeight_;
};

} // namespace

// The combo's text is the sheet's customer, not one of its items. A combo reacts to changes of its
// model by taking the first item as its text, or the renamed one, or none; around every change of
// the list this puts its text back, without a word to those who listen to the combo.
class CustomerTab::ComboKeeper final : public CustomerListObserver {
public:
    explicit ComboKeeper(CustomerTab& tab) : tab_(tab) {}

    // After the user picked an item, the combo holds the item's text but is tied to it no more.
    void untieFromItem() {
        QComboBox* combo = tab_.combo_;
        if (!combo || combo->currentIndex() < 0 || depth_ > 0)
            return;
        hold();
        release();
    }

    void hold() {
        QComboBox* combo = tab_.combo_;
        if (depth_++ > 0 || !combo)
            return;
        text_ = combo->currentText();
        comboBlocked_ = combo->blockSignals(true);
        if (QLineEdit* edit = combo->lineEdit()) {
            cursor_ = edit->cursorPosition();
            editBlocked_ = edit->blockSignals(true);
        }
    }

    void release() {
        QComboBox* combo = tab_.combo_;
        if (--depth_ > 0 || !combo)
            return;
        if (combo->currentIndex() != -1)
            combo->setCurrentIndex(-1);
        if (combo->currentText() != text_) {
            combo->setEditText(text_);
            if (QLineEdit* edit = combo->lineEdit())
                edit->setCursorPosition(cursor_);
        }
        if (QLineEdit* edit = combo->lineEdit())
            edit->blockSignals(editBlocked_);
        combo->blockSignals(comboBlocked_);
    }

private:
    void aboutToInsert(int) override { hold(); }
    void inserted(int) override { release(); }
    void aboutToRemove(int) override { hold(); }
    void removed(int) override { release(); }
    void aboutToClear() override { hold(); }
    void cleared() override { release(); }
    void aboutToSort() override { hold(); }
    void sorted(std::span<const int>) override { release(); }
    void bulkUpdateBegun() override { hold(); }
    void bulkUpdateEnded() override { release(); }

    CustomerTab& tab_;
    int depth_ = 0;
    QString text_;
    int cursor_ = 0;
    bool comboBlocked_ = false;
    bool editBlocked_ = false;
};

CustomerTab::CustomerTab(QWidget* parent, Widgets widgets)
    : QWidget(parent), list_(localeCompare()) {
    model_ = new CustomerListModel(list_, this);
    comboKeeper_ = std::make_unique<ComboKeeper>(*this);
    list_.addObserver(comboKeeper_.get());
    // The layout is there from the start, so that the page lays out the same whenever the
    // widgets come.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (widgets == Widgets::AtOnce)
        buildWidgets();
}

void CustomerTab::ensureWidgets() {
    if (!hasWidgets())
        buildWidgets();
}

void CustomerTab::buildWidgets() {
    Panel26 = new QFrame;
    Panel26->setObjectName(QStringLiteral("Panel26"));
    Panel26->setFrameShape(QFrame::NoFrame);
    Panel26->setFixedHeight(kPanelHeight);

    auto button = [this](const char* name, const QString& caption, int x, int y, int width,
                         ButtonPicture picture) {
        auto* b = new QPushButton(buttonPicture(picture), caption, Panel26);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, width, kButtonHeight);
        // Enter on a focused button presses that button, as the platform's buttons do.
        b->setAutoDefault(true);
        return b;
    };
    BitBtn14 =
        button("BitBtn14", QStringLiteral("Neuer Kunde"), 8, 8, 121, ButtonPicture::NewEntry);
    BitBtn15 =
        button("BitBtn15", QStringLiteral("Eintrag bearbeiten"), 136, 8, 153, ButtonPicture::Edit);
    BitBtn16 = button("BitBtn16", QStringLiteral("Löschen"), 296, 8, 121, ButtonPicture::Delete);
    BitBtn17 = button("BitBtn17", QStringLiteral("Kunde in Kalkulation übernehmen..."), 8, 40, 225,
                      ButtonPicture::TakeOver);
    BitBtn18 = button("BitBtn18", QStringLiteral("Suchen"), 432, 40, 105, ButtonPicture::Search);
    BitBtn19 =
        button("BitBtn19", QStringLiteral("Weiter suchen"), 544, 40, 105, ButtonPicture::Search);

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
    SuchEd->setAccessibleName(QStringLiteral("Suchtext"));
    keepFieldsFramed({SuchEd});

    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Kundenliste"));
    ListView1->setModel(model_);
    rowDelegate_ = new RowDelegate(ListView1);
    ListView1->setItemDelegate(rowDelegate_);
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

    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    // The rightmost button's end plus the margin the panel keeps at its left.
    Panel26->setMinimumWidth(BitBtn19->geometry().right() + 1 + BitBtn14->x());
    auto* panelScroller = new PanelScroller(Panel26, kPanelHeight, this);
    // Screen readers go through the children in the order they were made: the panel above the
    // list comes first, or its buttons are read as if they followed the list's column header.
    panelScroller->stackUnder(ListView1);
    layout->addWidget(panelScroller);
    layout->addWidget(ListView1, 1);
    // Made as the tab is shown: a layout would show them only an event later, and the first
    // picture of the page would be empty.
    if (isVisible()) {
        panelScroller->show();
        ListView1->show();
    }

    connect(BitBtn14, &QPushButton::clicked, this, &CustomerTab::BitBtn14Click);
    connect(BitBtn15, &QPushButton::clicked, this, &CustomerTab::BitBtn15Click);
    connect(BitBtn16, &QPushButton::clicked, this, &CustomerTab::BitBtn16Click);
    connect(BitBtn17, &QPushButton::clicked, this, &CustomerTab::BitBtn17Click);
    connect(BitBtn18, &QPushButton::clicked, this, &CustomerTab::BitBtn18Click);
    connect(BitBtn19, &QPushButton::clicked, this, &CustomerTab::BitBtn19Click);
    connect(ListView1, &QAbstractItemView::doubleClicked, this, &CustomerTab::ListView1DblClick);
}

CustomerTab::~CustomerTab() {
    list_.removeObserver(comboKeeper_.get());
    // The model watches list_, which goes before QWidget would delete its children.
    delete model_;
}

void CustomerTab::setCombo(QComboBox* combo) {
    if (combo_)
        disconnect(combo_, nullptr, this, nullptr);
    combo_ = combo;
    if (!combo_)
        return;
    // 200,000 names: the drop-down lays out the rows it shows, not every row, and never measures
    // every name for its width; the field's width is fixed anyway.
    combo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (auto* view = qobject_cast<QListView*>(combo_->view()))
        view->setUniformItemSizes(true);
    connect(combo_, &QComboBox::currentIndexChanged, this,
            [this] { comboKeeper_->untieFromItem(); });
    UpdateCombo();
}

void CustomerTab::UpdateCombo() {
    if (!combo_ || combo_->model() == model_)
        return;
    comboKeeper_->hold();
    combo_->setModel(model_);
    comboKeeper_->release();
}

void CustomerTab::startEditing(int row) {
    ensureWidgets();
    const QModelIndex index = model_->index(row);
    ListView1->setFocus(Qt::OtherFocusReason);
    ListView1->scrollTo(index);
    ListView1->edit(index);
}

void CustomerTab::commitEditing() {
    if (rowDelegate_ == nullptr)
        return;
    QWidget* editor = static_cast<RowDelegate*>(rowDelegate_)->openEditor();
    if (editor == nullptr)
        return;
    emit rowDelegate_->commitData(editor);
    emit rowDelegate_->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool CustomerTab::isEditing() const {
    return rowDelegate_ != nullptr &&
           static_cast<RowDelegate*>(rowDelegate_)->openEditor() != nullptr;
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
    // Escape in the search field asks this: Escape and Enter typed in a hurry keep the customer.
    if (dialogs().question(this, QStringLiteral("Löschen"),
                           QStringLiteral("Wollen Sie den Kunden wirklich löschen?"),
                           Dialogs::Answer::No) == Dialogs::Answer::Yes)
        list_.remove(row);
}

void CustomerTab::BitBtn17Click() {
    const int row = list_.selected();
    if (row >= 0)
        emit customerTakenOver(toQString(list_.name(row)));
}

void CustomerTab::BitBtn18Click() {
    ensureWidgets();
    const int row = list_.searchFirst(SuchEd->text().toStdU16String());
    if (row >= 0)
        showFound(row);
}

void CustomerTab::BitBtn19Click() {
    ensureWidgets();
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
    ensureWidgets();
    BitBtn14->setDefault(true);
    QWidget::showEvent(event);
}

void CustomerTab::hideEvent(QHideEvent* event) {
    // Another tab: the name being typed is kept as entered.
    commitEditing();
    if (BitBtn14 != nullptr)
        BitBtn14->setDefault(false);
    QWidget::hideEvent(event);
}

} // namespace pyrelto
