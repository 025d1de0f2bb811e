#include "article_search.h"
#include "repricing.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

Article article(std::string supplier, std::string number, std::string text, Decimal price,
                std::optional<Decimal> coverage = std::nullopt) {
    Article a;
    a.supplier = std::move(supplier);
    a.articleNumber = std::move(number);
    a.shortText1 = std::move(text);
    a.listPrice = price;
    a.coverage = coverage;
    a.discountGroup = "OB1";
    return a;
}

TEST(ArticleSearch, FindsByNumberPrefixAndWordPrefixesWithoutRegardToCase) {
    const std::vector<Article> articles{
        article("Nord", "BB-OL-5", "Oberlagsbahn Schiefer grün", {7493, 2}),
        article("Nord", "BB-UL-3", "Unterlagsbahn glatt", {4500, 2}),
        article("Nord", "KS-ÄBS", "Kaltselbstklebebahn Äußere Lage", {1200, 2}),
        article("Nord", "DN-20", "Dachpappnägel verzinkt", {2, 2}),
        article("Süd", "DN 100 A", "Notüberlauf-Rohr 2,8 x 20", {2, 2}),
    };
    const ArticleSearchIndex index(articles);
    const auto find = [&](std::string_view query) {
        auto found = index.search(query, 10);
        std::sort(found.begin(), found.end());
        return found;
    };
    struct Row {
        const char* query;
        std::vector<std::size_t> expected;
    };
    const Row rows[] = {
        {"bb-", {0, 1}},
        {"BB-OL", {0}},
        {"ober", {0}},
        {"GRÜ", {0}},
        {"äuß", {2}},
        {"ÄUSSERE", {}},
        {"ks-äbs", {2}},
        // "bahn" ends words but starts none; "Kaltselbstklebebahn" is one word.
        {"bahn", {}},
        {"lage", {2}},
        {"s", {0}},
        {"schiefer ober", {0}},
        {"schiefer glatt", {}},
        {"   ", {}},
        {"dachpappnä dn", {3}},
        // A number with spaces, typed as it is written; text pieces split at punctuation.
        {"dn 100", {4}},
        {"rohr", {4}},
        {"2,8 notüb", {4}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.query);
        EXPECT_EQ(find(row.query), row.expected);
        // The whole list of the "Materialien" tab: the same articles, in the catalogue's order.
        EXPECT_EQ(index.searchAll(row.query), row.expected);
    }
    EXPECT_EQ(index.search("b", 1).size(), 1u);
    EXPECT_EQ(foldForSearch("ÄÖÜ ß ABC ×"), "äöü ß abc ×");
}

TEST(Repricing, RowsGetPricePerSquareMetreOrPerPieceAndReportOldToNew) {
    Catalogue catalogue;
    catalogue.put(article("Nord", "BB-OL-5", "Oberlagsbahn", {7493, 2}, Decimal{75, 1}));
    Article nails = article("Nord", "DN-20", "Nägel", {1850, 2});
    nails.priceUnit = 1000;
    catalogue.put(nails);
    catalogue.put(article("Nord", "X", "ohne Fläche", {100, 2}));
    catalogue.put(article("Nord", "Z", "doppelt", {100, 2}));
    catalogue.put(article("Süd", "Z", "doppelt", {200, 2}));
    catalogue.setGroupDiscount("Nord", "OB1", Decimal{125, 1});

    const auto fill = fillRow(RowSlot::M1, *catalogue.find("Nord", "BB-OL-5"), catalogue);
    ASSERT_TRUE(fill.has_value());
    EXPECT_EQ(fill->priceCents, 999);
    EXPECT_EQ(fill->description, "Oberlagsbahn");
    EXPECT_EQ(fill->discountPercent, (Decimal{125, 1}));
    EXPECT_FALSE(fillRow(RowSlot::M2, *catalogue.find("Nord", "X"), catalogue).has_value());
    // A piece row has no discount field: its price is 1,00 € less 12,5 %, rounded once.
    const auto piece = fillRow(RowSlot::S1, *catalogue.find("Nord", "X"), catalogue);
    ASSERT_TRUE(piece.has_value());
    EXPECT_EQ(piece->priceCents, 88);
    EXPECT_FALSE(piece->discountPercent.has_value());
    Article net = *catalogue.find("Nord", "X");
    net.priceKind = PriceKind::Net;
    EXPECT_EQ(rowPrice(RowSlot::S1, net, catalogue), 100);
    // 0,35 € per 10 less 10 % is 3,15 ct → 3; rounding the piece price first (3,5 → 4 ct) would
    // give 4.
    Article clips = article("Nord", "C", "Klammern", {35, 2});
    clips.priceUnit = 10;
    EXPECT_EQ(purchasePricePerPiece(clips, Decimal{10, 0}), 3);

    const std::vector<ArticleRow> rows{
        {RowSlot::M1, "", "BB-OL-5", 950}, {RowSlot::S2, "Nord", "DN-20", 2},
        {RowSlot::M3, "", "FEHLT", 500},   {RowSlot::M4, "", "X", 100},
        {RowSlot::S5, "", "Z", 100},       {RowSlot::S4, "Süd", "Z", 100},
    };
    const std::vector<RepricedRow> expected{
        {RowSlot::M1, "BB-OL-5", 950, 999, RepriceStatus::Changed, "Nord"},
        {RowSlot::S2, "DN-20", 2, 2, RepriceStatus::Unchanged, "Nord"},
        {RowSlot::M3, "FEHLT", 500, std::nullopt, RepriceStatus::NotInCatalogue, ""},
        {RowSlot::M4, "X", 100, std::nullopt, RepriceStatus::NoCoverage, "Nord"},
        {RowSlot::S5, "Z", 100, std::nullopt, RepriceStatus::Ambiguous, ""},
        {RowSlot::S4, "Z", 100, 200, RepriceStatus::Changed, "Süd"},
    };
    EXPECT_EQ(repriceRows(rows, catalogue), expected);

    EXPECT_EQ(parseRowSlot("s3"), RowSlot::S3);
    EXPECT_EQ(parseRowSlot("M6"), std::nullopt);
    EXPECT_EQ(rowSlotName(RowSlot::M5), "M5");
}

} // namespace
} // namespace pyrelto
