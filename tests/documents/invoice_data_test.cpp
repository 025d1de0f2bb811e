// The invoice as the register keeps it: every sample invoice comes back from its data unchanged
// (a field lost would make a credit note differ from what it cancels), and damaged data is
// refused in German rather than read in part.

#include "invoice_data.h"
#include "sample_invoices.h"
#include "xrechnung.h"

#include <gtest/gtest.h>
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
    for (const std::string& data :
         {std::string(), std::string("[]"), std::string("{}"), newer, badDate, truncated}) {
        try {
            invoiceFromData(data);
            ADD_FAILURE() << data.substr(0, 80);
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with("Die gespeicherte Rechnung")) << e.what();
        }
    }
}

} // namespace
} // namespace pyrelto
