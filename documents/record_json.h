#pragma once
// What the register's JSON records (invoice_data.cpp, offer_particulars.cpp) write alike: dates as
// "YYYY-MM-DD" (empty for none) and the tax case as "normal", "13b" or "19". Readers throw
// std::runtime_error (German) for anything else.

#include "date.h"
#include "tax_case.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace pyrelto::record_json {

using Json = nlohmann::ordered_json;

// A whole number within T. nlohmann's get<T>() converts a fraction or a number beyond T unchecked
// (undefined for a float out of range); a damaged record must be refused instead.
template <typename T> T integerOf(const Json& value) {
    const auto refused = [&value] {
        return std::runtime_error("keine passende ganze Zahl: " + value.dump());
    };
    if (!value.is_number_integer())
        throw refused();
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
            throw refused();
        return static_cast<T>(number);
    }
    const auto number = value.get<std::int64_t>();
    if (number < std::numeric_limits<T>::min() || number > std::numeric_limits<T>::max())
        throw refused();
    return static_cast<T>(number);
}

inline std::string iso(const Date& date) {
    if (!date.isSet())
        return {};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
    return buffer;
}

inline Date dateOf(const Json& value) {
    const std::string text = value.get<std::string>();
    if (text.empty())
        return {};
    const auto date = parseIsoDate(text);
    if (!date)
        throw std::runtime_error("ungültiges Datum „" + text + "“");
    return *date;
}

inline std::string taxCaseText(TaxCase taxCase) {
    switch (taxCase) {
    case TaxCase::Normal:
        break;
    case TaxCase::ReverseCharge:
        return "13b";
    case TaxCase::SmallBusiness:
        return "19";
    }
    return "normal";
}

inline TaxCase taxCaseOf(const std::string& text) {
    for (const TaxCase taxCase : {TaxCase::Normal, TaxCase::ReverseCharge, TaxCase::SmallBusiness})
        if (text == taxCaseText(taxCase))
            return taxCase;
    throw std::runtime_error("unbekannter Steuerfall „" + text + "“");
}

} // namespace pyrelto::record_json
