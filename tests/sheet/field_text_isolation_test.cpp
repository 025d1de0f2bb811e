#include "field_text_isolation.h"

#include <gtest/gtest.h>

namespace pyrelto {
namespace {

TEST(FieldTextIsolation, OneLineNaturalOrderAndRightToLeftKeptInside) {
    const struct {
        const char* name;
        std::u16string text;
        std::u16string expected;
    } cases[] = {
        {"plain text unchanged", u"Dachdeckerei Müller", u"Dachdeckerei Müller"},
        {"empty", u"", u""},
        {"line feed", u"Müller\nBedachungen", u"Müller Bedachungen"},
        {"CR LF is one break", u"Müller\r\nBedachungen", u"Müller Bedachungen"},
        {"other breaks", u"a\rb\vc\fd\u0085e\u2028f\u2029g", u"a b c d e f g"},
        {"override removed", u"\u202Erellüm", u"rellüm"},
        {"every embedding, override and isolate removed",
         u"\u202Aa\u202Bb\u202Cc\u202Dd\u202Ee\u2066f\u2067g\u2068h\u2069i", u"abcdefghi"},
        {"a stray close cannot end an isolate", u"\u2069€\u202C", u"€"},
        {"Hebrew isolated", u"שלום 12", u"\u2068שלום 12\u2069"},
        {"Arabic with an override", u"\u202Dريال", u"\u2068ريال\u2069"},
        {"right-to-left mark isolated", u"a\u200Fb", u"\u2068a\u200Fb\u2069"},
        {"right-to-left beyond U+FFFF isolated", u"x\U00010900", u"\u2068x\U00010900\u2069"},
        {"tab and marks left alone", u"a\tb\u200Ec", u"a\tb\u200Ec"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isolatedFieldText(c.text), c.expected);
    }
}

} // namespace
} // namespace pyrelto
