// The documents' faces: carried by the program, registered once however many threads ask first,
// and the ones the layout actually gets (not an installed DejaVu Sans with its hinting programs).

#include "document_fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace pyrelto {
namespace {

TEST(DocumentFonts, RegisteredOnceAndUsedForBothStyles) {
    std::vector<QString> seen(4);
    {
        std::vector<std::jthread> threads;
        threads.reserve(seen.size());
        for (QString& family : seen)
            threads.emplace_back([&family] { family = documentFamily(); });
    }
    const QString family = documentFamily();
    EXPECT_EQ(family, QStringLiteral("DejaVu Sans Unhinted"));
    for (const QString& other : seen)
        EXPECT_EQ(other, family);
    EXPECT_EQ(QFontDatabase::styles(family).size(), 2) << "regular and bold, each once";
    for (const bool bold : {false, true}) {
        SCOPED_TRACE(bold ? "bold" : "regular");
        const QFont font = documentFont(9.5, bold);
        const QFontInfo info(font);
        EXPECT_EQ(info.family(), family);
        EXPECT_EQ(info.bold(), bold);
        const QRawFont raw = QRawFont::fromFont(font);
        ASSERT_TRUE(raw.isValid());
        EXPECT_TRUE(raw.fontTable("prep").isEmpty());
        EXPECT_TRUE(raw.fontTable("fpgm").isEmpty());
        // The characters of a German offer are all in the face itself.
        EXPECT_TRUE(raw.supportsCharacter(QChar(0x20AC)));
        EXPECT_TRUE(raw.supportsCharacter(QChar(0x00DF)));
        EXPECT_TRUE(raw.supportsCharacter(QChar(0x201E)));
    }
}

} // namespace
} // namespace pyrelto
