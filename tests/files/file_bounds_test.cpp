// A file's size and its text lengths are bounded before anything is allocated for them: a damaged
// or foreign file of gigabytes (sparse, so it costs nothing on disk) is refused as damaged at
// once, with the sheet or list as it was and without the memory its numbers claim.

#include "calculation_file.h"
#include "customer_address_file.h"
#include "customer_file.h"
#include "file_test_support.h"
#include "material_preset.h"

#include <functional>
#include <gtest/gtest.h>

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on
#else
#include <sys/resource.h>
#endif

namespace pyrelto {
namespace {

using test::Bytes;
using test::bytes;
using test::operator+;

constexpr std::uint64_t kGiB = 1024ULL * 1024 * 1024;

// The process's peak resident memory in KiB; it only ever grows, so a rise means a real peak.
long peakMemoryKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

// `head` at the start of a file of `size` bytes that are otherwise holes.
void writeSparse(const std::filesystem::path& p, const Bytes& head, std::uint64_t size) {
    test::writeBytes(p, head);
    std::filesystem::resize_file(p, size);
}

Bytes int32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return bytes({static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
                  static_cast<int>((u >> 16) & 0xFF), static_cast<int>(u >> 24)});
}

Bytes textBlock(std::size_t units) {
    MemoryWriter out;
    writeInt32(out, static_cast<std::int32_t>(units));
    out.write(Bytes(units * 2, std::byte{'x'}));
    return out.bytes();
}

// Calls `load` and expects a damaged-file error.
void expectDamaged(const std::function<void()>& load) {
    try {
        load();
        ADD_FAILURE() << "the file was read";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoError::Kind::Damaged) << e.what();
        EXPECT_TRUE(std::string(e.what()).starts_with("Datei beschädigt: ")) << e.what();
    }
}

class FileBoundsTest : public ::testing::Test {
protected:
    std::u16string name(const std::string& file) const { return test::name16(dir / file); }
    test::TempDir dir;
};

TEST_F(FileBoundsTest, HugeSparseFilesAreRefusedWithoutTheirMemory) {
    // Four counts, then a customer name that claims 2^31 - 1 units: the shape that made the
    // reader take 22 GB.
    const Bytes hugeName = int32(1) + int32(1) + int32(1) + int32(1) + int32(0x7FFFFFFF);
    Sheet sheet;
    sheet.text(FieldId::KundeEd).setText(u"Abel");
    const auto before = test::snapshot(sheet);
    struct Case {
        const char* name;
        Bytes head;
        std::uint64_t size;
        std::function<void(const std::u16string&)> load;
    };
    const Case cases[] = {
        {"calculation of 4 GiB", hugeName, 4 * kGiB,
         [&](const std::u16string& f) { openfile(sheet, f); }},
        {"calculation just over the bound", hugeName, kMaxCalculationFileBytes + 1,
         [&](const std::u16string& f) { openfile(sheet, f); }},
        {"material preset of 4 GiB", int32(0x7FFFFFFF), 4 * kGiB,
         [](const std::u16string& f) { (void)loademat(f); }},
        {"material preset just over the bound", int32(3), kMaxMaterialPresetBytes + 1,
         [](const std::u16string& f) { (void)loademat(f); }},
        {"customer list of 4 GiB", int32(1) + int32(0x7FFFFFFF), 4 * kGiB,
         [](const std::u16string& f) { (void)readCustomerFile(f); }},
        {"address file of 4 GiB", int32(1) + int32(0x7FFFFFFF), 4 * kGiB,
         [](const std::u16string& f) { (void)readCustomerAddresses(f); }},
        {"address file just over the bound", int32(0), kMaxCustomerAddressFileBytes + 1,
         [](const std::u16string& f) { (void)readCustomerAddresses(f); }},
    };
    const long peakBefore = peakMemoryKiB();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeSparse(dir / "huge", c.head, c.size);
        expectDamaged([&] { c.load(name("huge")); });
    }
    EXPECT_EQ(test::snapshot(sheet), before);
    EXPECT_LT(peakMemoryKiB() - peakBefore, 16 * 1024) << "KiB more at the peak";
}

// Addresses that only a file beyond the bound could hold are not written, and the old file stays.
TEST_F(FileBoundsTest, AddressesBeyondTheBoundAreNotWritten) {
    ASSERT_TRUE(writeCustomerAddresses(name("adressen.dat"), {{u"Abel", u"Lindenweg 5"}}));
    const Bytes before = test::readBytes(dir / "adressen.dat");
    CustomerAddresses many;
    const std::u16string longest(kMaxTextLength, u'x');
    for (std::uint64_t size = 0; size <= kMaxCustomerAddressFileBytes; size += 2 * kMaxTextLength) {
        many.emplace(u"Kunde " + std::u16string(1, static_cast<char16_t>(u'A' + many.size())),
                     longest);
    }
    try {
        (void)writeCustomerAddresses(name("adressen.dat"), many);
        ADD_FAILURE() << "the addresses were written";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "Die Adressliste ist zu groß für die Datei.");
    }
    EXPECT_EQ(test::readBytes(dir / "adressen.dat"), before);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"adressen.dat"});
}

// Likewise a customer list that only a file beyond its bound could hold.
TEST_F(FileBoundsTest, CustomerListBeyondTheBoundIsNotWritten) {
    ASSERT_TRUE(writeCustomerFile(name("options.dat"), std::vector<std::u16string>{u"Abel"}));
    const Bytes before = test::readBytes(dir / "options.dat");
    const std::vector<std::u16string> many(kMaxCustomerFileBytes / (2 * kMaxTextLength) + 1,
                                           std::u16string(kMaxTextLength, u'x'));
    try {
        (void)writeCustomerFile(name("options.dat"), many);
        ADD_FAILURE() << "the list was written";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "Die Kundenliste ist zu groß für die Datei.");
    }
    EXPECT_EQ(test::readBytes(dir / "options.dat"), before);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"options.dat"});
}

TEST_F(FileBoundsTest, DamagedCustomerListIsKeptAsideLikeAnyOther) {
    writeSparse(dir / "options.dat", int32(1), kMaxCustomerFileBytes + 1);
    try {
        (void)readCustomerFile(name("options.dat"));
        ADD_FAILURE() << "the file was read";
    } catch (const DamagedCustomerFile& e) {
        EXPECT_EQ(e.kind(), IoError::Kind::Damaged);
        EXPECT_FALSE(e.countRead());
    }
}

TEST_F(FileBoundsTest, TextLengthBoundHoldsForReadingAndWriting) {
    // A file within its size bound whose text is one unit too long is damaged all the same.
    const Bytes counts = int32(1) + int32(1) + int32(1) + int32(1);
    const Bytes tooLong = counts + textBlock(kMaxTextLength + 1) + Bytes(4096, std::byte{0});
    ASSERT_LT(tooLong.size(), kMaxCalculationFileBytes);
    test::writeBytes(dir / "lang.kal", tooLong);
    Sheet sheet;
    const auto before = test::snapshot(sheet);
    expectDamaged([&] { openfile(sheet, name("lang.kal")); });
    EXPECT_EQ(test::snapshot(sheet), before);

    // The longest text the bound allows goes out and comes back whole, in every file kind.
    const std::u16string longest(kMaxTextLength, u'ä');
    for (const FieldId id : {FieldId::KundeEd, FieldId::Bez1Ed, FieldId::Waehr15Ed}) {
        sheet.text(id).setText(longest);
    }
    savefile(sheet, name("lang.kal"));
    Sheet loaded;
    openfile(loaded, name("lang.kal"));
    for (const FieldId id : {FieldId::KundeEd, FieldId::Bez1Ed, FieldId::Waehr15Ed}) {
        EXPECT_TRUE(loaded.text(id).text() == longest) << fieldInfo(id).name;
    }

    MaterialPreset preset;
    preset.bez = longest;
    savemat(name("lang.mat"), preset);
    EXPECT_EQ(loademat(name("lang.mat")).bez, longest);

    const std::vector<std::u16string> names{longest, u"Abel"};
    ASSERT_TRUE(writeCustomerFile(name("options.dat"), names));
    EXPECT_EQ(readCustomerFile(name("options.dat")), names);

    // One unit more would give a file no reader takes back: refused before the disk is touched.
    sheet.text(FieldId::Bez2Ed).setText(longest + u'x');
    const Bytes saved = test::readBytes(dir / "lang.kal");
    EXPECT_THROW(savefile(sheet, name("lang.kal")), IoError);
    EXPECT_EQ(test::readBytes(dir / "lang.kal"), saved);
}

} // namespace
} // namespace pyrelto
