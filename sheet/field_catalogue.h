#pragma once
// The sheet as data: every field with its name, kind, row, caption, default, bounds, colour and
// position; the 24 rows; the five material rows; the calculation file's entry order. Written once
// and used by the rules, the view, the files, the printout and the command-line driver.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace pyrelto {

// All 80 fields in sheet order: row by row from the top, left to right within a row.
enum class FieldId : std::uint8_t {
    AnzZeilenEd,
    AnzSonstEd,
    AnzStueckEd,
    LagenEd,
    KundeEd,
    Bez1Ed,
    List1Ed,
    Rab1Ed,
    Ek1Ed,
    Ver1Ed,
    Summe1Ed,
    Bez2Ed,
    List2Ed,
    Rab2Ed,
    Ek2Ed,
    Ver2Ed,
    Summe2Ed,
    Bez3Ed,
    List3Ed,
    Rab3Ed,
    Ek3Ed,
    Ver3Ed,
    Summe3Ed,
    Bez4Ed,
    List4Ed,
    Rab4Ed,
    Ek4Ed,
    Ver4Ed,
    Summe4Ed,
    Bez5Ed,
    List5Ed,
    Rab5Ed,
    Ek5Ed,
    Ver5Ed,
    Summe5Ed,
    Bez6Ed,
    Summe6Ed,
    Bez7Ed,
    Summe7Ed,
    Bez7Ed2,
    Summe7Ed2,
    Bez7Ed3,
    Summe7Ed3,
    Bez7Ed4,
    Summe7Ed4,
    Bez8Ed,
    Ek8Ed,
    Anz8Ed,
    Summe8Ed,
    Bez8Ed2,
    Ek8Ed2,
    Anz8Ed2,
    Summe8Ed2,
    Bez8Ed3,
    Ek8Ed3,
    Anz8Ed3,
    Summe8Ed3,
    Bez8Ed4,
    Ek8Ed4,
    Anz8Ed4,
    Summe8Ed4,
    Bez8Ed5,
    Ek8Ed5,
    Anz8Ed5,
    Summe8Ed5,
    Ek9Ed,
    Ver9Ed,
    Summe9Ed,
    Bez10Ed,
    Summe10Ed,
    Bez11Ed,
    Summe11Ed,
    Bez12Ed,
    Summe12Ed,
    Summe13Ed,
    Dach14Ed,
    Summe15Ed,
    MwStEd,
    BruttoEd,
    Waehr15Ed,
};
inline constexpr int kFieldCount = 80;
inline constexpr int kNumericFieldCount = 60;
inline constexpr int kTextFieldCount = 20;

// The 24 rows, top to bottom, by their container names.
enum class RowId : std::uint8_t {
    Panel1,
    Panel17,
    Panel2,
    Panel3,
    Panel4,
    Panel5,
    Panel6,
    Panel7,
    Panel8,
    Panel19,
    Panel20,
    Panel21,
    Panel9,
    Panel22,
    Panel23,
    Panel24,
    Panel25,
    Panel10,
    Panel11,
    Panel12,
    Panel13,
    Panel14,
    Panel15,
    Panel16,
};
inline constexpr int kRowCount = 24;
inline constexpr int kRowHeight = 56;

enum class FieldKind : std::uint8_t { Amount, Count, Pieces, Text };

// Background colours mark a field's role; Window is the system's window colour.
enum class FieldColour : std::uint8_t {
    Window,
    Yellow,
    Aqua,
    Lime,
    PaleGreen,
    Peach,
    Red,
    Fuchsia
};
struct Rgb {
    std::uint8_t r, g, b;
};
// The RGB of a colour; Window has none of its own (the platform decides).
std::optional<Rgb> colourRgb(FieldColour colour);

// The sheet's columns by their left edge; the printout keeps them. Fields of the top rows that
// stand between them (some counts, the customer) belong to no column.
inline constexpr int kColumnCount = 7;
inline constexpr std::array<int, kColumnCount> kColumnX{8, 136, 232, 328, 424, 520, 616};
inline constexpr int kDescriptionColumn = 0;
inline constexpr int kListPriceColumn = 1;
inline constexpr int kDiscountColumn = 2;
inline constexpr int kPurchasePriceColumn = 3;
inline constexpr int kPercentColumn = 4; // waste, markup, VAT, or pieces per m²
inline constexpr int kSumColumn = 5;
inline constexpr int kCurrencyColumn = 6;

struct FieldInfo {
    FieldId id;
    std::string_view name;
    FieldKind kind;
    RowId row;
    std::u16string_view caption;     // shown above the field; empty for Waehr15Ed
    long double defaultValue;        // numeric fields
    std::u16string_view defaultText; // text fields
    long double minValue;
    long double maxValue;
    FieldColour colour;
    int x;
    int width;
    bool unitAfter; // the caption "m²" stands right of the field
    int slot;       // index among the numeric fields, or among the text fields
};

std::span<const FieldInfo, kFieldCount> fieldCatalogue();
const FieldInfo& fieldInfo(FieldId id);
std::optional<FieldId> findField(std::string_view name);
inline bool isNumeric(FieldId id) {
    return fieldInfo(id).kind != FieldKind::Text;
}
std::optional<int> sheetColumn(const FieldInfo& field);
// The field of `row` in `column`, if the row has one there.
std::optional<FieldId> fieldAt(RowId row, int column);

struct RowInfo {
    RowId id;
    std::string_view container;
    std::optional<FieldId> governedBy; // the count that shows and hides it; none for fixed rows
    int number;                        // 1-based place within its governed group (0 for fixed rows)
};
std::span<const RowInfo, kRowCount> rowCatalogue();
const RowInfo& rowInfo(RowId id);
inline bool isVariable(RowId id) {
    return rowInfo(id).governedBy.has_value();
}

// The fields of one material row, in the order a material preset holds them.
struct MaterialRow {
    RowId row;
    FieldId bez, list, rab, ek, ver, summe;
};
std::span<const MaterialRow, 5> materialRows();

// The calculation file's entries in their order, and where the base section ends.
inline constexpr int kFileEntryCount = 80;
inline constexpr int kBaseSectionEntries = 58;
std::span<const FieldId, kFileEntryCount> calculationFileOrder();

} // namespace pyrelto
