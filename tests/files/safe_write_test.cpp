#include "file_test_support.h"
#include "safe_write.h"

#include <cstdlib>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace pyrelto {
namespace {

using test::Bytes;
using test::bytes;
using test::operator+;

class SafeWriteTest : public ::testing::Test {
protected:
    std::u16string name(const char* file) const { return test::name16(dir / file); }
#ifndef _WIN32
    mode_t mode(const char* file) const {
        struct stat st {};
        ::stat((dir / file).c_str(), &st);
        return st.st_mode & 07777;
    }
#endif
    test::TempDir dir;
    const Bytes oldData = bytes({'a', 'l', 't', 'e', 'r', ' ', 'I', 'n', 'h', 'a', 'l', 't'});
    const Bytes newData = bytes({'n', 'e', 'u'});
};

#ifndef _WIN32
TEST_F(SafeWriteTest, ReplacesTheWholeFileAndKeepsItsPermissionBits) {
    test::writeBytes(dir / "f", oldData);
    ::chmod((dir / "f").c_str(), 0640);
    ASSERT_TRUE(writeFileSafely(name("f"), newData));
    EXPECT_EQ(test::readBytes(dir / "f"), newData) << "no bytes of the longer old file remain";
    EXPECT_EQ(mode("f"), 0640U);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"}) << "no temporary left behind";
}

TEST_F(SafeWriteTest, NewFileTakesTheUmaskBits) {
    const mode_t mask = ::umask(027);
    const bool ok = writeFileSafely(name("neu"), newData);
    ::umask(mask);
    ASSERT_TRUE(ok);
    EXPECT_EQ(mode("neu"), 0640U);
}
#endif

#ifndef _WIN32
TEST_F(SafeWriteTest, WritesThroughASymbolicLink) {
    test::writeBytes(dir / "real", oldData);
    std::filesystem::create_symlink(dir / "real", dir / "link");
    ASSERT_TRUE(writeFileSafely(name("link"), newData));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(test::readBytes(dir / "real"), newData);
}
#endif

TEST_F(SafeWriteTest, RefusesWhatMayNotBeCreatedAndChangesNothing) {
    test::writeBytes(dir / "protected", oldData);
    test::makeReadOnly(dir / "protected");
    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(writeFileSafely(name("protected"), newData));
    EXPECT_EQ(test::readBytes(dir / "protected"), oldData);
    EXPECT_FALSE(writeFileSafely(name("missing/f"), newData));
    EXPECT_FALSE(writeFileSafely(name("folder"), newData));
    EXPECT_FALSE(writeFileSafely(name("folder") + u"/", newData));
    EXPECT_FALSE(writeFileSafely(u"", newData));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"folder", "protected"}));
}

#ifndef _WIN32
TEST_F(SafeWriteTest, FullDiskKeepsTheOldFileByteForByte) {
    Bytes old(600, std::byte{0x5A});
    test::writeBytes(dir / "f", old);
    const Bytes big(1000, std::byte{0x11});
    try {
        test::FileSizeLimit limit(200);
        (void)writeFileSafely(name("f"), big);
        ADD_FAILURE() << "the write past the limit was reported as success";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoError::Kind::System);
        EXPECT_EQ(e.errorNumber(), EFBIG);
    }
    EXPECT_EQ(test::readBytes(dir / "f"), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
}
#endif

TEST_F(SafeWriteTest, BackupKeepsTheOldFileAside) {
    test::writeBytes(dir / "f", oldData);
    test::writeBytes(dir / "f.bak", bytes({1}));
    ASSERT_TRUE(writeFileSafely(name("f"), newData, name("f.bak")));
    EXPECT_EQ(test::readBytes(dir / "f"), newData);
    EXPECT_EQ(test::readBytes(dir / "f.bak"), oldData);
    // Without an old file there is nothing to keep, and the write still happens.
    ASSERT_TRUE(writeFileSafely(name("g"), newData, name("g.bak")));
    EXPECT_FALSE(std::filesystem::exists(dir / "g.bak"));
}

#ifndef _WIN32
// On Windows a death test runs the whole test again in a new process, with a temporary folder of
// its own, so the crash cannot be looked at from here.
// A crash after the backup was made and before the new file is in place: the target must still be
// there, whole, and the backup beside it. The child process of the death test is the one killed.
TEST_F(SafeWriteTest, CrashBetweenBackupAndReplaceLeavesTheTargetInPlace) {
    test::writeBytes(dir / "f", oldData);
    test::writeBytes(dir / "f.bak", bytes({1}));
#ifndef _WIN32
    ::chmod((dir / "f").c_str(), 0640);
#endif
    const auto target = name("f");
    const auto backup = name("f.bak");
    EXPECT_EXIT(
        {
            detail::setAfterBackupHook([] { std::_Exit(41); });
            (void)writeFileSafely(target, newData, backup);
        },
        ::testing::ExitedWithCode(41), "");
    EXPECT_EQ(test::readBytes(dir / "f"), oldData);
#ifndef _WIN32
    EXPECT_EQ(mode("f"), 0640U);
#endif
    EXPECT_EQ(test::readBytes(dir / "f.bak"), oldData);

    // The next save after the crash goes through as usual.
    ASSERT_TRUE(writeFileSafely(target, newData, backup));
    EXPECT_EQ(test::readBytes(dir / "f"), newData);
    EXPECT_EQ(test::readBytes(dir / "f.bak"), oldData);
}
#endif

// The backup is a file of its own: replacing the target later must not reach it, as it would if
// the two shared one file that is written in place.
TEST_F(SafeWriteTest, BackupStaysWhenTheTargetIsReplacedAgain) {
    test::writeBytes(dir / "f", oldData);
    ASSERT_TRUE(writeFileSafely(name("f"), newData, name("f.bak")));
    ASSERT_TRUE(writeFileSafely(name("f"), bytes({'z', 'w', 'e', 'i'})));
    EXPECT_EQ(test::readBytes(dir / "f.bak"), oldData);
    EXPECT_EQ(test::readBytes(dir / "f"), bytes({'z', 'w', 'e', 'i'}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"f", "f.bak"})) << "no temporary left";
}

#ifndef _WIN32
// The target and the temporary vanish before the commit (another program tidied the folder), so
// nothing is moved aside and the final rename fails: an older backup must stay where it is.
// Windows lets no other program delete the temporary while it is open.
TEST_F(SafeWriteTest, FailedCommitLeavesAnOlderBackupAlone) {
    test::writeBytes(dir / "f", oldData);
    test::writeBytes(dir / "f.bak", bytes({1}));
    SafeWrite file;
    ASSERT_TRUE(file.open(name("f")));
    file.write(newData);
    for (const auto& entry : dir.entries()) {
        if (entry != "f.bak") {
            std::filesystem::remove(dir / entry);
        }
    }
    EXPECT_THROW(file.commit(name("f.bak")), IoError);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"f.bak"});
    EXPECT_EQ(test::readBytes(dir / "f.bak"), bytes({1}));
}

#endif

TEST_F(SafeWriteTest, UncommittedWriteLeavesNoTrace) {
    test::writeBytes(dir / "f", oldData);
    {
        SafeWrite file;
        ASSERT_TRUE(file.open(name("f")));
        file.write(newData);
        // The temporary lies beside the target, so the final rename never crosses file systems.
        const auto during = dir.entries();
        ASSERT_EQ(during.size(), 2U);
        EXPECT_EQ(test::readBytes(dir / (during[0] == "f" ? during[1] : during[0])), newData);
    }
    EXPECT_EQ(test::readBytes(dir / "f"), oldData);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
}

#ifndef _WIN32
// Targets that cannot be resolved to a file to replace: nothing is created.
TEST_F(SafeWriteTest, UnresolvableTargetsAreRefused) {
    test::writeBytes(dir / "datei", oldData);
    std::filesystem::create_symlink("fehlt", dir / "haengend");
    std::filesystem::create_symlink("schleife", dir / "schleife");
    for (const char* target : {"haengend", "schleife", "datei/unter", "ordner/"}) {
        SCOPED_TRACE(target);
        EXPECT_FALSE(writeFileSafely(name(target), newData));
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"datei", "haengend", "schleife"}));
    EXPECT_EQ(test::readBytes(dir / "datei"), oldData);
}
#endif

// Where a crash would hurt most, after the backup and before the replace, both names hold the old
// file.
std::filesystem::path hookFolder;
Bytes targetAtHook;
Bytes backupAtHook;

void recordAtHook() {
    targetAtHook = test::readBytes(hookFolder / "f");
    backupAtHook = test::readBytes(hookFolder / "f.bak");
}

TEST_F(SafeWriteTest, BackupIsInPlaceBeforeTheTargetIsReplaced) {
    test::writeBytes(dir / "f", oldData);
    hookFolder = dir.path();
    detail::setAfterBackupHook(recordAtHook);
    const bool written = writeFileSafely(name("f"), newData, name("f.bak"));
    detail::setAfterBackupHook(nullptr);
    ASSERT_TRUE(written);
    EXPECT_EQ(targetAtHook, oldData);
    EXPECT_EQ(backupAtHook, oldData);
    EXPECT_EQ(test::readBytes(dir / "f"), newData);
}

// Misuse of one SafeWrite fails loudly and changes nothing: a second open, a write or commit after
// the end, a backup name the system cannot take.
TEST_F(SafeWriteTest, MisuseChangesNothing) {
    test::writeBytes(dir / "f", oldData);
    SafeWrite file;
    EXPECT_THROW(file.write(newData), IoError) << "not open";
    EXPECT_THROW(file.commit(), IoError) << "not open";
    ASSERT_TRUE(file.open(name("f")));
    EXPECT_FALSE(file.open(name("f"))) << "one target per SafeWrite";
    file.write(newData);
    const std::u16string zero = name("f.bak") + std::u16string(1, u'\0') + u"x";
    EXPECT_THROW(file.commit(zero), IoError);
    EXPECT_THROW(file.write(newData), IoError) << "closed after the failed commit";
    EXPECT_EQ(test::readBytes(dir / "f"), oldData);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
    SafeWrite done;
    ASSERT_TRUE(done.open(name("f")));
    done.write(newData);
    done.commit();
    EXPECT_FALSE(done.open(name("f"))) << "not again after the commit";
    EXPECT_THROW(done.write(oldData), IoError);
    EXPECT_EQ(test::readBytes(dir / "f"), newData);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
}

// Bytes that a text-mode stream would change: CR LF pairs, a lone LF (a count of 10), a lone CR
// and the 1A byte that ends a text file on Windows. Every one must pass both ways unchanged.
TEST_F(SafeWriteTest, LineEndAndEndOfTextBytesPassUnchanged) {
    const Bytes data =
        bytes({0x0A, 0, 0, 0, 0x0D, 0x0A, 0x1A, 0x0D, 0x0D, 0x0A, 0x0A, 0x1A, 0x00, 0x1A, 0x0D}) +
        Bytes(70000, std::byte{0x0A});
    ASSERT_TRUE(writeFileSafely(name("f"), data));
    EXPECT_EQ(test::readBytes(dir / "f"), data) << "what the safe write stored";
    FileReader in;
    ASSERT_TRUE(in.open(name("f")));
    EXPECT_EQ(in.remaining(), data.size());
    Bytes back(data.size());
    in.read(back);
    EXPECT_EQ(back, data) << "what the reader delivers";
    EXPECT_TRUE(in.atEnd());
}

} // namespace
} // namespace pyrelto
