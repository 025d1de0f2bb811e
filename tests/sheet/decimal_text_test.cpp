#include "decimal_text.h"
#include "utf16.h"

#include <charconv>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace pyrelto {
namespace {

std::string fixed(long double v, char16_t sep = u',') {
    return toUtf8(formatFixed(v, 2, sep));
}

TEST(FormatFixed, RoundsOnTheEighteenDigitExpansion) {
    struct Row {
        const char* name;
        long double value;
        const char* comma;
        const char* point;
    };
    const Row rows[] = {
        {"exact decimal tie 10.185", 10.185L, "10,19", "10.19"},
        {"exact decimal tie 12.345", 12.345L, "12,35", "12.35"},
        {"half cent", 0.005L, "0,01", "0.01"},
        {"negative below half cent", -0.004L, "0,00", "0.00"},
        {"negative zero", -0.0L, "0,00", "0.00"},
        {"whole", 2.0L, "2,00", "2.00"},
        {"negative", -7.5L, "-7,50", "-7.50"},
        {"double of 1.15 halved", static_cast<long double>(1.15) * 0.5L, "0,57", "0.57"},
        {"extended 1.15 halved", 1.15L * 0.5L, "0,58", "0.58"},
        {"worked example gross", 578.6256L, "578,63", "578.63"},
        {"carry through nines", 9.995L, "10,00", "10.00"},
        {"tiny", 1e-30L, "0,00", "0.00"},
        {"fifteen digit cap", 123456789012345.678L, "123456789012346,00", "123456789012346.00"},
        {"just below 1e15", 999999999999999.4L, "999999999999999,00", "999999999999999.00"},
        {"scientific 1e15", 1e15L, "1E15", "1E15"},
        {"scientific 1e20", 1e20L, "1E20", "1E20"},
        {"scientific 1.5e20", 1.5e20L, "1,5E20", "1.5E20"},
        {"scientific negative", -2.25e30L, "-2,25E30", "-2.25E30"},
        {"scientific huge", 1e300L, "1E300", "1E300"},
        {"scientific caps at 15 digits", 1.23456789012345678e17L, "1,23456789012346E17",
         "1.23456789012346E17"},
        {"infinity", std::numeric_limits<long double>::infinity(), "INF", "INF"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(fixed(r.value, u','), r.comma);
        EXPECT_EQ(fixed(r.value, u'.'), r.point);
    }
}

TEST(FormatInteger, RoundsTiesToEven) {
    struct Row {
        long double value;
        const char* text;
    };
    const Row rows[] = {
        {2.5L, "2"}, {3.5L, "4"}, {-2.5L, "-2"}, {-3.5L, "-4"}, {2.49L, "2"},
        {7.0L, "7"}, {0.5L, "0"}, {1.5L, "2"},   {-0.4L, "0"},  {1e30L, "9223372036854775807"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(static_cast<double>(r.value));
        EXPECT_EQ(toUtf8(formatInteger(r.value)), r.text);
    }
}

TEST(ParseFloat, AcceptsOnlyTheFieldGrammar) {
    struct Row {
        const char* name;
        const char* text; // written with "," as the separator ...
        bool number;
        long double value;
    };
    const Row rows[] = {
        {"separator alone", ",", true, 0.0L},
        {"exponent without digits", "1e", true, 1.0L},
        {"sign alone", "-", false, 0},
        {"empty", "", false, 0},
        {"spaces around", " 7,5 ", true, 7.5L},
        {"thousands separator", "1.234,5", false, 0},
        {"trailing separator", "12,", true, 12.0L},
        {"leading separator", ",5", true, 0.5L},
        {"plus sign", "+3", true, 3.0L},
        {"exponent with sign", "2,5E-2", true, 0.025L},
        {"lower-case exponent", "1e3", true, 1000.0L},
        {"two separators", "1,2,3", false, 0},
        {"letters", "abc", false, 0},
        {"sign after digits", "12-", false, 0},
        {"space inside", "1 2", false, 0},
        {"overflow", "1e5000", false, 0},
        {"underflow reads as zero", "1e-5000", true, 0.0L},
        {"long mantissa", "123456789012345678901234", true, 123456789012345678901234.0L},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        for (const char16_t sep : {u',', u'.'}) {
            std::u16string text = fromUtf8(r.text);
            if (sep == u'.') {
                // The same cases with the roles of "," and "." swapped.
                for (auto& c : text) {
                    c = c == u',' ? u'.' : (c == u'.' ? u',' : c);
                }
            }
            const auto v = parseFloat(text, sep);
            ASSERT_EQ(v.has_value(), r.number) << toUtf8(text);
            if (r.number) {
                EXPECT_EQ(formatFixed(*v, 6, u','), formatFixed(r.value, 6, u','));
            }
        }
    }
    // Only the current separator counts.
    EXPECT_FALSE(parseFloat(u"7.5", u',').has_value());
    EXPECT_FALSE(parseFloat(u"7,5", u'.').has_value());
}

TEST(ParseInteger, DecimalAndHexadecimalWithinThirtyTwoBits) {
    struct Row {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Row rows[] = {
        {"9", 9},
        {"  -12", -12},
        {"+7", 7},
        {"02", 2},
        {"$1F", 31},
        {"x10", 16},
        {"0x1f", 31},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"$80000000", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"7 ", std::nullopt},
        {"1,5", std::nullopt},
        {"$", std::nullopt},
        {"1e3", std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(parseInteger(fromUtf8(r.text)), r.value);
    }
}

TEST(DecimalExpansion, EighteenSignificantDigitsForStoredSettings) {
    const auto d = decimalExpansion18(0.00001L);
    EXPECT_EQ(d.digits, "1");
    EXPECT_EQ(d.exponent, -4);
    const auto e = decimalExpansion18(19.5L);
    EXPECT_EQ(e.digits, "195");
    EXPECT_EQ(e.exponent, 2);
    const auto f = decimalExpansion18(-1.0L / 3.0L);
    EXPECT_TRUE(f.negative);
    EXPECT_EQ(f.digits, "333333333333333333");
    EXPECT_EQ(f.exponent, 0);
    // The slow path (outside the 128-bit range) agrees with the fast one in form.
    const auto g = decimalExpansion18(1e50L);
    EXPECT_EQ(g.digits, "1");
    EXPECT_EQ(g.exponent, 51);
}

TEST(DecimalExpansion, AgreesWithTheStandardLibraryAcrossMagnitudes) {
    // The fast digit generator against the exact, slow conversion of the standard library.
    std::mt19937_64 random(20261210);
    std::uniform_real_distribution<double> exponent(-18.0, 38.0);
    for (int i = 0; i < 20000; ++i) {
        const long double v =
            std::pow(10.0L, static_cast<long double>(exponent(random))) * (i % 2 ? -1 : 1);
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 17);
        std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
        std::string digits;
        const std::size_t start = text[0] == '-' ? 1 : 0;
        for (char c : text.substr(start, text.find('e') - start)) {
            if (c != '.') {
                digits.push_back(c);
            }
        }
        while (!digits.empty() && digits.back() == '0') {
            digits.pop_back();
        }
        int exp10 = 0;
        const auto e = text.find('e');
        std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                        exp10);
        const DecimalDigits d = decimalExpansion18(v);
        ASSERT_EQ(d.digits, digits) << text;
        ASSERT_EQ(d.exponent, exp10 + 1) << text;
        ASSERT_EQ(d.negative, v < 0);
    }
}

} // namespace
} // namespace pyrelto
