// Exact decimal amounts for prices, coverages and percentages. A price list states its prices with
// a precision of its own (DATANORM in cents, some CSV lists in tenths of a cent); binary floating
// point would turn 74,93 into 74,929999... and a re-pricing report would then show changes nobody
// made. An amount is therefore an integer count of 10^-decimals units: 74,93 is {7493, 2} and
// 0,1234 is {1234, 4}. Two amounts are equal when they name the same value, whatever their
// precision ({7490, 2} == {749, 1}).
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pyrelto {

struct Decimal {
    // The most decimals a list may state. Four keep tenths and hundredths of a cent.
    static constexpr int kMaxDecimals = 4;

    std::int64_t units = 0;
    int decimals = 0;

    // The value in units of 10^-kMaxDecimals, the common scale of comparisons.
    [[nodiscard]] std::int64_t scaled() const;
    // Rounded half away from zero to cents.
    [[nodiscard]] std::int64_t cents() const;
    [[nodiscard]] bool isZero() const { return units == 0; }

    friend bool operator==(const Decimal& a, const Decimal& b) { return a.scaled() == b.scaled(); }
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
        return a.scaled() <=> b.scaled();
    }
};

// The largest magnitude a Decimal may hold, in units of 10^-kMaxDecimals: a billion euros is far
// beyond any article and keeps every product in the derived prices inside 128 bits.
inline constexpr std::int64_t kMaxScaledDecimal = 1'000'000'000'0000LL;

enum class NumberStyle {
    German,  // 1.234,56
    English, // 1,234.56
};

// Reads a number the way a price list writes it: an optional sign, digits with optional
// thousands separators of the given style, an optional decimal part of at most kMaxDecimals digits.
// Surrounding spaces are allowed. Anything else (letters, two decimal separators, too many
// decimals, a value beyond kMaxScaledDecimal) gives nullopt.
std::optional<Decimal> parseDecimal(std::string_view text, NumberStyle style);

// The text with "," as the decimal separator and exactly the amount's own decimals ("74,93").
std::string formatDecimal(const Decimal& value);

// Cents as "9,99" (German decimal comma, no thousands separators).
std::string formatCents(std::int64_t cents);

} // namespace pyrelto
