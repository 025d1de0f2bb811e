#include "stored_text.h"

#include "decimal_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace pyrelto {

namespace {

std::u16string ascii(std::string_view text) {
    return {text.begin(), text.end()};
}

bool isTrimmed(char16_t c) {
    return c <= u' ';
}

} // namespace

std::u16string storedFloatText(long double value) {
    if (!std::isfinite(value))
        return u"0";
    const DecimalDigits expansion = decimalExpansion18(value);
    const std::string& digits = expansion.digits;
    if (digits.empty())
        return u"0";
    const int count = static_cast<int>(digits.size());
    const int e = expansion.exponent; // digits before the point
    std::string text = expansion.negative ? "-" : "";
    if (e >= -3 && e <= 18) {
        if (e <= 0) {
            text += "0.";
            text.append(static_cast<std::size_t>(-e), '0');
            text += digits;
        } else if (e >= count) {
            text += digits;
            text.append(static_cast<std::size_t>(e - count), '0');
        } else {
            text += digits.substr(0, static_cast<std::size_t>(e));
            text += '.';
            text += digits.substr(static_cast<std::size_t>(e));
        }
    } else {
        text += digits.front();
        if (count > 1) {
            text += '.';
            text += digits.substr(1);
        }
        text += 'E';
        char buffer[16];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, e - 1);
        text.append(buffer, result.ptr);
    }
    return ascii(text);
}

std::u16string trimStoredText(std::u16string_view text) {
    const auto first = std::find_if_not(text.begin(), text.end(), isTrimmed);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), isTrimmed).base();
    return first < last ? std::u16string(first, last) : std::u16string();
}

std::optional<int> parseStoredInteger(std::u16string_view text) {
    const std::u16string trimmed = trimStoredText(text);
    std::string narrow;
    for (const char16_t c : trimmed) {
        if (c > 0x7F)
            return std::nullopt;
        narrow += static_cast<char>(c);
    }
    std::string_view digits = narrow;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.front() < '0' || digits.front() > '9')
        return std::nullopt;
    long long magnitude = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        return std::nullopt;
    const long long value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

std::array<std::optional<int>, 4> positionWords(std::u16string_view text) {
    std::array<std::optional<int>, 4> words;
    std::size_t found = 0;
    std::size_t pos = 0;
    const auto separator = [](char16_t c) { return c == u',' || c == u' '; };
    while (found < words.size()) {
        while (pos < text.size() && separator(text[pos]))
            ++pos;
        if (pos == text.size())
            break;
        std::size_t end = pos;
        while (end < text.size() && !separator(text[end]))
            ++end;
        words[found++] = parseStoredInteger(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

} // namespace pyrelto
