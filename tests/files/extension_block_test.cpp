// The extension block after entry 80: its layout, round trips of the take-off through real files,
// and damaged blocks that must cost the extras only, never the 80 entries.

#include "article_chunk.h"
#include "calculation_file.h"
#include "extension_block.h"
#include "file_test_support.h"
#include "takeoff_chunk.h"
#include "utf16.h"

#include <gtest/gtest.h>
#include <string>

namespace pyrelto {
namespace {

using test::Bytes;
using test::operator+;

std::filesystem::path fixture(const char* name) {
    return std::filesystem::path(PYRELTO_FIXTURE_DIR) / name;
}

Bytes ascii(std::string_view s) {
    Bytes out;
    for (const char c : s) {
        out.push_back(static_cast<std::byte>(c));
    }
    return out;
}

// A take-off with every kind of row, names outside ASCII and a polygon.
TakeOff sampleTakeOff() {
    TakeOff t;
    t.openingThreshold = 100;
    Face half;
    half.name = u"Hauptdach Süd";
    half.a = 1000;
    half.b = 650;
    half.count = 2;
    half.pitch = 4000;
    half.openings = {{u"Dachfenster", 78, 140, 2}, {u"Schornstein", 100, 100, 1}};
    half.edges = {{EdgeKind::Traufe, 1000, 2}, {EdgeKind::First, 1000, 1}};
    Face garage;
    garage.name = u"Garage 🚗";
    garage.shape = FaceShape::Polygon;
    garage.measured = Measured::OnPlan;
    garage.pitch = 200;
    garage.points = {{0, 0}, {1200, 0}, {1200, 500}, {700, 500}, {700, 900}, {0, 900}};
    garage.openings = {{u"Lichtkuppel", 120, 120, 1}};
    t.faces = {half, garage};
    t.upstands = {{u"Attika", 4820, 30, 1}};
    return t;
}

class ExtensionBlockTest : public ::testing::Test {
protected:
    ExtensionBlockTest() {
        sheet.runCountRules();
        openfile(sheet, test::name16(fixture("worked_example.kal")));
        plain = test::readBytes(fixture("worked_example.kal"));
    }

    // The file's bytes after entry 80 when the sheet is saved with `extras`.
    Bytes saved(const CalculationExtras& extras, const char* name = "with.kal") {
        savefile(sheet, test::name16(dir / name), extras);
        return test::readBytes(dir / name);
    }

    Sheet sheet;
    Bytes plain; // the worked example without anything after entry 80
    test::TempDir dir;
};

TEST(ExtensionBlock, Crc32IsTheCommonOne) {
    EXPECT_EQ(crc32(ascii("123456789")), 0xCBF43926U);
    EXPECT_EQ(crc32({}), 0U);
}

TEST(ExtensionBlock, LayoutAsDocumented) {
    // One chunk "ABCD" holding "hi": magic, version 1, reserved 0, length 10, the chunk, CRC-32.
    MemoryWriter out;
    const ExtensionChunk chunk{{'A', 'B', 'C', 'D'}, ascii("hi")};
    writeExtensionBlock(out, std::span(&chunk, 1));
    const Bytes body =
        test::bytes({0x50, 0x59, 0x52, 0x58, 0x0D, 0x0A, 0x1A, 0x0A, 1, 0, 0, 0, 10, 0, 0, 0}) +
        ascii("ABCD") + test::bytes({2, 0, 0, 0}) + ascii("hi");
    const std::uint32_t crc = crc32(body);
    const Bytes expected =
        body + test::bytes({static_cast<int>(crc & 0xFF), static_cast<int>((crc >> 8) & 0xFF),
                            static_cast<int>((crc >> 16) & 0xFF), static_cast<int>(crc >> 24)});
    EXPECT_EQ(out.bytes(), expected);

    MemoryWriter none;
    writeExtensionBlock(none, {});
    EXPECT_TRUE(none.bytes().empty()) << "no chunks, no block";

    const ExtensionChunk twice[] = {chunk, chunk};
    EXPECT_THROW(writeExtensionBlock(none, twice), IoError);
    const ExtensionChunk badTag{{'A', ' ', 'C', 'D'}, {}};
    EXPECT_THROW(writeExtensionBlock(none, std::span(&badTag, 1)), IoError);
}

TEST_F(ExtensionBlockTest, WithoutExtrasTheFileIsTheEightyEntriesByteForByte) {
    EXPECT_EQ(saved({}), plain);
    CalculationExtras onlyThreshold;
    onlyThreshold.takeOff.openingThreshold = 250; // no rows: nothing to keep
    EXPECT_EQ(saved(onlyThreshold), plain);
}

TEST_F(ExtensionBlockTest, TakeOffRoundTripsAndTheEntriesStayAsBefore) {
    CalculationExtras extras;
    extras.takeOff = sampleTakeOff();
    const ExtensionChunk later{{'I', 'N', 'V', 'C'}, ascii("later program's data")};
    extras.keptChunks = {later};
    const Bytes file = saved(extras);

    // The 80 entries are today's bytes, and the reader of the 80 entries stops right there.
    ASSERT_GT(file.size(), plain.size());
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), file.begin()));
    MemoryReader entries(file);
    const CalculationContent content = readCalculation(entries);
    EXPECT_EQ(content.entryCount, kFileEntryCount);
    EXPECT_EQ(entries.remaining(), file.size() - plain.size());

    Sheet other;
    other.runCountRules();
    const CalculationExtras back = openfile(other, test::name16(dir / "with.kal"));
    EXPECT_EQ(test::snapshot(other), test::snapshot(sheet));
    EXPECT_TRUE(back.warning.empty()) << back.warning;
    EXPECT_EQ(back.takeOff, extras.takeOff);
    ASSERT_EQ(back.keptChunks.size(), 1U);
    EXPECT_EQ(back.keptChunks[0], later);
    // Saved again unchanged: the same bytes, the later program's chunk included.
    EXPECT_EQ(saved(back, "again.kal"), file);
}

TEST_F(ExtensionBlockTest, DamagedBlockLoadsTheEntriesAndWarns) {
    CalculationExtras extras;
    extras.takeOff = sampleTakeOff();
    const Bytes good = saved(extras);
    const std::size_t block = plain.size(); // offset of the block in the file
    const auto withCrc = [&](Bytes b) {     // the checksum made right again after a change
        const std::size_t end = b.size() - 4;
        const std::uint32_t crc = crc32(std::span(b).subspan(block, end - block));
        for (int i = 0; i < 4; ++i) {
            b[end + static_cast<std::size_t>(i)] = static_cast<std::byte>((crc >> (8 * i)) & 0xFF);
        }
        return b;
    };
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(block + 40));
    Bytes flipped = good;
    flipped[block + 30] ^= std::byte{0x01};
    Bytes version2 = good;
    version2[block + 8] = std::byte{2};
    Bytes chunkVersion = good;
    chunkVersion[block + 24] = std::byte{9}; // the take-off payload's own version
    chunkVersion = withCrc(chunkVersion);
    Bytes runsOn = good + test::bytes({0});
    Bytes foreign = plain + ascii("Hallo");
    const struct {
        const char* name;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {"CutInTheMiddle", cut, "der Block ist abgeschnitten"},
        {"CutInTheHeader",
         Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(block + 12)),
         "der Block ist abgeschnitten"},
        {"WrongChecksum", flipped, "die Prüfsumme stimmt nicht"},
        {"UnknownVersion", version2, "unbekannte Version 2"},
        {"UnknownTakeOffVersion", chunkVersion, "Aufmaß: unbekannte Version 9"},
        {"BytesAfterTheBlock", runsOn, "nach dem Block folgen weitere Bytes"},
        {"ForeignBytes", foreign, "unbekannte Daten nach dem letzten Eintrag"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir / (std::string(c.name) + ".kal");
        test::writeBytes(path, c.bytes);
        Sheet other;
        other.runCountRules();
        const CalculationExtras back = openfile(other, test::name16(path));
        EXPECT_EQ(test::snapshot(other), test::snapshot(sheet));
        EXPECT_TRUE(back.takeOff.empty());
        EXPECT_TRUE(back.hasUnreadData());
        EXPECT_NE(back.warning.find(toUtf8(test::name16(path))), std::string::npos) << back.warning;
        EXPECT_NE(back.warning.find(c.reason), std::string::npos) << back.warning;
        EXPECT_NE(unreadDataQuestion(test::name16(path)).find("Trotzdem speichern?"),
                  std::string::npos);
    }
}

TEST_F(ExtensionBlockTest, UnknownChunksSurviveADamagedTakeOff) {
    CalculationExtras extras;
    extras.takeOff = sampleTakeOff();
    extras.keptChunks = {{{'I', 'N', 'V', 'C'}, ascii("x")}};
    MemoryWriter block;
    auto chunks = extensionChunks(extras);
    chunks[0].data.resize(chunks[0].data.size() - 1); // the take-off cut short inside the chunk
    writeExtensionBlock(block, chunks);
    const CalculationExtras back = readCalculationExtras(block.bytes(), u"dach.kal");
    EXPECT_TRUE(back.takeOff.empty());
    EXPECT_EQ(back.keptChunks, extras.keptChunks);
    EXPECT_NE(back.warning.find("Aufmaß: die Daten sind abgeschnitten"), std::string::npos)
        << back.warning;
}

// Rows M1 and S3 picked from the catalogue, the second without a supplier.
RowArticles sampleRowArticles() {
    RowArticles rows;
    rows[0] = RowArticle{u"Nord", u"BB-OL-5", descriptionChecksum(u"Oberlagsbahn Schiefer grün")};
    rows[7] = RowArticle{u"", u"DN-20", descriptionChecksum(u"Dachpappnägel")};
    return rows;
}

TEST_F(ExtensionBlockTest, RowArticlesRoundTripBesideTheTakeOffAndLaterChunks) {
    CalculationExtras extras;
    extras.takeOff = sampleTakeOff();
    extras.rowArticles = sampleRowArticles();
    extras.keptChunks = {{{'I', 'N', 'V', 'C'}, ascii("x")}};
    const Bytes file = saved(extras);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), file.begin()));

    Sheet other;
    other.runCountRules();
    const CalculationExtras back = openfile(other, test::name16(dir / "with.kal"));
    EXPECT_TRUE(back.warning.empty()) << back.warning;
    EXPECT_EQ(back.rowArticles, extras.rowArticles);
    EXPECT_EQ(back.takeOff, extras.takeOff);
    EXPECT_EQ(back.keptChunks, extras.keptChunks);
    EXPECT_EQ(saved(back, "again.kal"), file);

    // Only article numbers: a block of its own, the entries as before.
    CalculationExtras onlyArticles;
    onlyArticles.rowArticles = sampleRowArticles();
    const Bytes small = saved(onlyArticles, "small.kal");
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), small.begin()));
    EXPECT_EQ(openfile(other, test::name16(dir / "small.kal")).rowArticles,
              onlyArticles.rowArticles);

    // A version that knows the take-off but not this chunk writes its take-off, then the chunks
    // it kept in their order: the same block, so a file passing through it stays as it was.
    const auto chunks = extensionChunks(extras);
    ASSERT_EQ(chunks.size(), 3U);
    EXPECT_EQ(chunks[0].tag, kTakeOffChunk);
    EXPECT_EQ(chunks[1].tag, kArticleChunk);
    EXPECT_EQ(chunks[2].tag, extras.keptChunks[0].tag);
}

TEST_F(ExtensionBlockTest, ADamagedArticleChunkCostsOnlyTheArticleNumbers) {
    CalculationExtras extras;
    extras.takeOff = sampleTakeOff();
    extras.rowArticles = sampleRowArticles();
    auto chunks = extensionChunks(extras);
    chunks[1].data.pop_back();
    MemoryWriter block;
    writeExtensionBlock(block, chunks);
    const CalculationExtras back = readCalculationExtras(block.bytes(), u"dach.kal");
    EXPECT_EQ(back.takeOff, extras.takeOff);
    EXPECT_FALSE(hasRowArticles(back.rowArticles));
    EXPECT_NE(back.warning.find("Artikelnummern: die Daten sind abgeschnitten"), std::string::npos)
        << back.warning;
}

TEST(ArticleChunk, LayoutAsDocumented) {
    // "AB" as UTF-16LE is 41 00 42 00.
    EXPECT_EQ(descriptionChecksum(u"AB"), crc32(ascii(std::string_view("A\0B\0", 4))));
    RowArticles rows;
    rows[0] = RowArticle{u"Nord", u"BB-OL-5", 0x04030201U};
    rows[7] = RowArticle{u"", u"DN", 0xA0B0C0D0U};
    const Bytes expected = test::bytes(
        {1,   0,    2,                                                   // version, count
         0,   0x01, 0x02, 0x03, 0x04,                                    // row M1, checksum
         4,   0,    0,    0,    'N',  0, 'o', 0,    'r',  0,    'd',  0, // supplier
         7,   0,    0,    0,    'B',  0, 'B', 0,    '-',  0,    'O',  0,
         'L', 0,    '-',  0,    '5',  0, 7,   0xD0, 0xC0, 0xB0, 0xA0, // row S3, checksum
         0,   0,    0,    0,                                          // no supplier
         2,   0,    0,    0,    'D',  0, 'N', 0});
    EXPECT_EQ(encodeRowArticles(rows), expected);
    EXPECT_EQ(decodeRowArticles(expected), rows);
}

TEST(ArticleChunk, EveryCutAndEveryBoundIsRefused) {
    const Bytes payload = encodeRowArticles(sampleRowArticles());
    for (std::size_t n = 0; n < payload.size(); ++n) {
        EXPECT_THROW(decodeRowArticles(std::span(payload).first(n)), IoError) << n << " bytes";
    }
    const Bytes row = test::bytes({0, 0, 0, 0, 0}) + test::bytes({0, 0, 0, 0}) +
                      test::bytes({1, 0, 0, 0, 'X', 0}); // row M1, no supplier, number "X"
    const auto withRow = [](int index, const Bytes& rest) {
        return test::bytes({index}) + Bytes(rest.begin() + 1, rest.end());
    };
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"Version2", test::bytes({2, 0, 1}) + row},
        {"ElevenRows", test::bytes({1, 0, 11}) + row},
        {"RowTen", test::bytes({1, 0, 1}) + withRow(10, row)},
        {"RowTwice", test::bytes({1, 0, 2}) + row + row},
        {"RowsDescending", test::bytes({1, 0, 2}) + withRow(3, row) + withRow(2, row)},
        {"NoNumber", test::bytes({1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"BytesAfter", test::bytes({1, 0, 1}) + row + test::bytes({0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(decodeRowArticles(c.bytes), IoError);
    }
    EXPECT_EQ(decodeRowArticles(test::bytes({1, 0, 1}) + row)[0]->articleNumber, u"X");

    RowArticles bad;
    bad[1] = RowArticle{u"Nord", u"", 0};
    EXPECT_THROW(encodeRowArticles(bad), IoError);
    bad[1] = RowArticle{std::u16string(kMaxArticleKeyLength + 1, u'x'), u"A", 0};
    EXPECT_THROW(encodeRowArticles(bad), IoError);
    bad[1]->supplier.resize(kMaxArticleKeyLength);
    EXPECT_EQ(decodeRowArticles(encodeRowArticles(bad)), bad);
}

TEST(TakeOffChunk, EveryCutAndEveryBoundIsRefused) {
    const std::vector<std::byte> payload = encodeTakeOff(sampleTakeOff());
    EXPECT_EQ(decodeTakeOff(payload), sampleTakeOff());
    for (std::size_t n = 0; n < payload.size(); ++n) {
        EXPECT_THROW(decodeTakeOff(std::span(payload).first(n)), IoError) << n << " bytes";
    }
    TakeOff longName = sampleTakeOff();
    longName.faces[0].name.assign(kMaxNameLength + 1, u'x');
    EXPECT_THROW(encodeTakeOff(longName), IoError);
    TakeOff manyPoints = sampleTakeOff();
    manyPoints.faces[1].points.resize(kMaxPolygonPoints + 1);
    EXPECT_THROW(encodeTakeOff(manyPoints), IoError);
}

TEST_F(ExtensionBlockTest, OversizedTakeOffIsRefusedBeforeTheDisk) {
    CalculationExtras extras;
    extras.takeOff = sampleTakeOff();
    extras.takeOff.faces[0].name.assign(kMaxNameLength + 1, u'x');
    EXPECT_THROW(savefile(sheet, test::name16(dir / "big.kal"), extras), IoError);
    EXPECT_FALSE(std::filesystem::exists(dir / "big.kal"));
}

} // namespace
} // namespace pyrelto
