#pragma once
// The take-off as pyrelto-cli reads it from a JSON file (--takeoff) and shows it in its output.
// The format is documented in the README ("Take-off from a JSON file").

#include "takeoff.h"

#include <nlohmann/json.hpp>
#include <string>

namespace pyrelto {

// Throws std::runtime_error with a German message naming the member ("faces[1].width: …") for a
// member of the wrong type, an unknown member, a number with more than two decimals or out of
// range. Dimensions that are numbers but no sound roof are left to computeTakeOff.
TakeOff takeOffFromJson(const nlohmann::json& json);
// The rows' areas and the totals as the sheet shows numbers ("130,00"); "totals" is null and
// "messages" lists the faults when a row is faulty (possible for a take-off read from a file).
nlohmann::ordered_json takeOffJson(const TakeOff& takeOff, char16_t separator);

} // namespace pyrelto
