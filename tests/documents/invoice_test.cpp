#include "invoice.h"
#include "sample_invoices.h"

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

TEST(InvoiceArithmetic, LineTotalsRoundHalfAwayFromZeroToTheCent) {
    struct Row {
        const char* name;
        std::int64_t quantityMilli;
        std::int64_t unitPrice;
        std::int64_t expected;
    };
    const Row rows[] = {
        {"whole", 3000, 3333, 9999},
        {"quarter cent down", 1005, 50, 50},  // 50,25 ct
        {"below half", 333, 1, 0},            // 0,333 ct
        {"exact half", 500, 1, 1},            // 0,5 ct → 1 ct
        {"negative half", -500, 1, -1},       // away from zero
        {"area price", 128457, 3890, 499698}, // 4996,9773 €
        {"gutter", 24500, 4235, 103758},      // 1037,575 €
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        InvoiceLine line;
        line.quantityMilli = row.quantityMilli;
        line.unitPrice = Money::fromCents(row.unitPrice);
        EXPECT_EQ(lineTotal(line).cents(), row.expected);
    }
}

TEST(InvoiceArithmetic, VatPerRateAndTotals) {
    Invoice invoice = sampleInvoice();
    invoice.lines.push_back(
        {"Fachbuch", 2000, "H87", Money::fromCents(4990), 700, Money::fromCents(0)});
    const InvoiceTotals totals = computeTotals(invoice);
    EXPECT_EQ(totals.lineTotal.cents(), 613436);
    ASSERT_EQ(totals.vat.size(), 2u);
    EXPECT_EQ(totals.vat[0].rateHundredths, 1900);
    EXPECT_EQ(totals.vat[0].basis.cents(), 603456);
    EXPECT_EQ(totals.vat[0].vat.cents(), 114657); // 1146,5664 €
    EXPECT_EQ(totals.vat[1].rateHundredths, 700);
    EXPECT_EQ(totals.vat[1].basis.cents(), 9980);
    EXPECT_EQ(totals.vat[1].vat.cents(), 699); // 6,986 €
    EXPECT_EQ(totals.vatTotal.cents(), 115356);
    EXPECT_EQ(totals.grandTotal.cents(), 728792);
    EXPECT_EQ(totals.duePayable.cents(), 728792);
}

TEST(InvoiceArithmetic, TaxCasesChargeNoVatOutsideTheNormalCase) {
    for (const auto& [taxCase, category] :
         {std::pair{TaxCase::ReverseCharge, VatCategory::ReverseCharge},
          std::pair{TaxCase::SmallBusiness, VatCategory::Exempt}}) {
        Invoice invoice = sampleInvoice();
        invoice.taxCase = taxCase;
        invoice.lines.push_back(
            {"Fachbuch", 1000, "H87", Money::fromCents(1000), 700, Money::fromCents(0)});
        const InvoiceTotals totals = computeTotals(invoice);
        ASSERT_EQ(totals.vat.size(), 1u) << "all rates collapse into one exempt category";
        EXPECT_EQ(totals.vat[0].category, category);
        EXPECT_EQ(totals.vat[0].vat.cents(), 0);
        EXPECT_FALSE(totals.vat[0].exemptionReason.empty());
        EXPECT_EQ(totals.grandTotal, totals.lineTotal);
    }
    Invoice zero = sampleInvoice();
    zero.lines[1].vatRateHundredths = 0;
    const InvoiceTotals totals = computeTotals(zero);
    ASSERT_EQ(totals.vat.size(), 2u);
    EXPECT_EQ(totals.vat[1].category, VatCategory::ZeroRated);
}

TEST(InvoiceArithmetic, PartialInvoicesAddUpExactlyAcrossRates) {
    Invoice whole = sampleInvoice();
    whole.lines.push_back(
        {"Fachbuch", 2000, "H87", Money::fromCents(4990), 700, Money::fromCents(0)});
    const Invoice byPercent = partialByPercent(whole, 3333); // 33,33 % of 6.134,36 € = 2.044,58 €
    ASSERT_EQ(byPercent.lines.size(), 2u);
    EXPECT_EQ(byPercent.kind, InvoiceKind::Partial);
    EXPECT_EQ(computeTotals(byPercent).lineTotal.cents(), 204458);
    EXPECT_EQ(byPercent.lines[0].vatRateHundredths, 1900);
    EXPECT_EQ(byPercent.lines[0].unitPrice.cents(), 201132); // 2044,58 × 6034,56 / 6134,36
    EXPECT_NE(byPercent.lines[0].description.find("A-2026-014"), std::string::npos);

    const Invoice byAmount = partialByAmount(whole, Money::fromCents(100001));
    EXPECT_EQ(computeTotals(byAmount).lineTotal.cents(), 100001);
}

TEST(InvoiceArithmetic, FinalInvoiceDeductsEveryPartialGross) {
    const Invoice whole = sampleInvoice();
    Invoice first = partialByPercent(whole, 3000);
    first.number = "R-2026-0101";
    Invoice second = partialByAmount(whole, Money::fromCents(150000));
    second.number = "R-2026-0102";
    const Invoice final = finalInvoice(whole, {first, second});
    ASSERT_EQ(final.partials.size(), 2u);
    EXPECT_EQ(final.partials[0].number, "R-2026-0101");
    EXPECT_EQ(final.partials[0].net.cents(), 181037);
    EXPECT_EQ(final.partials[0].vat.cents(), 34397);
    EXPECT_EQ(final.partials[0].gross.cents(), 215434);
    EXPECT_EQ(final.partials[1].gross.cents(), 178500);
    const InvoiceTotals totals = computeTotals(final);
    EXPECT_EQ(totals.grandTotal.cents(), 718113);
    EXPECT_EQ(totals.prepaid.cents(), 393934);
    EXPECT_EQ(totals.duePayable.cents(), 324179);
    EXPECT_EQ(totals.prepaid + totals.duePayable, totals.grandTotal);

    Invoice withSkonto = final;
    withSkonto.skonto = Skonto{10, 200};
    EXPECT_EQ(skontoAmount(withSkonto, totals).cents(), 6484) << "2 % of the amount due, 64,8358 €";
    EXPECT_EQ(skontoAmount(final, totals).cents(), 0);
}

TEST(InvoiceArithmetic, CreditNoteReferstoTheOriginalAndMirrorsItsAmounts) {
    const Invoice original = sampleInvoice();
    const Invoice note = creditNoteFor(original, "G-2026-0001", {2026, 12, 12});
    EXPECT_EQ(note.kind, InvoiceKind::CreditNote);
    EXPECT_EQ(note.number, "G-2026-0001");
    EXPECT_EQ(note.originalNumber, "R-2026-0001");
    EXPECT_EQ(note.originalDate, original.issueDate);
    EXPECT_EQ(original.number, "R-2026-0001");
    EXPECT_EQ(computeTotals(note).grandTotal, computeTotals(original).grandTotal);
}

TEST(InvoiceArithmetic, LabourShareForPrivateCustomers) {
    Invoice invoice = sampleInvoice();
    invoice.lines[0].labour = Money::fromCents(250000);
    invoice.lines[1].labour = Money::fromCents(42000);
    const InvoiceTotals totals = computeTotals(invoice);
    EXPECT_EQ(totals.labourNet.cents(), 292000);
    EXPECT_EQ(totals.labourVat.cents(), 55480);
    EXPECT_EQ(labourShareNote(totals),
              "Im Rechnungsbetrag enthaltene Arbeitskosten nach § 35a EStG: 3.474,80 € "
              "(netto 2.920,00 €, MwSt. 554,80 €).");
    EXPECT_EQ(labourShareNote(computeTotals(sampleInvoice())), "");
}

TEST(InvoiceArithmetic, AmountsBeyondACentCountAreRefusedNotWrapped) {
    Invoice invoice = sampleInvoice();
    invoice.lines[0].quantityMilli = INT64_MAX / 100;
    EXPECT_THROW(computeTotals(invoice), std::invalid_argument);
    const auto missing = missingItems(invoice);
    EXPECT_NE(std::find(missing.begin(), missing.end(), "Ein Betrag ist zu groß."), missing.end());
}

TEST(InvoiceValidation, ListsEachMissingItemInGerman) {
    EXPECT_EQ(missingItems(sampleInvoice()), std::vector<std::string>{});
    struct Row {
        const char* name;
        void (*change)(Invoice&);
        const char* message;
    };
    const Row rows[] = {
        {"buyer address", [](Invoice& i) { i.buyer.address.streetLines.clear(); },
         "Die Anschrift des Kunden (Straße, PLZ, Ort) ist unvollständig."},
        {"buyer postcode", [](Invoice& i) { i.buyer.address.postcode.clear(); },
         "Die Anschrift des Kunden (Straße, PLZ, Ort) ist unvollständig."},
        {"13b without VAT id", [](Invoice& i) { i.taxCase = TaxCase::ReverseCharge; },
         "Für § 13b UStG fehlt die USt-IdNr. des Kunden."},
        {"13b for a private customer",
         [](Invoice& i) {
             i.taxCase = TaxCase::ReverseCharge;
             i.buyer.vatId = "DE987654321";
             i.privateCustomer = true;
         },
         "§ 13b UStG gilt nur, wenn der Kunde ein Unternehmer ist, nicht für Privatkunden."},
        {"period", [](Invoice& i) { i.periodEnd = {}; }, "Der Leistungszeitraum (von, bis) fehlt."},
        {"period reversed",
         [](Invoice& i) {
             i.periodEnd = {2026, 10, 1};
         },
         "Der Leistungszeitraum endet vor seinem Beginn."},
        {"seller tax id",
         [](Invoice& i) {
             i.seller.taxNumber.clear();
             i.seller.vatId = " ";
         },
         "Die Steuernummer oder USt-IdNr. der eigenen Firma fehlt."},
        {"iban", [](Invoice& i) { i.bank.iban.clear(); }, "Die IBAN für die Zahlung fehlt."},
        {"iban check digits", [](Invoice& i) { i.bank.iban = "DE03 1203 0000 0000 2020 51"; },
         "Die IBAN ist ungültig (Prüfziffer oder Länge stimmt nicht)."},
        {"no positions", [](Invoice& i) { i.lines.clear(); }, "Die Rechnung hat keine Position."},
        {"credit note without original", [](Invoice& i) { i.kind = InvoiceKind::CreditNote; },
         "Die Nummer der Rechnung, die storniert wird, fehlt."},
        {"issue date",
         [](Invoice& i) {
             i.issueDate = {2026, 2, 30};
         },
         "Das Rechnungsdatum fehlt."},
        {"payment days beyond reason", [](Invoice& i) { i.paymentDays = 2'000'000'000; },
         "Das Zahlungsziel muss zwischen 0 und 3650 Tagen liegen."},
        {"skonto without percent",
         [](Invoice& i) {
             i.skonto = Skonto{10, 0};
         },
         "Die Skonto-Angabe ist unvollständig (Tage und Prozent)."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Invoice invoice = sampleInvoice();
        row.change(invoice);
        EXPECT_EQ(missingItems(invoice), std::vector<std::string>{row.message});
    }
}

TEST(InvoiceText, AmountsDatesAndAddressLines) {
    EXPECT_EQ(decimalAmount(Money::fromCents(0)), "0.00");
    EXPECT_EQ(decimalAmount(Money::fromCents(-5)), "-0.05");
    EXPECT_EQ(decimalAmount(Money::fromCents(123456)), "1234.56");
    EXPECT_EQ(decimalAmount(Money::fromCents(INT64_MIN)), "-92233720368547758.08");
    EXPECT_EQ(germanAmount(Money::fromCents(123456789)), "1.234.567,89");
    EXPECT_EQ(germanAmount(Money::fromCents(-100000)), "-1.000,00");
    EXPECT_EQ(germanAmount(Money::fromCents(99)), "0,99");

    EXPECT_EQ(parseIsoDate("2028-02-29"), (Date{2028, 2, 29}));
    for (const char* bad : {"2027-02-29", "2026-13-01", "2026-1-01", "+026-01-01", "2026-01-0x"}) {
        EXPECT_EQ(parseIsoDate(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(addDays({2026, 12, 20}, 14), (Date{2027, 1, 3}));
    EXPECT_EQ(addDays({2028, 2, 28}, 1), (Date{2028, 2, 29}));
    EXPECT_EQ(germanDateUtf8({2026, 3, 5}), "05.03.2026");

    const NamedAddress full =
        addressFromLines({"Familie Müller", "Lindenweg 3", "Hinterhaus", " 54321  Dorf ", ""});
    EXPECT_EQ(full.name, "Familie Müller");
    EXPECT_EQ(full.address.streetLines, (std::vector<std::string>{"Lindenweg 3", "Hinterhaus"}));
    EXPECT_EQ(full.address.postcode, "54321");
    EXPECT_EQ(full.address.town, "Dorf");
    const NamedAddress noPostcode = addressFromLines({"Firma", "Ort ohne PLZ"});
    EXPECT_EQ(noPostcode.address.postcode, "");
    EXPECT_EQ(noPostcode.address.town, "Ort ohne PLZ");
}

TEST(InvoiceText, SampleTableNamesAreUnique) {
    auto samples = sampleInvoices();
    ASSERT_GE(samples.size(), 20u);
    std::sort(samples.begin(), samples.end(), [](auto& a, auto& b) { return a.name < b.name; });
    EXPECT_EQ(std::adjacent_find(samples.begin(), samples.end(),
                                 [](auto& a, auto& b) { return a.name == b.name; }),
              samples.end());
}

} // namespace
} // namespace pyrelto
