// The three encodings price lists come in: UTF-8 (with or without BOM), Windows-1252 (what
// spreadsheet programs on German Windows save as CSV) and CP850 (DOS, what DATANORM prescribes).
#pragma once

#include "price_list.h"

#include <cstddef>
#include <span>
#include <string>

namespace pyrelto {

// ASCII when no byte is above 0x7F; UTF-8 when the bytes are valid UTF-8 (a BOM counts); otherwise
// whichever of Windows-1252 and CP850 explains more of the bytes as German letters and "²"
// (ä ö ü Ä Ö Ü ß ² sit on different bytes in the two), Windows-1252 on a tie.
TextEncoding detectEncoding(std::span<const std::byte> bytes);

// The bytes as UTF-8. A UTF-8 BOM is dropped; invalid UTF-8 sequences become U+FFFD.
std::string decodeToUtf8(std::span<const std::byte> bytes, TextEncoding encoding);

} // namespace pyrelto
