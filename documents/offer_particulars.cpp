#include "offer_particulars.h"

#include "utf16.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace pyrelto {

namespace {

using Json = nlohmann::ordered_json;

// Raised for the version this program writes; particulars of a newer program are refused rather
// than read in part.
constexpr int kParticularsVersion = 1;

std::string iso(const Date& date) {
    if (!date.isSet())
        return {};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
    return buffer;
}

Date dateOf(const Json& value) {
    const std::string text = value.get<std::string>();
    if (text.empty())
        return {};
    const auto date = parseIsoDate(text);
    if (!date)
        throw std::runtime_error("ungültiges Datum „" + text + "“");
    return *date;
}

const char* taxCaseName(TaxCase taxCase) {
    switch (taxCase) {
    case TaxCase::Normal:
        break;
    case TaxCase::ReverseCharge:
        return "13b";
    case TaxCase::SmallBusiness:
        return "19";
    }
    return "normal";
}

TaxCase taxCaseOf(const std::string& text) {
    for (const TaxCase taxCase : {TaxCase::Normal, TaxCase::ReverseCharge, TaxCase::SmallBusiness})
        if (text == taxCaseName(taxCase))
            return taxCase;
    throw std::runtime_error("unbekannter Steuerfall „" + text + "“");
}

std::u16string textOf(const Json& json, const char* key) {
    return fromUtf8(json.at(key).get<std::string>());
}

} // namespace

std::string offerParticularsJson(const OfferChoices& choices) {
    const Json json{{"version", kParticularsVersion},
                    {"subject", toUtf8(choices.subject)},
                    {"introduction", toUtf8(choices.introduction)},
                    {"workTitle", toUtf8(choices.workTitle)},
                    {"summaryOnly", choices.summaryOnly},
                    {"taxCase", taxCaseName(choices.taxCase)},
                    {"privateCustomer", choices.privateCustomer},
                    {"site", toUtf8(choices.site)},
                    {"periodFrom", iso(choices.period.from)},
                    {"periodUntil", iso(choices.period.until)},
                    {"byArrangement", choices.period.byArrangement},
                    {"instalments", choices.instalments},
                    {"signatureLine", choices.signatureLine},
                    {"acceptanceSlip", choices.acceptanceSlip},
                    {"takeOffPages", choices.takeOffPages}};
    // A text with a lone surrogate half (pasted from somewhere) is kept with U+FFFD in its place
    // rather than losing the whole record.
    return json.dump(1, ' ', false, Json::error_handler_t::replace);
}

void readOfferParticulars(std::string_view text, OfferChoices& choices) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        throw std::runtime_error("Die Angaben des Angebots sind kein gültiges JSON.");
    try {
        if (json.at("version").get<int>() > kParticularsVersion)
            throw std::runtime_error("von einer neueren Programmversion geschrieben");
        OfferChoices read = choices;
        read.subject = textOf(json, "subject");
        read.introduction = textOf(json, "introduction");
        read.workTitle = textOf(json, "workTitle");
        read.summaryOnly = json.at("summaryOnly").get<bool>();
        read.taxCase = taxCaseOf(json.at("taxCase").get<std::string>());
        read.privateCustomer = json.at("privateCustomer").get<bool>();
        read.site = textOf(json, "site");
        read.period.from = dateOf(json.at("periodFrom"));
        read.period.until = dateOf(json.at("periodUntil"));
        read.period.byArrangement = json.at("byArrangement").get<bool>();
        read.instalments = json.at("instalments").get<std::vector<int>>();
        if (const std::u16string problem = instalmentsProblem(read.instalments); !problem.empty())
            throw std::runtime_error(toUtf8(problem));
        read.signatureLine = json.at("signatureLine").get<bool>();
        read.acceptanceSlip = json.at("acceptanceSlip").get<bool>();
        read.takeOffPages = json.at("takeOffPages").get<bool>();
        choices = std::move(read);
    } catch (const nlohmann::json::exception&) {
        throw std::runtime_error("Die Angaben des Angebots sind unvollständig oder beschädigt.");
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string("Die Angaben des Angebots sind nicht lesbar: ") +
                                 e.what());
    }
}

} // namespace pyrelto
