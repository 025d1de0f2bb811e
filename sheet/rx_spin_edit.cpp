#include "rx_spin_edit.h"

#include "decimal_text.h"

#include <algorithm>
#include <cmath>

namespace pyrelto {

namespace {

char16_t foldCase(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

bool equalIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i])) {
            return false;
        }
    }
    return true;
}

// Listeners may remove themselves (or others) while being told; the copy keeps the walk valid.
template <typename Observer, typename Call>
void notify(const std::vector<Observer*>& observers, Call call) {
    if (observers.empty()) {
        return;
    }
    const std::vector<Observer*> copy(observers.begin(), observers.end());
    for (Observer* o : copy) {
        call(*o);
    }
}

template <typename Observer> void addTo(std::vector<Observer*>& observers, Observer* observer) {
    if (observer != nullptr &&
        std::find(observers.begin(), observers.end(), observer) == observers.end()) {
        observers.push_back(observer);
    }
}

template <typename Observer>
void removeFrom(std::vector<Observer*>& observers, Observer* observer) {
    observers.erase(std::remove(observers.begin(), observers.end(), observer), observers.end());
}

} // namespace

void TRxSpinEdit::addObserver(TRxSpinEditObserver* observer) {
    addTo(observers_, observer);
}

void TRxSpinEdit::removeObserver(TRxSpinEditObserver* observer) {
    removeFrom(observers_, observer);
}

void TRxSpinEdit::notifyChange() {
    notify(observers_, [this](TRxSpinEditObserver& o) { o.OnChange(*this); });
}

void TRxSpinEdit::setValueType(ValueType type) {
    valueType_ = type;
    SetValue(GetValue());
}

void TRxSpinEdit::setDecimal(std::uint8_t decimals) {
    decimal_ = decimals;
    SetValue(GetValue());
}

void TRxSpinEdit::setMinValue(long double value) {
    minValue_ = value;
    checkMinValue_ = checkMaxValue_ = minValue_ != 0.0L || maxValue_ != 0.0L;
    SetValue(GetValue());
}

void TRxSpinEdit::setMaxValue(long double value) {
    maxValue_ = value;
    checkMinValue_ = checkMaxValue_ = minValue_ != 0.0L || maxValue_ != 0.0L;
    SetValue(GetValue());
}

void TRxSpinEdit::setText(std::u16string text) {
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    notify(observers_, [this](TRxSpinEditObserver& o) { o.onTextShown(*this); });
    if (!changing_) {
        notifyChange();
    }
}

long double TRxSpinEdit::GetValue() const {
    switch (valueType_) {
    case ValueType::vtFloat:
        if (const auto v = parseFloat(text_, format_.decimalSeparator)) {
            return *v;
        }
        return minValue_;
    case ValueType::vtHex:
        if (const auto v = parseInteger(u"$" + text_)) {
            return *v;
        }
        return std::nearbyint(minValue_);
    case ValueType::vtInteger:
        break;
    }
    if (const auto v = parseInteger(text_)) {
        return *v;
    }
    return std::nearbyint(minValue_);
}

long double TRxSpinEdit::clamp(long double value) const {
    if (checkMinValue_ && value < minValue_) {
        return minValue_;
    }
    if (checkMaxValue_ && value > maxValue_) {
        return maxValue_;
    }
    return value;
}

void TRxSpinEdit::SetValue(long double value) {
    const long double v = clamp(value);
    switch (valueType_) {
    case ValueType::vtFloat:
        setText(formatFixed(v, decimal_, format_.decimalSeparator));
        return;
    case ValueType::vtHex: {
        // No field of the sheet is hexadecimal; kept for completeness of the field's contract.
        static constexpr char16_t kHex[] = u"0123456789ABCDEF";
        auto i = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::nearbyint(v)));
        std::u16string t;
        do {
            t.insert(t.begin(), kHex[i & 15U]);
            i >>= 4;
        } while (i != 0);
        setText(std::move(t));
        return;
    }
    case ValueType::vtInteger:
        break;
    }
    setText(formatInteger(v));
}

void TRxSpinEdit::step(long double delta) {
    const std::u16string before = text_;
    changing_ = true;
    try {
        SetValue(GetValue() + delta);
    } catch (...) {
        changing_ = false;
        throw;
    }
    changing_ = false;
    if (!equalIgnoringCase(before, text_)) {
        notifyChange();
    }
}

void TRxSpinEdit::UpClick() {
    step(increment_);
}

void TRxSpinEdit::DownClick() {
    step(-increment_);
}

bool TRxSpinEdit::IsValidChar(char16_t key) const {
    if (key < u' ') {
        return true;
    }
    if ((key >= u'0' && key <= u'9') || key == u'+' || key == u'-') {
        return true;
    }
    if (valueType_ != ValueType::vtFloat) {
        return false;
    }
    const char16_t separator = format_.decimalSeparator;
    if (key == u'.' || key == separator) {
        return text_.find(separator) == std::u16string::npos;
    }
    if (key == u'E' || key == u'e') {
        return text_.find_first_of(u"Ee") == std::u16string::npos;
    }
    return false;
}

char16_t TRxSpinEdit::typedChar(char16_t key) const {
    return key == u'.' ? format_.decimalSeparator : key;
}

void TRxSpinEdit::leave() {
    SetValue(GetValue());
}

void TRxSpinEdit::paste(std::u16string newText) {
    const long double before = GetValue();
    const bool isNumber = parseFloat(newText, format_.decimalSeparator).has_value();
    setText(std::move(newText));
    if (!isNumber) {
        SetValue(before);
    }
}

void TextField::setText(std::u16string text) {
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    notify(observers_, [this](TextFieldObserver& o) { o.onTextShown(*this); });
}

void TextField::addObserver(TextFieldObserver* observer) {
    addTo(observers_, observer);
}

void TextField::removeObserver(TextFieldObserver* observer) {
    removeFrom(observers_, observer);
}

} // namespace pyrelto
