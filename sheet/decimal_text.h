#pragma once
// Conversions between numbers and the texts the numeric fields show. The C library's locale never
// takes part: the decimal separator is the one the caller passes, from the number format of the
// sheet the field belongs to.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pyrelto {

// How a sheet's numeric fields show and read numbers. The window takes it from the user's regional
// settings (and again when they change), the driver from its option or the environment; each
// sheet keeps its own, so sheets of different formats can live side by side.
struct NumberFormat {
    char16_t decimalSeparator = u',';
    friend bool operator==(const NumberFormat&, const NumberFormat&) = default;
};

// |v| as 0.D × 10^exponent, D rounded to 18 significant digits (round half to even on the exact
// binary value), trailing zeros removed. Zero gives empty digits. Not for NaN or infinity.
struct DecimalDigits {
    std::string digits;
    int exponent = 0;
    bool negative = false;
};
DecimalDigits decimalExpansion18(long double v);

// Fixed-point text with `decimals` digits after the separator, rounded half away from zero on the
// 18-digit expansion; 15 significant digits at most, scientific form ("1,5E20") from 10^15 on;
// zero and values that round to zero are "0,00", never signed. NaN and infinities give "NAN",
// "INF" and "-INF" (which read back as no number).
std::u16string formatFixed(long double v, int decimals, char16_t separator);

// v rounded to the nearest integer, ties to even, in decimal digits. Values beyond the 64-bit
// range saturate; NaN gives "0".
std::u16string formatInteger(long double v);

// The float reading rule: optional spaces, sign, digits with at most one separator (at least one
// digit or the separator), optional exponent ("E"/"e", optional sign, optional digits), optional
// spaces. Empty result for any other form or an overflow.
std::optional<long double> parseFloat(std::u16string_view text, char16_t separator);

// The integer reading rule: optional leading spaces, optional sign, decimal digits or a hexadecimal
// number after "$", "x" or "0x", nothing after; empty result outside the signed 32-bit range.
std::optional<std::int32_t> parseInteger(std::u16string_view text);

} // namespace pyrelto
