#pragma once
// The worked example of the calculation sheet in one table: what the user types, in the order
// typed, and what the sheet then shows. Texts are written with "," as the decimal separator; a
// sheet with another separator gets them through withSeparator. The rows' layout is also read by
// tests/support/CMakeLists.txt for the command-line tests, so keep one row a line.

#include "field_catalogue.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {
class Sheet;
}

namespace pyrelto::test {

struct WorkedExampleRow {
    FieldId field;
    std::u16string_view typed; // empty: the sheet works it out
    std::u16string_view shown;
};

// clang-format off
inline constexpr std::array<WorkedExampleRow, 18> workedExample{{
    {FieldId::List1Ed, u"9,99", u"9,99"},
    {FieldId::Rab1Ed, u"35", u"35,00"},
    {FieldId::Ek1Ed, u"", u"6,49"},
    {FieldId::Ver1Ed, u"15", u"15,00"},
    {FieldId::Summe1Ed, u"", u"7,46"},
    {FieldId::Summe6Ed, u"0,35", u"0,35"},
    {FieldId::Summe7Ed, u"0,20", u"0,20"},
    {FieldId::Ek8Ed, u"0,12", u"0,12"},
    {FieldId::Anz8Ed, u"4", u"4"},
    {FieldId::Summe8Ed, u"", u"0,48"},
    {FieldId::Ek9Ed, u"", u"8,49"},
    {FieldId::Summe9Ed, u"", u"9,76"},
    {FieldId::Summe10Ed, u"6,00", u"6,00"},
    {FieldId::Summe11Ed, u"4,50", u"4,50"},
    {FieldId::Summe13Ed, u"", u"20,26"},
    {FieldId::Dach14Ed, u"24", u"24,00"},
    {FieldId::Summe15Ed, u"", u"486,24"},
    {FieldId::BruttoEd, u"", u"578,63"},
}};
// clang-format on

// What the worked example shows in `field`; the field must be one of the table's.
std::u16string_view workedExampleShown(FieldId field);

// `text` with its "," replaced by `separator`.
std::u16string withSeparator(std::u16string_view text, char16_t separator);

// Types the inputs into `sheet` with its decimal separator. The caller runs the count rules
// first where the sheet should be as the program starts it.
void enterWorkedExample(Sheet& sheet);

// The inputs as pyrelto-cli's command line: "--separator=," and then "List1Ed=9,99" and so on.
std::vector<std::string> workedExampleArguments(char separator = ',');

} // namespace pyrelto::test
