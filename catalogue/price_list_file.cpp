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

PriceList readPriceListFile(const std::filesystem::path& path, const CsvOptions& csv) {
    const auto refused = [](std::string reason) {
        PriceList list;
        reportProblem(list.problems, 0, std::move(reason));
        return list;
    };
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) {
        return refused("Die Datei kann nicht gelesen werden: " + error.message());
    }
    if (size > kMaxPriceListBytes) {
        return refused("Die Datei ist größer als " + std::to_string(kMaxPriceListBytes >> 20) +
                       " MiB und wird nicht gelesen.");
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::byte> bytes(static_cast<std::size_t>(size));
    if (!in ||
        !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)) ||
        static_cast<std::uintmax_t>(in.gcount()) != size) {
        return refused("Die Datei kann nicht vollständig gelesen werden.");
    }
    return readPriceList(bytes, csv);
}

} // namespace pyrelto
