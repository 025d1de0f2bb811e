#include "field_catalogue.h"

#include <algorithm>

namespace pyrelto {

namespace {

using F = FieldId;
using R = RowId;
using K = FieldKind;
using C = FieldColour;

constexpr int kNumberWidth = 89;
constexpr int kDescriptionX = kColumnX[kDescriptionColumn];
constexpr int kListPriceX = kColumnX[kListPriceColumn];
constexpr int kDiscountX = kColumnX[kDiscountColumn];
constexpr int kPurchasePriceX = kColumnX[kPurchasePriceColumn];
constexpr int kPercentX = kColumnX[kPercentColumn];
constexpr int kSumX = kColumnX[kSumColumn];
constexpr int kCurrencyX = kColumnX[kCurrencyColumn];
constexpr int kDescriptionWidth = 121;

constexpr FieldInfo amount(F id, std::string_view name, R row, std::u16string_view caption,
                           C colour, int x, bool unit = false, long double def = 0.0L) {
    return {id,   name, K::Amount, row, caption,      def,  {},
            0.0L, 0.0L, colour,    x,   kNumberWidth, unit, 0};
}
constexpr FieldInfo count(F id, std::string_view name, std::u16string_view caption, int x,
                          long double def, long double min, long double max) {
    return {id,  name, K::Count,  R::Panel1, caption,      def,   {},
            min, max,  C::Window, x,         kNumberWidth, false, 0};
}
constexpr FieldInfo pieces(F id, std::string_view name, R row) {
    return {id,   name, K::Pieces,    row,       u"Stück pro m²:", 0.0L,  {},
            0.0L, 0.0L, C::PaleGreen, kPercentX, kNumberWidth,     false, 0};
}
constexpr FieldInfo text(F id, std::string_view name, R row, std::u16string_view caption,
                         std::u16string_view def = {}, int x = kDescriptionX,
                         int width = kDescriptionWidth, C colour = C::Window) {
    return {id, name, K::Text, row, caption, 0.0L, def, 0.0L, 0.0L, colour, x, width, false, 0};
}

#define MATERIAL(n, panel)                                                                         \
    text(F::Bez##n##Ed, "Bez" #n "Ed", R::panel, u"Bezeichnung:"),                                 \
        amount(F::List##n##Ed, "List" #n "Ed", R::panel, u"Listenpreis:", C::Yellow, kListPriceX), \
        amount(F::Rab##n##Ed, "Rab" #n "Ed", R::panel, u"Rabatt %:", C::Aqua, kDiscountX),         \
        amount(F::Ek##n##Ed, "Ek" #n "Ed", R::panel, u"EK Preis:", C::Lime, kPurchasePriceX),      \
        amount(F::Ver##n##Ed, "Ver" #n "Ed", R::panel, u"Verschnitt in %:", C::PaleGreen,          \
               kPercentX),                                                                         \
        amount(F::Summe##n##Ed, "Summe" #n "Ed", R::panel, u"Summe:", C::Peach, kSumX, true)

#define OTHER(bez, summe, panel, def)                                                              \
    text(F::bez, #bez, R::panel, u"Sonstiges pro m²:", def),                                       \
        amount(F::summe, #summe, R::panel, u"Summe:", C::Peach, kSumX, true)

#define PIECE(bez, ek, anz, summe, panel, def)                                                     \
    text(F::bez, #bez, R::panel, u"Bezeichnung:", def),                                            \
        amount(F::ek, #ek, R::panel, u"EK Preis:", C::Lime, kPurchasePriceX),                      \
        pieces(F::anz, #anz, R::panel),                                                            \
        amount(F::summe, #summe, R::panel, u"Summe:", C::Peach, kSumX, true)

#define LAYER(bez, summe, panel, def)                                                              \
    text(F::bez, #bez, R::panel, u"Bezeichnung:", def),                                            \
        amount(F::summe, #summe, R::panel, u"Summe:", C::Aqua, kSumX, true)

constexpr std::array<FieldInfo, kFieldCount> buildCatalogue() {
    std::array<FieldInfo, kFieldCount> t{{
        count(F::AnzZeilenEd, "AnzZeilenEd", u"Anzahl Materialzeilen:", kDescriptionX, 1, 1, 5),
        count(F::AnzSonstEd, "AnzSonstEd", u"Anzahl Sonstige Materialzeilen:", kListPriceX, 2, 0,
              5),
        count(F::AnzStueckEd, "AnzStueckEd", u"Anzahl Materialzeilen Stück pro m²:", 296, 1, 0, 5),
        count(F::LagenEd, "LagenEd", u"Anzahl Lagen:", 480, 3, 0, 3),
        text(F::KundeEd, "KundeEd", R::Panel17, u"Kundenname:", {}, kDescriptionX, 601),
        MATERIAL(1, Panel2),
        MATERIAL(2, Panel3),
        MATERIAL(3, Panel4),
        MATERIAL(4, Panel5),
        MATERIAL(5, Panel6),
        OTHER(Bez6Ed, Summe6Ed, Panel7, u"Gas"),
        OTHER(Bez7Ed, Summe7Ed, Panel8, u"Titanol"),
        OTHER(Bez7Ed2, Summe7Ed2, Panel19, {}),
        OTHER(Bez7Ed3, Summe7Ed3, Panel20, {}),
        OTHER(Bez7Ed4, Summe7Ed4, Panel21, {}),
        PIECE(Bez8Ed, Ek8Ed, Anz8Ed, Summe8Ed, Panel9, u"Tellerdübel"),
        PIECE(Bez8Ed2, Ek8Ed2, Anz8Ed2, Summe8Ed2, Panel22, {}),
        PIECE(Bez8Ed3, Ek8Ed3, Anz8Ed3, Summe8Ed3, Panel23, {}),
        PIECE(Bez8Ed4, Ek8Ed4, Anz8Ed4, Summe8Ed4, Panel24, {}),
        PIECE(Bez8Ed5, Ek8Ed5, Anz8Ed5, Summe8Ed5, Panel25, {}),
        amount(F::Ek9Ed, "Ek9Ed", R::Panel10, u"Zwischensumme:", C::Lime, kPurchasePriceX),
        amount(F::Ver9Ed, "Ver9Ed", R::Panel10, u"Aufschlag in %:", C::PaleGreen, kPercentX, false,
               15),
        amount(F::Summe9Ed, "Summe9Ed", R::Panel10, u"Gesamtsumme Material:", C::Red, kSumX, true),
        LAYER(Bez10Ed, Summe10Ed, Panel11, u"Pyrelto 1. Lage"),
        LAYER(Bez11Ed, Summe11Ed, Panel12, u"Pyrelto 2. Lage"),
        LAYER(Bez12Ed, Summe12Ed, Panel13, u"Pyrelto 3. Lage"),
        amount(F::Summe13Ed, "Summe13Ed", R::Panel14, u"Gesamtpreis pro m²:", C::Lime, kSumX),
        amount(F::Dach14Ed, "Dach14Ed", R::Panel15, u"Dachfläche:", C::Fuchsia, kSumX, true),
        amount(F::Summe15Ed, "Summe15Ed", R::Panel16, u"Endsumme Netto:", C::Yellow,
               kPurchasePriceX),
        amount(F::MwStEd, "MwStEd", R::Panel16, u"Mwst%:", C::PaleGreen, kPercentX, false, 19),
        amount(F::BruttoEd, "BruttoEd", R::Panel16, u"Endsumme Brutto:", C::Yellow, kSumX),
        text(F::Waehr15Ed, "Waehr15Ed", R::Panel16, {}, u"€", kCurrencyX, 57, C::Yellow),
    }};
    int numeric = 0;
    int texts = 0;
    for (auto& f : t) {
        f.slot = f.kind == K::Text ? texts++ : numeric++;
    }
    return t;
}

#undef MATERIAL
#undef OTHER
#undef PIECE
#undef LAYER

constexpr std::array<FieldInfo, kFieldCount> kCatalogue = buildCatalogue();

// Lookups by id index these tables, and the file order names fields by id: an entry out of place
// would silently give one field another's value.
template <typename Table> constexpr bool idsAreIndices(const Table& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (static_cast<std::size_t>(table[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(idsAreIndices(kCatalogue));

constexpr std::array<RowInfo, kRowCount> kRows{{
    {R::Panel1, "Panel1", std::nullopt, 0},     {R::Panel17, "Panel17", std::nullopt, 0},
    {R::Panel2, "Panel2", F::AnzZeilenEd, 1},   {R::Panel3, "Panel3", F::AnzZeilenEd, 2},
    {R::Panel4, "Panel4", F::AnzZeilenEd, 3},   {R::Panel5, "Panel5", F::AnzZeilenEd, 4},
    {R::Panel6, "Panel6", F::AnzZeilenEd, 5},   {R::Panel7, "Panel7", F::AnzSonstEd, 1},
    {R::Panel8, "Panel8", F::AnzSonstEd, 2},    {R::Panel19, "Panel19", F::AnzSonstEd, 3},
    {R::Panel20, "Panel20", F::AnzSonstEd, 4},  {R::Panel21, "Panel21", F::AnzSonstEd, 5},
    {R::Panel9, "Panel9", F::AnzStueckEd, 1},   {R::Panel22, "Panel22", F::AnzStueckEd, 2},
    {R::Panel23, "Panel23", F::AnzStueckEd, 3}, {R::Panel24, "Panel24", F::AnzStueckEd, 4},
    {R::Panel25, "Panel25", F::AnzStueckEd, 5}, {R::Panel10, "Panel10", std::nullopt, 0},
    {R::Panel11, "Panel11", F::LagenEd, 1},     {R::Panel12, "Panel12", F::LagenEd, 2},
    {R::Panel13, "Panel13", F::LagenEd, 3},     {R::Panel14, "Panel14", std::nullopt, 0},
    {R::Panel15, "Panel15", std::nullopt, 0},   {R::Panel16, "Panel16", std::nullopt, 0},
}};
static_assert(idsAreIndices(kRows));

constexpr std::array<MaterialRow, 5> kMaterialRows{{
    {R::Panel2, F::Bez1Ed, F::List1Ed, F::Rab1Ed, F::Ek1Ed, F::Ver1Ed, F::Summe1Ed},
    {R::Panel3, F::Bez2Ed, F::List2Ed, F::Rab2Ed, F::Ek2Ed, F::Ver2Ed, F::Summe2Ed},
    {R::Panel4, F::Bez3Ed, F::List3Ed, F::Rab3Ed, F::Ek3Ed, F::Ver3Ed, F::Summe3Ed},
    {R::Panel5, F::Bez4Ed, F::List4Ed, F::Rab4Ed, F::Ek4Ed, F::Ver4Ed, F::Summe4Ed},
    {R::Panel6, F::Bez5Ed, F::List5Ed, F::Rab5Ed, F::Ek5Ed, F::Ver5Ed, F::Summe5Ed},
}};

// The file keeps its historical order, not the screen's.
constexpr std::array<FieldId, kFileEntryCount> kFileOrder{{
    F::AnzZeilenEd, F::AnzSonstEd, F::AnzStueckEd, F::LagenEd,                // 1-4
    F::KundeEd,                                                               // 5
    F::Bez1Ed,      F::Bez2Ed,     F::Bez3Ed,      F::Bez4Ed,    F::Bez5Ed,   // 6-10
    F::Bez6Ed,      F::Bez7Ed,     F::Bez8Ed,                                 // 11-13
    F::Bez10Ed,     F::Bez11Ed,    F::Bez12Ed,                                // 14-16
    F::Waehr15Ed,                                                             // 17
    F::List1Ed,     F::List2Ed,    F::List3Ed,     F::List4Ed,   F::List5Ed,  // 18-22
    F::Rab1Ed,      F::Rab2Ed,     F::Rab3Ed,      F::Rab4Ed,    F::Rab5Ed,   // 23-27
    F::Ek1Ed,       F::Ek2Ed,      F::Ek3Ed,       F::Ek4Ed,     F::Ek5Ed,    // 28-32
    F::Ek8Ed,       F::Ek9Ed,                                                 // 33-34
    F::Ver1Ed,      F::Ver2Ed,     F::Ver3Ed,      F::Ver4Ed,    F::Ver5Ed,   // 35-39
    F::Anz8Ed,      F::Ver9Ed,                                                // 40-41
    F::Summe1Ed,    F::Summe2Ed,   F::Summe3Ed,    F::Summe4Ed,  F::Summe5Ed, // 42-46
    F::Summe6Ed,    F::Summe7Ed,   F::Summe8Ed,    F::Summe9Ed,               // 47-50
    F::Summe10Ed,   F::Summe11Ed,  F::Summe12Ed,                              // 51-53
    F::Summe13Ed,   F::Summe15Ed,  F::Dach14Ed,    F::MwStEd,    F::BruttoEd, // 54-58
    F::Bez7Ed2,     F::Bez7Ed3,    F::Bez7Ed4,                                // 59-61
    F::Summe7Ed2,   F::Summe7Ed3,  F::Summe7Ed4,                              // 62-64
    F::Bez8Ed2,     F::Bez8Ed3,    F::Bez8Ed4,     F::Bez8Ed5,                // 65-68
    F::Ek8Ed2,      F::Ek8Ed3,     F::Ek8Ed4,      F::Ek8Ed5,                 // 69-72
    F::Anz8Ed2,     F::Anz8Ed3,    F::Anz8Ed4,     F::Anz8Ed5,                // 73-76
    F::Summe8Ed2,   F::Summe8Ed3,  F::Summe8Ed4,   F::Summe8Ed5,              // 77-80
}};

} // namespace

std::optional<Rgb> colourRgb(FieldColour colour) {
    switch (colour) {
    case C::Window:
        return std::nullopt;
    case C::Yellow:
        return Rgb{255, 255, 0};
    case C::Aqua:
        return Rgb{0, 255, 255};
    case C::Lime:
        return Rgb{0, 255, 0};
    case C::PaleGreen:
        return Rgb{192, 220, 192};
    case C::Peach:
        return Rgb{240, 202, 166};
    case C::Red:
        return Rgb{255, 0, 0};
    case C::Fuchsia:
        return Rgb{255, 0, 255};
    }
    return std::nullopt;
}

std::span<const FieldInfo, kFieldCount> fieldCatalogue() {
    return kCatalogue;
}

const FieldInfo& fieldInfo(FieldId id) {
    return kCatalogue[static_cast<std::size_t>(id)];
}

std::optional<FieldId> findField(std::string_view name) {
    for (const auto& f : kCatalogue) {
        if (f.name == name) {
            return f.id;
        }
    }
    return std::nullopt;
}

std::optional<int> sheetColumn(const FieldInfo& field) {
    const auto* it = std::find(kColumnX.begin(), kColumnX.end(), field.x);
    if (it == kColumnX.end()) {
        return std::nullopt;
    }
    return static_cast<int>(it - kColumnX.begin());
}

std::optional<FieldId> fieldAt(RowId row, int column) {
    for (const auto& f : kCatalogue) {
        if (f.row == row && sheetColumn(f) == column) {
            return f.id;
        }
    }
    return std::nullopt;
}

std::span<const RowInfo, kRowCount> rowCatalogue() {
    return kRows;
}

const RowInfo& rowInfo(RowId id) {
    return kRows[static_cast<std::size_t>(id)];
}

std::span<const MaterialRow, 5> materialRows() {
    return kMaterialRows;
}

std::span<const FieldId, kFileEntryCount> calculationFileOrder() {
    return kFileOrder;
}

} // namespace pyrelto
