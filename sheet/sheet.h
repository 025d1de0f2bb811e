#pragma once
// The calculation sheet without any user interface: the 80 fields, the 18 shown flags, and the
// rules bound to the fields. Every write cascades depth-first and synchronously, each derived value
// rounded to its field's text before the next rule reads it.

#include "field_catalogue.h"
#include "rx_spin_edit.h"

#include <array>
#include <functional>
#include <string_view>

namespace pyrelto {

class Sheet {
public:
    // Every field at its default and every flag shown; no rule has run yet (the program's start-up
    // runs the count rules, see runCountRules()).
    Sheet();
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;

    TRxSpinEdit& number(FieldId id);
    const TRxSpinEdit& number(FieldId id) const;
    TextField& text(FieldId id);
    const TextField& text(FieldId id) const;
    // The text a field shows, numeric or not.
    const std::u16string& shownText(FieldId id) const;

    // The user replaces a field's whole text in one edit and then leaves the field (numeric
    // fields re-read, clamp and re-format then). Text fields just take the text.
    void enter(FieldId id, std::u16string text);

    bool shown(RowId row) const { return shown_[static_cast<int>(row)]; }

    // Sum rules.
    void CalcSumme();
    void CalcSumme2();
    void CalcSumme3();
    // Count rules: set the shown flags of their group, then recompute the sum the group feeds.
    void AnzZeilenEdChange();
    void AnzSonstEdChange();
    void AnzStueckEdChange();
    void LagenEdChange();
    // The three direct count calls of start-up, file load and customer list load, in their order.
    void runCountRules();

    // Called with the handler's name (e.g. "List1EdChange") each time a bound rule runs.
    std::function<void(std::string_view handler)> onRule;
    // Called when a row's shown flag changes.
    std::function<void(RowId row, bool shown)> onRowShown;

private:
    void fieldChanged(FieldId id);
    // Purchase price = list price less the discount, then the row sum from it.
    void purchasePrice(int row);
    // A material row's sum: purchase price plus its waste percentage.
    void materialRowSum(int row);
    // A piece row's sum: price times pieces per m².
    void pieceRowSum(int row);
    // The material total: the subtotal plus the markup percentage.
    void materialTotal();
    // The gross end sum: the net end sum plus VAT.
    void gross();
    void applyCount(FieldId count);
    void setShown(RowId row, bool shown);
    long double value(FieldId id) const { return number(id).GetValue(); }
    void write(FieldId id, long double v) { number(id).SetValue(v); }

    std::array<TRxSpinEdit, kNumericFieldCount> numbers_;
    std::array<TextField, kTextFieldCount> texts_;
    std::array<bool, kRowCount> shown_{};
};

} // namespace pyrelto
