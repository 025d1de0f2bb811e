#pragma once
// The take-off as the payload of the extension block's chunk kTakeOffChunk ("TKOF"), laid out in
// docs/file-formats.md. Only what was entered is stored; areas and totals are computed again on
// loading, so a file can never carry a total that does not follow from its rows.

#include "extension_block.h"
#include "takeoff.h"

#include <vector>

namespace pyrelto {

inline constexpr std::uint16_t kTakeOffChunkVersion = 1;

// Throws IoError (Kind::Damaged) before anything is returned when the take-off exceeds the bounds
// a reader accepts (kMaxRows rows per list, kMaxPolygonPoints corners, kMaxNameLength units per
// name, an unknown shape, way of measuring or edge kind): every chunk written reads back.
std::vector<std::byte> encodeTakeOff(const TakeOff& takeOff);
// Throws IoError (Kind::Damaged, a German reason) for an unknown version, a count or name beyond
// its bound, an unknown shape, way of measuring or edge kind, a payload that ends early or runs on.
// Values within the bounds are taken as they are: computeTakeOff reports the faulty ones by row.
TakeOff decodeTakeOff(std::span<const std::byte> payload);

} // namespace pyrelto
