// The document models without any painting: money, the IBAN check, the offer built from a sheet.

#include "field_catalogue.h"
#include "firm_data.h"
#include "money.h"
#include "offer.h"
#include "sheet.h"
#include "utf16.h"
#include "worked_example.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>

namespace pyrelto {
namespace {

using F = FieldId;

std::string str(std::u16string_view text) {
    return toUtf8(text);
}

constexpr NumberFormat kComma{u','};
constexpr NumberFormat kPoint{u'.'};

TEST(Money, ParsesTheSheetsTextsAndFormatsThemBack) {
    struct Case {
        const char* name;
        std::u16string shown;
        NumberFormat format;
        std::optional<std::int64_t> cents;
        std::u16string plain;   // the parsed amount formatted
        std::u16string grouped; // the parsed amount formatted with grouping
    };
    const Case cases[] = {
        {"small", u"486,24", kComma, 48624, u"486,24", u"486,24"},
        {"thousands", u"86765,88", kComma, 8676588, u"86765,88", u"86.765,88"},
        {"millions", u"1234567,05", kComma, 123456705, u"1234567,05", u"1.234.567,05"},
        {"point", u"86765.88", kPoint, 8676588, u"86765.88", u"86,765.88"},
        {"negative", u"-1000,10", kComma, -100010, u"-1000,10", u"-1.000,10"},
        {"negative_cents", u"-0,05", kComma, -5, u"-0,05", u"-0,05"},
        {"zero", u"0,00", kComma, 0, u"0,00", u"0,00"},
        {"negative_zero_unsigned", u"-0,00", kComma, 0, u"0,00", u"0,00"},
        {"spaces_around", u" 12,50 ", kComma, 1250, u"12,50", u"12,50"},
        {"one_decimal", u"7,5", kComma, 750, u"7,50", u"7,50"},
        {"separator_last", u"7,", kComma, 700, u"7,00", u"7,00"},
        {"whole", u"1000", kComma, 100000, u"1000,00", u"1.000,00"},
        {"fifteen_digits", u"999999999999999,99", kComma, 99999999999999999, u"999999999999999,99",
         u"999.999.999.999.999,99"},
        {"sixteen_digits", u"1000000000000000", kComma, std::nullopt, {}, {}},
        {"three_decimals", u"1,005", kComma, std::nullopt, {}, {}},
        {"other_separator", u"86765.88", kComma, std::nullopt, {}, {}},
        {"grouped_input", u"1.000,00", kComma, std::nullopt, {}, {}},
        {"scientific", u"1,5E20", kComma, std::nullopt, {}, {}},
        {"not_a_number", u"INF", kComma, std::nullopt, {}, {}},
        {"plus_sign", u"+5,00", kComma, std::nullopt, {}, {}},
        {"sign_only", u"-", kComma, std::nullopt, {}, {}},
        {"separator_first", u",5", kComma, std::nullopt, {}, {}},
        {"empty", u"", kComma, std::nullopt, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto money = Money::parse(c.shown, c.format);
        ASSERT_EQ(money.has_value(), c.cents.has_value());
        if (!money)
            continue;
        EXPECT_EQ(money->cents(), *c.cents);
        EXPECT_EQ(money->format(c.format), c.plain) << str(money->format(c.format));
        EXPECT_EQ(money->format(c.format, Grouping::Thousands), c.grouped);
    }
    // The extremes of the type still have a text.
    EXPECT_EQ(Money::fromCents(std::numeric_limits<std::int64_t>::min()).format(kComma),
              u"-92233720368547758,08");
}

TEST(Money, GroupsPlainDecimalTextsOnly) {
    struct Case {
        const char* name;
        std::u16string shown;
        NumberFormat format;
        std::u16string grouped;
    };
    const Case cases[] = {
        {"area", u"4281,75", kComma, u"4.281,75"},
        {"three_decimals", u"12345,125", kComma, u"12.345,125"},
        {"whole", u"1000000", kPoint, u"1,000,000"},
        {"negative", u"-1000", kComma, u"-1.000"},
        {"trimmed", u" 24,00 ", kComma, u"24,00"},
        {"three_digits", u"999", kComma, u"999"},
        {"scientific", u"1,5E20", kComma, u"1,5E20"},
        {"nan", u"NAN", kComma, u"NAN"},
        {"two_separators", u"1,000,5", kComma, u"1,000,5"},
        {"sign_only", u"-", kComma, u"-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(groupedDecimal(c.shown, c.format), c.grouped)
            << str(groupedDecimal(c.shown, c.format));
    }
}

TEST(Money, AddsSubtractsAndTakesPercentagesToTheCent) {
    const Money net = Money::fromCents(48624);
    const Money gross = Money::fromCents(57863);
    EXPECT_EQ(gross - net, Money::fromCents(9239));
    EXPECT_EQ(net + (gross - net), gross);
    EXPECT_LT(net, gross);
    EXPECT_EQ(-net, Money::fromCents(-48624));
    Money sum;
    sum += net;
    sum -= Money::fromCents(24);
    EXPECT_EQ(sum, Money::fromCents(48600));

    struct Case {
        const char* name;
        std::int64_t cents;
        std::int64_t hundredths;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"vat19", 48624, 1900, 9239},         // 92,3856 → 92,39
        {"vat7", 10000, 700, 700},            // exact
        {"half_rounds_up", 50, 1000, 5},      // 0,05 exactly
        {"just_below_half", 4, 1100, 0},      // 0,0044 → 0,00
        {"half_cent_up", 5, 1000, 1},         // 0,005 → 0,01
        {"half_cent_negative", -5, 1000, -1}, // away from zero
        {"negative_rate", 10000, -250, -250}, // a discount as a negative rate
        {"seven_and_a_half", 1999, 750, 150}, // 1,49925 → 1,50
        {"zero_rate", 123456, 0, 0},
        {"large", 99999999999999999, 1900, 19000000000000000}, // …99,81 rounds up
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Money::fromCents(c.cents).percent(c.hundredths).cents(), c.expected);
    }
}

TEST(Iban, CheckDigitsDecide) {
    struct Case {
        const char* name;
        std::u16string iban;
        bool valid;
    };
    const Case cases[] = {
        {"german", u"DE89370400440532013000", true},
        {"german_grouped_lower", u"de89 3704 0044 0532 0130 00", true},
        {"austrian", u"AT611904300234573201", true},
        {"british_letters", u"GB29NWBK60161331926819", true},
        {"empty_means_none", u"", true},
        {"one_digit_wrong", u"DE89370400440532013001", false},
        {"swapped_digits", u"DE89370400440532010300", false},
        {"too_short", u"DE8937040044", false},
        {"no_country", u"8937040044053201300012", false},
        {"punctuation", u"DE89-3704-0044-0532-0130-00", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string problem = ibanProblem(c.iban);
        EXPECT_EQ(problem.empty(), c.valid) << str(problem);
        if (!c.valid) {
            EXPECT_EQ(problem.rfind(u"Die IBAN „", 0), 0u) << str(problem);
        }
    }
    EXPECT_EQ(groupedIban(u"de89370400440532013000"), u"DE89 3704 0044 0532 0130 00");
}

TEST(OfferModel, WorkedExampleGivesTheSellingSideInFinalTexts) {
    Sheet sheet;
    sheet.runCountRules();
    test::enterWorkedExample(sheet);
    sheet.enter(F::KundeEd, u"Dachdeckerei Müller");
    ASSERT_EQ(sheet.shownText(F::BruttoEd), u"578,63");
    OfferChoices choices;
    choices.number = u"2026-014";
    const OfferDocument offer = buildOffer(sheet, FirmData{}, choices);
    EXPECT_EQ(offer.net, u"486,24 €");
    EXPECT_EQ(offer.vat, u"92,39 €");
    EXPECT_EQ(offer.gross, u"578,63 €");
    EXPECT_EQ(offer.vatLabel, u"zzgl. MwSt. 19 %");
    ASSERT_FALSE(offer.positions.empty());
    EXPECT_EQ(offer.positions[0].description, OfferChoices::defaultWorkTitle());
    EXPECT_EQ(offer.positions[0].quantity, u"24,00");
    EXPECT_EQ(offer.positions[0].unitPrice, u"20,26 €");
    EXPECT_EQ(offer.positions[0].total, u"486,24 €");
    for (std::size_t i = 1; i < offer.positions.size(); ++i) {
        SCOPED_TRACE(str(offer.positions[i].description));
        EXPECT_EQ(offer.positions[i].number, u"1." + fromUtf8(std::to_string(i)));
        EXPECT_TRUE(offer.positions[i].total.empty());
    }
    EXPECT_EQ(offer.positions.size(), describedRows(sheet).size() + 1);
}

TEST(OfferModel, FileNameAndDates) {
    OfferDocument offer;
    offer.choices.number = u"2026-014";
    offer.choices.recipientName = u"Müller";
    EXPECT_EQ(suggestedOfferFileName(offer), u"Angebot 2026-014 Müller.pdf");
    offer.choices.recipientName = u"Bau/Tech: \"Nord\"";
    EXPECT_EQ(suggestedOfferFileName(offer), u"Angebot 2026-014 Bau_Tech_ _Nord_.pdf");
    offer.choices.recipientName.clear();
    EXPECT_EQ(suggestedOfferFileName(offer), u"Angebot 2026-014.pdf");

    EXPECT_EQ(germanDate({2026, 12, 10}), u"10.12.2026");
    EXPECT_EQ(germanDate({2027, 1, 7}), u"07.01.2027");
}

} // namespace
} // namespace pyrelto
