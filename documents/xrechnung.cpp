#include "xrechnung.h"

#include "xml_writer.h"

#include <stdexcept>

namespace pyrelto {

namespace {

std::string ciiDate(const Date& date) {
    // Appended piece by piece: GCC 12's -Wrestrict misreads insert() and literal + temporary in
    // Release builds.
    const std::string year = std::to_string(date.year);
    std::string text(4 - std::min<std::size_t>(4, year.size()), '0');
    text += year;
    for (const int value : {date.month, date.day}) {
        if (value < 10)
            text += '0';
        text += std::to_string(value);
    }
    return text;
}

// Thousandths without trailing zeros: 12500 → "12.5".
std::string quantityText(std::int64_t milli) {
    const bool negative = milli < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(milli) : static_cast<std::uint64_t>(milli);
    std::string text = std::to_string(magnitude / 1000);
    std::string fraction = std::to_string(magnitude % 1000 + 1000).substr(1);
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    if (!fraction.empty()) {
        text += "." + fraction;
    }
    return (negative ? "-" : "") + text;
}

std::string rateText(int hundredths) {
    return quantityText(static_cast<std::int64_t>(hundredths) * 10);
}

std::string categoryText(VatCategory category) {
    return category == VatCategory::ReverseCharge ? "AE"
                                                  : std::string(1, vatCategoryCode(category));
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

void writeDate(XmlWriter& xml, std::string_view element, const Date& date) {
    xml.open(element);
    xml.element("udt:DateTimeString", ciiDate(date), {{"format", "102"}});
    xml.close();
}

void writeAddress(XmlWriter& xml, const PostalAddress& address) {
    xml.open("ram:PostalTradeAddress");
    xml.element("ram:PostcodeCode", address.postcode);
    static constexpr const char* lineNames[] = {"ram:LineOne", "ram:LineTwo", "ram:LineThree"};
    for (std::size_t i = 0; i < address.streetLines.size() && i < 3; ++i) {
        xml.element(lineNames[i], address.streetLines[i]);
    }
    xml.element("ram:CityName", address.town);
    xml.element("ram:CountryID", address.countryCode.empty() ? "DE" : address.countryCode);
    xml.close();
}

void writeParty(XmlWriter& xml, std::string_view element, const Party& party, bool seller) {
    xml.open(element);
    // Receivers identify the seller by BT-29, BT-30 or BT-31 (BR-CO-26); a seller without VAT ID,
    // such as a small business, is known by its tax number.
    if (seller && party.vatId.empty()) {
        xml.element("ram:ID", party.taxNumber);
    }
    xml.element("ram:Name", party.name);
    if (seller) {
        xml.open("ram:DefinedTradeContact");
        xml.element("ram:PersonName", party.contactName);
        xml.open("ram:TelephoneUniversalCommunication");
        xml.element("ram:CompleteNumber", party.phone);
        xml.close();
        xml.open("ram:EmailURIUniversalCommunication");
        xml.element("ram:URIID", party.email);
        xml.close();
        xml.close();
    }
    writeAddress(xml, party.address);
    if (!party.email.empty()) {
        xml.open("ram:URIUniversalCommunication");
        xml.element("ram:URIID", party.email, {{"schemeID", "EM"}});
        xml.close();
    }
    if (!party.vatId.empty()) {
        xml.open("ram:SpecifiedTaxRegistration");
        xml.element("ram:ID", party.vatId, {{"schemeID", "VA"}});
        xml.close();
    }
    if (seller && !party.taxNumber.empty()) {
        xml.open("ram:SpecifiedTaxRegistration");
        xml.element("ram:ID", party.taxNumber, {{"schemeID", "FC"}});
        xml.close();
    }
    xml.close();
}

std::string buyerReference(const Invoice& invoice) {
    return invoice.buyerReference.empty() ? invoice.offerNumber : invoice.buyerReference;
}

std::vector<std::string> documentNotes(const Invoice& invoice, const InvoiceTotals& totals) {
    std::vector<std::string> notes;
    if (!invoice.offerNumber.empty()) {
        notes.push_back("Bezug: Angebot " + invoice.offerNumber);
    }
    if (invoice.kind == InvoiceKind::CreditNote) {
        notes.push_back("Storno der Rechnung " + invoice.originalNumber +
                        (invoice.originalDate.isValid()
                             ? " vom " + germanDateUtf8(invoice.originalDate)
                             : std::string()));
    }
    for (const auto& partial : invoice.partials) {
        notes.push_back("Abzüglich Abschlagsrechnung " + partial.number + " vom " +
                        germanDateUtf8(partial.date) + ": netto " + germanAmount(partial.net) +
                        " €, MwSt. " + germanAmount(partial.vat) + " €, brutto " +
                        germanAmount(partial.gross) + " €");
    }
    if (invoice.taxCase == TaxCase::ReverseCharge) {
        notes.push_back(reverseChargeNote());
    } else if (invoice.taxCase == TaxCase::SmallBusiness) {
        notes.push_back(smallBusinessNote());
    }
    if (invoice.privateCustomer) {
        if (const std::string labour = labourShareNote(totals); !labour.empty()) {
            notes.push_back(labour);
        }
        notes.push_back(retentionNote());
    }
    for (const auto& note : invoice.notes) {
        notes.push_back(note);
    }
    return notes;
}

} // namespace

const char* invoiceTypeCode(InvoiceKind kind) {
    switch (kind) {
    case InvoiceKind::Invoice:
        return "380";
    case InvoiceKind::Partial:
        return "875";
    case InvoiceKind::Final:
        return "877";
    case InvoiceKind::CreditNote:
        return "381";
    }
    return "380";
}

std::vector<std::string> missingForXRechnung(const Invoice& invoice) {
    std::vector<std::string> missing;
    if (invoice.number.empty()) {
        missing.emplace_back("Die Rechnungsnummer fehlt.");
    }
    if (buyerReference(invoice).empty()) {
        missing.emplace_back("Die Käuferreferenz fehlt (Leitweg-ID des öffentlichen Auftraggebers "
                             "oder Angebotsnummer).");
    }
    if (invoice.seller.contactName.empty()) {
        missing.emplace_back("Der Ansprechpartner der eigenen Firma fehlt.");
    }
    if (invoice.seller.phone.empty()) {
        missing.emplace_back("Die Telefonnummer der eigenen Firma fehlt.");
    }
    if (invoice.seller.email.empty()) {
        missing.emplace_back("Die E-Mail-Adresse der eigenen Firma fehlt.");
    }
    if (invoice.buyer.email.empty()) {
        missing.emplace_back("Die E-Mail-Adresse des Kunden (Empfang der E-Rechnung) fehlt.");
    }
    return missing;
}

std::string paymentTermsText(const Invoice& invoice) {
    std::string text = replaceAll(invoice.paymentTerms, "#", "＃");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    if (!text.empty()) {
        text += "\n";
    }
    if (invoice.kind == InvoiceKind::CreditNote) {
        return text + "Der Betrag wird Ihnen erstattet.";
    }
    text += "Zahlbar bis " + germanDateUtf8(invoice.dueDate()) + " ohne Abzug.";
    if (invoice.skonto) {
        const int percent = invoice.skonto->percentHundredths;
        const std::string fraction = std::to_string(percent % 100 + 100).substr(1);
        text += "\n#SKONTO#TAGE=" + std::to_string(invoice.skonto->days) +
                "#PROZENT=" + std::to_string(percent / 100) + "." + fraction + "#\n";
    }
    return text;
}

std::string xrechnungXml(const Invoice& invoice) {
    std::vector<std::string> missing = missingItems(invoice);
    for (auto& item : missingForXRechnung(invoice)) {
        missing.push_back(std::move(item));
    }
    if (!missing.empty()) {
        throw std::invalid_argument(missing.front());
    }
    const InvoiceTotals totals = computeTotals(invoice);

    XmlWriter xml;
    xml.open(
        "rsm:CrossIndustryInvoice",
        {{"xmlns:rsm", "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"},
         {"xmlns:ram",
          "urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"},
         {"xmlns:qdt", "urn:un:unece:uncefact:data:standard:QualifiedDataType:100"},
         {"xmlns:udt", "urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100"}});
    xml.open("rsm:ExchangedDocumentContext");
    xml.open("ram:BusinessProcessSpecifiedDocumentContextParameter");
    xml.element("ram:ID", "urn:fdc:peppol.eu:2017:poacc:billing:01:1.0");
    xml.close();
    xml.open("ram:GuidelineSpecifiedDocumentContextParameter");
    xml.element("ram:ID", xrechnungGuideline);
    xml.close();
    xml.close();

    xml.open("rsm:ExchangedDocument");
    xml.element("ram:ID", invoice.number);
    xml.element("ram:TypeCode", invoiceTypeCode(invoice.kind));
    writeDate(xml, "ram:IssueDateTime", invoice.issueDate);
    for (const auto& note : documentNotes(invoice, totals)) {
        xml.open("ram:IncludedNote");
        xml.element("ram:Content", note);
        xml.close();
    }
    xml.close();

    xml.open("rsm:SupplyChainTradeTransaction");
    for (std::size_t i = 0; i < invoice.lines.size(); ++i) {
        const InvoiceLine& line = invoice.lines[i];
        const int rate = invoice.taxCase == TaxCase::Normal ? line.vatRateHundredths : 0;
        const VatCategory category =
            invoice.taxCase == TaxCase::ReverseCharge   ? VatCategory::ReverseCharge
            : invoice.taxCase == TaxCase::SmallBusiness ? VatCategory::Exempt
            : rate == 0                                 ? VatCategory::ZeroRated
                                                        : VatCategory::Standard;
        xml.open("ram:IncludedSupplyChainTradeLineItem");
        xml.open("ram:AssociatedDocumentLineDocument");
        xml.element("ram:LineID", std::to_string(i + 1));
        xml.close();
        xml.open("ram:SpecifiedTradeProduct");
        xml.element("ram:Name", line.description);
        xml.close();
        xml.open("ram:SpecifiedLineTradeAgreement");
        xml.open("ram:NetPriceProductTradePrice");
        xml.element("ram:ChargeAmount", decimalAmount(line.unitPrice));
        xml.close();
        xml.close();
        xml.open("ram:SpecifiedLineTradeDelivery");
        xml.element("ram:BilledQuantity", quantityText(line.quantityMilli),
                    {{"unitCode", line.unitCode}});
        xml.close();
        xml.open("ram:SpecifiedLineTradeSettlement");
        xml.open("ram:ApplicableTradeTax");
        xml.element("ram:TypeCode", "VAT");
        xml.element("ram:CategoryCode", categoryText(category));
        xml.element("ram:RateApplicablePercent", rateText(rate));
        xml.close();
        xml.open("ram:SpecifiedTradeSettlementLineMonetarySummation");
        xml.element("ram:LineTotalAmount", decimalAmount(lineTotal(line)));
        xml.close();
        xml.close();
        xml.close();
    }

    xml.open("ram:ApplicableHeaderTradeAgreement");
    xml.element("ram:BuyerReference", buyerReference(invoice));
    writeParty(xml, "ram:SellerTradeParty", invoice.seller, true);
    writeParty(xml, "ram:BuyerTradeParty", invoice.buyer, false);
    xml.close();

    xml.open("ram:ApplicableHeaderTradeDelivery");
    xml.close();

    xml.open("ram:ApplicableHeaderTradeSettlement");
    xml.element("ram:InvoiceCurrencyCode", invoice.currency);
    xml.open("ram:SpecifiedTradeSettlementPaymentMeans");
    xml.element("ram:TypeCode", "58");
    xml.open("ram:PayeePartyCreditorFinancialAccount");
    std::string iban;
    for (const char c : invoice.bank.iban) {
        if (c != ' ') {
            iban += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    xml.element("ram:IBANID", iban);
    if (!invoice.bank.holder.empty()) {
        xml.element("ram:AccountName", invoice.bank.holder);
    }
    xml.close();
    if (!invoice.bank.bic.empty()) {
        xml.open("ram:PayeeSpecifiedCreditorFinancialInstitution");
        xml.element("ram:BICID", invoice.bank.bic);
        xml.close();
    }
    xml.close();
    for (const auto& vat : totals.vat) {
        xml.open("ram:ApplicableTradeTax");
        xml.element("ram:CalculatedAmount", decimalAmount(vat.vat));
        xml.element("ram:TypeCode", "VAT");
        if (!vat.exemptionReason.empty()) {
            xml.element("ram:ExemptionReason", vat.exemptionReason);
        }
        xml.element("ram:BasisAmount", decimalAmount(vat.basis));
        xml.element("ram:CategoryCode", categoryText(vat.category));
        if (vat.category == VatCategory::ReverseCharge) {
            xml.element("ram:ExemptionReasonCode", "VATEX-EU-AE");
        }
        xml.element("ram:RateApplicablePercent", rateText(vat.rateHundredths));
        xml.close();
    }
    xml.open("ram:BillingSpecifiedPeriod");
    writeDate(xml, "ram:StartDateTime", invoice.periodStart);
    writeDate(xml, "ram:EndDateTime", invoice.periodEnd);
    xml.close();
    xml.open("ram:SpecifiedTradePaymentTerms");
    xml.element("ram:Description", paymentTermsText(invoice));
    if (invoice.kind != InvoiceKind::CreditNote) {
        writeDate(xml, "ram:DueDateDateTime", invoice.dueDate());
    }
    xml.close();
    xml.open("ram:SpecifiedTradeSettlementHeaderMonetarySummation");
    xml.element("ram:LineTotalAmount", decimalAmount(totals.lineTotal));
    xml.element("ram:TaxBasisTotalAmount", decimalAmount(totals.lineTotal));
    xml.element("ram:TaxTotalAmount", decimalAmount(totals.vatTotal),
                {{"currencyID", invoice.currency}});
    xml.element("ram:GrandTotalAmount", decimalAmount(totals.grandTotal));
    if (totals.prepaid != Money()) {
        xml.element("ram:TotalPrepaidAmount", decimalAmount(totals.prepaid));
    }
    xml.element("ram:DuePayableAmount", decimalAmount(totals.duePayable));
    xml.close();
    const auto reference = [&](const std::string& number, const Date& date) {
        xml.open("ram:InvoiceReferencedDocument");
        xml.element("ram:IssuerAssignedID", number);
        if (date.isValid()) {
            xml.open("ram:FormattedIssueDateTime");
            xml.element("qdt:DateTimeString", ciiDate(date), {{"format", "102"}});
            xml.close();
        }
        xml.close();
    };
    if (invoice.kind == InvoiceKind::CreditNote) {
        reference(invoice.originalNumber, invoice.originalDate);
    }
    // The syntax holds one preceding invoice only; the partial invoices a final invoice deducts
    // are named in its notes.
    xml.close();
    xml.close();
    xml.close();
    return xml.finish();
}

} // namespace pyrelto
