// Re-pricing a folder of 500 calculation files after a supplier's new list changed 10 % of its
// prices: real files in a temporary folder, the catalogue filled by importing real CSV lists.

#include "calculation_file.h"
#include "csv_price_list.h"
#include "file_test_support.h"
#include "fixtures.h"
#include "folder_repricing.h"
#include "utf16.h"
#include "worked_example.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace pyrelto {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

constexpr int kArticles = 1000;
constexpr int kFiles = 500;

// Even articles are materials with a coverage, odd ones pieces in discount group G1. Prices from
// 10 € up, so that 7 % more shows in every per-m² and per-piece price; every tenth article (those
// ending in 3) costs 7 % more in the second list.
std::string priceList(bool second) {
    std::string csv = "Artikelnummer;Bezeichnung;Einheit;Preis;Rabattgruppe;m² je Einheit\n";
    for (int i = 0; i < kArticles; ++i) {
        std::int64_t cents = 1000 + (i * 7919) % 90000;
        if (second && i % 10 == 3) {
            cents = cents * 107 / 100;
        }
        const bool material = i % 2 == 0;
        char line[160];
        std::snprintf(line, sizeof line, "A%04d;%s %d;%s;%lld,%02lld;G1;%s\n", i,
                      material ? "Oberlagsbahn" : "Tellerdübel", i, material ? "Rolle" : "Stk",
                      static_cast<long long>(cents / 100), static_cast<long long>(cents % 100),
                      material ? (std::to_string(i % 19 / 2 + 1) + ",5").c_str() : "");
        csv += line;
    }
    return csv;
}

void import(Catalogue& catalogue, bool second) {
    CsvOptions options;
    options.supplier = "Nord";
    const PriceList list = readCsvPriceList(test::bytesOf(priceList(second)), options);
    ASSERT_TRUE(list.problems.empty()) << list.problems.front().reason;
    const ImportPlan plan = catalogue.planImport(list);
    if (second) {
        ASSERT_EQ(plan.changed.size(), static_cast<std::size_t>(kArticles / 10));
    }
    catalogue.apply(plan);
}

const Article& articleAt(const Catalogue& catalogue, int i) {
    char number[8];
    std::snprintf(number, sizeof number, "A%04d", i);
    return *catalogue.find("Nord", number);
}

constexpr std::array<FieldId, 10> kDescription{
    FieldId::Bez1Ed, FieldId::Bez2Ed,  FieldId::Bez3Ed,  FieldId::Bez4Ed,  FieldId::Bez5Ed,
    FieldId::Bez8Ed, FieldId::Bez8Ed2, FieldId::Bez8Ed3, FieldId::Bez8Ed4, FieldId::Bez8Ed5};
constexpr std::array<FieldId, 10> kPrice{
    FieldId::List1Ed, FieldId::List2Ed, FieldId::List3Ed, FieldId::List4Ed, FieldId::List5Ed,
    FieldId::Ek8Ed,   FieldId::Ek8Ed2,  FieldId::Ek8Ed3,  FieldId::Ek8Ed4,  FieldId::Ek8Ed5};

constexpr std::array<FieldId, 5> kPieces{FieldId::Anz8Ed, FieldId::Anz8Ed2, FieldId::Anz8Ed3,
                                         FieldId::Anz8Ed4, FieldId::Anz8Ed5};

std::u16string centsText(std::int64_t cents) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld,%02lld", static_cast<long long>(cents / 100),
                  static_cast<long long>(cents % 100));
    return fromUtf8(text);
}

// What a generated file is, for the expected report.
struct Expected {
    enum Kind { Picked, Plain, Damaged, UnknownArticle, RetypedRow } kind = Picked;
    std::map<std::size_t, int> rows; // row → article
    std::set<std::size_t> changedRows;
};

// A calculation as a user would have made it: the worked example's other rows typed, then each
// picked row filled through its fields as picking does.
Expected writeCalculationFile(const fs::path& path, int n, const Catalogue& catalogue) {
    Expected expected;
    if (n % 50 == 7) {
        expected.kind = Expected::Plain;
    } else if (n % 50 == 13) {
        expected.kind = Expected::Damaged;
    } else if (n % 50 == 21) {
        expected.kind = Expected::UnknownArticle;
    } else if (n % 50 == 33) {
        expected.kind = Expected::RetypedRow;
    }
    Sheet sheet;
    sheet.runCountRules();
    test::enterWorkedExample(sheet);
    sheet.enter(FieldId::AnzZeilenEd, u"5");
    sheet.enter(FieldId::AnzStueckEd, u"5");
    sheet.enter(FieldId::Dach14Ed, fromUtf8(std::to_string(20 + n % 300)));
    CalculationExtras extras;
    if (expected.kind != Expected::Plain) {
        // One to three rows; a material row takes an even article, a piece row an odd one.
        const int count = 1 + n % 3;
        for (int k = 0; k < count; ++k) {
            const std::size_t row = static_cast<std::size_t>((n * 7 + k * 3) % 10);
            if (expected.rows.count(row) != 0) {
                continue;
            }
            const int article = ((n * 131 + k * 17) % (kArticles / 2)) * 2 + (row >= 5 ? 1 : 0);
            const Article& picked = articleAt(catalogue, article);
            const auto fill = fillRow(static_cast<RowSlot>(row), picked, catalogue);
            sheet.enter(kDescription[row], fromUtf8(fill->description));
            sheet.enter(kPrice[row], centsText(fill->priceCents));
            if (row >= 5) {
                sheet.enter(kPieces[row - 5], fromUtf8(std::to_string(2 + n % 5)));
            }
            extras.rowArticles[row] = RowArticle{u"Nord", fromUtf8(picked.articleNumber),
                                                 descriptionChecksum(fromUtf8(fill->description))};
            expected.rows[row] = article;
            if (article % 10 == 3) {
                expected.changedRows.insert(row);
            }
        }
    }
    if (expected.kind == Expected::UnknownArticle) {
        std::size_t row = 9;
        while (expected.rows.count(row) != 0) {
            --row;
        }
        extras.rowArticles[row] = RowArticle{u"Nord", u"FEHLT", descriptionChecksum(u"")};
        sheet.enter(kDescription[row], u"");
    }
    if (expected.kind == Expected::RetypedRow) {
        // Another material typed over the first picked row by a program without the chunk.
        const std::size_t row = expected.rows.begin()->first;
        sheet.enter(kDescription[row], u"Handeingabe");
        expected.changedRows.erase(row);
    }
    MemoryWriter image;
    writeCalculation(image, captureCalculation(sheet));
    writeExtensionBlock(image, extensionChunks(extras));
    Bytes bytes = image.bytes();
    if (expected.kind == Expected::Damaged) {
        bytes.resize(bytes.size() / 3);
    }
    test::writeBytes(path, bytes);
    return expected;
}

// The sums a file holds are those the sheet's rules give from the inputs it holds.
void expectConsistentSums(const fs::path& path) {
    const Bytes bytes = test::readBytes(path);
    MemoryReader in(bytes);
    const CalculationContent content = readCalculation(in);
    const std::set<FieldId> computed{
        FieldId::Ek1Ed,     FieldId::Ek2Ed,     FieldId::Ek3Ed,     FieldId::Ek4Ed,
        FieldId::Ek5Ed,     FieldId::Summe1Ed,  FieldId::Summe2Ed,  FieldId::Summe3Ed,
        FieldId::Summe4Ed,  FieldId::Summe5Ed,  FieldId::Summe8Ed,  FieldId::Summe8Ed2,
        FieldId::Summe8Ed3, FieldId::Summe8Ed4, FieldId::Summe8Ed5, FieldId::Ek9Ed,
        FieldId::Summe9Ed,  FieldId::Summe13Ed, FieldId::Summe15Ed, FieldId::BruttoEd};
    Sheet fresh;
    fresh.runCountRules();
    const auto order = calculationFileOrder();
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (fieldInfo(order[i]).kind == FieldKind::Text) {
            fresh.text(order[i]).setText(content.texts[i]);
        } else if (computed.count(order[i]) == 0) {
            fresh.number(order[i]).SetValue(content.numbers[i]);
        }
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (computed.count(order[i]) != 0) {
            EXPECT_EQ(static_cast<double>(fresh.number(order[i]).GetValue()), content.numbers[i])
                << fieldInfo(order[i]).name;
        }
    }
}

std::int64_t netSum(const fs::path& path) {
    Sheet sheet;
    openfile(sheet, test::name16(path));
    return std::llround(sheet.number(FieldId::Summe15Ed).GetValue() * 100);
}

class FolderRepricingTest : public testing::Test {
protected:
    void SetUp() override {
        import(before, false);
        import(after, false);
        import(after, true);
        for (int n = 0; n < kFiles; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "Dach %03d.kal", n);
            expected[name] = writeCalculationFile(dir / name, n, before);
            original[name] = test::readBytes(dir / name);
        }
        // Neither a calculation nor in the way.
        test::writeBytes(dir / "notizen.txt", test::bytes({'x'}));
    }

    void expectFolderUnchanged() {
        EXPECT_EQ(dir.entries().size(), original.size() + 1);
        for (const auto& [name, bytes] : original) {
            EXPECT_EQ(test::readBytes(dir / name), bytes) << name;
        }
    }

    // The report names exactly the files and rows the second list changed, with their figures.
    void expectReport(const FolderRepricing& report) {
        ASSERT_EQ(report.files.size(), static_cast<std::size_t>(kFiles));
        EXPECT_TRUE(report.problem.empty());
        for (const FileRepricing& file : report.files) {
            const std::string name = file.file.filename().string();
            SCOPED_TRACE(name);
            const Expected& e = expected.at(name);
            if (e.kind == Expected::Damaged) {
                EXPECT_EQ(file.outcome, FileRepricingOutcome::Damaged);
                EXPECT_EQ(file.problem, "Read beyond end of file");
                continue;
            }
            if (e.kind == Expected::Plain) {
                EXPECT_EQ(file.outcome, FileRepricingOutcome::NoArticles);
                EXPECT_TRUE(file.rows.empty());
                continue;
            }
            EXPECT_EQ(file.outcome, e.changedRows.empty() ? FileRepricingOutcome::Unchanged
                                                          : FileRepricingOutcome::Repriced);
            std::size_t rows = e.rows.size() + (e.kind == Expected::UnknownArticle ? 1 : 0);
            ASSERT_EQ(file.rows.size(), rows);
            for (const RepricedRow& row : file.rows) {
                const auto index = static_cast<std::size_t>(row.slot);
                if (e.rows.count(index) == 0) {
                    EXPECT_EQ(row.status, RepriceStatus::NotInCatalogue);
                    EXPECT_EQ(row.articleNumber, "FEHLT");
                    continue;
                }
                const Article& old = articleAt(before, e.rows.at(index));
                EXPECT_EQ(row.articleNumber, old.articleNumber);
                EXPECT_EQ(row.supplier, "Nord");
                EXPECT_EQ(row.oldCents, *rowPrice(row.slot, old, before));
                if (e.changedRows.count(index) != 0) {
                    EXPECT_EQ(row.status, RepriceStatus::Changed);
                    const Article& now = articleAt(after, e.rows.at(index));
                    EXPECT_EQ(row.newCents, rowPrice(row.slot, now, after));
                    EXPECT_GT(row.newCents, row.oldCents);
                } else if (e.kind == Expected::RetypedRow && index == e.rows.begin()->first) {
                    EXPECT_EQ(row.status, RepriceStatus::RowEdited);
                } else {
                    EXPECT_EQ(row.status, RepriceStatus::Unchanged);
                }
            }
            MemoryReader in(original.at(name));
            const CalculationContent content = readCalculation(in);
            const auto net = std::find(calculationFileOrder().begin(), calculationFileOrder().end(),
                                       FieldId::Summe15Ed);
            EXPECT_EQ(file.netBeforeCents, std::llround(content.numbers[static_cast<std::size_t>(
                                                            net - calculationFileOrder().begin())] *
                                                        100));
            if (e.changedRows.empty()) {
                EXPECT_EQ(file.netAfterCents, file.netBeforeCents);
            } else {
                EXPECT_GT(file.netAfterCents, file.netBeforeCents);
            }
        }
    }

    test::TempDir dir;
    Catalogue before;
    Catalogue after;
    std::map<std::string, Expected> expected;
    std::map<std::string, Bytes> original;
};

TEST_F(FolderRepricingTest, ANewListRepricesExactlyTheRowsItChangedAndKeepsTheOldFiles) {
    // Some files of every kind, and about a fifth with a changed price.
    std::size_t changedFiles = 0;
    for (const auto& [name, e] : expected) {
        changedFiles += e.changedRows.empty() ? 0 : 1;
    }
    ASSERT_GT(changedFiles, 50u);
    ASSERT_LT(changedFiles, 200u);

    const FolderRepricing dryRun = repriceFolder(dir.path(), after, true);
    EXPECT_TRUE(dryRun.dryRun);
    expectReport(dryRun);
    expectFolderUnchanged();

    const FolderRepricing report = repriceFolder(dir.path(), after, false);
    expectReport(report);
    for (std::size_t i = 0; i < report.files.size(); ++i) {
        EXPECT_EQ(report.files[i].rows, dryRun.files[i].rows);
        EXPECT_EQ(report.files[i].netAfterCents, dryRun.files[i].netAfterCents);
    }
    std::size_t written = 0;
    for (const FileRepricing& file : report.files) {
        const std::string name = file.file.filename().string();
        SCOPED_TRACE(name);
        const fs::path backup = dir / (name + ".bak");
        if (file.outcome != FileRepricingOutcome::Repriced) {
            EXPECT_EQ(test::readBytes(file.file), original.at(name));
            EXPECT_FALSE(fs::exists(backup));
            continue;
        }
        ++written;
        EXPECT_EQ(test::readBytes(backup), original.at(name));
        Sheet sheet;
        const CalculationExtras extras = openfile(sheet, test::name16(file.file));
        EXPECT_TRUE(extras.warning.empty());
        Sheet old;
        EXPECT_EQ(extras.rowArticles, openfile(old, test::name16(backup)).rowArticles);
        for (const RepricedRow& row : file.rows) {
            const auto index = static_cast<std::size_t>(row.slot);
            if (row.status == RepriceStatus::Changed) {
                EXPECT_EQ(std::llround(sheet.number(kPrice[index]).GetValue() * 100),
                          *row.newCents);
            }
        }
        EXPECT_EQ(netSum(file.file), file.netAfterCents);
        expectConsistentSums(file.file);
    }
    EXPECT_EQ(written, changedFiles);
    EXPECT_EQ(dir.entries().size(), original.size() + 1 + changedFiles);

    // Once re-priced, the folder is up to date: nothing more changes.
    for (const FileRepricing& file : repriceFolder(dir.path(), after, false).files) {
        EXPECT_NE(file.outcome, FileRepricingOutcome::Repriced) << file.file;
    }
}

TEST_F(FolderRepricingTest, AFileThatCannotBeWrittenIsReportedAndLeftAsItWas) {
    const auto locked = std::find_if(expected.begin(), expected.end(),
                                     [](const auto& e) { return !e.second.changedRows.empty(); });
    ASSERT_NE(locked, expected.end());
    test::makeReadOnly(dir / locked->first);
    const FolderRepricing report = repriceFolder(dir.path(), after, false);
    std::size_t written = 0;
    for (const FileRepricing& file : report.files) {
        const std::string name = file.file.filename().string();
        if (name != locked->first) {
            written += file.outcome == FileRepricingOutcome::Repriced ? 1 : 0;
            continue;
        }
        EXPECT_EQ(file.outcome, FileRepricingOutcome::NotWritten);
        EXPECT_NE(file.problem.find("Konnte die Datei nicht anlegen."), std::string::npos)
            << file.problem;
        EXPECT_EQ(test::readBytes(file.file), original.at(name));
        EXPECT_FALSE(fs::exists(dir / (name + ".bak")));
        EXPECT_NE(repricingCsv(report).find(name + ";;;;nicht geschrieben;;;"), std::string::npos);
    }
    // The folder went on past it.
    EXPECT_GT(written, 50u);
}

// The progress hears of every file and of the end; stopped, the run leaves every file after that
// point as it was and says it stopped.
TEST_F(FolderRepricingTest, AStoppedRunLeavesTheRestOfTheFolderAlone) {
    std::vector<std::size_t> seen;
    const FolderRepricing all =
        repriceFolder(dir.path(), after, true, [&seen](std::size_t done, std::size_t total) {
            EXPECT_EQ(total, static_cast<std::size_t>(kFiles));
            seen.push_back(done);
            return true;
        });
    EXPECT_FALSE(all.stopped);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kFiles) + 1);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i], i);
    }

    constexpr std::size_t kDone = 40;
    const FolderRepricing part = repriceFolder(
        dir.path(), after, false, [](std::size_t done, std::size_t) { return done < kDone; });
    EXPECT_TRUE(part.stopped);
    ASSERT_EQ(part.files.size(), kDone);
    std::size_t position = 0;
    for (const auto& [name, bytes] : original) {
        SCOPED_TRACE(name);
        if (position++ < kDone) {
            EXPECT_EQ(name, part.files[position - 1].file.filename().string());
            continue;
        }
        EXPECT_EQ(test::readBytes(dir / name), bytes);
        EXPECT_FALSE(fs::exists(dir / (name + ".bak")));
    }
}

TEST_F(FolderRepricingTest, TheReportAsCsvHasALinePerRowAndPerFileWithoutRows) {
    const FolderRepricing report = repriceFolder(dir.path(), after, true);
    const std::string csv = repricingCsv(report);
    ASSERT_TRUE(csv.starts_with("\xEF\xBB\xBF"
                                "Datei;Zeile;Lieferant;Artikelnummer;Status;Preis alt;Preis neu;"
                                "Endsumme netto vorher;Endsumme netto nachher;Hinweis\r\n"));
    std::size_t lines = 0;
    for (const FileRepricing& file : report.files) {
        lines += file.rows.empty() ? 1 : file.rows.size();
        const std::string name = file.file.filename().string();
        for (const RepricedRow& row : file.rows) {
            if (row.status != RepriceStatus::Changed) {
                continue;
            }
            const std::string line =
                name + ";" + std::string(rowSlotName(row.slot)) + ";Nord;" + row.articleNumber +
                ";geändert;" + toUtf8(centsText(row.oldCents)) + ";" +
                toUtf8(centsText(*row.newCents)) + ";" + toUtf8(centsText(file.netBeforeCents)) +
                ";" + toUtf8(centsText(file.netAfterCents)) + ";Probelauf: nicht geschrieben\r\n";
            EXPECT_NE(csv.find(line), std::string::npos) << line;
        }
    }
    EXPECT_EQ(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')), lines + 1);
    EXPECT_NE(csv.find("Dach 013.kal;;;;beschädigt;;;;;Read beyond end of file\r\n"),
              std::string::npos);
    EXPECT_NE(csv.find("Dach 007.kal;;;;keine Artikelnummern;;;"), std::string::npos);
}

TEST(FolderRepricing, AMissingFolderIsReportedAndQuotedFieldsStayFields) {
    const FolderRepricing missing = repriceFolder("/nonexistent/Kalkulationen", Catalogue{}, true);
    EXPECT_TRUE(missing.files.empty());
    EXPECT_NE(missing.problem.find("/nonexistent/Kalkulationen"), std::string::npos);

    FolderRepricing report;
    FileRepricing file;
    file.file = fs::path(u"Dach; \"Süd\".kal");
    file.outcome = FileRepricingOutcome::Damaged;
    file.problem = "Zeile 1\nZeile 2";
    report.files.push_back(file);
    EXPECT_NE(repricingCsv(report).find(
                  "\"Dach; \"\"Süd\"\".kal\";;;;beschädigt;;;;;\"Zeile 1\nZeile 2\"\r\n"),
              std::string::npos);
}

} // namespace
} // namespace pyrelto
