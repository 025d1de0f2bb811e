#pragma once
// The text forms of the values the window keeps between runs (placement, VAT rate, currency):
// independent of the regional settings, so a value stored under one reads back under any other.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pyrelto {

// A stored float: "." as decimal point, at most 18 significant digits, trailing zeros dropped;
// plain from 0.0001 up to 18 integer digits, otherwise "1.5E20" / "1E-5". Not for NaN or infinity,
// which give "0" (a field never reads as either).
std::u16string storedFloatText(long double value);
// A stored text without its leading and trailing spaces and control characters.
std::u16string trimStoredText(std::u16string_view text);
// A stored integer: optional spaces and sign, decimal digits; nothing for anything else or a value
// outside 32 bits.
std::optional<int> parseStoredInteger(std::u16string_view text);
// The first four words of a position value, split at commas and spaces; a missing or non-numeric
// word is empty.
std::array<std::optional<int>, 4> positionWords(std::u16string_view text);

} // namespace pyrelto
