#pragma once
// The widget that presents one numeric field (TRxSpinEdit): right-aligned text with a spin button
// at its right end. It never computes: typing, spin steps, leaving and pasting are handed to the
// field, and the widget shows whatever text the field then holds.

#include "rx_spin_edit.h"

#include <QLineEdit>
#include <QTimer>

class QMenu;

namespace pyrelto {

class SpinEditWidget;

// The square spin button, split by its diagonal from the lower-left to the upper-right corner:
// a press in the upper-left half steps up, in the lower-right half down. Held down, it repeats
// after kInitialRepeatMs and then every kRepeatMs (unless told other times), pausing while the
// pointer is outside the pressed half.
class SpinButton final : public QWidget {
public:
    static constexpr int kInitialRepeatMs = 400;
    static constexpr int kRepeatMs = 100;

    enum class Half { None, Up, Down };

    explicit SpinButton(SpinEditWidget& field);
    Half halfAt(QPointF pos) const;
    Half pressedHalf() const noexcept { return pressed_; }
    // Tests shorten the times, so that a held button repeats within milliseconds.
    void setRepeatTiming(int initialMs, int repeatMs) noexcept {
        initialRepeatMs_ = initialMs;
        repeatMs_ = repeatMs;
    }
    int initialRepeatMs() const noexcept { return initialRepeatMs_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void repeat();
    void stop();

    SpinEditWidget& field_;
    QTimer repeatTimer_;
    Half pressed_ = Half::None;
    bool pointerInside_ = false;
    int initialRepeatMs_ = kInitialRepeatMs;
    int repeatMs_ = kRepeatMs;
};

class SpinEditWidget final : public QLineEdit, private TRxSpinEditObserver {
public:
    // Shows `field` and keeps showing it; the widget must go before the field does.
    explicit SpinEditWidget(TRxSpinEdit& field, QWidget* parent = nullptr);
    ~SpinEditWidget() override;
    SpinEditWidget(const SpinEditWidget&) = delete;
    SpinEditWidget& operator=(const SpinEditWidget&) = delete;

    TRxSpinEdit& field() noexcept { return field_; }
    SpinButton* spinButton() const noexcept { return button_; }

    // The context menu the widget shows: the standard one, its "Paste" checked like a keyboard
    // paste. The caller owns it.
    QMenu* createContextMenu();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class SpinButton;

    // A press on the spin button: the focus comes into the field first (entering it, which
    // selects its text), then one step.
    void stepFromButton(bool up);
    friend class SpinFieldAccessible;
    void step(bool up);
    // Replaces the selection by `clip` like any text box, then lets the field check the result.
    void pasteText(const QString& clip);
    // While the menu bar holds the keyboard: the focus went on to `now`.
    void focusMovedOnFromMenuBar(QWidget* now);
    void showFieldText();
    // The focus went to another control of this window.
    void leaveField();
    // Whether the whole text fits between the frame and the spin button.
    bool textFits() const;
    // The whole value as the tooltip while it does not fit, none while it does.
    void updateCutHint();
    void onTextShown(TRxSpinEdit& field) override;
    void textEdited(const QString& text);
    template <class F> void guarded(F&& action);

    TRxSpinEdit& field_;
    SpinButton* button_ = nullptr;
    bool pasting_ = false;
    // The focus arrived with the mouse press now being handled; a press on the spin button is
    // not a click in the text, so the field is entered as by the keyboard.
    bool enteredByMouse_ = false;
    QMetaObject::Connection menuBarWatch_;
};

} // namespace pyrelto
