#include "invoice_data.h"

#include "record_json.h"
#include "xml_writer.h"

#include <stdexcept>

namespace pyrelto {

namespace {

using record_json::dateOf;
using record_json::integerOf;
using record_json::iso;
using record_json::Json;
using record_json::taxCaseOf;
using record_json::taxCaseText;

// Raised for the version this program writes; a record of a newer program is refused rather than
// read in part.
constexpr int kDataVersion = 1;

Json partyJson(const Party& party) {
    return Json{{"name", party.name},
                {"street", party.address.streetLines},
                {"postcode", party.address.postcode},
                {"town", party.address.town},
                {"country", party.address.countryCode},
                {"vatId", party.vatId},
                {"taxNumber", party.taxNumber},
                {"contact", party.contactName},
                {"phone", party.phone},
                {"email", party.email}};
}

Party partyOf(const Json& json) {
    Party party;
    party.name = json.at("name").get<std::string>();
    party.address.streetLines = json.at("street").get<std::vector<std::string>>();
    party.address.postcode = json.at("postcode").get<std::string>();
    party.address.town = json.at("town").get<std::string>();
    party.address.countryCode = json.at("country").get<std::string>();
    party.vatId = json.at("vatId").get<std::string>();
    party.taxNumber = json.at("taxNumber").get<std::string>();
    party.contactName = json.at("contact").get<std::string>();
    party.phone = json.at("phone").get<std::string>();
    party.email = json.at("email").get<std::string>();
    return party;
}

InvoiceKind kindOf(const std::string& text) {
    if (const auto kind = invoiceKindFromText(text))
        return *kind;
    throw std::runtime_error("unbekannte Rechnungsart „" + text + "“");
}

// Every text as the e-invoice carries it (xmlSafeText: bytes that are no UTF-8, a text pasted from
// an old file, become U+FFFD), so that the record says what the documents say and a credit note
// made from it repeats the original's texts exactly.
void keepAsTheXmlDoes(Json& json) {
    if (json.is_string())
        json = xmlSafeText(json.get_ref<const std::string&>());
    else if (json.is_structured())
        for (Json& item : json)
            keepAsTheXmlDoes(item);
}

} // namespace

std::string invoiceDataJson(const Invoice& invoice) {
    Json lines = Json::array();
    for (const InvoiceLine& line : invoice.lines)
        lines.push_back(Json{{"description", line.description},
                             {"quantityMilli", line.quantityMilli},
                             {"unit", line.unitCode},
                             {"unitPriceCents", line.unitPrice.cents()},
                             {"vatRateHundredths", line.vatRateHundredths},
                             {"labourCents", line.labour.cents()}});
    Json partials = Json::array();
    for (const PriorInvoice& prior : invoice.partials)
        partials.push_back(Json{{"number", prior.number},
                                {"date", iso(prior.date)},
                                {"netCents", prior.net.cents()},
                                {"vatCents", prior.vat.cents()},
                                {"grossCents", prior.gross.cents()}});
    Json json{{"version", kDataVersion},
              {"kind", std::string(invoiceKindText(invoice.kind))},
              {"number", invoice.number},
              {"issueDate", iso(invoice.issueDate)},
              {"periodStart", iso(invoice.periodStart)},
              {"periodEnd", iso(invoice.periodEnd)},
              {"paymentDays", invoice.paymentDays},
              {"currency", invoice.currency},
              {"seller", partyJson(invoice.seller)},
              {"buyer", partyJson(invoice.buyer)},
              {"privateCustomer", invoice.privateCustomer},
              {"taxCase", taxCaseText(invoice.taxCase)},
              {"buyerReference", invoice.buyerReference},
              {"offerNumber", invoice.offerNumber},
              {"originalNumber", invoice.originalNumber},
              {"originalDate", iso(invoice.originalDate)},
              {"lines", std::move(lines)},
              {"partials", std::move(partials)},
              {"skonto", invoice.skonto
                             ? Json{{"days", invoice.skonto->days},
                                    {"percentHundredths", invoice.skonto->percentHundredths}}
                             : Json()},
              {"paymentTerms", invoice.paymentTerms},
              {"bank", Json{{"holder", invoice.bank.holder},
                            {"iban", invoice.bank.iban},
                            {"bic", invoice.bank.bic}}},
              {"notes", invoice.notes}};
    keepAsTheXmlDoes(json);
    return json.dump(1);
}

Invoice invoiceFromData(std::string_view text) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        throw std::runtime_error("Die gespeicherte Rechnung ist kein gültiges JSON.");
    try {
        if (integerOf<int>(json.at("version")) > kDataVersion)
            throw std::runtime_error("von einer neueren Programmversion geschrieben");
        Invoice invoice;
        invoice.kind = kindOf(json.at("kind").get<std::string>());
        invoice.number = json.at("number").get<std::string>();
        invoice.issueDate = dateOf(json.at("issueDate"));
        invoice.periodStart = dateOf(json.at("periodStart"));
        invoice.periodEnd = dateOf(json.at("periodEnd"));
        invoice.paymentDays = integerOf<int>(json.at("paymentDays"));
        invoice.currency = json.at("currency").get<std::string>();
        invoice.seller = partyOf(json.at("seller"));
        invoice.buyer = partyOf(json.at("buyer"));
        invoice.privateCustomer = json.at("privateCustomer").get<bool>();
        invoice.taxCase = taxCaseOf(json.at("taxCase").get<std::string>());
        invoice.buyerReference = json.at("buyerReference").get<std::string>();
        invoice.offerNumber = json.at("offerNumber").get<std::string>();
        invoice.originalNumber = json.at("originalNumber").get<std::string>();
        invoice.originalDate = dateOf(json.at("originalDate"));
        for (const Json& line : json.at("lines")) {
            InvoiceLine l;
            l.description = line.at("description").get<std::string>();
            l.quantityMilli = integerOf<std::int64_t>(line.at("quantityMilli"));
            l.unitCode = line.at("unit").get<std::string>();
            l.unitPrice = Money::fromCents(integerOf<std::int64_t>(line.at("unitPriceCents")));
            l.vatRateHundredths = integerOf<int>(line.at("vatRateHundredths"));
            l.labour = Money::fromCents(integerOf<std::int64_t>(line.at("labourCents")));
            invoice.lines.push_back(std::move(l));
        }
        for (const Json& prior : json.at("partials"))
            invoice.partials.push_back(
                {prior.at("number").get<std::string>(), dateOf(prior.at("date")),
                 Money::fromCents(integerOf<std::int64_t>(prior.at("netCents"))),
                 Money::fromCents(integerOf<std::int64_t>(prior.at("vatCents"))),
                 Money::fromCents(integerOf<std::int64_t>(prior.at("grossCents")))});
        if (const Json& skonto = json.at("skonto"); !skonto.is_null())
            invoice.skonto = Skonto{integerOf<int>(skonto.at("days")),
                                    integerOf<int>(skonto.at("percentHundredths"))};
        invoice.paymentTerms = json.at("paymentTerms").get<std::string>();
        const Json& bank = json.at("bank");
        invoice.bank = {bank.at("holder").get<std::string>(), bank.at("iban").get<std::string>(),
                        bank.at("bic").get<std::string>()};
        invoice.notes = json.at("notes").get<std::vector<std::string>>();
        return invoice;
    } catch (const nlohmann::json::exception&) {
        throw std::runtime_error("Die gespeicherte Rechnung ist unvollständig oder beschädigt.");
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string("Die gespeicherte Rechnung ist nicht lesbar: ") +
                                 e.what());
    }
}

} // namespace pyrelto
