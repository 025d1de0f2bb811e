#include "spin_edit_widget.h"

#include "dialogs.h"
#include "qt_text.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFrame>
#include <utility>

namespace pyrelto {

namespace {

bool isControlText(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= u' ') {
            return false;
        }
    }
    return true;
}

} // namespace

// A screen reader meets a numeric field as what it is, a spin box: its value, limits and step,
// and the actions "increase" and "decrease" taking the spin button's path (the button itself is
// a picture no one can tab to). Setting the value goes through the field as a typed value does.
class SpinFieldAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SpinFieldAccessible(SpinEditWidget* widget)
        : QAccessibleWidget(widget, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            return edit()->text();
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = edit()->isReadOnly();
        state.editable = !edit()->isReadOnly();
        return state;
    }

    QVariant currentValue() const override {
        return static_cast<double>(edit()->field_.GetValue());
    }
    void setCurrentValue(const QVariant& value) override {
        SpinEditWidget* field = edit();
        if (field->isReadOnly() || !value.canConvert<double>()) {
            return;
        }
        field->guarded([&] { field->field_.SetValue(value.toDouble()); });
    }
    QVariant maximumValue() const override {
        const TRxSpinEdit& field = edit()->field_;
        return field.checkMaxValue() ? QVariant(static_cast<double>(field.maxValue())) : QVariant();
    }
    QVariant minimumValue() const override {
        const TRxSpinEdit& field = edit()->field_;
        return field.checkMinValue() ? QVariant(static_cast<double>(field.minValue())) : QVariant();
    }
    QVariant minimumStepSize() const override {
        return static_cast<double>(edit()->field_.increment());
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (!edit()->isReadOnly()) {
            names << increaseAction() << decreaseAction();
        }
        return names;
    }
    void doAction(const QString& name) override {
        SpinEditWidget* field = edit();
        if (!field->isReadOnly() && (name == increaseAction() || name == decreaseAction())) {
            field->stepFromButton(name == increaseAction());
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    SpinEditWidget* edit() const { return static_cast<SpinEditWidget*>(widget()); }
};

namespace {

QAccessibleInterface* spinFieldAccessible(const QString& /*className*/, QObject* object) {
    // The widget has no meta-object of its own: it is known by its C++ type.
    if (auto* field = dynamic_cast<SpinEditWidget*>(object)) {
        return new SpinFieldAccessible(field);
    }
    return nullptr;
}

} // namespace

SpinButton::SpinButton(SpinEditWidget& field) : QWidget(&field), field_(field) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    repeatTimer_.callOnTimeout(this, [this] { repeat(); });
}

SpinButton::Half SpinButton::halfAt(QPointF pos) const {
    const qreal w = width();
    const qreal h = height();
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= w || pos.y() >= h) {
        return Half::None;
    }
    // Above the line from (0, h) to (w, 0): x / w + y / h < 1.
    return pos.x() * h + pos.y() * w < w * h ? Half::Up : Half::Down;
}

void SpinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const qreal w = width();
    const qreal h = height();

    QPainterPath upper;
    upper.moveTo(0, 0);
    upper.lineTo(w, 0);
    upper.lineTo(0, h);
    upper.closeSubpath();
    QPainterPath lower;
    lower.moveTo(w, 0);
    lower.lineTo(w, h);
    lower.lineTo(0, h);
    lower.closeSubpath();
    const bool held = pointerInside_;
    p.fillPath(upper, pressed_ == Half::Up && held ? pal.mid() : pal.button());
    p.fillPath(lower, pressed_ == Half::Down && held ? pal.mid() : pal.button());

    p.setPen(QPen(pal.color(QPalette::Dark), 1));
    p.drawLine(QPointF(0, h), QPointF(w, 0));
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));

    // A small arrow in the middle of each half.
    const qreal a = qMax<qreal>(2.0, w / 6.0);
    const QPointF up(w * 0.32, h * 0.32);
    const QPointF down(w * 0.68, h * 0.68);
    p.setPen(Qt::NoPen);
    p.setBrush(isEnabled() ? pal.buttonText() : pal.mid());
    p.drawPolygon(QPolygonF{
        {up.x() - a, up.y() + a / 2}, {up.x() + a, up.y() + a / 2}, {up.x(), up.y() - a / 2}});
    p.drawPolygon(QPolygonF{{down.x() - a, down.y() - a / 2},
                            {down.x() + a, down.y() - a / 2},
                            {down.x(), down.y() + a / 2}});
}

void SpinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = halfAt(event->position());
    pointerInside_ = pressed_ != Half::None;
    update();
    if (pressed_ == Half::None) {
        return;
    }
    repeatTimer_.start(initialRepeatMs_);
    field_.stepFromButton(pressed_ == Half::Up);
}

void SpinButton::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_ == Half::None) {
        return;
    }
    const bool inside = halfAt(event->position()) == pressed_;
    if (inside != pointerInside_) {
        pointerInside_ = inside;
        update();
    }
}

void SpinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        stop();
    }
}

void SpinButton::repeat() {
    repeatTimer_.setInterval(repeatMs_);
    if (pressed_ != Half::None && pointerInside_) {
        field_.step(pressed_ == Half::Up);
    }
}

void SpinButton::stop() {
    repeatTimer_.stop();
    pressed_ = Half::None;
    pointerInside_ = false;
    update();
}

SpinEditWidget::SpinEditWidget(TRxSpinEdit& field, QWidget* parent)
    : QLineEdit(parent), field_(field), button_(new SpinButton(*this)) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Every way text enters goes through the typing filter or the paste check; dropped text and
    // input-method composition would go around both.
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    static const bool accessibleAsSpinBox = [] {
        QAccessible::installFactory(spinFieldAccessible);
        return true;
    }();
    (void)accessibleAsSpinBox;
    QLineEdit::setText(toQString(field_.text()));
    field_.addObserver(this);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& t) { textEdited(t); });
}

SpinEditWidget::~SpinEditWidget() {
    field_.removeObserver(this);
}

void SpinEditWidget::onTextShown(TRxSpinEdit& /*field*/) {
    showFieldText();
}

template <class F> void SpinEditWidget::guarded(F&& action) {
    try {
        std::forward<F>(action)();
    } catch (...) {
        reportCurrentException(this);
    }
}

void SpinEditWidget::showFieldText() {
    const QString shown = toQString(field_.text());
    if (shown != text()) {
        QLineEdit::setText(shown);
    }
}

bool SpinEditWidget::textFits() const {
    QStyleOptionFrame option;
    initStyleOption(&option);
    QRect room = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    room = room.marginsRemoved(textMargins());
    // QLineEdit keeps a margin of two pixels on each side of its text.
    return fontMetrics().horizontalAdvance(text()) <= room.width() - 4;
}

void SpinEditWidget::updateCutHint() {
    // A value cut at the left shows no sign of it; the whole of it is a hover away.
    const QString hint = textFits() ? QString() : text();
    if (toolTip() != hint) {
        setToolTip(hint);
    }
}

void SpinEditWidget::textEdited(const QString& text) {
    updateCutHint();
    if (pasting_) {
        return;
    }
    std::u16string edited = text.toStdU16String();
    if (edited != field_.text()) {
        guarded([&] { field_.setText(std::move(edited)); });
    }
}

void SpinEditWidget::step(bool up) {
    guarded([&] {
        if (up) {
            field_.UpClick();
        } else {
            field_.DownClick();
        }
    });
}

void SpinEditWidget::stepFromButton(bool up) {
    if (!hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    } else if (enteredByMouse_) {
        selectAll();
    }
    enteredByMouse_ = false;
    step(up);
}

void SpinEditWidget::pasteText(const QString& clip) {
    if (isReadOnly()) {
        return;
    }
    pasting_ = true;
    insert(clip);
    pasting_ = false;
    guarded([&] { field_.paste(text().toStdU16String()); });
}

void SpinEditWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        step(event->key() == Qt::Key_Up);
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteText(QGuiApplication::clipboard()->text(QClipboard::Clipboard));
        event->accept();
        return;
    }
    const QString typed = event->text();
    const Qt::KeyboardModifiers mods = event->modifiers();
    // Ctrl combinations are the text box's own commands (Ctrl+Alt is AltGr typing). With any
    // other modifier a printable character is typed and goes through the filter; the text box
    // would otherwise insert it as it stands (Meta+A gives "a").
    const bool command = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
    if (typed.isEmpty() || command || isControlText(typed)) {
        // Editing keys, Enter and Esc: Enter and Esc stay unhandled so that the window's default
        // and cancel buttons get them.
        QLineEdit::keyPressEvent(event);
        return;
    }
    QString accepted;
    for (const QChar c : typed) {
        if (!field_.IsValidChar(c.unicode())) {
            dialogs().beep();
            event->accept();
            return;
        }
        accepted += QChar(field_.typedChar(c.unicode()));
    }
    if (!isReadOnly()) {
        insert(accepted);
    }
    event->accept();
}

void SpinEditWidget::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    enteredByMouse_ = event->reason() == Qt::MouseFocusReason;
    // QLineEdit selects on Tab, Backtab and shortcuts; a programmatic entry counts as well. A
    // click in the text places the cursor instead, and coming back from a popup or from another
    // application is no entering.
    if (event->reason() == Qt::OtherFocusReason) {
        selectAll();
    }
}

void SpinEditWidget::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    enteredByMouse_ = false;
    // A popup or a switch to another window keeps the text as typed: leaving means the focus
    // went to another control of this window.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) {
        return;
    }
    if (event->reason() == Qt::MenuBarFocusReason) {
        // The menu bar holds the keyboard only while the user looks at the menu (Alt); the field
        // is left only if the focus then goes on to another control rather than coming back.
        QObject::disconnect(menuBarWatch_);
        menuBarWatch_ = connect(qApp, &QApplication::focusChanged, this,
                                [this](QWidget*, QWidget* now) { focusMovedOnFromMenuBar(now); });
        return;
    }
    const QWidget* now = QApplication::focusWidget();
    if (now == nullptr || now->window() != window()) {
        return;
    }
    leaveField();
}

void SpinEditWidget::leaveField() {
    guarded([&] { field_.leave(); });
    // A value too wide for the field shows its end, where the decimals are, also when the cursor
    // was left in the middle of it.
    end(false);
}

void SpinEditWidget::focusMovedOnFromMenuBar(QWidget* now) {
    if (now == nullptr || qobject_cast<QMenuBar*>(now) != nullptr) {
        return;
    }
    QObject::disconnect(menuBarWatch_);
    if (now != this && now->window() == window()) {
        leaveField();
    }
}

void SpinEditWidget::mousePressEvent(QMouseEvent* event) {
    const bool entering = enteredByMouse_;
    enteredByMouse_ = false;
    QLineEdit::mousePressEvent(event);
    // Only a left click in the text places the cursor on entering; the right button (about to
    // open the context menu) or the middle one enters the field like the keyboard.
    if (entering && event->button() != Qt::LeftButton) {
        selectAll();
    }
}

void SpinEditWidget::mouseReleaseEvent(QMouseEvent* event) {
    // The selection paste of the middle button is a paste like any other.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        deselect();
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        pasteText(QGuiApplication::clipboard()->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

QMenu* SpinEditWidget::createContextMenu() {
    QMenu* menu = createStandardContextMenu();
    for (QAction* action : menu->actions()) {
        // Found by the text Qt gives it (the object name came only with later versions).
        if (action->objectName() == QStringLiteral("edit-paste") ||
            action->text().section(QLatin1Char('\t'), 0, 0) == QLineEdit::tr("&Paste")) {
            action->setObjectName(QStringLiteral("edit-paste"));
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this] {
                pasteText(QGuiApplication::clipboard()->text(QClipboard::Clipboard));
            });
        }
    }
    return menu;
}

void SpinEditWidget::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void SpinEditWidget::wheelEvent(QWheelEvent* event) {
    // The wheel belongs to the window, which scrolls the sheet.
    event->ignore();
}

void SpinEditWidget::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int side = qMax(1, height() - 2 * frame);
    button_->setGeometry(width() - frame - side, frame, side, side);
    setTextMargins(0, 0, side, 0);
    updateCutHint();
}

} // namespace pyrelto
