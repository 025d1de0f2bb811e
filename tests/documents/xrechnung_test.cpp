#include "sample_invoices.h"
#include "xml_writer.h"
#include "xrechnung.h"

#include <gtest/gtest.h>
#include <map>

#ifdef PYRELTO_HAVE_LIBXML2
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#endif

namespace pyrelto {
namespace {

TEST(XRechnung, TypeCodesAndRefusalOfInvalidInvoices) {
    EXPECT_STREQ(invoiceTypeCode(InvoiceKind::Invoice), "380");
    EXPECT_STREQ(invoiceTypeCode(InvoiceKind::Partial), "875");
    EXPECT_STREQ(invoiceTypeCode(InvoiceKind::Final), "877");
    EXPECT_STREQ(invoiceTypeCode(InvoiceKind::CreditNote), "381");

    Invoice invoice = sampleInvoice();
    invoice.taxCase = TaxCase::ReverseCharge;
    try {
        xrechnungXml(invoice);
        FAIL() << "a § 13b invoice without the buyer's VAT id was written";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "Für § 13b UStG fehlt die USt-IdNr. des Kunden.");
    }
    invoice = sampleInvoice();
    invoice.seller.phone.clear();
    EXPECT_EQ(missingForXRechnung(invoice),
              std::vector<std::string>{"Die Telefonnummer der eigenen Firma fehlt."});
    EXPECT_THROW(xrechnungXml(invoice), std::invalid_argument);
}

TEST(XRechnung, PaymentTermsCarryTheSkontoLineExactly) {
    Invoice invoice = sampleInvoice();
    invoice.paymentTerms = "#1 Bitte überweisen.\n";
    EXPECT_EQ(paymentTermsText(invoice),
              "＃1 Bitte überweisen.\nZahlbar bis 24.12.2026 ohne Abzug.");
    invoice.skonto = Skonto{10, 200};
    EXPECT_EQ(paymentTermsText(invoice), "＃1 Bitte überweisen.\nZahlbar bis 24.12.2026 ohne "
                                         "Abzug.\n#SKONTO#TAGE=10#PROZENT=2.00#\n");
    invoice.skonto = Skonto{7, 5};
    EXPECT_NE(paymentTermsText(invoice).find("\n#SKONTO#TAGE=7#PROZENT=0.05#\n"),
              std::string::npos);
}

#ifdef PYRELTO_HAVE_LIBXML2
// One written invoice parsed by libxml2, queried with XPath.
class ReadBack {
public:
    explicit ReadBack(const std::string& xml) {
        doc_ = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, "UTF-8",
                             XML_PARSE_NONET | XML_PARSE_HUGE);
        if (doc_ != nullptr) {
            context_ = xmlXPathNewContext(doc_);
            const std::pair<const char*, const char*> namespaces[] = {
                {"rsm", "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"},
                {"ram", "urn:un:unece:uncefact:data:standard:"
                        "ReusableAggregateBusinessInformationEntity:100"},
                {"udt", "urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100"},
                {"qdt", "urn:un:unece:uncefact:data:standard:QualifiedDataType:100"}};
            for (const auto& [prefix, uri] : namespaces) {
                xmlXPathRegisterNs(context_, reinterpret_cast<const xmlChar*>(prefix),
                                   reinterpret_cast<const xmlChar*>(uri));
            }
        }
    }
    ~ReadBack() {
        xmlXPathFreeContext(context_);
        xmlFreeDoc(doc_);
    }
    ReadBack(const ReadBack&) = delete;
    ReadBack& operator=(const ReadBack&) = delete;

    bool parsed() const { return doc_ != nullptr; }

    // string(expression)
    std::string text(const std::string& expression) const {
        xmlXPathObjectPtr result = xmlXPathEvalExpression(
            reinterpret_cast<const xmlChar*>(("string(" + expression + ")").c_str()), context_);
        std::string value;
        if (result != nullptr && result->stringval != nullptr) {
            value = reinterpret_cast<const char*>(result->stringval);
        }
        xmlXPathFreeObject(result);
        return value;
    }

    std::vector<std::string> texts(const std::string& expression) const {
        std::vector<std::string> values;
        xmlXPathObjectPtr result =
            xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression.c_str()), context_);
        if (result != nullptr && result->nodesetval != nullptr) {
            for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
                xmlChar* content = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
                values.emplace_back(reinterpret_cast<const char*>(content));
                xmlFree(content);
            }
        }
        xmlXPathFreeObject(result);
        return values;
    }

private:
    xmlDocPtr doc_ = nullptr;
    xmlXPathContextPtr context_ = nullptr;
};

const std::string settlement = "//ram:ApplicableHeaderTradeSettlement";
const std::string sums = settlement + "/ram:SpecifiedTradeSettlementHeaderMonetarySummation";

const SampleInvoice& sample(const std::string& name) {
    static const std::vector<SampleInvoice> table = sampleInvoices();
    for (const auto& row : table) {
        if (row.name == name) {
            return row;
        }
    }
    throw std::out_of_range(name);
}

// Hand-worked amounts, independent of the code that computes them.
TEST(XRechnungReadBack, AmountsToTheCent) {
    struct Row {
        const char* name;
        std::vector<std::string> lineTotals;
        std::map<std::string, std::pair<std::string, std::string>> vatByRate; // rate → basis, VAT
        std::string grand;
        std::string prepaid;
        std::string due;
    };
    const Row rows[] = {
        {"normal-19",
         {"4996.98", "1037.58"},
         {{"19", {"6034.56", "1146.57"}}},
         "7181.13",
         "",
         "7181.13"},
        {"mixed-19-7",
         {"4996.98", "1037.58", "99.80"},
         {{"19", {"6034.56", "1146.57"}}, {"7", {"99.80", "6.99"}}},
         "7287.92",
         "",
         "7287.92"},
        {"reverse-charge-13b",
         {"4996.98", "1037.58"},
         {{"0", {"6034.56", "0.00"}}},
         "6034.56",
         "",
         "6034.56"},
        {"rounding",
         {"99.99", "0.50", "0.00", "450.00"},
         {{"19", {"550.49", "104.59"}}, {"7", {"0.00", "0.00"}}},
         "655.08",
         "",
         "655.08"},
        {"partial-30-percent",
         {"1810.37"},
         {{"19", {"1810.37", "343.97"}}},
         "2154.34",
         "",
         "2154.34"},
        {"final-two-partials",
         {"4996.98", "1037.58"},
         {{"19", {"6034.56", "1146.57"}}},
         "7181.13",
         "3939.34",
         "3241.79"},
        // 1.234,57 € in the proportion 6.034,56 : 99,80 of the offer.
        {"partial-amount-two-rates",
         {"1214.48", "20.09"},
         {{"19", {"1214.48", "230.75"}}, {"7", {"20.09", "1.41"}}},
         "1466.73",
         "",
         "1466.73"},
        {"quantity-measured", {"531.83"}, {{"19", {"531.83", "101.05"}}}, "632.88", "", "632.88"},
        // Less the 238,00 € of a 200,00 € partial invoice of the roof as offered.
        {"final-measured-after-partial",
         {"531.83"},
         {{"19", {"531.83", "101.05"}}},
         "632.88",
         "238.00",
         "394.88"},
        {"credit-note",
         {"4996.98", "1037.58"},
         {{"19", {"6034.56", "1146.57"}}},
         "7181.13",
         "",
         "7181.13"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ReadBack xml(xrechnungXml(sample(row.name).invoice));
        ASSERT_TRUE(xml.parsed());
        EXPECT_EQ(
            xml.texts("//ram:SpecifiedTradeSettlementLineMonetarySummation/ram:LineTotalAmount"),
            row.lineTotals);
        EXPECT_EQ(xml.texts(settlement + "/ram:ApplicableTradeTax").size(), row.vatByRate.size());
        for (const auto& [rate, amounts] : row.vatByRate) {
            std::string tax = settlement;
            tax += "/ram:ApplicableTradeTax[ram:RateApplicablePercent='";
            tax += rate;
            tax += "']";
            EXPECT_EQ(xml.text(tax + "/ram:BasisAmount"), amounts.first) << rate;
            EXPECT_EQ(xml.text(tax + "/ram:CalculatedAmount"), amounts.second) << rate;
        }
        EXPECT_EQ(xml.text(sums + "/ram:GrandTotalAmount"), row.grand);
        EXPECT_EQ(xml.text(sums + "/ram:TotalPrepaidAmount"), row.prepaid);
        EXPECT_EQ(xml.text(sums + "/ram:DuePayableAmount"), row.due);
    }
}

TEST(XRechnungReadBack, KindsTaxCasesAndReferences) {
    const ReadBack credit(xrechnungXml(sample("credit-note").invoice));
    EXPECT_EQ(credit.text("//rsm:ExchangedDocument/ram:TypeCode"), "381");
    EXPECT_EQ(credit.text(settlement + "/ram:InvoiceReferencedDocument/ram:IssuerAssignedID"),
              "R-2026-0001");
    EXPECT_EQ(credit.text(settlement + "/ram:InvoiceReferencedDocument//qdt:DateTimeString"),
              "20261210");

    const ReadBack final(xrechnungXml(sample("final-two-partials").invoice));
    EXPECT_EQ(final.text("//rsm:ExchangedDocument/ram:TypeCode"), "877");
    const auto notes = final.texts("//rsm:ExchangedDocument/ram:IncludedNote/ram:Content");
    EXPECT_NE(std::find(notes.begin(), notes.end(),
                        "Abzüglich Abschlagsrechnung R-2026-0101 vom 05.11.2026: netto 1.810,37 €, "
                        "MwSt. 343,97 €, brutto 2.154,34 €"),
              notes.end());

    const ReadBack reverse(xrechnungXml(sample("reverse-charge-13b").invoice));
    EXPECT_EQ(reverse.text(settlement + "/ram:ApplicableTradeTax/ram:CategoryCode"), "AE");
    EXPECT_EQ(reverse.text(settlement + "/ram:ApplicableTradeTax/ram:ExemptionReason"),
              reverseChargeNote());
    EXPECT_EQ(reverse.text("//ram:BuyerTradeParty/ram:SpecifiedTaxRegistration/ram:ID"),
              "DE987654321");

    const ReadBack small(xrechnungXml(sample("small-business-19").invoice));
    EXPECT_EQ(small.text(settlement + "/ram:ApplicableTradeTax/ram:CategoryCode"), "E");
    EXPECT_EQ(small.text("//ram:SellerTradeParty/ram:ID"), "12/345/67890");

    const ReadBack leitweg(xrechnungXml(sample("public-leitweg-id").invoice));
    EXPECT_EQ(leitweg.text("//ram:BuyerReference"), "04011000-12345-03");
    const ReadBack normal(xrechnungXml(sample("normal-19").invoice));
    EXPECT_EQ(normal.text("//ram:BuyerReference"), "A-2026-014");
    EXPECT_EQ(normal.text("//ram:BilledQuantity"), "128.457");
    EXPECT_EQ(normal.text("//ram:BilledQuantity/@unitCode"), "MTK");
    EXPECT_EQ(normal.text("//ram:IBANID"), "DE02120300000000202051");
    EXPECT_EQ(normal.text("//ram:GuidelineSpecifiedDocumentContextParameter/ram:ID"),
              xrechnungGuideline);
    EXPECT_EQ(normal.text(settlement +
                          "/ram:SpecifiedTradePaymentTerms/ram:DueDateDateTime/udt:DateTimeString"),
              "20261224");

    const ReadBack privateCustomer(xrechnungXml(sample("private-labour-35a").invoice));
    const auto privateNotes =
        privateCustomer.texts("//rsm:ExchangedDocument/ram:IncludedNote/ram:Content");
    EXPECT_NE(std::find(privateNotes.begin(), privateNotes.end(), retentionNote()),
              privateNotes.end());
}

TEST(XRechnungReadBack, HostileTextsArriveAsWrittenOrVisiblyReplaced) {
    for (const char* name : {"hostile-markup", "rtl-emoji", "control-characters", "long-100000"}) {
        SCOPED_TRACE(name);
        const Invoice& invoice = sample(name).invoice;
        const ReadBack xml(xrechnungXml(invoice));
        ASSERT_TRUE(xml.parsed());
        EXPECT_EQ(
            xml.text(
                "//ram:IncludedSupplyChainTradeLineItem[1]/ram:SpecifiedTradeProduct/ram:Name"),
            xmlSafeText(invoice.lines[0].description));
        EXPECT_EQ(xml.text("//ram:BuyerTradeParty/ram:Name"), xmlSafeText(invoice.buyer.name));
    }
    const ReadBack hostile(xrechnungXml(sample("hostile-markup").invoice));
    EXPECT_EQ(hostile.text("//ram:BuyerTradeParty/ram:Name"),
              "Müller & Söhne <GmbH> \"Dach\" 'Bau'");
    const ReadBack control(xrechnungXml(sample("control-characters").invoice));
    EXPECT_EQ(control.text("//ram:BuyerTradeParty/ram:Name"), "Kunde\xEF\xBF\xBDGmbH");
}

TEST(XRechnungReadBack, EverySampleIsWellFormedAndItsSumsAgree) {
    for (const auto& row : sampleInvoices()) {
        SCOPED_TRACE(row.name);
        const ReadBack xml(xrechnungXml(row.invoice));
        ASSERT_TRUE(xml.parsed());
        const InvoiceTotals totals = computeTotals(row.invoice);
        EXPECT_EQ(xml.text(sums + "/ram:LineTotalAmount"), decimalAmount(totals.lineTotal));
        EXPECT_EQ(xml.text(sums + "/ram:TaxTotalAmount"), decimalAmount(totals.vatTotal));
        EXPECT_EQ(xml.text(sums + "/ram:DuePayableAmount"), decimalAmount(totals.duePayable));
        EXPECT_EQ(xml.texts("//ram:IncludedSupplyChainTradeLineItem").size(),
                  row.invoice.lines.size());
    }
}
#endif

} // namespace
} // namespace pyrelto
