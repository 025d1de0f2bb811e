// The address file the offers remember customers' addresses in: a round trip through a real file,
// and damaged files that must end in IoError without taking memory their counts claim.

#include "customer_address_file.h"
#include "file_test_support.h"
#include "safe_write.h"

#include <gtest/gtest.h>

namespace pyrelto {
namespace {

using test::Bytes;
using test::bytes;
using test::operator+;

// A Text block: int32 count of UTF-16 units, then the units (ASCII here).
Bytes block(const std::string& text) {
    const auto n = static_cast<int>(text.size());
    Bytes out = bytes({n & 0xff, (n >> 8) & 0xff, 0, 0});
    for (const char c : text)
        out = out + bytes({c, 0});
    return out;
}

TEST(CustomerAddressFile, RoundTripThroughARealFile) {
    test::TempDir dir;
    const std::u16string file = test::name16(dir / "adressen.dat");
    EXPECT_FALSE(readCustomerAddresses(file).has_value()); // first run: no file, no error

    const CustomerAddresses addresses{{u"Müller", u"Lindenweg 5\n37073 Göttingen"},
                                      {u"Bauhof Schmidt", u"Am Hafen 1"},
                                      {u"", u""}};
    ASSERT_TRUE(writeCustomerAddresses(file, addresses));
    EXPECT_EQ(readCustomerAddresses(file), addresses);
    // Pinned by hand: count 1, name "A", address "B".
    ASSERT_TRUE(writeCustomerAddresses(file, {{u"A", u"B"}}));
    EXPECT_EQ(test::readBytes(dir / "adressen.dat"), bytes({1, 0, 0, 0}) + block("A") + block("B"));
}

TEST(CustomerAddressFile, DamagedFilesAreRefusedAndKeptAside) {
    struct Case {
        const char* name;
        Bytes data;
    };
    const Case cases[] = {
        {"empty", {}},
        {"count_cut_short", bytes({1, 0})},
        {"negative_count", bytes({0xff, 0xff, 0xff, 0xff})},
        {"name_without_address", bytes({1, 0, 0, 0}) + block("Müller")},
        {"huge_count", bytes({0xff, 0xff, 0xff, 0x7f}) + block("A") + block("B")},
        {"huge_text_count", bytes({1, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f})},
        {"bytes_after_the_last_entry", bytes({1, 0, 0, 0}) + block("A") + block("B") + bytes({0})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::u16string file = test::name16(dir / "adressen.dat");
        ASSERT_TRUE(writeFileSafely(file, c.data));
        EXPECT_THROW(readCustomerAddresses(file), IoError);
        // Writing over a damaged file keeps it aside first.
        ASSERT_TRUE(writeCustomerAddresses(file, {{u"A", u"B"}}, true));
        EXPECT_EQ(test::readBytes(dir / "adressen.dat.bak"), c.data);
        EXPECT_EQ(readCustomerAddresses(file), (CustomerAddresses{{u"A", u"B"}}));
    }
}

} // namespace
} // namespace pyrelto
