// A price list file from disk, its format detected: the entry the import command and the CLI use.
#pragma once

#include "csv_price_list.h"
#include "datanorm_reader.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pyrelto {

// The bytes of a price list file; empty with a German reason in `error` when the file is missing,
// unreadable or larger than kMaxPriceListBytes.
struct PriceListBytes {
    std::vector<std::byte> bytes;
    std::string error;
};
PriceListBytes loadPriceListFile(const std::filesystem::path& path);

// Reads at most kMaxPriceListBytes; a larger or unreadable file gives a list with one problem.
// A DATANORM file takes the supplier from `csv.supplier` when given, else from its header.
PriceList readPriceListFile(const std::filesystem::path& path, const CsvOptions& csv);

// The same for bytes already in memory.
PriceList readPriceList(std::span<const std::byte> bytes, const CsvOptions& csv);

} // namespace pyrelto
