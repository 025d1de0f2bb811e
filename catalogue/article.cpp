#include "article.h"

#include <array>

namespace pyrelto {

namespace {

// 64-bit price times 64-bit scale needs more room; gcc and clang both have it.
__extension__ typedef __int128 Wide;

// Rounds numerator / denominator half up; both positive or numerator zero.
std::int64_t roundedQuotient(Wide numerator, Wide denominator) {
    const bool negative = numerator < 0;
    const Wide magnitude = negative ? -numerator : numerator;
    const auto quotient =
        static_cast<std::int64_t>((magnitude * 2 + denominator) / (denominator * 2));
    return negative ? -quotient : quotient;
}

} // namespace

std::string CalendarDate::iso() const {
    if (!isSet()) {
        return {};
    }
    std::array<char, 11> text{};
    const auto put = [&](std::size_t at, int value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    put(0, year, 4);
    text[4] = '-';
    put(5, month, 2);
    text[7] = '-';
    put(8, day, 2);
    return std::string(text.data(), 10);
}

std::string Article::text() const {
    if (shortText2.empty()) {
        return shortText1;
    }
    if (shortText1.empty()) {
        return shortText2;
    }
    return shortText1 + ' ' + shortText2;
}

std::optional<std::int64_t> listPricePerSquareMetre(const Article& article) {
    if (!article.coverage || article.coverage->units <= 0 || article.priceUnit <= 0) {
        return std::nullopt;
    }
    // cents = price * 100 / (priceUnit * coverage), both decimals on the common scale.
    const Wide numerator = static_cast<Wide>(article.listPrice.scaled()) * 100;
    const Wide denominator = static_cast<Wide>(article.priceUnit) * article.coverage->scaled();
    return roundedQuotient(numerator, denominator);
}

std::int64_t listPricePerPiece(const Article& article) {
    const int unit = article.priceUnit > 0 ? article.priceUnit : 1;
    const Wide numerator = static_cast<Wide>(article.listPrice.scaled()) * 100;
    const Wide denominator = static_cast<Wide>(unit) * 10000;
    return roundedQuotient(numerator, denominator);
}

std::int64_t purchasePricePerPiece(const Article& article, std::optional<Decimal> discountPercent) {
    const int unit = article.priceUnit > 0 ? article.priceUnit : 1;
    // cents = price * (100 - discount) / priceUnit; on the common scale price and discount carry
    // 10^4 each: scaled price * (100 * 10^4 - scaled discount) / (priceUnit * 10^8).
    constexpr Wide kHundredPercent = Wide{100} * 10000;
    const Wide discount = discountPercent ? discountPercent->scaled() : 0;
    const Wide numerator =
        static_cast<Wide>(article.listPrice.scaled()) * (kHundredPercent - discount);
    const Wide denominator = static_cast<Wide>(unit) * 100000000;
    return roundedQuotient(numerator, denominator);
}

} // namespace pyrelto
