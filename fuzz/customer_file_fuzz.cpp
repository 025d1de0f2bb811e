// Any bytes as a customer list file: either a list of names that writes back to the same names,
// or DamagedCustomerFile with the names read before the failure.

#include "customer_file.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace pyrelto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryReader in(std::as_bytes(std::span(data, size)));
    std::vector<std::u16string> names;
    try {
        names = readCustomerNames(in);
    } catch (const DamagedCustomerFile& e) {
        // Every name read took at least its 4 count bytes.
        if (e.namesBefore().size() * 4 > size) {
            __builtin_trap();
        }
        return 0;
    }
    MemoryWriter out;
    writeCustomerNames(out, names);
    MemoryReader again(out.bytes());
    if (readCustomerNames(again) != names || !again.atEnd()) {
        __builtin_trap();
    }
    return 0;
}
