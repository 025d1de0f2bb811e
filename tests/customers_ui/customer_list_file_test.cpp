#include "customer_file.h"
#include "customer_list_file.h"
#include "customer_list_model.h"
#include "ui_test_support.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pyrelto {
namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

class CustomerListFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::testApplication();
        ASSERT_TRUE(temp.isValid());
    }
    std::u16string path(const QString& name) const { return temp.filePath(name).toStdU16String(); }
    QByteArray contents(const QString& name) const {
        QFile f(temp.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void put(const QString& name, const QByteArray& data) const {
        QFile f(temp.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(data), data.size());
    }
    void fill(std::initializer_list<std::u16string_view> names) {
        CustomerListUpdate update(list);
        list.clear();
        for (auto n : names)
            list.setName(list.append(), std::u16string(n));
    }

    QTemporaryDir temp;
    CustomerList list{localeCompare(QLocale(QLocale::German, QLocale::Germany))};
    CustomerListFile file{list};
};

const QByteArray kAbelMueller =
    bytes({0x02, 0, 0, 0, 0x04, 0, 0,    0, 0x41, 0, 0x62, 0, 0x65, 0, 0x6C, 0,
           0x06, 0, 0, 0, 0x4D, 0, 0xFC, 0, 0x6C, 0, 0x6C, 0, 0x65, 0, 0x72, 0});

TEST_F(CustomerListFileTest, WritesTheNamesInListOrder) {
    fill({u"Müller", u"Abel"});
    ASSERT_TRUE(file.savefileConfig(path(QStringLiteral("options.dat"))));
    EXPECT_EQ(contents(QStringLiteral("options.dat")), kAbelMueller);

    list.clear();
    ASSERT_TRUE(file.savefileConfig(path(QStringLiteral("options.dat"))));
    EXPECT_EQ(contents(QStringLiteral("options.dat")), bytes({0, 0, 0, 0}));
}

TEST_F(CustomerListFileTest, ReadsAnyOrderIntoASortedList) {
    put(QStringLiteral("options.dat"),
        bytes({0x03, 0, 0, 0, 0x06, 0, 0,    0, 0x4D, 0, 0xFC, 0, 0x6C, 0, 0x6C, 0, 0x65, 0,
               0x72, 0, 0, 0, 0,    0, 0x04, 0, 0,    0, 0x41, 0, 0x62, 0, 0x65, 0, 0x6C, 0}));
    fill({u"Alt"});
    ASSERT_TRUE(file.openfileConfig(path(QStringLiteral("options.dat"))));
    EXPECT_FALSE(list.updating());
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.names(), (std::vector<std::u16string>{u"", u"Abel", u"Müller"}))
        << "the empty name comes back as an entry, the old entries are gone";

    // Written back, the empty name is a block of four zero bytes.
    ASSERT_TRUE(file.savefileConfig(path(QStringLiteral("again.dat"))));
    EXPECT_EQ(contents(QStringLiteral("again.dat")).mid(4, 4), bytes({0, 0, 0, 0}));
    EXPECT_EQ(contents(QStringLiteral("again.dat")).size(), 4 + 4 + 4 + 8 + 4 + 12);
}

TEST_F(CustomerListFileTest, CountsOfZeroOrBelowGiveAnEmptyList) {
    struct Row {
        const char* name;
        QByteArray data;
    };
    const Row rows[] = {
        {"zero", bytes({0, 0, 0, 0})},
        {"negative",
         bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0, 0, 0, 0x41, 0, 0x62, 0, 0x65, 0, 0x6C, 0})},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        fill({u"Alt"});
        put(QStringLiteral("options.dat"), r.data);
        EXPECT_TRUE(file.openfileConfig(path(QStringLiteral("options.dat"))));
        EXPECT_EQ(list.count(), 0);
    }
}

TEST_F(CustomerListFileTest, AMissingFileLeavesTheListAsItWas) {
    fill({u"Abel"});
    EXPECT_FALSE(file.openfileConfig(path(QStringLiteral("nowhere/options.dat"))));
    EXPECT_EQ(list.names(), std::vector<std::u16string>{u"Abel"});
    EXPECT_FALSE(QDir(temp.filePath(QStringLiteral("nowhere"))).exists())
        << "reading never creates the folder";
    EXPECT_FALSE(file.savefileConfig(path(QStringLiteral("nowhere/options.dat"))))
        << "no folder, no file, no error";
}

TEST_F(CustomerListFileTest, ACutFileKeepsTheNamesBeforeAndIsKeptAside) {
    // Three names promised, two present.
    const QByteArray cut = bytes({0x03, 0, 0, 0, 0x01, 0, 0, 0, 0x5A, 0, 0x01, 0, 0, 0, 0x41, 0});
    put(QStringLiteral("options.dat"), cut);
    fill({u"Alt"});
    try {
        file.openfileConfig(path(QStringLiteral("options.dat")));
        ADD_FAILURE() << "no error";
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "Read beyond end of file");
    }
    EXPECT_FALSE(list.updating());
    EXPECT_EQ(list.names(), (std::vector<std::u16string>{u"A", u"Z"}));

    // Closing keeps the damaged file instead of overwriting it.
    ASSERT_TRUE(file.savefileConfig(path(QStringLiteral("options.dat"))));
    EXPECT_EQ(contents(QStringLiteral("options.dat.bak")), cut);
    EXPECT_EQ(contents(QStringLiteral("options.dat")),
              bytes({0x02, 0, 0, 0, 0x01, 0, 0, 0, 0x41, 0, 0x01, 0, 0, 0, 0x5A, 0}));
    // A second save has nothing damaged to keep: the copy stays the damaged file.
    list.setName(0, u"B");
    ASSERT_TRUE(file.savefileConfig(path(QStringLiteral("options.dat"))));
    EXPECT_EQ(contents(QStringLiteral("options.dat.bak")), cut);
}

// Sound at start, damaged by someone else by the time of the close: nothing to merge with, and
// the damaged file is kept aside rather than overwritten unseen.
TEST_F(CustomerListFileTest, AFileDamagedWhileTheProgramRanIsKeptAside) {
    put(QStringLiteral("options.dat"), kAbelMueller);
    ASSERT_TRUE(file.openfileConfig(path(QStringLiteral("options.dat"))));
    const QByteArray cut = bytes({0x03, 0, 0, 0, 0x01, 0, 0, 0, 0x5A, 0});
    put(QStringLiteral("options.dat"), cut);
    ASSERT_TRUE(file.savefileConfig(path(QStringLiteral("options.dat"))));
    EXPECT_EQ(contents(QStringLiteral("options.dat.bak")), cut);
    EXPECT_EQ(contents(QStringLiteral("options.dat")), kAbelMueller);
    EXPECT_FALSE(file.lostChanges());
}

// Merged names show in the list too, sorted, since the list is what the file is written from.
TEST_F(CustomerListFileTest, TheListShowsTheNamesMergedAtSave) {
    put(QStringLiteral("options.dat"), kAbelMueller);
    ASSERT_TRUE(file.openfileConfig(path(QStringLiteral("options.dat"))));
    list.setName(list.append(), u"Zander");
    ASSERT_TRUE(writeCustomerFile(path(QStringLiteral("options.dat")),
                                  std::vector<std::u16string>{u"Müller", u"Bauer"}));
    ASSERT_TRUE(file.savefileConfig(path(QStringLiteral("options.dat"))));
    EXPECT_EQ(list.names(), (std::vector<std::u16string>{u"Bauer", u"Müller", u"Zander"}));
    EXPECT_EQ(readCustomerFile(path(QStringLiteral("options.dat"))), list.names());
}

TEST_F(CustomerListFileTest, AFileCutInsideItsCountLeavesTheListUnchanged) {
    put(QStringLiteral("options.dat"), bytes({0x02, 0}));
    fill({u"Abel", u"Meier"});
    EXPECT_THROW(file.openfileConfig(path(QStringLiteral("options.dat"))), IoError);
    EXPECT_EQ(list.names(), (std::vector<std::u16string>{u"Abel", u"Meier"}));
    EXPECT_TRUE(file.damaged());
}

} // namespace
} // namespace pyrelto
