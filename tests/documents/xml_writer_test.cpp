#include "xml_writer.h"

#include <gtest/gtest.h>
#include <random>

#ifdef PYRELTO_HAVE_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#endif

namespace pyrelto {
namespace {

const std::string fffd = "\xEF\xBF\xBD";

TEST(XmlEscape, MarkupAndCharactersXmlCannotCarry) {
    struct Row {
        const char* name;
        std::string input;
        std::string expected;
    };
    const Row rows[] = {
        {"markup", "a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
        {"entity stays text", "&amp;", "&amp;amp;"},
        {"cdata end", "]]>", "]]&gt;"},
        {"NUL", std::string("a\0b", 3), "a" + fffd + "b"},
        {"C0 controls", "\x01\x08\x0B\x0C\x1F", fffd + fffd + fffd + fffd + fffd},
        {"line breaks and tab", "a\r\nb\tc", "a&#13;\nb&#9;c"},
        {"DEL and C1 are allowed", "\x7F\xC2\x85", "\x7F\xC2\x85"},
        {"umlauts, RTL, emoji", "Müller שלום 🏠", "Müller שלום 🏠"},
        {"malformed byte", "\xC3\x28", fffd + "("},
        {"truncated sequence", "ab\xE2\x82", "ab" + fffd + fffd},
        {"overlong slash", "\xC0\xAF", fffd + fffd},
        {"surrogate", "\xED\xA0\x80", fffd},
        {"noncharacter U+FFFF", "\xEF\xBF\xBF", fffd},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(xmlEscaped(row.input), row.expected);
    }
}

TEST(XmlWriter, NestsIndentsAndRefusesUnbalancedUse) {
    XmlWriter xml;
    xml.open("a", {{"x", "1 & 2"}});
    xml.element("b", "<t>");
    xml.close();
    EXPECT_EQ(xml.finish(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a x=\"1 &amp; 2\">\n  "
                            "<b>&lt;t&gt;</b>\n</a>\n");
    XmlWriter open;
    open.open("a");
    EXPECT_THROW(open.finish(), std::logic_error);
    XmlWriter closed;
    EXPECT_THROW(closed.close(), std::logic_error);
}

#ifdef PYRELTO_HAVE_LIBXML2
// Random bytes, biased towards the characters that matter, written as element text and attribute
// value: an independent parser must accept every document and give back exactly xmlSafeText.
TEST(XmlWriter, RandomBytesAlwaysGiveWellFormedXmlThatReadsBack) {
    std::mt19937 random(20261210);
    const std::string interesting[] = {"&",
                                       "<",
                                       ">",
                                       "\"",
                                       "'",
                                       "\r",
                                       "\n",
                                       "\t",
                                       std::string(1, '\0'),
                                       "\x01",
                                       "]]>",
                                       "\xC3\xA4",
                                       "\xF0\x9F\x8F\xA0",
                                       "\xED\xA0\x80",
                                       "\xEF\xBF\xBE",
                                       "\xE2\x80\xAE",
                                       "&#0;",
                                       " "};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int parts = static_cast<int>(random() % 40);
        for (int i = 0; i < parts; ++i) {
            if (random() % 2 == 0) {
                text += interesting[random() % std::size(interesting)];
            } else {
                text += static_cast<char>(random() % 256);
            }
        }
        XmlWriter xml;
        xml.element("t", text, {{"a", text}});
        const std::string& document = xml.finish();
        xmlDocPtr doc =
            xmlReadMemory(document.data(), static_cast<int>(document.size()), nullptr, "UTF-8",
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        ASSERT_NE(doc, nullptr) << "not well-formed: " << document;
        xmlNodePtr root = xmlDocGetRootElement(doc);
        xmlChar* content = xmlNodeGetContent(root);
        xmlChar* attribute = xmlGetProp(root, reinterpret_cast<const xmlChar*>("a"));
        const std::string expected = xmlSafeText(text);
        EXPECT_EQ(reinterpret_cast<const char*>(content), expected);
        EXPECT_EQ(reinterpret_cast<const char*>(attribute), expected);
        xmlFree(content);
        xmlFree(attribute);
        xmlFreeDoc(doc);
    }
}
#endif

} // namespace
} // namespace pyrelto
