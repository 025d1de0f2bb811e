#include "money.h"

#include "text.h"

namespace pyrelto {

namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Groups the digits of text[from, end) in threes.
void appendGrouped(std::u16string& out, std::u16string_view digits, char16_t separator) {
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.push_back(separator);
        out.push_back(digits[i]);
    }
}

} // namespace

std::optional<Money> Money::parse(std::u16string_view shown, NumberFormat format) {
    const std::u16string text = trimmed(shown);
    const bool negative = !text.empty() && text.front() == u'-';
    const std::size_t start = negative ? 1 : 0;
    const std::size_t point = text.find(format.decimalSeparator);
    const std::size_t end = point == std::u16string::npos ? text.size() : point;
    const std::size_t fraction = point == std::u16string::npos ? 0 : text.size() - point - 1;
    if (end <= start || end - start > 15 || fraction > 2)
        return std::nullopt;
    std::int64_t cents = 0;
    for (std::size_t i = start; i < end; ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        cents = cents * 10 + (text[i] - u'0');
    }
    for (std::size_t i = 0; i < 2; ++i) {
        int digit = 0;
        if (i < fraction) {
            const char16_t c = text[point + 1 + i];
            if (!isDigit(c))
                return std::nullopt;
            digit = c - u'0';
        }
        cents = cents * 10 + digit;
    }
    return Money(negative ? -cents : cents);
}

std::u16string Money::format(NumberFormat format, Grouping grouping) const {
    const bool negative = cents_ < 0;
    // Through unsigned, so that the smallest value has a magnitude too.
    const std::uint64_t magnitude =
        negative ? 0ULL - static_cast<std::uint64_t>(cents_) : static_cast<std::uint64_t>(cents_);
    std::u16string whole;
    for (std::uint64_t units = magnitude / 100; whole.empty() || units > 0; units /= 10)
        whole.insert(whole.begin(), static_cast<char16_t>(u'0' + units % 10));
    std::u16string out = negative ? u"-" : u"";
    if (grouping == Grouping::Thousands)
        appendGrouped(out, whole, groupSeparator(format));
    else
        out += whole;
    out.push_back(format.decimalSeparator);
    out.push_back(static_cast<char16_t>(u'0' + magnitude % 100 / 10));
    out.push_back(static_cast<char16_t>(u'0' + magnitude % 10));
    return out;
}

Money Money::percent(std::int64_t hundredths) const {
    // cents × hundredths / 10000 without the product: whole ten-thousands of cents times the rate,
    // then the remainder, whose product stays below 10^4 × 10^8.
    const bool negative = (cents_ < 0) != (hundredths < 0);
    const std::uint64_t amount =
        cents_ < 0 ? 0ULL - static_cast<std::uint64_t>(cents_) : static_cast<std::uint64_t>(cents_);
    const std::uint64_t rate = hundredths < 0 ? 0ULL - static_cast<std::uint64_t>(hundredths)
                                              : static_cast<std::uint64_t>(hundredths);
    const std::uint64_t rest = amount % 10000 * rate;
    const std::uint64_t result = amount / 10000 * rate + rest / 10000 + (rest % 10000 >= 5000);
    const auto cents = static_cast<std::int64_t>(result);
    return Money(negative ? -cents : cents);
}

char16_t groupSeparator(NumberFormat format) {
    return format.decimalSeparator == u',' ? u'.' : u',';
}

std::u16string groupedDecimal(std::u16string_view shown, NumberFormat format) {
    std::u16string text = trimmed(shown);
    const std::size_t sign = !text.empty() && text.front() == u'-' ? 1 : 0;
    std::size_t end = text.find(format.decimalSeparator);
    if (end == std::u16string::npos)
        end = text.size();
    if (end <= sign)
        return text;
    for (std::size_t i = sign; i < text.size(); ++i)
        if (i != end && !isDigit(text[i]))
            return text; // "1,5E20", "NAN": not a plain number to group
    std::u16string out = text.substr(0, sign);
    appendGrouped(out, std::u16string_view(text).substr(sign, end - sign), groupSeparator(format));
    out += text.substr(end);
    return out;
}

} // namespace pyrelto
