#pragma once
// The numeric entry field. It keeps no number: its value is always read from the text it shows,
// and writing a value replaces the text by the formatted value. OnChange runs, synchronously and
// once, only when the text really changes.

#include "decimal_text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pyrelto {

enum class ValueType { vtInteger, vtFloat, vtHex };

class TRxSpinEdit;

// Listens to one numeric field. Every listener hears every change: a view and the sheet's rule
// listen side by side without replacing each other.
class TRxSpinEditObserver {
public:
    virtual ~TRxSpinEditObserver() = default;
    // The text changed. All listeners hear this before any hears OnChange, so that a view shows
    // the new text before the rule bound to the field runs.
    virtual void onTextShown(TRxSpinEdit& /*field*/) {}
    // The text changed, once per edit or spin step.
    virtual void OnChange(TRxSpinEdit& /*field*/) {}
};

class TRxSpinEdit {
public:
    TRxSpinEdit() = default;
    TRxSpinEdit(const TRxSpinEdit&) = delete;
    TRxSpinEdit& operator=(const TRxSpinEdit&) = delete;

    // Configuration. Each assignment is an ordinary write of the current value, as when the window
    // is built: the limits clamp it and the value type re-formats it.
    ValueType valueType() const noexcept { return valueType_; }
    void setValueType(ValueType type);
    std::uint8_t decimal() const noexcept { return decimal_; }
    void setDecimal(std::uint8_t decimals);
    long double increment() const noexcept { return increment_; }
    void setIncrement(long double increment) noexcept { increment_ = increment; }
    long double minValue() const noexcept { return minValue_; }
    long double maxValue() const noexcept { return maxValue_; }
    // Both checks follow the limits: on when either limit is non-zero.
    void setMinValue(long double value);
    void setMaxValue(long double value);
    bool checkMinValue() const noexcept { return checkMinValue_; }
    bool checkMaxValue() const noexcept { return checkMaxValue_; }
    // The separator the field writes and reads. Changing it leaves the text as it is.
    const NumberFormat& numberFormat() const noexcept { return format_; }
    void setNumberFormat(NumberFormat format) noexcept { format_ = format; }

    const std::u16string& text() const noexcept { return text_; }
    // Replaces the text; a different text is shown to the observers and then runs OnChange
    // (unless a spin step is writing).
    void setText(std::u16string text);

    // The value of the current text; a text that is no number reads as MinValue (rounded for
    // integer fields). Never changes anything.
    long double GetValue() const;
    // Clamps, formats and sets the text. Returns after every handler it caused has finished.
    void SetValue(long double value);

    // Spin steps: one write of GetValue() ± Increment with notifications held back, then OnChange
    // once if the text changed (compared without regard to case).
    void UpClick();
    void DownClick();
    bool changing() const noexcept { return changing_; }

    // The typing filter. Control characters always pass; digits, "+" and "-" everywhere; in float
    // fields "." and the separator while there is no separator yet, "E"/"e" while there is no
    // exponent letter. The caller beeps for a rejected character.
    bool IsValidChar(char16_t key) const;
    // What an accepted key inserts: "." enters the decimal separator.
    char16_t typedChar(char16_t key) const;

    // Leaving the field: re-read, clamp, re-format.
    void leave();
    // A paste whose result is `newText`: when that is no number by the float rule, the value from
    // before the paste is written back.
    void paste(std::u16string newText);

    // Observers are not owned; one must be removed before it dies.
    void addObserver(TRxSpinEditObserver* observer);
    void removeObserver(TRxSpinEditObserver* observer);

private:
    void step(long double delta);
    void notifyChange();
    long double clamp(long double value) const;

    std::u16string text_ = u"0";
    ValueType valueType_ = ValueType::vtInteger;
    std::uint8_t decimal_ = 2;
    long double increment_ = 1.0L;
    long double minValue_ = 0.0L;
    long double maxValue_ = 0.0L;
    bool checkMinValue_ = false;
    bool checkMaxValue_ = false;
    bool changing_ = false;
    NumberFormat format_;
    std::vector<TRxSpinEditObserver*> observers_;
};

class TextField;

class TextFieldObserver {
public:
    virtual ~TextFieldObserver() = default;
    virtual void onTextShown(TextField& field) = 0;
};

// The longest text a field may hold, in UTF-16 units: ample for any description or name (about a
// hundred typed pages), and the bound under which the data files keep every text. A longer one in
// a file is taken as damage, so that a corrupt length cannot make a reader allocate gigabytes.
inline constexpr std::size_t kMaxTextLength = std::size_t{256} * 1024;

// A single-line text field of the sheet (descriptions, customer name, currency). No rule is bound
// to it; its observers keep widgets in step with programmatic writes.
class TextField {
public:
    const std::u16string& text() const noexcept { return text_; }
    void setText(std::u16string text);

    // Observers are not owned; one must be removed before it dies.
    void addObserver(TextFieldObserver* observer);
    void removeObserver(TextFieldObserver* observer);

private:
    std::u16string text_;
    std::vector<TextFieldObserver*> observers_;
};

} // namespace pyrelto
