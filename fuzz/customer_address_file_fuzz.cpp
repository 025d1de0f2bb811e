// Any bytes as an address file: either addresses that write back to the same bytes' meaning, or
// IoError.

#include "customer_address_file.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace pyrelto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryReader in(std::as_bytes(std::span(data, size)));
    CustomerAddresses addresses;
    try {
        addresses = readCustomerAddressEntries(in);
    } catch (const IoError&) {
        return 0;
    }
    // Every entry took at least its two counts of 4 bytes.
    if (addresses.size() * 8 + 4 > size) {
        __builtin_trap();
    }
    MemoryWriter out;
    for (const auto& [name, address] : addresses) {
        blockwriteStrU(out, name);
        blockwriteStrU(out, address);
    }
    MemoryWriter whole;
    writeInt32(whole, static_cast<std::int32_t>(addresses.size()));
    whole.write(out.bytes());
    MemoryReader again(whole.bytes());
    if (readCustomerAddressEntries(again) != addresses) {
        __builtin_trap();
    }
    return 0;
}
