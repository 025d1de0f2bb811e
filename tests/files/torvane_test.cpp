#include "file_test_support.h"
#include "torvane.h"

#include <cerrno>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace pyrelto {
namespace {

using test::Bytes;
using test::bytes;
using test::operator+;

Bytes block(std::u16string_view text) {
    MemoryWriter out;
    blockwriteStrU(out, text);
    return out.bytes();
}

struct BlockCase {
    const char* name;
    std::u16string text;
    Bytes encoded;
};

TEST(TextBlock, EncodesExactlyAndReadsBack) {
    const BlockCase cases[] = {
        {"empty", u"", bytes({0, 0, 0, 0})},
        {"abc", u"abc", bytes({3, 0, 0, 0, 0x61, 0, 0x62, 0, 0x63, 0})},
        {"euro", u"€", bytes({1, 0, 0, 0, 0xAC, 0x20})},
        {"outside BMP", u"\U0001F600", bytes({2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE})},
        {"umlaut", u"Tellerdübel", bytes({11,  0, 0,   0, 'T',  0, 'e', 0, 'l', 0, 'l', 0, 'e', 0,
                                          'r', 0, 'd', 0, 0xFC, 0, 'b', 0, 'e', 0, 'l', 0})},
        {"lone surrogate kept as is", std::u16string(1, char16_t{0xD800}),
         bytes({1, 0, 0, 0, 0x00, 0xD8})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(block(c.text), c.encoded);
        MemoryReader in(c.encoded);
        EXPECT_EQ(blockreadStrU(in), c.text);
        EXPECT_TRUE(in.atEnd());
    }
}

TEST(TextBlock, ConsecutiveBlocksEndWhereTheNextBegins) {
    const Bytes data = block(u"Gas") + block(u"") + block(u"Titanol");
    MemoryReader in(data);
    EXPECT_EQ(blockreadStrU(in), u"Gas");
    EXPECT_EQ(in.remaining(), data.size() - 10);
    EXPECT_EQ(blockreadStrU(in), u"");
    EXPECT_EQ(blockreadStrU(in), u"Titanol");
    EXPECT_TRUE(in.atEnd());
}

struct BadBlockCase {
    const char* name;
    Bytes data;
};

// Each fails as a read beyond the end; the huge counts would ask for gigabytes if the reader
// reserved storage before checking, which the sanitizer build reports as a fault.
TEST(TextBlock, ShortOrImpossibleBlocksFailWithoutText) {
    const BadBlockCase cases[] = {
        {"nothing at all", {}},
        {"half a count", bytes({3, 0})},
        {"count without units", bytes({3, 0, 0, 0})},
        {"two of six unit bytes", bytes({3, 0, 0, 0, 0x61, 0})},
        {"odd unit byte missing", bytes({1, 0, 0, 0, 0xAC})},
        {"negative count", bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x61, 0})},
        {"most negative count", bytes({0, 0, 0, 0x80})},
        {"largest count", bytes({0xFF, 0xFF, 0xFF, 0x7F, 0x61, 0})},
        {"count one unit too many", bytes({2, 0, 0, 0, 0x61, 0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryReader in(c.data);
        try {
            (void)blockreadStrU(in);
            ADD_FAILURE() << "no error";
        } catch (const IoError& e) {
            EXPECT_STREQ(e.what(), "Read beyond end of file");
            EXPECT_EQ(e.kind(), IoError::Kind::EndOfFile);
        }
    }
}

TEST(IoErrorText, PlatformTextOrNumberedFallback) {
    EXPECT_STREQ(IoError::diskFull().what(), "Disk full");
    EXPECT_STREQ(IoError::system(ENOSPC).what(), "Disk full");
#ifdef EDQUOT
    EXPECT_EQ(IoError::system(EDQUOT).kind(), IoError::Kind::DiskFull) << "a full quota";
#endif
    EXPECT_STREQ(IoError::system(ENAMETOOLONG).what(), "File name too long");
    EXPECT_EQ(IoError::system(EACCES).errorNumber(), EACCES);
    EXPECT_STREQ(IoError::system(9999).what(), "I/O error 9999");
    EXPECT_STREQ(IoError::native(9999).what(), "I/O error 9999");
}

class FileReaderTest : public ::testing::Test {
protected:
    test::TempDir dir;
};

// Crosses the reader's buffer boundary so that refills are exercised on real files.
TEST_F(FileReaderTest, ReadsBlocksLargerThanItsBuffer) {
    const std::u16string big(50000, u'ü');
    const Bytes data = block(u"vorn") + block(big) + block(u"hinten");
    test::writeBytes(dir / "big", data);
    FileReader in;
    ASSERT_TRUE(in.open(test::name16(dir / "big")));
    EXPECT_EQ(in.remaining(), data.size());
    EXPECT_EQ(blockreadStrU(in), u"vorn");
    EXPECT_EQ(blockreadStrU(in), big);
    EXPECT_EQ(blockreadStrU(in), u"hinten");
    EXPECT_TRUE(in.atEnd());
    EXPECT_THROW((void)readInt32(in), IoError);
    EXPECT_FALSE(in.open(test::name16(dir / "big"))) << "one file per reader";
}

TEST_F(FileReaderTest, OpensOnlyRegularFilesByValidNames) {
    test::writeBytes(dir / "file", bytes({1, 2, 3, 4}));
#ifndef _WIN32
    ::mkfifo((dir / "pipe").c_str(), 0600);
#endif
    std::filesystem::create_directory(dir / "folder");
    FileReader a, b, c, d, e;
    EXPECT_TRUE(a.open(test::name16(dir / "file")));
    EXPECT_FALSE(b.open(test::name16(dir / "missing")));
    EXPECT_FALSE(c.open(test::name16(dir / "folder")));
#ifndef _WIN32
    EXPECT_FALSE(d.open(test::name16(dir / "pipe"))) << "a pipe must be refused, not waited on";
#endif
    // A zero unit would cut the name to "…/file" and open that instead.
    EXPECT_FALSE(e.open(test::name16(dir / "file") + u'\0' + u"x"));
}

} // namespace
} // namespace pyrelto
