#include "file_test_support.h"
#include "material_preset.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pyrelto {
namespace {

using test::Bytes;
using test::bytes;
using test::operator+;
using F = FieldId;

class MaterialPresetTest : public ::testing::Test {
protected:
    std::u16string name(const char* file) const { return test::name16(dir / file); }
    void SetUp() override {
        sheet.runCountRules();
        sheet.number(F::AnzZeilenEd).SetValue(5);
    }
    test::TempDir dir;
    Sheet sheet;
};

TEST_F(MaterialPresetTest, LayoutIsTextBlockThenFiveDoubles) {
    const MaterialPreset preset{u"Bahn", 12.35, 10, 11.12, 5, 11.68};
    ASSERT_NO_THROW(savemat(name("b.mat"), preset));
    const Bytes file = test::readBytes(dir / "b.mat");
    ASSERT_EQ(file.size(), 4U + 8U + 5U * 8U);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 12),
              bytes({4, 0, 0, 0, 'B', 0, 'a', 0, 'h', 0, 'n', 0}));
    std::uint64_t list = 0;
    for (std::size_t i = 8; i-- > 0;) {
        list = (list << 8) | static_cast<std::uint64_t>(file[12 + i]);
    }
    EXPECT_EQ(std::bit_cast<double>(list), 12.35);
    EXPECT_EQ(loademat(name("b.mat")), preset);
}

TEST_F(MaterialPresetTest, RowTwoStoredAndLoadedIntoRowFive) {
    const auto& row2 = materialRows()[1];
    const auto& row5 = materialRows()[4];
    sheet.text(row2.bez).setText(u"Pyrelto Tellerdübel €");
    sheet.number(row2.list).SetValue(12.35L);
    sheet.number(row2.rab).SetValue(10);
    sheet.number(row2.ver).SetValue(5);
    sheet.number(row2.ek).SetValue(9.99L); // not list less discount: typed by hand
    sheet.number(row2.summe).SetValue(20);
    const auto row2Before = test::snapshot(sheet);

    const MaterialPreset stored = readMaterialRow(sheet, 1);
    EXPECT_EQ(stored.list, 12.35) << "the double nearest to what the field shows";
    ASSERT_NO_THROW(savemat(name("row2.mat"), stored));
    applyMaterialRow(sheet, 4, loademat(name("row2.mat")));

    for (const auto& [a, b] : {std::pair{row2.bez, row5.bez},
                               {row2.list, row5.list},
                               {row2.rab, row5.rab},
                               {row2.ek, row5.ek},
                               {row2.ver, row5.ver},
                               {row2.summe, row5.summe}}) {
        SCOPED_TRACE(fieldInfo(b).name);
        EXPECT_EQ(sheet.shownText(b), sheet.shownText(a));
        EXPECT_EQ(sheet.shownText(a), row2Before.texts[static_cast<std::size_t>(a)]);
    }
    EXPECT_EQ(sheet.shownText(F::Ek9Ed), u"40,00") << "the subtotal follows the loaded row";
}

TEST_F(MaterialPresetTest, LoadingIntoAHiddenRowLeavesTheSubtotal) {
    sheet.number(F::AnzZeilenEd).SetValue(1);
    const std::u16string subtotal = sheet.shownText(F::Ek9Ed);
    applyMaterialRow(sheet, 2, MaterialPreset{u"versteckt", 100, 0, 100, 0, 100});
    EXPECT_EQ(sheet.shownText(F::Summe3Ed), u"100,00");
    EXPECT_EQ(sheet.shownText(F::Ek9Ed), subtotal);
}

TEST_F(MaterialPresetTest, FailedLoadGivesNothing) {
    const MaterialPreset valid{u"Bahn", 1, 2, 3, 4, 5};
    MemoryWriter image;
    writeMaterialPreset(image, valid);
    Bytes nan = image.bytes();
    nan[12 + 7] = std::byte{0x7F};
    nan[12 + 6] = std::byte{0xF8}; // list becomes a NaN
    const struct {
        const char* name;
        Bytes data;
        const char* message;
    } cases[] = {
        {"empty", {}, "Read beyond end of file"},
        {"cut inside sum", Bytes(image.bytes().begin(), image.bytes().end() - 3),
         "Read beyond end of file"},
        {"negative text length", bytes({0xFE, 0xFF, 0xFF, 0xFF}) + Bytes(40),
         "Read beyond end of file"},
        {"NaN list price", nan, "Material beschädigt: keine gültige Zahl."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeBytes(dir / "x.mat", c.data);
        try {
            (void)loademat(name("x.mat"));
            ADD_FAILURE() << "loaded";
        } catch (const IoError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    try {
        (void)loademat(name("fehlt.mat"));
        ADD_FAILURE() << "loaded";
    } catch (const FileMessage& e) {
        EXPECT_STREQ(e.what(), "Konnte die Datei nicht öffnen.");
    }
}

TEST_F(MaterialPresetTest, SaveFailuresKeepTheOldFile) {
    const MaterialPreset preset{u"Bahn", 1, 2, 3, 4, 5};
    test::writeBytes(dir / "alt.mat", bytes({9, 9}));
    test::makeReadOnly(dir / "alt.mat");
    EXPECT_THROW(savemat(name("alt.mat"), preset), FileMessage);
    MaterialPreset bad = preset;
    bad.sum = std::numeric_limits<double>::infinity();
    EXPECT_THROW(savemat(name("neu.mat"), bad), IoError);
#ifndef _WIN32
    {
        test::FileSizeLimit limit(10);
        EXPECT_THROW(savemat(name("alt2.mat"), preset), IoError);
    }
#endif
    EXPECT_EQ(test::readBytes(dir / "alt.mat"), bytes({9, 9}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"alt.mat"});
    EXPECT_THROW((void)readMaterialRow(sheet, 5), std::out_of_range);
}

} // namespace
} // namespace pyrelto
