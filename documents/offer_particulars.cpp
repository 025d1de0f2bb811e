#include "offer_particulars.h"

#include "record_json.h"
#include "utf16.h"

namespace pyrelto {

namespace {

using record_json::dateOf;
using record_json::integerOf;
using record_json::iso;
using record_json::Json;
using record_json::taxCaseOf;
using record_json::taxCaseText;

// Raised for the version this program writes; particulars of a newer program are refused rather
// than read in part.
constexpr int kParticularsVersion = 1;

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
                    {"taxCase", taxCaseText(choices.taxCase)},
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
        if (integerOf<int>(json.at("version")) > kParticularsVersion)
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
        read.instalments.clear();
        for (const Json& percent : json.at("instalments"))
            read.instalments.push_back(integerOf<int>(percent));
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
