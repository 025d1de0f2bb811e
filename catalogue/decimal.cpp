#include "decimal.h"

#include <array>
#include <cstdlib>

namespace pyrelto {

namespace {

constexpr std::array<std::int64_t, Decimal::kMaxDecimals + 1> kPowers{1, 10, 100, 1000, 10000};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

std::int64_t Decimal::scaled() const {
    return units * kPowers[static_cast<std::size_t>(kMaxDecimals - decimals)];
}

std::int64_t Decimal::cents() const {
    if (decimals <= 2) {
        return units * kPowers[static_cast<std::size_t>(2 - decimals)];
    }
    const std::int64_t divisor = kPowers[static_cast<std::size_t>(decimals - 2)];
    const std::int64_t magnitude = (std::llabs(units) + divisor / 2) / divisor;
    return units < 0 ? -magnitude : magnitude;
}

std::optional<Decimal> parseDecimal(std::string_view text, NumberStyle style) {
    text = trimmed(text);
    const char decimalMark = style == NumberStyle::German ? ',' : '.';
    const char groupMark = style == NumberStyle::German ? '.' : ',';
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t units = 0;
    int decimals = 0;
    bool inFraction = false;
    bool anyDigit = false;
    std::size_t digitsSinceGroup = 0;
    bool grouped = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            if (inFraction && decimals == Decimal::kMaxDecimals) {
                return std::nullopt;
            }
            units = units * 10 + (c - '0');
            if (units * kPowers[static_cast<std::size_t>(Decimal::kMaxDecimals - decimals)] >
                kMaxScaledDecimal) {
                return std::nullopt;
            }
            anyDigit = true;
            ++digitsSinceGroup;
            if (inFraction) {
                ++decimals;
            }
        } else if (c == groupMark && !inFraction) {
            // A thousands separator follows one to three digits, then exactly three more.
            if (!anyDigit || (grouped && digitsSinceGroup != 3) || digitsSinceGroup > 3) {
                return std::nullopt;
            }
            grouped = true;
            digitsSinceGroup = 0;
        } else if (c == decimalMark && !inFraction) {
            if (grouped && digitsSinceGroup != 3) {
                return std::nullopt;
            }
            inFraction = true;
        } else {
            return std::nullopt;
        }
    }
    if (!anyDigit || (grouped && !inFraction && digitsSinceGroup != 3)) {
        return std::nullopt;
    }
    return Decimal{negative ? -units : units, decimals};
}

std::string formatDecimal(const Decimal& value) {
    std::string digits = std::to_string(std::llabs(value.units));
    if (static_cast<int>(digits.size()) <= value.decimals) {
        digits.insert(0, static_cast<std::size_t>(value.decimals) + 1 - digits.size(), '0');
    }
    if (value.decimals > 0) {
        digits.insert(digits.size() - static_cast<std::size_t>(value.decimals), 1, ',');
    }
    return value.units < 0 ? "-" + digits : digits;
}

std::string formatCents(std::int64_t cents) {
    return formatDecimal(Decimal{cents, 2});
}

} // namespace pyrelto
