#pragma once
// Money in exact cents. Amounts on paper are read from the texts the sheet shows (already rounded
// to the cent by its rules) and only added, subtracted and taken percentages of here, so a total
// never drifts from the lines it is the sum of. The texts follow the sheet's NumberFormat.

#include "decimal_text.h"

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pyrelto {

// Whether the digits before the separator are grouped in threes ("86.765,88").
enum class Grouping : std::uint8_t { None, Thousands };

class Money {
public:
    constexpr Money() = default;
    static constexpr Money fromCents(std::int64_t cents) { return Money(cents); }
    constexpr std::int64_t cents() const { return cents_; }

    // The amount of a text a sheet shows: surrounding spaces, an optional "-", 1 to 15 digits,
    // optionally the separator of `format` and at most two digits. Nothing for any other text:
    // grouped, scientific ("1,5E20"), "NAN", "INF", more than two decimals.
    static std::optional<Money> parse(std::u16string_view shown, NumberFormat format);

    // Two decimals with the separator of `format` ("-1234,05", grouped "-1.234,05"); zero is
    // never signed.
    std::u16string format(NumberFormat format, Grouping grouping = Grouping::None) const;

    // This amount times `hundredths` / 100 percent (percent(1900) is 19 %, percent(750) is 7,5 %),
    // rounded to the cent half away from zero, as commercial rounding does. Exact for every amount
    // a sheet shows and any rate below 10^6 %.
    Money percent(std::int64_t hundredths) const;

    friend constexpr Money operator+(Money a, Money b) { return Money(a.cents_ + b.cents_); }
    friend constexpr Money operator-(Money a, Money b) { return Money(a.cents_ - b.cents_); }
    friend constexpr Money operator-(Money a) { return Money(-a.cents_); }
    constexpr Money& operator+=(Money other) {
        cents_ += other.cents_;
        return *this;
    }
    constexpr Money& operator-=(Money other) {
        cents_ -= other.cents_;
        return *this;
    }
    friend constexpr auto operator<=>(Money, Money) = default;
    friend constexpr bool operator==(Money, Money) = default;

private:
    constexpr explicit Money(std::int64_t cents) : cents_(cents) {}
    std::int64_t cents_ = 0;
};

// The separator of the thousands that goes with `format`: "." beside a decimal comma, "," beside
// anything else.
char16_t groupSeparator(NumberFormat format);

// `shown` trimmed, with the digits before the separator grouped in threes when it is a plain
// decimal number (optional "-", digits, optional separator and digits); any other text comes back
// trimmed and otherwise as it is. For quantities with any number of decimals; Money::format groups
// the same way.
std::u16string groupedDecimal(std::u16string_view shown, NumberFormat format);

} // namespace pyrelto
