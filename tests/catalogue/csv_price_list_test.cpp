#include "catalogue.h"
#include "csv_price_list.h"
#include "file_test_support.h"
#include "fixtures.h"
#include "price_list_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

using test::bytesOf;

struct CsvCase {
    const char* name;
    std::string file;
    TextEncoding encoding;
    char delimiter;
};

// The same two articles in every file: the first has a text with the delimiter and a line break
// inside quotes, the second a price with thousands separators.
class CsvEncodings : public testing::TestWithParam<CsvCase> {};

TEST_P(CsvEncodings, ReadsEveryFieldOfTheHandWrittenFile) {
    const CsvCase& c = GetParam();
    CsvOptions options;
    options.supplier = "Dachbaustoffe Nord GmbH";
    options.priceDate = {2026, 3, 1};
    const PriceList list = readCsvPriceList(bytesOf(c.file), options);
    ASSERT_TRUE(list.problems.empty()) << list.problems.front().reason;
    EXPECT_EQ(list.encoding, c.encoding);
    EXPECT_EQ(list.delimiter, c.delimiter);
    ASSERT_EQ(list.articles.size(), 2u);

    const Article& roll = list.articles[0].article;
    EXPECT_EQ(list.articles[0].line, 2u);
    EXPECT_EQ(roll.supplier, "Dachbaustoffe Nord GmbH");
    EXPECT_EQ(roll.articleNumber, "BB-OL-5");
    EXPECT_EQ(roll.shortText1, std::string("Oberlagsbahn; grün,\nSchiefer"));
    EXPECT_EQ(roll.unit, "Rolle");
    EXPECT_EQ(roll.listPrice, (Decimal{7493, 2}));
    EXPECT_EQ(roll.priceUnit, 1);
    EXPECT_EQ(roll.discountGroup, "OB1");
    ASSERT_TRUE(roll.coverage.has_value());
    EXPECT_EQ(*roll.coverage, (Decimal{75, 1}));
    EXPECT_EQ(roll.priceDate, (CalendarDate{2026, 3, 1}));
    EXPECT_EQ(listPricePerSquareMetre(roll), 999);

    const Article& membrane = list.articles[1].article;
    // The quoted line break makes the second article start on line 4.
    EXPECT_EQ(list.articles[1].line, 4u);
    EXPECT_EQ(membrane.articleNumber, "KS-ÄBS");
    EXPECT_EQ(membrane.shortText1, "Kaltselbstklebebahn Äußere");
    EXPECT_EQ(membrane.unit, "m²");
    EXPECT_EQ(membrane.listPrice, (Decimal{1234567, 3}));
    EXPECT_EQ(membrane.priceUnit, 100);
    EXPECT_EQ(membrane.discountGroup, "KS");
    EXPECT_FALSE(membrane.coverage.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Table, CsvEncodings,
    testing::Values(
        // UTF-8 with BOM, ";" and German numbers.
        CsvCase{"Utf8Semicolon",
                "\xEF\xBB\xBF"
                "Artikelnummer;Bezeichnung;Einheit;Preis;Preiseinheit;Rabattgruppe;m\xC2\xB2 je "
                "Einheit\r\n"
                "BB-OL-5;\"Oberlagsbahn; gr\xC3\xBCn,\nSchiefer\";Rolle;74,93;1;OB1;7,5\r\n"
                "KS-\xC3\x84"
                "BS;Kaltselbstklebebahn \xC3\x84u\xC3\x9f"
                "ere;m\xC2\xB2;1.234,567;100;KS;\r\n",
                TextEncoding::Utf8, ';'},
        // Windows-1252, "," and English numbers; fields holding "," are quoted.
        CsvCase{
            "Windows1252Comma",
            "Artikelnummer,Bezeichnung,Einheit,Preis,Preiseinheit,Rabattgruppe,m\xB2 je Einheit\r\n"
            "BB-OL-5,\"Oberlagsbahn; gr\xFCn,\nSchiefer\",Rolle,74.93,1,OB1,7.5\r\n"
            "KS-\xC4"
            "BS,Kaltselbstklebebahn \xC4u\xDF"
            "ere,m\xB2,\"1,234.567\",100,KS,\r\n",
            TextEncoding::Windows1252, ','},
        // CP850, tab, German numbers, header names in other case and with spaces, "" in a field.
        CsvCase{"Cp850Tab",
                "ARTIKELNUMMER\t Bezeichnung \tEinheit\tPreis\tPreiseinheit\tRabattgruppe\tM\xFD "
                "je einheit\n"
                "BB-OL-5\t\"Oberlagsbahn; gr\x81n,\nSchiefer\"\tRolle\t74,93\t1\tOB1\t7,5\n"
                "KS-\x8E"
                "BS\tKaltselbstklebebahn \x8Eu\xE1"
                "ere\tm\xFD\t1.234,567\t100\tKS\t\n",
                TextEncoding::Cp850, '\t'}),
    [](const testing::TestParamInfo<CsvCase>& info) { return std::string(info.param.name); });

TEST(CsvPriceList, MappingNamesOtherHeadersAndDoubledQuotesAreRead) {
    std::string error;
    const auto columns =
        parseCsvColumns("Artikelnummer=ArtNr; Preis=VK netto;Bezeichnung=Text", error);
    ASSERT_TRUE(columns.has_value()) << error;
    CsvOptions options;
    options.supplier = "Nord";
    options.columns = *columns;
    const std::string file = "ArtNr;Text;VK netto\n"
                             "A1;\"Bahn \"\"extra\"\"\";12,5\n";
    const PriceList list = readCsvPriceList(bytesOf(file), options);
    ASSERT_TRUE(list.problems.empty()) << list.problems.front().reason;
    ASSERT_EQ(list.articles.size(), 1u);
    EXPECT_EQ(list.articles[0].article.shortText1, "Bahn \"extra\"");
    EXPECT_EQ(list.articles[0].article.listPrice, (Decimal{125, 1}));

    EXPECT_FALSE(parseCsvColumns("Farbe=X", error).has_value());
    EXPECT_NE(error.find("Farbe"), std::string::npos);

    // Every field goes by its default header, on the command line and in the store.
    for (const auto& [name, member] : kCsvColumnFields) {
        SCOPED_TRACE(std::string(name));
        EXPECT_EQ(CsvColumns{}.*member, name);
        const auto mapped = parseCsvColumns(std::string(name) + "=Spalte X", error);
        ASSERT_TRUE(mapped.has_value()) << error;
        EXPECT_EQ((*mapped).*member, "Spalte X");
    }
}

TEST(CsvPriceList, PreviewShowsDetectedSettingsAndFirstRecords) {
    const std::string file = "Artikelnummer\tPreis\nA1\t1.5\nA2\t2.25\nA3\t3\n";
    const CsvPreview preview = previewCsv(bytesOf(file), 2);
    EXPECT_EQ(preview.delimiter, '\t');
    EXPECT_EQ(preview.numberStyle, NumberStyle::English);
    EXPECT_EQ(preview.encoding, TextEncoding::Ascii);
    ASSERT_EQ(preview.records.size(), 2u);
    EXPECT_EQ(preview.records[1], (std::vector<std::string>{"A1", "1.5"}));

    // What another choice reads: "ä" of Windows-1252 (E4) is "õ" in CP850, and a "," split
    // leaves the tab-separated line whole.
    const std::string latin = "Nr;Text\nA1;Gl\xE4tte,fein\n";
    EXPECT_EQ(previewCsv(bytesOf(latin), 2).records[1],
              (std::vector<std::string>{"A1", "Glätte,fein"}));
    const CsvPreview forced = previewCsv(bytesOf(latin), 2, TextEncoding::Cp850, ',');
    EXPECT_EQ(forced.encoding, TextEncoding::Cp850);
    EXPECT_EQ(forced.delimiter, ',');
    EXPECT_EQ(forced.records[1], (std::vector<std::string>{"A1;Glõtte", "fein"}));
}

// The dialog picks columns by header name as the reader does, and recognises a supplier's layout
// by its remembered mapping.
TEST(CsvPriceList, ColumnsAreFoundByHeaderAndMappingsFitOrNot) {
    const std::vector<std::string> header{"ArtNr", " VK netto ", "Kurztext", ""};
    EXPECT_EQ(findCsvColumn(header, "vk NETTO"), 1u);
    EXPECT_EQ(findCsvColumn(header, "Preis"), std::nullopt);
    EXPECT_EQ(findCsvColumn(header, ""), std::nullopt);

    CsvColumns layout;
    for (const auto& field : kCsvColumnFields) {
        layout.*(field.second) = "";
    }
    EXPECT_EQ(missingRequiredCsvFields(layout),
              (std::vector<std::string_view>{"Artikelnummer", "Preis"}));
    layout.articleNumber = "ArtNr";
    layout.price = "VK netto";
    layout.text1 = "Kurztext";
    EXPECT_TRUE(missingRequiredCsvFields(layout).empty());
    EXPECT_TRUE(csvColumnsFit(layout, header));
    EXPECT_FALSE(csvColumnsFit(CsvColumns{}, header));
    layout.unit = "ME";
    EXPECT_FALSE(csvColumnsFit(layout, header));
}

TEST(CsvPriceList, FileOnDiskIsReadWithItsFormatDetected) {
    const test::TempDir dir;
    const auto path = dir / "preise.csv";
    {
        std::ofstream out(path, std::ios::binary);
        out << "Artikelnummer;Preis\nA1;4,20\n";
    }
    CsvOptions options;
    options.supplier = "Nord";
    const PriceList list = readPriceListFile(path, options);
    std::filesystem::remove(path);
    ASSERT_TRUE(list.problems.empty());
    EXPECT_EQ(list.format, PriceListFormat::Csv);
    ASSERT_EQ(list.articles.size(), 1u);
    EXPECT_EQ(list.articles[0].article.listPrice, (Decimal{420, 2}));

    const PriceList missing = readPriceListFile(path, options);
    ASSERT_EQ(missing.problems.size(), 1u);
    EXPECT_EQ(missing.problems[0].line, 0u);
}

struct MalformedCsv {
    const char* name;
    std::string file;
    std::size_t line;
    const char* reasonPart;
};

class CsvMalformed : public testing::TestWithParam<MalformedCsv> {};

TEST_P(CsvMalformed, IsReportedWithItsLineAndNothingIsApplied) {
    const MalformedCsv& c = GetParam();
    Catalogue catalogue;
    CsvOptions options;
    options.supplier = "Nord";
    catalogue.apply(catalogue.planImport(
        readCsvPriceList(bytesOf("Artikelnummer;Preis\nALT;1,00\n"), options)));
    const std::uint64_t revision = catalogue.revision();

    const ImportPlan plan = catalogue.planImport(readCsvPriceList(bytesOf(c.file), options));
    ASSERT_FALSE(plan.applicable());
    const bool named = std::any_of(plan.problems.begin(), plan.problems.end(), [&](const auto& p) {
        return p.line == c.line && p.reason.find(c.reasonPart) != std::string::npos;
    });
    EXPECT_TRUE(named) << "first problem: line " << plan.problems.front().line << ": "
                       << plan.problems.front().reason;
    EXPECT_THROW(catalogue.apply(plan), ImportRefused);
    EXPECT_EQ(catalogue.revision(), revision);
    ASSERT_EQ(catalogue.articles().size(), 1u);
    EXPECT_EQ(catalogue.articles()[0].listPrice, (Decimal{100, 2}));
}

const std::string kHeader = "Artikelnummer;Preis;Preiseinheit;m² je Einheit\n";

INSTANTIATE_TEST_SUITE_P(
    Table, CsvMalformed,
    testing::Values(
        MalformedCsv{"LettersInPrice", kHeader + "ALT;2,00\nA1;12,5x\n", 3, "Preis „12,5x“"},
        MalformedCsv{"TooManyDecimals", kHeader + "A1;1,23456\n", 2, "kein gültiger Betrag"},
        MalformedCsv{"ShortRow", kHeader + "A1\n", 2, "nur 1 Spalten"},
        MalformedCsv{"MissingPriceColumn", "Artikelnummer;Bezeichnung\nA1;x\n", 1, "„Preis“ fehlt"},
        MalformedCsv{"BadPriceUnit", kHeader + "A1;1,00;12\n", 2, "Preiseinheit „12“"},
        MalformedCsv{"ZeroCoverage", kHeader + "A1;1,00;1;0\n", 2, "keine positive Zahl"},
        MalformedCsv{"DuplicateArticle", kHeader + "A1;1,00\nA1;2,00\n", 3, "schon in Zeile 2"},
        MalformedCsv{"TruncatedInsideQuotes", kHeader + "A1;1,00\n\"A2;2,00\n", 3, "abgeschnitten"},
        MalformedCsv{"TenMebibytesOnOneLine",
                     kHeader + "A1;1,00\n" + std::string(10u << 20, 'x') + "\nA2;2,00\n", 3,
                     "länger als 65536 Zeichen"},
        MalformedCsv{"EmptyFile", "", 0, "keine Kopfzeile"}),
    [](const testing::TestParamInfo<MalformedCsv>& info) { return std::string(info.param.name); });

TEST(CsvPriceList, SupplierIsRequired) {
    Catalogue catalogue;
    const ImportPlan plan = catalogue.planImport(
        readCsvPriceList(bytesOf("Artikelnummer;Preis\nA1;1\n"), CsvOptions{}));
    EXPECT_FALSE(plan.applicable());
}

} // namespace
} // namespace pyrelto
