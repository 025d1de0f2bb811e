#include "sheet.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace pyrelto {

namespace {

using F = FieldId;
using R = RowId;

enum class Rule : std::uint8_t {
    None,
    PurchasePrice, // purchase price from list price and discount, then the row sum
    MaterialRowSum,
    PieceRowSum,
    Summe,
    MaterialTotal,
    Summe2,
    Summe3,
    Gross,
    Count,
};

struct BindingEntry {
    FieldId field;
    std::string_view handler;
    Rule rule;
    int row; // material or piece row (0-based) for the row rules
};

// Which rule runs when a field's text changes. Every numeric field occurs exactly once.
constexpr BindingEntry kBindings[] = {
    {F::List1Ed, "List1EdChange", Rule::PurchasePrice, 0},
    {F::List2Ed, "List2EdChange", Rule::PurchasePrice, 1},
    {F::List3Ed, "List3EdChange", Rule::PurchasePrice, 2},
    {F::List4Ed, "List4EdChange", Rule::PurchasePrice, 3},
    {F::List5Ed, "List5EdChange", Rule::PurchasePrice, 4},
    {F::Rab1Ed, "Rab1EdChange", Rule::PurchasePrice, 0},
    {F::Rab2Ed, "Rab2EdChange", Rule::PurchasePrice, 1},
    {F::Rab3Ed, "Rab3EdChange", Rule::PurchasePrice, 2},
    {F::Rab4Ed, "Rab4EdChange", Rule::PurchasePrice, 3},
    {F::Rab5Ed, "Rab5EdChange", Rule::PurchasePrice, 4},
    {F::Ek1Ed, "Ek1EdChange", Rule::MaterialRowSum, 0},
    {F::Ek2Ed, "Ek2EdChange", Rule::MaterialRowSum, 1},
    {F::Ek3Ed, "Ek3EdChange", Rule::MaterialRowSum, 2},
    {F::Ek4Ed, "Ek4EdChange", Rule::MaterialRowSum, 3},
    {F::Ek5Ed, "Ek5EdChange", Rule::MaterialRowSum, 4},
    {F::Ver1Ed, "Ver1EdChange", Rule::MaterialRowSum, 0},
    {F::Ver2Ed, "Ver2EdChange", Rule::MaterialRowSum, 1},
    {F::Ver3Ed, "Ver3EdChange", Rule::MaterialRowSum, 2},
    {F::Ver4Ed, "Ver4EdChange", Rule::MaterialRowSum, 3},
    {F::Ver5Ed, "Ver5EdChange", Rule::MaterialRowSum, 4},
    {F::Summe1Ed, "Summe1EdChange", Rule::Summe, 0},
    {F::Summe2Ed, "Summe2EdChange", Rule::Summe, 0},
    {F::Summe3Ed, "Summe3EdChange", Rule::Summe, 0},
    {F::Summe4Ed, "Summe4EdChange", Rule::Summe, 0},
    {F::Summe5Ed, "Summe5EdChange", Rule::Summe, 0},
    {F::Summe6Ed, "Summe6EdChange", Rule::Summe, 0},
    {F::Summe7Ed, "Summe7EdChange", Rule::Summe, 0},
    {F::Summe7Ed2, "Summe7EdChange", Rule::Summe, 0},
    {F::Summe7Ed3, "Summe7EdChange", Rule::Summe, 0},
    {F::Summe7Ed4, "Summe7EdChange", Rule::Summe, 0},
    {F::Ek8Ed, "Ek8EdChange", Rule::PieceRowSum, 0},
    {F::Ek8Ed2, "Ek8Ed2Change", Rule::PieceRowSum, 1},
    {F::Ek8Ed3, "Ek8Ed3Change", Rule::PieceRowSum, 2},
    {F::Ek8Ed4, "Ek8Ed4Change", Rule::PieceRowSum, 3},
    {F::Ek8Ed5, "Ek8Ed5Change", Rule::PieceRowSum, 4},
    {F::Anz8Ed, "Anz8EdChange", Rule::PieceRowSum, 0},
    {F::Anz8Ed2, "Anz8Ed2Change", Rule::PieceRowSum, 1},
    {F::Anz8Ed3, "Anz8Ed3Change", Rule::PieceRowSum, 2},
    {F::Anz8Ed4, "Anz8Ed4Change", Rule::PieceRowSum, 3},
    {F::Anz8Ed5, "Anz8Ed5Change", Rule::PieceRowSum, 4},
    {F::Summe8Ed, "Summe8EdChange", Rule::Summe, 0},
    {F::Summe8Ed2, "Summe8EdChange", Rule::Summe, 0},
    {F::Summe8Ed3, "Summe8EdChange", Rule::Summe, 0},
    {F::Summe8Ed4, "Summe8EdChange", Rule::Summe, 0},
    {F::Summe8Ed5, "Summe8EdChange", Rule::Summe, 0},
    {F::Ek9Ed, "Ek9EdChange", Rule::MaterialTotal, 0},
    {F::Ver9Ed, "Ver9EdChange", Rule::MaterialTotal, 0},
    {F::Summe9Ed, "Summe9EdChange", Rule::Summe2, 0},
    {F::Summe10Ed, "Summe10EdChange", Rule::Summe2, 0},
    {F::Summe11Ed, "Summe11EdChange", Rule::Summe2, 0},
    {F::Summe12Ed, "Summe12EdChange", Rule::Summe2, 0},
    {F::Summe13Ed, "Summe13EdChange", Rule::Summe3, 0},
    {F::Dach14Ed, "Dach14EdChange", Rule::Summe3, 0},
    {F::Summe15Ed, "Summe15EdChange", Rule::Gross, 0},
    {F::MwStEd, "Summe15EdChange", Rule::Gross, 0},
    {F::BruttoEd, {}, Rule::None, 0},
    {F::AnzZeilenEd, "AnzZeilenEdChange", Rule::Count, 0},
    {F::AnzSonstEd, "AnzSonstEdChange", Rule::Count, 0},
    {F::AnzStueckEd, "AnzStueckEdChange", Rule::Count, 0},
    {F::LagenEd, "LagenEdChange", Rule::Count, 0},
};
static_assert(std::size(kBindings) == kNumericFieldCount);

// Binding by field, built once from the table above.
const std::array<const BindingEntry*, kFieldCount>& bindingByField() {
    static const auto table = [] {
        std::array<const BindingEntry*, kFieldCount> t{};
        for (const auto& b : kBindings) {
            t[static_cast<std::size_t>(b.field)] = &b;
        }
        return t;
    }();
    return table;
}

struct SummedRow {
    RowId row;
    FieldId sum;
};
struct PieceRow {
    FieldId price, pieces, sum;
};

// The rows' groups and fields come from the catalogue: the count that governs a row says which
// total it feeds, its column says which field is which.
struct RowTables {
    std::vector<SummedRow> subtotalRows; // added by CalcSumme, in sheet order
    std::vector<SummedRow> layerRows;    // added by CalcSumme2 after the material total
    std::vector<PieceRow> pieceRows;
};

const RowTables& rowTables() {
    static const RowTables tables = [] {
        RowTables t;
        for (const RowInfo& r : rowCatalogue()) {
            if (!r.governedBy) {
                continue;
            }
            const FieldId sum = *fieldAt(r.id, kSumColumn);
            if (*r.governedBy == F::LagenEd) {
                t.layerRows.push_back({r.id, sum});
                continue;
            }
            t.subtotalRows.push_back({r.id, sum});
            if (*r.governedBy == F::AnzStueckEd) {
                t.pieceRows.push_back(
                    {*fieldAt(r.id, kPurchasePriceColumn), *fieldAt(r.id, kPercentColumn), sum});
            }
        }
        return t;
    }();
    return tables;
}

// The sums add in a 64-bit double, rounding after every addition. Their inputs carry at most two
// decimals, so the double cannot move a result across a rounding tie.
double addRounded(double acc, long double value) {
    return static_cast<double>(static_cast<long double>(acc) + value);
}

} // namespace

Sheet::Sheet(NumberFormat format) : format_(format) {
    shown_.fill(true);
    for (const auto& info : fieldCatalogue()) {
        if (info.kind == FieldKind::Text) {
            texts_[static_cast<std::size_t>(info.slot)].setText(std::u16string(info.defaultText));
            continue;
        }
        // Configured like a field of the window's description: limits, type, then the value, all
        // before the handler is attached, so nothing runs.
        auto& f = numbers_[static_cast<std::size_t>(info.slot)];
        f.setNumberFormat(format_);
        f.setMaxValue(info.maxValue);
        f.setMinValue(info.minValue);
        f.setValueType(info.kind == FieldKind::Amount ? ValueType::vtFloat : ValueType::vtInteger);
        f.setDecimal(2);
        f.setIncrement(1.0L);
        f.SetValue(info.defaultValue);
        auto& rule = rules_[static_cast<std::size_t>(info.slot)];
        rule.bind(*this, info.id);
        f.addObserver(&rule);
    }
}

void Sheet::setNumberFormat(NumberFormat format) {
    format_ = format;
    for (auto& f : numbers_) {
        f.setNumberFormat(format);
    }
}

void Sheet::addObserver(SheetObserver* observer) {
    if (observer != nullptr &&
        std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void Sheet::removeObserver(SheetObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

TRxSpinEdit& Sheet::number(FieldId id) {
    return numbers_[static_cast<std::size_t>(fieldInfo(id).slot)];
}

const TRxSpinEdit& Sheet::number(FieldId id) const {
    return numbers_[static_cast<std::size_t>(fieldInfo(id).slot)];
}

TextField& Sheet::text(FieldId id) {
    return texts_[static_cast<std::size_t>(fieldInfo(id).slot)];
}

const TextField& Sheet::text(FieldId id) const {
    return texts_[static_cast<std::size_t>(fieldInfo(id).slot)];
}

const std::u16string& Sheet::shownText(FieldId id) const {
    return isNumeric(id) ? number(id).text() : text(id).text();
}

void Sheet::enter(FieldId id, std::u16string text) {
    if (!isNumeric(id)) {
        this->text(id).setText(std::move(text));
        return;
    }
    TRxSpinEdit& f = number(id);
    f.setText(std::move(text));
    f.leave();
}

void Sheet::fieldChanged(FieldId id) {
    const BindingEntry* b = bindingByField()[static_cast<std::size_t>(id)];
    if (b == nullptr || b->rule == Rule::None) {
        return;
    }
    if (!observers_.empty()) {
        // A copy: an observer may remove itself while being told.
        const auto observers = observers_;
        for (SheetObserver* o : observers) {
            o->onRule(b->handler);
        }
    }
    switch (b->rule) {
    case Rule::PurchasePrice:
        purchasePrice(b->row);
        break;
    case Rule::MaterialRowSum:
        materialRowSum(b->row);
        break;
    case Rule::PieceRowSum:
        pieceRowSum(b->row);
        break;
    case Rule::Summe:
        CalcSumme();
        break;
    case Rule::MaterialTotal:
        materialTotal();
        break;
    case Rule::Summe2:
        CalcSumme2();
        break;
    case Rule::Summe3:
        CalcSumme3();
        break;
    case Rule::Gross:
        gross();
        break;
    case Rule::Count:
        applyCount(id);
        break;
    case Rule::None:
        break;
    }
}

void Sheet::purchasePrice(int row) {
    const MaterialRow& m = materialRows()[static_cast<std::size_t>(row)];
    write(m.ek, (100.0L - value(m.rab)) * value(m.list) / 100.0L);
    // Runs even when the purchase price text stayed, so a hand-typed row sum is replaced.
    write(m.summe, (value(m.ver) + 100.0L) * value(m.ek) / 100.0L);
}

void Sheet::materialRowSum(int row) {
    const MaterialRow& m = materialRows()[static_cast<std::size_t>(row)];
    write(m.summe, (value(m.ver) + 100.0L) * value(m.ek) / 100.0L);
}

void Sheet::pieceRowSum(int row) {
    const PieceRow& p = rowTables().pieceRows[static_cast<std::size_t>(row)];
    write(p.sum, value(p.price) * value(p.pieces));
}

void Sheet::CalcSumme() {
    double acc = 0.0;
    for (const auto& r : rowTables().subtotalRows) {
        if (shown(r.row)) {
            acc = addRounded(acc, value(r.sum));
        }
    }
    write(F::Ek9Ed, acc);
}

void Sheet::materialTotal() {
    write(F::Summe9Ed, (value(F::Ver9Ed) + 100.0L) * value(F::Ek9Ed) / 100.0L);
}

void Sheet::CalcSumme2() {
    double acc = addRounded(0.0, value(F::Summe9Ed));
    for (const auto& r : rowTables().layerRows) {
        if (shown(r.row)) {
            acc = addRounded(acc, value(r.sum));
        }
    }
    write(F::Summe13Ed, acc);
}

void Sheet::CalcSumme3() {
    // In extended precision: narrowing the total per m² to a double first made products that are
    // exact decimals ending in 5 (1.15 × 0.5 = 0.575) round down by a cent.
    write(F::Summe15Ed, value(F::Dach14Ed) * value(F::Summe13Ed));
}

void Sheet::gross() {
    write(F::BruttoEd, (value(F::MwStEd) + 100.0L) * value(F::Summe15Ed) / 100.0L);
}

void Sheet::applyCount(FieldId count) {
    for (const auto& r : rowCatalogue()) {
        if (r.governedBy == count) {
            // The count is read afresh for every row, as its text is the only truth.
            setShown(r.id, value(count) >= static_cast<long double>(r.number));
        }
    }
    if (count == F::LagenEd) {
        CalcSumme2();
    } else {
        CalcSumme();
    }
}

void Sheet::setShown(RowId row, bool shown) {
    auto& flag = shown_[static_cast<std::size_t>(row)];
    if (flag == shown) {
        return;
    }
    flag = shown;
    const auto observers = observers_;
    for (SheetObserver* o : observers) {
        o->onRowShown(row, shown);
    }
}

void Sheet::AnzZeilenEdChange() {
    applyCount(F::AnzZeilenEd);
}
void Sheet::AnzSonstEdChange() {
    applyCount(F::AnzSonstEd);
}
void Sheet::AnzStueckEdChange() {
    applyCount(F::AnzStueckEd);
}
void Sheet::LagenEdChange() {
    applyCount(F::LagenEd);
}

void Sheet::runCountRules() {
    AnzZeilenEdChange();
    AnzSonstEdChange();
    AnzStueckEdChange();
}

} // namespace pyrelto
