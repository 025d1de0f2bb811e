// The invoice as the register keeps it: every sample invoice comes back from its data unchanged
// (a field lost would make a credit note differ from what it cancels), and damaged data is
// refused in German rather than read in part. And the numbers the user types for an invoice (the
// measured area, a partial amount) as the window and the command line read them.

#include "invoice_data.h"
#include "invoice_service.h"
#include "sample_invoices.h"
#include "xrechnung.h"

#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>

namespace pyrelto {
namespace {

TEST(InvoiceData, EverySampleComesBackUnchanged) {
    for (const SampleInvoice& sample : sampleInvoices()) {
        const std::string data = invoiceDataJson(sample.invoice);
        const Invoice back = invoiceFromData(data);
        EXPECT_EQ(invoiceDataJson(back), data) << sample.name;
        EXPECT_EQ(xrechnungXml(back), xrechnungXml(sample.invoice)) << sample.name;
    }
}

TEST(InvoiceData, DamagedDataIsRefused) {
    std::string newer = invoiceDataJson(sampleInvoice());
    newer.replace(newer.find("\"version\": 1"), 12, "\"version\": 99");
    std::string badDate = invoiceDataJson(sampleInvoice());
    badDate.replace(badDate.find("\"periodStart\": \"") + 16, 10, "2026-02-30");
    const std::string truncated = invoiceDataJson(sampleInvoice()).substr(0, 200);
    // Numbers no integer field holds: a fraction beyond any integer (converting it was undefined
    // behaviour), and days beyond int.
    std::string hugeVersion = invoiceDataJson(sampleInvoice());
    hugeVersion.replace(hugeVersion.find("\"version\": 1"), 12, "\"version\": 7.7e18");
    std::string hugeDays = invoiceDataJson(sampleInvoice());
    const std::size_t days = hugeDays.find("\"paymentDays\": ") + 15;
    hugeDays.replace(days, hugeDays.find(',', days) - days, "4294967296");
    for (const std::string& data : {std::string(), std::string("[]"), std::string("{}"), newer,
                                    badDate, truncated, hugeVersion, hugeDays}) {
        try {
            invoiceFromData(data);
            ADD_FAILURE() << data.substr(0, 80);
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with("Die gespeicherte Rechnung")) << e.what();
        }
    }
}

// German with or without grouping, plain with a point; anything that could be read two ways or
// holds more than cents is refused rather than guessed.
TEST(InvoiceInput, DecimalsAsTyped) {
    const struct {
        const char* text;
        std::optional<std::int64_t> hundredths;
    } rows[] = {
        {"131,5", 13150},
        {"131.5", 13150},
        {" 12.500,00 ", 1250000},
        {"1.234.567,89", 123456789},
        {"-3,5", -350},
        {"0", 0},
        {"12500", 1250000},
        {"1.234", {}},
        {"12,345", {}},
        {"1.23,4", {}},
        {"1234.567,0", {}},
        {".500,00", {}},
        {",5", {}},
        {"5,", {}},
        {"", {}},
        {"-", {}},
        {"12 500", {}},
        {"1e3", {}},
        {"99999999999999", {}},
        {"1,2,3", {}},
        {"1.5.0", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(parseDecimalHundredths(row.text), row.hundredths) << "„" << row.text << "“";
}

} // namespace
} // namespace pyrelto
