// The offer dialog's choices as the register keeps them: every field back as it was, hostile
// texts included, and a record that is not the program's refused without touching the choices.

#include "offer_particulars.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pyrelto {
namespace {

OfferChoices recipientOnly() {
    OfferChoices choices;
    choices.number = u"2026-017";
    choices.date = {2026, 12, 10};
    choices.validUntil = {2027, 1, 9};
    choices.recipientName = u"Hausverwaltung Nord";
    choices.recipientAddress = u"Am Deich 7\n25761 Büsum";
    return choices;
}

TEST(OfferParticulars, EveryChoiceComesBack) {
    OfferChoices full = recipientOnly();
    full.subject = u"Angebot \"Flachdach\" <Halle 3> & Anbau";
    full.introduction =
        u"Sehr geehrte Damen und Herren,\n\nwir bieten an: \u05e9\u05dc\u05d5\u05dd 🏠";
    full.workTitle = std::u16string(100000, u'W');
    full.summaryOnly = true;
    full.taxCase = TaxCase::ReverseCharge;
    full.privateCustomer = true;
    full.site = u"Hauptstr. 5\n12345 Berlin";
    full.period = {{2027, 4, 1}, {2027, 4, 30}, false};
    full.instalments = {30, 40};
    full.signatureLine = true;
    full.acceptanceSlip = true;
    full.takeOffPages = true;
    OfferChoices byArrangement = recipientOnly();
    byArrangement.period.byArrangement = true;
    byArrangement.taxCase = TaxCase::SmallBusiness;

    for (const OfferChoices& written : {full, byArrangement, recipientOnly()}) {
        OfferChoices read = recipientOnly();
        read.recipientName = u"bleibt";
        readOfferParticulars(offerParticularsJson(written), read);
        EXPECT_EQ(read.recipientName, u"bleibt"); // not a particular: left as it was
        EXPECT_EQ(read.number, written.number);
        EXPECT_EQ(read.subject, written.subject);
        EXPECT_EQ(read.introduction, written.introduction);
        EXPECT_EQ(read.workTitle, written.workTitle);
        EXPECT_EQ(read.summaryOnly, written.summaryOnly);
        EXPECT_EQ(read.taxCase, written.taxCase);
        EXPECT_EQ(read.privateCustomer, written.privateCustomer);
        EXPECT_EQ(read.site, written.site);
        EXPECT_EQ(read.period, written.period);
        EXPECT_EQ(read.instalments, written.instalments);
        EXPECT_EQ(read.signatureLine, written.signatureLine);
        EXPECT_EQ(read.acceptanceSlip, written.acceptanceSlip);
        EXPECT_EQ(read.takeOffPages, written.takeOffPages);
    }

    // Half a surrogate pair pasted into a text costs that character, not the record.
    OfferChoices broken = recipientOnly();
    broken.subject = std::u16string(u"Dach ") + char16_t(0xD83C) + u" Halle";
    OfferChoices read = recipientOnly();
    readOfferParticulars(offerParticularsJson(broken), read);
    EXPECT_EQ(read.subject, u"Dach \uFFFD Halle");
}

TEST(OfferParticulars, ARecordThatIsNotTheProgramsIsRefusedAndChangesNothing) {
    OfferChoices good = recipientOnly();
    good.site = u"Hauptstr. 5";
    good.instalments = {50};
    const std::string json = offerParticularsJson(good);
    const auto replaced = [&json](const std::string& from, const std::string& to) {
        std::string text = json;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::vector<std::string> bad{
        "",
        "[]",
        json.substr(0, json.size() / 2),
        replaced("\"version\": 1", "\"version\": 2"),
        replaced("\"version\": 1", "\"version\": 7777776888888888888.8"),
        replaced("\"instalments\": [\n  50\n ]", "\"instalments\": [50.5]"),
        replaced("\"taxCase\": \"normal\"", "\"taxCase\": \"20\""),
        replaced("\"periodFrom\": \"\"", "\"periodFrom\": \"2027-02-30\""),
        replaced("\"instalments\": [\n  50\n ]", "\"instalments\": [80, 40]"),
        replaced("\"signatureLine\": false", "\"signatureLine\": \"ja\""),
        replaced("\"site\"", "\"Baustelle\""),
    };
    for (const std::string& text : bad) {
        SCOPED_TRACE(text);
        ASSERT_NE(text, json);
        OfferChoices choices = recipientOnly();
        choices.site = u"wie vorher";
        EXPECT_THROW(readOfferParticulars(text, choices), std::runtime_error);
        EXPECT_EQ(choices.site, u"wie vorher");
        EXPECT_TRUE(choices.instalments.empty());
    }
}

} // namespace
} // namespace pyrelto
