#include "observer_hooks.h"
#include "rx_spin_edit.h"
#include "sheet.h"
#include "utf16.h"

#include <gtest/gtest.h>
#include <vector>

namespace pyrelto {
namespace {

// A field as the window configures it, with a handler that records the value it reads.
struct RecordedField {
    TRxSpinEdit field;
    std::vector<long double> reads;
    test::FieldHooks hooks{field};

    explicit RecordedField(bool isFloat, long double min = 0, long double max = 0,
                           long double initial = 0) {
        field.setMaxValue(max);
        field.setMinValue(min);
        field.setValueType(isFloat ? ValueType::vtFloat : ValueType::vtInteger);
        field.SetValue(initial);
        hooks.change = [this](TRxSpinEdit& f) { reads.push_back(f.GetValue()); };
    }
    std::string text() const { return toUtf8(field.text()); }
};

// Types each character as a keyboard would: the filter first, then the edit. The first key
// replaces the whole text, as on entering a field (its text is selected then).
void typeKeys(TRxSpinEdit& f, std::u16string_view keys, bool replaceAll = true) {
    for (const char16_t k : keys) {
        if (!f.IsValidChar(k)) {
            continue;
        }
        std::u16string next = replaceAll ? std::u16string() : f.text();
        replaceAll = false;
        next.push_back(f.typedChar(k));
        f.setText(next);
    }
}

class SpinEditTest : public ::testing::Test {};

TEST_F(SpinEditTest, ConfigurationClampsAndFormatsWithoutNotifying) {
    RecordedField count(false, 1, 5, 1);
    EXPECT_EQ(count.text(), "1");
    EXPECT_TRUE(count.field.checkMinValue());
    RecordedField amount(true);
    EXPECT_EQ(amount.text(), "0,00");
    EXPECT_FALSE(amount.field.checkMaxValue());
    EXPECT_TRUE(count.reads.empty());
}

TEST_F(SpinEditTest, WriteNotifiesOnlyWhenTheTextChanges) {
    RecordedField f(true, 0, 0, 5);
    f.field.SetValue(5);
    EXPECT_TRUE(f.reads.empty());
    f.field.setText(u"5");
    f.field.SetValue(5);
    EXPECT_EQ(f.text(), "5,00");
    EXPECT_EQ(f.reads.size(), 2U); // once for "5", once for "5,00"
    f.field.SetValue(5.0001L);
    EXPECT_EQ(f.reads.size(), 2U);
}

TEST_F(SpinEditTest, CountsClampOnWriteButReadUnclamped) {
    RecordedField layers(false, 0, 3, 3);
    layers.field.SetValue(7);
    EXPECT_EQ(layers.text(), "3");
    layers.field.setText(u"9");
    EXPECT_EQ(layers.field.GetValue(), 9);
    layers.field.setText(u"");
    EXPECT_EQ(layers.field.GetValue(), 0);
    RecordedField rows(false, 1, 5, 1);
    rows.field.setText(u"abc");
    EXPECT_EQ(rows.field.GetValue(), 1); // the fallback is MinValue
}

TEST_F(SpinEditTest, TypingCallsTheHandlerForEveryChangeAndLeavingReformats) {
    RecordedField f(true, 0, 0, 3);
    typeKeys(f.field, u"12,5");
    ASSERT_EQ(f.reads.size(), 4U);
    EXPECT_EQ(f.reads[0], 1);
    EXPECT_EQ(f.reads[1], 12);
    EXPECT_EQ(f.reads[2], 12);
    EXPECT_EQ(f.reads[3], 12.5L);
    f.field.leave();
    EXPECT_EQ(f.text(), "12,50");
    EXPECT_EQ(f.reads.size(), 5U);
    f.field.leave();
    EXPECT_EQ(f.reads.size(), 5U);
}

TEST_F(SpinEditTest, LeavingClampsCounts) {
    struct Row {
        const char* name;
        long double min, max, initial;
        const char16_t* typed;
        long double whileTyping;
        const char* afterLeaving;
    };
    const Row rows[] = {
        {"material rows above the maximum", 1, 5, 1, u"9", 9, "5"},
        {"material rows at zero", 1, 5, 1, u"0", 0, "1"},
        {"layers negative", 0, 3, 3, u"-2", -2, "0"},
        {"emptied material rows", 1, 5, 2, u"", 1, "1"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        RecordedField f(false, r.min, r.max, r.initial);
        if (*r.typed == 0) {
            f.field.setText(u"");
        } else {
            typeKeys(f.field, r.typed);
        }
        EXPECT_EQ(f.field.GetValue(), r.whileTyping);
        f.field.leave();
        EXPECT_EQ(f.text(), r.afterLeaving);
    }
    RecordedField amount(true, 0, 0, 4);
    amount.field.setText(u"");
    EXPECT_EQ(amount.field.GetValue(), 0);
    amount.field.leave();
    EXPECT_EQ(amount.text(), "0,00");
}

TEST_F(SpinEditTest, TypingFilter) {
    RecordedField f(true);
    f.field.setText(u"12,5");
    EXPECT_FALSE(f.field.IsValidChar(u'.')); // one separator only
    EXPECT_FALSE(f.field.IsValidChar(u','));
    EXPECT_FALSE(f.field.IsValidChar(u'a'));
    EXPECT_TRUE(f.field.IsValidChar(u'e'));
    EXPECT_TRUE(f.field.IsValidChar(u'-'));
    EXPECT_TRUE(f.field.IsValidChar(u'\b'));   // control characters always pass
    EXPECT_TRUE(f.field.IsValidChar(u'\x16')); // Ctrl+V
    f.field.setText(u"12");
    typeKeys(f.field, u".", false);
    EXPECT_EQ(f.text(), "12,"); // "." enters the separator
    f.field.setText(u"1e5");
    EXPECT_FALSE(f.field.IsValidChar(u'E'));

    RecordedField count(false, 0, 5, 1);
    EXPECT_FALSE(count.field.IsValidChar(u'.'));
    EXPECT_FALSE(count.field.IsValidChar(u'e'));
    EXPECT_TRUE(count.field.IsValidChar(u'+'));

    f.field.setNumberFormat(NumberFormat{u'.'});
    f.field.setText(u"12");
    EXPECT_TRUE(f.field.IsValidChar(u'.'));
    EXPECT_FALSE(f.field.IsValidChar(u','));
}

TEST_F(SpinEditTest, SpinStepNormalisesAndNotifiesOnce) {
    RecordedField f(true);
    f.field.setText(u"12,345");
    f.reads.clear();
    std::vector<std::string> shown;
    f.hooks.textShown = [&](TRxSpinEdit& e) { shown.push_back(toUtf8(e.text())); };
    f.field.UpClick();
    EXPECT_EQ(f.text(), "13,35");
    ASSERT_EQ(f.reads.size(), 1U);
    EXPECT_EQ(shown, std::vector<std::string>{"13,35"}); // the view sees the step's write
    f.field.DownClick();
    EXPECT_EQ(f.text(), "12,35");
    EXPECT_EQ(f.reads.size(), 2U);
    EXPECT_FALSE(f.field.changing());

    RecordedField layers(false, 0, 3, 3);
    layers.field.UpClick();
    EXPECT_EQ(layers.text(), "3");
    RecordedField rows(false, 1, 5, 1);
    rows.field.DownClick();
    EXPECT_EQ(rows.text(), "1");
    EXPECT_TRUE(layers.reads.empty());
    EXPECT_TRUE(rows.reads.empty());
}

TEST_F(SpinEditTest, StepComparesWithoutRegardToCase) {
    // 1e20 + 1 formats as "1E20": a typed "1e20" then differs only in case, which is no change.
    RecordedField f(true);
    f.field.setText(u"1e20");
    f.reads.clear();
    f.field.UpClick();
    EXPECT_EQ(f.text(), "1E20");
    EXPECT_TRUE(f.reads.empty());
}

TEST_F(SpinEditTest, PasteRestoresWhenTheResultIsNoNumber) {
    RecordedField f(true, 0, 0, 12.5L);
    f.field.paste(u"abc");
    EXPECT_EQ(f.text(), "12,50");
    ASSERT_EQ(f.reads.size(), 2U);
    EXPECT_EQ(f.reads[0], 0);     // "abc" reads as 0
    EXPECT_EQ(f.reads[1], 12.5L); // the restored text
    f.field.paste(u"7,25");
    EXPECT_EQ(f.text(), "7,25");

    // Integer fields judge a paste by the float rule too.
    RecordedField count(false, 0, 5, 2);
    count.field.paste(u"1,5");
    EXPECT_EQ(count.text(), "1,5");
    count.field.paste(u"x");
    EXPECT_EQ(count.text(), "0"); // restores the value read before: "1,5" reads as 0
}

TEST_F(SpinEditTest, SeparatorChangeWhileRunning) {
    RecordedField f(true, 0, 0, 7.5L);
    EXPECT_EQ(f.text(), "7,50");
    f.field.setNumberFormat(NumberFormat{u'.'});
    EXPECT_EQ(f.field.GetValue(), 0); // the old separator is no number now
    f.field.SetValue(2.25L);
    EXPECT_EQ(f.text(), "2.25");
    EXPECT_EQ(f.field.GetValue(), 2.25L);
}

} // namespace
} // namespace pyrelto
