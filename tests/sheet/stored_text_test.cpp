#include "stored_text.h"
#include "utf16.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace pyrelto {
namespace {

TEST(StoredTextForms, FloatTextHasAPointAndUpTo18Digits) {
    const struct {
        const char* name;
        long double value;
        const char* text;
    } cases[] = {
        {"integer", 16.0L, "16"},
        {"fraction", 19.5L, "19.5"},
        {"zero", 0.0L, "0"},
        {"negative", -7.25L, "-7.25"},
        {"small plain", 0.07L, "0.07"},
        {"thousandths plain", 0.001L, "0.001"},
        {"smallest plain", 0.0001L, "0.0001"},
        {"scientific small", 0.00001L, "1E-5"},
        {"scientific with digits", -0.0000125L, "-1.25E-5"},
        {"eighteen integer digits", 123456789012345678.0L, "123456789012345678"},
        {"nineteen integer digits", 1e18L, "1E18"},
        {"rounded to 18 digits", 1.0L / 3.0L, "0.333333333333333333"},
        {"not a number", std::numeric_limits<long double>::quiet_NaN(), "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string text = storedFloatText(c.value);
        EXPECT_EQ(std::string(text.begin(), text.end()), c.text);
    }
}

TEST(StoredTextForms, IntegersTrimmedTextAndPositionWords) {
    EXPECT_EQ(parseStoredInteger(u" -12 "), -12);
    EXPECT_EQ(parseStoredInteger(u"+3"), 3);
    for (const char16_t* bad : {u"", u"1.5", u"$10", u"12a", u"2147483648", u"-"})
        EXPECT_FALSE(parseStoredInteger(bad).has_value()) << toUtf8(bad);
    EXPECT_EQ(parseStoredInteger(u"-2147483648"), std::numeric_limits<int>::min());

    EXPECT_EQ(trimStoredText(u"\t  EUR \r\n"), u"EUR");
    EXPECT_EQ(trimStoredText(u" \x01 "), u"");
    EXPECT_EQ(trimStoredText(u"Schweizer Franken"), u"Schweizer Franken");

    const auto words = positionWords(u" 100,,50 x,900,7,8");
    EXPECT_EQ(words[0], 100);
    EXPECT_EQ(words[1], 50);
    EXPECT_FALSE(words[2].has_value()); // "x"
    EXPECT_EQ(words[3], 900);
    EXPECT_FALSE(positionWords(u"1,2")[2].has_value());
}

} // namespace
} // namespace pyrelto
