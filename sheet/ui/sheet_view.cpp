#include "sheet_view.h"

#include "field_frames.h"
#include "qt_text.h"
#include "spin_edit_widget.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QWheelEvent>
#include <QtMath>
#include <optional>

namespace pyrelto {

namespace {

// A box cuts what it is given to its limit and writes the cut text back to the field, so the
// limit (32767 by default) is lifted to what a field may hold: a long text from a file is shown
// and saved whole.
constexpr int kTextBoxMaxLength = static_cast<int>(kMaxTextLength);

constexpr int kCaptionY = 8;
constexpr int kFieldY = 24;
constexpr int kFieldHeight = 21;
constexpr int kUnitX = 616;
constexpr int kPresetX = 640;
constexpr QSize kPresetSize{137, 25};

// A description longer than its box: away from the keyboard the box shows the beginning (where
// QLineEdit would leave the end of the last edit in view), and the whole text is a hover away,
// as for the numbers.
void showStartAndHintCut(QLineEdit* edit) {
    const int frame =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    const QMargins margins = edit->textMargins();
    // QLineEdit keeps a margin of two pixels on each side of its text.
    const int room =
        edit->contentsRect().width() - 2 * frame - margins.left() - margins.right() - 4;
    const QString hint =
        edit->fontMetrics().horizontalAdvance(edit->text()) <= room ? QString() : edit->text();
    if (edit->toolTip() != hint) {
        edit->setToolTip(hint);
    }
    if (!edit->hasFocus()) {
        edit->setCursorPosition(0);
    }
}

} // namespace

int dropDownRowHeight(const QFontMetrics& metrics) {
    // The text is centred on the line height; the marks above the capitals need as much room
    // again below it to stay inside the row.
    const int above =
        qMax(0, -metrics.boundingRect(QStringLiteral("ÄÖÜ")).top() - metrics.ascent());
    return metrics.height() + 2 * above + 4;
}

namespace {

// The sheet's captions are plain one-line texts in one font, many of them repeated ("Summe:"); a
// label asked for its own size would lay out its text each time. One set of font metrics measures
// each text once, as wide as the label would make itself.
class CaptionSizes {
public:
    QSize of(const QLabel& label) {
        if (!metrics_ || label.font() != font_) {
            font_ = label.font();
            metrics_.emplace(font_);
            height_ = QFontMetrics(font_).height();
            widths_.clear();
        }
        auto found = widths_.constFind(label.text());
        if (found == widths_.constEnd()) {
            // Rounded up, as a label's own layout rounds a text's width.
            found = widths_.insert(label.text(), qCeil(metrics_->horizontalAdvance(label.text())));
        }
        const QMargins margins = label.contentsMargins();
        return {*found + margins.left() + margins.right(),
                height_ + margins.top() + margins.bottom()};
    }

private:
    QFont font_;
    std::optional<QFontMetricsF> metrics_;
    int height_ = 0;
    QHash<QString, int> widths_;
};

QLabel* addLabel(CaptionSizes& sizes, const QString& text, QWidget* parent, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(QRect(QPoint(x, y), sizes.of(*label)));
    return label;
}

// The words a screen reader says for a field: its caption, and for a row of a group the group and
// the row's number, so that the five "Summe:" fields can be told apart.
QString spokenName(const FieldInfo& info) {
    QString caption = toQString(info.caption).trimmed();
    if (caption.endsWith(u':')) {
        caption.chop(1);
    }
    if (caption.isEmpty()) {
        caption = info.id == FieldId::Waehr15Ed
                      ? QStringLiteral("Währung")
                      : QString::fromLatin1(info.name.data(), qsizetype(info.name.size()));
    }
    const RowInfo& row = rowInfo(info.row);
    if (!row.governedBy) {
        return caption;
    }
    QString group;
    switch (*row.governedBy) {
    case FieldId::AnzZeilenEd:
        group = QStringLiteral("Material");
        break;
    case FieldId::AnzSonstEd:
        group = QStringLiteral("Sonstiges");
        break;
    case FieldId::AnzStueckEd:
        group = QStringLiteral("Stück");
        break;
    default:
        group = QStringLiteral("Lage");
        break;
    }
    return QStringLiteral("%1, %2 %3").arg(caption, group).arg(row.number);
}

// Drop-down rows tall enough for the dots of capital umlauts: some faces reach above their own
// ascent with them, and a row sized from the ascent cuts them off ("Ömer" without dots).
class DropDownRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(qMax(size.height(), dropDownRowHeight(option.fontMetrics)));
        return size;
    }
};

void paintBase(QWidget* widget, FieldColour colour) {
    const auto rgb = colourRgb(colour);
    if (!rgb) {
        return; // the window colour: the platform's own
    }
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Base, QColor(rgb->r, rgb->g, rgb->b));
    pal.setColor(QPalette::Text, Qt::black);
    widget->setPalette(pal);
}

} // namespace

SheetView::SheetView(Sheet& sheet, QWidget* parent) : QScrollArea(parent), sheet_(sheet) {
    setObjectName(QStringLiteral("ScrollBox1"));
    setAccessibleName(QStringLiteral("Kalkulation"));

    // Tab goes from the tab bar straight to the first field; a focused scroll box would be an
    // invisible stop whose arrow keys scroll the sheet. Fields scrolled into view on focus all
    // the same.
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::Base);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setWidgetResizable(false);
    content_ = new QWidget;
    content_->setBackgroundRole(QPalette::Base);
    content_->setAutoFillBackground(true);
    build();
    setWidget(content_);
    // Over a scroll bar as well, the window's step is the only one.
    verticalScrollBar()->installEventFilter(this);
    horizontalScrollBar()->installEventFilter(this);
    sheet_.addObserver(this);
    relayout();
}

SheetView::~SheetView() {
    sheet_.removeObserver(this);
    for (const FieldInfo& info : fieldCatalogue()) {
        if (info.kind == FieldKind::Text) {
            sheet_.text(info.id).removeObserver(this);
        }
    }
}

void SheetView::onRowShown(RowId id, bool shown) {
    row(id)->setVisible(shown);
    relayout();
}

void SheetView::onTextShown(TextField& field) {
    for (const FieldInfo& info : fieldCatalogue()) {
        if (info.kind != FieldKind::Text || &sheet_.text(info.id) != &field) {
            continue;
        }
        const QString shown = toQString(field.text());
        if (auto* combo = qobject_cast<QComboBox*>(fieldWidget(info.id))) {
            if (combo->currentText() != shown) {
                combo->setEditText(shown);
            }
        } else if (auto* edit = qobject_cast<QLineEdit*>(fieldWidget(info.id))) {
            if (edit->text() != shown) {
                edit->setText(shown);
                showStartAndHintCut(edit);
            }
        }
        return;
    }
}

void SheetView::build() {
    const auto fields = fieldCatalogue();
    CaptionSizes sizes;
    for (const RowInfo& r : rowCatalogue()) {
        auto* rowWidget = new QWidget(content_);
        rowWidget->setObjectName(
            QString::fromLatin1(r.container.data(), static_cast<qsizetype>(r.container.size())));
        rows_[static_cast<std::size_t>(r.id)] = rowWidget;
        for (const FieldInfo& info : fields) {
            if (info.row != r.id) {
                continue;
            }
            QWidget* w = buildField(info, rowWidget);
            fields_[static_cast<std::size_t>(info.id)] = w;
            if (!info.caption.empty()) {
                QLabel* caption =
                    addLabel(sizes, toQString(info.caption), rowWidget, info.x, kCaptionY);
                caption->setBuddy(w);
                captions_[static_cast<std::size_t>(info.id)] = caption;
            }
            if (info.unitAfter) {
                QLabel* unit = addLabel(sizes, QStringLiteral("m²"), rowWidget, kUnitX, kFieldY);
                unit->move(kUnitX, kFieldY + (kFieldHeight - unit->height()) / 2);
            }
        }
        const auto materials = materialRows();
        for (std::size_t m = 0; m < materials.size(); ++m) {
            if (materials[m].row != r.id) {
                continue;
            }
            for (int load = 0; load < 2; ++load) {
                auto* button = new QPushButton(load != 0 ? QStringLiteral("Material laden...")
                                                         : QStringLiteral("Material speichern..."),
                                               rowWidget);
                button->setObjectName(QStringLiteral("BitBtn%1").arg(2 * m + 1 + load));
                button->setGeometry(QRect(QPoint(kPresetX, load != 0 ? kFieldY : 0), kPresetSize));
                // Five rows have the same two buttons: the row tells them apart when spoken.
                button->setAccessibleName(QStringLiteral("%1, Material %2")
                                              .arg(load != 0 ? QStringLiteral("Material laden")
                                                             : QStringLiteral("Material speichern"))
                                              .arg(m + 1));
                presetButtons_[2 * m + static_cast<std::size_t>(load)] = button;
            }
        }
        rowWidget->setVisible(sheet_.shown(r.id));
        rowWidget->installEventFilter(this);
    }
}

void SheetView::paintFieldFrames(QWidget* rowWidget) {
    // Uncoloured fields only: the colours that mark a field's role set it off on any desktop.
    const auto colour = fieldFrameColour(rowWidget->palette());
    if (!colour) {
        return;
    }
    QPainter painter(rowWidget);
    painter.setPen(*colour);
    painter.setBrush(Qt::NoBrush);
    for (const FieldInfo& info : fieldCatalogue()) {
        if (info.colour != FieldColour::Window ||
            rows_[static_cast<std::size_t>(info.row)] != rowWidget) {
            continue;
        }
        drawFieldFrame(painter, *fieldWidget(info.id));
    }
}

QWidget* SheetView::buildField(const FieldInfo& info, QWidget* rowWidget) {
    QWidget* widget = nullptr;
    if (info.id == FieldId::KundeEd) {
        auto* combo = new QComboBox(rowWidget);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // A new customer "Bauer" must stay "Bauer" beside "Bauer GmbH": the completer would
        // write the rest of a listed name into the field, and with it gone the box matches
        // names case-sensitively, so "meier" is not turned into "Meier" on leaving.
        combo->setCompleter(nullptr);
        combo->setItemDelegate(new DropDownRowDelegate(combo));
        combo->lineEdit()->setMaxLength(kTextBoxMaxLength);
        TextField& field = sheet_.text(info.id);
        combo->setEditText(toQString(field.text()));
        field.addObserver(this);
        connect(combo, &QComboBox::editTextChanged, this, [&field](const QString& text) {
            std::u16string edited = text.toStdU16String();
            if (edited != field.text()) {
                field.setText(std::move(edited));
            }
        });
        // Under the pointer but not focused, the list must not flip through its names.
        combo->installEventFilter(this);
        widget = combo;
    } else if (info.kind == FieldKind::Text) {
        auto* edit = new QLineEdit(rowWidget);
        edit->setMaxLength(kTextBoxMaxLength);
        TextField& field = sheet_.text(info.id);
        edit->setText(toQString(field.text()));
        field.addObserver(this);
        connect(edit, &QLineEdit::textChanged, this, [&field, edit](const QString& text) {
            std::u16string edited = text.toStdU16String();
            if (edited != field.text()) {
                field.setText(std::move(edited));
            }
            showStartAndHintCut(edit);
        });
        connect(edit, &QLineEdit::editingFinished, edit, [edit] { showStartAndHintCut(edit); });
        widget = edit;
    } else {
        widget = new SpinEditWidget(sheet_.number(info.id), rowWidget);
    }
    widget->setObjectName(
        QString::fromLatin1(info.name.data(), static_cast<qsizetype>(info.name.size())));
    widget->setGeometry(info.x, kFieldY, info.width, kFieldHeight);
    if (info.kind == FieldKind::Text && info.id != FieldId::KundeEd) {
        showStartAndHintCut(static_cast<QLineEdit*>(widget));
    }
    widget->setAccessibleName(spokenName(info));
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // The typing goes into the combo's own line edit, which a screen reader announces apart.
        combo->lineEdit()->setAccessibleName(widget->accessibleName());
    }
    paintBase(widget, info.colour);
    return widget;
}

SpinEditWidget* SheetView::numberWidget(FieldId id) const {
    return isNumeric(id) ? static_cast<SpinEditWidget*>(fieldWidget(id)) : nullptr;
}

QLineEdit* SheetView::textWidget(FieldId id) const {
    return !isNumeric(id) && id != FieldId::KundeEd ? static_cast<QLineEdit*>(fieldWidget(id))
                                                    : nullptr;
}

QComboBox* SheetView::kundeEd() const {
    return static_cast<QComboBox*>(fieldWidget(FieldId::KundeEd));
}

QPushButton* SheetView::presetButton(int materialRow, bool load) const {
    if (materialRow < 0 || materialRow >= 5) {
        return nullptr;
    }
    return presetButtons_[2 * static_cast<std::size_t>(materialRow) + (load ? 1 : 0)];
}

int SheetView::shownRowsHeight() const {
    int height = 0;
    for (const RowInfo& r : rowCatalogue()) {
        if (sheet_.shown(r.id)) {
            height += kRowHeight;
        }
    }
    return height;
}

void SheetView::relayout() {
    const QSize available = maximumViewportSize();
    const int height = shownRowsHeight();
    int width = available.width();
    if (height > available.height()) {
        width -= verticalScrollBar()->sizeHint().width();
    }
    width = qMax(width, kMinimumRowWidth);
    int y = 0;
    for (QWidget* r : rows_) {
        if (!r->isHidden()) {
            r->setGeometry(0, y, width, kRowHeight);
            y += kRowHeight;
        }
    }
    content_->resize(width, y);
}

void SheetView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    relayout();
}

void SheetView::wheelEvent(QWheelEvent* event) {
    // The window scrolls the sheet by its own steps; scrolling here as well would move it twice.
    event->ignore();
}

bool SheetView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched->parent() == content_) {
        paintFieldFrames(static_cast<QWidget*>(watched));
        return false;
    }
    if (event->type() == QEvent::Wheel &&
        ((watched == kundeEd() && !kundeEd()->hasFocus()) || watched == verticalScrollBar() ||
         watched == horizontalScrollBar())) {
        event->ignore();
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace pyrelto
