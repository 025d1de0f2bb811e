#include "number_checks.h"

#include <cmath>
#include <limits>
#include <string>

namespace pyrelto::detail {

double toFileDouble(long double value, std::string_view field) {
    // Checked before narrowing: converting a long double beyond the double range is undefined.
    if (!(std::fabs(value) <= static_cast<long double>(std::numeric_limits<double>::max()))) {
        throw IoError::damaged("Zahl zu groß für die Datei: " + std::string(field));
    }
    return static_cast<double>(value);
}

bool isPiecesValue(double value) {
    if (!std::isfinite(value)) {
        return false;
    }
    // The field rounds half to even, as nearbyint does in the default rounding mode.
    const double whole = std::nearbyint(value);
    return whole >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
           whole <= static_cast<double>(std::numeric_limits<std::int32_t>::max());
}

} // namespace pyrelto::detail
