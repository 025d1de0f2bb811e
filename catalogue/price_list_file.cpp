#include "price_list_file.h"

#include <fstream>
#include <system_error>
#include <vector>

namespace pyrelto {

PriceList readPriceList(std::span<const std::byte> bytes, const CsvOptions& csv) {
    if (detectPriceListFormat(bytes) == PriceListFormat::Datanorm4) {
        return readDatanorm(bytes, DatanormOptions{csv.supplier});
    }
    return readCsvPriceList(bytes, csv);
}

PriceListBytes loadPriceListFile(const std::filesystem::path& path) {
    PriceListBytes loaded;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) {
        loaded.error = "Die Datei kann nicht gelesen werden: " + error.message();
        return loaded;
    }
    if (size > kMaxPriceListBytes) {
        loaded.error = "Die Datei ist größer als " + std::to_string(kMaxPriceListBytes >> 20) +
                       " MiB und wird nicht gelesen.";
        return loaded;
    }
    std::ifstream in(path, std::ios::binary);
    loaded.bytes.resize(static_cast<std::size_t>(size));
    if (!in ||
        !in.read(reinterpret_cast<char*>(loaded.bytes.data()),
                 static_cast<std::streamsize>(size)) ||
        static_cast<std::uintmax_t>(in.gcount()) != size) {
        loaded.bytes.clear();
        loaded.error = "Die Datei kann nicht vollständig gelesen werden.";
    }
    return loaded;
}

PriceList readPriceListFile(const std::filesystem::path& path, const CsvOptions& csv) {
    const PriceListBytes loaded = loadPriceListFile(path);
    if (!loaded.error.empty()) {
        PriceList list;
        reportProblem(list.problems, 0, loaded.error);
        return list;
    }
    return readPriceList(loaded.bytes, csv);
}

} // namespace pyrelto
