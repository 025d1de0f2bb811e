#include "catalogue.h"
#include "csv_price_list.h"
#include "datanorm_reader.h"
#include "decimal.h"
#include "fixtures.h"

#include <gtest/gtest.h>

namespace pyrelto {
namespace {

using test::bytesOf;

PriceList csvList(std::string_view file, CalendarDate date) {
    CsvOptions options;
    options.supplier = "Nord";
    options.priceDate = date;
    return readCsvPriceList(bytesOf(file), options);
}

TEST(Decimal, ParsesBothStylesExactlyAndRefusesTheRest) {
    struct Row {
        const char* text;
        NumberStyle style;
        std::optional<Decimal> expected;
    };
    const Row rows[] = {
        {"74,93", NumberStyle::German, Decimal{7493, 2}},
        {" 1.234,5 ", NumberStyle::German, Decimal{12345, 1}},
        {"1,234.5", NumberStyle::English, Decimal{12345, 1}},
        {"0,1234", NumberStyle::German, Decimal{1234, 4}},
        {"-3", NumberStyle::German, Decimal{-3, 0}},
        {"0,12345", NumberStyle::German, std::nullopt},
        {"1.23,4", NumberStyle::German, std::nullopt},
        {"12a", NumberStyle::German, std::nullopt},
        {"", NumberStyle::German, std::nullopt},
        {"1,2,3", NumberStyle::German, std::nullopt},
        {"99999999999999999999", NumberStyle::German, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const auto parsed = parseDecimal(row.text, row.style);
        ASSERT_EQ(parsed.has_value(), row.expected.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->units, row.expected->units);
            EXPECT_EQ(parsed->decimals, row.expected->decimals);
        }
    }
    EXPECT_EQ(formatDecimal(Decimal{7493, 2}), "74,93");
    EXPECT_EQ(formatDecimal(Decimal{5, 3}), "0,005");
    EXPECT_EQ((Decimal{7490, 2}), (Decimal{749, 1}));
    EXPECT_EQ((Decimal{12345, 4}).cents(), 123);
    EXPECT_EQ((Decimal{12350, 4}).cents(), 124);
}

TEST(Article, DerivedPricesRoundHalfUpToTheCent) {
    Article roll;
    roll.listPrice = {7493, 2};
    roll.coverage = Decimal{75, 1};
    EXPECT_EQ(listPricePerSquareMetre(roll), 999); // 74,93 / 7,5 = 9,9907
    roll.coverage = Decimal{10, 0};
    roll.listPrice = {995, 2};
    EXPECT_EQ(listPricePerSquareMetre(roll), 100); // 0,995 rounds up
    roll.coverage.reset();
    EXPECT_EQ(listPricePerSquareMetre(roll), std::nullopt);

    Article nails;
    nails.listPrice = {1850, 2};
    nails.priceUnit = 1000;
    EXPECT_EQ(listPricePerPiece(nails), 2); // 0,0185 per piece
    nails.priceUnit = 100;
    EXPECT_EQ(listPricePerPiece(nails), 19); // 0,185
    nails.priceUnit = 10;
    EXPECT_EQ(listPricePerPiece(nails), 185);

    Article perHundred;
    perHundred.listPrice = {123456, 2};
    perHundred.priceUnit = 100;
    perHundred.coverage = Decimal{1, 0};
    EXPECT_EQ(listPricePerSquareMetre(perHundred), 1235); // 12,3456 per m²
}

TEST(Catalogue, SecondImportSortsArticlesIntoNewChangedUnchangedAndKeepsThePreviousPrice) {
    Catalogue catalogue;
    const ImportPlan first = catalogue.planImport(
        csvList("Artikelnummer;Bezeichnung;Preis;m² je "
                "Einheit\nA1;Bahn;74,93;7,5\nA2;Nagel;0,10;\nA3;Kleber;5,00;\n",
                {2026, 1, 1}));
    ASSERT_TRUE(first.applicable());
    EXPECT_EQ(first.added.size(), 3u);
    catalogue.apply(first);

    // Our own fields, set between the imports, must survive the next one.
    Article kleber = *catalogue.find("Nord", "A3");
    kleber.wastePercent = Decimal{5, 0};
    kleber.coverage = Decimal{4, 0};
    catalogue.put(kleber);

    const ImportPlan second =
        catalogue.planImport(csvList("Artikelnummer;Bezeichnung;Preis\nA1;Bahn;79,90\nA2;Nagel;0,"
                                     "10\nA3;Kleber neu;5,00\nA4;Rinne;12,00\n",
                                     {2026, 6, 1}));
    ASSERT_TRUE(second.applicable());
    ASSERT_EQ(second.added.size(), 1u);
    EXPECT_EQ(second.added[0].articleNumber, "A4");
    EXPECT_EQ(second.unchanged, 1u);
    ASSERT_EQ(second.changed.size(), 2u);
    EXPECT_EQ(second.changed[0].before.listPrice, (Decimal{7493, 2}));
    EXPECT_EQ(second.changed[0].after.listPrice, (Decimal{7990, 2}));

    // Nothing happens until the plan is applied.
    EXPECT_EQ(catalogue.find("Nord", "A1")->listPrice, (Decimal{7493, 2}));
    catalogue.apply(second);
    const Article& a1 = *catalogue.find("Nord", "A1");
    EXPECT_EQ(a1.listPrice, (Decimal{7990, 2}));
    EXPECT_EQ(a1.priceDate, (CalendarDate{2026, 6, 1}));
    ASSERT_TRUE(a1.previousPrice.has_value());
    EXPECT_EQ(*a1.previousPrice, (Decimal{7493, 2}));
    EXPECT_EQ(a1.previousPriceDate, (CalendarDate{2026, 1, 1}));
    EXPECT_EQ(a1.coverage, (Decimal{75, 1})); // the list gave none this time
    const Article& a2 = *catalogue.find("Nord", "A2");
    EXPECT_FALSE(a2.previousPrice.has_value());
    EXPECT_EQ(a2.priceDate, (CalendarDate{2026, 1, 1}));
    const Article& a3 = *catalogue.find("Nord", "A3");
    EXPECT_EQ(a3.shortText1, "Kleber neu");
    EXPECT_EQ(a3.wastePercent, (Decimal{5, 0}));
    EXPECT_EQ(a3.coverage, (Decimal{4, 0}));
    EXPECT_EQ(catalogue.articles().size(), 4u);
}

TEST(Catalogue, StalePlanIsRefusedAndSuppliersAreKeptApart) {
    Catalogue catalogue;
    const ImportPlan plan = catalogue.planImport(csvList("Artikelnummer;Preis\nA1;1\n", {}));
    Article other;
    other.supplier = "Süd";
    other.articleNumber = "A1";
    catalogue.put(other);
    EXPECT_THROW(catalogue.apply(plan), ImportRefused);
    EXPECT_EQ(catalogue.articles().size(), 1u);

    catalogue.apply(catalogue.planImport(csvList("Artikelnummer;Preis\nA1;1\n", {})));
    EXPECT_EQ(catalogue.findNumber("A1").size(), 2u);
    EXPECT_EQ(catalogue.find("Süd", "A1")->listPrice, (Decimal{}));
}

TEST(Catalogue, WithdrawnArticlesLeaveTheCatalogue) {
    Catalogue catalogue;
    const std::string header = test::datanormHeader();
    catalogue.apply(catalogue.planImport(readDatanorm(bytesOf(
        header + "A;N;X1;00;Bahn;;1;0;Rolle;100;G;H;\r\nA;N;X2;00;Bahn;;1;0;Rolle;100;G;H;\r\n"))));
    const ImportPlan plan = catalogue.planImport(
        readDatanorm(bytesOf(header + "A;L;X1;00;Bahn;;1;0;Rolle;100;G;H;\r\n")));
    ASSERT_TRUE(plan.applicable());
    ASSERT_EQ(plan.withdrawn.size(), 1u);
    catalogue.apply(plan);
    EXPECT_EQ(catalogue.find("Dachbaustoffe Nord GmbH", "X1"), nullptr);
    EXPECT_NE(catalogue.find("Dachbaustoffe Nord GmbH", "X2"), nullptr);
}

TEST(Catalogue, AssignSortsTheArticlesAndTheLaterOfTwoEqualKeysStays) {
    Catalogue catalogue;
    std::vector<Article> articles(4);
    const char* keys[][2] = {{"Süd", "B"}, {"Nord", "Z"}, {"Süd", "B"}, {"Nord", "A"}};
    for (std::size_t i = 0; i < articles.size(); ++i) {
        articles[i].supplier = keys[i][0];
        articles[i].articleNumber = keys[i][1];
        articles[i].listPrice = {static_cast<std::int64_t>(i), 0};
    }
    const auto before = catalogue.revision();
    catalogue.assign(articles, {{{"Nord", "G1"}, Decimal{30, 0}}});
    EXPECT_GT(catalogue.revision(), before);
    ASSERT_EQ(catalogue.articles().size(), 3u);
    EXPECT_EQ(catalogue.articles()[0].articleNumber, "A");
    EXPECT_EQ(catalogue.articles()[1].articleNumber, "Z");
    EXPECT_EQ(catalogue.find("Süd", "B")->listPrice, (Decimal{2, 0}));
    EXPECT_EQ(catalogue.groupDiscount("Nord", "G1"), (Decimal{30, 0}));
}

} // namespace
} // namespace pyrelto
