#pragma once
// Observers that forward to lambdas, for tests that only record what a sheet or a field tells.
// Each adds itself on construction and removes itself when it goes.

#include "rx_spin_edit.h"
#include "sheet.h"

#include <functional>
#include <string_view>

namespace pyrelto::test {

class SheetHooks final : public SheetObserver {
public:
    explicit SheetHooks(Sheet& sheet) : sheet_(sheet) { sheet_.addObserver(this); }
    ~SheetHooks() override { sheet_.removeObserver(this); }
    SheetHooks(const SheetHooks&) = delete;
    SheetHooks& operator=(const SheetHooks&) = delete;

    std::function<void(std::string_view handler)> rule;
    std::function<void(RowId row, bool shown)> rowShown;

    void onRule(std::string_view handler) override {
        if (rule)
            rule(handler);
    }
    void onRowShown(RowId row, bool shown) override {
        if (rowShown)
            rowShown(row, shown);
    }

private:
    Sheet& sheet_;
};

class FieldHooks final : public TRxSpinEditObserver {
public:
    explicit FieldHooks(TRxSpinEdit& field) : field_(field) { field_.addObserver(this); }
    ~FieldHooks() override { field_.removeObserver(this); }
    FieldHooks(const FieldHooks&) = delete;
    FieldHooks& operator=(const FieldHooks&) = delete;

    std::function<void(TRxSpinEdit&)> textShown;
    std::function<void(TRxSpinEdit&)> change;

    void onTextShown(TRxSpinEdit& field) override {
        if (textShown)
            textShown(field);
    }
    void OnChange(TRxSpinEdit& field) override {
        if (change)
            change(field);
    }

private:
    TRxSpinEdit& field_;
};

} // namespace pyrelto::test
