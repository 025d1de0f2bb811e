// The firm data through the store on both engines (tests/store/store_test_fixture.h): every field
// back as it went in, and a store an older version wrote reads with the later fields empty.

#include "firm_data.h"
#include "offer_service.h"
#include "store_test_fixture.h"
#include "utf16.h"

#include <gtest/gtest.h>

namespace pyrelto {
namespace {

class FirmDataStoreTest : public test::StoreTest {};

TEST_P(FirmDataStoreTest, EveryFieldComesBackAndOldStoresReadFine) {
    auto store = open();
    // As a version before the company data and Skonto left it.
    store->setFirmData({{"Firma", "Dachdeckerei Groß"}, {"Ansprechpartner", "Ida Groß"}});
    FirmData old = firmDataOf(*store);
    EXPECT_EQ(old.name, u"Dachdeckerei Groß");
    EXPECT_EQ(old.paymentTerms, FirmData::defaultPaymentTerms());
    for (const std::u16string* field :
         {&old.skontoPercent, &old.skontoDays, &old.legalForm, &old.registeredSeat,
          &old.registerCourt, &old.registerNumber, &old.managingDirector})
        EXPECT_TRUE(field->empty());
    EXPECT_EQ(old.contractBasis, ContractBasis::None);
    EXPECT_FALSE(old.isCompany());

    for (const test::HostileText& hostile : test::hostileTexts()) {
        SCOPED_TRACE(hostile.name);
        const std::u16string text = fromUtf8(hostile.text);
        FirmData firm = old;
        firm.skontoPercent = u"2,5";
        firm.skontoDays = u"10";
        firm.legalForm = u"GmbH & Co. KG";
        firm.registerCourt = text;
        firm.registeredSeat = text + u"3";
        firm.registerNumber = u"HRA 4711";
        firm.managingDirector = text + u"2";
        for (const ContractBasis basis : {ContractBasis::VobB, ContractBasis::Bgb}) {
            firm.contractBasis = basis;
            storeFirmData(*store, firm);
            const FirmData back = firmDataOf(*open());
            EXPECT_EQ(back.skontoPercent, firm.skontoPercent);
            EXPECT_EQ(back.skontoDays, firm.skontoDays);
            EXPECT_EQ(back.legalForm, firm.legalForm);
            EXPECT_EQ(back.registerCourt, firm.registerCourt);
            EXPECT_EQ(back.registeredSeat, firm.registeredSeat);
            EXPECT_EQ(back.registerNumber, firm.registerNumber);
            EXPECT_EQ(back.managingDirector, firm.managingDirector);
            EXPECT_EQ(back.contractBasis, basis);
            EXPECT_EQ(back.name, firm.name);
        }
    }
    // Cleared again: empty, not the values before.
    storeFirmData(*store, old);
    const FirmData cleared = firmDataOf(*open());
    EXPECT_TRUE(cleared.registerCourt.empty());
    EXPECT_EQ(cleared.contractBasis, ContractBasis::None);
}

INSTANTIATE_TEST_SUITE_P(Engines, FirmDataStoreTest, test::kBothEngines, test::engineName);

} // namespace
} // namespace pyrelto
