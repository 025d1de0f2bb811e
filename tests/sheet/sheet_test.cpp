#include "observer_hooks.h"
#include "sheet.h"
#include "utf16.h"
#include "worked_example.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pyrelto {
namespace {

using F = FieldId;

// A sheet as the program starts it: defaults, then the three direct count rules.
class SheetTest : public ::testing::Test {
protected:
    SheetTest() { sheet.runCountRules(); }

    void enter(F id, const char* text) { sheet.enter(id, fromUtf8(text)); }
    std::string shows(F id) const { return toUtf8(sheet.shownText(id)); }
    void enterWorkedExample() { test::enterWorkedExample(sheet); }

    void expectShows(const std::map<F, const char*>& expected) const {
        for (const auto& [id, text] : expected) {
            EXPECT_EQ(shows(id), text) << fieldInfo(id).name;
        }
    }

    Sheet sheet;
    test::SheetHooks hooks{sheet};
};

TEST_F(SheetTest, StartsWithTheDesignValues) {
    expectShows({{F::AnzZeilenEd, "1"},
                 {F::AnzSonstEd, "2"},
                 {F::AnzStueckEd, "1"},
                 {F::LagenEd, "3"},
                 {F::Ver9Ed, "15,00"},
                 {F::MwStEd, "19,00"},
                 {F::List1Ed, "0,00"},
                 {F::Anz8Ed, "0"},
                 {F::Bez6Ed, "Gas"},
                 {F::Bez7Ed, "Titanol"},
                 {F::Bez8Ed, "Tellerdübel"},
                 {F::Bez10Ed, "Pyrelto 1. Lage"},
                 {F::Bez11Ed, "Pyrelto 2. Lage"},
                 {F::Bez12Ed, "Pyrelto 3. Lage"},
                 {F::Waehr15Ed, "€"},
                 {F::KundeEd, ""}});
    std::vector<std::string_view> shownRows;
    for (const auto& r : rowCatalogue()) {
        if (r.governedBy && sheet.shown(r.id)) {
            shownRows.push_back(r.container);
        }
    }
    EXPECT_EQ(shownRows, (std::vector<std::string_view>{"Panel2", "Panel7", "Panel8", "Panel9",
                                                        "Panel11", "Panel12", "Panel13"}));
}

TEST_F(SheetTest, WorkedExampleRoundsAtEveryStep) {
    enterWorkedExample();
    for (const auto& row : test::workedExample) {
        EXPECT_EQ(sheet.shownText(row.field), row.shown) << fieldInfo(row.field).name;
    }
}

TEST_F(SheetTest, WorkedExampleVariations) {
    enterWorkedExample();
    enter(F::MwStEd, "7");
    expectShows({{F::Summe15Ed, "486,24"}, {F::BruttoEd, "520,28"}, {F::Ek9Ed, "8,49"}});
    enter(F::MwStEd, "19");
    enter(F::AnzSonstEd, "1");
    expectShows({{F::Ek9Ed, "8,29"},
                 {F::Summe9Ed, "9,53"},
                 {F::Summe13Ed, "20,03"},
                 {F::Summe15Ed, "480,72"},
                 {F::BruttoEd, "572,06"}});
    EXPECT_FALSE(sheet.shown(RowId::Panel8));
    EXPECT_EQ(shows(F::Summe7Ed), "0,20"); // the hidden row keeps its value
}

TEST_F(SheetTest, CascadeIsDepthFirstInChainOrder) {
    enterWorkedExample();
    std::vector<std::string> calls;
    hooks.rule = [&](std::string_view h) { calls.emplace_back(h); };
    sheet.number(F::List1Ed).SetValue(12);
    EXPECT_EQ(calls, (std::vector<std::string>{"List1EdChange", "Ek1EdChange", "Summe1EdChange",
                                               "Ek9EdChange", "Summe9EdChange", "Summe13EdChange",
                                               "Summe15EdChange"}));
    // A view sees each new text before the rule bound to that field runs.
    std::vector<std::string> order;
    hooks.rule = [&](std::string_view h) { order.emplace_back(h); };
    test::FieldHooks view(sheet.number(F::Ek1Ed));
    view.textShown = [&](TRxSpinEdit& f) { order.push_back("shown " + toUtf8(f.text())); };
    sheet.number(F::List1Ed).SetValue(10);
    ASSERT_GE(order.size(), 3U);
    EXPECT_EQ(order[1], "shown 6,50");
    EXPECT_EQ(order[2], "Ek1EdChange");
}

TEST_F(SheetTest, EveryNumericFieldRunsItsOwnRule) {
    // Each numeric field but BruttoEd is bound to a rule that runs on a change of its text.
    for (const auto& f : fieldCatalogue()) {
        if (f.kind == FieldKind::Text) {
            continue;
        }
        int calls = 0;
        hooks.rule = [&](std::string_view) { ++calls; };
        sheet.number(f.id).setText(u" " + sheet.number(f.id).text()); // same value, new text
        EXPECT_EQ(calls > 0, f.id != F::BruttoEd) << f.name;
    }
}

TEST_F(SheetTest, DerivedValuesComeFromRoundedTexts) {
    enter(F::List1Ed, "9,99");
    enter(F::Rab1Ed, "35");
    enter(F::Ver1Ed, "15");
    EXPECT_EQ(shows(F::Summe1Ed), "7,46"); // not 7,47 from the unrounded 6,4935
    // A hand-typed row sum stands until a list price change rewrites it.
    enter(F::Summe1Ed, "8");
    EXPECT_EQ(shows(F::Ek9Ed), "8,00");
    enter(F::Rab1Ed, "35,001"); // the purchase price stays 6,49, the row sum is rewritten
    EXPECT_EQ(shows(F::Ek1Ed), "6,49");
    EXPECT_EQ(shows(F::Summe1Ed), "7,46");
}

TEST_F(SheetTest, UnusualInputsAreNotRefused) {
    enter(F::List1Ed, "10");
    enter(F::Rab1Ed, "100");
    EXPECT_EQ(shows(F::Ek1Ed), "0,00");
    enter(F::Rab1Ed, "150");
    EXPECT_EQ(shows(F::Ek1Ed), "-5,00");
    enter(F::Rab1Ed, "0");
    enter(F::Ver1Ed, "-10");
    EXPECT_EQ(shows(F::Summe1Ed), "9,00");
    enter(F::Dach14Ed, "0");
    EXPECT_EQ(shows(F::Summe15Ed), "0,00");
    EXPECT_EQ(shows(F::BruttoEd), "0,00");
    enter(F::BruttoEd, "1000");
    EXPECT_EQ(shows(F::Summe15Ed), "0,00");
    enter(F::List1Ed, "abc");
    EXPECT_EQ(shows(F::List1Ed), "0,00");
}

TEST_F(SheetTest, NetEndSumRoundsExactDecimalTiesUp) {
    // 1,15 € per m² on 0,5 m² is 0,575 €, which shows 0,58 (narrowed to a double it showed 0,57).
    enter(F::Summe10Ed, "1,15");
    enter(F::LagenEd, "1");
    enter(F::Dach14Ed, "0,5");
    EXPECT_EQ(shows(F::Summe13Ed), "1,15");
    EXPECT_EQ(shows(F::Summe15Ed), "0,58");
    // Roof areas in tenths of a m² with totals that end in 5 at the third decimal.
    enter(F::Summe10Ed, "20,05");
    enter(F::Dach14Ed, "12,3");
    EXPECT_EQ(shows(F::Summe15Ed), "246,62"); // 246,615
}

TEST_F(SheetTest, CountsShowAndHideRowsWithoutTouchingTheirValues) {
    enter(F::AnzZeilenEd, "3");
    enter(F::Summe2Ed, "2");
    enter(F::Summe3Ed, "3");
    EXPECT_EQ(shows(F::Ek9Ed), "5,00");
    enter(F::AnzZeilenEd, "1");
    EXPECT_FALSE(sheet.shown(RowId::Panel3));
    EXPECT_EQ(shows(F::Ek9Ed), "0,00");
    enter(F::Summe2Ed, "4"); // rules of a hidden row still run, the sum leaves it out
    EXPECT_EQ(shows(F::Ek9Ed), "0,00");
    enter(F::AnzZeilenEd, "3");
    EXPECT_EQ(shows(F::Summe2Ed), "4,00");
    EXPECT_EQ(shows(F::Ek9Ed), "7,00");

    enter(F::Summe10Ed, "6");
    enter(F::Summe11Ed, "4,5");
    enter(F::Summe12Ed, "1");
    const std::string ek9 = shows(F::Ek9Ed);
    enter(F::LagenEd, "1");
    EXPECT_EQ(shows(F::Summe13Ed), "14,05"); // 8,05 + 6
    EXPECT_EQ(shows(F::Ek9Ed), ek9);
    EXPECT_FALSE(sheet.shown(RowId::Panel12));

    enter(F::AnzSonstEd, "0");
    EXPECT_FALSE(sheet.shown(RowId::Panel7));
    EXPECT_FALSE(sheet.shown(RowId::Panel8));
}

TEST_F(SheetTest, CountWhileTypingAndAfterLeaving) {
    TRxSpinEdit& rows = sheet.number(F::AnzZeilenEd);
    rows.setText(u"0");
    for (const auto r : {RowId::Panel2, RowId::Panel3, RowId::Panel6}) {
        EXPECT_FALSE(sheet.shown(r));
    }
    rows.leave();
    EXPECT_EQ(toUtf8(rows.text()), "1");
    EXPECT_TRUE(sheet.shown(RowId::Panel2));

    rows.setText(u"9"); // above the number of rows: all shown while typing
    EXPECT_TRUE(sheet.shown(RowId::Panel6));
    rows.leave();
    EXPECT_EQ(toUtf8(rows.text()), "5");

    // "2" to "02" runs the rule but changes no flag and no sum.
    enter(F::AnzSonstEd, "2");
    std::vector<std::string> calls;
    std::vector<RowId> flips;
    hooks.rule = [&](std::string_view h) { calls.emplace_back(h); };
    hooks.rowShown = [&](RowId r, bool) { flips.push_back(r); };
    sheet.number(F::AnzSonstEd).setText(u"02");
    EXPECT_EQ(calls, std::vector<std::string>{"AnzSonstEdChange"});
    EXPECT_TRUE(flips.empty());
}

TEST(SheetNumberFormat, TwoSheetsInOneProcessEachWriteAndReadTheirOwnWay) {
    Sheet comma(NumberFormat{u','});
    Sheet point(NumberFormat{u'.'});
    EXPECT_EQ(toUtf8(comma.shownText(F::MwStEd)), "19,00");
    EXPECT_EQ(toUtf8(point.shownText(F::MwStEd)), "19.00");

    // The same typed texts, each in its sheet's own form, cascade to the same cents.
    comma.runCountRules();
    point.runCountRules();
    test::enterWorkedExample(comma);
    test::enterWorkedExample(point);
    for (const auto& row : test::workedExample) {
        EXPECT_EQ(comma.shownText(row.field), row.shown) << fieldInfo(row.field).name;
        EXPECT_EQ(point.shownText(row.field), test::withSeparator(row.shown, u'.'))
            << fieldInfo(row.field).name;
    }

    // Each reads only its own separator, and "." typed enters its own.
    comma.enter(F::Dach14Ed, u"2.5");
    point.enter(F::Dach14Ed, u"2,5");
    EXPECT_EQ(toUtf8(comma.shownText(F::Dach14Ed)), "0,00");
    EXPECT_EQ(toUtf8(point.shownText(F::Dach14Ed)), "0.00");
    EXPECT_EQ(comma.number(F::Dach14Ed).typedChar(u'.'), u',');
    EXPECT_EQ(point.number(F::Dach14Ed).typedChar(u'.'), u'.');

    // A later change reaches every numeric field of that sheet and no other.
    point.setNumberFormat(NumberFormat{u','});
    point.enter(F::Dach14Ed, u"2,5");
    EXPECT_EQ(toUtf8(point.shownText(F::Dach14Ed)), "2,50");
    EXPECT_EQ(comma.numberFormat().decimalSeparator, u',');
    EXPECT_EQ(point.number(F::List1Ed).numberFormat().decimalSeparator, u',');
}

TEST(SheetObservers, EveryListenerHearsEveryChangeAndRemovedOnesNoMore) {
    Sheet sheet;
    std::vector<std::string> first;
    std::vector<std::string> second;
    std::size_t heardWhileListening = 0;
    test::SheetHooks a(sheet);
    a.rule = [&](std::string_view h) { first.emplace_back(h); };
    {
        test::SheetHooks b(sheet);
        b.rule = [&](std::string_view h) { second.emplace_back(h); };
        test::FieldHooks viewA(sheet.number(F::Dach14Ed));
        test::FieldHooks viewB(sheet.number(F::Dach14Ed));
        int shownA = 0;
        int shownB = 0;
        viewA.textShown = [&](TRxSpinEdit&) { ++shownA; };
        viewB.textShown = [&](TRxSpinEdit&) { ++shownB; };
        sheet.enter(F::Dach14Ed, u"3");
        EXPECT_EQ(shownA, 2); // "3", then "3,00" on leaving
        EXPECT_EQ(shownB, 2);
        EXPECT_EQ(first, second);
        EXPECT_FALSE(first.empty());
        heardWhileListening = second.size();
    }
    // The sheet's own rules still run once the listeners are gone.
    first.clear();
    sheet.enter(F::Summe13Ed, u"2");
    EXPECT_EQ(toUtf8(sheet.shownText(F::Summe15Ed)), "6,00");
    // "2" as typed, then "2,00" on leaving; the end sum's text stays "6,00" the second time.
    EXPECT_EQ(first,
              (std::vector<std::string>{"Summe13EdChange", "Summe15EdChange", "Summe13EdChange"}));
    EXPECT_EQ(second.size(), heardWhileListening) << "the removed listener heard nothing more";
}

TEST(SheetObservers, AListenerMayRemoveItselfWhileBeingTold) {
    Sheet sheet;
    TRxSpinEdit& roof = sheet.number(F::Dach14Ed);
    int calls = 0;
    auto once = std::make_unique<test::FieldHooks>(roof);
    test::FieldHooks* raw = once.get();
    raw->change = [&](TRxSpinEdit& f) {
        ++calls;
        f.removeObserver(raw);
    };
    sheet.enter(F::Dach14Ed, u"5");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(toUtf8(sheet.shownText(F::Dach14Ed)), "5,00");
}

} // namespace
} // namespace pyrelto
