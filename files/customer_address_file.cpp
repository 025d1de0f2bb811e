#include "customer_address_file.h"

#include "safe_write.h"

namespace pyrelto {

CustomerAddresses readCustomerAddressEntries(ByteReader& file) {
    const std::int32_t count = readInt32(file);
    if (count < 0)
        throw IoError::damaged("Die Adressdatei ist beschädigt");
    CustomerAddresses addresses;
    // Every entry takes at least eight bytes, so a damaged count ends at the file's end rather than
    // in a long loop.
    for (std::int32_t i = 0; i < count; ++i) {
        std::u16string name = blockreadStrU(file);
        std::u16string address = blockreadStrU(file);
        addresses.insert_or_assign(std::move(name), std::move(address));
    }
    if (!file.atEnd())
        throw IoError::damaged("Die Adressdatei ist beschädigt");
    return addresses;
}

std::optional<CustomerAddresses> readCustomerAddresses(std::u16string_view fname) {
    FileReader file;
    if (!file.open(fname))
        return std::nullopt;
    refuseOversizedFile(file.size(), kMaxCustomerAddressFileBytes);
    return readCustomerAddressEntries(file);
}

bool writeCustomerAddresses(std::u16string_view fname, const CustomerAddresses& addresses,
                            bool keepDamaged) {
    // Measured before the image exists: addresses beyond the bound must not take its memory first.
    std::uint64_t size = 4;
    for (const auto& [name, address] : addresses)
        size += 8 + std::uint64_t{2} * (name.size() + address.size());
    if (size > kMaxCustomerAddressFileBytes)
        throw IoError::damaged("Die Adressliste ist zu groß für die Datei.");
    MemoryWriter image;
    writeInt32(image, static_cast<std::int32_t>(addresses.size()));
    for (const auto& [name, address] : addresses) {
        blockwriteStrU(image, name);
        blockwriteStrU(image, address);
    }
    if (!keepDamaged)
        return writeFileSafely(fname, image.bytes());
    const std::u16string backup = std::u16string(fname) + u".bak";
    return writeFileSafely(fname, image.bytes(), backup);
}

} // namespace pyrelto
