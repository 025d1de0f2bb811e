#include "catalogue.h"
#include "datanorm_reader.h"
#include "fixtures.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

using test::bytesOf;
using test::datanormFixture;
using test::datanormHeader;

TEST(DatanormReader, ReadsEveryFieldOfTheHandWrittenFile) {
    const std::string file = datanormFixture();
    ASSERT_EQ(detectPriceListFormat(bytesOf(file)), PriceListFormat::Datanorm4);
    const PriceList list = readDatanorm(bytesOf(file));
    ASSERT_TRUE(list.problems.empty()) << list.problems.front().reason;
    EXPECT_EQ(list.supplier, "Dachbaustoffe Nord GmbH");
    EXPECT_EQ(list.currency, "EUR");
    EXPECT_EQ(list.date, (CalendarDate{2026, 3, 1}));
    EXPECT_EQ(list.encoding, TextEncoding::Cp850);
    ASSERT_EQ(list.articles.size(), 4u);

    const Article& roll = list.articles[0].article;
    EXPECT_EQ(list.articles[0].line, 2u);
    EXPECT_EQ(roll.articleNumber, "BB-OL-5");
    EXPECT_EQ(roll.shortText1, "Oberlagsbahn PYE PV200 S5");
    EXPECT_EQ(roll.shortText2, "Schiefer grün 7,5 m²");
    EXPECT_EQ(roll.priceKind, PriceKind::List);
    EXPECT_EQ(roll.priceUnit, 1);
    EXPECT_EQ(roll.unit, "Rolle");
    EXPECT_EQ(roll.listPrice, (Decimal{7493, 2}));
    EXPECT_EQ(roll.discountGroup, "OB1");
    EXPECT_EQ(roll.mainProductGroup, "DAB");
    EXPECT_EQ(roll.ean, "4012345678901");
    EXPECT_EQ(roll.priceDate, (CalendarDate{2026, 3, 1}));

    const Article& nails = list.articles[1].article;
    EXPECT_EQ(nails.shortText1, "Dachpappnägel verzinkt");
    EXPECT_EQ(nails.shortText2, "2,8 x 20 mm");
    EXPECT_EQ(nails.priceKind, PriceKind::Net);
    EXPECT_EQ(nails.priceUnit, 1000);
    EXPECT_EQ(nails.unit, "Stk");
    EXPECT_EQ(nails.listPrice, (Decimal{1850, 2}));
    EXPECT_EQ(nails.ean, "");

    const Article& primer = list.articles[2].article;
    EXPECT_EQ(primer.shortText1, "Voranstrich Glück");
    EXPECT_EQ(primer.shortText2, "lösemittelfrei");
    EXPECT_EQ(primer.priceUnit, 10);
    EXPECT_EQ(primer.unit, "Eimer");
    EXPECT_EQ(primer.listPrice, (Decimal{24990, 2}));

    const Article& selfAdhesive = list.articles[3].article;
    EXPECT_EQ(list.articles[3].line, 7u);
    EXPECT_EQ(selfAdhesive.articleNumber, "KS-ÄBS");
    EXPECT_EQ(selfAdhesive.shortText1, "Kaltselbstklebebahn Äußere");
    EXPECT_EQ(selfAdhesive.shortText2, "");
    EXPECT_EQ(selfAdhesive.priceUnit, 100);
    EXPECT_EQ(selfAdhesive.unit, "m²");
    EXPECT_EQ(selfAdhesive.listPrice, (Decimal{123456, 2}));

    ASSERT_EQ(list.priceChanges.size(), 2u);
    EXPECT_EQ(list.priceChanges[0].articleNumber, "KS-ÄBS");
    EXPECT_EQ(list.priceChanges[0].kind, PriceKind::Net);
    EXPECT_EQ(list.priceChanges[0].price, (Decimal{120000, 2}));
    EXPECT_EQ(list.priceChanges[1].articleNumber, "VA-GL-10");
    EXPECT_EQ(list.priceChanges[1].kind, PriceKind::List);
    EXPECT_EQ(list.priceChanges[1].price, (Decimal{25990, 2}));
    EXPECT_EQ(list.priceChanges[1].line, 8u);

    // The P record's prices win over the A record's once the list is planned.
    Catalogue catalogue;
    const ImportPlan plan = catalogue.planImport(list);
    ASSERT_TRUE(plan.applicable());
    ASSERT_EQ(plan.added.size(), 4u);
    catalogue.apply(plan);
    const Article* primerNow = catalogue.find("Dachbaustoffe Nord GmbH", "VA-GL-10");
    ASSERT_NE(primerNow, nullptr);
    EXPECT_EQ(primerNow->listPrice, (Decimal{25990, 2}));
    EXPECT_EQ(catalogue.find("Dachbaustoffe Nord GmbH", "KS-ÄBS")->priceKind, PriceKind::Net);
}

TEST(DatanormReader, OptionsNameTheSupplierAndLineFeedsAloneAreRead) {
    std::string file = datanormFixture();
    std::string unixFile;
    for (const char c : file) {
        if (c != '\r') {
            unixFile += c;
        }
    }
    const PriceList list = readDatanorm(bytesOf(unixFile), DatanormOptions{"Großhandel Süd"});
    EXPECT_TRUE(list.problems.empty());
    EXPECT_EQ(list.supplier, "Großhandel Süd");
    EXPECT_EQ(list.articles.size(), 4u);
}

struct MalformedCase {
    const char* name;
    std::string file;
    std::size_t line;
    const char* reasonPart;
};

class DatanormMalformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(DatanormMalformed, IsReportedWithItsLineAndNothingIsApplied) {
    const MalformedCase& c = GetParam();
    Catalogue catalogue;
    // One article already there, to see it stays as it was.
    catalogue.apply(catalogue.planImport(readDatanorm(bytesOf(datanormFixture()))));
    const std::vector<Article> before = catalogue.articles();
    const std::uint64_t revision = catalogue.revision();

    const ImportPlan plan = catalogue.planImport(readDatanorm(bytesOf(c.file)));
    ASSERT_FALSE(plan.applicable());
    const bool named = std::any_of(plan.problems.begin(), plan.problems.end(), [&](const auto& p) {
        return p.line == c.line && p.reason.find(c.reasonPart) != std::string::npos;
    });
    EXPECT_TRUE(named) << "first problem: line " << plan.problems.front().line << ": "
                       << plan.problems.front().reason;
    EXPECT_THROW(catalogue.apply(plan), ImportRefused);
    EXPECT_EQ(catalogue.revision(), revision);
    ASSERT_EQ(catalogue.articles().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_TRUE(sameListFields(catalogue.articles()[i], before[i]));
    }
}

std::string withLines(std::string_view lines) {
    return datanormHeader() + std::string(lines) + "\x1A";
}

const std::string kGood = "A;N;NEU-1;00;Neue Bahn;;1;0;Rolle;8000;OB1;DAB;\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, DatanormMalformed,
    testing::Values(
        MalformedCase{"ShortRecord", withLines(kGood + "A;N;X1;00;Text\r\n"), 3,
                      "5 statt 12 Felder"},
        MalformedCase{"LettersInPrice",
                      withLines("A;N;X1;00;Text;;1;0;Rolle;74,9a;OB1;DAB;\r\n" + kGood), 2,
                      "Preis „74,9a“"},
        MalformedCase{"UnknownRecordType", withLines(kGood + "Q;N;X1;irgendwas\r\n"), 3,
                      "Satzart „Q“ ist unbekannt"},
        MalformedCase{"PriceForUnknownArticle",
                      withLines(kGood + "P;A;GIBTSNICHT;1;1000;;;;;;;\r\n"), 3,
                      "Artikel „GIBTSNICHT“"},
        MalformedCase{"BadPriceUnit", withLines("A;N;X1;00;Text;;1;7;Rolle;100;OB1;DAB;\r\n"), 2,
                      "Preiseinheit „7“"},
        MalformedCase{"BadPriceFlag", withLines("A;N;X1;00;Text;;5;0;Rolle;100;OB1;DAB;\r\n"), 2,
                      "Preiskennzeichen „5“"},
        MalformedCase{"TruncatedFile", datanormHeader() + kGood + "A;N;X2;00;Abgeschn", 3,
                      "abgeschnitten"},
        MalformedCase{"TenMebibytesOnOneLine",
                      withLines(kGood + "A;N;" + std::string(10u << 20, 'x') + "\r\n" + kGood), 3,
                      "länger als 65536 Zeichen"},
        MalformedCase{"Version5", datanormHeader("05") + kGood + "\x1A", 1, "Version „05“"},
        MalformedCase{"OtherCurrency", datanormHeader("04", "CHF") + kGood + "\x1A", 1, "CHF"},
        MalformedCase{"HeaderDate", datanormHeader("04", "EUR", "321326") + kGood + "\x1A", 1,
                      "kein gültiges Datum"},
        MalformedCase{"NoHeader", kGood + "\x1A", 1, "Vorlaufsatz"},
        MalformedCase{"DuplicateArticle", withLines(kGood + kGood), 3, "steht schon in Zeile 2"},
        MalformedCase{"ArticleNumberChange",
                      withLines("A;X;X1;00;Text;;1;0;Rolle;100;OB1;DAB;\r\n"), 2,
                      "Artikelnummernänderung"},
        MalformedCase{"ExtraForMissingArticle",
                      withLines(kGood + "B;N;FEHLT;;;;;;;;4012345678901;\r\n"), 3,
                      "keinen Artikelsatz"}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace pyrelto
