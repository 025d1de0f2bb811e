#pragma once
// The calculation sheet without any user interface: the 80 fields, the 18 shown flags, and the
// rules bound to the fields. Every write cascades depth-first and synchronously, each derived value
// rounded to its field's text before the next rule reads it.

#include "field_catalogue.h"
#include "rx_spin_edit.h"

#include <array>
#include <string_view>
#include <vector>

namespace pyrelto {

// Listens to a sheet's rules and shown flags.
class SheetObserver {
public:
    virtual ~SheetObserver() = default;
    // A bound rule is about to run, named by its handler ("List1EdChange").
    virtual void onRule(std::string_view /*handler*/) {}
    // A row's shown flag changed.
    virtual void onRowShown(RowId /*row*/, bool /*shown*/) {}
};

class Sheet {
public:
    // Every field at its default, written in `format`, and every flag shown; no rule has run yet
    // (the program's start-up runs the count rules, see runCountRules()).
    explicit Sheet(NumberFormat format = {});
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;

    TRxSpinEdit& number(FieldId id);
    const TRxSpinEdit& number(FieldId id) const;
    TextField& text(FieldId id);
    const TextField& text(FieldId id) const;
    // The text a field shows, numeric or not.
    const std::u16string& shownText(FieldId id) const;

    const NumberFormat& numberFormat() const noexcept { return format_; }
    // Every numeric field writes and reads in `format` from now on; their texts stay as they are.
    void setNumberFormat(NumberFormat format);

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

    // Observers are not owned; one must be removed before it dies.
    void addObserver(SheetObserver* observer);
    void removeObserver(SheetObserver* observer);

private:
    // Runs the rule bound to one field when its text changes.
    class FieldRule final : public TRxSpinEditObserver {
    public:
        void bind(Sheet& sheet, FieldId id) {
            sheet_ = &sheet;
            id_ = id;
        }
        void OnChange(TRxSpinEdit& /*field*/) override { sheet_->fieldChanged(id_); }

    private:
        Sheet* sheet_ = nullptr;
        FieldId id_{};
    };

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
    std::array<FieldRule, kNumericFieldCount> rules_;
    NumberFormat format_;
    std::vector<SheetObserver*> observers_;
};

} // namespace pyrelto
