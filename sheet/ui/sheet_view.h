#pragma once
// ScrollBox1: the calculation sheet on screen. Built from the field and row catalogues: every row
// a strip 56 pixels high, captions above their fields, fields at their x positions and in their
// colours. Rows follow their shown flags, the rows beneath moving up, and the scroll range is the
// height of the shown rows.

#include "sheet.h"

#include <QScrollArea>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QFontMetrics;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pyrelto {

class SpinEditWidget;
class CaptionSizes;

// The height of a row of the customer drop-down in a font: the line plus room for the marks of
// capital umlauts where the face draws them above its ascent.
int dropDownRowHeight(const QFontMetrics& metrics);

class SheetView final : public QScrollArea, private SheetObserver, private TextFieldObserver {
public:
    // The narrowest the rows get: the preset buttons end at x = 777.
    static constexpr int kMinimumRowWidth = 785;

    // Presents `sheet`, which must outlive the view.
    explicit SheetView(Sheet& sheet, QWidget* parent = nullptr);
    ~SheetView() override;
    SheetView(const SheetView&) = delete;
    SheetView& operator=(const SheetView&) = delete;

    Sheet& sheet() noexcept { return sheet_; }

    // The fields, captions and buttons of a row hidden at the start are made when the row is
    // first shown, or first asked for here.

    // The widget of a numeric field.
    SpinEditWidget* numberWidget(FieldId id) const;
    // The widget of a text field other than KundeEd (descriptions, Waehr15Ed).
    QLineEdit* textWidget(FieldId id) const;
    // Any field's widget; objectName is the field's name.
    QWidget* fieldWidget(FieldId id) const;
    // The customer name: editable, its list filled by the customer tab.
    QComboBox* kundeEd() const;
    QLabel* caption(FieldId id) const;
    QWidget* row(RowId id) const { return rows_[static_cast<std::size_t>(id)]; }
    // The preset buttons of material row `materialRow` (0-4): "Material speichern..." (BitBtn1,
    // 3, ...) or, with `load`, "Material laden..." (BitBtn2, 4, ...).
    QPushButton* presetButton(int materialRow, bool load) const;
    // Runs `prepare` on every field made so far and on each one made later.
    void whenFieldMade(std::function<void(FieldId, QWidget&)> prepare);
    // What a click on a preset button runs: the material row (0-4) and whether it loads.
    void setPresetCommand(std::function<void(int materialRow, bool load)> command);

    // Total height of the shown rows.
    int shownRowsHeight() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    // Makes the row's fields, captions and buttons if they are not there yet.
    void ensureRow(RowId id) const;
    void buildRow(const RowInfo& info);
    // Tab goes through the sheet's fields in their order, whenever their rows were made.
    void orderFocusChain();
    QWidget* buildField(const FieldInfo& info, QWidget* rowWidget);
    void relayout();
    void paintFieldFrames(QWidget* rowWidget);
    void onRowShown(RowId id, bool shown) override;
    void onTextShown(TextField& field) override;

    Sheet& sheet_;
    QWidget* content_ = nullptr;
    std::array<QWidget*, kRowCount> rows_{};
    std::array<QWidget*, kFieldCount> fields_{};
    std::array<QLabel*, kFieldCount> captions_{};
    std::array<QPushButton*, 10> presetButtons_{};
    std::array<bool, kRowCount> rowBuilt_{};
    bool built_ = false;
    std::unique_ptr<CaptionSizes> captionSizes_;
    std::function<void(int, bool)> presetCommand_;
    std::vector<std::function<void(FieldId, QWidget&)>> fieldPreparers_;
};

} // namespace pyrelto
