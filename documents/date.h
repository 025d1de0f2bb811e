#pragma once
// The one calendar date of the documents: offers and invoices print it, invoices compute with it.

#include <compare>
#include <optional>
#include <string>

namespace pyrelto {

// A calendar date; year 0 means "not given".
struct Date {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31

    bool isSet() const { return year != 0; }
    bool isValid() const;
    friend auto operator<=>(const Date&, const Date&) = default;
};

// "YYYY-MM-DD"; nothing for any other text or an impossible date.
std::optional<Date> parseIsoDate(const std::string& text);

} // namespace pyrelto
