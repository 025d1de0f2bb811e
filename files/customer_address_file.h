#pragma once
// The recipients' addresses the offers were written to, remembered per customer name in a file of
// their own in the program data folder ("adressen.dat"; the customer list file stays as it is):
// an int32 count, then per customer two Text blocks, the name and the address (lines separated
// by "\n"), sorted by name.

#include "torvane.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace pyrelto {

inline constexpr std::u16string_view kCustomerAddressFileName = u"adressen.dat";

// An address takes a few hundred bytes; this leaves room for a hundred thousand customers with
// long addresses. A larger file is refused as damaged before it is read (it is read whole for
// every offer), and addresses that would need a larger one are not written.
inline constexpr std::uint64_t kMaxCustomerAddressFileBytes = std::uint64_t{64} * 1024 * 1024;

using CustomerAddresses = std::map<std::u16string, std::u16string, std::less<>>;

// The entries of an open address stream, which must end after the last one. Throws IoError.
CustomerAddresses readCustomerAddressEntries(ByteReader& in);

// None when the file cannot be opened (first run). A damaged file throws IoError; so does a file
// with more bytes after its last entry, which this program never writes, and one larger than
// kMaxCustomerAddressFileBytes.
std::optional<CustomerAddresses> readCustomerAddresses(std::u16string_view fname);

// Replaces the file safely. False when it cannot be created; a failed transfer or addresses that
// need more than kMaxCustomerAddressFileBytes throw IoError and leave the old file as it was. With
// `keepDamaged`, an old file is moved to fname + ".bak" first, so that what a damaged file still
// holds is not lost.
bool writeCustomerAddresses(std::u16string_view fname, const CustomerAddresses& addresses,
                            bool keepDamaged = false);

} // namespace pyrelto
