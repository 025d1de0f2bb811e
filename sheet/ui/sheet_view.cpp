#include "sheet_view.h"

#include "spin_edit_widget.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

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

QString qs(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

QLabel* addLabel(const QString& text, QWidget* parent, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

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
        const QString shown = qs(field.text());
        if (auto* combo = qobject_cast<QComboBox*>(fieldWidget(info.id))) {
            if (combo->currentText() != shown) {
                combo->setEditText(shown);
            }
        } else if (auto* edit = qobject_cast<QLineEdit*>(fieldWidget(info.id))) {
            if (edit->text() != shown) {
                edit->setText(shown);
            }
        }
        return;
    }
}

void SheetView::build() {
    const auto fields = fieldCatalogue();
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
                captions_[static_cast<std::size_t>(info.id)] =
                    addLabel(qs(info.caption), rowWidget, info.x, kCaptionY);
            }
            if (info.unitAfter) {
                QLabel* unit = addLabel(QStringLiteral("m²"), rowWidget, kUnitX, kFieldY);
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
                presetButtons_[2 * m + static_cast<std::size_t>(load)] = button;
            }
        }
        rowWidget->setVisible(sheet_.shown(r.id));
    }
}

QWidget* SheetView::buildField(const FieldInfo& info, QWidget* rowWidget) {
    QWidget* widget = nullptr;
    if (info.id == FieldId::KundeEd) {
        auto* combo = new QComboBox(rowWidget);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->lineEdit()->setMaxLength(kTextBoxMaxLength);
        TextField& field = sheet_.text(info.id);
        combo->setEditText(qs(field.text()));
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
        edit->setText(qs(field.text()));
        field.addObserver(this);
        connect(edit, &QLineEdit::textChanged, this, [&field](const QString& text) {
            std::u16string edited = text.toStdU16String();
            if (edited != field.text()) {
                field.setText(std::move(edited));
            }
        });
        widget = edit;
    } else {
        widget = new SpinEditWidget(sheet_.number(info.id), rowWidget);
    }
    widget->setObjectName(
        QString::fromLatin1(info.name.data(), static_cast<qsizetype>(info.name.size())));
    widget->setGeometry(info.x, kFieldY, info.width, kFieldHeight);
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
    return presetButtons_[static_cast<std::size_t>(2 * materialRow + (load ? 1 : 0))];
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
    if (event->type() == QEvent::Wheel &&
        ((watched == kundeEd() && !kundeEd()->hasFocus()) || watched == verticalScrollBar() ||
         watched == horizontalScrollBar())) {
        event->ignore();
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace pyrelto
