// DATANORM version 4, the trade's exchange format for wholesalers' price lists, as
// docs/catalogue.md describes it from the public descriptions of the format: CP850 text, one record
// per line ended by CR LF, a DOS end-of-file byte 0x1A after the last line, a fixed-width header
// record V first and
// ";"-separated records after it. Read: V (date, supplier, version, currency), A (article), B
// (EAN), P (up to three prices). Other record types of version 4 are skipped; version 5 and
// unknown record types are reported.
#pragma once

#include "price_list.h"

#include <cstddef>
#include <span>
#include <string>

namespace pyrelto {

struct DatanormOptions {
    // Overrides the supplier named in the header record (its first info text).
    std::string supplier;
};

PriceList readDatanorm(std::span<const std::byte> bytes, const DatanormOptions& options = {});

// A DATANORM file starts with a header record "V" of at least 128 characters; anything else is
// taken for CSV.
PriceListFormat detectPriceListFormat(std::span<const std::byte> bytes);

} // namespace pyrelto
