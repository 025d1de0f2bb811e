// The customer list at the program's end: a file damaged on disk meanwhile, a file that cannot be
// written, and whether that costs the user the changes of this run.

#include "customer_file.h"
#include "customer_list_file.h"
#include "file_test_support.h"

#include <gtest/gtest.h>

namespace pyrelto {
namespace {

using test::Bytes;
using test::bytes;

class CustomerListAtCloseTest : public ::testing::Test {
protected:
    std::u16string path() const { return test::name16(dir / "options.dat"); }
    void put(const std::vector<std::u16string>& names) {
        ASSERT_TRUE(writeCustomerFile(path(), names));
    }
    void fill(const std::vector<std::u16string>& names) {
        list.clear();
        for (const auto& n : names) {
            list.setName(list.append(), n);
        }
    }
    test::TempDir dir;
    CustomerList list;
    CustomerListFile file{list};
    const Bytes cut = bytes({0x03, 0, 0, 0, 0x01, 0, 0, 0, 0x5A, 0});
};

// Another program (or a sick disk) damaged the list after it was read: the damaged bytes are kept
// aside for the user, the list is written in place, and nothing is reported lost.
TEST_F(CustomerListAtCloseTest, ListDamagedOnDiskAtCloseIsKeptAside) {
    put({u"Abel", u"Müller"});
    ASSERT_TRUE(file.openfileConfig(path()));
    list.setName(list.append(), u"Zander");
    test::writeBytes(dir / "options.dat", cut);
    ASSERT_TRUE(file.savefileConfig(path()));
    EXPECT_FALSE(file.lostChanges());
    EXPECT_EQ(test::readBytes(dir / "options.dat.bak"), cut);
    EXPECT_EQ(readCustomerFile(path()),
              (std::vector<std::u16string>{u"Abel", u"Müller", u"Zander"}));
    // The kept copy is not replaced by the next save.
    ASSERT_TRUE(file.savefileConfig(path()));
    EXPECT_EQ(test::readBytes(dir / "options.dat.bak"), cut);
}

// A list damaged before the program started: the names before the damage are shown (none when
// even the count is cut), and the first save keeps the damaged file aside.
TEST_F(CustomerListAtCloseTest, ListDamagedAtStartIsKeptAsideAtTheFirstSave) {
    const struct {
        const char* name;
        Bytes data;
        std::vector<std::u16string> shown;
    } cases[] = {
        {"cut inside the second name", cut, {u"Z"}},
        {"cut inside the count", bytes({0x03, 0}), {u"Vorher"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir / "options.dat.bak");
        fill({u"Vorher"});
        test::writeBytes(dir / "options.dat", c.data);
        EXPECT_THROW(file.openfileConfig(path()), IoError);
        EXPECT_TRUE(file.damaged());
        EXPECT_EQ(list.names(), c.shown);
        ASSERT_TRUE(file.savefileConfig(path()));
        EXPECT_FALSE(file.damaged());
        EXPECT_EQ(test::readBytes(dir / "options.dat.bak"), c.data);
        EXPECT_EQ(readCustomerFile(path()), c.shown);
    }
}

// Another copy of the program saved its names meanwhile: both sides' changes are kept.
TEST_F(CustomerListAtCloseTest, NamesSavedMeanwhileAreMergedIn) {
    put({u"Abel", u"Müller"});
    ASSERT_TRUE(file.openfileConfig(path()));
    list.setName(list.append(), u"Zander");
    put({u"Müller", u"Bauer"});
    ASSERT_TRUE(file.savefileConfig(path()));
    EXPECT_EQ(readCustomerFile(path()),
              (std::vector<std::u16string>{u"Bauer", u"Müller", u"Zander"}));
    EXPECT_EQ(list.names(), readCustomerFile(path()));
}

struct LostCase {
    const char* name;
    std::vector<std::u16string> onDiskAtStart; // empty: no file at start
    std::vector<std::u16string> listAtClose;
    bool damagedAtClose;
    bool lost;
};

// The list cannot be written (a write-protected file): the changes are lost exactly when the
// file does not already hold the list's names.
TEST_F(CustomerListAtCloseTest, ChangesLostOnlyWhenTheFileDiffersFromTheList) {
    const LostCase cases[] = {
        {"unchanged list", {u"Abel", u"Bauer"}, {u"Abel", u"Bauer"}, false, false},
        {"name added", {u"Abel"}, {u"Abel", u"Bauer"}, false, true},
        {"name removed", {u"Abel", u"Bauer"}, {u"Abel"}, false, true},
        {"every name removed", {u"Abel"}, {}, false, true},
        {"file damaged on disk", {u"Abel"}, {u"Abel"}, true, true},
        {"file damaged on disk, list empty", {}, {}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir / "options.dat");
        CustomerList caseList;
        CustomerListFile caseFile{caseList};
        list.clear();
        put(c.onDiskAtStart);
        ASSERT_TRUE(caseFile.openfileConfig(path()));
        {
            CustomerListUpdate update(caseList);
            caseList.assign(c.listAtClose);
        }
        if (c.damagedAtClose) {
            test::writeBytes(dir / "options.dat", cut);
        }
        const Bytes before = test::readBytes(dir / "options.dat");
        test::makeReadOnly(dir / "options.dat");
        EXPECT_FALSE(caseFile.savefileConfig(path()));
        EXPECT_EQ(caseFile.lostChanges(), c.lost);
        EXPECT_EQ(test::readBytes(dir / "options.dat"), before);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"options.dat"});
        std::filesystem::permissions(dir / "options.dat", std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    }
}

// No file at start and none can be made (its folder is gone): only a list the user filled is lost.
TEST_F(CustomerListAtCloseTest, ChangesLostWhenNoFileCanBeMade) {
    const std::u16string missing = test::name16(dir / "fehlt" / "options.dat");
    EXPECT_FALSE(file.openfileConfig(missing));
    EXPECT_FALSE(file.savefileConfig(missing));
    EXPECT_FALSE(file.lostChanges()) << "an empty list never read costs nothing";
    fill({u"Abel"});
    EXPECT_FALSE(file.savefileConfig(missing));
    EXPECT_TRUE(file.lostChanges());
    EXPECT_TRUE(dir.entries().empty());
}

} // namespace
} // namespace pyrelto
