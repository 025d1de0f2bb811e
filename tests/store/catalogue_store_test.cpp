// The price catalogue in the store, against both engines (store_test_fixture.h).

#include "datanorm_reader.h"
#include "fixtures.h"
#include "store_test_fixture.h"

#include <algorithm>
#include <functional>

namespace pyrelto {
namespace {

using test::hostileTexts;

class CatalogueStoreTest : public test::StoreTest {};

// Every field, with the precision of each amount: {7490, 2} and {749, 1} are the same value but
// not the same list.
void expectSameArticle(const Article& got, const Article& want) {
    SCOPED_TRACE(want.supplier + " " + want.articleNumber);
    const auto same = [](const std::optional<Decimal>& a, const std::optional<Decimal>& b) {
        return a.has_value() == b.has_value() &&
               (!a || (a->units == b->units && a->decimals == b->decimals));
    };
    EXPECT_TRUE(sameListFields(got, want));
    EXPECT_TRUE(same(got.listPrice, want.listPrice));
    EXPECT_EQ(got.priceDate, want.priceDate);
    EXPECT_TRUE(same(got.previousPrice, want.previousPrice));
    EXPECT_EQ(got.previousPriceDate, want.previousPriceDate);
    EXPECT_TRUE(same(got.coverage, want.coverage));
    EXPECT_TRUE(same(got.wastePercent, want.wastePercent));
}

Article article(std::string number, Decimal price) {
    Article a;
    a.articleNumber = std::move(number);
    a.shortText1 = "Oberlagsbahn";
    a.listPrice = price;
    return a;
}

PriceList listOf(std::string supplier, std::vector<Article> articles, CalendarDate date = {}) {
    PriceList list;
    list.supplier = std::move(supplier);
    list.date = date;
    std::size_t line = 1;
    for (Article& a : articles) {
        a.priceDate = date;
        list.articles.push_back({std::move(a), ++line});
    }
    return list;
}

std::size_t articleCount(Store& store) {
    return store.catalogue()->catalogue.articles().size();
}

TEST_P(CatalogueStoreTest, ImportsAListFieldByFieldAndKeepsThePreviousPriceAndOurOwnFields) {
    auto store = open();
    const PriceList first = readDatanorm(test::bytesOf(test::datanormFixture()));
    ASSERT_TRUE(first.problems.empty());
    const ImportPlan plan = store->planImport(first);
    ASSERT_EQ(plan.added.size(), 4u);
    store->applyImport(plan);
    EXPECT_EQ(store->catalogueChange(), 1);
    for (const Article& added : plan.added) {
        const auto stored = store->article(added.supplier, added.articleNumber);
        ASSERT_TRUE(stored.has_value()) << added.articleNumber;
        expectSameArticle(*stored, added);
    }
    const std::string supplier = "Dachbaustoffe Nord GmbH";
    // The P record's net price, CP850 umlauts as UTF-8, the EAN from the B record.
    const auto selfAdhesive = store->article(supplier, "KS-ÄBS");
    ASSERT_TRUE(selfAdhesive);
    EXPECT_EQ(selfAdhesive->shortText1, "Kaltselbstklebebahn Äußere");
    EXPECT_EQ(selfAdhesive->listPrice, (Decimal{120000, 2}));
    EXPECT_EQ(selfAdhesive->priceKind, PriceKind::Net);
    EXPECT_EQ(selfAdhesive->priceUnit, 100);
    EXPECT_EQ(store->article(supplier, "BB-OL-5")->ean, "4012345678901");

    store->setOwnFields(supplier, "BB-OL-5", Decimal{75, 1}, Decimal{10, 0});
    store->setGroupDiscount(supplier, "OB1", Decimal{355, 1});
    EXPECT_EQ(store->catalogueChange(), 3);

    // A later list: one price up, one article withdrawn, the rest as they were.
    std::string later = test::datanormFixture();
    later.replace(later.find("7493"), 4, "7990");
    later.replace(later.find("A;N;DN-NAGEL"), 3, "A;L");
    later.replace(later.find("010326"), 6, "150626");
    const ImportPlan update = store->planImport(readDatanorm(test::bytesOf(later)));
    ASSERT_TRUE(update.applicable());
    EXPECT_EQ(update.changed.size(), 1u);
    EXPECT_EQ(update.withdrawn.size(), 1u);
    EXPECT_EQ(update.unchanged, 2u);
    store->applyImport(update);

    const auto roll = store->article(supplier, "BB-OL-5");
    ASSERT_TRUE(roll);
    EXPECT_EQ(roll->listPrice, (Decimal{7990, 2}));
    EXPECT_EQ(roll->priceDate, (CalendarDate{2026, 6, 15}));
    EXPECT_EQ(roll->previousPrice, (Decimal{7493, 2}));
    EXPECT_EQ(roll->previousPriceDate, (CalendarDate{2026, 3, 1}));
    EXPECT_EQ(roll->coverage, (Decimal{75, 1}));
    EXPECT_EQ(roll->wastePercent, (Decimal{10, 0}));
    EXPECT_FALSE(store->article(supplier, "DN-NAGEL").has_value());

    // What another PC loads is what was written.
    const auto snapshot = open()->catalogue();
    EXPECT_EQ(snapshot->change, store->catalogueChange());
    ASSERT_EQ(snapshot->catalogue.articles().size(), 3u);
    for (const Article& loaded : snapshot->catalogue.articles()) {
        expectSameArticle(loaded, *store->article(loaded.supplier, loaded.articleNumber));
    }
    EXPECT_EQ(snapshot->catalogue.groupDiscount(supplier, "OB1"), (Decimal{355, 1}));
}

TEST_P(CatalogueStoreTest, KeepsHostileTextsInEveryField) {
    auto store = open();
    // Keys (supplier, article number, discount group) are bounded at 256 bytes on both engines.
    const auto key = [](const std::string& text) { return text.substr(0, 200); };
    std::vector<Article> articles;
    for (const auto& [name, text] : hostileTexts()) {
        Article a = article(key(text), {12345678, 4});
        a.shortText1 = text;
        a.shortText2 = text + "2";
        a.unit = text;
        a.discountGroup = key(text);
        a.mainProductGroup = text;
        a.ean = text;
        articles.push_back(std::move(a));
    }
    const std::string supplier = hostileTexts().front().text;
    store->applyImport(store->planImport(listOf(supplier, articles, {2026, 3, 1})));
    for (const auto& [name, text] : hostileTexts()) {
        SCOPED_TRACE(name);
        const std::string number = key(text);
        Article want = *std::find_if(articles.begin(), articles.end(),
                                     [&](const Article& a) { return a.articleNumber == number; });
        want.supplier = supplier;
        want.priceDate = {2026, 3, 1};
        const auto stored = store->article(supplier, key(text));
        ASSERT_TRUE(stored.has_value());
        expectSameArticle(*stored, want);
        const auto byNumber = store->articlesByNumber(key(text));
        ASSERT_EQ(byNumber.size(), 1u);
        expectSameArticle(byNumber.front(), want);

        store->setGroupDiscount(supplier, key(text), Decimal{5, 0});
        EXPECT_EQ(store->catalogue()->catalogue.groupDiscount(supplier, key(text)),
                  (Decimal{5, 0}));
        CsvColumns columns;
        columns.articleNumber = text;
        columns.price = text + "€";
        store->setCsvColumns(key(text), columns);
        EXPECT_EQ(store->csvColumns(key(text)), columns);
    }
    const std::string longKey(257, 'x');
    EXPECT_THROW(
        store->applyImport(store->planImport(listOf(supplier, {article(longKey, {1, 0})}))),
        StoreError);
    EXPECT_FALSE(store->article(supplier, longKey).has_value());
    EXPECT_TRUE(store->articlesByNumber(longKey).empty());
    // A text no engine can keep is refused, naming the field, and nothing is imported.
    for (const std::string& bad : {std::string("Mül\0ler", 7), std::string("M\xfcller")}) {
        Article a = article("NEU", {100, 2});
        a.shortText2 = bad;
        try {
            store->applyImport(store->planImport(listOf(supplier, {article("A1", {1, 0}), a})));
            ADD_FAILURE() << "imported";
        } catch (const StoreError& error) {
            EXPECT_EQ(error.kind(), StoreError::Kind::Refused);
            EXPECT_NE(std::string(error.what()).find("Kurztext 2"), std::string::npos);
        }
        EXPECT_FALSE(store->article(supplier, "A1").has_value());
        EXPECT_THROW(store->setCsvColumns(bad, CsvColumns{}), StoreError);
    }
    EXPECT_EQ(articleCount(*store), hostileTexts().size());
}

TEST_P(CatalogueStoreTest, AnImportIsAppliedWholeOrNotAtAll) {
    auto store = open();
    std::vector<Article> first(450);
    for (int i = 0; i < 450; ++i) {
        // Front to back: GCC 12 sees a false overlap in "A" + std::to_string(i) at -O3.
        std::string number(1, 'A');
        number += std::to_string(i);
        first[static_cast<std::size_t>(i)] = article(number, {100 + i, 2});
    }
    store->applyImport(store->planImport(listOf("Nord", first)));
    const std::int64_t change = store->catalogueChange();

    // The engine refuses the last row after hundreds were written in batches: none stay.
    std::vector<Article> second(450);
    for (int i = 0; i < 450; ++i) {
        std::string number(1, 'B');
        number += std::to_string(i);
        second[static_cast<std::size_t>(i)] = article(number, {100, 2});
    }
    ImportPlan plan = store->planImport(listOf("Nord", second));
    ASSERT_EQ(plan.added.size(), 450u);
    plan.added.back() = *store->article("Nord", "A7"); // already stored: a duplicate key
    try {
        store->applyImport(plan);
        ADD_FAILURE() << "applied";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Refused) << error.what();
    }
    EXPECT_FALSE(store->article("Nord", "B0").has_value());
    EXPECT_EQ(articleCount(*store), 450u);
    EXPECT_EQ(store->catalogueChange(), change);

    // A plan with a line the reader could not use is refused before anything is written.
    PriceList withProblem = listOf("Nord", second);
    withProblem.problems.push_back({9, "Zeile 9: Preis „x“ ist kein gültiger Betrag."});
    EXPECT_THROW(store->applyImport(store->planImport(withProblem)), StoreError);

    // Planned, then another PC edits the catalogue: the plan is refused, the edit stays.
    const ImportPlan stale = store->planImport(listOf("Nord", second));
    open()->setOwnFields("Nord", "A1", Decimal{75, 1}, std::nullopt);
    try {
        store->applyImport(stale);
        ADD_FAILURE() << "a stale plan was applied";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Refused);
        EXPECT_NE(std::string(error.what()).find("seit der Vorschau geändert"), std::string::npos);
    }
    EXPECT_EQ(articleCount(*store), 450u);
    EXPECT_EQ(store->article("Nord", "A1")->coverage, (Decimal{75, 1}));

    // Planned again, it goes through; withdrawing all 450 in the next list empties the supplier.
    store->applyImport(store->planImport(listOf("Nord", second)));
    EXPECT_EQ(articleCount(*store), 900u);
    PriceList withdrawal = listOf("Nord", first);
    for (ListedArticle& listed : withdrawal.articles) {
        listed.withdrawn = true;
    }
    store->applyImport(store->planImport(withdrawal));
    EXPECT_EQ(articleCount(*store), 450u);
    EXPECT_FALSE(store->article("Nord", "A449").has_value());
}

TEST_P(CatalogueStoreTest, OtherPCsSeeEveryChangeAndAnUnchangedCatalogueIsNotReadAgain) {
    auto here = open();
    auto there = open();
    Article roll = article("BB-OL-5", {7493, 2});
    roll.shortText2 = "Schiefer grün";
    here->applyImport(here->planImport(listOf("Nord", {roll, article("BB-UL-3", {4500, 2})})));
    here->applyImport(here->planImport(listOf("Süd", {article("BB-OL-5", {7000, 2})})));

    const auto first = there->catalogue();
    EXPECT_EQ(there->catalogue(), first); // nothing changed: the same snapshot
    const auto found = there->searchArticles("ober grü", 10);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front().supplier, "Nord");
    EXPECT_EQ(there->searchArticles("bb-", 10).size(), 3u);
    EXPECT_EQ(there->searchArticles("bb-", 2).size(), 2u);
    const auto both = there->articlesByNumber("BB-OL-5");
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].supplier, "Nord");
    EXPECT_EQ(both[1].supplier, "Süd");
    EXPECT_TRUE(there->articlesByNumber("FEHLT").empty());
    EXPECT_FALSE(there->article("Nord", "FEHLT").has_value());

    here->setOwnFields("Nord", "BB-OL-5", Decimal{75, 1}, Decimal{5, 0});
    const auto second = there->catalogue();
    EXPECT_NE(second, first);
    EXPECT_EQ(second->catalogue.find("Nord", "BB-OL-5")->coverage, (Decimal{75, 1}));
    // The old snapshot stays as it was for whoever still holds it.
    EXPECT_FALSE(first->catalogue.find("Nord", "BB-OL-5")->coverage.has_value());

    here->setOwnFields("Nord", "BB-OL-5", std::nullopt, std::nullopt);
    here->setGroupDiscount("Nord", "G1", Decimal{30, 0});
    here->setGroupDiscount("Nord", "G1", std::nullopt);
    const auto third = there->catalogue();
    EXPECT_FALSE(third->catalogue.find("Nord", "BB-OL-5")->coverage.has_value());
    EXPECT_FALSE(third->catalogue.groupDiscount("Nord", "G1").has_value());
    EXPECT_EQ(third->change, here->catalogueChange());
}

TEST_P(CatalogueStoreTest, RefusesOwnFieldsNoRowCanUseAndUnknownArticles) {
    auto store = open();
    store->applyImport(store->planImport(listOf("Nord", {article("BB-OL-5", {7493, 2})})));
    const std::int64_t change = store->catalogueChange();
    struct Case {
        const char* name;
        std::function<void(Store&)> edit;
    };
    const Case cases[] = {
        {"unknown article",
         [](Store& s) {
             s.setOwnFields("Nord", "FEHLT", Decimal{1, 0}, std::nullopt);
         }},
        {"unknown supplier",
         [](Store& s) {
             s.setOwnFields("Süd", "BB-OL-5", Decimal{1, 0}, std::nullopt);
         }},
        {"zero coverage",
         [](Store& s) {
             s.setOwnFields("Nord", "BB-OL-5", Decimal{0, 2}, std::nullopt);
         }},
        {"negative waste",
         [](Store& s) {
             s.setOwnFields("Nord", "BB-OL-5", std::nullopt, Decimal{-1, 0});
         }},
        {"discount above 100",
         [](Store& s) {
             s.setGroupDiscount("Nord", "G", Decimal{1001, 1});
         }},
        {"negative discount",
         [](Store& s) {
             s.setGroupDiscount("Nord", "G", Decimal{-5, 0});
         }},
        // Saved together: a refused part keeps the other parts out too.
        {"together, unknown article",
         [](Store& s) {
             s.saveOwnFields({"Nord", "FEHLT", Decimal{1, 0}, std::nullopt, "G", Decimal{10, 0}});
         }},
        {"together, discount above 100",
         [](Store& s) {
             s.saveOwnFields(
                 {"Nord", "BB-OL-5", Decimal{5, 0}, std::nullopt, "G", Decimal{101, 0}});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.edit(*store);
            ADD_FAILURE() << "accepted";
        } catch (const StoreError& error) {
            EXPECT_EQ(error.kind(), StoreError::Kind::Refused);
        }
    }
    EXPECT_EQ(store->catalogueChange(), change);
    EXPECT_FALSE(store->article("Nord", "BB-OL-5")->coverage.has_value());
    EXPECT_FALSE(store->catalogue()->catalogue.groupDiscount("Nord", "G").has_value());
}

TEST_P(CatalogueStoreTest, RemembersTheCsvColumnsPerSupplier) {
    auto store = open();
    EXPECT_FALSE(store->csvColumns("Nord").has_value());
    CsvColumns nord;
    nord.articleNumber = "ArtNr";
    nord.price = "VK netto";
    nord.coverage = ""; // not in this supplier's lists
    store->setCsvColumns("Nord", nord);
    CsvColumns sued;
    sued.text1 = "Text";
    store->setCsvColumns("Süd", sued);
    EXPECT_EQ(open()->csvColumns("Nord"), nord);
    EXPECT_EQ(store->csvColumns("Süd"), sued);
    nord.price = "Preis";
    store->setCsvColumns("Nord", nord);
    EXPECT_EQ(store->csvColumns("Nord"), nord);
    // A mapping is no change of the catalogue itself.
    EXPECT_EQ(store->catalogueChange(), 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, CatalogueStoreTest, test::kBothEngines, test::engineName);

} // namespace
} // namespace pyrelto
