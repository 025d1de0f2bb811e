// The document models without any painting: money, the IBAN check, the offer built from a sheet.

#include "field_catalogue.h"
#include "firm_data.h"
#include "money.h"
#include "offer.h"
#include "sheet.h"
#include "utf16.h"
#include "worked_example.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>
#include <vector>

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

// The layers and materials describe the roof's area; an item counted in pieces says how many the
// roof takes, rounded up to whole pieces ("24,00 m²" of dowels meant 96 pieces).
TEST(OfferModel, PieceItemsCountTheirPieces) {
    struct Case {
        const char* name;
        std::u16string_view perSquareMetre;
        std::u16string_view area;
        std::u16string_view quantity;
    };
    const Case cases[] = {
        {"four_on_24", u"4", u"24", u"96"},
        {"fraction_rounds_up", u"3", u"7,25", u"22"},
        {"whole", u"2", u"7,5", u"15"},
        {"just_above_whole", u"1", u"100,01", u"101"},
        {"grouped", u"6", u"99999,99", u"600.000"},
        {"tiny_roof", u"4", u"0,01", u"1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sheet sheet;
        sheet.runCountRules();
        sheet.enter(F::AnzStueckEd, u"2");
        sheet.enter(F::List1Ed, u"9,99");
        sheet.enter(F::Ek8Ed, u"0,12");
        sheet.enter(F::Anz8Ed, std::u16string(c.perSquareMetre));
        sheet.enter(F::Bez8Ed2, u"Abdeckprofil");
        sheet.enter(F::Ek8Ed2, u"1");
        sheet.enter(F::Anz8Ed2, u"2");
        sheet.enter(F::Summe10Ed, u"6");
        sheet.enter(F::Dach14Ed, std::u16string(c.area));
        const OfferDocument offer = buildOffer(sheet, FirmData{}, OfferChoices{});
        const std::u16string area = offer.positions.at(0).quantity;
        bool sawDowels = false;
        for (const OfferPosition& position : offer.positions) {
            SCOPED_TRACE(str(position.description));
            if (position.description == u"Tellerdübel") {
                sawDowels = true;
                EXPECT_EQ(position.quantity, c.quantity);
                EXPECT_EQ(position.unit, u"Stk");
            } else if (position.description == u"Abdeckprofil") {
                EXPECT_EQ(position.unit, u"Stk");
            } else {
                EXPECT_EQ(position.quantity, area);
                EXPECT_EQ(position.unit, u"m²");
            }
        }
        EXPECT_TRUE(sawDowels);
    }
}

// What a private customer may deduct (§ 35a EStG): the layers' own prices per m² times the area,
// to the cent, with the VAT on it; the materials and the sheet's markup on them are no labour.
// Under § 13b and § 19 UStG no VAT is shown and the sheet's net is what the offer costs. Every
// expected figure worked by hand.
TEST(OfferModel, TaxCasesAndLabourShare) {
    struct Case {
        const char* name;
        int layers;
        std::array<std::u16string_view, 3> prices;
        std::u16string_view area;
        std::u16string_view vat;
        TaxCase taxCase;
        bool privateCustomer;
        std::u16string_view labourLine; // empty: none printed
    };
    const Case cases[] = {
        {"two_layers_19",
         2,
         {u"6", u"4,5", u"3,95"},
         u"24",
         u"19",
         TaxCase::Normal,
         true,
         u"Im Angebotspreis enthaltene Arbeitskosten: 252,00 € netto (299,88 € brutto)."},
        {"three_layers_7_rounds_up",
         3,
         {u"6,35", u"4,15", u"3,95"},
         u"137,5",
         u"7",
         TaxCase::Normal,
         true,
         u"Im Angebotspreis enthaltene Arbeitskosten: 1.986,88 € netto (2.125,96 € brutto)."},
        {"hidden_layer_left_out",
         2,
         {u"6", u"4,5", u"3,95"},
         u"10",
         u"19",
         TaxCase::Normal,
         true,
         u"Im Angebotspreis enthaltene Arbeitskosten: 105,00 € netto (124,95 € brutto)."},
        {"eight_digits",
         1,
         {u"999,99", u"0", u"0"},
         u"99999,99",
         u"19",
         TaxCase::Normal,
         true,
         u"Im Angebotspreis enthaltene Arbeitskosten: 99.998.990,00 € netto (118.998.798,10 € "
         u"brutto)."},
        {"below_a_cent", 1, {u"0,07", u"0", u"0"}, u"0,07", u"19", TaxCase::Normal, true, u""},
        {"business_customer",
         2,
         {u"6", u"4,5", u"3,95"},
         u"24",
         u"19",
         TaxCase::Normal,
         false,
         u""},
        {"reverse_charge",
         2,
         {u"6", u"4,5", u"3,95"},
         u"24",
         u"19",
         TaxCase::ReverseCharge,
         true,
         u"Im Angebotspreis enthaltene Arbeitskosten: 252,00 €."},
        {"small_business",
         2,
         {u"6", u"4,5", u"3,95"},
         u"24",
         u"0",
         TaxCase::SmallBusiness,
         true,
         u"Im Angebotspreis enthaltene Arbeitskosten: 252,00 €."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sheet sheet;
        sheet.runCountRules();
        sheet.enter(F::List1Ed, u"9,99");
        sheet.enter(F::LagenEd, fromUtf8(std::to_string(c.layers)));
        sheet.enter(F::Summe10Ed, std::u16string(c.prices[0]));
        sheet.enter(F::Summe11Ed, std::u16string(c.prices[1]));
        sheet.enter(F::Summe12Ed, std::u16string(c.prices[2]));
        sheet.enter(F::MwStEd, std::u16string(c.vat));
        sheet.enter(F::Dach14Ed, std::u16string(c.area));
        OfferChoices choices;
        choices.taxCase = c.taxCase;
        choices.privateCustomer = c.privateCustomer;
        const OfferDocument offer = buildOffer(sheet, FirmData{}, choices);
        EXPECT_EQ(offer.labourShare, c.labourLine);
        EXPECT_EQ(offer.net,
                  groupedDecimal(sheet.shownText(F::Summe15Ed), sheet.numberFormat()) + u" €");
        if (c.taxCase == TaxCase::Normal) {
            EXPECT_EQ(offer.gross,
                      groupedDecimal(sheet.shownText(F::BruttoEd), sheet.numberFormat()) + u" €");
            EXPECT_FALSE(offer.vat.empty());
            EXPECT_TRUE(offer.taxNote.empty());
        } else {
            EXPECT_EQ(offer.gross, offer.net);
            EXPECT_TRUE(offer.vat.empty());
            EXPECT_TRUE(offer.vatLabel.empty());
            EXPECT_NE(offer.taxNote.find(c.taxCase == TaxCase::ReverseCharge ? u"§ 13b UStG"
                                                                             : u"§ 19 UStG"),
                      std::u16string::npos)
                << str(offer.taxNote);
        }
    }
}

// The terms as the offer prints them: the default sentence alone, Skonto and contract basis
// appended; the payment plan in amounts that add up to what the customer pays, to the cent.
TEST(OfferModel, TermsAndPaymentPlan) {
    Sheet sheet;
    sheet.runCountRules();
    test::enterWorkedExample(sheet); // gross 578,63, net 486,24
    struct Case {
        const char* name;
        std::u16string skontoPercent, skontoDays;
        ContractBasis basis;
        TaxCase taxCase;
        std::vector<int> instalments;
        std::u16string_view termsEnd; // what the terms end with
        std::u16string_view plan;
    };
    const std::u16string byDefault = FirmData::defaultPaymentTerms();
    const Case cases[] = {
        {"default", u"", u"", ContractBasis::None, TaxCase::Normal, {}, byDefault, u""},
        {"skonto_vob",
         u"2",
         u"10",
         ContractBasis::VobB,
         TaxCase::Normal,
         {},
         u"2 % Skonto bei Zahlung innerhalb von 10 Tagen. Vertragsgrundlage ist die VOB/B in der "
         u"bei Vertragsschluss gültigen Fassung.",
         u""},
        {"skonto_without_days_left_out",
         u"3",
         u"",
         ContractBasis::Bgb,
         TaxCase::Normal,
         {},
         u"(§§ 631 ff. BGB).",
         u""},
        // 30 % of 578,63 is 173,589 → 173,59; the rest is the final payment.
        {"two_instalments_and_rest",
         u"",
         u"",
         ContractBasis::None,
         TaxCase::Normal,
         {30, 40},
         byDefault,
         u"Zahlungsplan: 1. Abschlagszahlung 30 % (173,59 €), 2. Abschlagszahlung 40 % "
         u"(231,45 €), Schlusszahlung 30 % (173,59 €) mit der Schlussrechnung."},
        // Thirds of 578,63 cannot all be equal: the last takes what rounding left.
        {"thirds_add_up",
         u"",
         u"",
         ContractBasis::None,
         TaxCase::Normal,
         {33, 33, 34},
         byDefault,
         u"Zahlungsplan: 1. Abschlagszahlung 33 % (190,95 €), 2. Abschlagszahlung 33 % "
         u"(190,95 €), 3. Abschlagszahlung 34 % (196,73 €)."},
        // Without VAT the plan divides the net.
        {"reverse_charge_net",
         u"",
         u"",
         ContractBasis::None,
         TaxCase::ReverseCharge,
         {50},
         byDefault,
         u"Zahlungsplan: 1. Abschlagszahlung 50 % (243,12 €), Schlusszahlung 50 % (243,12 €) mit "
         u"der Schlussrechnung."},
        {"too_much_left_out",
         u"",
         u"",
         ContractBasis::None,
         TaxCase::Normal,
         {60, 50},
         byDefault,
         u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FirmData firm;
        firm.skontoPercent = c.skontoPercent;
        firm.skontoDays = c.skontoDays;
        firm.contractBasis = c.basis;
        OfferChoices choices;
        choices.validUntil = {2027, 1, 7};
        choices.taxCase = c.taxCase;
        choices.instalments = c.instalments;
        const OfferDocument offer = buildOffer(sheet, firm, choices);
        EXPECT_TRUE(
            offer.terms.starts_with(u"Dieses Angebot ist gültig bis zum 07.01.2027. " + byDefault))
            << str(offer.terms);
        EXPECT_TRUE(offer.terms.ends_with(c.termsEnd)) << str(offer.terms);
        EXPECT_EQ(str(offer.paymentPlan), str(c.plan));
    }
}

TEST(OfferModel, SkontoInstalmentsAndPeriodAreChecked) {
    struct Skonto {
        std::u16string_view percent, days;
        bool fine;
    };
    for (const Skonto& s :
         {Skonto{u"", u"", true}, Skonto{u"2", u"10", true}, Skonto{u"2,5", u"14", true},
          Skonto{u" 3 ", u"1", true}, Skonto{u"2", u"", false}, Skonto{u"", u"10", false},
          Skonto{u"0", u"10", false}, Skonto{u"100", u"10", false}, Skonto{u"2.5", u"10", false},
          Skonto{u"2,", u"10", false}, Skonto{u"2", u"0", false}, Skonto{u"2", u"366", false},
          Skonto{u"2", u"99999999999", false}, Skonto{u"2 %", u"10", false}}) {
        SCOPED_TRACE(str(s.percent) + "/" + str(s.days));
        EXPECT_EQ(skontoProblem(s.percent, s.days).empty(), s.fine)
            << str(skontoProblem(s.percent, s.days));
    }
    struct Instalments {
        std::u16string_view text;
        std::optional<std::vector<int>> parsed;
        bool fine;
    };
    for (const Instalments& i :
         {Instalments{u"", std::vector<int>{}, true},
          Instalments{u"30, 40", std::vector<int>{30, 40}, true},
          Instalments{u"30 % ; 40%", std::vector<int>{30, 40}, true},
          Instalments{u"100", std::vector<int>{100}, true},
          Instalments{u"60 50", std::vector<int>{60, 50}, false},
          Instalments{u"0", std::vector<int>{0}, false}, Instalments{u"30.5", std::nullopt, false},
          Instalments{u"dreißig", std::nullopt, false}, Instalments{u"1000", std::nullopt, false},
          Instalments{u"%", std::nullopt, false}}) {
        SCOPED_TRACE(str(i.text));
        const auto parsed = parseInstalments(i.text);
        EXPECT_EQ(parsed, i.parsed);
        if (parsed) {
            EXPECT_EQ(instalmentsProblem(*parsed).empty(), i.fine);
        }
    }
    EXPECT_EQ(executionPeriodText({}), u"");
    EXPECT_EQ(executionPeriodText({{2026, 11, 2}, {2026, 11, 20}, false}),
              u"02.11.2026 bis 20.11.2026");
    EXPECT_EQ(executionPeriodText({{2026, 11, 2}, {}, false}), u"ab 02.11.2026");
    EXPECT_EQ(executionPeriodText({{}, {2026, 11, 20}, false}), u"bis 20.11.2026");
    EXPECT_EQ(executionPeriodText({{2026, 11, 2}, {}, true}), u"nach Vereinbarung");

    Sheet sheet;
    sheet.runCountRules();
    test::enterWorkedExample(sheet);
    OfferChoices choices;
    choices.recipientName = u"Müller";
    choices.period = {{2026, 11, 20}, {2026, 11, 2}, false};
    choices.instalments = {70, 40};
    const auto gaps = offerGaps(sheet, choices);
    ASSERT_EQ(gaps.size(), 2U);
    EXPECT_EQ(gaps[0], u"Der Ausführungszeitraum endet vor seinem Beginn.");
    EXPECT_TRUE(gaps[1].starts_with(u"Die Abschlagszahlungen ergeben zusammen 110 %"));
}

// The slip names the offer as it is numbered when it goes out, and what is paid under its tax
// case.
TEST(OfferModel, AcceptanceSlipNamesTheOffer) {
    Sheet sheet;
    sheet.runCountRules();
    test::enterWorkedExample(sheet);
    FirmData firm;
    firm.name = u"Bedachungen Kramer GmbH";
    OfferChoices choices;
    choices.date = {2026, 12, 10};
    choices.site = u"  Lindenweg 5\n\n 37073 Göttingen ";
    OfferDocument offer = buildOffer(sheet, firm, choices);
    EXPECT_EQ(offer.site, u"Lindenweg 5, 37073 Göttingen");
    offer.choices.number = u"2026-015";
    EXPECT_EQ(acceptanceText(offer),
              u"Hiermit beauftrage ich / beauftragen wir die Firma Bedachungen Kramer GmbH mit den "
              u"Leistungen des Angebots Nr. 2026-015 vom 10.12.2026 zum Angebotspreis von "
              u"578,63 € einschließlich Umsatzsteuer zu den Bedingungen dieses Angebots.");
    choices.taxCase = TaxCase::ReverseCharge;
    EXPECT_TRUE(acceptanceText(buildOffer(sheet, FirmData{}, choices))
                    .find(u"beauftragen wir Sie mit den Leistungen des Angebots vom 10.12.2026 "
                          u"zum Angebotspreis von 486,24 € netto zu") != std::u16string::npos);
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
