#pragma once
// The numbers a data file may hold. Internal to the files library.

#include "torvane.h"

#include <string_view>

namespace pyrelto::detail {

// A field's value as the double a file stores; IoError (Kind::Damaged) naming the field when it
// lies beyond the range of a double.
double toFileDouble(long double value, std::string_view field);
// Whether a stored pieces value fits a pieces field: finite and, rounded to the nearest whole
// number, within the signed 32-bit range the field reads back.
bool isPiecesValue(double value);

} // namespace pyrelto::detail
