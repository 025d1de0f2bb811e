#include "calculation_file.h"
#include "file_test_support.h"

#include <bit>
#include <climits>
#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace pyrelto {
namespace {

using test::Bytes;
using test::bytes;
using test::operator+;
using F = FieldId;

bool isTotal(FieldId id) {
    return id == F::Ek9Ed || id == F::Summe9Ed || id == F::Summe13Ed || id == F::Summe15Ed ||
           id == F::BruttoEd;
}

// Fills every field through ordinary writes, so all totals are what the rules give. `k` makes two
// sheets differ in every field, the counts and so the shown flags included.
void fill(Sheet& sheet, int k) {
    sheet.runCountRules();
    sheet.number(F::AnzZeilenEd).SetValue(k == 1 ? 5 : 2);
    sheet.number(F::AnzSonstEd).SetValue(k == 1 ? 4 : 1);
    sheet.number(F::AnzStueckEd).SetValue(k == 1 ? 3 : 5);
    sheet.number(F::LagenEd).SetValue(k == 1 ? 2 : 3);
    int n = 0;
    for (const auto& info : fieldCatalogue()) {
        ++n;
        switch (info.kind) {
        case FieldKind::Text:
            sheet.text(info.id).setText(k == 1 ? u"Tellerdübel " + std::u16string(1, u'A' + n % 26)
                                               : u"€ " + std::u16string(1, u'a' + n % 26));
            break;
        case FieldKind::Amount:
            if (!isTotal(info.id)) {
                sheet.number(info.id).SetValue(k * 10.25L + n / 4.0L);
            }
            break;
        case FieldKind::Pieces:
            sheet.number(info.id).SetValue(k * 3 + n % 7);
            break;
        case FieldKind::Count:
            break;
        }
    }
    // Typed over by hand after the rules computed them.
    sheet.number(F::Ek1Ed).SetValue(k * 7.77L);
    sheet.number(F::Summe1Ed).SetValue(k * 99.99L);
}

double doubleAt(const Bytes& data, std::size_t offset) {
    std::uint64_t u = 0;
    for (std::size_t i = 8; i-- > 0;) {
        u = (u << 8) | static_cast<std::uint64_t>(data.at(offset + i));
    }
    return std::bit_cast<double>(u);
}

void putDouble(Bytes& data, std::size_t offset, double v) {
    auto u = std::bit_cast<std::uint64_t>(v);
    for (std::size_t i = 0; i < 8; ++i, u >>= 8) {
        data.at(offset + i) = static_cast<std::byte>(u & 0xFF);
    }
}

void putInt32(Bytes& data, std::size_t offset, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i, v >>= 8) {
        data.at(offset + i) = static_cast<std::byte>(v & 0xFF);
    }
}

// All texts empty: entries 1-4 at 0-15, 13 empty blocks at 16-67, the 41 doubles of the base
// section from offset 68, so that entry e (18..58) stands at 68 + 8 * (e - 18).
constexpr std::size_t doubleEntry(int entry) {
    return 68 + 8 * static_cast<std::size_t>(entry - 18);
}

class CalculationFileTest : public ::testing::Test {
protected:
    std::u16string name(const std::string& file) const { return test::name16(dir / file); }

    Bytes emptyTextImage(const Sheet& sheet, int entries = kFileEntryCount) {
        CalculationContent content = captureCalculation(sheet);
        for (auto& t : content.texts) {
            t.clear();
        }
        content.entryCount = entries;
        MemoryWriter out;
        writeCalculation(out, content);
        return out.bytes();
    }

    test::TempDir dir;
};

TEST_F(CalculationFileTest, ByteLayoutOfTheEntries) {
    Sheet sheet;
    sheet.runCountRules();
    for (const auto& info : fieldCatalogue()) {
        if (info.kind == FieldKind::Text) {
            sheet.text(info.id).setText(u"");
        }
    }
    sheet.number(F::Ek8Ed).SetValue(8.5L);
    sheet.number(F::Dach14Ed).SetValue(140);
    ASSERT_NO_THROW(savefile(sheet, name("leer.kal")));
    const Bytes file = test::readBytes(dir / "leer.kal");
    ASSERT_EQ(file.size(), 544U);
    EXPECT_EQ(emptyTextImage(sheet, kBaseSectionEntries).size(), 396U);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 16),
              bytes({1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0}));
    EXPECT_EQ(Bytes(file.begin() + 16, file.begin() + 68), Bytes(52)) << "13 empty texts";
    // The file's historical order: Ek8Ed right after Ek5Ed, Summe15Ed before Dach14Ed.
    EXPECT_EQ(doubleAt(file, doubleEntry(33)), 8.5);
    EXPECT_EQ(doubleAt(file, doubleEntry(41)), 15.0) << "Ver9Ed";
    EXPECT_EQ(doubleAt(file, doubleEntry(55)), 0.0) << "Summe15Ed";
    EXPECT_EQ(doubleAt(file, doubleEntry(56)), 140.0) << "Dach14Ed";
    EXPECT_EQ(doubleAt(file, doubleEntry(57)), 19.0) << "MwStEd";
    EXPECT_EQ(Bytes(file.begin() + 396, file.begin() + 408), Bytes(12)) << "Bez7Ed2-4 lead";
}

TEST_F(CalculationFileTest, RoundTripGivesBackEveryField) {
    Sheet saved;
    fill(saved, 1);
    saved.number(F::Anz8Ed2).SetValue(std::numeric_limits<std::int32_t>::min());
    // An older, longer file of the same name must leave nothing behind.
    test::writeBytes(dir / "a.kal", Bytes(5000, std::byte{0x7F}));
    ASSERT_NO_THROW(savefile(saved, name("a.kal")));
    MemoryWriter image;
    writeCalculation(image, captureCalculation(saved));
    EXPECT_EQ(test::readBytes(dir / "a.kal"), image.bytes());

    Sheet loaded;
    fill(loaded, 2);
    ASSERT_NE(test::snapshot(loaded), test::snapshot(saved));
    ASSERT_NO_THROW(openfile(loaded, name("a.kal")));
    const auto want = test::snapshot(saved);
    const auto got = test::snapshot(loaded);
    for (const auto& info : fieldCatalogue()) {
        SCOPED_TRACE(info.name);
        EXPECT_EQ(got.texts[static_cast<std::size_t>(info.id)],
                  want.texts[static_cast<std::size_t>(info.id)]);
    }
    EXPECT_EQ(got.shown, want.shown);
    EXPECT_EQ(loaded.shownText(F::Ek1Ed), saved.shownText(F::Ek1Ed)) << "typed over by hand";
    EXPECT_EQ(loaded.text(F::Bez8Ed).text().substr(0, 11), u"Tellerdübel");

    // The same bytes kept elsewhere than in a file (the offer register) read back the same.
    const std::vector<std::byte> kept = calculationBytes(saved);
    EXPECT_EQ(kept, test::readBytes(dir / "a.kal"));
    Sheet fromBytes;
    fill(fromBytes, 2);
    EXPECT_FALSE(openCalculationBytes(fromBytes, kept, u"Angebot 2026-001").hasUnreadData());
    EXPECT_EQ(test::snapshot(fromBytes), got);
}

TEST_F(CalculationFileTest, BaseSectionOnlyKeepsTheExtensionFields) {
    Sheet saved;
    fill(saved, 1);
    CalculationContent content = captureCalculation(saved);
    content.entryCount = kBaseSectionEntries;
    MemoryWriter out;
    writeCalculation(out, content);
    test::writeBytes(dir / "alt.kal", out.bytes());

    Sheet loaded;
    fill(loaded, 2);
    const auto before = test::snapshot(loaded);
    ASSERT_NO_THROW(openfile(loaded, name("alt.kal")));
    const auto order = calculationFileOrder();
    for (int i = 0; i < kFileEntryCount; ++i) {
        const FieldId id = order[static_cast<std::size_t>(i)];
        SCOPED_TRACE(fieldInfo(id).name);
        if (i >= kBaseSectionEntries) {
            EXPECT_EQ(loaded.shownText(id), before.texts[static_cast<std::size_t>(id)]);
        } else if (fieldInfo(id).kind == FieldKind::Text) {
            EXPECT_EQ(loaded.shownText(id), saved.shownText(id));
        }
    }
    EXPECT_EQ(loaded.shownText(F::AnzZeilenEd), u"5");
}

// Loaded into the sheet it came from, no entry changes a field, so only the closing count rules can
// move a total: they recompute the subtotal, and the layer rule, which is not among them, would
// have recomputed the total per m².
TEST_F(CalculationFileTest, CountRulesCloseTheLoadWithoutTheLayerRule) {
    const struct {
        const char* name;
        FieldId typedOver;
        bool keepsTypedValue;
    } cases[] = {
        {"subtotal typed over is recomputed", F::Ek9Ed, false},
        {"total per m2 typed over survives", F::Summe13Ed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sheet sheet;
        fill(sheet, 1);
        const auto computed = test::snapshot(sheet);
        sheet.number(c.typedOver).SetValue(4321.5L);
        const auto typed = test::snapshot(sheet);
        ASSERT_NE(typed, computed);
        ASSERT_NO_THROW(savefile(sheet, name("selbst.kal")));
        ASSERT_NO_THROW(openfile(sheet, name("selbst.kal")));
        EXPECT_EQ(test::snapshot(sheet), c.keepsTypedValue ? typed : computed);
    }
}

TEST_F(CalculationFileTest, ExtraBytesAndOutOfRangeCountsStillLoad) {
    Sheet source;
    source.runCountRules();
    Bytes image = emptyTextImage(source);
    putInt32(image, 0, 9);                               // AnzZeilenEd, maximum 5
    putInt32(image, 12, static_cast<std::uint32_t>(-4)); // LagenEd, minimum 0
    putDouble(image, doubleEntry(40), 2147483647.4);     // Anz8Ed
    putDouble(image, image.size() - 64, -2147483648.5);  // Anz8Ed2, rounds to even
    test::writeBytes(dir / "lang.kal", image + Bytes(100, std::byte{0xFF}));

    Sheet sheet;
    sheet.runCountRules();
    ASSERT_NO_THROW(openfile(sheet, name("lang.kal")));
    EXPECT_EQ(sheet.shownText(F::AnzZeilenEd), u"5");
    EXPECT_EQ(sheet.shownText(F::LagenEd), u"0");
    EXPECT_FALSE(sheet.shown(RowId::Panel11));
    EXPECT_EQ(sheet.shownText(F::Anz8Ed), u"2147483647");
    EXPECT_EQ(sheet.shownText(F::Anz8Ed2), u"-2147483648");
    EXPECT_TRUE(sheet.shown(RowId::Panel6));
}

struct DamagedCase {
    const char* name;
    std::function<Bytes(Bytes)> damage; // from a valid 544-byte file with all texts empty
    const char* message;
};

TEST_F(CalculationFileTest, DamagedFileLeavesTheSheetExactlyAsBefore) {
    Sheet source;
    fill(source, 1);
    const Bytes valid = emptyTextImage(source);
    const DamagedCase cases[] = {
        {"empty file", [](const Bytes&) { return Bytes{}; }, "Read beyond end of file"},
        {"cut inside entry 10",
         [](Bytes b) {
             // Bez5Ed (entry 10, offset 36) claims 3 units, the file ends after one of them.
             Bytes cut(b.begin(), b.begin() + 36);
             return cut + bytes({3, 0, 0, 0, 'a', 0});
         },
         "Read beyond end of file"},
        {"cut inside entry 59", [](Bytes b) { return Bytes(b.begin(), b.begin() + 398); },
         "Read beyond end of file"},
        {"cut inside the last entry", [](Bytes b) { return Bytes(b.begin(), b.end() - 1); },
         "Read beyond end of file"},
        {"negative text length",
         [](Bytes b) {
             putInt32(b, 16, 0xFFFFFFFF);
             return b;
         },
         "Read beyond end of file"},
        {"huge text length",
         [](Bytes b) {
             putInt32(b, 16, 0x7FFFFFFF);
             return b;
         },
         "Read beyond end of file"},
        {"NaN price",
         [](Bytes b) {
             putDouble(b, doubleEntry(18), std::numeric_limits<double>::quiet_NaN());
             return b;
         },
         "Datei beschädigt: Eintrag 18 (List1Ed) ist keine gültige Zahl."},
        {"infinite gross sum",
         [](Bytes b) {
             putDouble(b, doubleEntry(58), -std::numeric_limits<double>::infinity());
             return b;
         },
         "Datei beschädigt: Eintrag 58 (BruttoEd) ist keine gültige Zahl."},
        {"NaN in the extension section",
         [](Bytes b) {
             putDouble(b, 396 + 12, std::numeric_limits<double>::quiet_NaN());
             return b;
         },
         "Datei beschädigt: Eintrag 62 (Summe7Ed2) ist keine gültige Zahl."},
        {"pieces beyond 32 bits",
         [](Bytes b) {
             putDouble(b, doubleEntry(40), 3e9);
             return b;
         },
         "Datei beschädigt: Eintrag 40 (Anz8Ed) ist keine gültige Stückzahl."},
        {"pieces rounding past 32 bits",
         [](Bytes b) {
             putDouble(b, doubleEntry(40), 2147483647.5);
             return b;
         },
         "Datei beschädigt: Eintrag 40 (Anz8Ed) ist keine gültige Stückzahl."},
        {"pieces infinite",
         [](Bytes b) {
             putDouble(b, doubleEntry(40), std::numeric_limits<double>::infinity());
             return b;
         },
         "Datei beschädigt: Eintrag 40 (Anz8Ed) ist keine gültige Stückzahl."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeBytes(dir / "kaputt.kal", c.damage(valid));
        Sheet sheet;
        fill(sheet, 2);
        const auto before = test::snapshot(sheet);
        try {
            openfile(sheet, name("kaputt.kal"));
            ADD_FAILURE() << "loaded";
        } catch (const IoError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(test::snapshot(sheet), before);
        // The same bytes from the offer register.
        try {
            openCalculationBytes(sheet, c.damage(valid), u"Angebot 2026-001");
            ADD_FAILURE() << "loaded from bytes";
        } catch (const IoError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(test::snapshot(sheet), before);
    }
}

TEST_F(CalculationFileTest, FilesThatCannotBeOpenedOrCreated) {
    Sheet sheet;
    fill(sheet, 1);
    const auto before = test::snapshot(sheet);
    std::filesystem::create_directory(dir / "ordner");
    test::writeBytes(dir / "schreibgeschuetzt.kal", bytes({1, 2, 3}));
    test::makeReadOnly(dir / "schreibgeschuetzt.kal");

    const auto message = [&](auto operation) -> std::string {
        try {
            operation();
        } catch (const FileMessage& e) {
            return e.what();
        }
        return "no message";
    };
    EXPECT_EQ(message([&] { openfile(sheet, name("fehlt.kal")); }),
              "Konnte die Datei nicht öffnen.");
    EXPECT_EQ(message([&] { openfile(sheet, name("ordner")); }), "Konnte die Datei nicht öffnen.");
    EXPECT_EQ(test::snapshot(sheet), before);
    EXPECT_EQ(message([&] { savefile(sheet, name("fehlt/a.kal")); }),
              "Konnte die Datei nicht anlegen.");
    EXPECT_EQ(message([&] { savefile(sheet, name("schreibgeschuetzt.kal")); }),
              "Konnte die Datei nicht anlegen.");
    EXPECT_EQ(test::readBytes(dir / "schreibgeschuetzt.kal"), bytes({1, 2, 3}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"ordner", "schreibgeschuetzt.kal"}));
}

#ifndef _WIN32
// The system's own limit, PATH_MAX bytes with the closing zero, in bytes of the name as the system
// takes it: a longer name is refused before the disk is touched, one at the limit works.
TEST_F(CalculationFileTest, NameLimitIsThePathLimitInBytes) {
    Sheet saved;
    fill(saved, 1);
    // Folders of 100 umlauts (200 bytes, 100 UTF-16 units) down to nearly the limit, then one
    // that leaves 200 bytes for "/" and the file's name (at most 255 bytes, as every name).
    std::filesystem::path folder = dir.path();
    const std::u16string umlauts(100, u'ü');
    while (PATH_MAX - 1 - folder.native().size() > 255 + 201) {
        folder /= std::filesystem::path(umlauts);
    }
    folder /= std::string(PATH_MAX - 1 - folder.native().size() - 201, 'o');
    std::filesystem::create_directories(folder);
    const auto withBytes = [&](std::size_t bytes) {
        return folder / std::string(bytes - folder.native().size() - 1, 'k');
    };
    const auto longest = withBytes(PATH_MAX - 1);
    ASSERT_GT(test::name16(longest).size(), 259U) << "beyond the old limit of every system";
    ASSERT_NO_THROW(savefile(saved, test::name16(longest)));
    Sheet sheet;
    ASSERT_NO_THROW(openfile(sheet, test::name16(longest)));
    EXPECT_EQ(test::snapshot(sheet), test::snapshot(saved));

    fill(sheet, 2);
    const auto before = test::snapshot(sheet);
    const auto tooLong = test::name16(withBytes(PATH_MAX));
    ASSERT_LT(tooLong.size(), std::size_t{PATH_MAX}) << "fewer units than bytes: bytes count";
    for (const auto& operation : {std::function<void()>([&] { openfile(sheet, tooLong); }),
                                  std::function<void()>([&] { savefile(sheet, tooLong); })}) {
        try {
            operation();
            ADD_FAILURE() << "no refusal";
        } catch (const IoError& e) {
            EXPECT_STREQ(e.what(), "File name too long");
        }
    }
    EXPECT_EQ(test::snapshot(sheet), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1)
        << "only the file at the limit";

    // Characters of three and four bytes, and lone surrogates (three bytes each, as U+FFFD), count
    // as the system's name has them; below the limit a missing file is merely not there.
    const auto repeated = [](std::u16string_view part, std::size_t times) {
        std::u16string out;
        for (std::size_t i = 0; i < times; ++i) {
            out += part;
        }
        return out;
    };
    const std::u16string base = test::name16(dir / "fehlt") + u"/";
    const struct {
        const char* name;
        std::u16string rest;
        bool tooLong;
    } names[] = {
        {"euro signs beyond", std::u16string(1400, u'€'), true},
        {"euro signs within", std::u16string(1300, u'€'), false},
        {"emoji beyond", repeated(u"\U0001F600", 1100), true},
        {"emoji within", repeated(u"\U0001F600", 900), false},
        {"lone surrogates beyond", std::u16string(1400, u'\xD800'), true},
        {"a surrogate pair cut at the end", repeated(u"\U0001F600", 900) + u'\xD83D', false},
    };
    for (const auto& c : names) {
        SCOPED_TRACE(c.name);
        try {
            openfile(sheet, base + c.rest);
            ADD_FAILURE() << "opened";
        } catch (const IoError& e) {
            EXPECT_TRUE(c.tooLong) << e.what();
            EXPECT_STREQ(e.what(), "File name too long");
        } catch (const FileMessage& e) {
            EXPECT_FALSE(c.tooLong) << e.what();
        }
    }
    EXPECT_EQ(test::snapshot(sheet), before);
}
#endif

#ifndef _WIN32
// Windows has no per-process file size limit to stand in for a full disk.
TEST_F(CalculationFileTest, FullDiskKeepsTheOldFileByteForByte) {
    Sheet old;
    fill(old, 2);
    ASSERT_NO_THROW(savefile(old, name("k.kal")));
    const Bytes before = test::readBytes(dir / "k.kal");
    Sheet sheet;
    fill(sheet, 1);
    {
        test::FileSizeLimit limit(300);
        EXPECT_THROW(savefile(sheet, name("k.kal")), IoError);
    }
    EXPECT_EQ(test::readBytes(dir / "k.kal"), before);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"k.kal"});
}
#endif

TEST_F(CalculationFileTest, NumberBeyondADoubleIsNotSaved) {
    Sheet sheet;
    sheet.runCountRules();
    sheet.number(F::List3Ed).setText(u"1E400");
    try {
        savefile(sheet, name("gross.kal"));
        ADD_FAILURE() << "saved";
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "Zahl zu groß für die Datei: List3Ed");
    }
    EXPECT_TRUE(dir.entries().empty());
}

// Opening asks for reading only. Checked in a child process that drops the superuser's rights,
// which would otherwise grant write access to any file.
TEST_F(CalculationFileTest, ReadOnlyFileOpens) {
    Sheet saved;
    fill(saved, 1);
    ASSERT_NO_THROW(savefile(saved, name("nurlesen.kal")));
    test::makeReadOnly(dir / "nurlesen.kal");
    const auto fname = name("nurlesen.kal");
    const std::u16string kunde = saved.text(F::KundeEd).text();
#ifdef _WIN32
    // The read-only attribute holds for every user, so no second process is needed here.
    Sheet sheet;
    ASSERT_NO_THROW(openfile(sheet, fname));
    EXPECT_EQ(sheet.text(F::KundeEd).text(), kunde);
#else
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && ::setuid(65534) != 0) {
                std::_Exit(2);
            }
            Sheet sheet;
            openfile(sheet, fname);
            std::_Exit(sheet.text(F::KundeEd).text() == kunde ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

} // namespace
} // namespace pyrelto
